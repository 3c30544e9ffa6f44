// RIPEMD-160 and RIPEMD-320: two parallel lines of five rounds of 16 steps over five
// chaining words.  RIPEMD-160 starts both lines from the same five words and combines
// them crosswise; RIPEMD-320 gives each line its own half of the state, exchanges one
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

// The published initial value of RIPEMD-320; its left half, MD4's four words and a
// fifth, is also the initial value of RIPEMD-160.
constexpr uint32_t kIv[10] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0,
                              0x76543210, 0xFEDCBA98, 0x89ABCDEF, 0x01234567, 0x3C2D1E0F};

// The steps of round r of the left and the right line:
//   a = ((a + f(b, c, d) + x + k) <<< s) + e,  c = c <<< 10,
// with the round's Boolean function f and additive constant k.
template <uint32_t (*F)(uint32_t, uint32_t, uint32_t), uint32_t K>
inline void Step(uint32_t& a, uint32_t b, uint32_t& c, uint32_t d, uint32_t e, uint32_t x,
                 unsigned s) {
    a = Rotl32(a + F(b, c, d) + x + K, s) + e;
    c = Rotl32(c, 10);
}
constexpr auto& Left1 = Step<F1, 0>;
constexpr auto& Left2 = Step<F2, 0x5A827999>;
constexpr auto& Left3 = Step<F3, 0x6ED9EBA1>;
constexpr auto& Left4 = Step<F4, 0x8F1BBCDC>;
constexpr auto& Left5 = Step<F5, 0xA953FD4E>;
constexpr auto& Right1 = Step<F5, 0x50A28BE6>;
constexpr auto& Right2 = Step<F4, 0x5C4DD124>;
constexpr auto& Right3 = Step<F3, 0x6D703EF3>;
constexpr auto& Right4 = Step<F2, 0x7A6D76E9>;
constexpr auto& Right5 = Step<F1, 0>;

// The compression of count blocks of data into state, 5 words or 10: RIPEMD-160 starts both
// lines from the same words and combines them crosswise; RIPEMD-320 gives each line its own
// half, exchanges one word between the lines after every round and adds each line to its own
// half.
template <size_t kWords>
KORVADEX_ALWAYS_INLINE void CompressBlocks(uint32_t (&state)[kWords], const uint8_t* data,
                                           size_t count) {
    static_assert(kWords == 5 || kWords == 10, "the narrow or the wide twin");
    constexpr bool kWide = kWords == 10;
    for (; count != 0; --count, data += 64) {
        const uint8_t* block = data;
        auto x = [block](unsigned i) { return LoadLe32(block + 4 * i); };
        uint32_t h[kWords];
        for (size_t i = 0; i < kWords; ++i) h[i] = state[i];
        constexpr size_t kRight = kWide ? 5 : 0;
        uint32_t al = h[0], bl = h[1], cl = h[2], dl = h[3], el = h[4];
        uint32_t ar = h[kRight], br = h[kRight + 1], cr = h[kRight + 2], dr = h[kRight + 3],
                 er = h[kRight + 4];

        // Round 1
        Left1(al, bl, cl, dl, el, x(0), 11);
        Right1(ar, br, cr, dr, er, x(5), 8);
        Left1(el, al, bl, cl, dl, x(1), 14);
        Right1(er, ar, br, cr, dr, x(14), 9);
        Left1(dl, el, al, bl, cl, x(2), 15);
        Right1(dr, er, ar, br, cr, x(7), 9);
        Left1(cl, dl, el, al, bl, x(3), 12);
        Right1(cr, dr, er, ar, br, x(0), 11);
        Left1(bl, cl, dl, el, al, x(4), 5);
        Right1(br, cr, dr, er, ar, x(9), 13);
        Left1(al, bl, cl, dl, el, x(5), 8);
        Right1(ar, br, cr, dr, er, x(2), 15);
        Left1(el, al, bl, cl, dl, x(6), 7);
        Right1(er, ar, br, cr, dr, x(11), 15);
        Left1(dl, el, al, bl, cl, x(7), 9);
        Right1(dr, er, ar, br, cr, x(4), 5);
        Left1(cl, dl, el, al, bl, x(8), 11);
        Right1(cr, dr, er, ar, br, x(13), 7);
        Left1(bl, cl, dl, el, al, x(9), 13);
        Right1(br, cr, dr, er, ar, x(6), 7);
        Left1(al, bl, cl, dl, el, x(10), 14);
        Right1(ar, br, cr, dr, er, x(15), 8);
        Left1(el, al, bl, cl, dl, x(11), 15);
        Right1(er, ar, br, cr, dr, x(8), 11);
        Left1(dl, el, al, bl, cl, x(12), 6);
        Right1(dr, er, ar, br, cr, x(1), 14);
        Left1(cl, dl, el, al, bl, x(13), 7);
        Right1(cr, dr, er, ar, br, x(10), 14);
        Left1(bl, cl, dl, el, al, x(14), 9);
        Right1(br, cr, dr, er, ar, x(3), 12);
        Left1(al, bl, cl, dl, el, x(15), 8);
        Right1(ar, br, cr, dr, er, x(12), 6);
        if constexpr (kWide) std::swap(al, ar);
        // Round 2
        Left2(el, al, bl, cl, dl, x(7), 7);
        Right2(er, ar, br, cr, dr, x(6), 9);
        Left2(dl, el, al, bl, cl, x(4), 6);
        Right2(dr, er, ar, br, cr, x(11), 13);
        Left2(cl, dl, el, al, bl, x(13), 8);
        Right2(cr, dr, er, ar, br, x(3), 15);
        Left2(bl, cl, dl, el, al, x(1), 13);
        Right2(br, cr, dr, er, ar, x(7), 7);
        Left2(al, bl, cl, dl, el, x(10), 11);
        Right2(ar, br, cr, dr, er, x(0), 12);
        Left2(el, al, bl, cl, dl, x(6), 9);
        Right2(er, ar, br, cr, dr, x(13), 8);
        Left2(dl, el, al, bl, cl, x(15), 7);
        Right2(dr, er, ar, br, cr, x(5), 9);
        Left2(cl, dl, el, al, bl, x(3), 15);
        Right2(cr, dr, er, ar, br, x(10), 11);
        Left2(bl, cl, dl, el, al, x(12), 7);
        Right2(br, cr, dr, er, ar, x(14), 7);
        Left2(al, bl, cl, dl, el, x(0), 12);
        Right2(ar, br, cr, dr, er, x(15), 7);
        Left2(el, al, bl, cl, dl, x(9), 15);
        Right2(er, ar, br, cr, dr, x(8), 12);
        Left2(dl, el, al, bl, cl, x(5), 9);
        Right2(dr, er, ar, br, cr, x(12), 7);
        Left2(cl, dl, el, al, bl, x(2), 11);
        Right2(cr, dr, er, ar, br, x(4), 6);
        Left2(bl, cl, dl, el, al, x(14), 7);
        Right2(br, cr, dr, er, ar, x(9), 15);
        Left2(al, bl, cl, dl, el, x(11), 13);
        Right2(ar, br, cr, dr, er, x(1), 13);
        Left2(el, al, bl, cl, dl, x(8), 12);
        Right2(er, ar, br, cr, dr, x(2), 11);
        if constexpr (kWide) std::swap(bl, br);
        // Round 3
        Left3(dl, el, al, bl, cl, x(3), 11);
        Right3(dr, er, ar, br, cr, x(15), 9);
        Left3(cl, dl, el, al, bl, x(10), 13);
        Right3(cr, dr, er, ar, br, x(5), 7);
        Left3(bl, cl, dl, el, al, x(14), 6);
        Right3(br, cr, dr, er, ar, x(1), 15);
        Left3(al, bl, cl, dl, el, x(4), 7);
        Right3(ar, br, cr, dr, er, x(3), 11);
        Left3(el, al, bl, cl, dl, x(9), 14);
        Right3(er, ar, br, cr, dr, x(7), 8);
        Left3(dl, el, al, bl, cl, x(15), 9);
        Right3(dr, er, ar, br, cr, x(14), 6);
        Left3(cl, dl, el, al, bl, x(8), 13);
        Right3(cr, dr, er, ar, br, x(6), 6);
        Left3(bl, cl, dl, el, al, x(1), 15);
        Right3(br, cr, dr, er, ar, x(9), 14);
        Left3(al, bl, cl, dl, el, x(2), 14);
        Right3(ar, br, cr, dr, er, x(11), 12);
        Left3(el, al, bl, cl, dl, x(7), 8);
        Right3(er, ar, br, cr, dr, x(8), 13);
        Left3(dl, el, al, bl, cl, x(0), 13);
        Right3(dr, er, ar, br, cr, x(12), 5);
        Left3(cl, dl, el, al, bl, x(6), 6);
        Right3(cr, dr, er, ar, br, x(2), 14);
        Left3(bl, cl, dl, el, al, x(13), 5);
        Right3(br, cr, dr, er, ar, x(10), 13);
        Left3(al, bl, cl, dl, el, x(11), 12);
        Right3(ar, br, cr, dr, er, x(0), 13);
        Left3(el, al, bl, cl, dl, x(5), 7);
        Right3(er, ar, br, cr, dr, x(4), 7);
        Left3(dl, el, al, bl, cl, x(12), 5);
        Right3(dr, er, ar, br, cr, x(13), 5);
        if constexpr (kWide) std::swap(cl, cr);
        // Round 4
        Left4(cl, dl, el, al, bl, x(1), 11);
        Right4(cr, dr, er, ar, br, x(8), 15);
        Left4(bl, cl, dl, el, al, x(9), 12);
        Right4(br, cr, dr, er, ar, x(6), 5);
        Left4(al, bl, cl, dl, el, x(11), 14);
        Right4(ar, br, cr, dr, er, x(4), 8);
        Left4(el, al, bl, cl, dl, x(10), 15);
        Right4(er, ar, br, cr, dr, x(1), 11);
        Left4(dl, el, al, bl, cl, x(0), 14);
        Right4(dr, er, ar, br, cr, x(3), 14);
        Left4(cl, dl, el, al, bl, x(8), 15);
        Right4(cr, dr, er, ar, br, x(11), 14);
        Left4(bl, cl, dl, el, al, x(12), 9);
        Right4(br, cr, dr, er, ar, x(15), 6);
        Left4(al, bl, cl, dl, el, x(4), 8);
        Right4(ar, br, cr, dr, er, x(0), 14);
        Left4(el, al, bl, cl, dl, x(13), 9);
        Right4(er, ar, br, cr, dr, x(5), 6);
        Left4(dl, el, al, bl, cl, x(3), 14);
        Right4(dr, er, ar, br, cr, x(12), 9);
        Left4(cl, dl, el, al, bl, x(7), 5);
        Right4(cr, dr, er, ar, br, x(2), 12);
        Left4(bl, cl, dl, el, al, x(15), 6);
        Right4(br, cr, dr, er, ar, x(13), 9);
        Left4(al, bl, cl, dl, el, x(14), 8);
        Right4(ar, br, cr, dr, er, x(9), 12);
        Left4(el, al, bl, cl, dl, x(5), 6);
        Right4(er, ar, br, cr, dr, x(7), 5);
        Left4(dl, el, al, bl, cl, x(6), 5);
        Right4(dr, er, ar, br, cr, x(10), 15);
        Left4(cl, dl, el, al, bl, x(2), 12);
        Right4(cr, dr, er, ar, br, x(14), 8);
        if constexpr (kWide) std::swap(dl, dr);
        // Round 5
        Left5(bl, cl, dl, el, al, x(4), 9);
        Right5(br, cr, dr, er, ar, x(12), 8);
        Left5(al, bl, cl, dl, el, x(0), 15);
        Right5(ar, br, cr, dr, er, x(15), 5);
        Left5(el, al, bl, cl, dl, x(5), 5);
        Right5(er, ar, br, cr, dr, x(10), 12);
        Left5(dl, el, al, bl, cl, x(9), 11);
        Right5(dr, er, ar, br, cr, x(4), 9);
        Left5(cl, dl, el, al, bl, x(7), 6);
        Right5(cr, dr, er, ar, br, x(1), 12);
        Left5(bl, cl, dl, el, al, x(12), 8);
        Right5(br, cr, dr, er, ar, x(5), 5);
        Left5(al, bl, cl, dl, el, x(2), 13);
        Right5(ar, br, cr, dr, er, x(8), 14);
        Left5(el, al, bl, cl, dl, x(10), 12);
        Right5(er, ar, br, cr, dr, x(7), 6);
        Left5(dl, el, al, bl, cl, x(14), 5);
        Right5(dr, er, ar, br, cr, x(6), 8);
        Left5(cl, dl, el, al, bl, x(1), 12);
        Right5(cr, dr, er, ar, br, x(2), 13);
        Left5(bl, cl, dl, el, al, x(3), 13);
        Right5(br, cr, dr, er, ar, x(13), 6);
        Left5(al, bl, cl, dl, el, x(8), 14);
        Right5(ar, br, cr, dr, er, x(14), 5);
        Left5(el, al, bl, cl, dl, x(11), 11);
        Right5(er, ar, br, cr, dr, x(0), 15);
        Left5(dl, el, al, bl, cl, x(6), 8);
        Right5(dr, er, ar, br, cr, x(3), 13);
        Left5(cl, dl, el, al, bl, x(15), 5);
        Right5(cr, dr, er, ar, br, x(9), 11);
        Left5(bl, cl, dl, el, al, x(13), 6);
        Right5(br, cr, dr, er, ar, x(11), 11);
        if constexpr (kWide) std::swap(el, er);

        if constexpr (kWide) {
            const uint32_t lines[] = {al, bl, cl, dl, el, ar, br, cr, dr, er};
            for (size_t i = 0; i < kWords; ++i) state[i] = h[i] + lines[i];
        } else {
            state[0] = h[1] + cl + dr;
            state[1] = h[2] + dl + er;
            state[2] = h[3] + el + ar;
            state[3] = h[4] + al + br;
            state[4] = h[0] + bl + cr;
        }
    }
}

}  // namespace

// RIPEMD-160

Ripemd160ContextType Ripemd160Context;

namespace {

// The compression of count blocks of data into state.
void Ripemd160CompressBlocks(uint32_t (&state)[5], const uint8_t* data, size_t count) {
    CompressBlocks(state, data, count);
}

using Ripemd160Traits = RipemdTraits<Ripemd160ContextType, 5, Ripemd160CompressBlocks>;

}  // namespace

DigestResult Ripemd160Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Ripemd160DigestEx(data, length, kIv[0], kIv[1], kIv[2], kIv[3], kIv[4]);
}

DigestResult Ripemd160DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                               uint32_t h2, uint32_t h3, uint32_t h4) {
    Ripemd160Traits::Seed(Ripemd160Context, {h0, h1, h2, h3, h4});
    Ripemd160Update(data, length);
    return DigestAddress(Ripemd160Final());
}

const uint32_t* Ripemd160Init() {
    Ripemd160Init(Ripemd160Context);
    return Ripemd160Context.state;
}
void Ripemd160Update(const uint8_t* data, uint32_t length) {
    Ripemd160Update(Ripemd160Context, data, length);
}
const uint8_t* Ripemd160Final() {
    return Ripemd160Final(Ripemd160Context);
}
void Ripemd160Transform() {
    BlockTransform<Ripemd160Traits>(Ripemd160Context);
}

void Ripemd160Init(Ripemd160ContextType& ctx) {
    Ripemd160Traits::Seed(ctx, {kIv[0], kIv[1], kIv[2], kIv[3], kIv[4]});
}
void Ripemd160Update(Ripemd160ContextType& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<Ripemd160Traits>(ctx, data, length);
}
const uint8_t* Ripemd160Final(Ripemd160ContextType& ctx) {
    return BlockFinal<Ripemd160Traits>(ctx);
}

// RIPEMD-320

Ripemd320ContextType Ripemd320Context;

namespace {

// The compression of count blocks of data into state.
void Ripemd320CompressBlocks(uint32_t (&state)[10], const uint8_t* data, size_t count) {
    CompressBlocks(state, data, count);
}

using Ripemd320Traits = RipemdTraits<Ripemd320ContextType, 10, Ripemd320CompressBlocks>;

}  // namespace

DigestResult Ripemd320Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Ripemd320DigestEx(data, length, kIv[0], kIv[1], kIv[2], kIv[3], kIv[4], kIv[5], kIv[6],
                             kIv[7], kIv[8], kIv[9]);
}

DigestResult Ripemd320DigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                               uint32_t h2, uint32_t h3, uint32_t h4, uint32_t h5, uint32_t h6,
                               uint32_t h7, uint32_t h8, uint32_t h9) {
    Ripemd320Traits::Seed(Ripemd320Context, {h0, h1, h2, h3, h4, h5, h6, h7, h8, h9});
    Ripemd320Update(data, length);
    return DigestAddress(Ripemd320Final());
}

const uint32_t* Ripemd320Init() {
    Ripemd320Init(Ripemd320Context);
    return Ripemd320Context.state;
}
void Ripemd320Update(const uint8_t* data, uint32_t length) {
    Ripemd320Update(Ripemd320Context, data, length);
}
const uint8_t* Ripemd320Final() {
    return Ripemd320Final(Ripemd320Context);
}
void Ripemd320Transform() {
    BlockTransform<Ripemd320Traits>(Ripemd320Context);
}

void Ripemd320Init(Ripemd320ContextType& ctx) {
    Ripemd320Traits::Seed(
        ctx, {kIv[0], kIv[1], kIv[2], kIv[3], kIv[4], kIv[5], kIv[6], kIv[7], kIv[8], kIv[9]});
}
void Ripemd320Update(Ripemd320ContextType& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<Ripemd320Traits>(ctx, data, length);
}
const uint8_t* Ripemd320Final(Ripemd320ContextType& ctx) {
    return BlockFinal<Ripemd320Traits>(ctx);
}

const StreamingEngine kRipemd160Stream =
    ContextAdapter<Ripemd160ContextType, Ripemd160Init, Ripemd160Update, Ripemd160Final,
                   kRipemd160Size>::kEngine;
const StreamingEngine kRipemd320Stream =
    ContextAdapter<Ripemd320ContextType, Ripemd320Init, Ripemd320Update, Ripemd320Final,
                   kRipemd320Size>::kEngine;
