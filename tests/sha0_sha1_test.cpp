#include "sha0_sha1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "test_support.h"

namespace {

const uint32_t kInitialValue[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

uint32_t Rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

// SHA-0 (FIPS 180) written down the plain way, as a model for the one-pass engine: pad
// the whole message, expand the full 80-word schedule, run the steps in a loop.  With
// rotate set it is SHA-1 (FIPS 180-1), which lets an independent SHA-1 vouch for it.
std::string ModelHex(const std::vector<uint8_t>& message, bool rotate) {
    std::vector<uint8_t> m(message);
    m.push_back(0x80);
    while (m.size() % 64 != 56) m.push_back(0);
    const uint64_t bits = uint64_t(message.size()) * 8;
    for (int i = 7; i >= 0; --i) m.push_back(uint8_t(bits >> (8 * i)));

    uint32_t h[5];
    std::copy(kInitialValue, kInitialValue + 5, h);
    for (size_t at = 0; at < m.size(); at += 64) {
        uint32_t w[80];
        for (int t = 0; t < 16; ++t) {
            const uint8_t* p = &m[at + 4 * t];
            w[t] = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        }
        for (int t = 16; t < 80; ++t) {
            const uint32_t x = w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16];
            w[t] = rotate ? Rotl(x, 1) : x;
        }
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int t = 0; t < 80; ++t) {
            uint32_t f, k;
            if (t < 20) {
                f = (b & c) | (~b & d), k = 0x5A827999;
            } else if (t < 40) {
                f = b ^ c ^ d, k = 0x6ED9EBA1;
            } else if (t < 60) {
                f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d, k = 0xCA62C1D6;
            }
            const uint32_t next = Rotl(a, 5) + f + e + k + w[t];
            e = d, d = c, c = Rotl(b, 30), b = a, a = next;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    }
    uint8_t digest[20];
    for (int i = 0; i < 20; ++i) digest[i] = uint8_t(h[i / 4] >> (24 - 8 * (i % 4)));
    return Hex(digest, 20);
}

std::string Sha0Hex(const std::vector<uint8_t>& data) {
    return DigestHex(Sha0Digest, kSha0Size, data);
}

std::string Sha1Hex(const std::vector<uint8_t>& data) {
    return DigestHex(Sha1Digest, kSha1Size, data);
}

// Sha1Init, the initial value set by hand (Init leaves state to its caller), Update in
// pieces whose sizes cycle through 0, 1, 63, 64 and 65 bytes, then Final.
std::string Sha1PiecesHex(const std::vector<uint8_t>& data) {
    static const size_t kPieces[] = {0, 1, 63, 64, 65};
    Sha1Init();
    std::copy(kInitialValue, kInitialValue + 5, Sha1Context.state);
    size_t at = 0;
    for (size_t i = 0; at < data.size(); ++i) {
        const size_t n = std::min(kPieces[i % 5], data.size() - at);
        Sha1Update(data.data() + at, uint32_t(n));
        at += n;
    }
    return Hex(Sha1Final(), 20);
}

TEST(Sha0Sha1, PublishedValues) {
    // FIPS 180 and FIPS 180-1: "abc", the 56-byte message and a million times a; and
    // the empty message and 1000 bytes of a.
    const struct {
        std::string message;
        const char* sha0;
        const char* sha1;
    } kCases[] = {
        {"abc", "0164B8A914CD2A5E74C4F7FF082C4D97F1EDF880",
         "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        {"", "F96CEA198AD1DD5617AC084A3D92C6107708C0EF",
         "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
        {std::string(1000, 'a'), "8A14112B4BA0C9544D50E2B7D06CDCBBF122824C",
         "291E9A6C66994949B57BA5E650361E98FC36B1BA"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "D2516EE1ACFA5BAF33DFC1C471E438449EF134C8", "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
        {std::string(1000000, 'a'), "3232AFFA48628A26653B5AAA44541FD90D690603",
         "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.message.substr(0, 60));
        const auto bytes = Bytes(c.message);
        EXPECT_EQ(Sha0Hex(bytes), c.sha0);
        EXPECT_EQ(ModelHex(bytes, false), c.sha0);
        EXPECT_EQ(Sha1Hex(bytes), c.sha1);
        EXPECT_EQ(Sha1PiecesHex(bytes), c.sha1);
    }
    EXPECT_EQ(kSha0Size, 0x400014u);
    EXPECT_EQ(kSha1Size, 0x400014u);
}

TEST(Sha0Sha1, Sha0AgreesWithTheModel) {
    for (size_t n : DifferentialLengths()) {
        SCOPED_TRACE(n);
        const auto data = RandomBytes(n, uint32_t(n) * 19 + 8);
        EXPECT_EQ(Sha0Hex(data), ModelHex(data, false));
    }
}

TEST(Sha0Sha1, Sha0TailOfFiftyFiveBytesIsCompressed) {
    // A remainder of 55 bytes fills one tail block exactly, with no zero byte between
    // the marker and the length; it must still be compressed.
    for (size_t n : {55, 119, 183, 247, 4096 + 55}) {
        SCOPED_TRACE(n);
        const auto data = RandomBytes(n, uint32_t(n));
        EXPECT_EQ(Sha0Hex(data), ModelHex(data, false));
    }
    EXPECT_EQ(Sha0Hex(Bytes(std::string(55, 'a'))), "0FF59F7CB9AFC10D7ABCDC9AB8C00E0E7B02034F");
}

TEST(Sha0Sha1, Sha0LeavesNothingButTheResult) {
    for (size_t n : {0, 3, 55, 56, 64, 100, 1000}) {
        SCOPED_TRACE(n);
        const auto data = RandomBytes(n, uint32_t(n) + 77);
        std::memset(&Sha0Context, 0xA5, sizeof Sha0Context);
        const std::string hex = Sha0Hex(data);
        EXPECT_EQ(hex, ModelHex(data, false));
        EXPECT_EQ(Hex(Sha0Context.result, 20), hex);
        EXPECT_EQ(Hex(Sha0Context.tail, sizeof Sha0Context.tail),
                  std::string(2 * sizeof Sha0Context.tail, '0'));
        for (uint32_t word : Sha0Context.state) EXPECT_EQ(word, 0u);
        EXPECT_EQ(Sha0Context.messageLength, 0u);
        EXPECT_EQ(Sha0Context.remaining, 0u);
        EXPECT_EQ(Sha0Context.tailPending, 0u);
    }
}

TEST(Sha0Sha1, ResultBufferIsReusedByTheNextCall) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    for (DigestFn engine : {Sha0Digest, Sha1Digest}) {
        const DigestResult first = engine(abc, 3, 0, 0);
        const std::string firstHex = ResultHex(first, kSha1Size);
        EXPECT_EQ(engine(abc, 2, 0, 0), first);
        EXPECT_NE(ResultHex(first, kSha1Size), firstHex);
    }
}

TEST(Sha0Sha1, Sha1LeftoverContextDoesNotMatter) {
    const auto data = RandomBytes(300, 12);
    const std::string clean = Sha1Hex(data);
    std::memset(&Sha1Context, 0xA5, sizeof Sha1Context);
    EXPECT_EQ(Sha1Hex(data), clean);
    std::memset(&Sha1Context, 0x5A, sizeof Sha1Context);
    EXPECT_EQ(Sha1PiecesHex(data), clean);
}

TEST(Sha0Sha1, Sha1BitLengthIsSixtyFourBitsWide) {
    // 2^29 bytes are 2^32 bits: the big-endian length field reads 00000001 00000000.
    const uint8_t lengthField[8] = {0, 0, 0, 1, 0, 0, 0, 0};
    Sha1Init();
    Sha1Context.byteCount = 0x20000000;
    Sha1Final();
    EXPECT_EQ(std::memcmp(Sha1Context.block + 56, lengthField, 8), 0);
}

// The model's rotation makes it SHA-1, whose engine the differential test sets against
// independent implementations.
TEST(Sha0Sha1, ModelWithRotationIsSha1) {
    for (size_t n = 0; n <= 300; n += 7) {
        SCOPED_TRACE(n);
        const auto data = RandomBytes(n, uint32_t(n) + 1);
        EXPECT_EQ(ModelHex(data, true), Sha1Hex(data));
    }
}

TEST(Sha0Sha1, Sha1InPiecesIsTheOneShot) {
    for (size_t n : DifferentialLengths()) {
        SCOPED_TRACE(n);
        const auto data = RandomBytes(n, uint32_t(n) * 23 + 3);
        EXPECT_EQ(Sha1PiecesHex(data), Sha1Hex(data));
    }
}

}  // namespace
