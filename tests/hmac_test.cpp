#include "hmac.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "checksums.h"
#include "test_support.h"

#ifdef KORVADEX_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

using Bytes_ = std::vector<uint8_t>;
using Digest = std::function<Bytes_(const Bytes_&)>;

// RFC 2104 written from its definition: H((K' ^ opad) || H((K' ^ ipad) || m)), with K' the
// key (digested first when longer than B) padded with zeros to B bytes.
Bytes_ ReferenceHmac(const Digest& h, size_t b, Bytes_ key, const Bytes_& message) {
    if (key.size() > b) key = h(key);
    key.resize(b, 0);
    Bytes_ inner(key), outer(key);
    for (auto& x : inner) x ^= 0x36;
    for (auto& x : outer) x ^= 0x5C;
    inner.insert(inner.end(), message.begin(), message.end());
    Bytes_ innerDigest = h(inner);
    outer.insert(outer.end(), innerDigest.begin(), innerDigest.end());
    return h(outer);
}

std::string Keyed(DigestFn engine, SizeWord size, const Bytes_& key, const Bytes_& message,
                  uint32_t bits = 0, uint32_t passes = 0) {
    static const uint8_t kNone[1] = {0};
    HmacStatus status;
    DigestResult r =
        HmacDigest(engine, size, message.empty() ? kNone : message.data(), uint32_t(message.size()),
                   key.empty() ? kNone : key.data(), uint32_t(key.size()), bits, passes, &status);
    EXPECT_EQ(status, HmacStatus::kOk);
    return ResultHex(r, size);
}

// A checksum as a digest: its value, most significant byte first.
Digest ValueDigest(uint32_t (*value)(const Bytes_&), size_t width) {
    return [value, width](const Bytes_& m) {
        uint32_t v = value(m);
        Bytes_ out(width);
        for (size_t i = 0; i < width; ++i) out[i] = uint8_t(v >> (8 * (width - 1 - i)));
        return out;
    };
}

#ifdef KORVADEX_HAVE_ZLIB
TEST(Hmac, ChecksumsAgreeWithReferenceOverZlib) {
    const Digest crc32 = ValueDigest(
        [](const Bytes_& m) { return uint32_t(::crc32(0, m.data(), uInt(m.size()))); }, 4);
    const Digest adler = ValueDigest(
        [](const Bytes_& m) { return uint32_t(::adler32(1, m.data(), uInt(m.size()))); }, 4);
    for (size_t keyLength : {0, 1, 3, 4, 5, 12}) {
        for (size_t messageLength : {0, 3, 100, 6000}) {
            Bytes_ key = RandomBytes(keyLength, uint32_t(keyLength) + 100);
            Bytes_ message = RandomBytes(messageLength, uint32_t(messageLength) + 7);
            SCOPED_TRACE(testing::Message() << keyLength << " " << messageLength);
            EXPECT_EQ(Keyed(Crc32Digest, kCrc32Size, key, message),
                      Hex(ReferenceHmac(crc32, 4, key, message)));
            EXPECT_EQ(Keyed(Adler32Digest, kAdler32Size, key, message),
                      Hex(ReferenceHmac(adler, 4, key, message)));
        }
    }
}
#endif

TEST(Hmac, ChecksumKeysOfFourAndFiveBytes) {
    // B = 4: a 4-byte key is used as it is; a 5-byte key is replaced by its CRC-16 value,
    // written most significant byte first and padded with zeros to 4 bytes.
    const Bytes_ message = Bytes("abc");
    const Bytes_ four = Bytes("Jefe");
    const Bytes_ five = Bytes("Jefe!");
    uint32_t keyValue = Crc16Update(five.data(), 5, 0);
    const Bytes_ digestedKey = {uint8_t(keyValue >> 8), uint8_t(keyValue), 0, 0};
    EXPECT_EQ(Keyed(Crc16Digest, kCrc16Size, five, message),
              Keyed(Crc16Digest, kCrc16Size, digestedKey, message));
    EXPECT_NE(Keyed(Crc16Digest, kCrc16Size, four, message),
              Keyed(Crc16Digest, kCrc16Size, five, message));

    const Digest crc16 = ValueDigest(
        [](const Bytes_& m) { return Crc16Update(m.data(), uint32_t(m.size()), 0); }, 2);
    EXPECT_EQ(Keyed(Crc16Digest, kCrc16Size, four, message),
              Hex(ReferenceHmac(crc16, 4, four, message)));
    EXPECT_EQ(Keyed(Crc16Digest, kCrc16Size, five, message),
              Hex(ReferenceHmac(crc16, 4, five, message)));
}

// A stand-in engine with a 16-byte digest that records its parameters and can refuse.
struct FakeEngine {
    static inline std::vector<std::pair<uint32_t, uint32_t>> calls;
    static inline int refuseCall = -1;  // index of the call that returns null
    static inline uint8_t digest[16];
    static DigestResult Digest(const uint8_t* data, uint32_t length, uint32_t bits,
                               uint32_t passes) {
        int index = int(calls.size());
        calls.emplace_back(bits, passes);
        if (index == refuseCall) return 0;
        for (int i = 0; i < 16; ++i) digest[i] = uint8_t(length + i + (length ? data[0] : 0));
        return DigestAddress(digest);
    }
};
constexpr SizeWord kFakeSize = MakeSizeWord(32, 16);

TEST(Hmac, ForwardsParametersToEveryEngineCall) {
    FakeEngine::calls.clear();
    FakeEngine::refuseCall = -1;
    Bytes_ longKey(33, 0x11);  // longer than B: digested first
    HmacStatus status;
    HmacDigest(FakeEngine::Digest, kFakeSize, longKey.data(), 3, longKey.data(), 33, 224, 4,
               &status);
    EXPECT_EQ(status, HmacStatus::kOk);
    ASSERT_EQ(FakeEngine::calls.size(), 3u);
    for (const auto& call : FakeEngine::calls) {
        EXPECT_EQ(call.first, 224u);
        EXPECT_EQ(call.second, 4u);
    }
}

TEST(Hmac, RefusalOfTheEngineIsReportedAtEveryCall) {
    Bytes_ longKey(40, 0x22);
    for (int refuse = 0; refuse < 3; ++refuse) {
        FakeEngine::calls.clear();
        FakeEngine::refuseCall = refuse;
        HmacStatus status;
        DigestResult r = HmacDigest(FakeEngine::Digest, kFakeSize, longKey.data(), 5,
                                    longKey.data(), 40, 0, 0, &status);
        EXPECT_EQ(status, HmacStatus::kEngineRefused) << refuse;
        EXPECT_EQ(r, 0u);
    }
    FakeEngine::refuseCall = -1;
}

// Fails the allocation with the given index (0, 1 or 2) and counts the calls.
int gAllocCalls = 0;
int gFailAlloc = -1;
void* FailingAlloc(size_t n) {
    return gAllocCalls++ == gFailAlloc ? nullptr : std::calloc(n, 1);
}

TEST(Hmac, AllocationFailureIsReportedOutOfBand) {
    const HmacAllocFn saved = gHmacAlloc;
    gHmacAlloc = FailingAlloc;
    const Bytes_ message = Bytes("abc");
    for (int fail = 0; fail < 3; ++fail) {
        gAllocCalls = 0;
        gFailAlloc = fail;
        HmacStatus status;
        DigestResult r = HmacDigest(Crc32Digest, kCrc32Size, message.data(), 3, message.data(), 3,
                                    0, 0, &status);
        EXPECT_EQ(status, HmacStatus::kOutOfMemory) << fail;
        EXPECT_EQ(r, 0u);
    }
    gHmacAlloc = saved;
}

TEST(Hmac, MessagesThatCannotCarryTheirPadAreRefused) {
    const uint8_t byte = 0;
    HmacStatus status;
    // The inner message is B + length bytes and must fit the engines' 32-bit length; the
    // check comes before the message is read, so no such buffer is needed here.
    HmacDigest(Crc32Digest, kCrc32Size, &byte, UINT32_MAX - 3, &byte, 1, 0, 0, &status);
    EXPECT_EQ(status, HmacStatus::kMessageTooLong);
    HmacDigest(FakeEngine::Digest, kFakeSize, &byte, UINT32_MAX - 31, &byte, 1, 0, 0, &status);
    EXPECT_EQ(status, HmacStatus::kMessageTooLong);
}

}  // namespace
