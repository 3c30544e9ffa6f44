#include "kernels.h"

#ifdef KORVADEX_HAVE_TIGER_I686

#include <emmintrin.h>

#include <cstring>

#include "digest_tables.h"

// As in tiger_sse2.cpp: the 32-bit build does not assume SSE2 elsewhere, and nothing here
// calls an inline function of the project's headers but this unit's own copies of those
// of tiger_sse2_words.h.  SSE4.1 and BMI1 appear only inside the assembly of a round.
#ifndef __SSE2__
#pragma GCC target("sse2")
#endif

#include "tiger_sse2_words.h"

namespace {

// A word in two general registers.
struct Halves {
    uint32_t lo, hi;
};

// One round with message word x (two halves).  On entry p holds the round's a, q its b
// (low halves of SSE registers) and c its c; on exit they hold the next round's a, b and
// c, which are this round's b, c and a: the roles rotate with the registers, so that every
// round has the same form.  The even bytes of c feed a, the odd ones b.  The box of an
// entry is its offset in kTigerSboxes divided by 2048.
template <unsigned kMul>
inline void Round(__m128i& p, __m128i& q, Halves& c, const uint32_t* x) {
    __m128i cWord, odd, entry;
    uint32_t evenLo, evenHi, index;
    __asm__(
        "xorl %[x0], %[lo]\n\t"
        "xorl %[x1], %[hi]\n\t"
        // even = T1[c0] ^ T2[c2] ^ T3[c4] ^ T4[c6], in two halves, the entries of the
        // high half (ready last) taken last.
        "movzbl %b[lo], %[i]\n\t"
        "movl %c[tab](,%[i],8), %[el]\n\t"
        "movl %c[tab]+4(,%[i],8), %[eh]\n\t"
        "bextr %[byte2], %[lo], %[i]\n\t"
        "xorl %c[tab]+2048(,%[i],8), %[el]\n\t"
        "xorl %c[tab]+2052(,%[i],8), %[eh]\n\t"
        "movzbl %b[hi], %[i]\n\t"
        "xorl %c[tab]+4096(,%[i],8), %[el]\n\t"
        "xorl %c[tab]+4100(,%[i],8), %[eh]\n\t"
        "bextr %[byte2], %[hi], %[i]\n\t"
        "xorl %c[tab]+6144(,%[i],8), %[el]\n\t"
        "xorl %c[tab]+6148(,%[i],8), %[eh]\n\t"
        // c into an SSE register, for the next round's b.
        "movd %[lo], %[cw]\n\t"
        "pinsrd $1, %[hi], %[cw]\n\t"
        // odd = T4[c1] ^ T3[c3] ^ T2[c5] ^ T1[c7].
        "movzbl %h[lo], %[i]\n\t"
        "movq %c[tab]+6144(,%[i],8), %[od]\n\t"
        "movzbl %h[hi], %[i]\n\t"
        "movq %c[tab]+2048(,%[i],8), %[e]\n\t"
        "pxor %[e], %[od]\n\t"
        "shrl $24, %[lo]\n\t"
        "shrl $24, %[hi]\n\t"
        "movq %c[tab]+4096(,%[lo],8), %[e]\n\t"
        "pxor %[e], %[od]\n\t"
        "movq %c[tab](,%[hi],8), %[e]\n\t"
        "pxor %[e], %[od]\n\t"
        // a - even, the next round's c.
        "movd %[a], %[lo]\n\t"
        "pextrd $1, %[a], %[hi]\n\t"
        "subl %[el], %[lo]\n\t"
        "sbbl %[eh], %[hi]"
        : [lo] "+Q"(c.lo), [hi] "+Q"(c.hi), [cw] "=&x"(cWord), [od] "=&x"(odd), [e] "=&x"(entry),
          [el] "=&r"(evenLo), [eh] "=&r"(evenHi), [i] "=&r"(index)
        : [a] "x"(p), [x0] "m"(x[0]), [x1] "m"(x[1]), [tab] "i"(&kTigerSboxes[0][0]),
          [byte2] "r"(0x0810u)
        : "cc");
    p = Multiply<kMul>(_mm_add_epi64(q, odd));
    q = cWord;
}

template <unsigned kMul>
inline void Pass(__m128i& p, __m128i& q, Halves& c, const uint32_t* x) {
    Round<kMul>(p, q, c, x + 0);
    Round<kMul>(p, q, c, x + 2);
    Round<kMul>(p, q, c, x + 4);
    Round<kMul>(p, q, c, x + 6);
    Round<kMul>(p, q, c, x + 8);
    Round<kMul>(p, q, c, x + 10);
    Round<kMul>(p, q, c, x + 12);
    Round<kMul>(p, q, c, x + 14);
}

// The key schedule over the eight message words, held as 32-bit halves.
inline void KeySchedule(uint32_t (&words)[16]) {
    __m128i x[8];
    for (int i = 0; i < 8; ++i)
        x[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(words + 2 * i));
    KeySchedule(x);
    // Stored half by half, as the rounds read them: a 32-bit load from the upper half of
    // a 64-bit vector store may wait for the store to complete.
    for (int i = 0; i < 8; ++i) {
        words[2 * i] = uint32_t(_mm_cvtsi128_si32(x[i]));
        words[2 * i + 1] = uint32_t(_mm_cvtsi128_si32(_mm_srli_epi64(x[i], 32)));
    }
}

}  // namespace

void TigerCompressSse41Bmi1(uint64_t (&state)[3], const uint8_t* data, size_t count) {
    __m128i p = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i q = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&state[1]));
    Halves c{uint32_t(state[2]), uint32_t(state[2] >> 32)};
    for (; count != 0; --count, data += 64) {
        // The message words as halves, low half first (x86 is little-endian), copied
        // through general registers for the same reason.
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) {
            uint32_t half;
            std::memcpy(&half, data + 4 * i, 4);
            __asm__("" : "+r"(half));  // not merged into vector moves
            x[i] = half;
        }
        const __m128i a0 = p, b0 = q;
        const uint64_t c0 = uint64_t(c.hi) << 32 | c.lo;
        // 24 rounds, a multiple of three: a, b and c end in the registers they began in.
        Pass<5>(p, q, c, x);
        KeySchedule(x);
        Pass<7>(p, q, c, x);
        KeySchedule(x);
        Pass<9>(p, q, c, x);
        p = _mm_xor_si128(p, a0);
        q = _mm_sub_epi64(q, b0);
        const uint64_t sum = (uint64_t(c.hi) << 32 | c.lo) + c0;
        c.lo = uint32_t(sum);
        c.hi = uint32_t(sum >> 32);
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&state[0]), p);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&state[1]), q);
    state[2] = uint64_t(c.hi) << 32 | c.lo;
}

#endif
