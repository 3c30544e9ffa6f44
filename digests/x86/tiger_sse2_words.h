// The parts of Tiger's compression that both compressions on SSE2 registers (tiger_sse2.cpp,
// tiger_i686.cpp) do alike, on 64-bit words in the low halves of SSE registers (the high
// halves are don't-care and never reach the result): the multiplication that ends a round
// and the key schedule between the passes.
//
// Only for those two units, included where SSE2 is already turned on for the rest of the
// unit.  The functions have internal linkage: each unit compiles its own copy for its own
// target, and the linker cannot keep one unit's copy for the other.
#ifndef KORVADEX_DIGESTS_TIGER_SSE2_WORDS_H
#define KORVADEX_DIGESTS_TIGER_SSE2_WORDS_H

#include <emmintrin.h>

#include <cstdint>

namespace {

// x * kMul for 5, 7 and 9, from one shift.
template <unsigned kMul>
inline __m128i Multiply(__m128i x) {
    static_assert(kMul == 5 || kMul == 7 || kMul == 9, "the three passes' multipliers");
    if (kMul == 5) return _mm_add_epi64(_mm_slli_epi64(x, 2), x);
    if (kMul == 7) return _mm_sub_epi64(_mm_slli_epi64(x, 3), x);
    return _mm_add_epi64(_mm_slli_epi64(x, 3), x);
}

inline __m128i Word(uint64_t value) {
    return _mm_set_epi32(0, 0, int(uint32_t(value >> 32)), int(uint32_t(value)));
}

// The key schedule over the eight message words x[0..7], in place.
inline void KeySchedule(__m128i (&x)[8]) {
    const __m128i ones = _mm_set1_epi32(-1);
    x[0] = _mm_sub_epi64(x[0], _mm_xor_si128(x[7], Word(0xA5A5A5A5A5A5A5A5)));
    x[1] = _mm_xor_si128(x[1], x[0]);
    x[2] = _mm_add_epi64(x[2], x[1]);
    x[3] = _mm_sub_epi64(x[3], _mm_xor_si128(x[2], _mm_slli_epi64(_mm_xor_si128(x[1], ones), 19)));
    x[4] = _mm_xor_si128(x[4], x[3]);
    x[5] = _mm_add_epi64(x[5], x[4]);
    x[6] = _mm_sub_epi64(x[6], _mm_xor_si128(x[5], _mm_srli_epi64(_mm_xor_si128(x[4], ones), 23)));
    x[7] = _mm_xor_si128(x[7], x[6]);
    x[0] = _mm_add_epi64(x[0], x[7]);
    x[1] = _mm_sub_epi64(x[1], _mm_xor_si128(x[0], _mm_slli_epi64(_mm_xor_si128(x[7], ones), 19)));
    x[2] = _mm_xor_si128(x[2], x[1]);
    x[3] = _mm_add_epi64(x[3], x[2]);
    x[4] = _mm_sub_epi64(x[4], _mm_xor_si128(x[3], _mm_srli_epi64(_mm_xor_si128(x[2], ones), 23)));
    x[5] = _mm_xor_si128(x[5], x[4]);
    x[6] = _mm_add_epi64(x[6], x[5]);
    x[7] = _mm_sub_epi64(x[7], _mm_xor_si128(x[6], Word(0x0123456789ABCDEF)));
}

}  // namespace

#endif
