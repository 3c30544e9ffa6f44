#include "kernels.h"

#if defined(KORVADEX_X86_KERNELS) && defined(__i386__)

#include <emmintrin.h>

// The 32-bit build does not assume SSE2 elsewhere: only the code below is compiled for it,
// and its one entry is called only where the processor has it.  It calls no inline
// function of the project's headers but those of sha512_vector_compress.h, whose copies
// are this unit's own: one compiled here for SSE2 could be the copy the linker keeps for
// every unit.
#if defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2")
#endif

#define KORVADEX_SHA512_VECTOR_INLINE inline
#include "sha512_vector_compress.h"

namespace {

// The operations of sha512_vector_compress.h in SSE2 instructions.
struct Sse2 {
    template <int n>
    static __m128i Rotr(__m128i x) {
        return _mm_or_si128(_mm_srli_epi64(x, n), _mm_slli_epi64(x, 64 - n));
    }
    static __m128i Xor(__m128i x, __m128i y) { return _mm_xor_si128(x, y); }

    // A big sigma, the rotations by a < b < c, from shifts with two of the three shifts of
    // each direction taken together: x >> b ^ x >> c is (x ^ x >> (c - b)) >> b, and
    // likewise to the left.  The 32-bit build has eight registers for the eight working
    // variables and everything else, so temporaries count: three separate rotations need
    // more of them live at once than the registers hold.
    template <int a, int b, int c>
    static __m128i BigSigma(__m128i x) {
        const __m128i right =
            Xor(_mm_srli_epi64(x, a), _mm_srli_epi64(Xor(x, _mm_srli_epi64(x, c - b)), b));
        const __m128i left = Xor(_mm_slli_epi64(x, 64 - a),
                                 _mm_slli_epi64(Xor(x, _mm_slli_epi64(x, c - b)), 64 - c));
        return Xor(right, left);
    }
    static __m128i BigSigma0(__m128i x) { return BigSigma<28, 34, 39>(x); }
    static __m128i BigSigma1(__m128i x) { return BigSigma<14, 18, 41>(x); }
    // The schedule's sigma functions work on both halves: two schedule words at once.
    static __m128i SmallSigma0(__m128i x) {
        return Xor(Xor(Rotr<1>(x), Rotr<8>(x)), _mm_srli_epi64(x, 7));
    }
    static __m128i SmallSigma1(__m128i x) {
        return Xor(Xor(Rotr<19>(x), Rotr<61>(x)), _mm_srli_epi64(x, 6));
    }
    static __m128i Ch(__m128i x, __m128i y, __m128i z) {
        return Xor(z, _mm_and_si128(x, Xor(y, z)));
    }
    static __m128i Maj(__m128i x, __m128i y, __m128i z) {
        return Xor(_mm_and_si128(Xor(x, y), Xor(y, z)), y);
    }

    // The bytes swapped within each 16-bit half-word, then the half-words reversed within
    // each 64-bit word.
    static __m128i BigEndian(__m128i x) {
        x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0x1B), 0x1B);
    }
    static __m128i OddPair(__m128i low, __m128i high) {
        return _mm_castpd_si128(_mm_shuffle_pd(_mm_castsi128_pd(low), _mm_castsi128_pd(high), 1));
    }
};

}  // namespace

void Sha512CompressSse2(uint64_t (&state)[8], const uint8_t* data, size_t count) {
    for (; count != 0; --count, data += 128) {
        alignas(16) uint64_t wk[80];
        Schedule<Sse2>(wk, data);
        __m128i* chaining = reinterpret_cast<__m128i*>(state);
        __m128i ab = _mm_loadu_si128(chaining), cd = _mm_loadu_si128(chaining + 1);
        __m128i ef = _mm_loadu_si128(chaining + 2), gh = _mm_loadu_si128(chaining + 3);
        Steps<Sse2, 1>(ab, cd, ef, gh, wk, [] {});
        _mm_storeu_si128(chaining, ab);
        _mm_storeu_si128(chaining + 1, cd);
        _mm_storeu_si128(chaining + 2, ef);
        _mm_storeu_si128(chaining + 3, gh);
    }
}

#endif
