#include "kernels.h"

#if defined(KORVADEX_X86_KERNELS) && defined(__i386__)

#include <immintrin.h>

#include "compiler_hints.h"
#include "digest_tables.h"

// Only the functions below are compiled for AVX-512, and only where the processor has it are
// they called.  They call no inline function of the project's headers but those of
// sha512_vector_compress.h, whose copies are this unit's own: one compiled here for AVX-512
// could be the copy the linker keeps for every unit.
// GCC 12's AVX-512 headers fill the unused source of the unmasked forms from a
// self-initialised variable, which -Wuninitialized reports at every inlined call.  Clang's
// headers do not, and it knows no -Wmaybe-uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define KORVADEX_SHA512_VECTOR_INLINE KORVADEX_TARGET_INLINE("avx512f,avx512bw,avx512vl")
#include "sha512_vector_compress.h"

#ifdef KORVADEX_HAVE_SHA512_AVX512VL_I686_ASM
// In the 32-bit Windows build, groups of four to eight blocks go to the assembly compression
// of sha512_avx512vl_i686.S: eight blocks' schedules at once, the steps in an order the
// compiler does not keep.  It compresses the groups of count blocks at data into state and
// returns how many blocks it left at the end (fewer than four).
extern "C" size_t korvadex_sha512_compress_groups_i686(uint64_t state[8], const uint8_t* data,
                                                       size_t count);
#endif

namespace {

// The operations of sha512_vector_compress.h in AVX-512 instructions.  The three-input logic
// functions are one instruction each: the immediate is the function's truth table over the
// bits of x (0xF0), y (0xCC) and z (0xAA).
struct Avx512 {
    KORVADEX_SHA512_VECTOR_INLINE static __m128i Xor3(__m128i x, __m128i y, __m128i z) {
        return _mm_ternarylogic_epi64(x, y, z, 0x96);
    }
    KORVADEX_SHA512_VECTOR_INLINE static __m128i Ch(__m128i x, __m128i y, __m128i z) {
        return _mm_ternarylogic_epi64(x, y, z, 0xCA);
    }
    KORVADEX_SHA512_VECTOR_INLINE static __m128i Maj(__m128i x, __m128i y, __m128i z) {
        return _mm_ternarylogic_epi64(x, y, z, 0xE8);
    }
    KORVADEX_SHA512_VECTOR_INLINE static __m128i BigSigma0(__m128i x) {
        return Xor3(_mm_ror_epi64(x, 28), _mm_ror_epi64(x, 34), _mm_ror_epi64(x, 39));
    }
    KORVADEX_SHA512_VECTOR_INLINE static __m128i BigSigma1(__m128i x) {
        return Xor3(_mm_ror_epi64(x, 14), _mm_ror_epi64(x, 18), _mm_ror_epi64(x, 41));
    }
    // The schedule's sigma functions work on both halves: two schedule words at once.
    KORVADEX_SHA512_VECTOR_INLINE static __m128i SmallSigma0(__m128i x) {
        return Xor3(_mm_ror_epi64(x, 1), _mm_ror_epi64(x, 8), _mm_srli_epi64(x, 7));
    }
    KORVADEX_SHA512_VECTOR_INLINE static __m128i SmallSigma1(__m128i x) {
        return Xor3(_mm_ror_epi64(x, 19), _mm_ror_epi64(x, 61), _mm_srli_epi64(x, 6));
    }
    KORVADEX_SHA512_VECTOR_INLINE static __m128i BigEndian(__m128i x) {
        return _mm_shuffle_epi8(x, _mm_set_epi64x(0x08090A0B0C0D0E0F, 0x0001020304050607));
    }
    KORVADEX_SHA512_VECTOR_INLINE static __m128i OddPair(__m128i low, __m128i high) {
        return _mm_alignr_epi8(high, low, 8);
    }
};

#ifndef KORVADEX_HAVE_SHA512_AVX512VL_I686_ASM
// Eight blocks' words plus round constants at once, one block to each 64-bit lane of a
// 512-bit register: wk[t][j] for block j.  The schedule of one block leaves only two words
// independent at a time, each pair waiting on the one before; across blocks all eight
// lanes are independent.  A group of fewer than eight blocks fills its spare lanes with its
// first block.
struct GroupSchedule {
    alignas(64) uint64_t wk[80][8];
    __m512i w[16];    // word t in w[t mod 16]
    __m512i offsets;  // of the blocks from data
    const uint8_t* data;
};

KORVADEX_SHA512_VECTOR_INLINE void StartGroup(GroupSchedule& s, const uint8_t* data, unsigned n) {
    long long offsets[8];
    for (unsigned j = 0; j < 8; ++j) offsets[j] = j < n ? 128 * j : 0;
    s.offsets = _mm512_loadu_si512(offsets);
    s.data = data;
}

// Word t of the group's schedule, the words before it formed.
KORVADEX_SHA512_VECTOR_INLINE void ScheduleWord(GroupSchedule& s, unsigned t) {
    __m512i word;
    if (t < 16) {
        const __m512i wordOrder = _mm512_set_epi64(
            0x08090A0B0C0D0E0F, 0x0001020304050607, 0x08090A0B0C0D0E0F, 0x0001020304050607,
            0x08090A0B0C0D0E0F, 0x0001020304050607, 0x08090A0B0C0D0E0F, 0x0001020304050607);
        word = _mm512_shuffle_epi8(_mm512_i64gather_epi64(s.offsets, s.data + 8 * t, 1), wordOrder);
    } else {
        const __m512i w15 = s.w[(t + 1) % 16], w2 = s.w[(t + 14) % 16];
        const __m512i sigma0 = _mm512_ternarylogic_epi64(
            _mm512_ror_epi64(w15, 1), _mm512_ror_epi64(w15, 8), _mm512_srli_epi64(w15, 7), 0x96);
        const __m512i sigma1 = _mm512_ternarylogic_epi64(
            _mm512_ror_epi64(w2, 19), _mm512_ror_epi64(w2, 61), _mm512_srli_epi64(w2, 6), 0x96);
        word = _mm512_add_epi64(_mm512_add_epi64(s.w[t % 16], s.w[(t + 9) % 16]),
                                _mm512_add_epi64(sigma0, sigma1));
    }
    s.w[t % 16] = word;
    const __m512i k = _mm512_set1_epi64(static_cast<long long>(kSha512RoundConstants[t]));
    _mm512_store_si512(s.wk[t], _mm512_add_epi64(word, k));
}

// Between the steps of a block, where a next group is given, the next ten words of its
// schedule from word u on, one every eight steps.
struct NextGroupWords {
    GroupSchedule* next;
    unsigned u;
    KORVADEX_SHA512_VECTOR_INLINE void operator()() {
        if (next) ScheduleWord(*next, u++);
    }
};

#endif

}  // namespace

[[gnu::target("avx512f,avx512bw,avx512vl")]] void Sha512CompressAvx512Vl(uint64_t (&state)[8],
                                                                         const uint8_t* data,
                                                                         size_t count) {
#ifdef KORVADEX_HAVE_SHA512_AVX512VL_I686_ASM
    // The groups in assembly, the blocks it leaves one by one below.
    const size_t left = korvadex_sha512_compress_groups_i686(state, data, count);
    data += 128 * (count - left);
    count = left;
#endif
    const __m128i* chaining = reinterpret_cast<const __m128i*>(state);
    __m128i ab = _mm_loadu_si128(chaining), cd = _mm_loadu_si128(chaining + 1);
    __m128i ef = _mm_loadu_si128(chaining + 2), gh = _mm_loadu_si128(chaining + 3);
#ifndef KORVADEX_HAVE_SHA512_AVX512VL_I686_ASM
    // Groups of eight blocks, the last one of four to eight; fewer than four go one by one,
    // since a group costs about as much whatever its size.  The schedule of each group but
    // the first is formed during the steps of the one before.
    if (count >= 4) {
        GroupSchedule schedules[2];
        unsigned n = count < 8 ? unsigned(count) : 8;
        StartGroup(schedules[0], data, n);
        for (unsigned t = 0; t < 80; ++t) ScheduleWord(schedules[0], t);
        for (unsigned current = 0;; current ^= 1) {
            const GroupSchedule& s = schedules[current];
            const size_t rest = count - n;
            GroupSchedule* next = nullptr;
            unsigned nextN = 0;
            if (rest >= 4) {
                // Then this group has eight blocks, whose steps form all 80 words.
                nextN = rest < 8 ? unsigned(rest) : 8;
                next = &schedules[current ^ 1];
                StartGroup(*next, data + 128 * n, nextN);
            }
            for (unsigned j = 0; j < n; ++j) {
                Steps<Avx512, 8>(ab, cd, ef, gh, &s.wk[0][j], NextGroupWords{next, 10 * j});
            }
            data += 128 * n;
            count -= n;
            if (next == nullptr) break;
            n = nextN;
        }
    }
#endif
    for (; count != 0; --count, data += 128) {
        alignas(16) uint64_t wk[80];
        Schedule<Avx512>(wk, data);
        Steps<Avx512, 1>(ab, cd, ef, gh, wk, [] {});
    }
    __m128i* out = reinterpret_cast<__m128i*>(state);
    _mm_storeu_si128(out, ab);
    _mm_storeu_si128(out + 1, cd);
    _mm_storeu_si128(out + 2, ef);
    _mm_storeu_si128(out + 3, gh);
}

#endif
