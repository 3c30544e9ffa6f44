#include "sha384_sha512.h"

#include <cstring>

#include "block_engine.h"
#include "byte_order.h"
#include "compiler_hints.h"
#include "compress_paths.h"
#include "digest_tables.h"
#include "stream_adapters.h"
#include "streaming_engines.h"
#include "x86/kernels.h"

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
// first step, which gives the processor independent work beside the steps' long chains.
template <unsigned I>
inline uint64_t W(uint64_t w[16], unsigned t, const uint8_t* block) {
    if (t == 0) return w[I] = LoadBe64(block + 8 * I);
    return w[I] += SmallSigma1(w[(I + 14) % 16]) + w[(I + 9) % 16] + SmallSigma0(w[(I + 1) % 16]);
}

// The compression of one block.
inline void CompressBlock(uint64_t (&state)[8], const uint8_t* block) {
    uint64_t w[16];
    uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
    const uint64_t* k = kSha512RoundConstants;
    for (unsigned t = 0; t < 80; t += 16) {
        Step(a, b, c, d, e, f, g, h, k[t] + W<0>(w, t, block));
        Step(h, a, b, c, d, e, f, g, k[t + 1] + W<1>(w, t, block));
        Step(g, h, a, b, c, d, e, f, k[t + 2] + W<2>(w, t, block));
        Step(f, g, h, a, b, c, d, e, k[t + 3] + W<3>(w, t, block));
        Step(e, f, g, h, a, b, c, d, k[t + 4] + W<4>(w, t, block));
        Step(d, e, f, g, h, a, b, c, k[t + 5] + W<5>(w, t, block));
        Step(c, d, e, f, g, h, a, b, k[t + 6] + W<6>(w, t, block));
        Step(b, c, d, e, f, g, h, a, k[t + 7] + W<7>(w, t, block));
        Step(a, b, c, d, e, f, g, h, k[t + 8] + W<8>(w, t, block));
        Step(h, a, b, c, d, e, f, g, k[t + 9] + W<9>(w, t, block));
        Step(g, h, a, b, c, d, e, f, k[t + 10] + W<10>(w, t, block));
        Step(f, g, h, a, b, c, d, e, k[t + 11] + W<11>(w, t, block));
        Step(e, f, g, h, a, b, c, d, k[t + 12] + W<12>(w, t, block));
        Step(d, e, f, g, h, a, b, c, k[t + 13] + W<13>(w, t, block));
        Step(c, d, e, f, g, h, a, b, k[t + 14] + W<14>(w, t, block));
        Step(b, c, d, e, f, g, h, a, k[t + 15] + W<15>(w, t, block));
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

// The portable compression of count blocks of data into state, the one of SHA-384 and
// SHA-512.
void Sha512CompressPortable(uint64_t (&state)[8], const uint8_t* data, size_t count) {
    for (; count != 0; --count, data += 128) CompressBlock(state, data);
}

#ifdef KORVADEX_HAVE_SHA512_AVX2_ASM
bool HasAvx2Bmi(const CpuFeatures& cpu) {
    return cpu.avx2 && cpu.bmi1 && cpu.bmi2;
}
bool HasAvx2BmiAvx512(const CpuFeatures& cpu) {
    return HasAvx2Bmi(cpu) && cpu.avx512;
}
void Sha512CompressAvx2(uint64_t (&state)[8], const uint8_t* data, size_t blocks) {
    korvadex_sha512_compress_avx2(state, data, blocks);
}
void Sha512CompressAvx2Avx512Vl(uint64_t (&state)[8], const uint8_t* data, size_t blocks) {
    korvadex_sha512_compress_avx512vl(state, data, blocks);
}
#endif
#if defined(KORVADEX_X86_KERNELS) && defined(__i386__)
bool HasAvx512(const CpuFeatures& cpu) {
    return cpu.avx512;
}
bool HasSse2(const CpuFeatures& cpu) {
    return cpu.sse2;
}
#endif

}  // namespace

// On x86-64, with the vector message schedule where the processor has AVX2, BMI1 and BMI2
// (for any number of blocks: a lone block's schedule runs beside its steps), formed with
// AVX-512 VL where it has that too; in 32-bit builds, whose scalar code has too few
// registers for 64-bit words, on vector registers: AVX-512 ones where the processor has
// them, else SSE2 ones; else the portable one.
const CompressPath<Sha512Compression> kSha512PathRows[] = {
#ifdef KORVADEX_HAVE_SHA512_AVX2_ASM
    {"AVX2 steps, AVX-512 VL schedule", "AVX2, BMI1, BMI2 and AVX-512 F, BW and VL",
     HasAvx2BmiAvx512, Sha512CompressAvx2Avx512Vl},
    {"AVX2 schedule", "AVX2, BMI1 and BMI2", HasAvx2Bmi, Sha512CompressAvx2},
#endif
#if defined(KORVADEX_X86_KERNELS) && defined(__i386__)
    {"AVX-512 registers", "AVX-512 F, BW and VL", HasAvx512, Sha512CompressAvx512Vl},
    {"SSE2 registers", "SSE2", HasSse2, Sha512CompressSse2},
#endif
    {"portable", "", RunsAnywhere, Sha512CompressPortable},
};
const PathTable<Sha512Compression> kSha512Paths = MakePathTable(kSha512PathRows);

namespace {

// The compression the engines use, chosen on the first call.
void Sha512CompressBlocks(uint64_t (&state)[8], const uint8_t* data, size_t count) {
    RoutineHere<kSha512Paths>()(state, data, count);
}

// The two engines as the block pattern sees them: they differ in how many state words make
// the digest.
template <unsigned kWords>
struct Sha512Traits {
    using Context = Sha512ContextData;
    static constexpr uint8_t kMarker = 0x80;
    static constexpr size_t kTrailer = 16;
    static constexpr size_t kLengthBytes = 16;
    static constexpr bool kBigEndian = true;
    // The hardware's own prefetching keeps the compression fed; the hints of a strip, all
    // issued at its start, held it up.
    static constexpr bool kPrefetch = false;
    static void Compress(Context& ctx, const uint8_t* data, size_t blocks) {
        Sha512CompressBlocks(ctx.state, data, blocks);
    }
    // The first kWords state words in place, most significant byte first.
    static const uint8_t* StoreDigest(Context& ctx) {
        uint8_t* digest = reinterpret_cast<uint8_t*>(ctx.state);
        for (unsigned i = 0; i < kWords; ++i) {
            const uint64_t word = ctx.state[i];
            StoreBe64(digest + 8 * i, word);
        }
        return digest;
    }
};
using Sha384Traits = Sha512Traits<6>;
using Sha512FullTraits = Sha512Traits<8>;

// The one-pass entries seed the context as BlockSeed does, in stores the compression's loads
// can take their bytes from while they wait to reach the cache: each state word on its own
// (the compiler otherwise gathers the words on the stack and moves them in pairs, and the
// loads of pairs wait for the two stores of each), the block in whole words (not a string
// store, which takes longer to start than the block takes to clear).
template <typename T>
DigestResult DigestEx(Sha512ContextData& ctx, const uint8_t* data, uint32_t length,
                      const uint64_t (&initial)[8]) {
    uint64_t zero = 0;
    KeepInRegister(zero);  // else the compiler makes the loop a string store
    for (size_t i = 0; i < sizeof ctx.block; i += 8) std::memcpy(ctx.block + i, &zero, 8);
    ctx.byteCount = 0;
    ctx.blockFill = 0;
    for (unsigned i = 0; i < 8; ++i) {
        uint64_t word = initial[i];
        KeepInRegister(word);
        ctx.state[i] = word;
    }
    BlockUpdate<T>(ctx, data, length);
    return DigestAddress(BlockFinal<T>(ctx));
}

}  // namespace

DigestResult Sha384Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    const uint64_t* h = kSha384InitialValue;
    return Sha384DigestEx(data, length, h[0], h[1], h[2], h[3], h[4], h[5], h[6], h[7]);
}

DigestResult Sha512Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    const uint64_t* h = kSha512InitialValue;
    return Sha512DigestEx(data, length, h[0], h[1], h[2], h[3], h[4], h[5], h[6], h[7]);
}

DigestResult Sha384DigestEx(const uint8_t* data, uint32_t length, uint64_t h0, uint64_t h1,
                            uint64_t h2, uint64_t h3, uint64_t h4, uint64_t h5, uint64_t h6,
                            uint64_t h7) {
    return DigestEx<Sha384Traits>(Sha384Context, data, length, {h0, h1, h2, h3, h4, h5, h6, h7});
}

DigestResult Sha512DigestEx(const uint8_t* data, uint32_t length, uint64_t h0, uint64_t h1,
                            uint64_t h2, uint64_t h3, uint64_t h4, uint64_t h5, uint64_t h6,
                            uint64_t h7) {
    return DigestEx<Sha512FullTraits>(Sha512Context, data, length,
                                      {h0, h1, h2, h3, h4, h5, h6, h7});
}

void Sha384Init() {
    BlockSeed<Sha384Traits>(Sha384Context);
}
void Sha512Init() {
    BlockSeed<Sha512FullTraits>(Sha512Context);
}
void Sha384Update(const uint8_t* data, uint32_t length) {
    BlockUpdate<Sha384Traits>(Sha384Context, data, length);
}
void Sha512Update(const uint8_t* data, uint32_t length) {
    BlockUpdate<Sha512FullTraits>(Sha512Context, data, length);
}
const uint8_t* Sha384Final() {
    return BlockFinal<Sha384Traits>(Sha384Context);
}
const uint8_t* Sha512Final() {
    return BlockFinal<Sha512FullTraits>(Sha512Context);
}
void Sha384Transform() {
    BlockTransform<Sha384Traits>(Sha384Context);
}
void Sha512Transform() {
    BlockTransform<Sha512FullTraits>(Sha512Context);
}

void Sha384Init(Sha512ContextData& ctx) {
    BlockSeed<Sha384Traits>(ctx);
    std::memcpy(ctx.state, kSha384InitialValue, sizeof kSha384InitialValue);
}
void Sha512Init(Sha512ContextData& ctx) {
    BlockSeed<Sha512FullTraits>(ctx);
    std::memcpy(ctx.state, kSha512InitialValue, sizeof kSha512InitialValue);
}
void Sha384Update(Sha512ContextData& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<Sha384Traits>(ctx, data, length);
}
void Sha512Update(Sha512ContextData& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<Sha512FullTraits>(ctx, data, length);
}
const uint8_t* Sha384Final(Sha512ContextData& ctx) {
    return BlockFinal<Sha384Traits>(ctx);
}
const uint8_t* Sha512Final(Sha512ContextData& ctx) {
    return BlockFinal<Sha512FullTraits>(ctx);
}

const StreamingEngine kSha384Stream =
    ContextAdapter<Sha512ContextData, Sha384Init, Sha384Update, Sha384Final, kSha384Size,
                   PathNameHere<kSha512Paths>>::kEngine;
const StreamingEngine kSha512Stream =
    ContextAdapter<Sha512ContextData, Sha512Init, Sha512Update, Sha512Final, kSha512Size,
                   PathNameHere<kSha512Paths>>::kEngine;
