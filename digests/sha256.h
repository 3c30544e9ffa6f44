// SHA-256 (FIPS 180-2): a 32-byte digest over 64-byte blocks.
//
// The one-shot entries are one pass: Sha256DigestEx compresses the caller's whole blocks in
// place, builds the padded tail (one or two blocks) in its own context, writes the digest
// into `result` and zeroes every other field before it returns.
//
// The streaming form runs over a context the caller owns, with the same compression: Init
// loads the published initial value, Update takes the message in pieces, Final returns the
// digest's address inside the context and leaves nothing else of the message there.
#ifndef KORVADEX_DIGESTS_SHA256_H
#define KORVADEX_DIGESTS_SHA256_H

#include "compress_paths.h"
#include "digest_types.h"

constexpr SizeWord kSha256Size = MakeSizeWord(64, 32);

struct Sha256ContextData {
    uint8_t tail[128];       // last partial block, 0x80, zeros and the bit length
    uint32_t state[8];       // chaining value H0..H7
    uint32_t work[8];        // working variables of the compression steps
    uint32_t schedule[16];   // message schedule window: word t at position t mod 16
    uint32_t messageLength;  // the caller's length in bytes
    uint32_t tailPending;    // all ones until the tail is built, then 0
    uint32_t remaining;      // bytes left to compress from the current source
    uint8_t result[32];      // the digest, H0..H7 most significant byte first
};

// Between calls every field but `result` is zero.
extern Sha256ContextData Sha256Context;

struct Sha256StreamContextType {
    uint8_t block[64];
    uint64_t byteCount;  // message bytes taken in
    uint32_t blockFill;  // bytes pending in block
    uint32_t state[8];   // H0..H7; the digest after Final
};

void Sha256Init(Sha256StreamContextType& ctx);
void Sha256Update(Sha256StreamContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* Sha256Final(Sha256StreamContextType& ctx);

// The DigestFn: Sha256DigestEx with the SHA-256 initial hash value.
DigestResult Sha256Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);

// Hashes the message from the chaining value h0..h7; returns the address of `result`.
DigestResult Sha256DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                            uint32_t h2, uint32_t h3, uint32_t h4, uint32_t h5, uint32_t h6,
                            uint32_t h7);

// The ways to compress whole blocks at data into the chaining value state
// (compress_paths.h).
using Sha256Compression = void(uint32_t (&state)[8], const uint8_t* data, size_t blocks);
extern const PathTable<Sha256Compression> kSha256Paths;

#endif
