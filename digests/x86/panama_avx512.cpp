#include "kernels.h"

#ifdef KORVADEX_X86_KERNELS

#include <immintrin.h>

// Only the functions below are compiled for AVX-512, and only where the processor has it are
// they called.  They call no inline function of the project's headers: one compiled here
// for AVX-512 could be the copy the linker keeps for every unit.
// GCC 12's AVX-512 headers fill the unused source of the unmasked forms from a
// self-initialised variable, which -Wuninitialized reports at every inlined call.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define KORVADEX_PANAMA_AVX512 [[gnu::target("avx512f,avx512bw,avx512vl"), gnu::always_inline]]

namespace {

// The truth tables of the three-input logic instructions, over the bits of their first
// (0xF0), second (0xCC) and third (0xAA) operands.
constexpr int kGamma = 0x2D;  // x ^ (y | ~z)
constexpr int kXor3 = 0x96;   // x ^ y ^ z

// Sixteen lanes of a permutation or a rotation.
struct Lanes {
    alignas(64) uint32_t lane[16];
};

// Lane i takes word i + k (mod 17) of the seventeen: 0..15 are those of the first register,
// 16 lane 0 of the second.
constexpr Lanes Shifted(unsigned k) {
    Lanes l{};
    for (unsigned i = 0; i < 16; ++i) l.lane[i] = (i + k) % 17;
    return l;
}

// pi word I is gamma word 7I mod 17 rotated left by I(I + 1)/2 mod 32.  Lane i of these
// makes pi word i + k (mod 17): theta needs the words as they are and shifted by 1 and 4,
// each made from gamma's words directly rather than by shifting the first.
constexpr unsigned PiSource(unsigned word) {
    return 7 * word % 17;
}
constexpr unsigned PiRotation(unsigned word) {
    return word * (word + 1) / 2 % 32;
}
constexpr Lanes PiSources(unsigned k) {
    Lanes l{};
    for (unsigned i = 0; i < 16; ++i) l.lane[i] = PiSource((i + k) % 17);
    return l;
}
constexpr Lanes PiRotations(unsigned k) {
    Lanes l{};
    for (unsigned i = 0; i < 16; ++i) l.lane[i] = PiRotation((i + k) % 17);
    return l;
}

constexpr Lanes kGammaThird = Shifted(2);
template <unsigned k>
constexpr Lanes kPiSources = PiSources(k);
template <unsigned k>
constexpr Lanes kPiRotations = PiRotations(k);
// Lane 15 is sigma's 1 into word 0, shifted in below the input and stage 16.
constexpr Lanes kSigmaOne = {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};

KORVADEX_PANAMA_AVX512 inline __m512i Load(const Lanes& table) {
    return _mm512_load_si512(table.lane);
}

KORVADEX_PANAMA_AVX512 inline __m256i LoadStage(const uint32_t* stage) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(stage));
}

KORVADEX_PANAMA_AVX512 inline void StoreStage(uint32_t* stage, __m256i value) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(stage), value);
}

// pi word i + k in lane i, from gamma's words (g16: the seventeenth, in lane 0).
template <unsigned k>
KORVADEX_PANAMA_AVX512 inline __m512i Pi(__m512i g, __m512i g16) {
    return _mm512_rolv_epi32(_mm512_permutex2var_epi32(g, Load(kPiSources<k>), g16),
                             Load(kPiRotations<k>));
}
// pi word `word` in lane 0.
template <unsigned kWord>
KORVADEX_PANAMA_AVX512 inline __m512i PiWord(__m512i g) {
    constexpr int kSource = PiSource(kWord), kRotation = PiRotation(kWord);
    static_assert(kSource < 16, "a word of the first register");
    return _mm512_rol_epi32(_mm512_alignr_epi32(g, g, kSource), kRotation);
}

// One iteration.  a and a16 are the state (a16 in lane 0), m and m16 receive the state
// after gamma and pi, words holds the buffer (logical stage 0 at word w), and block is the
// pushed block (kPush).
template <bool kPush>
KORVADEX_PANAMA_AVX512 inline void Iterate(__m512i& a, __m512i& a16, __m512i& m, __m512i& m16,
                                           uint32_t* words, uint32_t w, const uint8_t* block) {
    uint32_t* b31 = words + ((w + 248) & 255);  // becomes stage 0
    uint32_t* b24 = words + ((w + 192) & 255);  // becomes stage 25
    const uint32_t* b16 = words + ((w + 128) & 255);
    const uint32_t* b4 = words + ((w + 32) & 255);

    // The buffer first, while the state is still the old one: stage 24 takes stage 31's
    // words two places on, stage 31 the input (pushing) or a1..a8 (pulling).
    const __m256i s31 = LoadStage(b31);
    StoreStage(b24, _mm256_xor_si256(LoadStage(b24), _mm256_alignr_epi32(s31, s31, 2)));
    const __m256i in =
        kPush ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block)) : LoadStage(b4);
    const __m256i lambda = kPush ? in : _mm512_castsi512_si256(_mm512_alignr_epi32(a, a, 1));
    StoreStage(b31, _mm256_xor_si256(s31, lambda));

    // sigma's words: 1, the input, stage 16; the last word of stage 16 goes to a16.
    const __m512i inStage16 = _mm512_inserti64x4(_mm512_castsi256_si512(in), LoadStage(b16), 1);
    const __m512i sigma = _mm512_alignr_epi32(inStage16, Load(kSigmaOne), 15);
    const __m512i sigma16 = _mm512_alignr_epi32(inStage16, inStage16, 15);

    // gamma: word j is a_j ^ (a_(j+1) | ~a_(j+2)).
    const __m512i next = _mm512_alignr_epi32(a16, a, 1);
    const __m512i third = _mm512_permutex2var_epi32(a, Load(kGammaThird), a16);
    const __m512i g = _mm512_ternarylogic_epi32(a, next, third, kGamma);
    const __m512i g16 = _mm512_ternarylogic_epi32(a16, a, next, kGamma);

    // pi, theta and sigma: word I is m_I ^ m_(I+1) ^ m_(I+4) ^ sigma's word I, the three
    // pi words each made from gamma's words (the shifted ones were slower as shifts of m,
    // which put a second permutation on the chain from one iteration to the next).
    m = Pi<0>(g, g16);
    m16 = PiWord<16>(g);
    a = _mm512_ternarylogic_epi32(_mm512_xor_si512(m, sigma), Pi<1>(g, g16), Pi<4>(g, g16), kXor3);
    a16 = _mm512_ternarylogic_epi32(_mm512_xor_si512(m16, sigma16), m, PiWord<3>(g), kXor3);
}

template <bool kPush>
[[gnu::target("avx512f,avx512bw,avx512vl")]] void Run(PanamaContextType& c, const uint8_t* data,
                                                      size_t n) {
    __m512i a = _mm512_loadu_si512(c.state);
    __m512i a16 = _mm512_maskz_loadu_epi32(1, c.state + 16);
    __m512i m = _mm512_setzero_si512(), m16 = _mm512_setzero_si512();
    uint32_t* words = &c.buffer[0][0];
    uint32_t w = 8 * c.tap;
    for (; n != 0; --n) {
        Iterate<kPush>(a, a16, m, m16, words, w, data);
        w = (w + 248) & 255;
        if (kPush) data += 32;
    }
    _mm512_storeu_si512(c.state, a);
    _mm512_mask_storeu_epi32(c.state + 16, 1, a16);
    _mm512_storeu_si512(c.mix, m);
    _mm512_mask_storeu_epi32(c.mix + 16, 1, m16);
    c.tap = w / 8;
    c.nextTap = w / 8;
}

}  // namespace

void PanamaIterateAvx512(PanamaContextType& c, const uint8_t* data, size_t n) {
    if (n == 0) return;
    if (data != nullptr)
        Run<true>(c, data, n);
    else
        Run<false>(c, nullptr, n);
}

#endif
