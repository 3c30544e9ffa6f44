// GOST R 34.11-94 with the S-boxes of the standard's test parameter set and the all-zero
// initial hash value: 32-byte blocks, a 256-bit control sum of the message blocks and a
// 256-bit bit length, both mixed in by Final.
//
// Whole blocks of the caller's data are compressed where they lie.  Update holds back a
// last block that the data fills exactly until the next Update or Final.  The digest is
// the final chaining value, word 0 first, each word least significant byte first (the
// customary order of the standard's test values).
#ifndef KORVADEX_DIGESTS_GOST_H
#define KORVADEX_DIGESTS_GOST_H

#include <atomic>

#include "digest_types.h"

constexpr SizeWord kGostSize = MakeSizeWord(32, 32);

struct GostContextType {
    uint32_t sum[8];       // control sum: the message blocks added modulo 2^256
    uint32_t state[8];     // chaining value; after Final the digest
    uint32_t bitCount[8];  // message length in bits, a 256-bit count
    uint8_t block[32];     // bytes waiting to be absorbed
    uint32_t blockFill;    // bytes in block, 0..32 between calls
};

extern GostContextType GostContext;

// The round tables of the block cipher: each entry substitutes one byte of the round
// input through its two S-boxes and is already rotated left by 11 together with the
// byte's place in the word.  Built by the first GostInit of the process, which then sets
// tablesBuilt to 1; neither is touched again.
extern uint32_t sboxTables[4][256];
extern std::atomic<uint32_t> tablesBuilt;

DigestResult GostDigest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult GostDigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                          uint32_t h2, uint32_t h3, uint32_t h4, uint32_t h5, uint32_t h6,
                          uint32_t h7);

// Builds the round tables if this is the first call of the process, then zeroes the
// whole context (state included; GostDigestEx loads the initial value after it).
void GostInit();
void GostUpdate(const uint8_t* data, uint32_t length);
// Absorbs the last partial block, mixes in the length and the control sum, and returns
// the digest bytes (state).
const uint8_t* GostFinal();
// Adds the 32 bytes at block into sum, compresses them into state and adds bits, the
// number of message bits they stand for, to bitCount.
void GostAbsorbBlock(const uint8_t* block, uint32_t bits);
// The step hash function: replaces the chaining value h (8 words) by its compression
// with the block m (8 words).
void GostTransform(uint32_t* h, const uint32_t* m);
// Fills sboxTables from the stored S-box set.
void GostBuildTables();

// The same engine over a context the caller owns; Init resets it to the initial value.
void GostInit(GostContextType& ctx);
void GostUpdate(GostContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* GostFinal(GostContextType& ctx);  // the digest, in ctx
void GostAbsorbBlock(GostContextType& ctx, const uint8_t* block, uint32_t bits);

#endif
