#include "whirlpool.h"

#include <cstring>

#include "block_engine.h"
#include "byte_order.h"
#include "compiler_hints.h"
#include "compress_paths.h"
#include "digest_tables.h"
#include "stream_adapters.h"
#include "streaming_engines.h"
#include "x86/kernels.h"

WhirlpoolContextData WhirlpoolContext;

namespace {

// Byte k of a row counts from the most significant (k = 0) to the least (k = 7).
inline uint64_t C(unsigned k, uint64_t row) {
    return kWhirlpoolTables[k][uint8_t(row >> (56 - 8 * k))];
}

// Row i of rho(w): the S-box layer, the cyclic shift of column k down by k rows and the
// diffusion layer in one, through the tables C0..C7.
inline uint64_t RhoRow(const uint64_t* w, unsigned i) {
    return C(0, w[i]) ^ C(1, w[(i + 7) & 7]) ^ C(2, w[(i + 6) & 7]) ^ C(3, w[(i + 5) & 7]) ^
           C(4, w[(i + 4) & 7]) ^ C(5, w[(i + 3) & 7]) ^ C(6, w[(i + 2) & 7]) ^
           C(7, w[(i + 1) & 7]);
}

// Written out row by row: with every index a constant the rows need no address arithmetic
// (about 40% faster than the loop).
inline void Rho(const uint64_t* w, uint64_t* out) {
    out[0] = RhoRow(w, 0);
    out[1] = RhoRow(w, 1);
    out[2] = RhoRow(w, 2);
    out[3] = RhoRow(w, 3);
    out[4] = RhoRow(w, 4);
    out[5] = RhoRow(w, 5);
    out[6] = RhoRow(w, 6);
    out[7] = RhoRow(w, 7);
}

// rho(w) ^ key, row by row.
inline void RhoKeyed(const uint64_t* w, const uint64_t* key, uint64_t* out) {
    out[0] = RhoRow(w, 0) ^ key[0];
    out[1] = RhoRow(w, 1) ^ key[1];
    out[2] = RhoRow(w, 2) ^ key[2];
    out[3] = RhoRow(w, 3) ^ key[3];
    out[4] = RhoRow(w, 4) ^ key[4];
    out[5] = RhoRow(w, 5) ^ key[5];
    out[6] = RhoRow(w, 6) ^ key[6];
    out[7] = RhoRow(w, 7) ^ key[7];
}

}  // namespace

// The block cipher W keyed by H, in Miyaguchi-Preneel mode: H' = W_H(m) ^ m ^ H.
//
// The ten round keys are made first, then the ten rounds of the state: each half then
// holds eight rows live rather than sixteen, which the compiler's fifteen registers could
// not keep (a tenth faster than the two side by side).  The state goes back and forth
// between s and t instead of being copied.

namespace {

// One block.  Out of line: inlined into the loop over the blocks, the rounds ran slower
// (docs/tuning.md, "Whirlpool: round keys first, one block out of line").
KORVADEX_NEVER_INLINE void CompressBlock(uint64_t (&state)[8], const uint64_t (&roundConstants)[10],
                                         const uint8_t* data) {
    uint64_t m[8], k[10][8], s[8], t[8];
    Rho(state, k[0]);
    k[0][0] ^= roundConstants[0];
    for (int r = 1; r < 10; ++r) {
        Rho(k[r - 1], k[r]);
        k[r][0] ^= roundConstants[r];
    }
    for (int i = 0; i < 8; ++i) {
        m[i] = LoadBe64(data + 8 * i);
        s[i] = m[i] ^ state[i];
    }
    for (int r = 0; r < 10; r += 2) {
        RhoKeyed(s, k[r], t);
        RhoKeyed(t, k[r + 1], s);
    }
    for (int i = 0; i < 8; ++i) state[i] ^= s[i] ^ m[i];
}

void WhirlpoolCompressPortable(uint64_t (&state)[8], const uint64_t (&roundConstants)[10],
                               const uint8_t* data, size_t count) {
    for (; count != 0; --count, data += 64) CompressBlock(state, roundConstants, data);
}

#ifdef KORVADEX_X86_KERNELS
bool HasAvx512VbmiGfni(const CpuFeatures& cpu) {
    return cpu.avx512 && cpu.avx512vbmi && cpu.gfni;
}
#endif

}  // namespace

// On AVX-512 where the processor has it, else the portable one.
const CompressPath<WhirlpoolCompression> kWhirlpoolPathRows[] = {
#ifdef KORVADEX_X86_KERNELS
    {"AVX-512", "AVX-512 F, BW, VL and VBMI, and GFNI", HasAvx512VbmiGfni, WhirlpoolCompressAvx512},
#endif
    {"portable", "", RunsAnywhere, WhirlpoolCompressPortable},
};
const PathTable<WhirlpoolCompression> kWhirlpoolPaths = MakePathTable(kWhirlpoolPathRows);

namespace {

// The compression of count blocks, chosen on the first call.
void WhirlpoolCompressBlocks(uint64_t (&state)[8], const uint64_t (&roundConstants)[10],
                             const uint8_t* data, size_t count) {
    RoutineHere<kWhirlpoolPaths>()(state, roundConstants, data, count);
}

struct WhirlpoolTraits {
    using Context = WhirlpoolContextData;
    static constexpr uint8_t kMarker = 0x80;
    static constexpr size_t kTrailer = 32;
    static constexpr size_t kLengthBytes = 32;
    static constexpr bool kBigEndian = true;
    static void Compress(Context& ctx, const uint8_t* data, size_t blocks) {
        WhirlpoolCompressBlocks(ctx.state, ctx.roundConstants, data, blocks);
    }
    static const uint8_t* StoreDigest(Context& ctx) {
        uint8_t* digest = reinterpret_cast<uint8_t*>(ctx.state);
        for (int i = 0; i < 8; ++i) StoreBe64(digest + 8 * i, ctx.state[i]);
        return digest;
    }
};

}  // namespace

DigestResult WhirlpoolDigest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    const uint64_t* rc = kWhirlpoolRoundConstants;
    return WhirlpoolDigestEx(data, length, rc[0], rc[1], rc[2], rc[3], rc[4], rc[5], rc[6], rc[7],
                             rc[8], rc[9]);
}

DigestResult WhirlpoolDigestEx(const uint8_t* data, uint32_t length, uint64_t rc1, uint64_t rc2,
                               uint64_t rc3, uint64_t rc4, uint64_t rc5, uint64_t rc6, uint64_t rc7,
                               uint64_t rc8, uint64_t rc9, uint64_t rc10) {
    WhirlpoolInit();
    const uint64_t rc[10] = {rc1, rc2, rc3, rc4, rc5, rc6, rc7, rc8, rc9, rc10};
    std::memcpy(WhirlpoolContext.roundConstants, rc, sizeof rc);
    WhirlpoolUpdate(data, length);
    return DigestAddress(WhirlpoolFinal());
}

void WhirlpoolInit() {
    BlockSeed<WhirlpoolTraits>(WhirlpoolContext);
    std::memset(WhirlpoolContext.state, 0, sizeof WhirlpoolContext.state);
}
void WhirlpoolUpdate(const uint8_t* data, uint32_t length) {
    WhirlpoolUpdate(WhirlpoolContext, data, length);
}
const uint8_t* WhirlpoolFinal() {
    return WhirlpoolFinal(WhirlpoolContext);
}
void WhirlpoolTransform() {
    BlockTransform<WhirlpoolTraits>(WhirlpoolContext);
}

void WhirlpoolInit(WhirlpoolContextData& ctx) {
    BlockSeed<WhirlpoolTraits>(ctx);
    std::memset(ctx.state, 0, sizeof ctx.state);
    std::memcpy(ctx.roundConstants, kWhirlpoolRoundConstants, sizeof ctx.roundConstants);
}
void WhirlpoolUpdate(WhirlpoolContextData& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<WhirlpoolTraits>(ctx, data, length);
}
const uint8_t* WhirlpoolFinal(WhirlpoolContextData& ctx) {
    return BlockFinal<WhirlpoolTraits>(ctx);
}

const StreamingEngine kWhirlpoolStream =
    ContextAdapter<WhirlpoolContextData, WhirlpoolInit, WhirlpoolUpdate, WhirlpoolFinal,
                   kWhirlpoolSize, PathNameHere<kWhirlpoolPaths>>::kEngine;
