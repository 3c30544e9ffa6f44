#include "tiger.h"

#include <cstring>

#include "block_engine.h"
#include "byte_order.h"
#include "compress_paths.h"
#include "digest_tables.h"
#include "stream_adapters.h"
#include "streaming_engines.h"
#include "x86/kernels.h"

TigerContextData TigerContext;

namespace {

inline uint64_t T1(uint64_t x, unsigned byte) {
    return kTigerSboxes[0][uint8_t(x >> (8 * byte))];
}
inline uint64_t T2(uint64_t x, unsigned byte) {
    return kTigerSboxes[1][uint8_t(x >> (8 * byte))];
}
inline uint64_t T3(uint64_t x, unsigned byte) {
    return kTigerSboxes[2][uint8_t(x >> (8 * byte))];
}
inline uint64_t T4(uint64_t x, unsigned byte) {
    return kTigerSboxes[3][uint8_t(x >> (8 * byte))];
}

// p ^ q, with p and q computed side by side: left to itself the compiler chains the four
// S-box terms into three dependent XORs, one step longer on the critical path from c to a.
inline uint64_t XorPair(uint64_t p, uint64_t q) {
    __asm__("" : "+r"(p), "+r"(q));
    return p ^ q;
}

// One round over (a, b, c) with message word x; the even bytes of c feed a, the odd
// bytes feed b.
template <uint64_t kMul>
inline void Round(uint64_t& a, uint64_t& b, uint64_t& c, uint64_t x) {
    c ^= x;
    a -= XorPair(T1(c, 0) ^ T2(c, 2), T3(c, 4) ^ T4(c, 6));
    b += T4(c, 1) ^ T3(c, 3) ^ T2(c, 5) ^ T1(c, 7);
    b *= kMul;
}

// Eight rounds, one per message word, the roles of the three words rotating each round.
template <uint64_t kMul>
inline void Pass(uint64_t& a, uint64_t& b, uint64_t& c, const uint64_t* x) {
    Round<kMul>(a, b, c, x[0]);
    Round<kMul>(b, c, a, x[1]);
    Round<kMul>(c, a, b, x[2]);
    Round<kMul>(a, b, c, x[3]);
    Round<kMul>(b, c, a, x[4]);
    Round<kMul>(c, a, b, x[5]);
    Round<kMul>(a, b, c, x[6]);
    Round<kMul>(b, c, a, x[7]);
}

inline void KeySchedule(uint64_t* x) {
    x[0] -= x[7] ^ 0xA5A5A5A5A5A5A5A5;
    x[1] ^= x[0];
    x[2] += x[1];
    x[3] -= x[2] ^ (~x[1] << 19);
    x[4] ^= x[3];
    x[5] += x[4];
    x[6] -= x[5] ^ (~x[4] >> 23);
    x[7] ^= x[6];
    x[0] += x[7];
    x[1] -= x[0] ^ (~x[7] << 19);
    x[2] ^= x[1];
    x[3] += x[2];
    x[4] -= x[3] ^ (~x[2] >> 23);
    x[5] ^= x[4];
    x[6] += x[5];
    x[7] -= x[6] ^ 0x0123456789ABCDEF;
}

void TigerCompressPortable(uint64_t (&state)[3], const uint8_t* data, size_t count) {
    for (; count != 0; --count, data += 64) {
        uint64_t x[8];
        for (int i = 0; i < 8; ++i) x[i] = LoadLe64(data + 8 * i);
        uint64_t a = state[0];
        uint64_t b = state[1];
        uint64_t c = state[2];

        Pass<5>(a, b, c, x);
        KeySchedule(x);
        Pass<7>(c, a, b, x);
        KeySchedule(x);
        Pass<9>(b, c, a, x);

        state[0] ^= a;
        state[1] = b - state[1];
        state[2] += c;
    }
}

#if defined(KORVADEX_X86_KERNELS) && defined(__i386__)
#ifdef KORVADEX_HAVE_TIGER_I686
bool HasSse41Bmi1(const CpuFeatures& cpu) {
    return cpu.sse41 && cpu.bmi1;
}
#endif
bool HasSse2(const CpuFeatures& cpu) {
    return cpu.sse2;
}
#endif

}  // namespace

// In 32-bit builds with SSE4.1 and BMI1 or else on SSE2, where the processor has them;
// otherwise the portable one.
const CompressPath<TigerCompression> kTigerPathRows[] = {
#if defined(KORVADEX_X86_KERNELS) && defined(__i386__)
#ifdef KORVADEX_HAVE_TIGER_I686
    {"SSE4.1 and BMI1", "SSE4.1 and BMI1", HasSse41Bmi1, TigerCompressSse41Bmi1},
#endif
    {"SSE2 registers", "SSE2", HasSse2, TigerCompressSse2},
#endif
    {"portable", "", RunsAnywhere, TigerCompressPortable},
};
const PathTable<TigerCompression> kTigerPaths = MakePathTable(kTigerPathRows);

namespace {

// The compression of count blocks of data into state, chosen on the first call.
void TigerCompressBlocks(uint64_t (&state)[3], const uint8_t* data, size_t count) {
    RoutineHere<kTigerPaths>()(state, data, count);
}

struct TigerTraits {
    using Context = TigerContextData;
    static constexpr uint8_t kMarker = 0x01;
    static constexpr size_t kTrailer = 8;
    static constexpr size_t kLengthBytes = 8;
    static constexpr bool kBigEndian = false;
    static void Compress(Context& ctx, const uint8_t* data, size_t blocks) {
        TigerCompressBlocks(ctx.state, data, blocks);
    }
    // The digest is a, b, c, each least significant byte first: rewrite each word as its
    // own little-endian image (nothing to do on a little-endian host).
    static const uint8_t* StoreDigest(Context& ctx) {
        uint8_t* digest = reinterpret_cast<uint8_t*>(ctx.state);
        for (int i = 0; i < 3; ++i) StoreLe64(digest + 8 * i, ctx.state[i]);
        return digest;
    }
};

}  // namespace

DigestResult TigerDigest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return TigerDigestEx(data, length, kTigerInitialA, kTigerInitialB, kTigerInitialC);
}

DigestResult TigerDigestEx(const uint8_t* data, uint32_t length, uint64_t a, uint64_t b,
                           uint64_t c) {
    TigerInit();
    TigerContext.state[0] = a;
    TigerContext.state[1] = b;
    TigerContext.state[2] = c;
    TigerUpdate(data, length);
    return DigestAddress(TigerFinal());
}

void TigerInit() {
    BlockSeed<TigerTraits>(TigerContext);
}
void TigerUpdate(const uint8_t* data, uint32_t length) {
    TigerUpdate(TigerContext, data, length);
}
const uint8_t* TigerFinal() {
    return TigerFinal(TigerContext);
}
void TigerTransform() {
    BlockTransform<TigerTraits>(TigerContext);
}

void TigerInit(TigerContextData& ctx) {
    BlockSeed<TigerTraits>(ctx);
    ctx.state[0] = kTigerInitialA;
    ctx.state[1] = kTigerInitialB;
    ctx.state[2] = kTigerInitialC;
}
void TigerUpdate(TigerContextData& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<TigerTraits>(ctx, data, length);
}
const uint8_t* TigerFinal(TigerContextData& ctx) {
    return BlockFinal<TigerTraits>(ctx);
}

const StreamingEngine kTigerStream =
    ContextAdapter<TigerContextData, TigerInit, TigerUpdate, TigerFinal, kTigerSize,
                   PathNameHere<kTigerPaths>>::kEngine;
