// Snefru over several messages at once on one thread, as Md2Lanes (md2_lanes.h) does for
// MD2: each of up to kSnefruMaxLanes lanes holds one message, and the compressions of all
// lanes that have a block ready run interleaved, step k of every lane before step k + 1 of
// any (more than eight such lanes in two groups, one after the other).  Each lane has its own
// output length and passes (the four Snefru lines of one input may run as four lanes), and its
// digest is exactly the one SnefruDigest gives.
//
// Use:
//   SnefruLanes lanes;                        // lanes.Count() lanes, all free
//   lanes.Start(i, 256, 8);                   // lane i begins a message: bits, passes
//   lanes.Feed(i, data, n);                   // its next n bytes, in pieces of any size
//   lanes.Compress();                         // every lane's whole blocks, interleaved
//   lanes.End(i);                             // no more bytes for lane i
//   lanes.Compress();                         // ... and its last blocks go with the others
//   const uint8_t* digest = lanes.Digest(i);  // DigestBytes(i) bytes; lane i may Start again
//
// The rules of Md2Lanes hold: lanes start, take bytes and end independently; Feed keeps a
// view of the whole blocks in the caller's bytes, which must stay readable until the next
// Compress(), or Feed(i) or Digest(i), returns; Compress() runs until no lane has a whole
// block left; feeding a lane whose blocks are waiting, or Digest(i) of a lane not done yet,
// compresses that lane's blocks alone first, which is right, only slower.  Lanes with
// fewer passes leave the interleaved run after their last pass, and the others go on.
//
// One SnefruLanes is used by one thread at a time; separate objects are independent.
#ifndef KORVADEX_DIGESTS_SNEFRU_LANES_H
#define KORVADEX_DIGESTS_SNEFRU_LANES_H

#include <cstddef>
#include <cstdint>

#include "lane_input.h"

// The most lanes one SnefruLanes can hold, and the number that runs fastest on the
// processors measured (docs/tuning.md, "Interleaved chains").
constexpr size_t kSnefruMaxLanes = 16;
constexpr size_t kSnefruDefaultLanes = 6;

class SnefruLanes {
public:
    // count lanes, 1 to kSnefruMaxLanes (a count outside is taken as the nearest bound).
    explicit SnefruLanes(size_t count = kSnefruDefaultLanes);

    size_t Count() const { return count_; }

    // Lane i begins a new message with bits of output (128 or 256) and passes (1 to 8);
    // other values are refused (false), as SnefruDigest refuses them, and leave the lane free.
    bool Start(size_t lane, uint32_t bits, uint32_t passes);
    // The next bytes of lane i's message (length 0 never reads data).  Feed and End of a
    // lane that is not open do nothing.
    void Feed(size_t lane, const uint8_t* data, size_t length);
    // Lane i's message is complete; its last blocks are compressed by the next Compress().
    void End(size_t lane);
    // Compresses every whole block of every lane, the lanes' chains interleaved.
    void Compress();

    // Whether lane i is free, open, ended or done.
    LanePhase Phase(size_t lane) const { return lanes_[lane].phase; }
    // The length of lane i's digest in bytes: 16 or 32.
    size_t DigestBytes(size_t lane) const { return 4 * lanes_[lane].digestWords; }
    // The digest of a started lane, most significant byte first, which is free afterwards;
    // the bytes stay valid until it starts again.  A lane not yet done is ended and its
    // blocks compressed alone.
    const uint8_t* Digest(size_t lane);

private:
    struct Lane {
        uint32_t state[8];
        uint32_t digestWords;
        uint32_t passes;
        uint8_t result[32];
        LanePhase phase;
        LaneInput input;
    };

    // Compresses one block of each of the n lanes.
    static void CompressBlocks(Lane* const* lanes, const uint8_t* const* blocks, size_t n);
    // The next block of a lane, or null; an ended lane with no block left turns done.
    static const uint8_t* NextBlock(Lane& lane);
    // Compresses lane i's blocks alone until it has none.
    void Drain(size_t lane);

    Lane lanes_[kSnefruMaxLanes];
    size_t count_;
};

#endif
