// SHA-256 (FIPS 180-2): a 32-byte digest over 64-byte blocks.
//
// A one-pass engine with no streaming entries: Sha256DigestEx compresses the caller's
// whole blocks in place, builds the padded tail (one or two blocks) in its own context,
// writes the digest into `result` and zeroes every other field before it returns.
#ifndef KORVADEX_DIGESTS_SHA256_H
#define KORVADEX_DIGESTS_SHA256_H

#include <cstddef>

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

// The DigestFn: Sha256DigestEx with the SHA-256 initial hash value.
DigestResult Sha256Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);

// Hashes the message from the chaining value h0..h7; returns the address of `result`.
DigestResult Sha256DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                            uint32_t h2, uint32_t h3, uint32_t h4, uint32_t h5, uint32_t h6,
                            uint32_t h7);

// The portable compression of whole blocks at data into the chaining value state, with
// `work` and `schedule` of the context as scratch (zero again on return): the engine's
// fallback where the processor lacks the SHA extensions, and the tests' reference for the
// accelerated path.  Not during a call of Sha256DigestEx.
void Sha256CompressPortable(uint32_t state[8], const uint8_t* data, size_t blocks);

#endif
