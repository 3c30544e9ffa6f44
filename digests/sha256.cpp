#include "sha256.h"

#include <cstring>
#include <utility>

#include "block_engine.h"
#include "byte_order.h"
#include "compiler_hints.h"
#include "compress_paths.h"
#include "digest_tables.h"
#include "stream_adapters.h"
#include "streaming_engines.h"
#include "x86/kernels.h"

Sha256ContextData Sha256Context;

namespace {

#if defined(__wasm__)
// A WebAssembly rotation leaves its operand as it was, and the engine that compiles the
// module places its own copies: the three rotations of x stand side by side, which keeps
// the steps' chain shorter than the nested form below.
inline uint32_t BigSigma0(uint32_t x) {
    return Rotr32(x, 2) ^ Rotr32(x, 13) ^ Rotr32(x, 22);
}
inline uint32_t BigSigma1(uint32_t x) {
    return Rotr32(x, 6) ^ Rotr32(x, 11) ^ Rotr32(x, 25);
}
#else
// The sigmas are written nested, ((x ror m) ^ x) ror n and so on: fewer copies of x, since
// an x86 rotation overwrites its operand, so each copy is a move on the steps' chain.
inline uint32_t BigSigma0(uint32_t x) {
    return Rotr32(Rotr32(Rotr32(x, 9) ^ x, 11) ^ x, 2);
}
inline uint32_t BigSigma1(uint32_t x) {
    return Rotr32(Rotr32(Rotr32(x, 14) ^ x, 5) ^ x, 6);
}
#endif
inline uint32_t SmallSigma0(uint32_t x) {
    return Rotr32(Rotr32(x, 11) ^ x, 7) ^ (x >> 3);
}
inline uint32_t SmallSigma1(uint32_t x) {
    return Rotr32(Rotr32(x, 2) ^ x, 17) ^ (x >> 10);
}
inline uint32_t Ch(uint32_t x, uint32_t y, uint32_t z) {
    return z ^ (x & (y ^ z));
}
inline uint32_t Maj(uint32_t x, uint32_t y, uint32_t z) {
    return ((x ^ y) & (y ^ z)) ^ y;
}

// A word of a block, most significant byte first.  WebAssembly has no byte swap, and the
// compiler keeps LoadBe32's four byte loads there as loads, shifts and ors; one word load
// swapped in registers takes fewer instructions.
inline uint32_t LoadBlockWord(const uint8_t* p) {
#if defined(__wasm__)
    uint32_t word;
    std::memcpy(&word, p, 4);
    return __builtin_bswap32(word);
#else
    return LoadBe32(p);
#endif
}

// Step t of the compression, with its round constant k.
//
// The working variables are renamed, not shifted: at step t the name a stands for slot
// (8 - t) mod 8 of `work`, b for the slot after it, and so on round the eight slots.
// The step writes its new a into the slot of h and its new e into the slot of d, which
// are the slots of a and e at step t + 1; after eight steps the names are back in place.
// From step 16 on, schedule word t replaces word t - 16 in the window.
//
// Every step must be inlined, or the working variables go through memory at each call;
// the compiler's size limits would otherwise leave some of the 64 out.
template <unsigned t>
KORVADEX_ALWAYS_INLINE void Sha256Step(uint32_t (&v)[8], uint32_t (&w)[16], uint32_t k) {
    const unsigned base = 8 - t % 8;
    const uint32_t a = v[base % 8];
    const uint32_t b = v[(base + 1) % 8];
    const uint32_t c = v[(base + 2) % 8];
    uint32_t& d = v[(base + 3) % 8];
    const uint32_t e = v[(base + 4) % 8];
    const uint32_t f = v[(base + 5) % 8];
    const uint32_t g = v[(base + 6) % 8];
    uint32_t& h = v[(base + 7) % 8];
    if constexpr (t >= 16) {
        w[t % 16] += SmallSigma1(w[(t - 2) % 16]) + w[(t - 7) % 16] + SmallSigma0(w[(t - 15) % 16]);
    }
    const uint32_t t1 = h + BigSigma1(e) + Ch(e, f, g) + k + w[t % 16];
    const uint32_t t2 = BigSigma0(a) + Maj(a, b, c);
    d += t1;
    h = t1 + t2;
}

// Steps T..., each with its round constant.
template <size_t... T>
KORVADEX_ALWAYS_INLINE void Sha256Steps(uint32_t (&v)[8], uint32_t (&w)[16],
                                        std::index_sequence<T...>) {
    (Sha256Step<T>(v, w, kSha256RoundConstants[T]), ...);
}

// Compresses count blocks of data into state: the one compression of the one-pass entry
// and of the streaming form.  Each block is read whole into the schedule window before
// the first step, so it may lie in the tail.  The working variables and the window are
// wiped before returning.  In WebAssembly they are left as they are: there they live in the
// function's locals, outside the module's memory, and the wipe, which takes their address,
// would be what puts them in it (and keeps them there between blocks).
void Sha256PortableBlocks(uint32_t (&state)[8], const uint8_t* data, size_t count) {
    uint32_t v[8], w[16];
    for (; count != 0; --count, data += 64) {
        for (unsigned i = 0; i < 16; ++i) w[i] = LoadBlockWord(data + 4 * i);
        for (unsigned i = 0; i < 8; ++i) v[i] = state[i];
        Sha256Steps(v, w, std::make_index_sequence<64>());
        for (unsigned i = 0; i < 8; ++i) state[i] += v[i];
    }
#if !defined(__wasm__)
    Wipe(v, sizeof v);
    Wipe(w, sizeof w);
#endif
}

#ifdef KORVADEX_X86_KERNELS
bool HasShaExtensions(const CpuFeatures& cpu) {
    return cpu.sha && cpu.sse41;
}
#endif

}  // namespace

const CompressPath<Sha256Compression> kSha256PathRows[] = {
#ifdef KORVADEX_X86_KERNELS
    {"SHA extensions", "the SHA extensions and SSE4.1", HasShaExtensions, Sha256CompressShaExt},
#endif
    {"portable", "", RunsAnywhere, Sha256PortableBlocks},
};
const PathTable<Sha256Compression> kSha256Paths = MakePathTable(kSha256PathRows);

namespace {

// The compression the engine uses: with the SHA extensions where the processor has them,
// chosen on the first call; else the portable one above.
void Sha256CompressBlocks(uint32_t (&state)[8], const uint8_t* data, size_t count) {
    RoutineHere<kSha256Paths>()(state, data, count);
}

// Whole blocks go to the compression without the prefetch hints (block_engine.h): the
// SHA-extension compression, one chain of round instructions, stalls behind a strip's hints,
// and the hardware's own prefetching keeps it fed; the portable one runs at a pace where the
// hints make no difference.
constexpr bool kSha256Prefetch = false;

// Pads the remaining r < 64 bytes at source into `tail`: the bytes, 0x80, zeros and the
// bit length, most significant byte first, in the last 8 bytes of one block (r < 56) or
// of two (r >= 56).  Sets `remaining` to the length of the tail.
void Sha256BuildTail(const uint8_t* source) {
    Sha256ContextData& ctx = Sha256Context;
    const uint32_t r = ctx.remaining;
    ctx.tailPending = 0;
    ctx.remaining = 64;
    for (uint32_t i = 0; i < r; ++i) ctx.tail[i] = source[i];
    ctx.tail[r] = 0x80;
    uint32_t lengthAt = 56;
    if (r >= 56) {
        lengthAt = 120;
        ctx.remaining += 64;
    }
    for (uint32_t i = r + 1; i < lengthAt; ++i) ctx.tail[i] = 0;
    StoreBe64(ctx.tail + lengthAt, uint64_t(ctx.messageLength) << 3);
}

}  // namespace

DigestResult Sha256Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    const uint32_t(&h)[8] = kSha256InitialValue;
    return Sha256DigestEx(data, length, h[0], h[1], h[2], h[3], h[4], h[5], h[6], h[7]);
}

DigestResult Sha256DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                            uint32_t h2, uint32_t h3, uint32_t h4, uint32_t h5, uint32_t h6,
                            uint32_t h7) {
    Sha256ContextData& ctx = Sha256Context;
    ctx.state[0] = h0;
    ctx.state[1] = h1;
    ctx.state[2] = h2;
    ctx.state[3] = h3;
    ctx.state[4] = h4;
    ctx.state[5] = h5;
    ctx.state[6] = h6;
    ctx.state[7] = h7;
    ctx.messageLength = length;
    ctx.remaining = length;
    ctx.tailPending = 0xFFFFFFFF;

    // Whole blocks are compressed where they lie, first in the caller's buffer, then in
    // the tail once it is built.
    const uint8_t* source = data;
    for (;;) {
        const uint32_t blocks = ctx.remaining / 64;
        CompressInStrips<64, kStripBytes, kSha256Prefetch>(
            source, blocks,
            [&](const uint8_t* p, size_t n) { Sha256CompressBlocks(ctx.state, p, n); });
        source += blocks * 64;
        ctx.remaining %= 64;
        if (ctx.tailPending == 0) break;
        Sha256BuildTail(source);
        source = ctx.tail;
    }

    // Each word byte-swapped and stored on its own: left to itself the compiler assembles
    // the digest in general registers, stores it to the stack in pieces and reads it back
    // as vectors, which waits for those stores to reach the cache.
    for (unsigned i = 0; i < 8; ++i) {
        uint32_t word = ctx.state[i];
        KeepInRegister(word);
        StoreBe32(ctx.result + 4 * i, word);
    }

    Wipe(ctx.tail, sizeof ctx.tail);
    Wipe(ctx.state, sizeof ctx.state);
    // The steps keep their working variables and window to themselves; the context's are
    // left zero, as after every call.
    Wipe(ctx.work, sizeof ctx.work);
    Wipe(ctx.schedule, sizeof ctx.schedule);
    ctx.messageLength = 0;  // tailPending and remaining are 0 already: the tail is whole blocks
    return DigestAddress(ctx.result);
}

namespace {

struct Sha256StreamTraits {
    using Context = Sha256StreamContextType;
    static constexpr uint8_t kMarker = 0x80;
    static constexpr size_t kTrailer = 8;
    static constexpr size_t kLengthBytes = 8;
    static constexpr bool kBigEndian = true;
    static constexpr bool kPrefetch = kSha256Prefetch;
    static void Compress(Context& ctx, const uint8_t* data, size_t blocks) {
        Sha256CompressBlocks(ctx.state, data, blocks);
    }
    // The digest is state in memory, each word most significant byte first.
    static const uint8_t* StoreDigest(Context& ctx) {
        uint8_t* digest = reinterpret_cast<uint8_t*>(ctx.state);
        for (int i = 0; i < 8; ++i) StoreBe32(digest + 4 * i, ctx.state[i]);
        return digest;
    }
};

}  // namespace

void Sha256Init(Sha256StreamContextType& ctx) {
    BlockSeed<Sha256StreamTraits>(ctx);
    std::memcpy(ctx.state, kSha256InitialValue, sizeof kSha256InitialValue);
}
void Sha256Update(Sha256StreamContextType& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<Sha256StreamTraits>(ctx, data, length);
}
const uint8_t* Sha256Final(Sha256StreamContextType& ctx) {
    const uint8_t* digest = BlockFinal<Sha256StreamTraits>(ctx);
    // As the one-pass entry does, keep only the digest.
    Wipe(ctx.block, sizeof ctx.block);
    return digest;
}

const StreamingEngine kSha256Stream =
    ContextAdapter<Sha256StreamContextType, Sha256Init, Sha256Update, Sha256Final, kSha256Size,
                   PathNameHere<kSha256Paths>>::kEngine;
