// SHA-384 and SHA-512 (FIPS 180-2): 48- and 64-byte digests over 128-byte blocks.
//
// Both engines follow the block-buffered pattern: Init, Update and Final over a context
// whose `block` takes in the pieces of blocks split between Update calls and the padding.  They
// differ only in the initial hash value, which <Alg>DigestEx stores after the resetting Init, and
// in how many state words Final emits.  Each engine has a context of its own.
#ifndef KORVADEX_DIGESTS_SHA384_SHA512_H
#define KORVADEX_DIGESTS_SHA384_SHA512_H

#include "compress_paths.h"
#include "digest_types.h"

constexpr SizeWord kSha384Size = MakeSizeWord(128, 48);
constexpr SizeWord kSha512Size = MakeSizeWord(128, 64);

struct Sha512ContextData {
    uint8_t block[128];  // pending bytes; every byte at or after blockFill is zero
    uint64_t byteCount;  // message bytes taken in since Init
    uint32_t blockFill;  // bytes pending in block, 0..127 between calls
    uint64_t state[8];   // chaining value H0..H7; after Final the digest bytes
};

extern Sha512ContextData Sha384Context;
extern Sha512ContextData Sha512Context;

// The DigestFns: <Alg>DigestEx with the initial hash value of the standard.
DigestResult Sha384Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Sha512Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);

// Init, state = h0..h7, Update, Final; returns the address of the digest in `state`.
DigestResult Sha384DigestEx(const uint8_t* data, uint32_t length, uint64_t h0, uint64_t h1,
                            uint64_t h2, uint64_t h3, uint64_t h4, uint64_t h5, uint64_t h6,
                            uint64_t h7);
DigestResult Sha512DigestEx(const uint8_t* data, uint32_t length, uint64_t h0, uint64_t h1,
                            uint64_t h2, uint64_t h3, uint64_t h4, uint64_t h5, uint64_t h6,
                            uint64_t h7);

// Clears byteCount, blockFill and block; leaves state to the caller.
void Sha384Init();
void Sha512Init();

void Sha384Update(const uint8_t* data, uint32_t length);
void Sha512Update(const uint8_t* data, uint32_t length);

// Pads, compresses and turns state into the digest (48 or 64 bytes, H0 first, each word
// most significant byte first); returns its address.  State cannot be continued after.
const uint8_t* Sha384Final();
const uint8_t* Sha512Final();

// Compresses block into state.
void Sha384Transform();
void Sha512Transform();

// The same engines over a context the caller owns; Init loads the published initial value.
void Sha384Init(Sha512ContextData& ctx);
void Sha512Init(Sha512ContextData& ctx);
void Sha384Update(Sha512ContextData& ctx, const uint8_t* data, size_t length);
void Sha512Update(Sha512ContextData& ctx, const uint8_t* data, size_t length);
const uint8_t* Sha384Final(Sha512ContextData& ctx);  // the digest, in ctx
const uint8_t* Sha512Final(Sha512ContextData& ctx);

// The ways to compress count blocks of data into state, shared by both engines
// (compress_paths.h).
using Sha512Compression = void(uint64_t (&state)[8], const uint8_t* data, size_t count);
extern const PathTable<Sha512Compression> kSha512Paths;

#endif
