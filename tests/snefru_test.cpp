#include "snefru.h"

#include <gtest/gtest.h>

#include <cstring>

#include "digest_tables.h"
#include "test_support.h"

namespace {

SizeWord SnefruSize(uint32_t bits) {
    return bits == 128 ? kSnefru128Size : kSnefru256Size;
}

struct SnefruCase {
    std::string message;
    uint32_t bits, passes;
    const char* digest;
};

TEST(Snefru, PublishedValues) {
    const SnefruCase cases[] = {
        {"", 128, 4, "5148516AE7FC7E89AD8E0B0B8D76AC78"},
        {"", 128, 8, "8617F366566A011837F4FB4BA5BEDEA2"},
        {"", 256, 4, "5148516AE7FC7E89AD8E0B0B8D76AC782498615818FB8EEB08CBAB9F07C82A73"},
        {"", 256, 8, "8617F366566A011837F4FB4BA5BEDEA2B892F3ED8B894023D16AE344B2BE5881"},
        {"abc", 128, 4, "B6029A546373F33217BE9515800C5E15"},
        {"abc", 128, 8, "553D0648928299A0F22A275A02C83B10"},
        {"abc", 256, 4, "BDA1E7EF98134710FDC3A1BFA714993EF35B22D81B1608D09FCA2BE479DF338C"},
        {"abc", 256, 8, "7D033205647A2AF3DC8339F6CB25643C33EBC622D32979C4B612B02C4903031B"},
        {"a", 128, 8, "BF5CE540AE51BC50399F96746C5A15BD"},
        {"a", 256, 8, "45161589AC317BE0CEBA70DB2573DDDA6E668A31984B39BF65E4B664B584C63D"},
        {"message digest", 128, 8, "96D6F2F4112C4BAF29F653F1594E2D5D"},
        {"message digest", 256, 8,
         "C5D4CE38DAA043BDD59ED15DB577500C071B917C1A46CD7B4D30B44A44C86DF8"},
        // One whole block followed by the length block, and a block completed by zeros.
        {std::string(32, 'a'), 256, 8,
         "DBC6238CC321AECBA8F057213C3A605D74F21EC352E2183BC3B3853064FFA732"},
        {std::string(48, 'a'), 128, 8, "EEF38987A435351AB540E0BD15296C6A"},
        {std::string(50, 'a'), 128, 8, "7EAA2EB5DA0535C74006F295D767866A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.size());
        SCOPED_TRACE(c.passes);
        EXPECT_EQ(DigestHex(SnefruDigest, SnefruSize(c.bits), c.message, c.bits, c.passes),
                  c.digest);
        // A context full of junk must not leak into the next one-shot.
        std::memset(&SnefruContext, 0xA5, sizeof SnefruContext);
        EXPECT_EQ(DigestHex(SnefruDigest, SnefruSize(c.bits), c.message, c.bits, c.passes),
                  c.digest);
    }
}

TEST(Snefru, RefusesParametersOutsideItsRange) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    ASSERT_NE(SnefruDigest(abc, 3, 256, 8), 0u);
    SnefruContextType before;
    std::memcpy(&before, &SnefruContext, sizeof before);
    const uint32_t bad[][2] = {{0, 8},   {127, 8}, {129, 8},  {160, 8},         {192, 4},
                               {224, 4}, {512, 8}, {1024, 4}, {128, 0},         {256, 0},
                               {128, 9}, {256, 9}, {256, 16}, {128, 0xFFFFFFFF}};
    for (const auto& p : bad) {
        EXPECT_EQ(SnefruDigest(abc, 3, p[0], p[1]), 0u) << p[0] << " bits, " << p[1] << " passes";
        EXPECT_EQ(std::memcmp(&before, &SnefruContext, sizeof before), 0);
    }
    for (uint32_t bits : {128u, 256u})
        for (uint32_t passes : {1u, 8u}) EXPECT_NE(SnefruDigest(abc, 3, bits, passes), 0u);
}

// Snefru written plainly from its definition, one step at a time: the check for the pass
// counts that no library carries.
std::string PlainSnefru(const std::vector<uint8_t>& message, uint32_t bits, uint32_t passes) {
    const size_t words = bits / 32, blockSize = 64 - bits / 8;
    std::vector<uint8_t> m = message;
    m.resize((m.size() + blockSize - 1) / blockSize * blockSize + blockSize);
    const uint64_t bitLength = uint64_t(message.size()) * 8;
    for (int i = 0; i < 8; ++i) m[m.size() - 1 - i] = uint8_t(bitLength >> (8 * i));
    uint32_t h[8] = {};
    for (size_t at = 0; at < m.size(); at += blockSize) {
        uint32_t w[16];
        for (size_t i = 0; i < words; ++i) w[i] = h[i];
        for (size_t i = words; i < 16; ++i) {
            const uint8_t* b = &m[at + 4 * (i - words)];
            w[i] = uint32_t(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
        }
        for (uint32_t p = 0; p < passes; ++p) {
            for (int shift : {16, 8, 16, 24}) {
                for (int k = 0; k < 16; ++k) {
                    const uint32_t t = kSnefruSboxes[2 * p + (k / 2) % 2][w[k] & 0xFF];
                    w[(k + 15) % 16] ^= t;
                    w[(k + 1) % 16] ^= t;
                }
                for (uint32_t& x : w) x = x >> shift | x << (32 - shift);
            }
        }
        for (size_t i = 0; i < words; ++i) h[i] ^= w[15 - i];
    }
    std::vector<uint8_t> out;
    for (size_t i = 0; i < words; ++i)
        for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(h[i] >> s));
    return Hex(out);
}

TEST(Snefru, AgreesWithPlainTranscriptionForEveryPassCount) {
    for (size_t n : {0, 1, 31, 32, 33, 47, 48, 49, 95, 96, 97, 200, 1000, 4097}) {
        const auto data = RandomBytes(n, uint32_t(n) + 3);
        for (uint32_t bits : {128u, 256u}) {
            for (uint32_t passes = 1; passes <= 8; ++passes) {
                SCOPED_TRACE(testing::Message() << n << " bytes, " << bits << "/" << passes);
                EXPECT_EQ(DigestHex(SnefruDigest, SnefruSize(bits), data, bits, passes),
                          PlainSnefru(data, bits, passes));
            }
        }
    }
}

TEST(Snefru, StreamingInUnevenPiecesMatchesOneShot) {
    const auto data = RandomBytes(1000, 77);
    const std::vector<std::vector<size_t>> splits = {
        {1000}, {0, 1, 47, 48, 49, 0, 855}, {32, 32, 32, 904}, {13, 200, 7, 96, 684}};
    for (uint32_t bits : {128u, 256u}) {
        for (uint32_t passes : {4u, 8u}) {
            const std::string whole = DigestHex(SnefruDigest, SnefruSize(bits), data, bits, passes);
            for (const auto& pieces : splits) {
                SnefruInit(bits, passes);
                size_t at = 0;
                for (size_t n : pieces) {
                    SnefruUpdate(data.data() + at, uint32_t(n));
                    at += n;
                }
                ASSERT_EQ(at, data.size());
                SnefruPad();
                SnefruUpdate(SnefruContext.padding, SnefruContext.padLength);
                EXPECT_EQ(Hex(SnefruFinal(), bits / 8), whole) << bits << "/" << passes;
            }
        }
    }
}

}  // namespace
