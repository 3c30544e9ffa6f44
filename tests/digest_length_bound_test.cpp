// Digest lengths above the longest digest: ResultBytes and BytesToHex write through arrays
// of kMaxDigestLength bytes, so they refuse such a length instead of running past them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bytes_to_hex.h"
#include "digest_types.h"

namespace {

TEST(DigestLengthBound, LongestDigestPassesAndLongerIsRefused) {
    uint8_t digest[3 * kMaxDigestLength];
    for (size_t i = 0; i < sizeof digest; ++i) digest[i] = uint8_t(i);
    const DigestResult address = DigestAddress(digest);
    const uint32_t longest = uint32_t(kMaxDigestLength);

    uint8_t bytes[2 * kMaxDigestLength];
    std::memset(bytes, 0xEE, sizeof bytes);
    ResultBytes(address, MakeSizeWord(128, longest), bytes);
    EXPECT_EQ(std::memcmp(bytes, digest, kMaxDigestLength), 0);
    EXPECT_EQ(bytes[kMaxDigestLength], 0xEE);

    char hex[2 * sizeof digest + 2];
    BytesToHex(address, MakeSizeWord(128, longest), hex, 1);
    EXPECT_EQ(std::strlen(hex), 2 * kMaxDigestLength);
    EXPECT_EQ(std::string(hex, 6), "000102");

    for (uint32_t n : {longest + 1, 2 * longest, 0xFFFFu}) {
        SCOPED_TRACE(n);
        std::memset(bytes, 0xEE, sizeof bytes);
        ResultBytes(address, MakeSizeWord(128, n), bytes);
        EXPECT_EQ(bytes[0], 0xEE);
        EXPECT_EQ(bytes[sizeof bytes - 1], 0xEE);
        std::memset(hex, 'x', sizeof hex);
        BytesToHex(address, MakeSizeWord(128, n), hex, 1);
        EXPECT_EQ(hex[0], '\0');
        EXPECT_EQ(hex[1], 'x');
    }
}

}  // namespace
