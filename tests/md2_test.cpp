#include "md2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "test_support.h"

namespace {

std::string Md2Hex(const std::vector<uint8_t>& data) {
    return DigestHex(Md2Digest, kMd2Size, data);
}

// Init, then Update in pieces whose sizes cycle through 0, 1, 15, 16 and 17 bytes
// (around the 16-byte block), then Final.
std::string Md2PiecesHex(const std::vector<uint8_t>& data) {
    static const size_t kPieces[] = {0, 1, 15, 16, 17};
    Md2Init();
    size_t at = 0;
    for (size_t i = 0; at < data.size(); ++i) {
        const size_t n = std::min(kPieces[i % 5], data.size() - at);
        Md2Update(data.data() + at, uint32_t(n));
        at += n;
    }
    return Hex(Md2Final(), 16);
}

TEST(Md2, PublishedValues) {
    // The test suite of RFC 1319.
    const struct {
        const char* message;
        const char* digest;
    } kCases[] = {
        {"", "8350E5A3E24C153DF2275C9F80692773"},
        {"a", "32EC01EC4A6DAC72C0AB96FB34C0B5D1"},
        {"abc", "DA853B0D3F88D99B30283A69E6DED6BB"},
        {"message digest", "AB4F496BFB2A530B219FF33031FE06B0"},
        {"abcdefghijklmnopqrstuvwxyz", "4E8DDFF3650292AB5A4108C3AA47940B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "DA33DEF2A42DF13975352846C30338CD"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456"
         "7890",
         "D5976F79D83D3A0DC9806C3C66F3EFD8"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(DigestHex(Md2Digest, kMd2Size, c.message), c.digest);
        EXPECT_EQ(Md2PiecesHex(Bytes(c.message)), c.digest);
    }
    EXPECT_EQ(kMd2Size, 0x100010u);
}

TEST(Md2, ResultBufferIsReusedByTheNextCall) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    const DigestResult first = Md2Digest(abc, 3, 0, 0);
    const DigestResult second = Md2Digest(abc, 0, 0, 0);
    EXPECT_EQ(first, second);
    EXPECT_EQ(ResultHex(first, kMd2Size), "8350E5A3E24C153DF2275C9F80692773");
}

TEST(Md2, LeftoverContextDoesNotMatter) {
    const auto data = RandomBytes(100, 3);
    const std::string clean = Md2Hex(data);
    std::memset(&Md2Context, 0xA5, sizeof Md2Context);
    EXPECT_EQ(Md2Hex(data), clean);
    std::memset(&Md2Context, 0x5A, sizeof Md2Context);
    EXPECT_EQ(Md2PiecesHex(data), clean);
}

TEST(Md2, DigestExStartsFromTheGivenState) {
    // Four zero words are the standard start; any other start changes the digest.
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(ResultHex(Md2DigestEx(abc, 3, 0, 0, 0, 0), kMd2Size),
              "DA853B0D3F88D99B30283A69E6DED6BB");
    EXPECT_NE(ResultHex(Md2DigestEx(abc, 3, 1, 0, 0, 0), kMd2Size),
              "DA853B0D3F88D99B30283A69E6DED6BB");
}

TEST(Md2, PiecesGiveTheOneShotDigest) {
    for (size_t n : DifferentialLengths()) {
        if (n > 300 && n != 5000) continue;
        SCOPED_TRACE(n);
        const auto data = RandomBytes(n, uint32_t(n) * 31 + 2);
        EXPECT_EQ(Md2PiecesHex(data), Md2Hex(data));
    }
}

}  // namespace
