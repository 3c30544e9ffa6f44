// The message bytes that one lane of an interleaved engine (md2_lanes.h, snefru_lanes.h) has
// been given and not yet compressed, handed out a whole block at a time in message order.
//
// Whole blocks of the caller's bytes are read where they lie: Feed keeps a view of them, and
// the caller keeps them readable until they are compressed.  Only the bytes that complete a
// block begun by an earlier Feed, the bytes after the last whole block, and the padding are
// copied, into two buffers of two blocks each.
//
// Only for the engines' units.
#ifndef KORVADEX_DIGESTS_LANE_INPUT_H
#define KORVADEX_DIGESTS_LANE_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

class LaneInput {
public:
    static constexpr uint32_t kMaxBlock = 64;

    // A new message, blockSize (at most kMaxBlock) bytes a block.
    void Reset(uint32_t blockSize) {
        blockSize_ = blockSize;
        partial_ = 0;
        fill_ = 0;
        front_ = false;
        view_ = nullptr;
        viewBlocks_ = 0;
        tailBlocks_ = 0;
        tailNext_ = 0;
        byteCount_ = 0;
    }

    // The next bytes of the message.  Only when HasBlock() is false and before End.
    void Feed(const uint8_t* data, size_t length) {
        byteCount_ += length;
        if (fill_ != 0) {
            const size_t room = blockSize_ - fill_;
            const size_t n = room < length ? room : length;
            std::memcpy(buffers_[partial_] + fill_, data, n);
            fill_ += uint32_t(n);
            data += n;
            length -= n;
            if (fill_ < blockSize_) return;
            front_ = true;
            partial_ ^= 1;
            fill_ = 0;
        }
        view_ = data;
        viewBlocks_ = length / blockSize_;
        fill_ = uint32_t(length % blockSize_);
        if (fill_ != 0) std::memcpy(buffers_[partial_], data + viewBlocks_ * blockSize_, fill_);
    }

    bool HasBlock() const { return front_ || viewBlocks_ != 0 || tailNext_ < tailBlocks_; }

    // The next whole block, taken out of the lane; null when there is none.  The block stays
    // readable until the next Feed.
    const uint8_t* NextBlock() {
        if (front_) {
            front_ = false;
            return buffers_[partial_ ^ 1];
        }
        if (viewBlocks_ != 0) {
            const uint8_t* block = view_;
            view_ += blockSize_;
            --viewBlocks_;
            return block;
        }
        if (tailNext_ < tailBlocks_) return buffers_[partial_] + blockSize_ * tailNext_++;
        return nullptr;
    }

    // The message's last Fill() bytes, those after its last whole block, with room after
    // them to fill up two blocks; End(blocks) makes the first blocks of it the message's
    // last blocks, after every block fed before.
    uint8_t* Partial() { return buffers_[partial_]; }
    uint32_t Fill() const { return fill_; }
    void End(uint32_t blocks) {
        tailBlocks_ = blocks;
        tailNext_ = 0;
    }

    uint64_t ByteCount() const { return byteCount_; }
    uint32_t BlockSize() const { return blockSize_; }

private:
    uint8_t buffers_[2][2 * kMaxBlock];
    const uint8_t* view_;
    uint64_t byteCount_;
    size_t viewBlocks_;
    uint32_t blockSize_;
    uint32_t fill_;        // bytes in buffers_[partial_]
    uint32_t tailBlocks_;  // blocks of buffers_[partial_] after End
    uint32_t tailNext_;
    uint8_t partial_;  // the buffer of the bytes after the last whole block
    bool front_;       // buffers_[partial_ ^ 1] holds a whole block, due before the view
};

// Where a lane stands: free (nothing started or its digest read), open (taking bytes), ended
// (all bytes given, blocks left to compress) or done (its digest ready).
enum class LanePhase : uint8_t { kFree, kOpen, kEnded, kDone };

#endif
