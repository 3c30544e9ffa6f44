#include "kernels.h"

#if defined(KORVADEX_X86_KERNELS) && defined(__i386__)

#include <emmintrin.h>

#include "digest_tables.h"

// The 32-bit build does not assume SSE2 elsewhere: only the code below is compiled for it,
// and its one entry is called only where the processor has it.  It calls no inline
// function of the project's headers but those of tiger_sse2_words.h, whose copies are this
// unit's own: one compiled here for SSE2 could be the copy the linker keeps for every unit.
#if defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2")
#endif

#include "tiger_sse2_words.h"

namespace {

// Every word sits in the low half of a register; the high half is don't-care and never
// reaches the result.

inline __m128i Entry(unsigned box, uint32_t index) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kTigerSboxes[box][index & 0xFF]));
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
