#include "md2_lanes.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

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

using CompressLanesFn = void (*)(uint8_t* const*, uint8_t* const*, const uint8_t* const*);
using Compressors = std::array<CompressLanesFn, kMd2MaxLanes>;

template <bool Pairs, size_t... I>
constexpr Compressors MakeCompressors(std::index_sequence<I...>) {
    return {&CompressLanes<I + 1, Pairs>...};
}

// kCompressors[stepping][n - 1] compresses n lanes.
constexpr Compressors kCompressors[] = {
    MakeCompressors<false>(std::make_index_sequence<kMd2MaxLanes>()),
    MakeCompressors<true>(std::make_index_sequence<kMd2MaxLanes>()),
};

// The bytes each lane hashes in one timing of Md2MeasureLanes, and the timings of each
// candidate.
constexpr size_t kMeasuredBytes = 512;
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

Md2LaneChoice ForcedOrMeasured() {
    Md2LaneChoice choice{};
    const char* forced = std::getenv("KORVADEX_MD2_LANES");
    if (forced != nullptr && Md2ParseLanes(forced, choice)) return choice;
    return Md2MeasureLanes();
}

}  // namespace

const char* Md2SteppingName(Md2Stepping stepping) {
    return stepping == Md2Stepping::kPairs ? "pairs" : "single";
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
    double best = 0;
    for (const auto& r : rate) {
        for (double v : r) best = v > best ? v : best;
    }
    // Most lanes first: a caller with fewer messages than lanes runs as many lanes as it has
    // messages, and one with more splits them into sets of at most the chosen count.
    for (size_t c = kCandidates; c-- > 0;) {
        for (size_t s = 0; s < kSteppings; ++s) {
            if (rate[c][s] >= best * kNearTie) return {kMd2CandidateLanes[c], kMd2Steppings[s]};
        }
    }
    return {kMd2CandidateLanes[0], kMd2Steppings[0]};  // a clock that never moved
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
        if (std::strcmp(p, "pairs") == 0) {
            stepping = Md2Stepping::kPairs;
        } else if (std::strcmp(p, "single") != 0) {
            return false;
        }
    } else if (*p != '\0') {
        return false;
    }
    choice = {count, stepping};
    return true;
}

Md2Lanes::Md2Lanes(size_t count) : Md2Lanes(count, Md2ChosenLanes().stepping) {}

Md2Lanes::Md2Lanes(size_t count, Md2Stepping stepping)
    : lanes_(),
      count_(count < 1              ? 1
             : count > kMd2MaxLanes ? kMd2MaxLanes
                                    : count),
      stepping_(stepping) {}

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
        kCompressors[size_t(stepping_)][n - 1](state, checksum, block);
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
