// SHA-0 (FIPS 180, 1993) and SHA-1 (FIPS 180-1): 64-byte blocks, 20-byte digests,
// big-endian message words and bit length.  The two differ only in the one-bit rotation
// of SHA-1's message schedule, but the engines are built differently:
//
// - SHA-1 is block-buffered (Init, Update, Final, Transform).  Sha1Init leaves
//   state alone; Sha1DigestEx sets it, and a caller that streams sets it after Init.
//   Final turns state in place into the digest and returns its address.
// - SHA-0 is one pass over the caller's buffer: whole blocks are compressed where they
//   lie, only the last partial block is copied, with padding and length, into tail (one
//   or two blocks).  The digest goes to result; everything else of the context is zero
//   again when Sha0DigestEx returns.
//
// The entries without a context work on the engines' static contexts, and their results stay
// valid until the next call of any entry of the same engine.  The overloads taking a
// context work on the caller's: Init loads the published initial value, Update takes the
// message in pieces, Final returns the digest's address inside the context.  SHA-0 streams
// over its own buffered context, with the compression of its one-pass entry; its Final
// leaves only the digest and state.
#ifndef KORVADEX_DIGESTS_SHA0_SHA1_H
#define KORVADEX_DIGESTS_SHA0_SHA1_H

#include "compress_paths.h"
#include "digest_types.h"

constexpr SizeWord kSha0Size = MakeSizeWord(64, 20);
constexpr SizeWord kSha1Size = MakeSizeWord(64, 20);

struct Sha0ContextType {
    uint8_t tail[128];       // last partial block, 0x80, zeros, bit length
    uint32_t state[5];       // H0 to H4
    uint32_t messageLength;  // in bytes, as passed by the caller
    uint32_t remaining;      // bytes still to compress from the current source
    uint32_t tailPending;    // all ones until the tail is built, then 0
    uint8_t result[20];      // the digest
};

// The streaming form of SHA-0.
struct Sha0StreamContextType {
    uint8_t block[64];
    uint64_t byteCount;  // message bytes taken in
    uint32_t blockFill;  // bytes pending in block
    uint32_t state[5];   // H0 to H4; the digest after Final
};

struct Sha1ContextType {
    uint8_t block[64];
    uint64_t byteCount;  // message bytes taken in
    uint32_t blockFill;  // bytes pending in block
    uint32_t state[5];   // H0 to H4; the digest after Final
};

extern Sha0ContextType Sha0Context;
extern Sha1ContextType Sha1Context;

DigestResult Sha0Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Sha0DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                          uint32_t h2, uint32_t h3, uint32_t h4);

DigestResult Sha1Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Sha1DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                          uint32_t h2, uint32_t h3, uint32_t h4);
void Sha1Init();
void Sha1Update(const uint8_t* data, uint32_t length);
const uint8_t* Sha1Final();
void Sha1Transform();

void Sha0Init(Sha0StreamContextType& ctx);
void Sha0Update(Sha0StreamContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* Sha0Final(Sha0StreamContextType& ctx);

void Sha1Init(Sha1ContextType& ctx);
void Sha1Update(Sha1ContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* Sha1Final(Sha1ContextType& ctx);
void Sha1Transform(Sha1ContextType& ctx);

// The ways to compress whole blocks at data into the chaining value state, SHA-1's rounds
// over SHA-0's or SHA-1's schedule (compress_paths.h).
using Sha1Compression = void(uint32_t (&state)[5], const uint8_t* data, size_t blocks);
extern const PathTable<Sha1Compression> kSha0Paths;
extern const PathTable<Sha1Compression> kSha1Paths;

#endif
