#include "snefru_lanes.h"

#include <array>
#include <cstring>
#include <utility>

#include "byte_order.h"
#include "compiler_hints.h"
#include "snefru_steps.h"

namespace {

// The compression of several lanes differs from the single engine's (snefru.cpp) in three
// ways, all for the load and store ports, which set the pace once several chains run and
// the lanes' working words, being many, live in memory:
//
// - The words are not turned after each sub-round.  The turns of a pass add up to a whole
//   turn, so in a sub-round the true word is the stored word turned right by the turns so
//   far, kTurned: a step XORs in its S-box entry turned left by kTurned instead, and the low
//   byte of a true word is byte kTurned / 8 of the stored one.
// - The chain of a sub-round needs of the words only the bytes they have when it begins (and
//   of w[15] and w[0] the changes of steps 0 and 1, which steps 14 and 15 read).  So the
//   steps run the chain alone and keep each step's entry; every word then takes in its two
//   entries at once, in a loop the compiler vectorizes.
// - The next index comes from the entry's word itself, not from the byte planes: one load a
//   step fewer for a longer chain, which the other lanes' chains fill.

// Step k (0 to 13) of a sub-round in each of N lanes: the entry of box, turned, into
// t[j][k + 1], and the next index.  The lanes' loop unrolls so that their indexes stay in
// registers.
template <size_t N, unsigned kTurned>
KORVADEX_ALWAYS_INLINE void StepLanes(const uint32_t (&w)[N][16], uint32_t (&t)[N][18],
                                      uint32_t (&idx)[N], const uint32_t* box, unsigned k) {
#pragma GCC unroll 16
    for (size_t j = 0; j < N; ++j) {
        const uint32_t e = box[idx[j]];
        t[j][k + 1] = Rotl32(e, kTurned);
        idx[j] = ((w[j][k + 1] >> kTurned) & 0xFF) ^ (e & 0xFF);
    }
}

// One sub-round of N lanes, step k of every lane before step k + 1 of any, so that the N
// chains of table loads run side by side.  box0 serves steps 0, 1, 4, 5, ..., box1 the
// others; then every word turns right by kShift, which the next sub-round's kTurned holds.
template <size_t N, unsigned kTurned, unsigned kShift>
KORVADEX_ALWAYS_INLINE void SubRoundLanes(uint32_t (&w)[N][16], uint32_t (&idx)[N],
                                          const uint32_t* box0, const uint32_t* box1) {
    constexpr unsigned kNext = (kTurned + kShift) % 32;
    // t[j][1 + k]: the entry of step k, turned; t[j][0] and t[j][17] repeat steps 15 and 0.
    uint32_t t[N][18];
    // Steps 0 to 13 two at a time, in a loop: unrolled too, the steps of all lanes and
    // sub-rounds made functions that instrumented builds took many minutes to compile.
#pragma GCC unroll 1
    for (unsigned k = 0; k < 14; k += 2) {
        const uint32_t* box = (k & 2) != 0 ? box1 : box0;
        StepLanes<N, kTurned>(w, t, idx, box, k);
        StepLanes<N, kTurned>(w, t, idx, box, k + 1);
    }
#pragma GCC unroll 16
    for (size_t j = 0; j < N; ++j) {
        const uint32_t e = box1[idx[j]];
        t[j][15] = Rotl32(e, kTurned);
        idx[j] = (((w[j][15] ^ t[j][1]) >> kTurned) & 0xFF) ^ (e & 0xFF);
    }
#pragma GCC unroll 16
    for (size_t j = 0; j < N; ++j) {
        const uint32_t e = box1[idx[j]];
        t[j][16] = Rotl32(e, kTurned);
        idx[j] = (((w[j][0] ^ t[j][2]) >> kNext) & 0xFF) ^ ((e >> kShift) & 0xFF);
    }
    for (size_t j = 0; j < N; ++j) {
        t[j][0] = t[j][16];
        t[j][17] = t[j][1];
        for (unsigned m = 0; m < 16; ++m) w[j][m] ^= t[j][m] ^ t[j][m + 2];
    }
}

// Passes from to to (exclusive) of N working blocks.  N is a compile-time count so that the
// lanes' indexes stay in registers.
template <size_t N>
void ScrambleLanes(uint32_t (*work)[16], uint32_t from, uint32_t to) {
    static_assert(
        kRotations[0] == 16 && kRotations[1] == 8 && kRotations[2] == 16 && kRotations[3] == 24,
        "the turns of the sub-rounds below");
    uint32_t w[N][16];
    std::memcpy(w, work, sizeof w);
    uint32_t idx[N];
    for (size_t j = 0; j < N; ++j) idx[j] = w[j][0] & 0xFF;
    for (uint32_t p = from; p < to; ++p) {
        const uint32_t* box0 = kSnefruSboxes[2 * p];
        const uint32_t* box1 = kSnefruSboxes[2 * p + 1];
        SubRoundLanes<N, 0, 16>(w, idx, box0, box1);
        SubRoundLanes<N, 16, 8>(w, idx, box0, box1);
        SubRoundLanes<N, 24, 16>(w, idx, box0, box1);
        SubRoundLanes<N, 8, 24>(w, idx, box0, box1);
    }
    std::memcpy(work, w, sizeof w);
}

using ScrambleLanesFn = void (*)(uint32_t (*)[16], uint32_t, uint32_t);

template <size_t... I>
constexpr std::array<ScrambleLanesFn, sizeof...(I)> MakeScramblers(std::index_sequence<I...>) {
    return {&ScrambleLanes<I + 1>...};
}

// The most lanes whose chains run interleaved in one ScrambleLanes; Compress steps more in
// groups.  The lanes' indexes fill the registers well before, and with more lanes a function
// grew too large for instrumented builds to compile in reasonable time.
constexpr size_t kMostInterleaved = 8;

// kScramblers[n - 1] runs n lanes.
constexpr std::array<ScrambleLanesFn, kMostInterleaved> kScramblers =
    MakeScramblers(std::make_index_sequence<kMostInterleaved>());

}  // namespace

SnefruLanes::SnefruLanes(size_t count)
    : lanes_(),
      count_(count < 1                 ? 1
             : count > kSnefruMaxLanes ? kSnefruMaxLanes
                                       : count) {}

bool SnefruLanes::Start(size_t lane, uint32_t bits, uint32_t passes) {
    Lane& l = lanes_[lane];
    if ((bits != 128 && bits != 256) || passes < 1 || passes > 8) {
        l.phase = LanePhase::kFree;
        return false;
    }
    std::memset(l.state, 0, sizeof l.state);
    l.digestWords = bits / 32;
    l.passes = passes;
    l.phase = LanePhase::kOpen;
    l.input.Reset(64 - bits / 8);
    return true;
}

void SnefruLanes::Feed(size_t lane, const uint8_t* data, size_t length) {
    if (length == 0 || lanes_[lane].phase != LanePhase::kOpen) return;
    if (lanes_[lane].input.HasBlock()) Drain(lane);
    lanes_[lane].input.Feed(data, length);
}

void SnefruLanes::End(size_t lane) {
    Lane& l = lanes_[lane];
    if (l.phase != LanePhase::kOpen) return;
    // Zeros to the end of a partly filled block, then one block of zeros that ends in the
    // message's length in bits, big-endian.
    const uint32_t size = l.input.BlockSize();
    const uint32_t fill = l.input.Fill();
    const uint32_t blocks = fill != 0 ? 2 : 1;
    uint8_t* tail = l.input.Partial();
    std::memset(tail + fill, 0, blocks * size - fill);
    StoreBe64(tail + blocks * size - 8, l.input.ByteCount() << 3);
    l.input.End(blocks);
    l.phase = LanePhase::kEnded;
}

const uint8_t* SnefruLanes::NextBlock(Lane& lane) {
    if (const uint8_t* block = lane.input.NextBlock()) return block;
    if (lane.phase == LanePhase::kEnded) {
        for (uint32_t i = 0; i < lane.digestWords; ++i)
            StoreBe32(lane.result + 4 * i, lane.state[i]);
        lane.phase = LanePhase::kDone;
    }
    return nullptr;
}

void SnefruLanes::CompressBlocks(Lane* const* lanes, const uint8_t* const* blocks, size_t n) {
    // The lanes by passes, most first, so that those still running after each group's last
    // pass are the first ones.
    Lane* order[kSnefruMaxLanes];
    const uint8_t* bytes[kSnefruMaxLanes];
    for (size_t j = 0; j < n; ++j) {
        size_t at = j;
        for (; at > 0 && order[at - 1]->passes < lanes[j]->passes; --at) {
            order[at] = order[at - 1];
            bytes[at] = bytes[at - 1];
        }
        order[at] = lanes[j];
        bytes[at] = blocks[j];
    }

    uint32_t work[kSnefruMaxLanes][16];
    for (size_t j = 0; j < n; ++j) {
        const Lane& lane = *order[j];
        const uint32_t dw = lane.digestWords;
        for (uint32_t i = 0; i < dw; ++i) work[j][i] = lane.state[i];
        for (uint32_t i = dw; i < 16; ++i) work[j][i] = LoadBe32(bytes[j] + 4 * (i - dw));
    }

    if (n == 1) {
        SnefruScramble(work[0], order[0]->passes);
    } else {
        uint32_t from = 0;
        for (size_t running = n; running != 0;) {
            const uint32_t to = order[running - 1]->passes;
            kScramblers[running - 1](work, from, to);
            while (running != 0 && order[running - 1]->passes == to) --running;
            from = to;
        }
    }

    for (size_t j = 0; j < n; ++j) {
        Lane& lane = *order[j];
        for (uint32_t i = 0; i < lane.digestWords; ++i) lane.state[i] ^= work[j][15 - i];
    }
}

void SnefruLanes::Compress() {
    for (;;) {
        Lane* lanes[kSnefruMaxLanes];
        const uint8_t* blocks[kSnefruMaxLanes];
        size_t n = 0;
        for (size_t i = 0; i < count_; ++i) {
            if (const uint8_t* block = NextBlock(lanes_[i])) {
                lanes[n] = &lanes_[i];
                blocks[n] = block;
                ++n;
            }
        }
        if (n == 0) return;
        // In groups of at most kMostInterleaved lanes, of sizes as even as can be.
        const size_t groups = (n + kMostInterleaved - 1) / kMostInterleaved;
        for (size_t g = 0, at = 0; g < groups; ++g) {
            const size_t size = (n - at) / (groups - g);
            CompressBlocks(lanes + at, blocks + at, size);
            at += size;
        }
    }
}

void SnefruLanes::Drain(size_t lane) {
    Lane* l = &lanes_[lane];
    while (const uint8_t* block = NextBlock(*l)) CompressBlocks(&l, &block, 1);
}

const uint8_t* SnefruLanes::Digest(size_t lane) {
    Lane& l = lanes_[lane];
    if (l.phase == LanePhase::kOpen) End(lane);
    if (l.phase == LanePhase::kEnded) Drain(lane);
    l.phase = LanePhase::kFree;
    return l.result;
}
