// Whirlpool, the 512-bit digest of ISO/IEC 10118-3 in its final version (not the earlier
// Whirlpool-0 or Whirlpool-T).  The chaining value starts at zero; the fixed words that
// the one-shot passes to WhirlpoolDigestEx are the ten round constants, which the
// compression function reads from the context.
//
// A caller that streams calls WhirlpoolInit, stores the round constants in
// WhirlpoolContext.roundConstants, then any number of WhirlpoolUpdate calls and one
// WhirlpoolFinal.
#ifndef KORVADEX_DIGESTS_WHIRLPOOL_H
#define KORVADEX_DIGESTS_WHIRLPOOL_H

#include "compress_paths.h"
#include "digest_types.h"

constexpr SizeWord kWhirlpoolSize = MakeSizeWord(64, 64);

// The 8 x 8-byte state matrix is held as eight 64-bit rows; row i is bytes 8i to 8i + 7
// of a block or of the digest, the first byte the most significant.
struct WhirlpoolContextData {
    uint64_t roundConstants[10];  // rounds 1 to 10
    uint8_t block[64];            // pending message bytes; zero from blockFill on
    uint64_t byteCount;           // message bytes taken in
    uint32_t blockFill;           // bytes pending in block, 0 to 63 between calls
    uint64_t state[8];            // hash value H; after Final the 64 digest bytes
};

extern WhirlpoolContextData WhirlpoolContext;

DigestResult WhirlpoolDigest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult WhirlpoolDigestEx(const uint8_t* data, uint32_t length, uint64_t rc1, uint64_t rc2,
                               uint64_t rc3, uint64_t rc4, uint64_t rc5, uint64_t rc6, uint64_t rc7,
                               uint64_t rc8, uint64_t rc9, uint64_t rc10);
void WhirlpoolInit();
void WhirlpoolUpdate(const uint8_t* data, uint32_t length);
const uint8_t* WhirlpoolFinal();
void WhirlpoolTransform();

// The same engine over a context the caller owns; Init loads the published round constants.
void WhirlpoolInit(WhirlpoolContextData& ctx);
void WhirlpoolUpdate(WhirlpoolContextData& ctx, const uint8_t* data, size_t length);
const uint8_t* WhirlpoolFinal(WhirlpoolContextData& ctx);  // the digest, in ctx

// The ways to compress count 64-byte blocks of data into state (compress_paths.h).
using WhirlpoolCompression = void(uint64_t (&state)[8], const uint64_t (&roundConstants)[10],
                                  const uint8_t* data, size_t count);
extern const PathTable<WhirlpoolCompression> kWhirlpoolPaths;

#endif
