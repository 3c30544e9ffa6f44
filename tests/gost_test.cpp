#include "gost.h"

#include <gtest/gtest.h>

#include <cstring>

#include "test_support.h"

namespace {

TEST(Gost, PublishedValues) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "CE85B99CC46752FFFEE35CAB9A7B0278ABB4C2D2055CFF685AF4912C49490F8D"},
        {"a", "D42C539E367C66E9C88A801F6649349C21871B4344C6A573F849FDCE62F314DD"},
        {"abc", "F3134348C44FB1B2A277729E2285EBB5CB5E0F29C975BC753B70497C06A4D51D"},
        {"message digest", "AD4434ECB18F2C99B60CBE59EC3D2469582B65273F48DE72DB2FDE16A4889A4D"},
        {"This is message, length=32 bytes",
         "B1C466D37519B82E8319819FF32595E047A28CB6F83EFF1C6916A815A637FFFA"},
        {"Suppose the original message has length = 50 bytes",
         "471ABA57A60A770D3A76130635C1FBEA4EF14DE51F78B4AE57DD893B62F55208"},
        {std::string(128, 'U'), "53A3A3ED25180CEF0C1D85A074273E551C25660A87062A52D926A9E8FE5733A4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(DigestHex(GostDigest, kGostSize, c.message), c.digest);
        // A context full of junk must not leak into the next one-shot.
        std::memset(&GostContext, 0xA5, sizeof GostContext);
        EXPECT_EQ(DigestHex(GostDigest, kGostSize, c.message), c.digest);
    }
}

TEST(Gost, ControlSumCarriesThroughAllWords) {
    std::vector<uint8_t> ones(32, 0xFF), one(32, 0);
    one[0] = 1;
    GostInit();
    GostUpdate(ones.data(), 32);
    GostUpdate(one.data(), 32);
    GostFinal();
    for (uint32_t word : GostContext.sum) EXPECT_EQ(word, 0u);
    EXPECT_EQ(GostContext.bitCount[0], 512u);
}

TEST(Gost, TablesAreBuiltOnlyOnce) {
    GostDigest(nullptr, 0, 0, 0);
    EXPECT_EQ(tablesBuilt.load(), 1u);
    // A later seeding must leave the tables alone: a marked entry survives it.
    const uint32_t saved = sboxTables[2][77];
    sboxTables[2][77] ^= 0x100;
    GostInit();
    EXPECT_EQ(sboxTables[2][77], saved ^ 0x100);
    sboxTables[2][77] = saved;
    EXPECT_EQ(tablesBuilt.load(), 1u);
}

TEST(Gost, StreamingInUnevenPiecesMatchesOneShot) {
    const auto data = RandomBytes(1000, 91);
    const std::string whole = DigestHex(GostDigest, kGostSize, data);
    // Pieces that end exactly on block borders, that fill a held-back block, and empty
    // pieces between them.
    const std::vector<std::vector<size_t>> splits = {
        {1000},          {32, 968},         {64, 0, 936},      {16, 16, 32, 936},
        {31, 1, 0, 968}, {33, 31, 96, 840}, {1, 2, 3, 4, 990}, {96, 64, 32, 808}};
    for (const auto& pieces : splits) {
        GostInit();
        size_t at = 0;
        for (size_t n : pieces) {
            GostUpdate(data.data() + at, uint32_t(n));
            at += n;
        }
        ASSERT_EQ(at, data.size());
        EXPECT_EQ(Hex(GostFinal(), 32), whole);
    }
}

}  // namespace
