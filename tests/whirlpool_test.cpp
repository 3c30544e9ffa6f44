#include "whirlpool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "byte_order.h"
#include "digest_tables.h"
#include "report_text.h"
#include "test_support.h"

namespace {

void FillContextWithJunk() {
    std::memset(&WhirlpoolContext, 0xA5, sizeof WhirlpoolContext);
}

// Init and the round constants, ready for Update.
void Seed() {
    WhirlpoolInit();
    std::memcpy(WhirlpoolContext.roundConstants, kWhirlpoolRoundConstants,
                sizeof WhirlpoolContext.roundConstants);
}

// The digest bytes of the chaining value: rows H0 to H7, most significant byte first.
std::string StateHex() {
    uint8_t bytes[64];
    for (int i = 0; i < 8; ++i) StoreBe64(bytes + 8 * i, WhirlpoolContext.state[i]);
    return Hex(bytes, sizeof bytes);
}

// Seed, one Update per piece length (until data runs out), Final.
std::string StreamedHex(const std::vector<uint8_t>& data, const std::vector<uint32_t>& pieces) {
    Seed();
    WhirlpoolUpdate(nullptr, 0);  // an empty piece reads nothing
    size_t at = 0;
    for (uint32_t n : pieces) {
        WhirlpoolUpdate(data.data() + at, n);
        at += n;
    }
    EXPECT_EQ(at, data.size());
    return Hex(WhirlpoolFinal(), 64);
}

TEST(Whirlpool, PublishedValues) {
    struct {
        std::string message;
        const char* digest;
    } const cases[] = {
        {"",
         "19FA61D75522A4669B44E39C1D2E1726C530232130D407F89AFEE0964997F7A7"
         "3E83BE698B288FEBCF88E3E03C4F0757EA8964E59B63D93708B138CC42A66EB3"},
        {"abc",
         "4E2448A4C6F486BB16B6562C73B4020BF3043E3A731BCE721AE1B303D97E6D4C"
         "7181EEBDB6C57E277D0E34957114CBD6C797FC9D95D8B582D225292076D4EEF5"},
        {"The quick brown fox jumps over the lazy dog",
         "B97DE512E91E3828B40D2B0FDCE9CEB3C4A71F9BEA8D88E75C4FA854DF36725F"
         "D2B52EB6544EDCACD6F8BEDDFEA403CB55AE31F03AD62A5EF54E42EE82C3FB35"},
        {std::string(1000, 'a'),
         "FE24B173807796FDAC15EBCAF5769F661695601FFEB64490EC0EECD30BD5B2C3"
         "773B36D4EDAF3175378B8DF114E9496C833EF13606E7AB3D455681E98ECC818F"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.size());
        FillContextWithJunk();
        const auto message = Bytes(c.message);
        DigestResult r = WhirlpoolDigest(message.data(), uint32_t(message.size()), 0, 0);
        EXPECT_EQ(r, DigestAddress(WhirlpoolContext.state));  // same buffer every call
        EXPECT_EQ(ResultHex(r, kWhirlpoolSize), c.digest);
    }

    // The report line reaches the same engine.
    const ReportLine* line = nullptr;
    for (size_t i = 0; i < kReportLineCount; ++i)
        if (std::strcmp(kReportLines[i].label, "WHIRLPOOL: ") == 0) line = &kReportLines[i];
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->size, 0x400040u);
    char hex[2 * kMaxDigestLength + 1];
    ReportInput abc{reinterpret_cast<const uint8_t*>("abc"), 3, nullptr, 0};
    ASSERT_EQ(ComputeLineHex(*line, abc, hex), ReportStatus::kOk);
    EXPECT_STREQ(hex, cases[1].digest);
}

TEST(Whirlpool, PiecesGiveTheOneShotDigest) {
    auto data = RandomBytes(333, 15);
    const std::string whole = DigestHex(WhirlpoolDigest, kWhirlpoolSize, data);
    FillContextWithJunk();
    EXPECT_EQ(StreamedHex(data, {5, 0, 59, 64, 1, 200, 4}), whole);
    FillContextWithJunk();
    EXPECT_EQ(StreamedHex(data, {333}), whole);

    // Random pieces, empty ones included, across several block and padding borders.
    std::mt19937 gen(4);
    for (size_t n : {31, 32, 33, 63, 64, 65, 95, 96, 128, 1000, 5000}) {
        auto message = RandomBytes(n, uint32_t(n) + 1);
        std::vector<uint32_t> pieces;
        for (size_t left = n; left != 0;) {
            uint32_t piece = uint32_t(gen() % 150);
            if (piece > left) piece = uint32_t(left);
            pieces.push_back(piece);
            left -= piece;
        }
        SCOPED_TRACE(n);
        EXPECT_EQ(StreamedHex(message, pieces),
                  DigestHex(WhirlpoolDigest, kWhirlpoolSize, message));
    }
}

TEST(Whirlpool, LengthFieldCarriesIntoTheHighWord) {
    // A message of 2^29 + 3 bytes has the bit length 2^32 + 24: Final must end the block
    // with 00 00 00 01 00 00 00 18.  The count is set directly instead of hashing 512 MiB.
    Seed();
    WhirlpoolUpdate(reinterpret_cast<const uint8_t*>("abc"), 3);
    WhirlpoolContext.byteCount += 1u << 29;
    const std::string viaFinal = Hex(WhirlpoolFinal(), 64);

    Seed();
    const uint8_t tail[] = {'a', 'b', 'c', 0x80};
    std::memcpy(WhirlpoolContext.block, tail, sizeof tail);
    const uint8_t length[] = {0, 0, 0, 0x01, 0, 0, 0, 0x18};
    std::memcpy(WhirlpoolContext.block + 56, length, sizeof length);
    WhirlpoolTransform();
    EXPECT_EQ(viaFinal, StateHex());
}

}  // namespace
