#include "kernels.h"

#ifdef KORVADEX_X86_KERNELS

#include <immintrin.h>

#include <utility>

#include "compiler_hints.h"
#include "digest_tables.h"

// Only the functions below are built for the SHA extensions (with SSE4.1), each by its own
// target attribute: the rest of the build keeps its baseline instruction set, and nothing
// here runs unless the caller has checked the processor.

namespace {

// Where the chaining value saved before a block waits for the block's end.  32-bit code has
// eight vector registers, too few for the block's working set and both halves of the saved
// value; left to itself the compiler keeps in memory the value the next block starts from,
// which puts a store and its reload on the chain from one block to the next.  Put in
// memory, the saved copy costs a store at the start of the block and a load at its end,
// both off the chain.  64-bit code keeps it in registers.
constexpr bool kSavedInMemory = sizeof(void*) == 4;

// Steps 4G to 4G + 3.  m holds the last sixteen schedule words, group g in m[g % 4], the
// earliest word in the bottom lane.  The round instruction does two steps over the
// working variables split as (a, b, e, f) and (c, d, g, h), with the two schedule words
// plus constants in the bottom lanes of its third operand.
template <int G>
KORVADEX_TARGET_INLINE("sha,sse4.1")
void Group(__m128i& abef, __m128i& cdgh, __m128i (&m)[4]) {
    if constexpr (G >= 4) {
        // W[t-16] + sigma0(W[t-15]), + W[t-7] (from the groups 8 and 4 back), then the
        // sigma1 terms, which the second message instruction adds word by word.
        const __m128i w7 = _mm_alignr_epi8(m[(G + 3) % 4], m[(G + 2) % 4], 4);
        const __m128i x = _mm_add_epi32(_mm_sha256msg1_epu32(m[G % 4], m[(G + 1) % 4]), w7);
        m[G % 4] = _mm_sha256msg2_epu32(x, m[(G + 3) % 4]);
    }
    const __m128i k =
        _mm_load_si128(reinterpret_cast<const __m128i*>(kSha256RoundConstants + 4 * G));
    const __m128i wk = _mm_add_epi32(m[G % 4], k);
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));
}

// The vector of the words at p0 to p3, the first in the bottom lane, read a word at a time.
KORVADEX_TARGET_INLINE("sha,sse4.1")
__m128i WordLanes(const uint32_t& p0, const uint32_t& p1, const uint32_t& p2, const uint32_t& p3) {
    const __m128i low = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(p0)), _mm_cvtsi32_si128(int(p1)));
    const __m128i high = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(p2)), _mm_cvtsi32_si128(int(p3)));
    return _mm_unpacklo_epi64(low, high);
}

template <size_t... G>
KORVADEX_TARGET_INLINE("sha,sse4.1")
void Groups(__m128i& abef, __m128i& cdgh, __m128i (&m)[4], std::index_sequence<G...>) {
    (Group<int(G)>(abef, cdgh, m), ...);
}

}  // namespace

[[gnu::target("sha,sse4.1")]] void Sha256CompressShaExt(uint32_t (&state)[8], const uint8_t* data,
                                                        size_t blocks) {
    // Byte order within each word: most significant byte first.
    const __m128i wordOrder = _mm_set_epi64x(0x0C0D0E0F08090A0B, 0x0405060700010203);
    __m128i* chaining = reinterpret_cast<__m128i*>(state);
    // The chaining value is read a word at a time: a caller that has just stored it word by
    // word (the one-pass entries seed it so) would hold a vector load up until the stores
    // reach the cache, where a word load takes each from its store.
    __m128i abef = WordLanes(state[5], state[4], state[1], state[0]);  // f e b a, bottom first
    __m128i cdgh = WordLanes(state[7], state[6], state[3], state[2]);  // h g d c
    for (; blocks != 0; --blocks, data += 64) {
        __m128i abefSaved = abef, cdghSaved = cdgh;
        if constexpr (kSavedInMemory) {
            ForgetRegisterCopies(abefSaved);
            ForgetRegisterCopies(cdghSaved);
        }
        __m128i m[4];
        for (int i = 0; i < 4; ++i) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
            m[i] = _mm_shuffle_epi8(bytes, wordOrder);
        }
        Groups(abef, cdgh, m, std::make_index_sequence<16>());
        abef = _mm_add_epi32(abef, abefSaved);
        cdgh = _mm_add_epi32(cdgh, cdghSaved);
    }
    const __m128i abef2 = _mm_shuffle_epi32(abef, 0x1B);               // a b e f
    const __m128i cdgh2 = _mm_shuffle_epi32(cdgh, 0xB1);               // g h c d
    _mm_storeu_si128(chaining, _mm_blend_epi16(abef2, cdgh2, 0xF0));   // a b c d
    _mm_storeu_si128(chaining + 1, _mm_alignr_epi8(cdgh2, abef2, 8));  // e f g h
}

#endif
