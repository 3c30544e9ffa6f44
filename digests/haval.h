// HAVAL (version 1, 1992): the variable-length one-way hash with 128-byte blocks, in
// 3, 4 or 5 passes and with 128, 160, 192, 224 or 256 bits of output, chosen per call.
//
// All combinations share one static context (the overloads taking a context work on the
// caller's).  HavalDigest refuses (returns 0) output
// lengths outside 128..287 bits and pass counts outside 3..5 and then leaves the context
// alone.  The digest is the first outputBits / 8 bytes of the folded chaining value, each
// word least significant byte first, the byte order of the published test values.
// Output lengths other than the five standard ones are accepted as they stand: they go
// into the trailer unchanged and the 256-bit chaining value is not folded.
#ifndef KORVADEX_DIGESTS_HAVAL_H
#define KORVADEX_DIGESTS_HAVAL_H

#include "digest_types.h"

constexpr SizeWord kHaval128Size = MakeSizeWord(128, 16);
constexpr SizeWord kHaval160Size = MakeSizeWord(128, 20);
constexpr SizeWord kHaval192Size = MakeSizeWord(128, 24);
constexpr SizeWord kHaval224Size = MakeSizeWord(128, 28);
constexpr SizeWord kHaval256Size = MakeSizeWord(128, 32);

struct HavalContextType {
    uint32_t outputBits;  // requested output length in bits, as given
    uint32_t passes;      // 3, 4 or 5
    uint8_t block[128];   // pending message bytes; zero at and beyond blockFill
    uint64_t byteCount;   // message bytes taken in
    uint32_t blockFill;   // bytes pending in block, 0..127 between calls
    uint32_t state[8];    // chaining value D0..D7; after Final the folded digest
};

extern HavalContextType HavalContext;

DigestResult HavalDigest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult HavalDigestEx(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes,
                           uint32_t d0, uint32_t d1, uint32_t d2, uint32_t d3, uint32_t d4,
                           uint32_t d5, uint32_t d6, uint32_t d7);

// Records the parameters and empties the block and the counters; leaves state alone.
void HavalInit(uint32_t bits, uint32_t passes);
void HavalUpdate(const uint8_t* data, uint32_t length);
// Pads, appends the trailer, compresses and folds; returns the digest bytes (state).
const uint8_t* HavalFinal();

// Compresses block into state with the compression function of the pass count:
// HavalTransform3 for 3 passes, HavalTransform4 for 4, HavalTransform5 otherwise.
void HavalTransform();
void HavalTransform3();
void HavalTransform4();
void HavalTransform5();

// The compression of count blocks of data into state, in 3, 4 or 5 passes.
void HavalCompressBlocks(uint32_t (&state)[8], uint32_t passes, const uint8_t* data, size_t count);

// The same engine over a context the caller owns: Init loads the published initial value
// and returns false for the bits and passes that HavalDigest refuses.
bool HavalInit(HavalContextType& ctx, uint32_t bits, uint32_t passes);
void HavalUpdate(HavalContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* HavalFinal(HavalContextType& ctx);  // the digest, in ctx

#endif
