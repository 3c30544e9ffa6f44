#include "md2_lanes.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

#include "compiler_hints.h"
#include "md2_steps.h"

namespace {

// One compression of each of N lanes: state[j] and checksum[j] take in block[j].  The
// lanes' steps alternate, step k of every lane before step k + 1 (with Pairs, steps k and
// k + 1 of every lane before step k + 2), so that the N chains of table loads run side by
// side.  X of every lane stays in memory, as in the single engine (md2.cpp): the loads and
// stores of X are off the chains, and N stays a compile-time count so that the lanes' t
// stay in registers.  Four steps of every lane make one iteration of the loop over X, so
// that its counter and branch come once for 4 N steps.
template <size_t N, bool Pairs>
void CompressLanes(uint8_t* const* state, uint8_t* const* checksum, const uint8_t* const* block) {
    // The pointers in local arrays: a store through one could otherwise be a store into the
    // caller's arrays of pointers, and every pointer would be loaded again after each byte
    // stored.
    uint8_t* out[N];
    uint8_t* sum[N];
    uint32_t x[N][48];
    uint32_t l[N];
    for (size_t j = 0; j < N; ++j) {
        out[j] = state[j];
        sum[j] = checksum[j];
        for (int k = 0; k < 16; ++k) {
            x[j][k] = out[j][k];
            x[j][16 + k] = block[j][k];
            x[j][32 + k] = out[j][k] ^ block[j][k];
        }
        l[j] = sum[j][15];
    }

    for (int k = 0; k < 16; ++k) {
#pragma GCC unroll 16
        for (size_t j = 0; j < N; ++j)
            l[j] = Md2ChecksumStep(sum[j][k], uint8_t(x[j][16 + k]), l[j]);
    }

    // The last round leaves only X[0..15] for the new state, so it ends after step 15.
    uint32_t t[N] = {};
    for (uint32_t r = 0; r < 18; ++r) {
        const int steps = r < 17 ? 48 : 16;
#pragma GCC unroll 1
        for (int k = 0; k < steps; k += 4) {
            if (Pairs) {
#pragma GCC unroll 2
                for (int p = 0; p < 4; p += 2) {
#pragma GCC unroll 16
                    for (size_t j = 0; j < N; ++j)
                        t[j] = Md2Step(x[j][k + p + 1], Md2Step(x[j][k + p], t[j]));
                }
            } else {
#pragma GCC unroll 4
                for (int p = 0; p < 4; ++p) {
#pragma GCC unroll 16
                    for (size_t j = 0; j < N; ++j) t[j] = Md2Step(x[j][k + p], t[j]);
                }
            }
        }
        for (size_t j = 0; j < N; ++j) t[j] = (t[j] + r) & 0xFF;
    }

    for (size_t j = 0; j < N; ++j) {
        for (int k = 0; k < 16; ++k) out[j][k] = uint8_t(x[j][k]);
    }
}

// One step of two lanes whose bytes of X share a 16-bit word, the first lane's in the low
// byte: one load and one store of X for both steps, at the price of taking the word apart
// and putting it together.  The old bytes are taken apart off the chains (KeepInRegister),
// so that each chain stays one table load and one xor; otherwise the compiler xors the
// whole word and narrows the result, an extension more on each chain.  The word is taken
// apart as 32 bits: as 16, the compiler shifts a 16-bit register and extends it again.
inline void SharedStep(uint16_t& x, uint32_t& t0, uint32_t& t1) {
    uint32_t word = x;
    KeepInRegister(word);
    uint32_t x0 = word & 0xFFu;
    uint32_t x1 = word >> 8;
    KeepInRegister(x0);
    KeepInRegister(x1);
    t0 = kMd2Sbox[t0] ^ x0;
    t1 = kMd2Sbox[t1] ^ x1;
    x = uint16_t(t0 | t1 << 8);
}

// The pairs of lanes that share their words of X in a mixed compression of n lanes.
constexpr size_t MixedPairs(size_t n) {
    return n / 4;
}

// CompressLanes with the mixed stepping: the first N - 2 P lanes hold X in words of their
// own, as there, and the last 2 P lanes share theirs two by two (SharedStep).  Each step of
// an own word takes two loads and a store, and with enough lanes those operations rather than
// the chains set the pace; a step of a shared one takes a load and a half and half a store,
// for more instructions.  Mixing the two keeps both the memory operations and the
// instructions short of their limits (docs/tuning.md, "MD2's mixed stepping").
template <size_t N>
void CompressMixed(uint8_t* const* state, uint8_t* const* checksum, const uint8_t* const* block) {
    constexpr size_t P = MixedPairs(N);
    constexpr size_t A = N - 2 * P;
    uint8_t* out[N];
    uint8_t* sum[N];
    uint32_t x[A][48];
    uint16_t w[P == 0 ? 1 : P][48];
    uint32_t l[N];
    for (size_t j = 0; j < N; ++j) {
        out[j] = state[j];
        sum[j] = checksum[j];
        l[j] = sum[j][15];
    }
    for (size_t j = 0; j < A; ++j) {
        for (int k = 0; k < 16; ++k) {
            x[j][k] = out[j][k];
            x[j][16 + k] = block[j][k];
            x[j][32 + k] = out[j][k] ^ block[j][k];
        }
    }
    for (size_t q = 0; q < P; ++q) {
        const uint8_t* s0 = out[A + 2 * q];
        const uint8_t* s1 = out[A + 2 * q + 1];
        const uint8_t* b0 = block[A + 2 * q];
        const uint8_t* b1 = block[A + 2 * q + 1];
        for (int k = 0; k < 16; ++k) {
            w[q][k] = uint16_t(s0[k] | s1[k] << 8);
            w[q][16 + k] = uint16_t(b0[k] | b1[k] << 8);
            w[q][32 + k] = uint16_t(w[q][k] ^ w[q][16 + k]);
        }
    }

    for (int k = 0; k < 16; ++k) {
#pragma GCC unroll 16
        for (size_t j = 0; j < A; ++j)
            l[j] = Md2ChecksumStep(sum[j][k], uint8_t(x[j][16 + k]), l[j]);
#pragma GCC unroll 8
        for (size_t q = 0; q < P; ++q) {
            const uint32_t m = w[q][16 + k];
            l[A + 2 * q] = Md2ChecksumStep(sum[A + 2 * q][k], uint8_t(m), l[A + 2 * q]);
            l[A + 2 * q + 1] =
                Md2ChecksumStep(sum[A + 2 * q + 1][k], uint8_t(m >> 8), l[A + 2 * q + 1]);
        }
    }

    uint32_t t[N] = {};
    for (uint32_t r = 0; r < 18; ++r) {
        const int steps = r < 17 ? 48 : 16;
#pragma GCC unroll 1
        for (int k = 0; k < steps; k += 4) {
#pragma GCC unroll 4
            for (int p = 0; p < 4; ++p) {
#pragma GCC unroll 16
                for (size_t j = 0; j < A; ++j) t[j] = Md2Step(x[j][k + p], t[j]);
#pragma GCC unroll 8
                for (size_t q = 0; q < P; ++q)
                    SharedStep(w[q][k + p], t[A + 2 * q], t[A + 2 * q + 1]);
            }
        }
        for (size_t j = 0; j < N; ++j) t[j] = (t[j] + r) & 0xFF;
    }

    for (size_t j = 0; j < A; ++j) {
        for (int k = 0; k < 16; ++k) out[j][k] = uint8_t(x[j][k]);
    }
    for (size_t q = 0; q < P; ++q) {
        for (int k = 0; k < 16; ++k) {
            out[A + 2 * q][k] = uint8_t(w[q][k]);
            out[A + 2 * q + 1][k] = uint8_t(w[q][k] >> 8);
        }
    }
}

using CompressLanesFn = void (*)(uint8_t* const*, uint8_t* const*, const uint8_t* const*);
using Compressors = std::array<CompressLanesFn, kMd2MaxLanes>;

template <Md2Stepping Stepping, size_t N>
constexpr CompressLanesFn Compressor() {
    if (Stepping == Md2Stepping::kMixed) return &CompressMixed<N>;
    return &CompressLanes<N, Stepping == Md2Stepping::kPairs>;
}

template <Md2Stepping Stepping, size_t... I>
constexpr Compressors MakeCompressors(std::index_sequence<I...>) {
    return {Compressor<Stepping, I + 1>()...};
}

// kCompressors[stepping][n - 1] compresses n lanes.
constexpr Compressors kCompressors[] = {
    MakeCompressors<Md2Stepping::kSingle>(std::make_index_sequence<kMd2MaxLanes>()),
    MakeCompressors<Md2Stepping::kPairs>(std::make_index_sequence<kMd2MaxLanes>()),
    MakeCompressors<Md2Stepping::kMixed>(std::make_index_sequence<kMd2MaxLanes>()),
};

// The bytes each lane hashes in one timing of Md2MeasureLanes, and the timings of each
// candidate.
constexpr size_t kMeasuredBytes = 256;
constexpr int kMeasuredRounds = 5;
// The share of the best rate that counts as a tie with it.
constexpr double kNearTie = 0.96;

// Keeps the digests of the timings live, so that no compression is left out.
volatile uint8_t measuredDigest;

// The seconds that lanes take to hash kMeasuredBytes of message in each lane.
double TimeLanes(Md2Lanes& lanes, const uint8_t* message) {
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < lanes.Count(); ++i) {
        lanes.Start(i);
        lanes.Feed(i, message + i, kMeasuredBytes);
        lanes.End(i);
    }
    lanes.Compress();
    for (size_t i = 0; i < lanes.Count(); ++i) measuredDigest = lanes.Digest(i)[0];
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

// count lanes, each count of lanes stepped as given.
Md2LaneChoice Uniform(size_t count, Md2Stepping stepping) {
    Md2LaneChoice choice{count, stepping, {}};
    for (Md2Stepping& s : choice.byCount) s = stepping;
    return choice;
}

Md2LaneChoice ForcedOrMeasured() {
    Md2LaneChoice choice{};
    const char* forced = std::getenv("KORVADEX_MD2_LANES");
    if (forced != nullptr && Md2ParseLanes(forced, choice)) return choice;
    return Md2MeasureLanes();
}

}  // namespace

const char* Md2SteppingName(Md2Stepping stepping) {
    switch (stepping) {
        case Md2Stepping::kPairs:
            return "pairs";
        case Md2Stepping::kMixed:
            return "mixed";
        case Md2Stepping::kSingle:
            break;
    }
    return "single";
}

Md2LaneChoice Md2MeasureLanes() {
    constexpr size_t kCandidates = sizeof kMd2CandidateLanes / sizeof kMd2CandidateLanes[0];
    constexpr size_t kSteppings = sizeof kMd2Steppings / sizeof kMd2Steppings[0];
    // One message for all lanes, lane i reading it from byte i on.
    uint8_t message[kMeasuredBytes + kMd2MaxLanes];
    for (size_t i = 0; i < sizeof message; ++i) message[i] = uint8_t(i * 167 + (i >> 8));
    Md2Lanes first(kMd2MaxLanes, kMd2Steppings[0]);
    TimeLanes(first, message);  // the table and the code into the caches first

    // The best bytes per second of each candidate, the candidates in turn in each round,
    // so that a pause of the thread costs one timing rather than all of one candidate's.
    double rate[kCandidates][kSteppings] = {};
    for (int round = 0; round < kMeasuredRounds; ++round) {
        for (size_t c = 0; c < kCandidates; ++c) {
            for (size_t s = 0; s < kSteppings; ++s) {
                Md2Lanes timed(kMd2CandidateLanes[c], kMd2Steppings[s]);
                const double seconds = TimeLanes(timed, message);
                const double bytes = double(kMeasuredBytes * kMd2CandidateLanes[c]);
                if (seconds > 0 && bytes / seconds > rate[c][s]) rate[c][s] = bytes / seconds;
            }
        }
    }
    // The fastest stepping of each candidate, for its count and the counts up to the next.
    Md2LaneChoice choice = Uniform(kMd2CandidateLanes[0], kMd2Steppings[0]);
    double fastest[kCandidates] = {};
    double best = 0;
    for (size_t c = 0; c < kCandidates; ++c) {
        size_t s = 0;
        for (size_t other = 1; other < kSteppings; ++other) {
            if (rate[c][other] > rate[c][s]) s = other;
        }
        fastest[c] = rate[c][s];
        best = fastest[c] > best ? fastest[c] : best;
        const size_t from = c == 0 ? 1 : kMd2CandidateLanes[c];
        const size_t to = c + 1 < kCandidates ? kMd2CandidateLanes[c + 1] : kMd2MaxLanes + 1;
        for (size_t n = from; n < to; ++n) choice.byCount[n - 1] = kMd2Steppings[s];
    }
    // Most lanes first: a caller with fewer messages than lanes runs as many lanes as it has
    // messages, and one with more splits them into sets of at most the chosen count.  A
    // clock that never moved leaves the first candidate.
    for (size_t c = kCandidates; c-- > 0;) {
        if (fastest[c] > 0 && fastest[c] >= best * kNearTie) {
            choice.count = kMd2CandidateLanes[c];
            break;
        }
    }
    choice.stepping = choice.byCount[choice.count - 1];
    return choice;
}

Md2LaneChoice Md2ChosenLanes() {
    static const Md2LaneChoice choice = ForcedOrMeasured();
    return choice;
}

bool Md2ParseLanes(const char* text, Md2LaneChoice& choice) {
    size_t count = 0;
    const char* p = text;
    for (; *p >= '0' && *p <= '9' && count <= kMd2MaxLanes; ++p)
        count = count * 10 + size_t(*p - '0');
    if (p == text || count < 1 || count > kMd2MaxLanes) return false;
    Md2Stepping stepping = Md2Stepping::kSingle;
    if (*p == ':') {
        ++p;
        size_t s = 0;
        while (s < std::size(kMd2Steppings) &&
               std::strcmp(p, Md2SteppingName(kMd2Steppings[s])) != 0)
            ++s;
        if (s == std::size(kMd2Steppings)) return false;
        stepping = kMd2Steppings[s];
    } else if (*p != '\0') {
        return false;
    }
    choice = Uniform(count, stepping);
    return true;
}

Md2Lanes::Md2Lanes(size_t count) : Md2Lanes(count, Md2Stepping::kSingle) {
    const Md2LaneChoice chosen = Md2ChosenLanes();
    std::memcpy(steppings_, chosen.byCount, sizeof steppings_);
}

Md2Lanes::Md2Lanes(size_t count, Md2Stepping stepping)
    : lanes_(),
      count_(count < 1              ? 1
             : count > kMd2MaxLanes ? kMd2MaxLanes
                                    : count) {
    for (Md2Stepping& s : steppings_) s = stepping;
}

void Md2Lanes::Start(size_t lane) {
    Lane& l = lanes_[lane];
    std::memset(l.state, 0, sizeof l.state);
    std::memset(l.checksum, 0, sizeof l.checksum);
    l.checksumSent = false;
    l.phase = LanePhase::kOpen;
    l.input.Reset(16);
}

void Md2Lanes::Feed(size_t lane, const uint8_t* data, size_t length) {
    if (length == 0 || lanes_[lane].phase != LanePhase::kOpen) return;
    if (lanes_[lane].input.HasBlock()) Drain(lane);
    lanes_[lane].input.Feed(data, length);
}

void Md2Lanes::End(size_t lane) {
    Lane& l = lanes_[lane];
    if (l.phase != LanePhase::kOpen) return;
    // The padding: 16 - fill bytes of that value, a whole block when the message ends on a
    // block boundary.  The checksum block follows once everything before it is compressed.
    const uint32_t fill = l.input.Fill();
    std::memset(l.input.Partial() + fill, int(16 - fill), 16 - fill);
    l.input.End(1);
    l.phase = LanePhase::kEnded;
}

const uint8_t* Md2Lanes::NextBlock(Lane& lane) {
    if (const uint8_t* block = lane.input.NextBlock()) return block;
    if (lane.phase != LanePhase::kEnded) return nullptr;
    if (!lane.checksumSent) {
        std::memcpy(lane.checksumBlock, lane.checksum, sizeof lane.checksumBlock);
        lane.checksumSent = true;
        return lane.checksumBlock;
    }
    lane.phase = LanePhase::kDone;
    return nullptr;
}

void Md2Lanes::Compress() {
    for (;;) {
        uint8_t* state[kMd2MaxLanes];
        uint8_t* checksum[kMd2MaxLanes];
        const uint8_t* block[kMd2MaxLanes];
        size_t n = 0;
        for (size_t i = 0; i < count_; ++i) {
            Lane& lane = lanes_[i];
            if (const uint8_t* b = NextBlock(lane)) {
                state[n] = lane.state;
                checksum[n] = lane.checksum;
                block[n] = b;
                ++n;
            }
        }
        if (n == 0) return;
        kCompressors[size_t(steppings_[n - 1])][n - 1](state, checksum, block);
    }
}

void Md2Lanes::Drain(size_t lane) {
    Lane& l = lanes_[lane];
    uint8_t* state[1] = {l.state};
    uint8_t* checksum[1] = {l.checksum};
    while (const uint8_t* b = NextBlock(l)) {
        const uint8_t* block[1] = {b};
        CompressLanes<1, false>(state, checksum, block);
    }
}

const uint8_t* Md2Lanes::Digest(size_t lane) {
    Lane& l = lanes_[lane];
    if (l.phase == LanePhase::kOpen) End(lane);
    if (l.phase == LanePhase::kEnded) Drain(lane);
    l.phase = LanePhase::kFree;
    return l.state;
}
