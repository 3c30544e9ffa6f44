// RIPEMD-128 and RIPEMD-256: two parallel lines of four rounds of 16 steps over four
// chaining words.  RIPEMD-128 starts both lines from the same four words and combines
// them crosswise; RIPEMD-256 gives each line its own half of the state, exchanges one
// word between the lines after every round and adds each line to its own half.
#include <cstring>
#include <utility>

#include "block_engine.h"
#include "byte_order.h"
#include "ripemd.h"
#include "ripemd_common.h"
#include "stream_adapters.h"
#include "streaming_engines.h"

namespace {

// The published initial value of RIPEMD-256; its left half, MD4's four words, is also
// the initial value of RIPEMD-128.
constexpr uint32_t kIv[8] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                             0x76543210, 0xFEDCBA98, 0x89ABCDEF, 0x01234567};

// The steps of round r of the left and the right line: a = (a + f(b, c, d) + x + k) <<< s,
// with the round's Boolean function f and additive constant k.
template <uint32_t (*F)(uint32_t, uint32_t, uint32_t), uint32_t K>
inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, unsigned s) {
    a = Rotl32(a + F(b, c, d) + x + K, s);
}
constexpr auto& Left1 = Step<F1, 0>;
constexpr auto& Left2 = Step<F2, 0x5A827999>;
constexpr auto& Left3 = Step<F3, 0x6ED9EBA1>;
constexpr auto& Left4 = Step<F4, 0x8F1BBCDC>;
constexpr auto& Right1 = Step<F4, 0x50A28BE6>;
constexpr auto& Right2 = Step<F3, 0x5C4DD124>;
constexpr auto& Right3 = Step<F2, 0x6D703EF3>;
constexpr auto& Right4 = Step<F1, 0>;

// The compression of count blocks of data into state, 4 words or 8: RIPEMD-128 starts both
// lines from the same words and combines them crosswise; RIPEMD-256 gives each line its own
// half, exchanges one word between the lines after every round and adds each line to its own
// half.
template <size_t kWords>
KORVADEX_ALWAYS_INLINE void CompressBlocks(uint32_t (&state)[kWords], const uint8_t* data,
                                           size_t count) {
    static_assert(kWords == 4 || kWords == 8, "the narrow or the wide twin");
    constexpr bool kWide = kWords == 8;
    for (; count != 0; --count, data += 64) {
        const uint8_t* block = data;
        auto x = [block](unsigned i) { return LoadLe32(block + 4 * i); };
        uint32_t h[kWords];
        for (size_t i = 0; i < kWords; ++i) h[i] = state[i];
        constexpr size_t kRight = kWide ? 4 : 0;
        uint32_t al = h[0], bl = h[1], cl = h[2], dl = h[3];
        uint32_t ar = h[kRight], br = h[kRight + 1], cr = h[kRight + 2], dr = h[kRight + 3];

        // Round 1
        Left1(al, bl, cl, dl, x(0), 11);
        Right1(ar, br, cr, dr, x(5), 8);
        Left1(dl, al, bl, cl, x(1), 14);
        Right1(dr, ar, br, cr, x(14), 9);
        Left1(cl, dl, al, bl, x(2), 15);
        Right1(cr, dr, ar, br, x(7), 9);
        Left1(bl, cl, dl, al, x(3), 12);
        Right1(br, cr, dr, ar, x(0), 11);
        Left1(al, bl, cl, dl, x(4), 5);
        Right1(ar, br, cr, dr, x(9), 13);
        Left1(dl, al, bl, cl, x(5), 8);
        Right1(dr, ar, br, cr, x(2), 15);
        Left1(cl, dl, al, bl, x(6), 7);
        Right1(cr, dr, ar, br, x(11), 15);
        Left1(bl, cl, dl, al, x(7), 9);
        Right1(br, cr, dr, ar, x(4), 5);
        Left1(al, bl, cl, dl, x(8), 11);
        Right1(ar, br, cr, dr, x(13), 7);
        Left1(dl, al, bl, cl, x(9), 13);
        Right1(dr, ar, br, cr, x(6), 7);
        Left1(cl, dl, al, bl, x(10), 14);
        Right1(cr, dr, ar, br, x(15), 8);
        Left1(bl, cl, dl, al, x(11), 15);
        Right1(br, cr, dr, ar, x(8), 11);
        Left1(al, bl, cl, dl, x(12), 6);
        Right1(ar, br, cr, dr, x(1), 14);
        Left1(dl, al, bl, cl, x(13), 7);
        Right1(dr, ar, br, cr, x(10), 14);
        Left1(cl, dl, al, bl, x(14), 9);
        Right1(cr, dr, ar, br, x(3), 12);
        Left1(bl, cl, dl, al, x(15), 8);
        Right1(br, cr, dr, ar, x(12), 6);
        if constexpr (kWide) std::swap(al, ar);
        // Round 2
        Left2(al, bl, cl, dl, x(7), 7);
        Right2(ar, br, cr, dr, x(6), 9);
        Left2(dl, al, bl, cl, x(4), 6);
        Right2(dr, ar, br, cr, x(11), 13);
        Left2(cl, dl, al, bl, x(13), 8);
        Right2(cr, dr, ar, br, x(3), 15);
        Left2(bl, cl, dl, al, x(1), 13);
        Right2(br, cr, dr, ar, x(7), 7);
        Left2(al, bl, cl, dl, x(10), 11);
        Right2(ar, br, cr, dr, x(0), 12);
        Left2(dl, al, bl, cl, x(6), 9);
        Right2(dr, ar, br, cr, x(13), 8);
        Left2(cl, dl, al, bl, x(15), 7);
        Right2(cr, dr, ar, br, x(5), 9);
        Left2(bl, cl, dl, al, x(3), 15);
        Right2(br, cr, dr, ar, x(10), 11);
        Left2(al, bl, cl, dl, x(12), 7);
        Right2(ar, br, cr, dr, x(14), 7);
        Left2(dl, al, bl, cl, x(0), 12);
        Right2(dr, ar, br, cr, x(15), 7);
        Left2(cl, dl, al, bl, x(9), 15);
        Right2(cr, dr, ar, br, x(8), 12);
        Left2(bl, cl, dl, al, x(5), 9);
        Right2(br, cr, dr, ar, x(12), 7);
        Left2(al, bl, cl, dl, x(2), 11);
        Right2(ar, br, cr, dr, x(4), 6);
        Left2(dl, al, bl, cl, x(14), 7);
        Right2(dr, ar, br, cr, x(9), 15);
        Left2(cl, dl, al, bl, x(11), 13);
        Right2(cr, dr, ar, br, x(1), 13);
        Left2(bl, cl, dl, al, x(8), 12);
        Right2(br, cr, dr, ar, x(2), 11);
        if constexpr (kWide) std::swap(bl, br);
        // Round 3
        Left3(al, bl, cl, dl, x(3), 11);
        Right3(ar, br, cr, dr, x(15), 9);
        Left3(dl, al, bl, cl, x(10), 13);
        Right3(dr, ar, br, cr, x(5), 7);
        Left3(cl, dl, al, bl, x(14), 6);
        Right3(cr, dr, ar, br, x(1), 15);
        Left3(bl, cl, dl, al, x(4), 7);
        Right3(br, cr, dr, ar, x(3), 11);
        Left3(al, bl, cl, dl, x(9), 14);
        Right3(ar, br, cr, dr, x(7), 8);
        Left3(dl, al, bl, cl, x(15), 9);
        Right3(dr, ar, br, cr, x(14), 6);
        Left3(cl, dl, al, bl, x(8), 13);
        Right3(cr, dr, ar, br, x(6), 6);
        Left3(bl, cl, dl, al, x(1), 15);
        Right3(br, cr, dr, ar, x(9), 14);
        Left3(al, bl, cl, dl, x(2), 14);
        Right3(ar, br, cr, dr, x(11), 12);
        Left3(dl, al, bl, cl, x(7), 8);
        Right3(dr, ar, br, cr, x(8), 13);
        Left3(cl, dl, al, bl, x(0), 13);
        Right3(cr, dr, ar, br, x(12), 5);
        Left3(bl, cl, dl, al, x(6), 6);
        Right3(br, cr, dr, ar, x(2), 14);
        Left3(al, bl, cl, dl, x(13), 5);
        Right3(ar, br, cr, dr, x(10), 13);
        Left3(dl, al, bl, cl, x(11), 12);
        Right3(dr, ar, br, cr, x(0), 13);
        Left3(cl, dl, al, bl, x(5), 7);
        Right3(cr, dr, ar, br, x(4), 7);
        Left3(bl, cl, dl, al, x(12), 5);
        Right3(br, cr, dr, ar, x(13), 5);
        if constexpr (kWide) std::swap(cl, cr);
        // Round 4
        Left4(al, bl, cl, dl, x(1), 11);
        Right4(ar, br, cr, dr, x(8), 15);
        Left4(dl, al, bl, cl, x(9), 12);
        Right4(dr, ar, br, cr, x(6), 5);
        Left4(cl, dl, al, bl, x(11), 14);
        Right4(cr, dr, ar, br, x(4), 8);
        Left4(bl, cl, dl, al, x(10), 15);
        Right4(br, cr, dr, ar, x(1), 11);
        Left4(al, bl, cl, dl, x(0), 14);
        Right4(ar, br, cr, dr, x(3), 14);
        Left4(dl, al, bl, cl, x(8), 15);
        Right4(dr, ar, br, cr, x(11), 14);
        Left4(cl, dl, al, bl, x(12), 9);
        Right4(cr, dr, ar, br, x(15), 6);
        Left4(bl, cl, dl, al, x(4), 8);
        Right4(br, cr, dr, ar, x(0), 14);
        Left4(al, bl, cl, dl, x(13), 9);
        Right4(ar, br, cr, dr, x(5), 6);
        Left4(dl, al, bl, cl, x(3), 14);
        Right4(dr, ar, br, cr, x(12), 9);
        Left4(cl, dl, al, bl, x(7), 5);
        Right4(cr, dr, ar, br, x(2), 12);
        Left4(bl, cl, dl, al, x(15), 6);
        Right4(br, cr, dr, ar, x(13), 9);
        Left4(al, bl, cl, dl, x(14), 8);
        Right4(ar, br, cr, dr, x(9), 12);
        Left4(dl, al, bl, cl, x(5), 6);
        Right4(dr, ar, br, cr, x(7), 5);
        Left4(cl, dl, al, bl, x(6), 5);
        Right4(cr, dr, ar, br, x(10), 15);
        Left4(bl, cl, dl, al, x(2), 12);
        Right4(br, cr, dr, ar, x(14), 8);
        if constexpr (kWide) std::swap(dl, dr);

        if constexpr (kWide) {
            const uint32_t lines[] = {al, bl, cl, dl, ar, br, cr, dr};
            for (size_t i = 0; i < kWords; ++i) state[i] = h[i] + lines[i];
        } else {
            state[0] = h[1] + cl + dr;
            state[1] = h[2] + dl + ar;
            state[2] = h[3] + al + br;
            state[3] = h[0] + bl + cr;
        }
    }
}

}  // namespace

// RIPEMD-128

Ripemd128ContextType Ripemd128Context;

namespace {

// The compression of count blocks of data into state.
void Ripemd128CompressBlocks(uint32_t (&state)[4], const uint8_t* data, size_t count) {
    CompressBlocks(state, data, count);
}

using Ripemd128Traits = RipemdTraits<Ripemd128ContextType, 4, Ripemd128CompressBlocks>;

}  // namespace

DigestResult Ripemd128Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Ripemd128DigestEx(data, length, kIv[0], kIv[1], kIv[2], kIv[3]);
}

DigestResult Ripemd128DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                               uint32_t h2, uint32_t h3) {
    Ripemd128Traits::Seed(Ripemd128Context, {h0, h1, h2, h3});
    Ripemd128Update(data, length);
    return DigestAddress(Ripemd128Final());
}

const uint32_t* Ripemd128Init() {
    Ripemd128Init(Ripemd128Context);
    return Ripemd128Context.state;
}
void Ripemd128Update(const uint8_t* data, uint32_t length) {
    Ripemd128Update(Ripemd128Context, data, length);
}
const uint8_t* Ripemd128Final() {
    return Ripemd128Final(Ripemd128Context);
}
void Ripemd128Transform() {
    BlockTransform<Ripemd128Traits>(Ripemd128Context);
}

void Ripemd128Init(Ripemd128ContextType& ctx) {
    Ripemd128Traits::Seed(ctx, {kIv[0], kIv[1], kIv[2], kIv[3]});
}
void Ripemd128Update(Ripemd128ContextType& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<Ripemd128Traits>(ctx, data, length);
}
const uint8_t* Ripemd128Final(Ripemd128ContextType& ctx) {
    return BlockFinal<Ripemd128Traits>(ctx);
}

// RIPEMD-256

Ripemd256ContextType Ripemd256Context;

namespace {

// The compression of count blocks of data into state.
void Ripemd256CompressBlocks(uint32_t (&state)[8], const uint8_t* data, size_t count) {
    CompressBlocks(state, data, count);
}

using Ripemd256Traits = RipemdTraits<Ripemd256ContextType, 8, Ripemd256CompressBlocks>;

}  // namespace

DigestResult Ripemd256Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Ripemd256DigestEx(data, length, kIv[0], kIv[1], kIv[2], kIv[3], kIv[4], kIv[5], kIv[6],
                             kIv[7]);
}

DigestResult Ripemd256DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                               uint32_t h2, uint32_t h3, uint32_t h4, uint32_t h5, uint32_t h6,
                               uint32_t h7) {
    Ripemd256Traits::Seed(Ripemd256Context, {h0, h1, h2, h3, h4, h5, h6, h7});
    Ripemd256Update(data, length);
    return DigestAddress(Ripemd256Final());
}

const uint32_t* Ripemd256Init() {
    Ripemd256Init(Ripemd256Context);
    return Ripemd256Context.state;
}
void Ripemd256Update(const uint8_t* data, uint32_t length) {
    Ripemd256Update(Ripemd256Context, data, length);
}
const uint8_t* Ripemd256Final() {
    return Ripemd256Final(Ripemd256Context);
}
void Ripemd256Transform() {
    BlockTransform<Ripemd256Traits>(Ripemd256Context);
}

void Ripemd256Init(Ripemd256ContextType& ctx) {
    Ripemd256Traits::Seed(ctx, kIv);
}
void Ripemd256Update(Ripemd256ContextType& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<Ripemd256Traits>(ctx, data, length);
}
const uint8_t* Ripemd256Final(Ripemd256ContextType& ctx) {
    return BlockFinal<Ripemd256Traits>(ctx);
}

const StreamingEngine kRipemd128Stream =
    ContextAdapter<Ripemd128ContextType, Ripemd128Init, Ripemd128Update, Ripemd128Final,
                   kRipemd128Size>::kEngine;
const StreamingEngine kRipemd256Stream =
    ContextAdapter<Ripemd256ContextType, Ripemd256Init, Ripemd256Update, Ripemd256Final,
                   kRipemd256Size>::kEngine;
