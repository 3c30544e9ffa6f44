// Snefru: the hash built on the 512-bit-input compression function with its sixteen
// published S-boxes, with 128 or 256 bits of output and 1 to 8 passes chosen per call.
// With 8 passes the results are the published Snefru-128 and Snefru-256 values; with
// fewer passes the compression function runs only its first passes (the first
// 2 x passes S-boxes).
//
// Each compression takes the chaining value and 64 - bits / 8 message bytes (48 for 128
// bits, 32 for 256 bits); message and digest words are big-endian.  The padding (zero
// bytes to the end of a partly filled block, then one block that ends in the 64-bit bit
// length) is built in a buffer of its own and fed through SnefruUpdate.
//
// All parameter combinations share one static context.  SnefruDigest refuses (returns 0)
// output lengths other than 128 and 256 bits and pass counts outside 1..8, and then
// leaves the context alone.
#ifndef KORVADEX_DIGESTS_SNEFRU_H
#define KORVADEX_DIGESTS_SNEFRU_H

#include "digest_types.h"

constexpr SizeWord kSnefru128Size = MakeSizeWord(48, 16);
constexpr SizeWord kSnefru256Size = MakeSizeWord(32, 32);

struct SnefruContextType {
    uint32_t state[8];     // chaining value; words digestWords..7 stay zero
    uint32_t work[16];     // working block: chaining words, then message words
    uint8_t block[64];     // pending message bytes (the first blockSize are used)
    uint32_t words[12];    // message words of the block being compressed
    uint8_t padding[96];   // zero bytes and the bit length of the final padding
    uint32_t padLength;    // padding bytes prepared by SnefruPad
    uint32_t blockSize;    // message bytes per block: 48 or 32
    uint32_t digestWords;  // 4 or 8
    uint32_t passes;       // 1..8
    uint64_t byteCount;    // message bytes taken in; the fill of block is byteCount
                           // modulo blockSize
    uint8_t result[32];    // the digest: digestWords words, most significant byte first
};

extern SnefruContextType SnefruContext;

DigestResult SnefruDigest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult SnefruDigestEx(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes,
                            uint32_t h0, uint32_t h1, uint32_t h2, uint32_t h3, uint32_t h4,
                            uint32_t h5, uint32_t h6, uint32_t h7);

// Records the parameters and empties the context.  bits must be 128 or 256 and passes
// 1..8 (SnefruDigestEx checks them).
void SnefruInit(uint32_t bits, uint32_t passes);
void SnefruUpdate(const uint8_t* data, uint32_t length);
// Prepares the final padding (padding, padLength) for the message taken in so far.
void SnefruPad();
// Stores the digest in result and returns it; call after the padding went through Update.
const uint8_t* SnefruFinal();
// Compresses n = blockSize message bytes into state.
void SnefruTransform(const uint8_t* bytes, uint32_t n);

// The same engine over a context the caller owns.  Init returns false for the bits and
// passes SnefruDigest refuses; Finish pads, takes in the padding and returns the digest,
// in ctx, as SnefruDigestEx does after its Update.
bool SnefruInit(SnefruContextType& ctx, uint32_t bits, uint32_t passes);
void SnefruUpdate(SnefruContextType& ctx, const uint8_t* data, size_t length);
void SnefruPad(SnefruContextType& ctx);
const uint8_t* SnefruFinal(SnefruContextType& ctx);
const uint8_t* SnefruFinish(SnefruContextType& ctx);

#endif
