// SHA-384/512's compression on 64-bit words in 128-bit vector registers, as both vector
// compressions of the 32-bit build do it (sha512_sse2.cpp, sha512_avx512vl.cpp): the
// message schedule of one block two words at a time, and the 80 steps.  They differ only in
// the instructions of a few operations, which each gives as the static functions of a
// class Ops:
//   Ch(x, y, z), Maj(x, y, z), BigSigma0(x), BigSigma1(x), SmallSigma0(x), SmallSigma1(x);
//   BigEndian(x), x with the bytes of each 64-bit word reversed;
//   OddPair(low, high), the high word of low below the low word of high.
//
// Only for those two units.  Each defines KORVADEX_SHA512_VECTOR_INLINE before it includes
// this, as the way its own functions are declared: plain `inline` where the whole unit is
// compiled for its instructions, the target and inlining attributes of each function where
// only its functions are.  The functions here have internal linkage: each unit compiles its
// own copy for its own target, and the linker cannot keep one unit's copy for the other.
#ifndef KORVADEX_DIGESTS_SHA512_VECTOR_COMPRESS_H
#define KORVADEX_DIGESTS_SHA512_VECTOR_COMPRESS_H

#include <emmintrin.h>

#include <cstdint>

#include "digest_tables.h"

#ifndef KORVADEX_SHA512_VECTOR_INLINE
#error "define KORVADEX_SHA512_VECTOR_INLINE for the unit's target first"
#endif

namespace {

// Every working variable is a 64-bit word in the low half of a register; the high half is
// don't-care and never reaches the result.

// The working variables in memory: slot t mod 8 of `a` holds the a made by step t - 4 (slots
// 3, 2, 1, 0 start as a, b, c, d), and likewise for `e` (e, f, g, h).  Each slot is a whole
// register, so that every load takes its value from one earlier store.  Step t reads its c,
// d, g and h from there; a and b, e and f, the last two made, stay in registers.  With
// eight vector registers that is what leaves room for the temporaries without spills, which
// would put a store and a load on the chain from one step to the next.
struct Working {
    __m128i a[8];
    __m128i e[8];
};

// Makes the compiler read slot back from memory, not from a register that held the value
// stored there.
KORVADEX_SHA512_VECTOR_INLINE void Kept(__m128i& slot) {
    __asm__("" : "+m"(slot));
}

// Keep the compiler from regrouping the sums below: the order of the additions is chosen
// for the chains from one step to the next.
KORVADEX_SHA512_VECTOR_INLINE __m128i Sum(__m128i x, __m128i y) {
    __m128i sum = _mm_add_epi64(x, y);
    __asm__("" : "+v"(sum));
    return sum;
}
KORVADEX_SHA512_VECTOR_INLINE __m128i Difference(__m128i x, __m128i y) {
    __m128i difference = _mm_sub_epi64(x, y);
    __asm__("" : "+v"(difference));
    return difference;
}

// Step t of the 80, i = t mod 8; kw points at the round constant plus the schedule word.
// The new e is d + h + kw + Ch(e, f, g) + Sigma1(e), summed so that it waits on the e of
// the step before only through Ch, Sigma1 and one addition (d, h and kw are ready long
// before), and the new a is that plus Maj - d plus Sigma0, which it waits on through one
// addition.  In that order few values are live at once: with one-instruction Ch and Maj,
// no more than seven.
template <class Ops, unsigned i>
KORVADEX_SHA512_VECTOR_INLINE void Step(Working& v, __m128i& a, __m128i& b, __m128i& e, __m128i& f,
                                        const uint64_t* kw) {
    const unsigned next = (i + 4) % 8;
    const __m128i hk = Sum(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(kw)), v.e[i]);
    const __m128i dhkCh = Sum(Sum(hk, v.a[i]), Ops::Ch(e, f, v.e[(i + 1) % 8]));
    const __m128i majD = Difference(Ops::Maj(a, b, v.a[(i + 1) % 8]), v.a[i]);
    const __m128i newE = Sum(dhkCh, Ops::BigSigma1(e));
    const __m128i newA = _mm_add_epi64(Sum(newE, majD), Ops::BigSigma0(a));
    v.e[next] = newE;
    Kept(v.e[next]);
    v.a[next] = newA;
    Kept(v.a[next]);
    b = a;
    a = newA;
    f = e;
    e = newE;
}

// The 80 steps over a block, its words plus round constants at kw[kStride * t], added into
// the chaining value ab, cd, ef, gh (two words each, the first in the low half).  Before
// each eight steps comes between(): the steps wait mostly on their chains, and work of the
// caller's own can fill the gaps.
template <class Ops, unsigned kStride, class Between>
KORVADEX_SHA512_VECTOR_INLINE void Steps(__m128i& ab, __m128i& cd, __m128i& ef, __m128i& gh,
                                         const uint64_t* kw, Between between) {
    Working v;
    v.a[3] = ab;
    v.a[2] = _mm_unpackhi_epi64(ab, ab);
    v.a[1] = cd;
    v.a[0] = _mm_unpackhi_epi64(cd, cd);
    v.e[3] = ef;
    v.e[2] = _mm_unpackhi_epi64(ef, ef);
    v.e[1] = gh;
    v.e[0] = _mm_unpackhi_epi64(gh, gh);
    for (__m128i& slot : v.a) Kept(slot);
    for (__m128i& slot : v.e) Kept(slot);
    __m128i a = v.a[3], b = v.a[2], e = v.e[3], f = v.e[2];
    for (unsigned t = 0; t < 80; t += 8, kw += 8 * kStride) {
        between();
        Step<Ops, 0>(v, a, b, e, f, kw);
        Step<Ops, 1>(v, a, b, e, f, kw + kStride);
        Step<Ops, 2>(v, a, b, e, f, kw + 2 * kStride);
        Step<Ops, 3>(v, a, b, e, f, kw + 3 * kStride);
        Step<Ops, 4>(v, a, b, e, f, kw + 4 * kStride);
        Step<Ops, 5>(v, a, b, e, f, kw + 5 * kStride);
        Step<Ops, 6>(v, a, b, e, f, kw + 6 * kStride);
        Step<Ops, 7>(v, a, b, e, f, kw + 7 * kStride);
    }
    ab = _mm_add_epi64(ab, _mm_unpacklo_epi64(v.a[3], v.a[2]));
    cd = _mm_add_epi64(cd, _mm_unpacklo_epi64(v.a[1], v.a[0]));
    ef = _mm_add_epi64(ef, _mm_unpacklo_epi64(v.e[3], v.e[2]));
    gh = _mm_add_epi64(gh, _mm_unpacklo_epi64(v.e[1], v.e[0]));
}

KORVADEX_SHA512_VECTOR_INLINE __m128i Pair(const uint64_t* w, unsigned t) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(w + t));
}

// The words of block plus round constants into wk[0..79], two at a time.  The schedule
// keeps its words in pairs at even positions: the odd pairs W[t-15], W[t-14] and W[t-7],
// W[t-6] are put together from the two even pairs around each, so that no load straddles
// two earlier stores.
template <class Ops>
KORVADEX_SHA512_VECTOR_INLINE void Schedule(uint64_t (&wk)[80], const uint8_t* block) {
    for (unsigned t = 0; t < 16; t += 2) {
        const __m128i x =
            Ops::BigEndian(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * t)));
        _mm_store_si128(reinterpret_cast<__m128i*>(wk + t), x);
    }
    __m128i last = Pair(wk, 14);
    for (unsigned t = 16; t < 80; t += 2) {
        last = _mm_add_epi64(
            _mm_add_epi64(Ops::SmallSigma1(last), Ops::OddPair(Pair(wk, t - 8), Pair(wk, t - 6))),
            _mm_add_epi64(Ops::SmallSigma0(Ops::OddPair(Pair(wk, t - 16), Pair(wk, t - 14))),
                          Pair(wk, t - 16)));
        _mm_store_si128(reinterpret_cast<__m128i*>(wk + t), last);
    }
    for (unsigned t = 0; t < 80; t += 2) {
        const __m128i k =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha512RoundConstants + t));
        _mm_store_si128(reinterpret_cast<__m128i*>(wk + t), _mm_add_epi64(Pair(wk, t), k));
    }
}

}  // namespace

#endif
