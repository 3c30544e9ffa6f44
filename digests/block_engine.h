// The block-buffered engines (MD4, MD5, the RIPEMD twins, SHA-1, SHA-384/512, Tiger,
// Whirlpool, HAVAL, and the streaming forms of SHA-0 and SHA-256) share one way of taking a
// message in pieces: seeding, Update through a block buffer, and Final with a marker byte,
// zeros and the message length at the end of the last block.  It is written here once, over
// a traits class that describes each engine:
//
//   using Context = ...;                 // fields block[kBlock], byteCount (uint64_t),
//                                        // blockFill (uint32_t) and state, in any order
//   static constexpr uint8_t kMarker;    // the padding byte after the message
//   static constexpr size_t kTrailer;    // bytes reserved at the end of the last block
//   static constexpr size_t kLengthBytes;  // the bit length's width: 8, 16 or 32 bytes,
//                                          // the last kLengthBytes bytes of the block
//   static constexpr bool kBigEndian;    // byte order of the bit length
//   static void Compress(Context&, const uint8_t* data, size_t blocks);
//   static void StoreTrailer(Context&, uint8_t* trailer);  // only when kTrailer exceeds
//                                        // kLengthBytes: the bytes before the length field
//   static const uint8_t* StoreDigest(Context&);  // the digest in print order, its address
//   static constexpr bool kPrefetch;     // optional: see PrefetchOf below
//
// Between calls every byte of block at or after blockFill is zero and blockFill is below the
// block length: a block completed by Update is compressed at once.
#ifndef KORVADEX_DIGESTS_BLOCK_ENGINE_H
#define KORVADEX_DIGESTS_BLOCK_ENGINE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "byte_order.h"

// Whole blocks of the caller's data are compressed where they lie, a strip at a time; before
// each strip the prefetch hint goes out for every line kPrefetchDistance past the strip's
// lines.  One place decides how blocks are taken, for every engine built on this pattern.  Only the
// pieces of a block split across Update calls, and the padding, go through the context's block.
constexpr size_t kStripBytes = 4096;

// An engine whose rounds the hints hold up more than the hardware's own prefetching leaves
// them waiting for data sets static constexpr bool kPrefetch = false in its traits: the hints
// of a strip go out together at its start, and an engine bound by one chain of instructions
// (the SHA-extension compressions) stalls behind them when they miss the second-level cache.
// Such an engine takes all the blocks in one call: with no hints to space out, strips would
// only add the calls' own costs, which lie on that chain (the chaining value stored at the
// end of one and loaded at the start of the next).
template <typename T, typename = void>
struct PrefetchOf {
    static constexpr bool value = true;
};
template <typename T>
struct PrefetchOf<T, std::void_t<decltype(T::kPrefetch)>> {
    static constexpr bool value = T::kPrefetch;
};

// Compresses blocks whole blocks of kBlock bytes from data through compress(p, n), n blocks
// from p at a time: strips of kStrip bytes, each announced by the prefetch hints, or where
// kPrefetch is false all in one call; also the policy of the one-pass engines that compress
// their caller's buffer themselves.
template <size_t kBlock, size_t kStrip = kStripBytes, bool kPrefetch = true, typename Compress>
inline void CompressInStrips(const uint8_t* data, size_t blocks, Compress&& compress) {
    if constexpr (!kPrefetch) {
        if (blocks != 0) compress(data, blocks);
        return;
    }
    constexpr size_t kStripBlocks = kStrip >= kBlock ? kStrip / kBlock : 1;
    while (blocks != 0) {
        const size_t n = blocks < kStripBlocks ? blocks : kStripBlocks;
        for (size_t i = 0; i < n * kBlock; i += 64) PrefetchAhead(data + i);
        compress(data, n);
        data += n * kBlock;
        blocks -= n;
    }
}

template <typename T>
inline void CompressWholeBlocks(typename T::Context& ctx, const uint8_t* data, size_t blocks) {
    CompressInStrips<sizeof ctx.block, kStripBytes, PrefetchOf<T>::value>(
        data, blocks, [&ctx](const uint8_t* p, size_t n) { T::Compress(ctx, p, n); });
}

// A fresh message: counters zero, block cleared.  The caller loads state.
template <typename T>
inline void BlockSeed(typename T::Context& ctx) {
    std::memset(ctx.block, 0, sizeof ctx.block);
    ctx.byteCount = 0;
    ctx.blockFill = 0;
}

template <typename T>
void BlockUpdate(typename T::Context& ctx, const uint8_t* data, size_t length) {
    constexpr size_t kBlock = sizeof ctx.block;
    if (length == 0) return;
    ctx.byteCount += length;
    if (ctx.blockFill != 0) {
        const size_t space = kBlock - ctx.blockFill;
        if (space > length) {
            std::memcpy(ctx.block + ctx.blockFill, data, length);
            ctx.blockFill += uint32_t(length);
            return;
        }
        std::memcpy(ctx.block + ctx.blockFill, data, space);
        data += space;
        length -= space;
        T::Compress(ctx, ctx.block, 1);
        std::memset(ctx.block, 0, kBlock);
        ctx.blockFill = 0;
    }
    CompressWholeBlocks<T>(ctx, data, length / kBlock);
    data += length / kBlock * kBlock;
    length %= kBlock;
    if (length != 0) std::memcpy(ctx.block, data, length);
    ctx.blockFill = uint32_t(length);
}

// The message length in bits, byteCount * 8, in the last kLengthBytes bytes of block; a
// field wider than 64 bits takes the three bits shifted out of byteCount in its next word.
template <typename T>
inline void StoreBitLength(typename T::Context& ctx) {
    constexpr size_t kBlock = sizeof ctx.block;
    static_assert(T::kLengthBytes == 8 || T::kLengthBytes == 16 || T::kLengthBytes == 32,
                  "length fields are 64, 128 or 256 bits wide");
    const uint64_t low = ctx.byteCount << 3;
    const uint64_t high = ctx.byteCount >> 61;
    uint8_t* field = ctx.block + kBlock - T::kLengthBytes;
    if (T::kBigEndian) {
        StoreBe64(ctx.block + kBlock - 8, low);
        if (T::kLengthBytes > 8) StoreBe64(ctx.block + kBlock - 16, high);
    } else {
        StoreLe64(field, low);
        if (T::kLengthBytes > 8) StoreLe64(field + 8, high);
    }
}

template <typename T>
const uint8_t* BlockFinal(typename T::Context& ctx) {
    constexpr size_t kBlock = sizeof ctx.block;
    static_assert(T::kTrailer >= T::kLengthBytes && T::kTrailer < kBlock, "trailer fits a block");
    ctx.block[ctx.blockFill] = T::kMarker;
    if (ctx.blockFill >= kBlock - T::kTrailer) {
        T::Compress(ctx, ctx.block, 1);
        std::memset(ctx.block, 0, kBlock);
        ctx.blockFill = 0;
    }
    if constexpr (T::kTrailer > T::kLengthBytes)
        T::StoreTrailer(ctx, ctx.block + kBlock - T::kTrailer);
    StoreBitLength<T>(ctx);
    T::Compress(ctx, ctx.block, 1);
    return T::StoreDigest(ctx);
}

template <typename T>
inline void BlockTransform(typename T::Context& ctx) {
    T::Compress(ctx, ctx.block, 1);
}

#endif
