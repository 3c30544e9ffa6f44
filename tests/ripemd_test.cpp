#include "ripemd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "report_lines.h"
#include "test_support.h"

namespace {

// One engine of the family with its streaming entries and its context.
struct Engine {
    const char* name;  // as the report labels it
    DigestFn digest;
    SizeWord size;
    const uint32_t* (*init)();
    void (*update)(const uint8_t*, uint32_t);
    const uint8_t* (*final)();
    void* context;
    size_t contextSize;
    const uint32_t* state;
    const uint8_t* block;
    uint64_t* byteCount;
    const uint32_t* blockFill;
};

const Engine kEngines[] = {
    {"RIPEMD-128", Ripemd128Digest, kRipemd128Size, Ripemd128Init, Ripemd128Update, Ripemd128Final,
     &Ripemd128Context, sizeof Ripemd128Context, Ripemd128Context.state, Ripemd128Context.block,
     &Ripemd128Context.byteCount, &Ripemd128Context.blockFill},
    {"RIPEMD-160", Ripemd160Digest, kRipemd160Size, Ripemd160Init, Ripemd160Update, Ripemd160Final,
     &Ripemd160Context, sizeof Ripemd160Context, Ripemd160Context.state, Ripemd160Context.block,
     &Ripemd160Context.byteCount, &Ripemd160Context.blockFill},
    {"RIPEMD-256", Ripemd256Digest, kRipemd256Size, Ripemd256Init, Ripemd256Update, Ripemd256Final,
     &Ripemd256Context, sizeof Ripemd256Context, Ripemd256Context.state, Ripemd256Context.block,
     &Ripemd256Context.byteCount, &Ripemd256Context.blockFill},
    {"RIPEMD-320", Ripemd320Digest, kRipemd320Size, Ripemd320Init, Ripemd320Update, Ripemd320Final,
     &Ripemd320Context, sizeof Ripemd320Context, Ripemd320Context.state, Ripemd320Context.block,
     &Ripemd320Context.byteCount, &Ripemd320Context.blockFill},
};

const uint8_t* Address(const std::vector<uint8_t>& data) {
    static const uint8_t kNone[1] = {0};
    return data.empty() ? kNone : data.data();
}

std::string OneShot(const Engine& e, const std::vector<uint8_t>& data) {
    return ResultHex(e.digest(Address(data), uint32_t(data.size()), 0, 0), e.size);
}

// Init, then Update with pieces of the given sizes in turn (cycling through them) until
// the message is used up, then Final.  After every Update the block buffer must hold
// exactly the pending bytes, with zeros behind them.
std::string Streamed(const Engine& e, const std::vector<uint8_t>& data,
                     const std::vector<uint32_t>& pieces) {
    EXPECT_EQ(e.init(), e.state);
    size_t at = 0;
    for (size_t i = 0; at < data.size() || i < pieces.size(); ++i) {
        uint32_t n = pieces[i % pieces.size()];
        if (n > data.size() - at) n = uint32_t(data.size() - at);
        e.update(data.data() + at, n);
        at += n;
        EXPECT_EQ(*e.blockFill, at % 64);
        size_t dirty = 0;
        for (size_t k = *e.blockFill; k < 64; ++k) dirty += e.block[k] != 0;
        EXPECT_EQ(dirty, 0u) << "at " << at;
    }
    const uint8_t* digest = e.final();
    EXPECT_EQ(DigestAddress(digest), DigestAddress(e.state));
    return Hex(digest, DigestLength(e.size));
}

std::string Repeat(const std::string& text, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += text;
    return s;
}

TEST(Ripemd, PublishedValues) {
    const std::string texts[] = {
        "",
        "a",
        "abc",
        "message digest",
        "abcdefghijklmnopqrstuvwxyz",
        "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
        Repeat("1234567890", 8),
        std::string(1000, 'a'),  // a million 'a': the conformance test
    };
    const char* const expected[4][9] = {
        {"CDF26213A150DC3ECB610F18F6B38B46", "86BE7AFA339D0FC7CFC785E72F578D33",
         "C14A12199C66E4BA84636B0F69144C77", "9E327B3D6E523062AFC1132D7DF9D1B8",
         "FD2AA607F71DC8F510714922B371834E", "A1AA0689D0FAFA2DDC22E88B49133A06",
         "D1E959EB179C911FAEA4624C60C5C702", "3F45EF194732C2DBB2C4A2C769795FA3",
         "A1FDEFBD1837244D57FCE707E2078BD7"},
        {"9C1185A5C5E9FC54612808977EE8F548B2258D31", "0BDC9D2D256B3EE9DAAE347BE6F4DC835A467FFE",
         "8EB208F7E05D987A9B044A8E98C6B087F15A0BFC", "5D0689EF49D2FAE572B881B123A85FFA21595F36",
         "F71C27109C692C1B56BBDCEB5B9D2865B3708DBC", "12A053384A9C0C88E405A06C27DCF49ADA62EB2B",
         "B0E20B6E3116640286ED3A87A5713079B21F5189", "9B752E45573D4B39F4DBD3323CAB82BF63326BFB",
         "AA69DEEE9A8922E92F8105E007F76110F381E9CF"},
        {"02BA4C4E5F8ECD1877FC52D64D30E37A2D9774FB1E5D026380AE0168E3C5522D",
         "F9333E45D857F5D90A91BAB70A1EBA0CFB1BE4B0783C9ACFCD883A9134692925",
         "AFBD6E228B9D8CBBCEF5CA2D03E6DBA10AC0BC7DCBE4680E1E42D2E975459B65",
         "87E971759A1CE47A514D5C914C392C9018C7C46BC14465554AFCDF54A5070C0E",
         "649D3034751EA216776BF9A18ACC81BC7896118A5197968782DD1FD97D8D5133",
         "3843045583AAC6C8C8D9128573E7A9809AFB2A0F34CCC36EA9E72F16F6368E3F",
         "5740A408AC16B720B84424AE931CBB1FE363D1D0BF4017F1A89F7EA6DE77A0B8",
         "06FDCC7A409548AAF91368C06A6275B553E3F099BF0EA4EDFD6778DF89A890DD",
         "0E8C4D4FFB7DC840ACAFFD2A039B8AFC3DC8267E869DD50E8A179963FFFE1E66"},
        {"22D65D5661536CDC75C1FDF5C6DE7B41B9F27325EBC61E8557177D705A0EC880151C3A32A00899B8",
         "CE78850638F92658A5A585097579926DDA667A5716562CFCF6FBE77F63542F99B04705D6970DFF5D",
         "DE4C01B3054F8930A79D09AE738E92301E5A17085BEFFDC1B8D116713E74F82FA942D64CDBC4682D",
         "3A8E28502ED45D422F68844F9DD316E7B98533FA3F2A91D29F84D425C88D6B4EFF727DF66A7C0197",
         "CABDB1810B92470A2093AA6BCE05952C28348CF43FF60841975166BB40ED234004B8824463E6B009",
         "D034A7950CF722021BA4B84DF769A5DE2060E259DF4C9BB4A4268C0E935BBC7470A969C9D072A1AC",
         "ED544940C86D67F250D232C30B7B3E5770E0C60C8CB9A4CAFE3B11388AF9920E1B99230B843C86A4",
         "557888AF5F6D8ED62AB66945C6D2A0A47ECD5341E915EB8FEA1D0524955F825DC717E4A008AB2D42",
         "BE3E92B020CA9D2021EF2447FD498C1B25FC6D95DA16351D51ACE148FBDB9FEF62A63E4F397DCF9F"},
    };
    for (size_t e = 0; e < 4; ++e) {
        SCOPED_TRACE(kEngines[e].name);
        for (size_t m = 0; m < 9; ++m) {
            SCOPED_TRACE(texts[m].substr(0, 20));
            EXPECT_EQ(DigestHex(kEngines[e].digest, kEngines[e].size, texts[m]), expected[e][m]);
            // Init, Update with the first byte, Update with the rest, Final.
            std::vector<uint8_t> bytes = Bytes(texts[m]);
            EXPECT_EQ(Streamed(kEngines[e], bytes, {1, uint32_t(bytes.size())}), expected[e][m]);
        }
    }
}

TEST(Ripemd, ReportRowsCallTheirEngines) {
    const std::vector<uint8_t> abc = Bytes("abc");
    for (const Engine& e : kEngines) {
        SCOPED_TRACE(e.name);
        const std::string label = std::string(e.name) + ": ";
        const ReportLine* row = nullptr;
        for (size_t i = 0; i < kReportLineCount; ++i)
            if (label == kReportLines[i].label) row = &kReportLines[i];
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->size, e.size);
        EXPECT_EQ(ResultHex(row->engine(abc.data(), 3, row->bits, row->passes), row->size),
                  OneShot(e, abc));
    }
    EXPECT_EQ(kRipemd128Size, 0x400010u);
    EXPECT_EQ(kRipemd160Size, 0x400014u);
    EXPECT_EQ(kRipemd256Size, 0x400020u);
    EXPECT_EQ(kRipemd320Size, 0x400028u);
}

TEST(Ripemd, PiecesGiveTheOneShotDigest) {
    const std::vector<std::vector<uint32_t>> patterns = {
        {1}, {63}, {64}, {65}, {0, 1}, {0, 64, 0, 65}, {5, 0, 59, 64, 1, 200, 4}};
    for (const Engine& e : kEngines) {
        SCOPED_TRACE(e.name);
        for (size_t n : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000, 4097}) {
            SCOPED_TRACE(n);
            auto data = RandomBytes(n, uint32_t(n) + 3);
            const std::string whole = OneShot(e, data);
            for (const auto& pattern : patterns) EXPECT_EQ(Streamed(e, data, pattern), whole);
        }
    }
}

TEST(Ripemd, JunkInTheContextDoesNotMatter) {
    auto data = RandomBytes(200, 9);
    for (const Engine& e : kEngines) {
        SCOPED_TRACE(e.name);
        const std::string clean = OneShot(e, data);
        std::memset(e.context, 0xA5, e.contextSize);
        EXPECT_EQ(OneShot(e, data), clean);
        std::memset(e.context, 0x5A, e.contextSize);
        EXPECT_EQ(Streamed(e, data, {7, 64, 0, 100}), clean);
    }
}

TEST(Ripemd, OneShotReturnsItsStateAndOverwritesIt) {
    const std::vector<uint8_t> a = Bytes("a"), b = Bytes("b");
    for (const Engine& e : kEngines) {
        SCOPED_TRACE(e.name);
        DigestResult first = e.digest(a.data(), 1, 0, 0);
        const std::string firstHex = ResultHex(first, e.size);
        DigestResult second = e.digest(b.data(), 1, 0, 0);
        EXPECT_EQ(first, DigestAddress(e.state));
        EXPECT_EQ(second, first);
        EXPECT_NE(ResultHex(first, e.size), firstHex);
        EXPECT_EQ(ResultHex(first, e.size), OneShot(e, b));
    }
}

// From 2^29 bytes on, the bit length needs the high word of the length field.  Such a
// message is too long for a test, so the count is set by hand: Final must then compress
// the same block as an Update with the tail, 0x80, zeros and the 64-bit bit length.
TEST(Ripemd, LengthFieldTakesTheHighWord) {
    const std::vector<uint8_t> tail = Bytes("xyz");
    for (const Engine& e : kEngines) {
        SCOPED_TRACE(e.name);
        for (uint64_t count :
             {uint64_t(1u << 29) + 3, uint64_t(0xFFFFFFC3u), (uint64_t(1) << 32) + 0x43}) {
            SCOPED_TRACE(count);
            e.init();
            e.update(tail.data(), 3);
            *e.byteCount = count;
            const std::string finished = Hex(e.final(), DigestLength(e.size));

            std::vector<uint8_t> last(64, 0);
            std::memcpy(last.data(), tail.data(), 3);
            last[3] = 0x80;
            const uint64_t bits = count * 8;
            for (int k = 0; k < 8; ++k) last[56 + k] = uint8_t(bits >> (8 * k));
            e.init();
            e.update(last.data(), 64);
            std::string chained;
            for (size_t i = 0; i < DigestLength(e.size) / 4; ++i) {
                const uint8_t word[4] = {uint8_t(e.state[i]), uint8_t(e.state[i] >> 8),
                                         uint8_t(e.state[i] >> 16), uint8_t(e.state[i] >> 24)};
                chained += Hex(word, 4);
            }
            EXPECT_EQ(chained, finished);
        }
    }
}

}  // namespace
