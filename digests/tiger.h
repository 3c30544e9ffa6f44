// Tiger, the 192-bit digest in its original 1996 form: three passes, the padding marker
// 0x01, a 64-bit little-endian bit length, and the chaining words a, b, c emitted each
// least significant byte first (the empty message gives 3293AC63...).
//
// The one-shot TigerDigest seeds the engine with the published initial value; a caller
// that streams calls TigerInit, stores the initial value in TigerContext.state itself,
// then any number of TigerUpdate calls and one TigerFinal.
#ifndef KORVADEX_DIGESTS_TIGER_H
#define KORVADEX_DIGESTS_TIGER_H

#include "compress_paths.h"
#include "digest_types.h"

constexpr SizeWord kTigerSize = MakeSizeWord(64, 24);

// The published initial value a, b, c.
constexpr uint64_t kTigerInitialA = 0x0123456789ABCDEF;
constexpr uint64_t kTigerInitialB = 0xFEDCBA9876543210;
constexpr uint64_t kTigerInitialC = 0xF096A5B4C3B2E187;

struct TigerContextData {
    uint8_t block[64];   // pending message bytes; zero from blockFill on
    uint64_t byteCount;  // message bytes taken in
    uint32_t blockFill;  // bytes pending in block, 0 to 63 between calls
    uint64_t state[3];   // chaining words a, b, c; after Final the 24 digest bytes
};

extern TigerContextData TigerContext;

DigestResult TigerDigest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult TigerDigestEx(const uint8_t* data, uint32_t length, uint64_t a, uint64_t b,
                           uint64_t c);
void TigerInit();
void TigerUpdate(const uint8_t* data, uint32_t length);
const uint8_t* TigerFinal();
void TigerTransform();

// The same engine over a context the caller owns; Init loads the published initial value.
void TigerInit(TigerContextData& ctx);
void TigerUpdate(TigerContextData& ctx, const uint8_t* data, size_t length);
const uint8_t* TigerFinal(TigerContextData& ctx);

// The ways to compress count 64-byte blocks of data into state (compress_paths.h).
using TigerCompression = void(uint64_t (&state)[3], const uint8_t* data, size_t count);
extern const PathTable<TigerCompression> kTigerPaths;

#endif
