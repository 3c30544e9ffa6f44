#include "snefru_lanes.h"

#include <array>
#include <cstring>
#include <utility>

#include "byte_order.h"
#include "snefru_steps.h"

namespace {

// Passes from to to (exclusive) of N working blocks, the lanes' steps alternating: step k
// of every lane before step k + 1, so that the N chains of table loads run side by side.
// N stays a compile-time count so that the lanes' indexes stay in registers.
template <size_t N>
void ScrambleLanes(uint32_t (*work)[16], uint32_t from, uint32_t to) {
    uint32_t w[N][16];
    std::memcpy(w, work, sizeof w);
    uint32_t idx[N];
    for (size_t j = 0; j < N; ++j) idx[j] = w[j][0] & 0xFF;
    for (uint32_t p = from; p < to; ++p) {
        const Box box0 = {kSnefruSboxes[2 * p], kSnefruBytePlanes[2 * p]};
        const Box box1 = {kSnefruSboxes[2 * p + 1], kSnefruBytePlanes[2 * p + 1]};
        for (unsigned shift : kRotations) {
#pragma GCC unroll 16
            for (unsigned k = 0; k < 15; ++k) {
                const Box& box = (k & 2) != 0 ? box1 : box0;
#pragma GCC unroll 16
                for (size_t j = 0; j < N; ++j) Step(w[j][(k + 15) & 15], w[j][k + 1], idx[j], box);
            }
#pragma GCC unroll 16
            for (size_t j = 0; j < N; ++j) LastStep(w[j][14], w[j][0], idx[j], box1, shift);
            for (size_t j = 0; j < N; ++j) {
                for (uint32_t& x : w[j]) x = Rotr32(x, shift);
            }
        }
    }
    std::memcpy(work, w, sizeof w);
}

using ScrambleLanesFn = void (*)(uint32_t (*)[16], uint32_t, uint32_t);

template <size_t... I>
constexpr std::array<ScrambleLanesFn, sizeof...(I)> MakeScramblers(std::index_sequence<I...>) {
    return {&ScrambleLanes<I + 1>...};
}

// kScramblers[n - 1] runs n lanes.
constexpr std::array<ScrambleLanesFn, kSnefruMaxLanes> kScramblers =
    MakeScramblers(std::make_index_sequence<kSnefruMaxLanes>());

}  // namespace

SnefruLanes::SnefruLanes(size_t count)
    : count_(count < 1                 ? 1
             : count > kSnefruMaxLanes ? kSnefruMaxLanes
                                       : count) {
    for (Lane& lane : lanes_) {
        lane.phase = LanePhase::kFree;
        lane.digestWords = 0;
    }
}

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
    if (length == 0) return;
    if (lanes_[lane].input.HasBlock()) Drain(lane);
    lanes_[lane].input.Feed(data, length);
}

void SnefruLanes::End(size_t lane) {
    Lane& l = lanes_[lane];
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

    uint32_t from = 0;
    for (size_t running = n; running != 0;) {
        const uint32_t to = order[running - 1]->passes;
        kScramblers[running - 1](work, from, to);
        while (running != 0 && order[running - 1]->passes == to) --running;
        from = to;
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
        CompressBlocks(lanes, blocks, n);
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
