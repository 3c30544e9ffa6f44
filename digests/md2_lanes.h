// MD2 over several messages at once on one thread.  Each compression of MD2 is one long chain
// of dependent table loads, so a single message leaves most of the processor's load
// throughput idle; Md2Lanes holds up to kMd2MaxLanes independent messages (its lanes) and
// steps the chains of all lanes that have a block ready in turn, step k of every lane before
// step k + 1 of any.  Each lane's digest is exactly the one Md2Digest gives for its message.
//
// Use:
//   Md2Lanes lanes(Md2ChosenLanes().count);   // lanes.Count() lanes, all free
//   lanes.Start(i);                           // lane i begins a message
//   lanes.Feed(i, data, n);                   // its next n bytes, in pieces of any size
//   lanes.Compress();                         // every lane's whole blocks, interleaved
//   lanes.End(i);                             // no more bytes for lane i
//   lanes.Compress();                         // ... and its last blocks go with the others
//   const uint8_t* digest = lanes.Digest(i);  // 16 bytes; lane i may Start again
//
// Lanes are independent: each starts, takes bytes and ends on its own, and a lane whose
// digest was read can start the next message while the others run on.  Feed keeps a view of
// the whole blocks in the caller's bytes rather than copying them: they must stay readable
// until those blocks are compressed, that is until the next Compress(), or Feed(i) or
// Digest(i), returns.  Feed copies only the bytes of a block that is not yet whole.
//
// Compress() runs until no lane has a whole block left, stepping together every lane that
// still has one; the fastest way to use it is to feed every lane about the same number of
// bytes in between.  Feeding a lane whose blocks are still waiting compresses that lane's
// blocks alone first, and Digest(i) of an open or ended lane ends it and compresses its last
// blocks alone: both are right, only slower.
//
// One Md2Lanes is used by one thread at a time; separate objects are independent.
#ifndef KORVADEX_DIGESTS_MD2_LANES_H
#define KORVADEX_DIGESTS_MD2_LANES_H

#include <cstddef>
#include <cstdint>

#include "lane_input.h"

// The most lanes one Md2Lanes can hold.
constexpr size_t kMd2MaxLanes = 16;

// How a compression steps its lanes: one step of every lane in turn (single), two steps of
// each lane before the next lane's two (pairs), or one step of every lane in turn with n / 4
// pairs of the n lanes holding their bytes of X side by side in 16-bit words, one load and
// one store of X for a step of both lanes of a pair (mixed).
enum class Md2Stepping : uint8_t { kSingle, kPairs, kMixed };
constexpr Md2Stepping kMd2Steppings[] = {Md2Stepping::kSingle, Md2Stepping::kPairs,
                                         Md2Stepping::kMixed};
const char* Md2SteppingName(Md2Stepping stepping);

// A number of lanes and the stepping of each count of lanes: a set of lanes runs fewer
// lanes than its count once some of them have no block left.
struct Md2LaneChoice {
    size_t count;
    Md2Stepping stepping;               // the stepping of count lanes
    Md2Stepping byCount[kMd2MaxLanes];  // the stepping of n lanes at byCount[n - 1]
};

// The lane counts that Md2ChosenLanes measures and may choose.
constexpr size_t kMd2CandidateLanes[] = {4, 6, 8, 10, 12, 16};

// The lanes that run fastest on this processor, measured the first time it is called in the
// process (any thread; the later calls wait for it and return the same): every candidate
// count with every stepping hashes 256 bytes a lane, five times in turn, and the best rate of
// each counts.  Each candidate count takes its fastest stepping, and so does every count
// from it up to the next candidate (the counts below the first take the first's).  Of the
// candidates within 4% of the fastest, the most lanes win (a caller with fewer messages runs
// fewer lanes, and a set of lanes left with only a few loses more than a set slightly past
// its best count).  The environment variable KORVADEX_MD2_LANES, read at that first call,
// forces the choice instead (see Md2ParseLanes).
Md2LaneChoice Md2ChosenLanes();
// The measurement of Md2ChosenLanes, made again on every call.
Md2LaneChoice Md2MeasureLanes();
// A forced choice: "COUNT" or "COUNT:STEPPING" (STEPPING "single", "pairs" or "mixed", by
// default "single", for every count of lanes), COUNT from 1 to kMd2MaxLanes.  False, leaving
// choice as it was, for any other text.
bool Md2ParseLanes(const char* text, Md2LaneChoice& choice);

class Md2Lanes {
public:
    // count lanes, 1 to kMd2MaxLanes (a count outside is taken as the nearest bound),
    // stepped as given; by default each count of lanes in the stepping Md2ChosenLanes()
    // gives it.
    explicit Md2Lanes(size_t count);
    Md2Lanes(size_t count, Md2Stepping stepping);

    size_t Count() const { return count_; }
    // The stepping of Count() lanes.
    Md2Stepping Stepping() const { return steppings_[count_ - 1]; }

    // Lane i begins a new message; whatever it held is dropped.
    void Start(size_t lane);
    // The next bytes of lane i's message (length 0 never reads data).  Feed and End of a
    // lane that is not open do nothing.
    void Feed(size_t lane, const uint8_t* data, size_t length);
    // Lane i's message is complete; its last blocks are compressed by the next Compress().
    void End(size_t lane);
    // Compresses every whole block of every lane, the lanes' chains interleaved.
    void Compress();

    // Whether lane i is free, open, ended or done.
    LanePhase Phase(size_t lane) const { return lanes_[lane].phase; }
    // The 16-byte digest of a started lane, which is free afterwards; the bytes stay valid
    // until it starts again.  A lane not yet done is ended and its blocks compressed alone.
    const uint8_t* Digest(size_t lane);

private:
    struct Lane {
        uint8_t state[16];
        uint8_t checksum[16];
        uint8_t checksumBlock[16];  // the checksum as the last block, copied when it is due
        bool checksumSent;
        LanePhase phase;
        LaneInput input;
    };

    // The next block of a lane, or null; an ended lane that has compressed its checksum
    // block turns done.
    const uint8_t* NextBlock(Lane& lane);
    // Compresses lane i's blocks alone until it has none.
    void Drain(size_t lane);

    Lane lanes_[kMd2MaxLanes];
    size_t count_;
    Md2Stepping steppings_[kMd2MaxLanes];  // of n lanes at steppings_[n - 1]
};

#endif
