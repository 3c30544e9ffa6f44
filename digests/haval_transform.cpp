// The three HAVAL compression functions.  Each is straight-line code: the templates
// below unroll all 32 steps of every pass at compile time, so that each step works on
// fixed registers and takes its message word's offset and its additive constant as
// immediate operands.  No table is read at run time.
#include <utility>

#include "byte_order.h"
#include "digest_tables.h"
#include "haval.h"

// The steps must all be inlined into one function, so that the eight working words live in
// registers throughout; the compiler's own limits on inlining would stop short of that.
#if defined(__GNUC__)
#define HAVAL_STEP_INLINE inline __attribute__((always_inline))
#else
#define HAVAL_STEP_INLINE inline
#endif

namespace {

// The order in which each pass takes the 32 message words.
constexpr uint8_t kWordOrder[5][32] = {
    {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
     16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31},
    {5,  14, 26, 18, 11, 28, 7,  16, 0,  23, 20, 22, 1, 10, 4,  8,
     30, 3,  21, 9,  17, 24, 29, 6,  19, 12, 15, 13, 2, 25, 31, 27},
    {19, 9,  4, 20, 28, 17, 8,  22, 29, 14, 25, 12, 24, 30, 16, 26,
     31, 15, 7, 3,  1,  0,  18, 27, 13, 6,  21, 10, 23, 11, 5,  2},
    {24, 4,  0,  14, 2, 7,  28, 23, 26, 6,  30, 20, 18, 25, 19, 3,
     22, 11, 31, 21, 8, 27, 12, 9,  1,  29, 5,  15, 17, 10, 16, 13},
    {27, 3, 21, 26, 17, 11, 20, 29, 19, 0,  12, 7,  13, 8, 31, 10,
     5,  9, 14, 30, 18, 6,  28, 24, 2,  23, 16, 22, 4,  1, 25, 15},
};

// The permutation of the Boolean function's inputs, by pass count and pass: the indices
// j of the words x_j that become the function's arguments y6, y5, ..., y0, in that order.
constexpr uint8_t kInputOrder[3][5][7] = {
    {{1, 0, 3, 5, 6, 2, 4}, {4, 2, 1, 0, 5, 3, 6}, {6, 1, 2, 3, 4, 5, 0}},
    {{2, 6, 1, 4, 5, 3, 0}, {3, 5, 2, 0, 1, 6, 4}, {1, 4, 3, 6, 0, 2, 5}, {6, 4, 0, 5, 2, 1, 3}},
    {{3, 4, 1, 0, 5, 2, 6},
     {6, 2, 1, 0, 3, 4, 5},
     {2, 6, 0, 4, 3, 1, 5},
     {1, 5, 3, 2, 0, 4, 6},
     {2, 5, 0, 6, 4, 3, 1}},
};

// The Boolean functions F1..F5 of the passes over (y6, ..., y0), each given by its sum of
// products (+ is XOR).  The word a step computes is an input of the next step, where the
// permutation makes it the argument yL (L = kLate); each function is therefore written
// as yL P + Q, with P and Q free of yL, so that the chain from one step to the next is a
// single AND and XOR.  The forms are those of the arguments the permutations make late.
template <int kFunction, int kLate>
HAVAL_STEP_INLINE uint32_t Boolean(uint32_t y6, uint32_t y5, uint32_t y4, uint32_t y3, uint32_t y2,
                                   uint32_t y1, uint32_t y0) {
    if constexpr (kFunction == 1) {
        // y1y4 + y2y5 + y3y6 + y0y1 + y0
        if constexpr (kLate == 0) return ((y1 & y4) ^ (y2 & y5) ^ (y3 & y6)) ^ (y0 & ~y1);
        if constexpr (kLate == 3) return ((y1 & (y0 ^ y4)) ^ (y2 & y5) ^ y0) ^ (y3 & y6);
        if constexpr (kLate == 5) return ((y1 & (y0 ^ y4)) ^ (y3 & y6) ^ y0) ^ (y2 & y5);
        static_assert(kLate == 0 || kLate == 3 || kLate == 5, "no form for this argument");
    } else if constexpr (kFunction == 2) {
        // y1y2y3 + y2y4y5 + y1y2 + y1y4 + y2y6 + y3y5 + y4y5 + y0y2 + y0
        static_assert(kLate == 3, "no form for this argument");
        return ((y2 & ((y4 & y5) ^ y1 ^ y6 ^ y0)) ^ (y4 & (y1 ^ y5)) ^ y0) ^
               (y3 & ((y1 & y2) ^ y5));
    } else if constexpr (kFunction == 3) {
        // y1y2y3 + y1y4 + y2y5 + y3y6 + y0y3 + y0
        if constexpr (kLate == 0)
            return ((y3 & ((y1 & y2) ^ y6)) ^ (y1 & y4) ^ (y2 & y5)) ^ (y0 & ~y3);
        if constexpr (kLate == 2)
            return ((y3 & (y6 ^ y0)) ^ (y1 & y4) ^ y0) ^ (y2 & ((y1 & y3) ^ y5));
        if constexpr (kLate == 4)
            return ((y3 & ((y1 & y2) ^ y6 ^ y0)) ^ (y2 & y5) ^ y0) ^ (y4 & y1);
        static_assert(kLate == 0 || kLate == 2 || kLate == 4, "no form for this argument");
    } else if constexpr (kFunction == 4) {
        // y1y2y3 + y2y4y5 + y3y4y6 + y1y4 + y2y6 + y3y4 + y3y5 + y3y6 + y4y5 + y4y6
        //   + y0y4 + y0;  a + b + ab = a | b
        if constexpr (kLate == 2)
            return ((y4 & ((y3 | y6) ^ y1 ^ y5 ^ y0)) ^ (y3 & (y5 ^ y6)) ^ y0) ^
                   (y2 & ((y1 & y3) ^ (y4 & y5) ^ y6));
        if constexpr (kLate == 4)
            return ((y3 & ((y1 & y2) ^ y5 ^ y6)) ^ (y2 & y6) ^ y0) ^
                   (y4 & ((y5 & ~y2) ^ (y3 | y6) ^ y1 ^ y0));
        static_assert(kLate == 2 || kLate == 4, "no form for this argument");
    } else {
        // y1y4 + y2y5 + y3y6 + y0y1y2y3 + y0y5 + y0
        static_assert(kLate == 4, "no form for this argument");
        return ((y0 & ((y1 & y2 & y3) ^ ~y5)) ^ (y2 & y5) ^ (y3 & y6)) ^ (y4 & y1);
    }
}

// The argument (6 for y6, ..., 0 for y0) that the input order in makes of x0.
constexpr int LateArgument(const uint8_t* in) {
    int k = 0;
    while (in[k] != 0) ++k;
    return 6 - k;
}

// Step i of a pass writes word t[7 - i mod 8]; its inputs x_j are the words t[j - i mod 8].
constexpr int Role(int j, int step) {
    return (j + 8 - step % 8) % 8;
}

template <int kPasses, int kPass, int kStep>
HAVAL_STEP_INLINE void Step(uint32_t (&t)[8], const uint8_t* block) {
    constexpr const uint8_t* in = kInputOrder[kPasses - 3][kPass];
    const uint32_t f = Boolean<kPass + 1, LateArgument(in)>(
        t[Role(in[0], kStep)], t[Role(in[1], kStep)], t[Role(in[2], kStep)], t[Role(in[3], kStep)],
        t[Role(in[4], kStep)], t[Role(in[5], kStep)], t[Role(in[6], kStep)]);
    uint32_t& target = t[Role(7, kStep)];
    target = Rotr32(f, 7) + Rotr32(target, 11) + LoadLe32(block + 4 * kWordOrder[kPass][kStep]) +
             kHavalStepConstants[kPass][kStep];
}

template <int kPasses, int kPass, size_t... kSteps>
HAVAL_STEP_INLINE void Pass(uint32_t (&t)[8], const uint8_t* block,
                            std::index_sequence<kSteps...>) {
    (Step<kPasses, kPass, int(kSteps)>(t, block), ...);
}

template <int kPasses, size_t... kPassIndices>
HAVAL_STEP_INLINE void Passes(uint32_t (&t)[8], const uint8_t* block,
                              std::index_sequence<kPassIndices...>) {
    (Pass<kPasses, int(kPassIndices)>(t, block, std::make_index_sequence<32>()), ...);
}

// Compresses count blocks of data into state.  The loop over blocks lives here, round the
// steps, so that the chaining value stays in registers from one block to the next and no
// call is paid per block.
template <int kPasses>
void CompressBlocks(uint32_t (&state)[8], const uint8_t* data, size_t count) {
    uint32_t h[8];
    for (int i = 0; i < 8; ++i) h[i] = state[i];
    for (; count != 0; --count, data += 128) {
        uint32_t t[8];
        for (int i = 0; i < 8; ++i) t[i] = h[i];
        Passes<kPasses>(t, data, std::make_index_sequence<kPasses>());
        for (int i = 0; i < 8; ++i) h[i] += t[i];
    }
    for (int i = 0; i < 8; ++i) state[i] = h[i];
}

}  // namespace

void HavalTransform3() {
    CompressBlocks<3>(HavalContext.state, HavalContext.block, 1);
}
void HavalTransform4() {
    CompressBlocks<4>(HavalContext.state, HavalContext.block, 1);
}
void HavalTransform5() {
    CompressBlocks<5>(HavalContext.state, HavalContext.block, 1);
}

void HavalTransform() {
    HavalCompressBlocks(HavalContext.state, HavalContext.passes, HavalContext.block, 1);
}

void HavalCompressBlocks(uint32_t (&state)[8], uint32_t passes, const uint8_t* data,
                         size_t count) {
    switch (passes) {
        case 3:
            CompressBlocks<3>(state, data, count);
            break;
        case 4:
            CompressBlocks<4>(state, data, count);
            break;
        default:
            CompressBlocks<5>(state, data, count);
            break;
    }
}
