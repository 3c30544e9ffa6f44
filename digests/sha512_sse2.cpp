#include "sha512_sse2.h"

#ifdef KORVADEX_HAVE_SHA512_SSE2

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

// Every value is a 64-bit word in the low half of a register; the high half is don't-care
// and never reaches the result.

template <int n>
inline __m128i Rotr(__m128i x) {
    return _mm_or_si128(_mm_srli_epi64(x, n), _mm_slli_epi64(x, 64 - n));
}
inline __m128i Add(__m128i x, __m128i y) {
    return _mm_add_epi64(x, y);
}
inline __m128i Xor(__m128i x, __m128i y) {
    return _mm_xor_si128(x, y);
}

// A big sigma, the rotations by a < b < c, from shifts with two of the three shifts of each
// direction taken together: x >> b ^ x >> c is (x ^ x >> (c - b)) >> b, and likewise to the
// left.  The 32-bit build has eight registers for the eight working variables and
// everything else, so temporaries count: three separate rotations need more of them live
// at once than the registers hold.
template <int a, int b, int c>
inline __m128i BigSigma(__m128i x) {
    const __m128i right =
        Xor(_mm_srli_epi64(x, a), _mm_srli_epi64(Xor(x, _mm_srli_epi64(x, c - b)), b));
    const __m128i left =
        Xor(_mm_slli_epi64(x, 64 - a), _mm_slli_epi64(Xor(x, _mm_slli_epi64(x, c - b)), 64 - c));
    return Xor(right, left);
}
inline __m128i BigSigma0(__m128i x) {
    return BigSigma<28, 34, 39>(x);
}
inline __m128i BigSigma1(__m128i x) {
    return BigSigma<14, 18, 41>(x);
}
// The schedule's sigma functions work on both halves: two schedule words at once.
inline __m128i SmallSigma0(__m128i x) {
    return Xor(Xor(Rotr<1>(x), Rotr<8>(x)), _mm_srli_epi64(x, 7));
}
inline __m128i SmallSigma1(__m128i x) {
    return Xor(Xor(Rotr<19>(x), Rotr<61>(x)), _mm_srli_epi64(x, 6));
}
inline __m128i Ch(__m128i x, __m128i y, __m128i z) {
    return Xor(z, _mm_and_si128(x, Xor(y, z)));
}
inline __m128i Maj(__m128i x, __m128i y, __m128i z) {
    return Xor(_mm_and_si128(Xor(x, y), Xor(y, z)), y);
}

// The working variables in memory: slot t mod 8 of `a` holds the a made by step t - 4 (slots
// 3, 2, 1, 0 start as a, b, c, d), and likewise for `e` (e, f, g, h).  Each slot is a whole
// register, so that every load takes its value from one earlier store.  Step t reads its c,
// d, g and h from there; a and b, e and f, the last two made, stay in registers.  With eight
// vector registers that leaves room for the temporaries, which the compiler otherwise
// spilled beside the working variables, some of them on the chain from one step to the
// next.
struct Working {
    __m128i a[8];
    __m128i e[8];
};

// Makes the compiler read slot back from memory, not from a register that held the value
// stored there.
inline void Kept(__m128i& slot) {
    __asm__("" : "+m"(slot));
}

// Keep the compiler from regrouping the sums below: the order of the additions is chosen
// for the chains from one step to the next.
inline __m128i Sum(__m128i x, __m128i y) {
    __m128i sum = Add(x, y);
    __asm__("" : "+x"(sum));
    return sum;
}
inline __m128i Difference(__m128i x, __m128i y) {
    __m128i difference = _mm_sub_epi64(x, y);
    __asm__("" : "+x"(difference));
    return difference;
}

// Step t of the 80, i = t mod 8; kw points at the round constant plus the schedule word.
// The new e is d + h + kw + Ch(e, f, g) + Sigma1(e), summed so that it waits on the e of
// the step before only through Ch, Sigma1 and one addition (d, h and kw are ready long
// before), and the new a is that plus Maj - d plus Sigma0, which it waits on through one
// addition.
template <unsigned i>
inline void Step(Working& v, __m128i& a, __m128i& b, __m128i& e, __m128i& f, const uint64_t* kw) {
    const unsigned next = (i + 4) % 8;
    const __m128i hk = Sum(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(kw)), v.e[i]);
    const __m128i dhkCh = Sum(Sum(hk, v.a[i]), Ch(e, f, v.e[(i + 1) % 8]));
    const __m128i majD = Difference(Maj(a, b, v.a[(i + 1) % 8]), v.a[i]);
    const __m128i newE = Sum(dhkCh, BigSigma1(e));
    const __m128i newA = Add(Sum(newE, majD), BigSigma0(a));
    v.e[next] = newE;
    Kept(v.e[next]);
    v.a[next] = newA;
    Kept(v.a[next]);
    b = a;
    a = newA;
    f = e;
    e = newE;
}

// The schedule words t and t + 1 (t even) from pairs stored at even positions: the odd
// pairs W[t-15], W[t-14] and W[t-7], W[t-6] are put together from the two even pairs
// around each, so that no load straddles two earlier stores.
inline __m128i Pair(const uint64_t* w, unsigned t) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(w + t));
}
inline __m128i OddPair(const uint64_t* w, unsigned t) {
    const __m128d low = _mm_castsi128_pd(Pair(w, t - 1));
    const __m128d high = _mm_castsi128_pd(Pair(w, t + 1));
    return _mm_castpd_si128(_mm_shuffle_pd(low, high, 1));
}

}  // namespace

void Sha512CompressSse2(uint64_t state[8], const uint8_t block[128]) {
    // The block's words, most significant byte first: the bytes swapped within each 16-bit
    // half-word, then the half-words reversed within each 64-bit word.
    alignas(16) uint64_t w[80];
    for (unsigned t = 0; t < 16; t += 2) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * t));
        x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
        x = _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0x1B), 0x1B);
        _mm_store_si128(reinterpret_cast<__m128i*>(w + t), x);
    }
    __m128i last = Pair(w, 14);
    for (unsigned t = 16; t < 80; t += 2) {
        const __m128i next = Add(Add(SmallSigma1(last), OddPair(w, t - 7)),
                                 Add(SmallSigma0(OddPair(w, t - 15)), Pair(w, t - 16)));
        _mm_store_si128(reinterpret_cast<__m128i*>(w + t), next);
        last = next;
    }
    // The round constants join the schedule words two at a time.
    for (unsigned t = 0; t < 80; t += 2) {
        const __m128i k =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha512RoundConstants + t));
        _mm_store_si128(reinterpret_cast<__m128i*>(w + t), Add(Pair(w, t), k));
    }

    const __m128i* chaining = reinterpret_cast<const __m128i*>(state);
    const __m128i ab = _mm_loadu_si128(chaining), cd = _mm_loadu_si128(chaining + 1);
    const __m128i ef = _mm_loadu_si128(chaining + 2), gh = _mm_loadu_si128(chaining + 3);
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
    for (unsigned t = 0; t < 80; t += 8) {
        Step<0>(v, a, b, e, f, w + t);
        Step<1>(v, a, b, e, f, w + t + 1);
        Step<2>(v, a, b, e, f, w + t + 2);
        Step<3>(v, a, b, e, f, w + t + 3);
        Step<4>(v, a, b, e, f, w + t + 4);
        Step<5>(v, a, b, e, f, w + t + 5);
        Step<6>(v, a, b, e, f, w + t + 6);
        Step<7>(v, a, b, e, f, w + t + 7);
    }
    __m128i* out = reinterpret_cast<__m128i*>(state);
    _mm_storeu_si128(out, Add(ab, _mm_unpacklo_epi64(v.a[3], v.a[2])));
    _mm_storeu_si128(out + 1, Add(cd, _mm_unpacklo_epi64(v.a[1], v.a[0])));
    _mm_storeu_si128(out + 2, Add(ef, _mm_unpacklo_epi64(v.e[3], v.e[2])));
    _mm_storeu_si128(out + 3, Add(gh, _mm_unpacklo_epi64(v.e[1], v.e[0])));
}

#endif
