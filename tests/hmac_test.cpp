#include "hmac.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "checksums.h"
#include "oracle_digests.h"
#include "report_lines.h"
#include "test_support.h"

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

TEST(Hmac, DigestLengthsBeyondTheLongestAreRefusedBeforeAnyCall) {
    // A key longer than B is digested into kMaxDigestLength bytes, so a longer D would read
    // past them; the size is refused before the engine runs.
    const Bytes_ longKey(200, 0x22);
    FakeEngine::calls.clear();
    FakeEngine::refuseCall = -1;
    HmacStatus status;
    DigestResult r = HmacDigest(FakeEngine::Digest, MakeSizeWord(32, kMaxDigestLength + 1),
                                longKey.data(), 3, longKey.data(), 200, 0, 0, &status);
    EXPECT_EQ(status, HmacStatus::kSizeOutOfRange);
    EXPECT_EQ(r, 0u);
    EXPECT_TRUE(FakeEngine::calls.empty());
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

// Every report line keyed, against independent HMACs: PHP's hash_hmac where PHP has the
// algorithm, and RFC 2104 written above over every independent digest of the line
// (tests/oracle_digests.h).  SHA-0 and the 4-pass Snefru lines exist in no library; their
// reference uses our own one-shot, which the engine tests check against their models.
TEST(Hmac, EveryLineAgreesWithAnIndependentHmac) {
    const std::string missing = MissingOracleLibraries();
    if (!missing.empty()) GTEST_SKIP() << "oracles missing from this build:" << missing;
    const std::vector<OracleDigest> oracles = OracleDigests();
    const std::vector<Bytes_> messages = {Bytes_(), Bytes("abc"), RandomBytes(10000, 77),
                                          RandomBytes(333, 78), RandomBytes(1000, 6)};
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        std::string label(line.label);
        label.resize(label.size() - 2);
        SCOPED_TRACE(label);
        const size_t b = BlockLength(line.size);
        const size_t d = DigestLength(line.size);
        std::vector<std::pair<Bytes_, Bytes_>> cases;
        for (size_t keyLength : {size_t(0), size_t(1), b - 1, b, b + 1, 3 * b, 3 * b + 8})
            for (const Bytes_& m : messages)
                cases.emplace_back(RandomBytes(keyLength, uint32_t(keyLength) + 5), m);
        std::vector<std::string> ours;
        for (const auto& c : cases)
            ours.push_back(
                Keyed(line.engine, line.size, c.first, c.second, line.bits, line.passes));

        // Each independent HMAC: its name and its value for every case.
        std::vector<std::pair<std::string, std::vector<std::string>>> expected;
        if (const char* algo = PhpAlgorithm(label))
            expected.emplace_back(std::string("PHP ") + algo, PhpHmacs(algo, cases));
        for (const OracleDigest& oracle : oracles) {
            if (oracle.label != label) continue;
            const Digest h = [&oracle, d](const Bytes_& m) {
                Bytes_ out(64);
                EXPECT_TRUE(oracle.digest(m.data(), m.size(), out.data()));
                out.resize(d);
                return out;
            };
            std::vector<std::string> values;
            for (const auto& c : cases)
                values.push_back(Hex(ReferenceHmac(h, b, c.first, c.second)));
            expected.emplace_back(oracle.library, values);
        }
        if (expected.empty()) {
            ASSERT_TRUE(label == "SHA-0" || label.find("(4 Passes)") != std::string::npos)
                << "no independent digest";
            const Digest own = [&line, d](const Bytes_& m) {
                static const uint8_t kNone[1] = {0};
                Bytes_ out(d);
                ResultBytes(line.engine(m.empty() ? kNone : m.data(), uint32_t(m.size()), line.bits,
                                        line.passes),
                            line.size, out.data());
                return out;
            };
            std::vector<std::string> values;
            for (const auto& c : cases)
                values.push_back(Hex(ReferenceHmac(own, b, c.first, c.second)));
            expected.emplace_back("RFC 2104 over our own one-shot", values);
        }
        for (const auto& [name, values] : expected) {
            ASSERT_EQ(values.size(), cases.size()) << name;
            for (size_t k = 0; k < cases.size(); ++k)
                EXPECT_EQ(ours[k], values[k]) << name << ", key " << cases[k].first.size()
                                              << ", message " << cases[k].second.size();
        }
    }
}

TEST(Hmac, KeysOfBlockLengthAndOneMoreDiffer) {
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        SCOPED_TRACE(line.label);
        const size_t b = BlockLength(line.size);
        const Bytes_ longer = RandomBytes(b + 1, 31);
        const Bytes_ exact(longer.begin(), longer.begin() + b);
        EXPECT_NE(Keyed(line.engine, line.size, exact, Bytes("abc"), line.bits, line.passes),
                  Keyed(line.engine, line.size, longer, Bytes("abc"), line.bits, line.passes));
    }
}

}  // namespace
