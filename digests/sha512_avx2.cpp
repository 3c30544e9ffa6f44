#include "sha_accelerated.h"

#ifdef KORVADEX_HAVE_SHA512_ACCELERATED

#include <immintrin.h>

#include "byte_order.h"
#include "digest_tables.h"

// Only the functions below are built for AVX2 and BMI2, each by its own target attribute: the rest
// of the build keeps its baseline instruction set, and nothing here runs unless the caller has
// checked the processor.
//
// The message schedule of four blocks is formed at once, one block in each 64-bit lane of
// a 256-bit register: the recurrence W[t] = sigma1(W[t-2]) + ... leaves only two words of
// one block independent at a time, whereas across blocks every lane is free.  The steps
// then run on the scalar registers, block after block, reading each block's words plus
// round constants from the lanes.  (docs/performance.md says why there is no AVX-512 build
// of it.)

namespace {

typedef uint64_t Lanes __attribute__((vector_size(32)));  // word t of four blocks

template <int n>
[[gnu::target("avx2"), gnu::always_inline]] inline Lanes Rotr(Lanes x) {
    return x >> n | x << (64 - n);
}
[[gnu::target("avx2"), gnu::always_inline]] inline Lanes SmallSigma0(Lanes x) {
    return Rotr<1>(x) ^ Rotr<8>(x) ^ (x >> 7);
}
[[gnu::target("avx2"), gnu::always_inline]] inline Lanes SmallSigma1(Lanes x) {
    return Rotr<19>(x) ^ Rotr<61>(x) ^ (x >> 6);
}

// Words i to i + 3 of four blocks, turned so that each register holds one word of all
// four blocks, most significant byte first.
[[gnu::target("avx2"), gnu::always_inline]] inline void LoadWords(
    Lanes* w, unsigned i, const uint8_t* const (&block)[4]) {
    const __m256i wordOrder = _mm256_set_epi64x(0x08090A0B0C0D0E0F, 0x0001020304050607,
                                                0x08090A0B0C0D0E0F, 0x0001020304050607);
    __m256i r[4];
    for (int j = 0; j < 4; ++j) {
        const __m256i bytes =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block[j] + 8 * i));
        r[j] = _mm256_shuffle_epi8(bytes, wordOrder);
    }
    const __m256i t0 = _mm256_unpacklo_epi64(r[0], r[1]), t1 = _mm256_unpackhi_epi64(r[0], r[1]);
    const __m256i t2 = _mm256_unpacklo_epi64(r[2], r[3]), t3 = _mm256_unpackhi_epi64(r[2], r[3]);
    w[i] = Lanes(_mm256_permute2x128_si256(t0, t2, 0x20));
    w[i + 1] = Lanes(_mm256_permute2x128_si256(t1, t3, 0x20));
    w[i + 2] = Lanes(_mm256_permute2x128_si256(t0, t2, 0x31));
    w[i + 3] = Lanes(_mm256_permute2x128_si256(t1, t3, 0x31));
}

// The schedule of a group of four blocks: its words W[t] and, for the steps, the words plus
// round constants, wk[t][j] for block j.
struct Schedule {
    Lanes w[80];
    alignas(32) uint64_t wk[80][4];
};

[[gnu::target("avx2"), gnu::always_inline]] inline void AddConstant(Schedule& s, unsigned t) {
    const uint64_t k = kSha512RoundConstants[t];
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.wk[t]), __m256i(s.w[t] + Lanes{k, k, k, k}));
}

// The first sixteen words, from the blocks.
[[gnu::target("avx2"), gnu::always_inline]] inline void StartSchedule(
    Schedule& s, const uint8_t* const (&block)[4]) {
    for (unsigned i = 0; i < 16; i += 4) LoadWords(s.w, i, block);
    for (unsigned t = 0; t < 16; ++t) AddConstant(s, t);
}

// Word t, 16 or later.
[[gnu::target("avx2"), gnu::always_inline]] inline void ScheduleWord(Schedule& s, unsigned t) {
    s.w[t] = s.w[t - 16] + SmallSigma0(s.w[t - 15]) + s.w[t - 7] + SmallSigma1(s.w[t - 2]);
    AddConstant(s, t);
}

// The scalar step, as in the portable compression.
inline uint64_t BigSigma0(uint64_t x) {
    return Rotr64(x, 28) ^ Rotr64(x, 34) ^ Rotr64(x, 39);
}
inline uint64_t BigSigma1(uint64_t x) {
    return Rotr64(x, 14) ^ Rotr64(x, 18) ^ Rotr64(x, 41);
}
[[gnu::always_inline]] inline void Step(uint64_t a, uint64_t b, uint64_t c, uint64_t& d, uint64_t e,
                                        uint64_t f, uint64_t g, uint64_t& h, uint64_t kw) {
    h += kw;
    h += g ^ (e & (f ^ g));
    h += BigSigma1(e);
    d += h;
    h += ((a ^ b) & (b ^ c)) ^ b;
    h += BigSigma0(a);
}

// The 80 steps of block j of a group, from its words plus constants in lane j of wk.  Beside
// them, where a next group of blocks is given, run sixteen words of that group's schedule
// (two in each of the first eight rounds of eight steps): the vector units form it while
// the scalar ones run the steps, where the schedule formed whole before the steps made the
// steps wait for it.
[[gnu::target("avx2"), gnu::always_inline]] inline void Steps(uint64_t (&state)[8],
                                                              const Schedule& current, unsigned j,
                                                              Schedule* next) {
    uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
    // Unrolled whole, so that every address in the steps and the schedule is a constant
    // offset.
#pragma GCC unroll 10
    for (unsigned t = 0; t < 80; t += 8) {
        if (next && t < 64) {
            ScheduleWord(*next, 16 + 16 * j + t / 4);
            ScheduleWord(*next, 17 + 16 * j + t / 4);
        }
        const uint64_t(&wk)[80][4] = current.wk;
        Step(a, b, c, d, e, f, g, h, wk[t][j]);
        Step(h, a, b, c, d, e, f, g, wk[t + 1][j]);
        Step(g, h, a, b, c, d, e, f, wk[t + 2][j]);
        Step(f, g, h, a, b, c, d, e, wk[t + 3][j]);
        Step(e, f, g, h, a, b, c, d, wk[t + 4][j]);
        Step(d, e, f, g, h, a, b, c, wk[t + 5][j]);
        Step(c, d, e, f, g, h, a, b, wk[t + 6][j]);
        Step(b, c, d, e, f, g, h, a, wk[t + 7][j]);
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

// The next group of up to four blocks at data: their addresses, a group of one to three
// filling its spare lanes with its first block, whose words there are formed and not used.
inline unsigned TakeGroup(const uint8_t* (&block)[4], const uint8_t* data, size_t blocks) {
    const unsigned n = blocks < 4 ? unsigned(blocks) : 4;
    for (unsigned j = 0; j < 4; ++j) block[j] = data + 128 * (j < n ? j : 0);
    return n;
}

// Groups of four blocks; the schedule of each group is formed during the steps of the one
// before (see Steps), the first one's before the steps.  Only the last group may be short.
[[gnu::target("avx2"), gnu::always_inline]] inline void Compress(uint64_t (&state)[8],
                                                                 const uint8_t* data,
                                                                 size_t blocks) {
    if (blocks == 0) return;
    Schedule schedules[2];
    const uint8_t* group[4];
    unsigned n = TakeGroup(group, data, blocks);
    StartSchedule(schedules[0], group);
    for (unsigned t = 16; t < 80; ++t) ScheduleWord(schedules[0], t);
    for (unsigned current = 0;; current ^= 1) {
        const unsigned count = n;
        data += 128 * count;
        blocks -= count;
        Schedule* next = nullptr;
        if (blocks != 0) {
            n = TakeGroup(group, data, blocks);
            next = &schedules[current ^ 1];
            StartSchedule(*next, group);
        }
        for (unsigned j = 0; j < count; ++j) Steps(state, schedules[current], j, next);
        if (next == nullptr) break;
    }
}

}  // namespace

[[gnu::target("avx2,bmi2")]] void Sha512CompressAvx2(uint64_t (&state)[8], const uint8_t* data,
                                                     size_t blocks) {
    Compress(state, data, blocks);
}

#endif
