#include "tiger_sse2.h"

#ifdef KORVADEX_HAVE_TIGER_SSE2

#include <emmintrin.h>

#include "digest_tables.h"

// The 32-bit build does not assume SSE2 elsewhere: only the code below is compiled for it,
// and its one entry is called only where the processor has it.  It calls no inline
// function of the project's headers: one compiled here for SSE2 could be the copy the
// linker keeps for every unit.
#if defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2")
#endif

namespace {

// Every word sits in the low half of a register; the high half is don't-care and never
// reaches the result.

inline __m128i Entry(unsigned box, uint32_t index) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kTigerSboxes[box][index & 0xFF]));
}

// x * kMul for 5, 7 and 9, from one shift.
template <unsigned kMul>
inline __m128i Multiply(__m128i x) {
    static_assert(kMul == 5 || kMul == 7 || kMul == 9, "the three passes' multipliers");
    if (kMul == 5) return _mm_add_epi64(_mm_slli_epi64(x, 2), x);
    if (kMul == 7) return _mm_sub_epi64(_mm_slli_epi64(x, 3), x);
    return _mm_add_epi64(_mm_slli_epi64(x, 3), x);
}

// One round over (a, b, c) with message word x: the bytes of c, read from its two halves
// in general registers, index the S-boxes; the even bytes feed a, the odd bytes feed b.
template <unsigned kMul>
inline void Round(__m128i& a, __m128i& b, __m128i& c, __m128i x) {
    c = _mm_xor_si128(c, x);
    const uint32_t low = uint32_t(_mm_cvtsi128_si32(c));
    const uint32_t high = uint32_t(_mm_cvtsi128_si32(_mm_srli_epi64(c, 32)));
    const __m128i even = _mm_xor_si128(_mm_xor_si128(Entry(0, low), Entry(1, low >> 16)),
                                       _mm_xor_si128(Entry(2, high), Entry(3, high >> 16)));
    const __m128i odd = _mm_xor_si128(_mm_xor_si128(Entry(3, low >> 8), Entry(2, low >> 24)),
                                      _mm_xor_si128(Entry(1, high >> 8), Entry(0, high >> 24)));
    a = _mm_sub_epi64(a, even);
    b = Multiply<kMul>(_mm_add_epi64(b, odd));
}

template <unsigned kMul>
inline void Pass(__m128i& a, __m128i& b, __m128i& c, const __m128i* x) {
    Round<kMul>(a, b, c, x[0]);
    Round<kMul>(b, c, a, x[1]);
    Round<kMul>(c, a, b, x[2]);
    Round<kMul>(a, b, c, x[3]);
    Round<kMul>(b, c, a, x[4]);
    Round<kMul>(c, a, b, x[5]);
    Round<kMul>(a, b, c, x[6]);
    Round<kMul>(b, c, a, x[7]);
}

inline __m128i Word(uint64_t value) {
    return _mm_set_epi32(0, 0, int(uint32_t(value >> 32)), int(uint32_t(value)));
}

inline void KeySchedule(__m128i* x) {
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

void TigerCompressSse2(uint64_t (&state)[3], const uint8_t* data, size_t count) {
    __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[1]));
    __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[2]));
    for (; count != 0; --count, data += 64) {
        __m128i x[8];
        for (int i = 0; i < 8; ++i)
            x[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(data + 8 * i));
        const __m128i a0 = a, b0 = b, c0 = c;
        Pass<5>(a, b, c, x);
        KeySchedule(x);
        Pass<7>(c, a, b, x);
        KeySchedule(x);
        Pass<9>(b, c, a, x);
        a = _mm_xor_si128(a, a0);
        b = _mm_sub_epi64(b, b0);
        c = _mm_add_epi64(c, c0);
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&state[0]), a);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&state[1]), b);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&state[2]), c);
}

#endif
