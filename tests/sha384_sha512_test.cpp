#include "sha384_sha512.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "report_lines.h"
#include "test_support.h"

#ifdef KORVADEX_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

// Everything a test needs to drive one of the two engines, one-shot or in pieces.
struct Engine {
    const char* label;
    DigestFn digest;
    SizeWord size;
    Sha512ContextData* context;
    void (*init)();
    void (*update)(const uint8_t*, uint32_t);
    const uint8_t* (*final)();
    uint64_t initialValue[8];
};

const Engine kEngines[] = {
    {"SHA-384: ",
     Sha384Digest,
     kSha384Size,
     &Sha384Context,
     Sha384Init,
     Sha384Update,
     Sha384Final,
     {0xCBBB9D5DC1059ED8, 0x629A292A367CD507, 0x9159015A3070DD17, 0x152FECD8F70E5939,
      0x67332667FFC00B31, 0x8EB44A8768581511, 0xDB0C2E0D64F98FA7, 0x47B5481DBEFA4FA4}},
    {"SHA-512: ",
     Sha512Digest,
     kSha512Size,
     &Sha512Context,
     Sha512Init,
     Sha512Update,
     Sha512Final,
     {0x6A09E667F3BCC908, 0xBB67AE8584CAA73B, 0x3C6EF372FE94F82B, 0xA54FF53A5F1D36F1,
      0x510E527FADE682D1, 0x9B05688C2B3E6C1F, 0x1F83D9ABFB41BD6B, 0x5BE0CD19137E2179}},
};
const Engine& kSha384 = kEngines[0];
const Engine& kSha512 = kEngines[1];

void FillWithJunk(const Engine& engine) {
    std::memset(engine.context, 0xA5, sizeof *engine.context);
}

TEST(Sha384Sha512, PublishedValues) {
    const std::string k112 =
        "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
        "mnopqrsmnopqrstnopqrstu";
    const struct {
        const Engine& engine;
        std::string message;
        const char* digest;
    } kCases[] = {
        {kSha384, "",
         "38B060A751AC96384CD9327EB1B1E36A21FDB71114BE07434C0CC7BF63F6E1DA274EDEBFE76F65FBD51AD2F14"
         "898B95B"},
        {kSha384, "abc",
         "CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED1631A8B605A43FF5BED8086072BA1E7CC2358BAECA13"
         "4C825A7"},
        {kSha384, k112,
         "09330C33F71147E83D192FC782CD1B4753111B173B3B05D22FA08086E3B0F712FCC7C71A557E2DB966C3E9FA9"
         "1746039"},
        {kSha384, std::string(1000, 'a'),
         "F54480689C6B0B11D0303285D9A81B21A93BCA6BA5A1B4472765DCA4DA45EE328082D469C650CD3B61B16D326"
         "6AB8CED"},
        {kSha512, "",
         "CF83E1357EEFB8BDF1542850D66D8007D620E4050B5715DC83F4A921D36CE9CE47D0D13C5D85F2B0FF8318D28"
         "77EEC2F63B931BD47417A81A538327AF927DA3E"},
        {kSha512, "abc",
         "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A2192992A274FC1A836BA3C23A"
         "3FEEBBD454D4423643CE80E2A9AC94FA54CA49F"},
        {kSha512, k112,
         "8E959B75DAE313DA8CF4F72814FC143F8F7779C6EB9F7FA17299AEADB6889018501D289E4900F7E4331B99DEC"
         "4B5433AC7D329EEB6DD26545E96E55B874BE909"},
        {kSha512, std::string(1000, 'a'),
         "67BA5535A46E3F86DBFBED8CBBAF0125C76ED549FF8B0B9E03E0C88CF90FA634FA7B12B47D77B694DE488ACE8"
         "D9A65967DC96DF599727D3292A8D9D447709C97"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.engine.label) + std::to_string(c.message.size()));
        FillWithJunk(c.engine);
        EXPECT_EQ(DigestHex(c.engine.digest, c.engine.size, c.message), c.digest);
    }

    for (const Engine& engine : kEngines) {
        const ReportLine* line = nullptr;
        for (size_t i = 0; i < kReportLineCount; ++i)
            if (std::strcmp(kReportLines[i].label, engine.label) == 0) line = &kReportLines[i];
        ASSERT_NE(line, nullptr) << engine.label;
        EXPECT_EQ(line->engine, engine.digest);
        EXPECT_EQ(line->size, engine.size);
    }
    EXPECT_EQ(kSha384.size, 0x800030u);
    EXPECT_EQ(kSha512.size, 0x800040u);
}

#ifdef KORVADEX_HAVE_OPENSSL
// The messages start one byte into their buffer, so the blocks are read unaligned.
TEST(Sha384Sha512, AgreeWithOpenSsl) {
    const EVP_MD* oracles[] = {EVP_sha384(), EVP_sha512()};
    for (size_t n : DifferentialLengths()) {
        const std::vector<uint8_t> buffer = RandomBytes(n + 1, uint32_t(n) * 5 + 3);
        const uint8_t* data = buffer.data() + 1;
        for (int e = 0; e < 2; ++e) {
            SCOPED_TRACE(std::string(kEngines[e].label) + std::to_string(n));
            uint8_t expected[EVP_MAX_MD_SIZE];
            unsigned length = 0;
            ASSERT_EQ(EVP_Digest(data, n, expected, &length, oracles[e], nullptr), 1);
            EXPECT_EQ(ResultHex(kEngines[e].digest(data, uint32_t(n), 0, 0), kEngines[e].size),
                      Hex(expected, length));
        }
    }
}
#endif

// Init, the initial value stored by hand, Update over pieces whose sizes cycle through
// `pieces`, Final: the hex of the digest.
std::string DigestInPieces(const Engine& engine, const std::vector<uint8_t>& message,
                           const std::vector<uint32_t>& pieces) {
    FillWithJunk(engine);
    engine.init();
    for (int i = 0; i < 8; ++i) engine.context->state[i] = engine.initialValue[i];
    size_t at = 0;
    for (size_t i = 0; at < message.size(); ++i) {
        uint32_t piece = pieces[i % pieces.size()];
        if (piece > message.size() - at) piece = uint32_t(message.size() - at);
        engine.update(message.data() + at, piece);
        at += piece;
    }
    return Hex(engine.final(), DigestLength(engine.size));
}

TEST(Sha384Sha512, PiecesGiveTheOneShotDigest) {
    const std::vector<std::vector<uint32_t>> kPatterns = {
        {1}, {127}, {128}, {129}, {0, 1, 127, 0, 128, 129}, {1, 0, 126, 1, 300, 128, 221}};
    std::vector<size_t> lengths = DifferentialLengths();
    lengths.push_back(777);  // exactly one round of the last pattern
    for (size_t n : lengths) {
        const std::vector<uint8_t> message = RandomBytes(n, uint32_t(n) + 77);
        for (const Engine& engine : kEngines) {
            SCOPED_TRACE(std::string(engine.label) + std::to_string(n));
            const std::string whole = DigestHex(engine.digest, engine.size, message);
            for (const auto& pattern : kPatterns)
                ASSERT_EQ(DigestInPieces(engine, message, pattern), whole);
        }
    }
}

// The count is 64 bits wide: (2^32 - 1) bytes and one more make 2^32 bytes.
TEST(Sha384Sha512, BitCountCarriesIntoItsHighHalf) {
    Sha512Init();
    Sha512Context.byteCount = (uint64_t(1) << 32) - 1;
    Sha512Update(reinterpret_cast<const uint8_t*>("a"), 1);
    EXPECT_EQ(Sha512Context.byteCount, uint64_t(1) << 32);
}

}  // namespace
