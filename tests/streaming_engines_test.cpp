// The streaming form of every engine against its one-shot entry: any split of a message
// gives the one-shot digest, computations of one engine side by side keep apart, and the
// message counts run past 2^32 bytes.
#include "streaming_engines.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "checksums.h"
#include "gost.h"
#include "haval.h"
#include "hmac.h"
#include "md2.h"
#include "md4_md5.h"
#include "panama.h"
#include "ripemd.h"
#include "sha0_sha1.h"
#include "sha256.h"
#include "sha384_sha512.h"
#include "snefru.h"
#include "test_support.h"
#include "tiger.h"
#include "whirlpool.h"

namespace {

struct StreamCase {
    const char* name;
    const StreamingEngine& stream;
    DigestFn digest;
    SizeWord size;
    uint32_t bits;
    uint32_t passes;
};

const StreamCase kCases[] = {
    {"Adler-32", kAdler32Stream, Adler32Digest, kAdler32Size, 0, 0},
    {"CRC-16", kCrc16Stream, Crc16Digest, kCrc16Size, 0, 0},
    {"CRC-16/CCITT", kCrc16CcittStream, Crc16CcittDigest, kCrc16CcittSize, 0, 0},
    {"CRC-32", kCrc32Stream, Crc32Digest, kCrc32Size, 0, 0},
    {"CRC-32b", kCrc32bStream, Crc32bDigest, kCrc32bSize, 0, 0},
    {"GOST", kGostStream, GostDigest, kGostSize, 0, 0},
    {"HAVAL-128/3", kHavalStream, HavalDigest, kHaval128Size, 128, 3},
    {"HAVAL-160/4", kHavalStream, HavalDigest, kHaval160Size, 160, 4},
    {"HAVAL-192/5", kHavalStream, HavalDigest, kHaval192Size, 192, 5},
    {"HAVAL-224/3", kHavalStream, HavalDigest, kHaval224Size, 224, 3},
    {"HAVAL-256/4", kHavalStream, HavalDigest, kHaval256Size, 256, 4},
    {"HAVAL-256/5", kHavalStream, HavalDigest, kHaval256Size, 256, 5},
    {"MD2", kMd2Stream, Md2Digest, kMd2Size, 0, 0},
    {"MD4", kMd4Stream, Md4Digest, kMd4Size, 0, 0},
    {"MD5", kMd5Stream, Md5Digest, kMd5Size, 0, 0},
    {"PANAMA", kPanamaStream, PanamaDigest, kPanamaSize, 0, 0},
    {"RIPEMD-128", kRipemd128Stream, Ripemd128Digest, kRipemd128Size, 0, 0},
    {"RIPEMD-160", kRipemd160Stream, Ripemd160Digest, kRipemd160Size, 0, 0},
    {"RIPEMD-256", kRipemd256Stream, Ripemd256Digest, kRipemd256Size, 0, 0},
    {"RIPEMD-320", kRipemd320Stream, Ripemd320Digest, kRipemd320Size, 0, 0},
    {"SHA-0", kSha0Stream, Sha0Digest, kSha0Size, 0, 0},
    {"SHA-1", kSha1Stream, Sha1Digest, kSha1Size, 0, 0},
    {"SHA-256", kSha256Stream, Sha256Digest, kSha256Size, 0, 0},
    {"SHA-384", kSha384Stream, Sha384Digest, kSha384Size, 0, 0},
    {"SHA-512", kSha512Stream, Sha512Digest, kSha512Size, 0, 0},
    {"Snefru-128/4", kSnefruStream, SnefruDigest, kSnefru128Size, 128, 4},
    {"Snefru-128/8", kSnefruStream, SnefruDigest, kSnefru128Size, 128, 8},
    {"Snefru-256/4", kSnefruStream, SnefruDigest, kSnefru256Size, 256, 4},
    {"Snefru-256/8", kSnefruStream, SnefruDigest, kSnefru256Size, 256, 8},
    {"Tiger", kTigerStream, TigerDigest, kTigerSize, 0, 0},
    {"Whirlpool", kWhirlpoolStream, WhirlpoolDigest, kWhirlpoolSize, 0, 0},
};

// A context on the heap, aligned as the streaming form asks.
struct StreamContext {
    explicit StreamContext(const StreamingEngine& e)
        : engine(e), storage(e.contextSize + kStreamContextAlign) {
        void* p = storage.data();
        size_t space = storage.size();
        context = std::align(kStreamContextAlign, e.contextSize, p, space);
    }
    bool Init(uint32_t bits, uint32_t passes) { return engine.init(context, bits, passes); }
    void Update(const uint8_t* data, size_t length) { engine.update(context, data, length); }
    std::string Final(SizeWord size) {
        uint8_t digest[kMaxDigestLength];
        engine.final(context, digest);
        return Hex(digest, DigestLength(size));
    }
    const StreamingEngine& engine;
    std::vector<uint8_t> storage;
    void* context;
};

std::string StreamHex(const StreamCase& c, const std::vector<uint8_t>& data,
                      const std::vector<size_t>& cuts) {
    StreamContext ctx(c.stream);
    EXPECT_TRUE(ctx.Init(c.bits, c.passes));
    size_t at = 0;
    for (size_t cut : cuts) {
        ctx.Update(data.data() + at, cut - at);
        at = cut;
    }
    ctx.Update(data.data() + at, data.size() - at);
    return ctx.Final(c.size);
}

// Lengths 0 to two blocks + 1, each in three pieces, and the longest split at every point.
TEST(StreamingEngines, AnySplitGivesTheOneShotDigest) {
    for (const StreamCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const size_t block = std::max<size_t>(BlockLength(c.size), 64);
        const std::vector<uint8_t> data = RandomBytes(2 * block + 1, 17);
        for (size_t n = 0; n <= data.size(); ++n) {
            const std::vector<uint8_t> message(data.begin(), data.begin() + n);
            const std::string expected = DigestHex(c.digest, c.size, message, c.bits, c.passes);
            ASSERT_EQ(StreamHex(c, message, {n / 3, 2 * n / 3}), expected) << n;
        }
        const std::string expected = DigestHex(c.digest, c.size, data, c.bits, c.passes);
        for (size_t cut = 0; cut <= data.size(); ++cut)
            ASSERT_EQ(StreamHex(c, data, {cut}), expected) << cut;
    }
}

// Two messages of one engine fed turn about in small pieces each give their own digest.
TEST(StreamingEngines, InterleavedComputationsKeepApart) {
    const std::vector<uint8_t> a = RandomBytes(1000, 3), b = RandomBytes(777, 4);
    for (const StreamCase& c : kCases) {
        SCOPED_TRACE(c.name);
        StreamContext first(c.stream), second(c.stream);
        ASSERT_TRUE(first.Init(c.bits, c.passes));
        ASSERT_TRUE(second.Init(c.bits, c.passes));
        for (size_t at = 0; at < a.size(); at += 7) {
            first.Update(a.data() + at, std::min<size_t>(7, a.size() - at));
            if (at < b.size()) second.Update(b.data() + at, std::min<size_t>(7, b.size() - at));
        }
        EXPECT_EQ(first.Final(c.size), DigestHex(c.digest, c.size, a, c.bits, c.passes));
        EXPECT_EQ(second.Final(c.size), DigestHex(c.digest, c.size, b, c.bits, c.passes));
    }
}

// All fifteen HAVAL lines side by side, each chunk handed to every one in turn.
TEST(StreamingEngines, FifteenHavalLinesTakeTheSameChunks) {
    const std::vector<uint8_t> data = RandomBytes(5000, 8);
    std::vector<std::unique_ptr<StreamContext>> lines;
    for (uint32_t bits = 128; bits <= 256; bits += 32)
        for (uint32_t passes = 3; passes <= 5; ++passes) {
            lines.push_back(std::make_unique<StreamContext>(kHavalStream));
            ASSERT_TRUE(lines.back()->Init(bits, passes));
        }
    for (size_t at = 0; at < data.size(); at += 333)
        for (auto& line : lines)
            line->Update(data.data() + at, std::min<size_t>(333, data.size() - at));
    size_t i = 0;
    for (uint32_t bits = 128; bits <= 256; bits += 32)
        for (uint32_t passes = 3; passes <= 5; ++passes, ++i)
            EXPECT_EQ(lines[i]->Final(MakeSizeWord(128, bits / 8)),
                      DigestHex(HavalDigest, MakeSizeWord(128, bits / 8), data, bits, passes))
                << bits << " " << passes;
}

// 2^32 + 4099 zero bytes, in pieces that do not divide 2^32, against values computed by
// Python's hashlib and zlib.
TEST(StreamingEngines, StreamsPastFourGiB) {
    struct Expected {
        const StreamingEngine& stream;
        SizeWord size;
        const char* hex;
    };
    const Expected kExpected[] = {
        {kCrc32Stream, kCrc32Size, "2A96E5A8"},
        {kAdler32Stream, kAdler32Size, "10E40001"},
        {kMd5Stream, kMd5Size, "625704248EF283E3D4E208A92F94E09A"},
    };
    const std::vector<uint8_t> zeros(3 << 20);
    for (const Expected& e : kExpected) {
        StreamContext ctx(e.stream);
        ASSERT_TRUE(ctx.Init(0, 0));
        for (uint64_t left = (uint64_t(1) << 32) + 4099; left != 0;) {
            const size_t piece = size_t(std::min<uint64_t>(left, zeros.size()));
            ctx.Update(zeros.data(), piece);
            left -= piece;
        }
        EXPECT_EQ(ctx.Final(e.size), e.hex);
    }
}

// Final's length field for a count past 2^32 bytes (and past 2^61 where the field is wider
// than 64 bits): the bytes Final leaves at the end of the last block.
template <typename Context>
std::string LengthField(void (*init)(Context&), const uint8_t* (*final)(Context&), uint64_t count,
                        size_t width) {
    Context ctx;
    init(ctx);
    ctx.byteCount = count;
    final(ctx);
    return Hex(ctx.block + sizeof ctx.block - width, width);
}

TEST(StreamingEngines, LengthFieldHoldsTheWholeCount) {
    const uint64_t past32 = (uint64_t(1) << 32) + 3;  // 2^35 + 24 bits
    const uint64_t past61 = (uint64_t(1) << 61) + 5;  // 2^64 + 40 bits
    EXPECT_EQ(LengthField<Md5ContextType>(Md5Init, Md5Final, past32, 8), "1800000008000000");
    EXPECT_EQ(LengthField<Md4ContextType>(Md4Init, Md4Final, past32, 8), "1800000008000000");
    EXPECT_EQ(LengthField<Sha1ContextType>(Sha1Init, Sha1Final, past32, 8), "0000000800000018");
    EXPECT_EQ(LengthField<Sha512ContextData>(Sha512Init, Sha512Final, past61, 16),
              "00000000000000010000000000000028");
    EXPECT_EQ(LengthField<TigerContextData>(TigerInit, TigerFinal, past32, 8), "1800000008000000");
    EXPECT_EQ(LengthField<WhirlpoolContextData>(WhirlpoolInit, WhirlpoolFinal, past61, 32),
              "0000000000000000000000000000000000000000000000010000000000000028");
    EXPECT_EQ(LengthField<Sha512ContextData>(Sha384Init, Sha384Final, past32, 16),
              "00000000000000000000000800000018");
}

// HAVAL's trailer: the parameter word (bits << 6 | passes << 3 | version 1), then the
// 64-bit bit length.
TEST(StreamingEngines, HavalTrailerHoldsTheWholeCount) {
    HavalContextType ctx;
    ASSERT_TRUE(HavalInit(ctx, 256, 5));
    ctx.byteCount = (uint64_t(1) << 32) + 3;
    HavalFinal(ctx);
    EXPECT_EQ(Hex(ctx.block + 118, 10), "29401800000008000000");
}

// Parameters the one-shot entries of HAVAL and Snefru refuse are refused by their
// streaming forms too.
TEST(StreamingEngines, RefuseWhatTheOneShotRefuses) {
    StreamContext haval(kHavalStream), snefru(kSnefruStream);
    for (uint32_t bits : {0u, 96u, 127u, 128u, 160u, 256u, 287u, 288u, 512u})
        for (uint32_t passes : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 8u, 9u}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(passes) + " passes");
            EXPECT_EQ(haval.Init(bits, passes), HavalDigest(nullptr, 0, bits, passes) != 0);
            EXPECT_EQ(snefru.Init(bits, passes), SnefruDigest(nullptr, 0, bits, passes) != 0);
        }
}

// The fill of Snefru-128's 48-byte block comes from the whole count: 2^32 is no multiple
// of 48, so a count that wrapped would misplace the bytes after it.
TEST(StreamingEngines, SnefruFillStaysRightPastFourGiB) {
    const std::vector<uint8_t> data = RandomBytes(100, 5);
    SnefruContextType crossed, fresh;
    ASSERT_TRUE(SnefruInit(crossed, 128, 4));
    ASSERT_TRUE(SnefruInit(fresh, 128, 4));
    // 2^32 - 16 is a multiple of 48, an empty block, like 0; 32 more bytes cross 2^32.
    crossed.byteCount = (uint64_t(1) << 32) - 16;
    SnefruUpdate(crossed, data.data(), 32);
    SnefruUpdate(fresh, data.data(), 32);
    EXPECT_EQ(crossed.byteCount % 48, 32u);
    SnefruUpdate(crossed, data.data() + 32, 68);
    SnefruUpdate(fresh, data.data() + 32, 68);
    EXPECT_EQ(Hex(reinterpret_cast<const uint8_t*>(crossed.state), 16),
              Hex(reinterpret_cast<const uint8_t*>(fresh.state), 16));
}

// GOST's bit count carries through all eight words.
TEST(StreamingEngines, GostBitCountIsTwoHundredFiftySixBitsWide) {
    GostContextType ctx;
    GostInit(ctx);
    ctx.bitCount[0] = 0xFFFFFF00;
    ctx.bitCount[1] = 0xFFFFFFFF;
    const uint8_t block[32] = {};
    GostAbsorbBlock(ctx, block, 256);
    EXPECT_EQ(ctx.bitCount[0], 0u);
    EXPECT_EQ(ctx.bitCount[1], 0u);
    EXPECT_EQ(ctx.bitCount[2], 1u);
}

// A streaming HMAC over the engine's streaming form, the message in the given pieces.
std::string StreamHmacHex(const StreamingEngine& engine, SizeWord size,
                          const std::vector<uint8_t>& key, const std::vector<uint8_t>& message,
                          const std::vector<size_t>& cuts, uint32_t bits = 0, uint32_t passes = 0) {
    std::vector<uint8_t> storage(HmacStreamContextSize(engine) + kStreamContextAlign);
    void* p = storage.data();
    size_t space = storage.size();
    void* context = std::align(kStreamContextAlign, HmacStreamContextSize(engine), p, space);
    EXPECT_TRUE(HmacStreamInit(context, engine, size, key.data(), key.size(), bits, passes));
    size_t at = 0;
    for (size_t cut : cuts) {
        HmacStreamUpdate(context, message.data() + at, cut - at);
        at = cut;
    }
    HmacStreamUpdate(context, message.data() + at, message.size() - at);
    uint8_t digest[kMaxDigestLength];
    HmacStreamFinal(context, digest);
    return Hex(digest, DigestLength(size));
}

// Keys around the block length (digested from B + 1 bytes on), messages in pieces, every
// engine: the results of the one-shot HmacDigest.
TEST(StreamingHmac, EqualsTheOneShotHmac) {
    static const uint8_t kNone[1] = {0};
    for (const StreamCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const size_t b = BlockLength(c.size);
        for (size_t keyLength : {size_t(0), size_t(1), b - 1, b, b + 1, size_t(200)}) {
            const std::vector<uint8_t> key = RandomBytes(keyLength, uint32_t(keyLength));
            for (size_t n : {size_t(0), size_t(1), 2 * b + 1, size_t(1000)}) {
                const std::vector<uint8_t> message = RandomBytes(n, 9);
                HmacStatus status;
                const DigestResult r = HmacDigest(c.digest, c.size, n ? message.data() : kNone,
                                                  uint32_t(n), keyLength ? key.data() : kNone,
                                                  uint32_t(keyLength), c.bits, c.passes, &status);
                ASSERT_EQ(status, HmacStatus::kOk);
                EXPECT_EQ(
                    StreamHmacHex(c.stream, c.size, key, message, {n / 3, n / 2}, c.bits, c.passes),
                    ResultHex(r, c.size))
                    << keyLength << " " << n;
            }
        }
    }
}

// RFC 2202 (HMAC-MD5, HMAC-SHA-1) and RFC 4231 (HMAC-SHA-256/384/512, untruncated).
TEST(StreamingHmac, PublishedTestCases) {
    const std::vector<uint8_t> key0b16(16, 0x0B), key0b20(20, 0x0B), jefe = Bytes("Jefe");
    const std::vector<uint8_t> keyAa80(80, 0xAA), keyAa131(131, 0xAA);
    const std::vector<uint8_t> hiThere = Bytes("Hi There");
    const std::vector<uint8_t> what = Bytes("what do ya want for nothing?");
    const std::vector<uint8_t> large =
        Bytes("Test Using Larger Than Block-Size Key - Hash Key First");
    struct Case {
        const StreamingEngine& engine;
        SizeWord size;
        const std::vector<uint8_t>& key;
        const std::vector<uint8_t>& message;
        const char* hex;
    };
    const Case kPublished[] = {
        {kMd5Stream, kMd5Size, key0b16, hiThere, "9294727A3638BB1C13F48EF8158BFC9D"},
        {kMd5Stream, kMd5Size, jefe, what, "750C783E6AB0B503EAA86E310A5DB738"},
        {kSha1Stream, kSha1Size, key0b20, hiThere, "B617318655057264E28BC0B6FB378C8EF146BE00"},
        {kSha1Stream, kSha1Size, jefe, what, "EFFCDF6AE5EB2FA2D27416D5F184DF9C259A7C79"},
        {kSha1Stream, kSha1Size, keyAa80, large, "AA4AE5E15272D00E95705637CE8A3B55ED402112"},
        {kSha256Stream, kSha256Size, key0b20, hiThere,
         "B0344C61D8DB38535CA8AFCEAF0BF12B881DC200C9833DA726E9376C2E32CFF7"},
        {kSha256Stream, kSha256Size, jefe, what,
         "5BDCC146BF60754E6A042426089575C75A003F089D2739839DEC58B964EC3843"},
        {kSha256Stream, kSha256Size, keyAa131, large,
         "60E431591EE0B67F0D8A26AACBF5B77F8E0BC6213728C5140546040F0EE37F54"},
        {kSha384Stream, kSha384Size, jefe, what,
         "AF45D2E376484031617F78D2B58A6B1B9C7EF464F5A01B47E42EC3736322445E8E2240CA5E69E2C78B3239EC"
         "FAB21649"},
        {kSha512Stream, kSha512Size, jefe, what,
         "164B7A7BFCF819E2E395FBE73B56E0A387BD64222E831FD610270CD7EA2505549758BF75C05A994A6D034F65"
         "F8F0E6FDCAEAB1A34D4A6B4B636E070A38BCE737"},
        {kSha512Stream, kSha512Size, keyAa131, large,
         "80B24263C7C1A3EBB71493C1DD7BE8B49B46D1F41B4AEEC1121B013783F8F3526B56D037E05F2598BD0FD221"
         "5D6A1E5295E64F73F63F0AEC8B915A985D786598"},
    };
    for (const Case& c : kPublished)
        for (size_t cut = 0; cut <= c.message.size(); cut += 5)
            EXPECT_EQ(StreamHmacHex(c.engine, c.size, c.key, c.message, {cut}), c.hex) << cut;
}

TEST(StreamingHmac, RefusesWhatTheEngineRefuses) {
    std::vector<uint8_t> storage(HmacStreamContextSize(kHavalStream) + kStreamContextAlign);
    void* p = storage.data();
    size_t space = storage.size();
    void* context = std::align(kStreamContextAlign, HmacStreamContextSize(kHavalStream), p, space);
    const uint8_t key[1] = {1};
    EXPECT_FALSE(HmacStreamInit(context, kHavalStream, kHaval128Size, key, 1, 127, 3));
    EXPECT_FALSE(HmacStreamInit(context, kHavalStream, kHaval128Size, key, 1, 128, 6));
    // Sizes beyond the pads and the inner digest the context holds.
    EXPECT_FALSE(HmacStreamInit(context, kHavalStream, MakeSizeWord(128, kMaxDigestLength + 1), key,
                                1, 128, 3));
    EXPECT_FALSE(HmacStreamInit(context, kHavalStream, MakeSizeWord(kMaxBlockLength + 1, 16), key,
                                1, 128, 3));
    EXPECT_TRUE(HmacStreamInit(context, kHavalStream, kHaval128Size, key, 1, 128, 3));
}

}  // namespace
