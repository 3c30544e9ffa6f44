#include "panama.h"

#include <cstring>
#include <utility>

#include "byte_order.h"
#include "compiler_hints.h"
#include "compress_paths.h"
#include "stream_adapters.h"
#include "streaming_engines.h"
#include "x86/kernels.h"

PanamaContextType PanamaContext;

namespace {

// gamma and pi fused: gamma word j = a_j ^ (a_(j+1) | ~a_(j+2)), indices mod 17, goes
// straight to its pi position I, the one with 7I = j (mod 17), that is I = 5j mod 17,
// rotated left by I(I + 1)/2 mod 32.  Taking the words in gamma order lets each old state
// word die early, which keeps the compiler's register pressure down.
template <size_t J>
inline void GammaPi(const uint32_t (&a)[17], uint32_t (&m)[17]) {
    constexpr size_t I = 5 * J % 17;
    m[I] = Rotl32(a[J] ^ (a[(J + 1) % 17] | ~a[(J + 2) % 17]), I * (I + 1) / 2 % 32);
}

// Whether theta takes the pushed block's words from the message itself and puts them into
// stage b31 as well, so that each word is read once, into a register, and used twice.  In
// 32-bit builds, short of registers, the block's words as an array live on the stack: a
// store and two loads a word more.  64-bit builds keep the array, which is as fast there
// (the words fetched from the message where theta uses them were slower).
constexpr bool kBlockIntoTheta = sizeof(void*) < 8;

// theta and sigma, word I: m_I ^ m_(I+1) ^ m_(I+4), then 1 into word 0, the input
// (the pushed block, or logical stage 4 when pulling) into words 1..8 and logical stage
// 16 into words 9..16.  With kFromMessage, the input words come from the message at data,
// and each goes into b31 too.
template <bool kFromMessage, size_t I>
inline uint32_t ThetaSigma(const uint32_t (&m)[17], const uint32_t* in, const uint8_t* data,
                           uint32_t* b31, const uint32_t* b16) {
    const uint32_t t = m[I] ^ m[(I + 1) % 17] ^ m[(I + 4) % 17];
    if constexpr (I == 0) return t ^ 1;
    if constexpr (I >= 1 && I <= 8 && kFromMessage) {
        const uint32_t word = LoadLe32(data + 4 * (I - 1));
        b31[I - 1] ^= word;
        return t ^ word;
    }
    if constexpr (I >= 1 && I <= 8 && !kFromMessage) return t ^ in[I - 1];
    if constexpr (I >= 9) return t ^ b16[I - 9];
}

template <bool kFromMessage, size_t... I>
inline void StateUpdate(uint32_t (&a)[17], uint32_t (&m)[17], const uint32_t* in,
                        const uint8_t* data, uint32_t* b31, const uint32_t* b16,
                        std::index_sequence<I...>) {
    (GammaPi<I>(a, m), ...);
    // theta takes the words back from m.  Left to itself the compiler keeps the
    // seventeen gamma words live from gamma to theta; short of registers, as in 32-bit
    // builds, it then spills each one to the stack beside its store into m, seventeen
    // stores more an iteration.  Reading them back from m ends those live ranges.
    ForgetRegisterCopies(m);
    ((a[I] = ThetaSigma<kFromMessage, I>(m, in, data, b31, b16)), ...);
}

// One iteration over the state a, the scratch m and the buffer; p is the pushed block
// as words, unused when pulling.
template <bool kPush>
KORVADEX_ALWAYS_INLINE void Iterate(uint32_t (&a)[17], uint32_t (&m)[17], uint32_t (*buffer)[8],
                                    uint32_t& tap, uint32_t& nextTap, const uint32_t* p) {
    nextTap = (tap + 31) & 31;
    uint32_t* b31 = buffer[nextTap];          // becomes stage 0
    uint32_t* b24 = buffer[(tap + 24) & 31];  // becomes stage 25
    const uint32_t* b16 = buffer[(tap + 16) & 31];
    const uint32_t* b4 = buffer[(tap + 4) & 31];
    // The buffer first, while the state is still the old one.
    for (int i = 0; i < 8; ++i) b24[i] ^= b31[(i + 2) & 7];
    for (int i = 0; i < 8; ++i) b31[i] ^= kPush ? p[i] : a[1 + i];
    StateUpdate<false>(a, m, kPush ? p : b4, nullptr, b31, b16, std::make_index_sequence<17>());
    tap = nextTap;
}

// n iterations, pushing blocks of 32 bytes from data (kPush) or pulling (data unused),
// in builds with kBlockIntoTheta: a pushed block is the 32 bytes at data, which theta puts
// into stage 31 as well.  As in Run, the state, the scratch and the buffer live in local
// variables for the run; the buffer as one array of words, each stage found by the index
// of its first word (w for logical stage 0), which needs no shift to become an address.
// The iteration is written out in the loop: as a function of its own, the compiler's
// estimate of its size stopped short of inlining it, and called, it ran on the arrays in
// memory.
template <bool kPush>
KORVADEX_ALWAYS_INLINE void RunOnFewRegisters(PanamaContextType& c, const uint8_t* data, size_t n) {
    uint32_t a[17], m[17];
    std::memcpy(a, c.state, sizeof a);
    uint32_t words[256];
    std::memcpy(words, c.buffer, sizeof words);
    uint32_t w = 8 * c.tap;
    for (; n != 0; --n) {
        const uint32_t w31 = (w + 248) & 255;
        uint32_t* b31 = words + w31;  // becomes stage 0
        uint32_t* b24 = words + ((w + 192) & 255);
        const uint32_t* b16 = words + ((w + 128) & 255);
        const uint32_t* b4 = words + ((w + 32) & 255);
        if (kPush) PrefetchAhead(data);
        // The buffer first, while the state is still the old one (theta, which puts a
        // pushed block into b31, reads neither b31 nor b24).
        for (int i = 0; i < 8; ++i) b24[i] ^= b31[(i + 2) & 7];
        if (!kPush)
            for (int i = 0; i < 8; ++i) b31[i] ^= a[1 + i];
        StateUpdate<kPush>(a, m, b4, data, b31, b16, std::make_index_sequence<17>());
        w = w31;
        if (kPush) data += 32;
    }
    std::memcpy(c.state, a, sizeof a);
    std::memcpy(c.mix, m, sizeof m);
    std::memcpy(c.buffer, words, sizeof words);
    Wipe(words, sizeof words);
    c.tap = w / 8;
    c.nextTap = w / 8;
}

// n iterations, pushing blocks of 32 bytes from data (kPush) or pulling (data unused).
// The state and the scratch live in local variables for the run, where the compiler can
// keep them in registers, and so does the buffer, which on the stack is addressed without a
// register for the context's address; the context gets them back at the end, and the
// copy of the buffer is wiped.
template <bool kPush>
KORVADEX_ALWAYS_INLINE void RunPortable(PanamaContextType& c, const uint8_t* data, size_t n) {
    if (n == 0) return;
    if constexpr (kBlockIntoTheta) {
        RunOnFewRegisters<kPush>(c, data, n);
        return;
    }
    uint32_t a[17], m[17];
    std::memcpy(a, c.state, sizeof a);
    uint32_t tap = c.tap, nextTap = c.nextTap;
    uint32_t buffer[32][8];
    std::memcpy(buffer, c.buffer, sizeof buffer);
    for (; n != 0; --n) {
        uint32_t p[8];
        if (kPush) {
            PrefetchAhead(data);
            for (int i = 0; i < 8; ++i) p[i] = LoadLe32(data + 4 * i);
            data += 32;
        }
        Iterate<kPush>(a, m, buffer, tap, nextTap, p);
    }
    std::memcpy(c.state, a, sizeof a);
    std::memcpy(c.mix, m, sizeof m);
    std::memcpy(c.buffer, buffer, sizeof buffer);
    Wipe(buffer, sizeof buffer);
    c.tap = tap;
    c.nextTap = nextTap;
}

// n iterations of the portable code: pushing the n 32-byte blocks at data or, where data is
// null, pulling n times.
void PanamaIteratePortable(PanamaContextType& c, const uint8_t* data, size_t n) {
    if (data != nullptr)
        RunPortable<true>(c, data, n);
    else
        RunPortable<false>(c, nullptr, n);
}

#ifdef KORVADEX_X86_KERNELS
bool HasAvx512(const CpuFeatures& cpu) {
    return cpu.avx512;
}
#endif
#if defined(KORVADEX_X86_KERNELS) && defined(__i386__)
bool HasAvx2(const CpuFeatures& cpu) {
    return cpu.avx2;
}
#endif

}  // namespace

// The iterations the engine runs: the AVX-512 ones where the processor has them, in both
// builds (a whole operation of the state at a time beats word by word even where the
// general registers hold all of it).  Else the 32-bit build, whose seven general registers
// hold little of the state, takes the AVX2 ones; the 64-bit build the portable ones, which
// have the registers they need there.
const CompressPath<PanamaIteration> kPanamaPathRows[] = {
#ifdef KORVADEX_X86_KERNELS
    {"AVX-512", "AVX-512 F, BW and VL", HasAvx512, PanamaIterateAvx512},
#endif
#if defined(KORVADEX_X86_KERNELS) && defined(__i386__)
    {"AVX2", "AVX2", HasAvx2, PanamaIterateAvx2},
#endif
    {"portable", "", RunsAnywhere, PanamaIteratePortable},
};
const PathTable<PanamaIteration> kPanamaPaths = MakePathTable(kPanamaPathRows);

namespace {

// The row this processor runs; the portable one inline, where UpdateContext (below) wants it.
template <bool kPush>
KORVADEX_ALWAYS_INLINE void Run(PanamaContextType& c, const uint8_t* data, size_t n) {
    PanamaIteration* const iterate = RoutineHere<kPanamaPaths>();
    if (iterate != PanamaIteratePortable) return iterate(c, kPush ? data : nullptr, n);
    RunPortable<kPush>(c, data, n);
}

}  // namespace

void PanamaPush(PanamaContextType& context, const uint8_t* block) {
    Run<true>(context, block, 1);
}

void PanamaPull(PanamaContextType& context) {
    Run<false>(context, nullptr, 1);
}

namespace {

// Clears everything but the padding pattern.
void PanamaReset(PanamaContextType& c) {
    std::memset(c.state, 0, sizeof c.state);
    std::memset(c.mix, 0, sizeof c.mix);
    std::memset(c.buffer, 0, sizeof c.buffer);
    c.tap = 0;
    c.nextTap = 0;
    c.byteCount = 0;
}

}  // namespace

namespace {

// Update, inlined into both entries together with the iterations: over the static context
// the compiler then addresses the buffer directly, which left it enough registers for the
// iterations (over a context passed in, the same code needed more instructions).
KORVADEX_ALWAYS_INLINE void UpdateContext(PanamaContextType& c, const uint8_t* data,
                                          size_t length) {
    if (length == 0) return;
    const uint32_t fill = uint32_t(c.byteCount) & 31;
    c.byteCount += length;
    if (fill != 0) {
        const size_t space = 32 - fill;
        if (length < space) {
            std::memcpy(c.block + fill, data, length);
            return;
        }
        std::memcpy(c.block + fill, data, space);
        PanamaPush(c, c.block);
        data += space;
        length -= space;
    }
    Run<true>(c, data, length / 32);
    data += length & ~size_t(31);
    length &= 31;
    if (length != 0) std::memcpy(c.block, data, length);
}

}  // namespace

void PanamaUpdate(PanamaContextType& c, const uint8_t* data, size_t length) {
    UpdateContext(c, data, length);
}

const uint8_t* PanamaFinal(PanamaContextType& c) {
    const uint32_t fill = uint32_t(c.byteCount) & 31;
    std::memcpy(c.block + fill, c.padTemplate, 32 - fill);
    PanamaPush(c, c.block);
    Run<false>(c, nullptr, 32);
    for (int i = 0; i < 8; ++i) StoreLe32(c.result + 4 * i, c.state[9 + i]);
    Wipe(c.state, sizeof c.state);
    Wipe(c.mix, sizeof c.mix);
    Wipe(c.buffer, sizeof c.buffer);
    c.tap = 0;
    c.nextTap = 0;
    c.byteCount = 0;
    return c.result;
}

void PanamaInit(PanamaContextType& c) {
    std::memset(c.padTemplate, 0, sizeof c.padTemplate);
    c.padTemplate[0] = 0x01;
    PanamaReset(c);
}

void PanamaInit() {
    PanamaReset(PanamaContext);
}
void PanamaUpdate(const uint8_t* data, uint32_t length) {
    UpdateContext(PanamaContext, data, length);
}
const uint8_t* PanamaFinal() {
    return PanamaFinal(PanamaContext);
}

DigestResult PanamaDigestEx(const uint8_t* data, uint32_t length, uint32_t p0, uint32_t p1,
                            uint32_t p2, uint32_t p3, uint32_t p4, uint32_t p5, uint32_t p6,
                            uint32_t p7) {
    PanamaContextType& c = PanamaContext;
    const uint32_t pattern[8] = {p0, p1, p2, p3, p4, p5, p6, p7};
    for (int i = 0; i < 8; ++i) StoreLe32(c.padTemplate + 4 * i, pattern[i]);
    PanamaInit();
    PanamaUpdate(data, length);
    return DigestAddress(PanamaFinal());
}

DigestResult PanamaDigest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return PanamaDigestEx(data, length, 1, 0, 0, 0, 0, 0, 0, 0);
}

const StreamingEngine kPanamaStream =
    ContextAdapter<PanamaContextType, PanamaInit, PanamaUpdate, PanamaFinal, kPanamaSize,
                   PathNameHere<kPanamaPaths>>::kEngine;
