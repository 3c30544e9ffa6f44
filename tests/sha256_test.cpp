#include "sha256.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "report_lines.h"
#include "test_support.h"

#ifdef KORVADEX_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

// The message of n letters a.
std::string Letters(size_t n) {
    return std::string(n, 'a');
}

// Fills the context with a byte that is neither zero nor a plausible value, so that a
// field the engine forgets to seed or to wipe shows.
void FillContextWithJunk() {
    std::memset(&Sha256Context, 0xA5, sizeof Sha256Context);
}

TEST(Sha256, PublishedValues) {
    const struct {
        std::string message;
        const char* digest;
    } kCases[] = {
        {"", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
        {"abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
        {Letters(1000), "41EDECE42D63E8D9BF515A9BA6932E1C20CBC9F5A5D134645ADB5DB1B9737EA3"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.message.size());
        FillContextWithJunk();
        EXPECT_EQ(DigestHex(Sha256Digest, kSha256Size, c.message), c.digest);
    }

    const ReportLine* line = nullptr;
    for (size_t i = 0; i < kReportLineCount; ++i)
        if (std::strcmp(kReportLines[i].label, "SHA-256: ") == 0) line = &kReportLines[i];
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->engine, Sha256Digest);
    EXPECT_EQ(line->size, 0x400020u);
}

// Lengths around both tail shapes: up to 55 bytes left the tail is one block, from 56 on
// two; 64 and 128 leave an empty remainder.
TEST(Sha256, OnlyTheResultSurvivesACall) {
    for (size_t n : {0, 1, 55, 56, 63, 64, 65, 119, 120, 127, 128, 129, 1000}) {
        SCOPED_TRACE(n);
        const std::string message = Letters(n);
        FillContextWithJunk();
        const DigestResult first =
            Sha256Digest(reinterpret_cast<const uint8_t*>(message.data()), uint32_t(n), 0, 0);
        EXPECT_EQ(first, DigestAddress(Sha256Context.result));

        Sha256ContextData expected;
        std::memset(&expected, 0, sizeof expected);
        EXPECT_EQ(std::memcmp(Sha256Context.tail, expected.tail, sizeof expected.tail), 0);
        EXPECT_EQ(std::memcmp(Sha256Context.state, expected.state, sizeof expected.state), 0);
        EXPECT_EQ(std::memcmp(Sha256Context.work, expected.work, sizeof expected.work), 0);
        EXPECT_EQ(std::memcmp(Sha256Context.schedule, expected.schedule, sizeof expected.schedule),
                  0);
        EXPECT_EQ(Sha256Context.messageLength, 0u);
        EXPECT_EQ(Sha256Context.tailPending, 0u);
        EXPECT_EQ(Sha256Context.remaining, 0u);

        // The next call reuses the same buffer and overwrites the digest.
        const std::string before = Hex(Sha256Context.result, 32);
        EXPECT_EQ(Sha256Digest(reinterpret_cast<const uint8_t*>("x"), 1, 0, 0), first);
        EXPECT_NE(Hex(Sha256Context.result, 32), before);
    }
}

#ifdef KORVADEX_HAVE_OPENSSL
std::string EvpHex(const EVP_MD* md, const uint8_t* data, size_t n) {
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EXPECT_EQ(EVP_Digest(data, n, digest, &length, md, nullptr), 1);
    return Hex(digest, length);
}

// SHA-224 differs from SHA-256 only in its initial value and its shorter output, so it
// shows that Sha256DigestEx seeds the state from its arguments.  The messages start one
// byte into their buffer, so the blocks read in place are unaligned.
TEST(Sha256, DigestExWithSha224SeedIsSha224) {
    for (size_t n : DifferentialLengths()) {
        SCOPED_TRACE(n);
        const std::vector<uint8_t> buffer = RandomBytes(n + 1, uint32_t(n) * 3 + 2);
        const uint8_t* data = buffer.data() + 1;
        const DigestResult sha224 =
            Sha256DigestEx(data, uint32_t(n), 0xC1059ED8, 0x367CD507, 0x3070DD17, 0xF70E5939,
                           0xFFC00B31, 0x68581511, 0x64F98FA7, 0xBEFA4FA4);
        EXPECT_EQ(ResultHex(sha224, MakeSizeWord(64, 28)), EvpHex(EVP_sha224(), data, n));
    }
}
#endif

}  // namespace
