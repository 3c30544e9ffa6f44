#include "tiger.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "byte_order.h"
#include "report_text.h"
#include "test_support.h"

namespace {

void FillContextWithJunk() {
    std::memset(&TigerContext, 0xA5, sizeof TigerContext);
}

// The digest bytes of the chaining words: a, b, c, each least significant byte first.
std::string StateHex() {
    uint8_t bytes[24];
    for (int i = 0; i < 3; ++i) StoreLe64(bytes + 8 * i, TigerContext.state[i]);
    return Hex(bytes, sizeof bytes);
}

// Init, the initial value, one Update per piece length (until data runs out), Final.
std::string StreamedHex(const std::vector<uint8_t>& data, const std::vector<uint32_t>& pieces) {
    TigerInit();
    TigerContext.state[0] = kTigerInitialA;
    TigerContext.state[1] = kTigerInitialB;
    TigerContext.state[2] = kTigerInitialC;
    TigerUpdate(nullptr, 0);  // an empty piece reads nothing
    size_t at = 0;
    for (uint32_t n : pieces) {
        TigerUpdate(data.data() + at, n);
        at += n;
    }
    EXPECT_EQ(at, data.size());
    return Hex(TigerFinal(), 24);
}

TEST(Tiger, PublishedValues) {
    struct {
        std::string message;
        const char* digest;
    } const cases[] = {
        {"", "3293AC630C13F0245F92BBB1766E16167A4E58492DDE73F3"},
        {"abc", "2AAB1484E8C158F2BFB8C5FF41B57A525129131C957B5F93"},
        {"Tiger", "DD00230799F5009FEC6DEBC838BB6A27DF2B9D6F110C7937"},
        {std::string(1000, 'a'), "42C18814A47B257C40160A80FBE604D949613EE029B31FD9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.size());
        FillContextWithJunk();
        const auto message = Bytes(c.message);
        DigestResult r = TigerDigest(message.data(), uint32_t(message.size()), 0, 0);
        EXPECT_EQ(r, DigestAddress(TigerContext.state));  // same buffer every call
        EXPECT_EQ(ResultHex(r, kTigerSize), c.digest);
    }

    // The report line reaches the same engine.
    const ReportLine* line = nullptr;
    for (size_t i = 0; i < kReportLineCount; ++i)
        if (std::strcmp(kReportLines[i].label, "TIGER: ") == 0) line = &kReportLines[i];
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->size, 0x400018u);
    char hex[2 * kMaxDigestLength + 1];
    ReportInput abc{reinterpret_cast<const uint8_t*>("abc"), 3, nullptr, 0};
    ASSERT_EQ(ComputeLineHex(*line, abc, hex), ReportStatus::kOk);
    EXPECT_STREQ(hex, cases[1].digest);
}

TEST(Tiger, PiecesGiveTheOneShotDigest) {
    auto data = RandomBytes(333, 14);
    const std::string whole = DigestHex(TigerDigest, kTigerSize, data);
    FillContextWithJunk();
    EXPECT_EQ(StreamedHex(data, {5, 0, 59, 64, 1, 200, 4}), whole);
    FillContextWithJunk();
    EXPECT_EQ(StreamedHex(data, {333}), whole);

    // Random pieces, empty ones included, across several block and padding borders.
    std::mt19937 gen(3);
    for (size_t n : {55, 56, 63, 64, 65, 119, 120, 128, 1000, 5000}) {
        auto message = RandomBytes(n, uint32_t(n));
        std::vector<uint32_t> pieces;
        for (size_t left = n; left != 0;) {
            uint32_t piece = uint32_t(gen() % 150);
            if (piece > left) piece = uint32_t(left);
            pieces.push_back(piece);
            left -= piece;
        }
        SCOPED_TRACE(n);
        EXPECT_EQ(StreamedHex(message, pieces), DigestHex(TigerDigest, kTigerSize, message));
    }
}

TEST(Tiger, LengthFieldCarriesIntoTheHighWord) {
    // A message of 2^29 + 3 bytes has the bit length 2^32 + 24: Final must write
    // 18 00 00 00 01 00 00 00.  The count is set directly instead of hashing 512 MiB.
    TigerInit();
    TigerContext.state[0] = kTigerInitialA;
    TigerContext.state[1] = kTigerInitialB;
    TigerContext.state[2] = kTigerInitialC;
    TigerUpdate(reinterpret_cast<const uint8_t*>("abc"), 3);
    TigerContext.byteCount += 1u << 29;
    const std::string viaFinal = Hex(TigerFinal(), 24);

    TigerInit();
    TigerContext.state[0] = kTigerInitialA;
    TigerContext.state[1] = kTigerInitialB;
    TigerContext.state[2] = kTigerInitialC;
    const uint8_t tail[] = {'a', 'b', 'c', 0x01};
    std::memcpy(TigerContext.block, tail, sizeof tail);
    const uint8_t length[] = {0x18, 0, 0, 0, 0x01, 0, 0, 0};
    std::memcpy(TigerContext.block + 56, length, sizeof length);
    TigerTransform();
    EXPECT_EQ(viaFinal, StateHex());
}

}  // namespace
