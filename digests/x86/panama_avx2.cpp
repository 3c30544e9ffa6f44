#include "kernels.h"

#if defined(KORVADEX_X86_KERNELS) && defined(__i386__)

#include <immintrin.h>

#include <utility>

// Only the functions below are compiled for AVX2, and only where the processor has it are
// they called.  They call no inline function of the project's headers: one compiled here
// for AVX2 could be the copy the linker keeps for every unit.

#define KORVADEX_PANAMA_AVX2 [[gnu::target("avx2"), gnu::always_inline]]

namespace {

// The seventeen words of the state, or of its image under gamma or pi: words 0..7 in lo,
// 8..15 in hi, 16 in lane 0 of w16 (its other lanes don't-care).
struct Words {
    __m256i lo, hi, w16;
};

constexpr unsigned PiSource(unsigned word) {
    return 7 * word % 17;
}
constexpr unsigned PiRotation(unsigned word) {
    return word * (word + 1) / 2 % 32;
}

// Where lane i of a copy takes its word: word kFirst + i (mod 17) of the seventeen, or of
// gamma's seventeen in pi's order (kPi).
template <bool kPi>
constexpr unsigned Source(unsigned word) {
    return kPi ? PiSource(word % 17) : word % 17;
}

// Lanes kFirst..kFirst + 7 (mod 17) of a copy of w: each register's words permuted, then
// blended.
template <bool kPi, unsigned kFirst, size_t... I>
KORVADEX_PANAMA_AVX2 inline __m256i GatherLanes(const Words& w, std::index_sequence<I...>) {
    constexpr unsigned src[8] = {Source<kPi>(kFirst + I)...};
    constexpr int fromLo = ((src[I] < 8 ? 1 << I : 0) | ...);
    constexpr int fromHi = ((src[I] >= 8 && src[I] < 16 ? 1 << I : 0) | ...);
    constexpr int from16 = ((src[I] == 16 ? 1 << I : 0) | ...);
    constexpr bool inPlace = ((src[I] % 8 == I) && ...);
    const __m256i index = _mm256_setr_epi32(int(src[I] % 8)...);
    const __m256i lo = inPlace ? w.lo : _mm256_permutevar8x32_epi32(w.lo, index);
    const __m256i hi = inPlace ? w.hi : _mm256_permutevar8x32_epi32(w.hi, index);
    const __m256i w16 = _mm256_broadcastd_epi32(_mm256_castsi256_si128(w.w16));
    __m256i r;
    if constexpr (fromLo != 0) r = lo;
    if constexpr (fromLo == 0 && fromHi != 0) r = hi;
    if constexpr (fromLo != 0 && fromHi != 0) r = _mm256_blend_epi32(r, hi, fromHi);
    if constexpr (fromLo == 0 && fromHi == 0) r = w16;
    if constexpr ((fromLo != 0 || fromHi != 0) && from16 != 0)
        r = _mm256_blend_epi32(r, w16, from16);
    return r;
}

template <bool kPi, unsigned kFirst>
KORVADEX_PANAMA_AVX2 inline __m256i Gather(const Words& w) {
    return GatherLanes<kPi, kFirst>(w, std::make_index_sequence<8>());
}

// Word kWord in lane 0 (the other lanes don't-care).
template <unsigned kWord>
KORVADEX_PANAMA_AVX2 inline __m256i Word(const Words& w) {
    if constexpr (kWord == 16) return w.w16;
    const __m256i r = kWord < 8 ? w.lo : w.hi;
    if constexpr (kWord % 8 < 4) return _mm256_shuffle_epi32(r, kWord % 4);
    return _mm256_permutevar8x32_epi32(r, _mm256_set1_epi32(kWord % 8));
}

// Lanes i rotated left by the pi rotation of word kFirst + i.
template <unsigned kFirst, size_t... I>
KORVADEX_PANAMA_AVX2 inline __m256i RotateLanes(__m256i x, std::index_sequence<I...>) {
    const __m256i left = _mm256_setr_epi32(int(PiRotation((kFirst + I) % 17))...);
    const __m256i right = _mm256_setr_epi32(int(32 - PiRotation((kFirst + I) % 17))...);
    return _mm256_or_si256(_mm256_sllv_epi32(x, left), _mm256_srlv_epi32(x, right));
}

// Lanes kFirst..kFirst + 7 of pi's words, from gamma's.
template <unsigned kFirst>
KORVADEX_PANAMA_AVX2 inline __m256i Pi(const Words& g) {
    return RotateLanes<kFirst>(Gather<true, kFirst>(g), std::make_index_sequence<8>());
}

// pi word kWord in lane 0.
template <unsigned kWord>
KORVADEX_PANAMA_AVX2 inline __m256i PiWord(const Words& g) {
    constexpr unsigned r = PiRotation(kWord);
    const __m256i x = Word<PiSource(kWord)>(g);
    if (r == 0) return x;
    return _mm256_or_si256(_mm256_slli_epi32(x, r), _mm256_srli_epi32(x, 32 - r));
}

KORVADEX_PANAMA_AVX2 inline __m256i LoadStage(const void* stage) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(stage));
}

KORVADEX_PANAMA_AVX2 inline void StoreStage(void* stage, __m256i value) {
    _mm256_storeu_si256(static_cast<__m256i*>(stage), value);
}

// One iteration.  a is the state, m receives the complement of the state after gamma and
// pi, words holds the buffer (logical stage 0 at word w), and block is the pushed block
// (kPush).
template <bool kPush>
KORVADEX_PANAMA_AVX2 inline void Iterate(Words& a, Words& m, uint32_t* words, uint32_t w,
                                         const uint8_t* block) {
    uint32_t* b31 = words + ((w + 248) & 255);  // becomes stage 0
    uint32_t* b24 = words + ((w + 192) & 255);  // becomes stage 25
    const uint32_t* b16 = words + ((w + 128) & 255);
    const uint32_t* b4 = words + ((w + 32) & 255);
    const __m256i ones = _mm256_set1_epi32(-1);

    // gamma's shifted copies; next.lo is a1..a8, which a pull puts into stage 31.
    const Words next = {Gather<false, 1>(a), Gather<false, 9>(a), a.lo};
    const Words third = {Gather<false, 2>(a), Gather<false, 10>(a), next.lo};

    // The buffer, while the state is still the old one: stage 24 takes stage 31's words two
    // places on, stage 31 the input (pushing) or a1..a8 (pulling).
    const __m256i s31 = LoadStage(b31);
    StoreStage(
        b24, _mm256_xor_si256(LoadStage(b24), _mm256_permutevar8x32_epi32(
                                                  s31, _mm256_setr_epi32(2, 3, 4, 5, 6, 7, 0, 1))));
    const __m256i in = kPush ? LoadStage(block) : LoadStage(b4);
    StoreStage(b31, _mm256_xor_si256(s31, kPush ? in : next.lo));

    // sigma's words, complemented: ~1, ~input, ~stage 16 (the last of which goes to a16).
    const __m256i up = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
    const __m256i inUp = _mm256_xor_si256(_mm256_permutevar8x32_epi32(in, up), ones);
    const __m256i stageUp = _mm256_xor_si256(_mm256_permutevar8x32_epi32(LoadStage(b16), up), ones);
    const __m256i sigmaLo = _mm256_blend_epi32(inUp, _mm256_set1_epi32(~1), 0x01);
    const __m256i sigmaHi = _mm256_blend_epi32(stageUp, inUp, 0x01);

    // gamma, complemented: ~(a_j ^ (a_(j+1) | ~a_(j+2))) = a_j ^ (~a_(j+1) & a_(j+2)).
    const Words g = {_mm256_xor_si256(a.lo, _mm256_andnot_si256(next.lo, third.lo)),
                     _mm256_xor_si256(a.hi, _mm256_andnot_si256(next.hi, third.hi)),
                     _mm256_xor_si256(a.w16, _mm256_andnot_si256(next.w16, third.w16))};

    // pi (complemented with gamma), theta and sigma: word I is m_I ^ m_(I+1) ^ m_(I+4) ^
    // sigma's word I; the three complements of pi's words and sigma's make none.
    m = {Pi<0>(g), Pi<8>(g), PiWord<16>(g)};
    a.lo = _mm256_xor_si256(_mm256_xor_si256(m.lo, sigmaLo), _mm256_xor_si256(Pi<1>(g), Pi<4>(g)));
    a.hi = _mm256_xor_si256(_mm256_xor_si256(m.hi, sigmaHi), _mm256_xor_si256(Pi<9>(g), Pi<12>(g)));
    a.w16 =
        _mm256_xor_si256(_mm256_xor_si256(m.w16, stageUp), _mm256_xor_si256(m.lo, PiWord<3>(g)));
}

template <bool kPush>
[[gnu::target("avx2")]] void Run(PanamaContextType& c, const uint8_t* data, size_t n) {
    Words a = {LoadStage(c.state), LoadStage(c.state + 8),
               _mm256_setr_epi32(int(c.state[16]), 0, 0, 0, 0, 0, 0, 0)};
    Words m = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
    uint32_t* words = &c.buffer[0][0];
    uint32_t w = 8 * c.tap;
    for (; n != 0; --n) {
        Iterate<kPush>(a, m, words, w, data);
        w = (w + 248) & 255;
        if (kPush) data += 32;
    }
    StoreStage(c.state, a.lo);
    StoreStage(c.state + 8, a.hi);
    c.state[16] = uint32_t(_mm_cvtsi128_si32(_mm256_castsi256_si128(a.w16)));
    const __m256i ones = _mm256_set1_epi32(-1);
    StoreStage(c.mix, _mm256_xor_si256(m.lo, ones));
    StoreStage(c.mix + 8, _mm256_xor_si256(m.hi, ones));
    c.mix[16] = ~uint32_t(_mm_cvtsi128_si32(_mm256_castsi256_si128(m.w16)));
    c.tap = w / 8;
    c.nextTap = w / 8;
}

}  // namespace

void PanamaIterateAvx2(PanamaContextType& c, const uint8_t* data, size_t n) {
    if (n == 0) return;
    if (data != nullptr)
        Run<true>(c, data, n);
    else
        Run<false>(c, nullptr, n);
}

#endif
