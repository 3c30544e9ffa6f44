#include "sha384_sha512.h"

#include <cstring>

#include "byte_order.h"
#include "cpu_features.h"
#include "digest_tables.h"
#include "sha512_sse2.h"
#include "sha_accelerated.h"

Sha512ContextData Sha384Context;
Sha512ContextData Sha512Context;

namespace {

// Sigma0 and the small sigmas are written nested (fewer copies of x, since an x86 rotation
// overwrites its operand); Sigma1 is not, as it lies on the chain from one e to the next,
// which the nesting would lengthen.
inline uint64_t BigSigma0(uint64_t x) {
    return Rotr64(Rotr64(Rotr64(x, 5) ^ x, 6) ^ x, 28);
}
inline uint64_t BigSigma1(uint64_t x) {
    return Rotr64(x, 14) ^ Rotr64(x, 18) ^ Rotr64(x, 41);
}
inline uint64_t SmallSigma0(uint64_t x) {
    return Rotr64(Rotr64(x, 7) ^ x, 1) ^ (x >> 7);
}
inline uint64_t SmallSigma1(uint64_t x) {
    return Rotr64(Rotr64(x, 42) ^ x, 19) ^ (x >> 6);
}
inline uint64_t Ch(uint64_t x, uint64_t y, uint64_t z) {
    return z ^ (x & (y ^ z));
}
inline uint64_t Maj(uint64_t x, uint64_t y, uint64_t z) {
    return ((x ^ y) & (y ^ z)) ^ y;
}

// One step; kw is the round constant plus the schedule word.  The caller renames the
// variables from step to step instead of shifting them.  T1 is summed into h from the
// terms that are ready first, so that the new e (d + T1) waits only on Sigma1(e).
inline void Step(uint64_t a, uint64_t b, uint64_t c, uint64_t& d, uint64_t e, uint64_t f,
                 uint64_t g, uint64_t& h, uint64_t kw) {
    h += kw;
    h += Ch(e, f, g);
    h += BigSigma1(e);
    d += h;
    h += Maj(a, b, c);
    h += BigSigma0(a);
}

// Schedule word t + I, for t a multiple of 16, in the 16-word window w where word t lives at
// position t mod 16: the first sixteen are read from the block, each later one replaces
// W[t-16].  The words are formed between the steps that use them, not all before the
// first step, which gives the processor independent work beside the steps' long chains:
// a seventh faster than expanding all eighty first.
template <unsigned I>
inline uint64_t W(uint64_t w[16], unsigned t, const uint8_t* block) {
    if (t == 0) return w[I] = LoadBe64(block + 8 * I);
    return w[I] += SmallSigma1(w[(I + 14) % 16]) + w[(I + 9) % 16] + SmallSigma0(w[(I + 1) % 16]);
}

// Compresses block into state without the accelerated paths.
void PortableCompress(Sha512ContextData& ctx) {
#if defined(__i386__) && defined(KORVADEX_HAVE_SHA512_SSE2)
    if (__builtin_cpu_supports("sse2")) {
        Sha512CompressSse2(ctx.state, ctx.block);
        return;
    }
#endif
    uint64_t w[16];
    uint64_t a = ctx.state[0], b = ctx.state[1], c = ctx.state[2], d = ctx.state[3];
    uint64_t e = ctx.state[4], f = ctx.state[5], g = ctx.state[6], h = ctx.state[7];
    const uint64_t* k = kSha512RoundConstants;
    for (unsigned t = 0; t < 80; t += 16) {
        Step(a, b, c, d, e, f, g, h, k[t] + W<0>(w, t, ctx.block));
        Step(h, a, b, c, d, e, f, g, k[t + 1] + W<1>(w, t, ctx.block));
        Step(g, h, a, b, c, d, e, f, k[t + 2] + W<2>(w, t, ctx.block));
        Step(f, g, h, a, b, c, d, e, k[t + 3] + W<3>(w, t, ctx.block));
        Step(e, f, g, h, a, b, c, d, k[t + 4] + W<4>(w, t, ctx.block));
        Step(d, e, f, g, h, a, b, c, k[t + 5] + W<5>(w, t, ctx.block));
        Step(c, d, e, f, g, h, a, b, k[t + 6] + W<6>(w, t, ctx.block));
        Step(b, c, d, e, f, g, h, a, k[t + 7] + W<7>(w, t, ctx.block));
        Step(a, b, c, d, e, f, g, h, k[t + 8] + W<8>(w, t, ctx.block));
        Step(h, a, b, c, d, e, f, g, k[t + 9] + W<9>(w, t, ctx.block));
        Step(g, h, a, b, c, d, e, f, k[t + 10] + W<10>(w, t, ctx.block));
        Step(f, g, h, a, b, c, d, e, k[t + 11] + W<11>(w, t, ctx.block));
        Step(e, f, g, h, a, b, c, d, k[t + 12] + W<12>(w, t, ctx.block));
        Step(d, e, f, g, h, a, b, c, k[t + 13] + W<13>(w, t, ctx.block));
        Step(c, d, e, f, g, h, a, b, k[t + 14] + W<14>(w, t, ctx.block));
        Step(b, c, d, e, f, g, h, a, k[t + 15] + W<15>(w, t, ctx.block));
    }
    ctx.state[0] += a;
    ctx.state[1] += b;
    ctx.state[2] += c;
    ctx.state[3] += d;
    ctx.state[4] += e;
    ctx.state[5] += f;
    ctx.state[6] += g;
    ctx.state[7] += h;
}

// The compression of whole blocks in place with the vector message schedule, where the
// processor has AVX2 and BMI2, chosen on the first call; nullptr elsewhere.
using BlocksFn = void (*)(uint64_t state[8], const uint8_t* data, size_t blocks);
BlocksFn AcceleratedBlocks() {
#ifdef KORVADEX_HAVE_SHA512_ACCELERATED
    static const BlocksFn compress = Cpu().avx2 && Cpu().bmi2 ? Sha512CompressAvx2 : nullptr;
    return compress;
#else
    return nullptr;
#endif
}

void Compress(Sha512ContextData& ctx) {
    if (const BlocksFn compress = AcceleratedBlocks()) {
        compress(ctx.state, ctx.block, 1);
        return;
    }
    PortableCompress(ctx);
}

// Zeroes block.  In two halves: GCC turns one 128-byte memset into `rep stos`, whose
// start-up cost is a noticeable share of the compression of a block.
inline void ClearBlock(Sha512ContextData& ctx) {
    std::memset(ctx.block, 0, 64);
    std::memset(ctx.block + 64, 0, 64);
}

void Init(Sha512ContextData& ctx) {
    ctx.bitCount = 0;
    ctx.blockFill = 0;
    ClearBlock(ctx);
}

void Update(Sha512ContextData& ctx, const uint8_t* data, uint32_t length) {
    ctx.bitCount += uint64_t(length) << 3;
    const BlocksFn compress = AcceleratedBlocks();
    while (length != 0) {
        if (compress && ctx.blockFill == 0 && length >= 128) {
            // Whole blocks where they lie: the vector schedule takes several at once.
            const uint32_t whole = length / 128 * 128;
            compress(ctx.state, data, whole / 128);
            data += whole;
            length -= whole;
            continue;
        }
        const uint32_t space = 128 - ctx.blockFill;
        if (space > length) {
            std::memcpy(ctx.block + ctx.blockFill, data, length);
            ctx.blockFill += length;
            return;
        }
        PrefetchAhead(data);
        PrefetchAhead(data + 64);
        std::memcpy(ctx.block + ctx.blockFill, data, space);
        data += space;
        length -= space;
        Compress(ctx);
        ctx.blockFill = 0;
        ClearBlock(ctx);
    }
}

// Pads and compresses the last block or two, then stores the first `words` state words
// in place, most significant byte first.
const uint8_t* Final(Sha512ContextData& ctx, unsigned words) {
    ctx.block[ctx.blockFill] = 0x80;
    if (ctx.blockFill >= 112) {
        Compress(ctx);
        ctx.blockFill = 0;
        ClearBlock(ctx);
    }
    StoreBe64(ctx.block + 120, ctx.bitCount);
    Compress(ctx);

    uint8_t* digest = reinterpret_cast<uint8_t*>(ctx.state);
    for (unsigned i = 0; i < words; ++i) {
        const uint64_t word = ctx.state[i];
        StoreBe64(digest + 8 * i, word);
    }
    return digest;
}

DigestResult DigestEx(Sha512ContextData& ctx, unsigned words, const uint8_t* data, uint32_t length,
                      const uint64_t (&initial)[8]) {
    Init(ctx);
    for (unsigned i = 0; i < 8; ++i) ctx.state[i] = initial[i];
    Update(ctx, data, length);
    return DigestAddress(Final(ctx, words));
}

}  // namespace

void Sha512CompressPortable(uint64_t state[8], const uint8_t* data, size_t blocks) {
    Sha512ContextData ctx;
    for (unsigned i = 0; i < 8; ++i) ctx.state[i] = state[i];
    for (; blocks != 0; --blocks, data += 128) {
        std::memcpy(ctx.block, data, 128);
        PortableCompress(ctx);
    }
    for (unsigned i = 0; i < 8; ++i) state[i] = ctx.state[i];
    Wipe(&ctx, sizeof ctx);
}

DigestResult Sha384Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Sha384DigestEx(data, length, 0xCBBB9D5DC1059ED8, 0x629A292A367CD507, 0x9159015A3070DD17,
                          0x152FECD8F70E5939, 0x67332667FFC00B31, 0x8EB44A8768581511,
                          0xDB0C2E0D64F98FA7, 0x47B5481DBEFA4FA4);
}

DigestResult Sha512Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Sha512DigestEx(data, length, 0x6A09E667F3BCC908, 0xBB67AE8584CAA73B, 0x3C6EF372FE94F82B,
                          0xA54FF53A5F1D36F1, 0x510E527FADE682D1, 0x9B05688C2B3E6C1F,
                          0x1F83D9ABFB41BD6B, 0x5BE0CD19137E2179);
}

DigestResult Sha384DigestEx(const uint8_t* data, uint32_t length, uint64_t h0, uint64_t h1,
                            uint64_t h2, uint64_t h3, uint64_t h4, uint64_t h5, uint64_t h6,
                            uint64_t h7) {
    return DigestEx(Sha384Context, 6, data, length, {h0, h1, h2, h3, h4, h5, h6, h7});
}

DigestResult Sha512DigestEx(const uint8_t* data, uint32_t length, uint64_t h0, uint64_t h1,
                            uint64_t h2, uint64_t h3, uint64_t h4, uint64_t h5, uint64_t h6,
                            uint64_t h7) {
    return DigestEx(Sha512Context, 8, data, length, {h0, h1, h2, h3, h4, h5, h6, h7});
}

void Sha384Init() {
    Init(Sha384Context);
}
void Sha512Init() {
    Init(Sha512Context);
}
void Sha384Update(const uint8_t* data, uint32_t length) {
    Update(Sha384Context, data, length);
}
void Sha512Update(const uint8_t* data, uint32_t length) {
    Update(Sha512Context, data, length);
}
const uint8_t* Sha384Final() {
    return Final(Sha384Context, 6);
}
const uint8_t* Sha512Final() {
    return Final(Sha512Context, 8);
}
void Sha384Transform() {
    Compress(Sha384Context);
}
void Sha512Transform() {
    Compress(Sha512Context);
}
