#include "md4_md5.h"

#include <cstring>

#include "block_engine.h"
#include "byte_order.h"
#include "stream_adapters.h"
#include "streaming_engines.h"

Md4ContextType Md4Context;
Md5ContextType Md5Context;

namespace {

// The initial chaining value of RFC 1320, which RFC 1321 prescribes for MD5 as well.
constexpr uint32_t kInitialA = 0x67452301;
constexpr uint32_t kInitialB = 0xEFCDAB89;
constexpr uint32_t kInitialC = 0x98BADCFE;
constexpr uint32_t kInitialD = 0x10325476;

// Each step names its four words in the order the RFCs give them, [abcd k s]: a is the
// word replaced, b the one written last.  Terms that do not depend on b are added first,
// so that they are ready before b is.

// The sixteen message words of a block, each read where a step uses it: copied into an
// array first, they were kept in registers and spilled, which took more instructions.
struct MessageWords {
    const uint8_t* block;
    uint32_t operator()(int i) const { return LoadLe32(block + 4 * i); }
};

// MD4 round 1: a = (a + F(b, c, d) + X[k]) <<< s, where F takes the bits of c where b
// has ones and those of d elsewhere.
template <unsigned S>
inline void Md4F(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x) {
    a += x;
    a += ((c ^ d) & b) ^ d;
    a = Rotl32(a, S);
}

// Round 2: G is the majority of b, c and d, here (c & d) + (b & (c ^ d)): the two
// terms have no bit in common, and only the second waits for b.
template <unsigned S>
inline void Md4G(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x) {
    a += x + 0x5A827999;
    a += c & d;
    a += b & (c ^ d);
    a = Rotl32(a, S);
}

// Round 3: H is the parity of b, c and d.
template <unsigned S>
inline void Md4H(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x) {
    a += x + 0x6ED9EBA1;
    a += b ^ c ^ d;
    a = Rotl32(a, S);
}

// The compression of RFC 1320 over count blocks of data into state.  The loop over blocks
// lives here, round the steps, so that the chaining value stays in registers from one block
// to the next and no call is paid per block.
void Md4CompressBlocks(uint32_t (&state)[4], const uint8_t* data, size_t count) {
    uint32_t h0 = state[0], h1 = state[1], h2 = state[2], h3 = state[3];
    for (; count != 0; --count) {
        const MessageWords x{data};
        data += 64;
        uint32_t a = h0, b = h1, c = h2, d = h3;

        Md4F<3>(a, b, c, d, x(0));
        Md4F<7>(d, a, b, c, x(1));
        Md4F<11>(c, d, a, b, x(2));
        Md4F<19>(b, c, d, a, x(3));
        Md4F<3>(a, b, c, d, x(4));
        Md4F<7>(d, a, b, c, x(5));
        Md4F<11>(c, d, a, b, x(6));
        Md4F<19>(b, c, d, a, x(7));
        Md4F<3>(a, b, c, d, x(8));
        Md4F<7>(d, a, b, c, x(9));
        Md4F<11>(c, d, a, b, x(10));
        Md4F<19>(b, c, d, a, x(11));
        Md4F<3>(a, b, c, d, x(12));
        Md4F<7>(d, a, b, c, x(13));
        Md4F<11>(c, d, a, b, x(14));
        Md4F<19>(b, c, d, a, x(15));

        Md4G<3>(a, b, c, d, x(0));
        Md4G<5>(d, a, b, c, x(4));
        Md4G<9>(c, d, a, b, x(8));
        Md4G<13>(b, c, d, a, x(12));
        Md4G<3>(a, b, c, d, x(1));
        Md4G<5>(d, a, b, c, x(5));
        Md4G<9>(c, d, a, b, x(9));
        Md4G<13>(b, c, d, a, x(13));
        Md4G<3>(a, b, c, d, x(2));
        Md4G<5>(d, a, b, c, x(6));
        Md4G<9>(c, d, a, b, x(10));
        Md4G<13>(b, c, d, a, x(14));
        Md4G<3>(a, b, c, d, x(3));
        Md4G<5>(d, a, b, c, x(7));
        Md4G<9>(c, d, a, b, x(11));
        Md4G<13>(b, c, d, a, x(15));

        Md4H<3>(a, b, c, d, x(0));
        Md4H<9>(d, a, b, c, x(8));
        Md4H<11>(c, d, a, b, x(4));
        Md4H<15>(b, c, d, a, x(12));
        Md4H<3>(a, b, c, d, x(2));
        Md4H<9>(d, a, b, c, x(10));
        Md4H<11>(c, d, a, b, x(6));
        Md4H<15>(b, c, d, a, x(14));
        Md4H<3>(a, b, c, d, x(1));
        Md4H<9>(d, a, b, c, x(9));
        Md4H<11>(c, d, a, b, x(5));
        Md4H<15>(b, c, d, a, x(13));
        Md4H<3>(a, b, c, d, x(3));
        Md4H<9>(d, a, b, c, x(11));
        Md4H<11>(c, d, a, b, x(7));
        Md4H<15>(b, c, d, a, x(15));

        h0 += a;
        h1 += b;
        h2 += c;
        h3 += d;
    }
    state[0] = h0;
    state[1] = h1;
    state[2] = h2;
    state[3] = h3;
}

// MD5 round 1: a = b + ((a + F(b, c, d) + X[k] + T[i]) <<< s), with the F of MD4.
template <unsigned S>
inline void Md5F(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
    a += x + t;
    a += ((c ^ d) & b) ^ d;
    a = b + Rotl32(a, S);
}

// Round 2: G takes the bits of b where d has ones and those of c elsewhere.  The two halves of G
// have no bit in common, so they may be added separately, the half without b first.
template <unsigned S>
inline void Md5G(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
    a += x + t;
    a += c & ~d;
    a += b & d;
    a = b + Rotl32(a, S);
}

// Round 3: H is the parity of b, c and d.
template <unsigned S>
inline void Md5H(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
    a += x + t;
    a += b ^ c ^ d;
    a = b + Rotl32(a, S);
}

// Round 4: I = c ^ (b | ~d).
template <unsigned S>
inline void Md5I(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
    a += x + t;
    a += c ^ (b | ~d);
    a = b + Rotl32(a, S);
}

// The compression of RFC 1321, with the same loop over blocks as Md4CompressBlocks, except
// that the chaining value stays in memory between blocks (four loads and stores a block).  Held in
// registers, as in MD4, it made the compression of a buffer larger than the processor's
// second-level cache slower than that of one that fits (docs/tuning.md, "MD5's chaining
// value in memory"); in memory both run at the same speed.  MD4 shows no such
// difference.
void Md5CompressBlocks(uint32_t (&state)[4], const uint8_t* data, size_t count) {
    for (; count != 0; --count) {
        const MessageWords x{data};
        data += 64;
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

        Md5F<7>(a, b, c, d, x(0), 0xD76AA478);
        Md5F<12>(d, a, b, c, x(1), 0xE8C7B756);
        Md5F<17>(c, d, a, b, x(2), 0x242070DB);
        Md5F<22>(b, c, d, a, x(3), 0xC1BDCEEE);
        Md5F<7>(a, b, c, d, x(4), 0xF57C0FAF);
        Md5F<12>(d, a, b, c, x(5), 0x4787C62A);
        Md5F<17>(c, d, a, b, x(6), 0xA8304613);
        Md5F<22>(b, c, d, a, x(7), 0xFD469501);
        Md5F<7>(a, b, c, d, x(8), 0x698098D8);
        Md5F<12>(d, a, b, c, x(9), 0x8B44F7AF);
        Md5F<17>(c, d, a, b, x(10), 0xFFFF5BB1);
        Md5F<22>(b, c, d, a, x(11), 0x895CD7BE);
        Md5F<7>(a, b, c, d, x(12), 0x6B901122);
        Md5F<12>(d, a, b, c, x(13), 0xFD987193);
        Md5F<17>(c, d, a, b, x(14), 0xA679438E);
        Md5F<22>(b, c, d, a, x(15), 0x49B40821);

        Md5G<5>(a, b, c, d, x(1), 0xF61E2562);
        Md5G<9>(d, a, b, c, x(6), 0xC040B340);
        Md5G<14>(c, d, a, b, x(11), 0x265E5A51);
        Md5G<20>(b, c, d, a, x(0), 0xE9B6C7AA);
        Md5G<5>(a, b, c, d, x(5), 0xD62F105D);
        Md5G<9>(d, a, b, c, x(10), 0x02441453);
        Md5G<14>(c, d, a, b, x(15), 0xD8A1E681);
        Md5G<20>(b, c, d, a, x(4), 0xE7D3FBC8);
        Md5G<5>(a, b, c, d, x(9), 0x21E1CDE6);
        Md5G<9>(d, a, b, c, x(14), 0xC33707D6);
        Md5G<14>(c, d, a, b, x(3), 0xF4D50D87);
        Md5G<20>(b, c, d, a, x(8), 0x455A14ED);
        Md5G<5>(a, b, c, d, x(13), 0xA9E3E905);
        Md5G<9>(d, a, b, c, x(2), 0xFCEFA3F8);
        Md5G<14>(c, d, a, b, x(7), 0x676F02D9);
        Md5G<20>(b, c, d, a, x(12), 0x8D2A4C8A);

        Md5H<4>(a, b, c, d, x(5), 0xFFFA3942);
        Md5H<11>(d, a, b, c, x(8), 0x8771F681);
        Md5H<16>(c, d, a, b, x(11), 0x6D9D6122);
        Md5H<23>(b, c, d, a, x(14), 0xFDE5380C);
        Md5H<4>(a, b, c, d, x(1), 0xA4BEEA44);
        Md5H<11>(d, a, b, c, x(4), 0x4BDECFA9);
        Md5H<16>(c, d, a, b, x(7), 0xF6BB4B60);
        Md5H<23>(b, c, d, a, x(10), 0xBEBFBC70);
        Md5H<4>(a, b, c, d, x(13), 0x289B7EC6);
        Md5H<11>(d, a, b, c, x(0), 0xEAA127FA);
        Md5H<16>(c, d, a, b, x(3), 0xD4EF3085);
        Md5H<23>(b, c, d, a, x(6), 0x04881D05);
        Md5H<4>(a, b, c, d, x(9), 0xD9D4D039);
        Md5H<11>(d, a, b, c, x(12), 0xE6DB99E5);
        Md5H<16>(c, d, a, b, x(15), 0x1FA27CF8);
        Md5H<23>(b, c, d, a, x(2), 0xC4AC5665);

        Md5I<6>(a, b, c, d, x(0), 0xF4292244);
        Md5I<10>(d, a, b, c, x(7), 0x432AFF97);
        Md5I<15>(c, d, a, b, x(14), 0xAB9423A7);
        Md5I<21>(b, c, d, a, x(5), 0xFC93A039);
        Md5I<6>(a, b, c, d, x(12), 0x655B59C3);
        Md5I<10>(d, a, b, c, x(3), 0x8F0CCC92);
        Md5I<15>(c, d, a, b, x(10), 0xFFEFF47D);
        Md5I<21>(b, c, d, a, x(1), 0x85845DD1);
        Md5I<6>(a, b, c, d, x(8), 0x6FA87E4F);
        Md5I<10>(d, a, b, c, x(15), 0xFE2CE6E0);
        Md5I<15>(c, d, a, b, x(6), 0xA3014314);
        Md5I<21>(b, c, d, a, x(13), 0x4E0811A1);
        Md5I<6>(a, b, c, d, x(4), 0xF7537E82);
        Md5I<10>(d, a, b, c, x(11), 0xBD3AF235);
        Md5I<15>(c, d, a, b, x(2), 0x2AD7D2BB);
        Md5I<21>(b, c, d, a, x(9), 0xEB86D391);

        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
    }
}

// The two engines as the block pattern sees them; the compression is the one thing in
// which they differ.
template <typename Ctx, void (*CompressBlocks)(uint32_t (&)[4], const uint8_t*, size_t)>
struct Md4Md5Traits {
    using Context = Ctx;
    static constexpr uint8_t kMarker = 0x80;
    static constexpr size_t kTrailer = 8;
    static constexpr size_t kLengthBytes = 8;
    static constexpr bool kBigEndian = false;
    static void Compress(Context& ctx, const uint8_t* data, size_t blocks) {
        CompressBlocks(ctx.state, data, blocks);
    }
    // The digest is state in memory, each word least significant byte first.
    static const uint8_t* StoreDigest(Context& ctx) {
        uint8_t* digest = reinterpret_cast<uint8_t*>(ctx.state);
        for (int i = 0; i < 4; ++i) StoreLe32(digest + 4 * i, ctx.state[i]);
        return digest;
    }
};
using Md4Traits = Md4Md5Traits<Md4ContextType, Md4CompressBlocks>;
using Md5Traits = Md4Md5Traits<Md5ContextType, Md5CompressBlocks>;

template <typename T>
void Seed(typename T::Context& ctx, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    BlockSeed<T>(ctx);
    ctx.state[0] = a;
    ctx.state[1] = b;
    ctx.state[2] = c;
    ctx.state[3] = d;
}

}  // namespace

DigestResult Md4Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Md4DigestEx(data, length, kInitialA, kInitialB, kInitialC, kInitialD);
}

DigestResult Md4DigestEx(const uint8_t* data, uint32_t length, uint32_t a, uint32_t b, uint32_t c,
                         uint32_t d) {
    Seed<Md4Traits>(Md4Context, a, b, c, d);
    Md4Update(data, length);
    return DigestAddress(Md4Final());
}

uint32_t* Md4Init() {
    Md4Init(Md4Context);
    return Md4Context.state;
}
void Md4Update(const uint8_t* data, uint32_t length) {
    Md4Update(Md4Context, data, length);
}
const uint8_t* Md4Final() {
    return Md4Final(Md4Context);
}
void Md4Transform() {
    Md4Transform(Md4Context);
}

void Md4Init(Md4ContextType& ctx) {
    Seed<Md4Traits>(ctx, kInitialA, kInitialB, kInitialC, kInitialD);
}
void Md4Update(Md4ContextType& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<Md4Traits>(ctx, data, length);
}
const uint8_t* Md4Final(Md4ContextType& ctx) {
    return BlockFinal<Md4Traits>(ctx);
}
void Md4Transform(Md4ContextType& ctx) {
    BlockTransform<Md4Traits>(ctx);
}

DigestResult Md5Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Md5DigestEx(data, length, kInitialA, kInitialB, kInitialC, kInitialD);
}

DigestResult Md5DigestEx(const uint8_t* data, uint32_t length, uint32_t a, uint32_t b, uint32_t c,
                         uint32_t d) {
    Seed<Md5Traits>(Md5Context, a, b, c, d);
    Md5Update(data, length);
    return DigestAddress(Md5Final());
}

uint32_t* Md5Init() {
    Md5Init(Md5Context);
    return Md5Context.state;
}
void Md5Update(const uint8_t* data, uint32_t length) {
    Md5Update(Md5Context, data, length);
}
const uint8_t* Md5Final() {
    return Md5Final(Md5Context);
}
void Md5Transform() {
    Md5Transform(Md5Context);
}

void Md5Init(Md5ContextType& ctx) {
    Seed<Md5Traits>(ctx, kInitialA, kInitialB, kInitialC, kInitialD);
}
void Md5Update(Md5ContextType& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<Md5Traits>(ctx, data, length);
}
const uint8_t* Md5Final(Md5ContextType& ctx) {
    return BlockFinal<Md5Traits>(ctx);
}
void Md5Transform(Md5ContextType& ctx) {
    BlockTransform<Md5Traits>(ctx);
}

const StreamingEngine kMd4Stream =
    ContextAdapter<Md4ContextType, Md4Init, Md4Update, Md4Final, kMd4Size>::kEngine;
const StreamingEngine kMd5Stream =
    ContextAdapter<Md5ContextType, Md5Init, Md5Update, Md5Final, kMd5Size>::kEngine;
