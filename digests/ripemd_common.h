// What the four RIPEMD engines (ripemd128_256.cpp, ripemd160_320.cpp) share: the Boolean
// functions of their rounds and their traits for the block pattern (block_engine.h).
//
// Only for those two units.
#ifndef KORVADEX_DIGESTS_RIPEMD_COMMON_H
#define KORVADEX_DIGESTS_RIPEMD_COMMON_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "block_engine.h"
#include "byte_order.h"

namespace {

// The Boolean functions of the rounds.  Every step passes the word its predecessor
// wrote as the first argument, so each function does as little as it can after that
// word: F2, the selection (x & y) | (~x & z), is z ^ (x & (y ^ z)), and F4, the selection
// (x & z) | (y & ~z), is a sum (the two parts share no bit) whose y & ~z need not wait.
inline uint32_t F1(uint32_t x, uint32_t y, uint32_t z) {
    return x ^ (y ^ z);
}
inline uint32_t F2(uint32_t x, uint32_t y, uint32_t z) {
    return z ^ (x & (y ^ z));
}
inline uint32_t F3(uint32_t x, uint32_t y, uint32_t z) {
    return (x | ~y) ^ z;
}
inline uint32_t F4(uint32_t x, uint32_t y, uint32_t z) {
    return (x & z) + (y & ~z);
}
inline uint32_t F5(uint32_t x, uint32_t y, uint32_t z) {
    return x ^ (y | ~z);
}

// An engine of the family as the block pattern sees it: MD4's padding, and the kWords
// chaining words of state become the digest, each least significant byte first.
template <typename ContextType, size_t kWords,
          void (*CompressBlocks)(uint32_t (&)[kWords], const uint8_t*, size_t)>
struct RipemdTraits {
    using Context = ContextType;
    static constexpr uint8_t kMarker = 0x80;
    static constexpr size_t kTrailer = 8;
    static constexpr size_t kLengthBytes = 8;
    static constexpr bool kBigEndian = false;
    static void Compress(Context& ctx, const uint8_t* data, size_t blocks) {
        CompressBlocks(ctx.state, data, blocks);
    }
    // A fresh message from the chaining words.
    static void Seed(Context& ctx, const uint32_t (&words)[kWords]) {
        BlockSeed<RipemdTraits>(ctx);
        std::memcpy(ctx.state, words, sizeof words);
    }
    static const uint8_t* StoreDigest(Context& ctx) {
        uint8_t* digest = reinterpret_cast<uint8_t*>(ctx.state);
        for (size_t i = 0; i < kWords; ++i) StoreLe32(digest + 4 * i, ctx.state[i]);
        return digest;
    }
};

}  // namespace

#endif
