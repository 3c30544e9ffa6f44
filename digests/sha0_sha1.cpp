#include "sha0_sha1.h"

#include <cstring>
#include <utility>

#include "block_engine.h"
#include "byte_order.h"
#include "compiler_hints.h"
#include "compress_paths.h"
#include "stream_adapters.h"
#include "streaming_engines.h"
#include "x86/kernels.h"

Sha0ContextType Sha0Context;
Sha1ContextType Sha1Context;

namespace {

// The initial chaining value of FIPS 180-1, which FIPS 180 prescribes for SHA-0 too.
constexpr uint32_t kInitialH0 = 0x67452301;
constexpr uint32_t kInitialH1 = 0xEFCDAB89;
constexpr uint32_t kInitialH2 = 0x98BADCFE;
constexpr uint32_t kInitialH3 = 0x10325476;
constexpr uint32_t kInitialH4 = 0xC3D2E1F0;

// RoundN is one step of round N (steps 20(N-1) to 20N-1), the same in both algorithms:
// e takes the new a, and b is rotated into the new c.  The callers rotate the names
// instead of moving the words: step t names them (a, b, c, d, e) turned right by t mod 5.
inline void Round1(uint32_t a, uint32_t& b, uint32_t c, uint32_t d, uint32_t& e, uint32_t w) {
    e += w + 0x5A827999;
    e += ((c ^ d) & b) ^ d;  // choose c or d by b
    e += Rotl32(a, 5);
    b = Rotl32(b, 30);
}

inline void Round2(uint32_t a, uint32_t& b, uint32_t c, uint32_t d, uint32_t& e, uint32_t w) {
    e += w + 0x6ED9EBA1;
    e += b ^ c ^ d;
    e += Rotl32(a, 5);
    b = Rotl32(b, 30);
}

inline void Round3(uint32_t a, uint32_t& b, uint32_t c, uint32_t d, uint32_t& e, uint32_t w) {
    e += w + 0x8F1BBCDC;
    e += (b & c) | ((b | c) & d);  // majority
    e += Rotl32(a, 5);
    b = Rotl32(b, 30);
}

inline void Round4(uint32_t a, uint32_t& b, uint32_t c, uint32_t d, uint32_t& e, uint32_t w) {
    e += w + 0xCA62C1D6;
    e += b ^ c ^ d;
    e += Rotl32(a, 5);
    b = Rotl32(b, 30);
}

// Word T of the message schedule, in the N-word window w where word t lives at position
// t mod N: the first sixteen are read from the block, each later one is the XOR of W[T-3],
// W[T-8], W[T-14] and W[T-16] and replaces the oldest word.  SHA-1 rotates it left by one
// bit; SHA-0 does not, the one difference between the two.
//
// SHA-1 in 32-bit builds, where the window lives in memory and each word waits on the
// store of the word it is made from, uses a 32-word window instead.  Its first 32 words
// are formed before the steps (FillWindow), and from word 32 on each is the XOR of W[T-6],
// W[T-16], W[T-28] and W[T-32] rotated left by two (the recurrence applied to itself): six
// steps rather than three between a word and the one it is made from take that wait off
// the steps' pace.  The 64-bit build, whose 16-word window stays in registers, has no such
// wait and keeps the shorter window.
template <int T, bool Rotate, size_t N>
inline uint32_t FormWord(uint32_t (&w)[N], const uint8_t* block) {
    static_assert(N == 16 || (Rotate && N == 32), "a 32-word window is SHA-1's");
    uint32_t x;
    if constexpr (T < 16) {
        x = LoadBe32(block + 4 * T);
    } else if constexpr (N == 32 && T >= 32) {
        x = Rotl32(w[(T - 6) % N] ^ w[(T - 16) % N] ^ w[(T - 28) % N] ^ w[(T - 32) % N], 2);
    } else {
        x = w[(T - 3) % N] ^ w[(T - 8) % N] ^ w[(T - 14) % N] ^ w[(T - 16) % N];
        if constexpr (Rotate) x = Rotl32(x, 1);
    }
    w[T % N] = x;
    return x;
}

// The words of a 32-word SHA-1 window that are formed before the steps: the sixteen of
// the block and the sixteen made from them.  A 16-word window has none.
template <size_t N, size_t... T>
inline void FillWindow(uint32_t (&w)[N], const uint8_t* block, std::index_sequence<T...>) {
    if constexpr (N == 32) (FormWord<int(T), true>(w, block), ...);
}
template <size_t N>
inline void FillWindow(uint32_t (&w)[N], const uint8_t* block) {
    FillWindow(w, block, std::make_index_sequence<32>());
}

// Word T for step T: formed now, or taken from the window where FillWindow formed it.
template <int T, bool Rotate, size_t N>
inline uint32_t ScheduleWord(uint32_t (&w)[N], const uint8_t* block) {
    if constexpr (N == 32 && T < 32)
        return w[T];
    else
        return FormWord<T, Rotate>(w, block);
}

// SHA-1's window: 32 words in 32-bit builds, 16 otherwise (above).
constexpr size_t kSha1Window = sizeof(void*) == 4 ? 32 : 16;

// SHA-1 compression of count blocks of data into state.  The loop over blocks lives here, round the
// 80 steps, so that no call is paid per block.  The chaining value stays in memory between blocks
// (five loads and stores a block): held in five more registers, it left too few for the steps,
// whose words the compiler then moved about and spilled.
//
// The schedule is formed step by step in a window (above) rather than expanded into 80
// words first: the same words, without the stores and loads of an 80-word array.
void Sha1PortableBlocks(uint32_t (&state)[5], const uint8_t* data, size_t count) {
    uint32_t w[kSha1Window];
    for (; count != 0; --count, data += 64) {
        const uint8_t* block = data;
        FillWindow(w, block);
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];

        Round1(a, b, c, d, e, ScheduleWord<0, true>(w, block));
        Round1(e, a, b, c, d, ScheduleWord<1, true>(w, block));
        Round1(d, e, a, b, c, ScheduleWord<2, true>(w, block));
        Round1(c, d, e, a, b, ScheduleWord<3, true>(w, block));
        Round1(b, c, d, e, a, ScheduleWord<4, true>(w, block));
        Round1(a, b, c, d, e, ScheduleWord<5, true>(w, block));
        Round1(e, a, b, c, d, ScheduleWord<6, true>(w, block));
        Round1(d, e, a, b, c, ScheduleWord<7, true>(w, block));
        Round1(c, d, e, a, b, ScheduleWord<8, true>(w, block));
        Round1(b, c, d, e, a, ScheduleWord<9, true>(w, block));
        Round1(a, b, c, d, e, ScheduleWord<10, true>(w, block));
        Round1(e, a, b, c, d, ScheduleWord<11, true>(w, block));
        Round1(d, e, a, b, c, ScheduleWord<12, true>(w, block));
        Round1(c, d, e, a, b, ScheduleWord<13, true>(w, block));
        Round1(b, c, d, e, a, ScheduleWord<14, true>(w, block));
        Round1(a, b, c, d, e, ScheduleWord<15, true>(w, block));
        Round1(e, a, b, c, d, ScheduleWord<16, true>(w, block));
        Round1(d, e, a, b, c, ScheduleWord<17, true>(w, block));
        Round1(c, d, e, a, b, ScheduleWord<18, true>(w, block));
        Round1(b, c, d, e, a, ScheduleWord<19, true>(w, block));

        Round2(a, b, c, d, e, ScheduleWord<20, true>(w, block));
        Round2(e, a, b, c, d, ScheduleWord<21, true>(w, block));
        Round2(d, e, a, b, c, ScheduleWord<22, true>(w, block));
        Round2(c, d, e, a, b, ScheduleWord<23, true>(w, block));
        Round2(b, c, d, e, a, ScheduleWord<24, true>(w, block));
        Round2(a, b, c, d, e, ScheduleWord<25, true>(w, block));
        Round2(e, a, b, c, d, ScheduleWord<26, true>(w, block));
        Round2(d, e, a, b, c, ScheduleWord<27, true>(w, block));
        Round2(c, d, e, a, b, ScheduleWord<28, true>(w, block));
        Round2(b, c, d, e, a, ScheduleWord<29, true>(w, block));
        Round2(a, b, c, d, e, ScheduleWord<30, true>(w, block));
        Round2(e, a, b, c, d, ScheduleWord<31, true>(w, block));
        Round2(d, e, a, b, c, ScheduleWord<32, true>(w, block));
        Round2(c, d, e, a, b, ScheduleWord<33, true>(w, block));
        Round2(b, c, d, e, a, ScheduleWord<34, true>(w, block));
        Round2(a, b, c, d, e, ScheduleWord<35, true>(w, block));
        Round2(e, a, b, c, d, ScheduleWord<36, true>(w, block));
        Round2(d, e, a, b, c, ScheduleWord<37, true>(w, block));
        Round2(c, d, e, a, b, ScheduleWord<38, true>(w, block));
        Round2(b, c, d, e, a, ScheduleWord<39, true>(w, block));

        Round3(a, b, c, d, e, ScheduleWord<40, true>(w, block));
        Round3(e, a, b, c, d, ScheduleWord<41, true>(w, block));
        Round3(d, e, a, b, c, ScheduleWord<42, true>(w, block));
        Round3(c, d, e, a, b, ScheduleWord<43, true>(w, block));
        Round3(b, c, d, e, a, ScheduleWord<44, true>(w, block));
        Round3(a, b, c, d, e, ScheduleWord<45, true>(w, block));
        Round3(e, a, b, c, d, ScheduleWord<46, true>(w, block));
        Round3(d, e, a, b, c, ScheduleWord<47, true>(w, block));
        Round3(c, d, e, a, b, ScheduleWord<48, true>(w, block));
        Round3(b, c, d, e, a, ScheduleWord<49, true>(w, block));
        Round3(a, b, c, d, e, ScheduleWord<50, true>(w, block));
        Round3(e, a, b, c, d, ScheduleWord<51, true>(w, block));
        Round3(d, e, a, b, c, ScheduleWord<52, true>(w, block));
        Round3(c, d, e, a, b, ScheduleWord<53, true>(w, block));
        Round3(b, c, d, e, a, ScheduleWord<54, true>(w, block));
        Round3(a, b, c, d, e, ScheduleWord<55, true>(w, block));
        Round3(e, a, b, c, d, ScheduleWord<56, true>(w, block));
        Round3(d, e, a, b, c, ScheduleWord<57, true>(w, block));
        Round3(c, d, e, a, b, ScheduleWord<58, true>(w, block));
        Round3(b, c, d, e, a, ScheduleWord<59, true>(w, block));

        Round4(a, b, c, d, e, ScheduleWord<60, true>(w, block));
        Round4(e, a, b, c, d, ScheduleWord<61, true>(w, block));
        Round4(d, e, a, b, c, ScheduleWord<62, true>(w, block));
        Round4(c, d, e, a, b, ScheduleWord<63, true>(w, block));
        Round4(b, c, d, e, a, ScheduleWord<64, true>(w, block));
        Round4(a, b, c, d, e, ScheduleWord<65, true>(w, block));
        Round4(e, a, b, c, d, ScheduleWord<66, true>(w, block));
        Round4(d, e, a, b, c, ScheduleWord<67, true>(w, block));
        Round4(c, d, e, a, b, ScheduleWord<68, true>(w, block));
        Round4(b, c, d, e, a, ScheduleWord<69, true>(w, block));
        Round4(a, b, c, d, e, ScheduleWord<70, true>(w, block));
        Round4(e, a, b, c, d, ScheduleWord<71, true>(w, block));
        Round4(d, e, a, b, c, ScheduleWord<72, true>(w, block));
        Round4(c, d, e, a, b, ScheduleWord<73, true>(w, block));
        Round4(b, c, d, e, a, ScheduleWord<74, true>(w, block));
        Round4(a, b, c, d, e, ScheduleWord<75, true>(w, block));
        Round4(e, a, b, c, d, ScheduleWord<76, true>(w, block));
        Round4(d, e, a, b, c, ScheduleWord<77, true>(w, block));
        Round4(c, d, e, a, b, ScheduleWord<78, true>(w, block));
        Round4(b, c, d, e, a, ScheduleWord<79, true>(w, block));

        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
    }
}

// SHA-0 compression.  The window w belongs to the caller, who wipes it after the last
// block.
KORVADEX_ALWAYS_INLINE void Sha0Compress(uint32_t state[5], const uint8_t* block,
                                         uint32_t (&w)[16]) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];

    Round1(a, b, c, d, e, ScheduleWord<0, false>(w, block));
    Round1(e, a, b, c, d, ScheduleWord<1, false>(w, block));
    Round1(d, e, a, b, c, ScheduleWord<2, false>(w, block));
    Round1(c, d, e, a, b, ScheduleWord<3, false>(w, block));
    Round1(b, c, d, e, a, ScheduleWord<4, false>(w, block));
    Round1(a, b, c, d, e, ScheduleWord<5, false>(w, block));
    Round1(e, a, b, c, d, ScheduleWord<6, false>(w, block));
    Round1(d, e, a, b, c, ScheduleWord<7, false>(w, block));
    Round1(c, d, e, a, b, ScheduleWord<8, false>(w, block));
    Round1(b, c, d, e, a, ScheduleWord<9, false>(w, block));
    Round1(a, b, c, d, e, ScheduleWord<10, false>(w, block));
    Round1(e, a, b, c, d, ScheduleWord<11, false>(w, block));
    Round1(d, e, a, b, c, ScheduleWord<12, false>(w, block));
    Round1(c, d, e, a, b, ScheduleWord<13, false>(w, block));
    Round1(b, c, d, e, a, ScheduleWord<14, false>(w, block));
    Round1(a, b, c, d, e, ScheduleWord<15, false>(w, block));
    Round1(e, a, b, c, d, ScheduleWord<16, false>(w, block));
    Round1(d, e, a, b, c, ScheduleWord<17, false>(w, block));
    Round1(c, d, e, a, b, ScheduleWord<18, false>(w, block));
    Round1(b, c, d, e, a, ScheduleWord<19, false>(w, block));

    Round2(a, b, c, d, e, ScheduleWord<20, false>(w, block));
    Round2(e, a, b, c, d, ScheduleWord<21, false>(w, block));
    Round2(d, e, a, b, c, ScheduleWord<22, false>(w, block));
    Round2(c, d, e, a, b, ScheduleWord<23, false>(w, block));
    Round2(b, c, d, e, a, ScheduleWord<24, false>(w, block));
    Round2(a, b, c, d, e, ScheduleWord<25, false>(w, block));
    Round2(e, a, b, c, d, ScheduleWord<26, false>(w, block));
    Round2(d, e, a, b, c, ScheduleWord<27, false>(w, block));
    Round2(c, d, e, a, b, ScheduleWord<28, false>(w, block));
    Round2(b, c, d, e, a, ScheduleWord<29, false>(w, block));
    Round2(a, b, c, d, e, ScheduleWord<30, false>(w, block));
    Round2(e, a, b, c, d, ScheduleWord<31, false>(w, block));
    Round2(d, e, a, b, c, ScheduleWord<32, false>(w, block));
    Round2(c, d, e, a, b, ScheduleWord<33, false>(w, block));
    Round2(b, c, d, e, a, ScheduleWord<34, false>(w, block));
    Round2(a, b, c, d, e, ScheduleWord<35, false>(w, block));
    Round2(e, a, b, c, d, ScheduleWord<36, false>(w, block));
    Round2(d, e, a, b, c, ScheduleWord<37, false>(w, block));
    Round2(c, d, e, a, b, ScheduleWord<38, false>(w, block));
    Round2(b, c, d, e, a, ScheduleWord<39, false>(w, block));

    Round3(a, b, c, d, e, ScheduleWord<40, false>(w, block));
    Round3(e, a, b, c, d, ScheduleWord<41, false>(w, block));
    Round3(d, e, a, b, c, ScheduleWord<42, false>(w, block));
    Round3(c, d, e, a, b, ScheduleWord<43, false>(w, block));
    Round3(b, c, d, e, a, ScheduleWord<44, false>(w, block));
    Round3(a, b, c, d, e, ScheduleWord<45, false>(w, block));
    Round3(e, a, b, c, d, ScheduleWord<46, false>(w, block));
    Round3(d, e, a, b, c, ScheduleWord<47, false>(w, block));
    Round3(c, d, e, a, b, ScheduleWord<48, false>(w, block));
    Round3(b, c, d, e, a, ScheduleWord<49, false>(w, block));
    Round3(a, b, c, d, e, ScheduleWord<50, false>(w, block));
    Round3(e, a, b, c, d, ScheduleWord<51, false>(w, block));
    Round3(d, e, a, b, c, ScheduleWord<52, false>(w, block));
    Round3(c, d, e, a, b, ScheduleWord<53, false>(w, block));
    Round3(b, c, d, e, a, ScheduleWord<54, false>(w, block));
    Round3(a, b, c, d, e, ScheduleWord<55, false>(w, block));
    Round3(e, a, b, c, d, ScheduleWord<56, false>(w, block));
    Round3(d, e, a, b, c, ScheduleWord<57, false>(w, block));
    Round3(c, d, e, a, b, ScheduleWord<58, false>(w, block));
    Round3(b, c, d, e, a, ScheduleWord<59, false>(w, block));

    Round4(a, b, c, d, e, ScheduleWord<60, false>(w, block));
    Round4(e, a, b, c, d, ScheduleWord<61, false>(w, block));
    Round4(d, e, a, b, c, ScheduleWord<62, false>(w, block));
    Round4(c, d, e, a, b, ScheduleWord<63, false>(w, block));
    Round4(b, c, d, e, a, ScheduleWord<64, false>(w, block));
    Round4(a, b, c, d, e, ScheduleWord<65, false>(w, block));
    Round4(e, a, b, c, d, ScheduleWord<66, false>(w, block));
    Round4(d, e, a, b, c, ScheduleWord<67, false>(w, block));
    Round4(c, d, e, a, b, ScheduleWord<68, false>(w, block));
    Round4(b, c, d, e, a, ScheduleWord<69, false>(w, block));
    Round4(a, b, c, d, e, ScheduleWord<70, false>(w, block));
    Round4(e, a, b, c, d, ScheduleWord<71, false>(w, block));
    Round4(d, e, a, b, c, ScheduleWord<72, false>(w, block));
    Round4(c, d, e, a, b, ScheduleWord<73, false>(w, block));
    Round4(b, c, d, e, a, ScheduleWord<74, false>(w, block));
    Round4(a, b, c, d, e, ScheduleWord<75, false>(w, block));
    Round4(e, a, b, c, d, ScheduleWord<76, false>(w, block));
    Round4(d, e, a, b, c, ScheduleWord<77, false>(w, block));
    Round4(c, d, e, a, b, ScheduleWord<78, false>(w, block));
    Round4(b, c, d, e, a, ScheduleWord<79, false>(w, block));

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

// SHA-0 compression of count blocks of data into state, with the window wiped afterwards:
// the one compression of the one-pass entry and of the streaming form.
void Sha0PortableBlocks(uint32_t (&state)[5], const uint8_t* data, size_t count) {
    uint32_t window[16];
    for (; count != 0; --count, data += 64) Sha0Compress(state, data, window);
    Wipe(window, sizeof window);
}

#ifdef KORVADEX_X86_KERNELS
bool HasShaExtensions(const CpuFeatures& cpu) {
    return cpu.sha && cpu.sse41;
}
#endif

}  // namespace

const CompressPath<Sha1Compression> kSha0PathRows[] = {
#ifdef KORVADEX_X86_KERNELS
    {"SHA extensions", "the SHA extensions and SSE4.1", HasShaExtensions, Sha0CompressShaExt},
#endif
    {"portable", "", RunsAnywhere, Sha0PortableBlocks},
};
const PathTable<Sha1Compression> kSha0Paths = MakePathTable(kSha0PathRows);

const CompressPath<Sha1Compression> kSha1PathRows[] = {
#ifdef KORVADEX_X86_KERNELS
    {"SHA extensions", "the SHA extensions and SSE4.1", HasShaExtensions, Sha1CompressShaExt},
#endif
    {"portable", "", RunsAnywhere, Sha1PortableBlocks},
};
const PathTable<Sha1Compression> kSha1Paths = MakePathTable(kSha1PathRows);

namespace {

// The compressions the engines use: with the SHA extensions where the processor has them,
// chosen on the first call; else the portable ones above.
void Sha0CompressBlocks(uint32_t (&state)[5], const uint8_t* data, size_t count) {
    RoutineHere<kSha0Paths>()(state, data, count);
}

void Sha1CompressBlocks(uint32_t (&state)[5], const uint8_t* data, size_t count) {
    RoutineHere<kSha1Paths>()(state, data, count);
}

// Whole blocks go to the compression without the prefetch hints (block_engine.h): the
// SHA-extension compressions, one chain of round instructions, stall behind a strip's hints,
// and the hardware's own prefetching keeps them fed; the portable ones run at a pace where
// the hints make no difference.
constexpr bool kSha01Prefetch = false;

// Copies the last remaining (0 to 63) bytes of the message from source into tail and
// pads them: 0x80, zeros, and the bit length in the last 8 bytes.  Up to 55 bytes fit
// one block with the length (55 bytes leave no zero byte between marker and length);
// 56 or more need a second block.
void BuildSha0Tail(Sha0ContextType& ctx, const uint8_t* source) {
    const uint32_t r = ctx.remaining;
    ctx.tailPending = 0;
    if (r != 0) std::memcpy(ctx.tail, source, r);
    ctx.tail[r] = 0x80;
    ctx.remaining = r <= 55 ? 64 : 128;
    std::memset(ctx.tail + r + 1, 0, ctx.remaining - 8 - (r + 1));
    StoreBe64(ctx.tail + ctx.remaining - 8, uint64_t(ctx.messageLength) << 3);
}

}  // namespace

DigestResult Sha0Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Sha0DigestEx(data, length, kInitialH0, kInitialH1, kInitialH2, kInitialH3, kInitialH4);
}

DigestResult Sha0DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                          uint32_t h2, uint32_t h3, uint32_t h4) {
    Sha0ContextType& ctx = Sha0Context;
    ctx.state[0] = h0;
    ctx.state[1] = h1;
    ctx.state[2] = h2;
    ctx.state[3] = h3;
    ctx.state[4] = h4;
    ctx.messageLength = length;
    ctx.remaining = length;
    ctx.tailPending = 0xFFFFFFFF;

    // Whole blocks straight from the caller's buffer, then the tail.  The chaining value
    // and the count are copied into locals while the blocks run, which lets the compiler
    // keep them in registers; the context has them again before the tail is built.
    const uint8_t* source = data;
    for (;;) {
        uint32_t state[5] = {ctx.state[0], ctx.state[1], ctx.state[2], ctx.state[3], ctx.state[4]};
        uint32_t remaining = ctx.remaining;
        CompressInStrips<64, kStripBytes, kSha01Prefetch>(
            source, remaining / 64,
            [&state](const uint8_t* p, size_t n) { Sha0CompressBlocks(state, p, n); });
        source += remaining / 64 * 64;
        remaining %= 64;
        for (int i = 0; i < 5; ++i) ctx.state[i] = state[i];
        ctx.remaining = remaining;
        Wipe(state, sizeof state);
        if (ctx.tailPending == 0) break;
        BuildSha0Tail(ctx, source);
        source = ctx.tail;
    }

    for (int i = 0; i < 5; ++i) StoreBe32(ctx.result + 4 * i, ctx.state[i]);

    // Nothing of the message or the chaining value outlives the call.
    Wipe(ctx.tail, sizeof ctx.tail);
    Wipe(ctx.state, sizeof ctx.state);
    ctx.messageLength = 0;
    ctx.remaining = 0;
    ctx.tailPending = 0;
    return DigestAddress(ctx.result);
}

namespace {

template <typename Ctx, void (*CompressBlocks)(uint32_t (&)[5], const uint8_t*, size_t)>
struct Sha01Traits {
    using Context = Ctx;
    static constexpr uint8_t kMarker = 0x80;
    static constexpr size_t kTrailer = 8;
    static constexpr size_t kLengthBytes = 8;
    static constexpr bool kBigEndian = true;
    static constexpr bool kPrefetch = kSha01Prefetch;
    static void Compress(Context& ctx, const uint8_t* data, size_t blocks) {
        CompressBlocks(ctx.state, data, blocks);
    }
    // The digest is state in memory, each word most significant byte first.
    static const uint8_t* StoreDigest(Context& ctx) {
        uint8_t* digest = reinterpret_cast<uint8_t*>(ctx.state);
        for (int i = 0; i < 5; ++i) StoreBe32(digest + 4 * i, ctx.state[i]);
        return digest;
    }
};
using Sha0StreamTraits = Sha01Traits<Sha0StreamContextType, Sha0CompressBlocks>;
using Sha1Traits = Sha01Traits<Sha1ContextType, Sha1CompressBlocks>;

constexpr uint32_t kInitial[5] = {kInitialH0, kInitialH1, kInitialH2, kInitialH3, kInitialH4};

}  // namespace

void Sha0Init(Sha0StreamContextType& ctx) {
    BlockSeed<Sha0StreamTraits>(ctx);
    std::memcpy(ctx.state, kInitial, sizeof kInitial);
}
void Sha0Update(Sha0StreamContextType& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<Sha0StreamTraits>(ctx, data, length);
}
const uint8_t* Sha0Final(Sha0StreamContextType& ctx) {
    const uint8_t* digest = BlockFinal<Sha0StreamTraits>(ctx);
    // As the one-pass entry does, keep only the digest.
    Wipe(ctx.block, sizeof ctx.block);
    return digest;
}

DigestResult Sha1Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Sha1DigestEx(data, length, kInitialH0, kInitialH1, kInitialH2, kInitialH3, kInitialH4);
}

DigestResult Sha1DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                          uint32_t h2, uint32_t h3, uint32_t h4) {
    Sha1Init();
    Sha1Context.state[0] = h0;
    Sha1Context.state[1] = h1;
    Sha1Context.state[2] = h2;
    Sha1Context.state[3] = h3;
    Sha1Context.state[4] = h4;
    Sha1Update(data, length);
    return DigestAddress(Sha1Final());
}

void Sha1Init() {
    BlockSeed<Sha1Traits>(Sha1Context);
}
void Sha1Update(const uint8_t* data, uint32_t length) {
    Sha1Update(Sha1Context, data, length);
}
const uint8_t* Sha1Final() {
    return Sha1Final(Sha1Context);
}
void Sha1Transform() {
    Sha1Transform(Sha1Context);
}

void Sha1Init(Sha1ContextType& ctx) {
    BlockSeed<Sha1Traits>(ctx);
    std::memcpy(ctx.state, kInitial, sizeof kInitial);
}
void Sha1Update(Sha1ContextType& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<Sha1Traits>(ctx, data, length);
}
const uint8_t* Sha1Final(Sha1ContextType& ctx) {
    return BlockFinal<Sha1Traits>(ctx);
}
void Sha1Transform(Sha1ContextType& ctx) {
    BlockTransform<Sha1Traits>(ctx);
}

const StreamingEngine kSha0Stream =
    ContextAdapter<Sha0StreamContextType, Sha0Init, Sha0Update, Sha0Final, kSha0Size,
                   PathNameHere<kSha0Paths>>::kEngine;
const StreamingEngine kSha1Stream = ContextAdapter<Sha1ContextType, Sha1Init, Sha1Update, Sha1Final,
                                                   kSha1Size, PathNameHere<kSha1Paths>>::kEngine;
