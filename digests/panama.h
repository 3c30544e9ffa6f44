// PANAMA (1998) in hashing mode with little-endian words: a 544-bit state and a buffer of
// 32 stages of 256 bits.  The message, followed by the byte 0x01 and zero bytes up to the
// next 32-byte border, is pushed in 32-byte blocks; 32 blank pulls follow, and the digest
// is the state words a9..a16, each least significant byte first.  There is no length
// field.
//
// The buffer is never shifted: logical stage j lives in physical stage (tap + j) mod 32,
// and each iteration moves tap one place back.  Full blocks of the caller's data are
// pushed where they lie.  Final wipes the state, the buffer and the counters.
#ifndef KORVADEX_DIGESTS_PANAMA_H
#define KORVADEX_DIGESTS_PANAMA_H

#include "compress_paths.h"
#include "digest_types.h"

constexpr SizeWord kPanamaSize = MakeSizeWord(32, 32);

struct PanamaContextType {
    uint8_t padTemplate[32];  // padding pattern, set by PanamaDigestEx
    uint32_t state[17];       // a0..a16
    uint32_t mix[17];         // scratch: the state after gamma, rotated and placed by pi
    uint32_t buffer[32][8];   // logical stage j is physical stage (tap + j) mod 32
    uint32_t tap;             // physical index of logical stage 0
    uint32_t nextTap;         // (tap + 31) mod 32 during an iteration
    uint8_t block[32];        // pending message bytes
    uint64_t byteCount;       // message bytes taken in; its low five bits are the fill
    uint8_t result[32];       // the digest
};

extern PanamaContextType PanamaContext;

DigestResult PanamaDigest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
// p0..p7 are the padding pattern as little-endian words (PanamaDigest passes 1, 0, ..., 0:
// the byte 0x01 followed by 31 zero bytes).
DigestResult PanamaDigestEx(const uint8_t* data, uint32_t length, uint32_t p0, uint32_t p1,
                            uint32_t p2, uint32_t p3, uint32_t p4, uint32_t p5, uint32_t p6,
                            uint32_t p7);

// Zeroes state, mix, buffer, tap, nextTap and byteCount.
void PanamaInit();
void PanamaUpdate(const uint8_t* data, uint32_t length);
// Pads, pushes the last block, runs the blank pulls, copies the digest to result and
// wipes the context (padTemplate, block and result stay); returns result.
const uint8_t* PanamaFinal();
// One iteration in push mode with the 32 bytes at block as input.
void PanamaPush(PanamaContextType& context, const uint8_t* block);
// One iteration in pull mode (its output is not used in hashing).
void PanamaPull(PanamaContextType& context);
// The ways to run n iterations over the state, buffer and tap of c, pushing the n 32-byte
// blocks at data or, where data is null, pulling n times (compress_paths.h).
using PanamaIteration = void(PanamaContextType& c, const uint8_t* data, size_t n);
extern const PathTable<PanamaIteration> kPanamaPaths;

// The same engine over a context the caller owns.  Init sets the published padding (0x01,
// then zeros) as well, which the one-shot entry leaves to PanamaDigestEx.
void PanamaInit(PanamaContextType& ctx);
void PanamaUpdate(PanamaContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* PanamaFinal(PanamaContextType& ctx);  // the digest, in ctx

#endif
