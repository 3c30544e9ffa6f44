#include "md4_md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "test_support.h"

namespace {

// The streaming entries of one engine, so that one test serves both.
struct Engine {
    const char* name;
    DigestFn digest;
    SizeWord size;
    uint32_t* (*init)();
    void (*update)(const uint8_t*, uint32_t);
    const uint8_t* (*final)();
    void* context;
    size_t contextSize;
};

const Engine kMd4 = {"MD4",     Md4Digest, kMd4Size,    Md4Init,
                     Md4Update, Md4Final,  &Md4Context, sizeof Md4Context};
const Engine kMd5 = {"MD5",     Md5Digest, kMd5Size,    Md5Init,
                     Md5Update, Md5Final,  &Md5Context, sizeof Md5Context};

std::string OneShotHex(const Engine& e, const std::vector<uint8_t>& data) {
    return DigestHex(e.digest, e.size, data);
}

// Init, then Update in pieces whose sizes cycle through 0, 1, 63, 64 and 65 bytes,
// then Final.
std::string PiecesHex(const Engine& e, const std::vector<uint8_t>& data) {
    static const size_t kPieces[] = {0, 1, 63, 64, 65};
    e.init();
    size_t at = 0;
    for (size_t i = 0; at < data.size(); ++i) {
        const size_t n = std::min(kPieces[i % 5], data.size() - at);
        e.update(data.data() + at, uint32_t(n));
        at += n;
    }
    return Hex(e.final(), 16);
}

TEST(Md4Md5, PublishedValues) {
    // The test suites of RFC 1320 and RFC 1321, and 1000 bytes of the letter a.
    const struct {
        std::string message;
        const char* md4;
        const char* md5;
    } kCases[] = {
        {"", "31D6CFE0D16AE931B73C59D7E0C089C0", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "BDE52CB31DE33E46245E05FBDBD6FB24", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "A448017AAF21D8525FC10AE87AA6729D", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "D9130A8164549FE818874806E1C7014B", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "D79E1C308AA5BBCDEEA8ED63DF412DA9",
         "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "043F8582F241DB351CE627E153E7F0E4", "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "E33B4DDC9C38F2199C3E7B164FCC0536", "57EDF4A22BE3C955AC49DA2E2107B67A"},
        {std::string(1000, 'a'), "5F1BF26A8067C9159B91F1440F7C9E8A",
         "CABE45DCC9AE5B66BA86600CCA6B8BA8"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.message.substr(0, 80));
        EXPECT_EQ(OneShotHex(kMd4, Bytes(c.message)), c.md4);
        EXPECT_EQ(PiecesHex(kMd4, Bytes(c.message)), c.md4);
        EXPECT_EQ(OneShotHex(kMd5, Bytes(c.message)), c.md5);
        EXPECT_EQ(PiecesHex(kMd5, Bytes(c.message)), c.md5);
    }
    EXPECT_EQ(kMd4Size, 0x400010u);
    EXPECT_EQ(kMd5Size, 0x400010u);
}

TEST(Md4Md5, InitAndTwoUpdatesMatchTheOneShot) {
    const uint8_t a[] = {'a'}, bc[] = {'b', 'c'};
    for (const Engine* e : {&kMd4, &kMd5}) {
        SCOPED_TRACE(e->name);
        e->init();
        e->update(a, 1);
        e->update(bc, 2);
        const std::string pieces = Hex(e->final(), 16);
        EXPECT_EQ(pieces, OneShotHex(*e, Bytes("abc")));
    }
}

TEST(Md4Md5, ResultBufferIsReusedByTheNextCall) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    for (const Engine* e : {&kMd4, &kMd5}) {
        SCOPED_TRACE(e->name);
        const DigestResult first = e->digest(abc, 3, 0, 0);
        const std::string firstHex = ResultHex(first, e->size);
        const DigestResult second = e->digest(abc, 2, 0, 0);
        EXPECT_EQ(first, second);
        EXPECT_NE(ResultHex(first, e->size), firstHex);
    }
}

TEST(Md4Md5, LeftoverContextDoesNotMatter) {
    const auto data = RandomBytes(200, 9);
    for (const Engine* e : {&kMd4, &kMd5}) {
        SCOPED_TRACE(e->name);
        const std::string clean = OneShotHex(*e, data);
        std::memset(e->context, 0xA5, e->contextSize);
        EXPECT_EQ(OneShotHex(*e, data), clean);
        std::memset(e->context, 0x5A, e->contextSize);
        EXPECT_EQ(PiecesHex(*e, data), clean);
    }
}

TEST(Md4Md5, BitLengthIsSixtyFourBitsWide) {
    // 2^29 bytes are 2^32 bits: the length field must read low word 0, high word 1.
    const uint8_t lengthField[8] = {0, 0, 0, 0, 1, 0, 0, 0};
    Md4Init();
    Md4Context.byteCount = 0x20000000;
    Md4Final();
    EXPECT_EQ(std::memcmp(Md4Context.block + 56, lengthField, 8), 0);
    Md5Init();
    Md5Context.byteCount = 0x20000000;
    Md5Final();
    EXPECT_EQ(std::memcmp(Md5Context.block + 56, lengthField, 8), 0);
}

TEST(Md4Md5, PiecesGiveTheOneShotDigest) {
    for (const Engine* e : {&kMd4, &kMd5}) {
        for (size_t n : DifferentialLengths()) {
            SCOPED_TRACE(testing::Message() << e->name << " " << n);
            const auto data = RandomBytes(n, uint32_t(n) * 13 + 4);
            EXPECT_EQ(PiecesHex(*e, data), OneShotHex(*e, data));
        }
    }
}

}  // namespace
