// MD2 (RFC 1319): 16-byte blocks, 16-byte digest.  MD2 works on bytes only: no words,
// no byte order and no length field; the message is padded to whole blocks and a
// checksum block is compressed last.
//
// One static context.  state, block and mixed are bytes 0 to 15, 16 to 31 and 32 to 47
// of the 48-byte area X of RFC 1319 that the rounds run over.  After Final state is the
// digest; the result stays valid until the next call of any MD2 entry.
#ifndef KORVADEX_DIGESTS_MD2_H
#define KORVADEX_DIGESTS_MD2_H

#include "digest_types.h"

constexpr SizeWord kMd2Size = MakeSizeWord(16, 16);

struct Md2ContextType {
    uint8_t state[16];     // X[0..15]; the digest after Final
    uint8_t block[16];     // X[16..31]: the message block being assembled
    uint8_t mixed[16];     // X[32..47]: state XOR block, formed by each compression
    uint8_t checksum[16];  // the checksum C
    uint32_t blockFill;    // bytes waiting in block, 0 to 15 between calls
};

extern Md2ContextType Md2Context;

DigestResult Md2Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
// w0 to w3 are the first 16 bytes of state, each word least significant byte first.
DigestResult Md2DigestEx(const uint8_t* data, uint32_t length, uint32_t w0, uint32_t w1,
                         uint32_t w2, uint32_t w3);
// Clears the whole context, state included; returns the context's first field, state.
uint8_t* Md2Init();
void Md2Update(const uint8_t* data, uint32_t length);
const uint8_t* Md2Final();
void Md2Transform();

// The same engine over a context the caller owns; Init resets it to the initial value.
void Md2Init(Md2ContextType& ctx);
void Md2Update(Md2ContextType& ctx, const uint8_t* data, size_t length);
const uint8_t* Md2Final(Md2ContextType& ctx);  // the digest, in ctx
void Md2Transform(Md2ContextType& ctx);

#endif
