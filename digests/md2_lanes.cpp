#include "md2_lanes.h"

#include <array>
#include <cstring>
#include <utility>

#include "md2_steps.h"

namespace {

// One compression of each of N lanes: state[j] and checksum[j] take in block[j].  The
// lanes' steps alternate, step k of every lane before step k + 1, so that the N chains of
// table loads run side by side.  X of every lane stays in memory, as in the single engine
// (md2.cpp): the loads and stores of X are off the chains, and N stays a compile-time
// count so that the lanes' t stay in registers.
template <size_t N>
void CompressLanes(uint8_t* const* state, uint8_t* const* checksum, const uint8_t* const* block) {
    uint32_t x[N][48];
    uint32_t l[N];
    for (size_t j = 0; j < N; ++j) {
        for (int k = 0; k < 16; ++k) {
            x[j][k] = state[j][k];
            x[j][16 + k] = block[j][k];
            x[j][32 + k] = state[j][k] ^ block[j][k];
        }
        l[j] = checksum[j][15];
    }

    for (int k = 0; k < 16; ++k) {
#pragma GCC unroll 16
        for (size_t j = 0; j < N; ++j) l[j] = Md2ChecksumStep(checksum[j][k], block[j][k], l[j]);
    }

    uint32_t t[N] = {};
    for (uint32_t r = 0; r < 18; ++r) {
#pragma GCC unroll 1
        for (int k = 0; k < 48; ++k) {
#pragma GCC unroll 16
            for (size_t j = 0; j < N; ++j) t[j] = Md2Step(x[j][k], t[j]);
        }
        for (size_t j = 0; j < N; ++j) t[j] = (t[j] + r) & 0xFF;
    }

    for (size_t j = 0; j < N; ++j) {
        for (int k = 0; k < 16; ++k) state[j][k] = uint8_t(x[j][k]);
    }
}

using CompressLanesFn = void (*)(uint8_t* const*, uint8_t* const*, const uint8_t* const*);

template <size_t... I>
constexpr std::array<CompressLanesFn, sizeof...(I)> MakeCompressors(std::index_sequence<I...>) {
    return {&CompressLanes<I + 1>...};
}

// kCompressors[n - 1] compresses n lanes.
constexpr std::array<CompressLanesFn, kMd2MaxLanes> kCompressors =
    MakeCompressors(std::make_index_sequence<kMd2MaxLanes>());

}  // namespace

Md2Lanes::Md2Lanes(size_t count)
    : count_(count < 1              ? 1
             : count > kMd2MaxLanes ? kMd2MaxLanes
                                    : count) {
    for (Lane& lane : lanes_) lane.phase = LanePhase::kFree;
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
    if (length == 0) return;
    if (lanes_[lane].input.HasBlock()) Drain(lane);
    lanes_[lane].input.Feed(data, length);
}

void Md2Lanes::End(size_t lane) {
    Lane& l = lanes_[lane];
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
        kCompressors[n - 1](state, checksum, block);
    }
}

void Md2Lanes::Drain(size_t lane) {
    Lane& l = lanes_[lane];
    uint8_t* state[1] = {l.state};
    uint8_t* checksum[1] = {l.checksum};
    while (const uint8_t* b = NextBlock(l)) {
        const uint8_t* block[1] = {b};
        CompressLanes<1>(state, checksum, block);
    }
}

const uint8_t* Md2Lanes::Digest(size_t lane) {
    Lane& l = lanes_[lane];
    if (l.phase == LanePhase::kOpen) End(lane);
    if (l.phase == LanePhase::kEnded) Drain(lane);
    l.phase = LanePhase::kFree;
    return l.state;
}
