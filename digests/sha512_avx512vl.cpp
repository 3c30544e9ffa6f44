#include "sha512_avx512vl.h"

#ifdef KORVADEX_HAVE_SHA512_AVX512VL

#include <immintrin.h>

#include "digest_tables.h"

// Only the functions below are compiled for AVX-512, and only where the processor has it are
// they called.  They call no inline function of the project's headers: one compiled here
// for AVX-512 could be the copy the linker keeps for every unit.
// GCC 12's AVX-512 headers fill the unused source of the unmasked forms from a
// self-initialised variable, which -Wuninitialized reports at every inlined call.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define KORVADEX_SHA512_AVX512 [[gnu::target("avx512f,avx512bw,avx512vl"), gnu::always_inline]]

namespace {

// Every working variable is a 64-bit word in the low half of a register; the high half is
// don't-care and never reaches the result.

KORVADEX_SHA512_AVX512 inline __m128i Add(__m128i x, __m128i y) {
    return _mm_add_epi64(x, y);
}
// The three-input logic functions, each one instruction: the immediate is the function's
// truth table over the bits of x (0xF0), y (0xCC) and z (0xAA).
KORVADEX_SHA512_AVX512 inline __m128i Xor3(__m128i x, __m128i y, __m128i z) {
    return _mm_ternarylogic_epi64(x, y, z, 0x96);
}
KORVADEX_SHA512_AVX512 inline __m128i Ch(__m128i x, __m128i y, __m128i z) {
    return _mm_ternarylogic_epi64(x, y, z, 0xCA);
}
KORVADEX_SHA512_AVX512 inline __m128i Maj(__m128i x, __m128i y, __m128i z) {
    return _mm_ternarylogic_epi64(x, y, z, 0xE8);
}
KORVADEX_SHA512_AVX512 inline __m128i BigSigma0(__m128i x) {
    return Xor3(_mm_ror_epi64(x, 28), _mm_ror_epi64(x, 34), _mm_ror_epi64(x, 39));
}
KORVADEX_SHA512_AVX512 inline __m128i BigSigma1(__m128i x) {
    return Xor3(_mm_ror_epi64(x, 14), _mm_ror_epi64(x, 18), _mm_ror_epi64(x, 41));
}
// The schedule's sigma functions work on both halves: two schedule words at once.
KORVADEX_SHA512_AVX512 inline __m128i SmallSigma0(__m128i x) {
    return Xor3(_mm_ror_epi64(x, 1), _mm_ror_epi64(x, 8), _mm_srli_epi64(x, 7));
}
KORVADEX_SHA512_AVX512 inline __m128i SmallSigma1(__m128i x) {
    return Xor3(_mm_ror_epi64(x, 19), _mm_ror_epi64(x, 61), _mm_srli_epi64(x, 6));
}

// The working variables in memory: slot t mod 8 of `a` holds the a made by step t - 4 (slots
// 3, 2, 1, 0 start as a, b, c, d), and likewise for `e` (e, f, g, h).  Each slot is a whole
// register, so that every load takes its value from one earlier store.  Step t reads its c,
// d, g and h from there, as memory operands; a and b, e and f, the last two made, stay in
// registers.  With eight vector registers that is what leaves room for the temporaries
// without spills, which would put a store and a load on the chain from one step to the
// next.
struct Working {
    __m128i a[8];
    __m128i e[8];
};

// Makes the compiler read slot back from memory, not from a register that held the value
// stored there.
KORVADEX_SHA512_AVX512 inline void Kept(__m128i& slot) {
    __asm__("" : "+m"(slot));
}

// Keeps the compiler from regrouping the sums below: the order of the additions is chosen
// for the chains from one step to the next.
KORVADEX_SHA512_AVX512 inline __m128i Sum(__m128i x, __m128i y) {
    __m128i sum = Add(x, y);
    __asm__("" : "+v"(sum));
    return sum;
}

KORVADEX_SHA512_AVX512 inline __m128i Difference(__m128i x, __m128i y) {
    __m128i difference = _mm_sub_epi64(x, y);
    __asm__("" : "+v"(difference));
    return difference;
}

// Step t of the 80, i = t mod 8; kw points at the round constant plus the schedule word.
// The new e is d + h + kw + Ch(e, f, g) + Sigma1(e), summed so that it waits on the e of
// the step before only through Sigma1 and one addition (d, h and kw are ready long
// before), and the new a is that plus Maj - d plus Sigma0, which it waits on through one
// addition.  In that order no more than seven values are live at once.
template <unsigned i>
KORVADEX_SHA512_AVX512 inline void Step(Working& v, __m128i& a, __m128i& b, __m128i& e, __m128i& f,
                                        const uint64_t* kw) {
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

KORVADEX_SHA512_AVX512 inline __m128i Pair(const uint64_t* w, unsigned t) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(w + t));
}

// The words plus round constants of one block into wk[0..79].
KORVADEX_SHA512_AVX512 inline void Schedule(uint64_t* wk, const uint8_t* block) {
    const __m128i wordOrder = _mm_set_epi64x(0x08090A0B0C0D0E0F, 0x0001020304050607);
    alignas(16) uint64_t w[80];
    for (unsigned t = 0; t < 16; t += 2) {
        const __m128i x = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * t)), wordOrder);
        _mm_store_si128(reinterpret_cast<__m128i*>(w + t), x);
    }
    __m128i last = Pair(w, 14);
    for (unsigned t = 16; t < 80; t += 2) {
        // W[t-15], W[t-14] and W[t-7], W[t-6] from the even pairs around them.
        const __m128i w15 = _mm_alignr_epi8(Pair(w, t - 14), Pair(w, t - 16), 8);
        const __m128i w7 = _mm_alignr_epi8(Pair(w, t - 6), Pair(w, t - 8), 8);
        last = Add(Add(SmallSigma1(last), w7), Add(SmallSigma0(w15), Pair(w, t - 16)));
        _mm_store_si128(reinterpret_cast<__m128i*>(w + t), last);
    }
    for (unsigned t = 0; t < 80; t += 2) {
        const __m128i k =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha512RoundConstants + t));
        _mm_store_si128(reinterpret_cast<__m128i*>(wk + t), Add(Pair(w, t), k));
    }
}

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

KORVADEX_SHA512_AVX512 inline void StartGroup(GroupSchedule& s, const uint8_t* data, unsigned n) {
    long long offsets[8];
    for (unsigned j = 0; j < 8; ++j) offsets[j] = j < n ? 128 * j : 0;
    s.offsets = _mm512_loadu_si512(offsets);
    s.data = data;
}

// Word t of the group's schedule, the words before it formed.
KORVADEX_SHA512_AVX512 inline void ScheduleWord(GroupSchedule& s, unsigned t) {
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

// The 80 steps over a block, its words plus round constants at kw[kStride * t].  Where a
// next group is given, ten words of its schedule, from word u on, are formed between the
// steps, one every eight: the steps wait mostly on their chains, and the schedule's work
// fills the gaps.
template <unsigned kStride>
KORVADEX_SHA512_AVX512 inline void Steps(__m128i& ab, __m128i& cd, __m128i& ef, __m128i& gh,
                                         const uint64_t* kw, GroupSchedule* next = nullptr,
                                         unsigned u = 0) {
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
    for (unsigned t = 0; t < 80; t += 8, kw += 8 * kStride, ++u) {
        if (next) ScheduleWord(*next, u);
        Step<0>(v, a, b, e, f, kw);
        Step<1>(v, a, b, e, f, kw + kStride);
        Step<2>(v, a, b, e, f, kw + 2 * kStride);
        Step<3>(v, a, b, e, f, kw + 3 * kStride);
        Step<4>(v, a, b, e, f, kw + 4 * kStride);
        Step<5>(v, a, b, e, f, kw + 5 * kStride);
        Step<6>(v, a, b, e, f, kw + 6 * kStride);
        Step<7>(v, a, b, e, f, kw + 7 * kStride);
    }
    ab = Add(ab, _mm_unpacklo_epi64(v.a[3], v.a[2]));
    cd = Add(cd, _mm_unpacklo_epi64(v.a[1], v.a[0]));
    ef = Add(ef, _mm_unpacklo_epi64(v.e[3], v.e[2]));
    gh = Add(gh, _mm_unpacklo_epi64(v.e[1], v.e[0]));
}

}  // namespace

[[gnu::target("avx512f,avx512bw,avx512vl")]] void Sha512CompressAvx512Vl(uint64_t (&state)[8],
                                                                         const uint8_t* data,
                                                                         size_t count) {
    const __m128i* chaining = reinterpret_cast<const __m128i*>(state);
    __m128i ab = _mm_loadu_si128(chaining), cd = _mm_loadu_si128(chaining + 1);
    __m128i ef = _mm_loadu_si128(chaining + 2), gh = _mm_loadu_si128(chaining + 3);
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
            for (unsigned j = 0; j < n; ++j) Steps<8>(ab, cd, ef, gh, &s.wk[0][j], next, 10 * j);
            data += 128 * n;
            count -= n;
            if (next == nullptr) break;
            n = nextN;
        }
    }
    for (; count != 0; --count, data += 128) {
        alignas(16) uint64_t wk[80];
        Schedule(wk, data);
        Steps<1>(ab, cd, ef, gh, wk);
    }
    __m128i* out = reinterpret_cast<__m128i*>(state);
    _mm_storeu_si128(out, ab);
    _mm_storeu_si128(out + 1, cd);
    _mm_storeu_si128(out + 2, ef);
    _mm_storeu_si128(out + 3, gh);
}

#endif
