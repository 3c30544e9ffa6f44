// SHA-1's rounds on the SHA extensions, and the schedule of SHA-1 or SHA-0 beside them: the
// compression of sha1_sha_ext.cpp and sha0_sha_ext.cpp, over a compile-time choice of the
// schedule.
//
// Only for those two units.  The functions have internal linkage, each built by its own
// target attribute: each unit compiles its own copy, and nothing here runs unless the
// caller has checked the processor.
#ifndef KORVADEX_DIGESTS_X86_SHA1_SHA_EXT_ROUNDS_H
#define KORVADEX_DIGESTS_X86_SHA1_SHA_EXT_ROUNDS_H

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <utility>

#include "compiler_hints.h"

namespace {

// Where the chaining value saved before a block waits for the block's end.  32-bit code has
// eight vector registers, too few for the block's working set and both parts of the saved
// value; left to itself the compiler keeps in memory the value the next block starts from,
// which puts a store and its reload on the chain from one block to the next.  Put in
// memory, the saved copy costs a store at the start of the block and a load at its end,
// both off the chain.  64-bit code keeps it in registers.
constexpr bool kSavedInMemory = sizeof(void*) == 4;

// The vectors hold four schedule words each, the earliest in the top lane, as the SHA-1
// round instruction takes them.

// Schedule words t to t + 3 from the words 16, 12, 8 and 4 back (w16 holds W[t-16] to
// W[t-13], and so on).  SHA-1 rotates each new word left by one bit, SHA-0 does not: the
// message instructions' first half (W[t-16] ^ W[t-14]) serves both, but their second half
// has the rotation built in, so SHA-0 adds W[t-3] with plain XORs.  W[t+3] needs the W[t]
// of the same vector, hence the second step, which adds the top lane into the bottom one.
template <bool Sha0>
KORVADEX_TARGET_INLINE("sha,sse4.1")
__m128i NextWords(__m128i w16, __m128i w12, __m128i w8, __m128i w4) {
    const __m128i x = _mm_xor_si128(_mm_sha1msg1_epu32(w16, w12), w8);
    if constexpr (!Sha0) {
        return _mm_sha1msg2_epu32(x, w4);
    } else {
        const __m128i y = _mm_xor_si128(x, _mm_slli_si128(w4, 4));  // ^ W[t-3], W[t-2], W[t-1]
        return _mm_xor_si128(y, _mm_srli_si128(y, 12));             // W[t+3] ^= W[t]
    }
}

// SHA-0's schedule is linear over single bits, so applying it twice gives, from t = 32 on,
// W[t] = W[t-6] ^ W[t-16] ^ W[t-28] ^ W[t-32]: no word of a vector depends on another of
// the same vector, and four instructions make four words where the rule above takes six.
// It needs the last 32 words at hand, which 64-bit code holds in registers; 32-bit code,
// with eight vector registers, keeps the short rule throughout.
constexpr bool kSha0LongRule = sizeof(void*) == 8;

// Words t to t + 3 by the long rule, from the groups 32, 28, 16, 8 and 4 words back.
KORVADEX_TARGET_INLINE("sha,sse4.1")
__m128i NextSha0WordsLong(__m128i w32, __m128i w28, __m128i w16, __m128i w8, __m128i w4) {
    const __m128i w6 = _mm_alignr_epi8(w8, w4, 8);  // W[t-6] to W[t-3]
    return _mm_xor_si128(_mm_xor_si128(w6, w16), _mm_xor_si128(w28, w32));
}

// Steps 4G to 4G + 3.  m holds the last 32 schedule words (the short rule reads only the
// last sixteen), group g in m[g % 8]; e holds the a of four steps back, which the next-E
// instruction rotates into the e of this group (or, in group 0, the e of the chaining
// value in the top lane).
template <bool Sha0, int G>
KORVADEX_TARGET_INLINE("sha,sse4.1")
void Group(__m128i& abcd, __m128i& e, __m128i (&m)[8]) {
    if constexpr (Sha0 && kSha0LongRule && G >= 8) {
        m[G % 8] = NextSha0WordsLong(m[G % 8], m[(G + 1) % 8], m[(G + 4) % 8], m[(G + 6) % 8],
                                     m[(G + 7) % 8]);
    } else if constexpr (G >= 4) {
        m[G % 8] = NextWords<Sha0>(m[(G + 4) % 8], m[(G + 5) % 8], m[(G + 6) % 8], m[(G + 7) % 8]);
    }
    const __m128i abcdBefore = abcd;
    if constexpr (G == 0) {
        e = _mm_add_epi32(e, m[0]);
    } else {
        e = _mm_sha1nexte_epu32(e, m[G % 8]);
    }
    abcd = _mm_sha1rnds4_epu32(abcd, e, G / 5);  // the function and constant of steps 20(G/5)..
    e = abcdBefore;
}

// Groups First to First + sizeof...(G) - 1.
template <bool Sha0, int First, size_t... G>
KORVADEX_TARGET_INLINE("sha,sse4.1")
void Groups(__m128i& abcd, __m128i& e, __m128i (&m)[8], std::index_sequence<G...>) {
    (Group<Sha0, First + int(G)>(abcd, e, m), ...);
}

template <bool Sha0>
KORVADEX_TARGET_INLINE("sha,sse4.1")
void Compress(uint32_t (&state)[5], const uint8_t* data, size_t blocks) {
    // Reverses the sixteen bytes: the words most significant byte first, the first on top.
    const __m128i wordOrder = _mm_set_epi64x(0x0001020304050607, 0x08090A0B0C0D0E0F);
    // Read a word at a time, a in the top lane: a caller that has just stored the chaining
    // value word by word (the one-pass entries seed it so) would hold a vector load up until
    // the stores reach the cache, where a word load takes each from its store.
    const __m128i dc =
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(state[3])), _mm_cvtsi32_si128(int(state[2])));
    const __m128i ba =
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(state[1])), _mm_cvtsi32_si128(int(state[0])));
    __m128i abcd = _mm_unpacklo_epi64(dc, ba);
    __m128i e0 = _mm_set_epi32(int(state[4]), 0, 0, 0);
    if (blocks == 0) return;
    // Each block's bytes are loaded during the last groups of the block before (the first
    // block's here, the last block loads itself again), so that they wait in registers when
    // its steps begin: loaded at the top of the block, they held up its first steps where
    // they came from beyond the second-level cache.
    __m128i bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
    for (; blocks != 0; --blocks, data += 64) {
        __m128i abcdSaved = abcd, eSaved = e0;
        if constexpr (kSavedInMemory) {
            ForgetRegisterCopies(abcdSaved);
            ForgetRegisterCopies(eSaved);
        }
        __m128i m[8];
        for (int i = 0; i < 4; ++i) m[i] = _mm_shuffle_epi8(bytes[i], wordOrder);
        const uint8_t* following = blocks > 1 ? data + 64 : data;
        __m128i e = e0;
        Groups<Sha0, 0>(abcd, e, m, std::make_index_sequence<16>());
        for (int i = 0; i < 4; ++i)
            bytes[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(following + 16 * i));
        Groups<Sha0, 16>(abcd, e, m, std::make_index_sequence<4>());
        e0 = _mm_sha1nexte_epu32(e, eSaved);  // the last a rotated into e, plus the saved e
        abcd = _mm_add_epi32(abcd, abcdSaved);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = uint32_t(_mm_extract_epi32(e0, 3));
}

}  // namespace

#endif
