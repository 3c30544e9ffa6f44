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

// One step, as in the scalar compression: the caller renames the variables, kw is the
// round constant plus the schedule word.
inline void Step(__m128i a, __m128i b, __m128i c, __m128i& d, __m128i e, __m128i f, __m128i g,
                 __m128i& h, const uint64_t* kw) {
    h = Add(h, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kw)));
    h = Add(h, Ch(e, f, g));
    h = Add(h, BigSigma1(e));
    d = Add(d, h);
    h = Add(h, Maj(a, b, c));
    h = Add(h, BigSigma0(a));
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
    __m128i a = ab, b = _mm_unpackhi_epi64(ab, ab), c = cd, d = _mm_unpackhi_epi64(cd, cd);
    __m128i e = ef, f = _mm_unpackhi_epi64(ef, ef), g = gh, h = _mm_unpackhi_epi64(gh, gh);
    for (unsigned t = 0; t < 80; t += 8) {
        Step(a, b, c, d, e, f, g, h, w + t);
        Step(h, a, b, c, d, e, f, g, w + t + 1);
        Step(g, h, a, b, c, d, e, f, w + t + 2);
        Step(f, g, h, a, b, c, d, e, w + t + 3);
        Step(e, f, g, h, a, b, c, d, w + t + 4);
        Step(d, e, f, g, h, a, b, c, w + t + 5);
        Step(c, d, e, f, g, h, a, b, w + t + 6);
        Step(b, c, d, e, f, g, h, a, w + t + 7);
    }
    __m128i* out = reinterpret_cast<__m128i*>(state);
    _mm_storeu_si128(out, Add(ab, _mm_unpacklo_epi64(a, b)));
    _mm_storeu_si128(out + 1, Add(cd, _mm_unpacklo_epi64(c, d)));
    _mm_storeu_si128(out + 2, Add(ef, _mm_unpacklo_epi64(e, f)));
    _mm_storeu_si128(out + 3, Add(gh, _mm_unpacklo_epi64(g, h)));
}

#endif
