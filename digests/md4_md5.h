// MD4 (RFC 1320) and MD5 (RFC 1321): 64-byte blocks, 16-byte digests, little-endian
// message words and bit length.
//
// The entries without a context work on the engine's one static context; the overloads
// taking a context work on the caller's, so any number of messages can be hashed side by
// side.  Whole blocks are compressed where they lie, the pieces of a block split between
// Update calls are gathered in block; a block is compressed as soon as it is complete, so
// blockFill stays below 64 between calls, and every byte of block at or after blockFill is
// zero.  Final leaves the digest in state
// (A, B, C, D, each word least significant byte first) and returns its address: the
// result stays valid until the next call of any entry of the same engine.
//
// The one-shot entries seed the context themselves.  For a message given in pieces call
// Init, Update any number of times, then Final (Init loads the published initial value).
#ifndef KORVADEX_DIGESTS_MD4_MD5_H
#define KORVADEX_DIGESTS_MD4_MD5_H

#include "digest_types.h"

constexpr SizeWord kMd4Size = MakeSizeWord(64, 16);
constexpr SizeWord kMd5Size = MakeSizeWord(64, 16);

struct Md4ContextType {
    uint8_t block[64];
    uint64_t byteCount;  // message bytes taken in
    uint32_t blockFill;  // bytes pending in block
    uint32_t state[4];   // A, B, C, D; the digest after Final
};

struct Md5ContextType {
    uint8_t block[64];
    uint32_t state[4];   // A, B, C, D; the digest after Final
    uint64_t byteCount;  // message bytes taken in
    uint32_t blockFill;  // bytes pending in block
};

extern Md4ContextType Md4Context;
extern Md5ContextType Md5Context;

DigestResult Md4Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Md4DigestEx(const uint8_t* data, uint32_t length, uint32_t a, uint32_t b, uint32_t c,
                         uint32_t d);
uint32_t* Md4Init();
void Md4Update(const uint8_t* data, uint32_t length);
const uint8_t* Md4Final();
void Md4Transform();

void Md4Init(Md4ContextType& ctx);
void Md4Update(Md4ContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* Md4Final(Md4ContextType& ctx);  // the digest, in ctx
void Md4Transform(Md4ContextType& ctx);

DigestResult Md5Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Md5DigestEx(const uint8_t* data, uint32_t length, uint32_t a, uint32_t b, uint32_t c,
                         uint32_t d);
uint32_t* Md5Init();
void Md5Update(const uint8_t* data, uint32_t length);
const uint8_t* Md5Final();
void Md5Transform();

void Md5Init(Md5ContextType& ctx);
void Md5Update(Md5ContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* Md5Final(Md5ContextType& ctx);  // the digest, in ctx
void Md5Transform(Md5ContextType& ctx);

#endif
