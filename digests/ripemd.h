// The RIPEMD family: RIPEMD-128, RIPEMD-160, RIPEMD-256 and RIPEMD-320, as published
// together with RIPEMD-160.  The four engines are separate twins: each has its own
// static context, its own entries and its own compression function.
//
// All four take in messages through a 64-byte block buffer, pad with 0x80 and end the
// last block with the message length in bits, little-endian, as MD4 does.
//
//   <Alg>Digest     the DigestFn: <Alg>DigestEx with the published initial value.
//   <Alg>DigestEx   seeds the context with the given chaining words, then Update and
//                   Final over the message; returns the address of the digest.
//   <Alg>Init       seeds the context with the published initial value, so that Init,
//                   any number of Update calls and one Final hash a message in pieces;
//                   returns the address of state.
//   <Alg>Update     takes in message bytes (length 0 never reads data).
//   <Alg>Final      pads, compresses the last block or blocks and returns the digest.
//   <Alg>Transform  compresses the 64 bytes of block into state.
//
// state holds the chaining words h0, h1, ...  Final turns them in place into the digest,
// each word least significant byte first as published, so state is also the digest
// buffer: the digest stays valid until the next call of any entry of the same engine,
// and after Final state holds no chaining value to continue from.  Single-threaded per
// engine; different engines are independent.  The overloads taking a context work on the
// caller's instead of the static one, so any number of messages can be hashed side by side.
#ifndef KORVADEX_DIGESTS_RIPEMD_H
#define KORVADEX_DIGESTS_RIPEMD_H

#include "digest_types.h"

constexpr SizeWord kRipemd128Size = MakeSizeWord(64, 16);
constexpr SizeWord kRipemd160Size = MakeSizeWord(64, 20);
constexpr SizeWord kRipemd256Size = MakeSizeWord(64, 32);
constexpr SizeWord kRipemd320Size = MakeSizeWord(64, 40);

// The fields of each context.  Between calls every byte of block at or after blockFill
// is zero, and blockFill is below 64.  byteCount counts the bytes given to Update since
// seeding.
struct Ripemd128ContextType {
    uint8_t block[64];
    uint64_t byteCount;
    uint32_t blockFill;
    uint32_t state[4];  // h0..h3
};

struct Ripemd160ContextType {
    uint8_t block[64];
    uint64_t byteCount;
    uint32_t blockFill;
    uint32_t state[5];  // h0..h4
};

// h0..h3 chain the left line, h4..h7 the right line.
struct Ripemd256ContextType {
    uint8_t block[64];
    uint64_t byteCount;
    uint32_t blockFill;
    uint32_t state[8];
};

// h0..h4 chain the left line, h5..h9 the right line.
struct Ripemd320ContextType {
    uint8_t block[64];
    uint64_t byteCount;
    uint32_t blockFill;
    uint32_t state[10];
};

extern Ripemd128ContextType Ripemd128Context;
extern Ripemd160ContextType Ripemd160Context;
extern Ripemd256ContextType Ripemd256Context;
extern Ripemd320ContextType Ripemd320Context;

DigestResult Ripemd128Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Ripemd128DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                               uint32_t h2, uint32_t h3);
const uint32_t* Ripemd128Init();
void Ripemd128Update(const uint8_t* data, uint32_t length);
const uint8_t* Ripemd128Final();
void Ripemd128Transform();

void Ripemd128Init(Ripemd128ContextType& ctx);
void Ripemd128Update(Ripemd128ContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* Ripemd128Final(Ripemd128ContextType& ctx);  // the digest, in ctx

DigestResult Ripemd160Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Ripemd160DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                               uint32_t h2, uint32_t h3, uint32_t h4);
const uint32_t* Ripemd160Init();
void Ripemd160Update(const uint8_t* data, uint32_t length);
const uint8_t* Ripemd160Final();
void Ripemd160Transform();

void Ripemd160Init(Ripemd160ContextType& ctx);
void Ripemd160Update(Ripemd160ContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* Ripemd160Final(Ripemd160ContextType& ctx);  // the digest, in ctx

DigestResult Ripemd256Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Ripemd256DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                               uint32_t h2, uint32_t h3, uint32_t h4, uint32_t h5, uint32_t h6,
                               uint32_t h7);
const uint32_t* Ripemd256Init();
void Ripemd256Update(const uint8_t* data, uint32_t length);
const uint8_t* Ripemd256Final();
void Ripemd256Transform();

void Ripemd256Init(Ripemd256ContextType& ctx);
void Ripemd256Update(Ripemd256ContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* Ripemd256Final(Ripemd256ContextType& ctx);  // the digest, in ctx

DigestResult Ripemd320Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Ripemd320DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                               uint32_t h2, uint32_t h3, uint32_t h4, uint32_t h5, uint32_t h6,
                               uint32_t h7, uint32_t h8, uint32_t h9);
const uint32_t* Ripemd320Init();
void Ripemd320Update(const uint8_t* data, uint32_t length);
const uint8_t* Ripemd320Final();
void Ripemd320Transform();

void Ripemd320Init(Ripemd320ContextType& ctx);
void Ripemd320Update(Ripemd320ContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* Ripemd320Final(Ripemd320ContextType& ctx);  // the digest, in ctx

#endif
