#include "haval.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "report_lines.h"
#include "test_support.h"

#ifdef KORVADEX_HAVE_MHASH
#include <mhash.h>
#endif

namespace {

const uint32_t kBits[] = {128, 160, 192, 224, 256};
const uint32_t kPasses[] = {3, 4, 5};

SizeWord HavalSize(uint32_t bits) {
    return MakeSizeWord(128, bits / 8);
}

std::string HavalHex(const std::vector<uint8_t>& data, uint32_t bits, uint32_t passes) {
    return DigestHex(HavalDigest, HavalSize(bits), data, bits, passes);
}

// Hashes data through Init, Update in the given pieces (cycled until the data runs out)
// and Final, starting from the standard initial value.
std::string StreamedHex(const std::vector<uint8_t>& data, uint32_t bits, uint32_t passes,
                        const std::vector<size_t>& pieces) {
    HavalInit(bits, passes);
    const uint32_t iv[8] = {0x243F6A88, 0x85A308D3, 0x13198A2E, 0x03707344,
                            0xA4093822, 0x299F31D0, 0x082EFA98, 0xEC4E6C89};
    std::memcpy(HavalContext.state, iv, sizeof iv);
    size_t at = 0;
    for (size_t i = 0; at < data.size(); ++i) {
        size_t n = std::min(pieces[i % pieces.size()], data.size() - at);
        HavalUpdate(data.data() + at, uint32_t(n));
        at += n;
        // Between calls: a partial block, and zeros after it (Final writes only its marker
        // and the trailer).
        EXPECT_LT(HavalContext.blockFill, 128u);
        EXPECT_TRUE(std::all_of(HavalContext.block + std::min(HavalContext.blockFill, 128u),
                                HavalContext.block + 128, [](uint8_t b) { return b == 0; }));
    }
    return Hex(HavalFinal(), bits / 8);
}

struct PublishedCase {
    uint32_t bits;
    uint32_t passes;
    const char* empty;
    const char* abc;
};

const PublishedCase kPublished[] = {
    {128, 3, "C68F39913F901F3DDF44C707357A7D70", "9E40ED883FB63E985D299B40CDA2B8F2"},
    {160, 3, "D353C3AE22A25401D257643836D7231A9A95F953",
     "B21E876C4D391E2A897661149D83576B5530A089"},
    {192, 3, "E9C48D7903EAF2A91C5B350151EFCB175C0FC82DE2289A4E",
     "A7B14C9EF3092319B0E75E3B20B957D180BF20745629E8DE"},
    {224, 3, "C5AAE9D47BFFCAAF84A8C6E7CCACD60A0DD1932BE7B1A192B9214B6D",
     "5BC955220BA2346A948D2848ECA37BDD5ECA6ECCA7B594BD32923FAB"},
    {256, 3, "4F6938531F0BC8991F62DA7BBD6F7DE3FAD44562B8C6F4EBF146D5B4E46F7C17",
     "8699F1E3384D05B2A84B032693E2B6F46DF85A13A50D93808D6874BB8FB9E86C"},
    {128, 4, "EE6BBF4D6A46A679B3A856C88538BB98", "6F2132867C9648419ADCD5013E532FA2"},
    {160, 4, "1D33AAE1BE4146DBAACA0B6E70D7A11F10801525",
     "77ACA22F5B12CC09010AFC9C0797308638B1CB9B"},
    {192, 4, "4A8372945AFA55C7DEAD800311272523CA19D42EA47B72DA",
     "7E29881ED05C915903DD5E24A8E81CDE5D910142AE66207C"},
    {224, 4, "3E56243275B3B81561750550E36FCD676AD2F5DD9E15F2E89E6ED78E",
     "124C43D2BA4884599D013E8C872BFEA4C88B0B6BF6303974CBE04E68"},
    {256, 4, "C92B2E23091E80E375DADCE26982482D197B1A2521BE82DA819F8CA2C579B99B",
     "8F409F1BB6B30C5016FDCE55F652642261575BEDCA0B9533F32F5455459142B5"},
    {128, 5, "184B8482A0C050DCA54B59C7F05BF5DD", "D054232FE874D9C6C6DC8E6A853519EA"},
    {160, 5, "255158CFC1EED1A7BE7C55DDD64D9790415B933B",
     "AE646B04845E3351F00C5161D138940E1FA0C11C"},
    {192, 5, "4839D0626F95935E17EE2FC4509387BBE2CC46CB382FFE85",
     "D12091104555B00119A8D07808A3380BF9E60018915B9025"},
    {224, 5, "4A0513C032754F5582A758D35917AC9ADF3854219B39E3AC77D1837E",
     "8081027A500147C512E5F1055986674D746D92AF4841ABEB89DA64AD"},
    {256, 5, "BE417BB4DD5CFB76C7126F4F8EEB1553A449039307B1A3CD451DBFDC0FBBE330",
     "976CD6254C337969E5913B158392A2921AF16FCA51F5601D486E0A9DE01156E7"},
};

TEST(Haval, PublishedValuesAndRefusals) {
    for (const auto& c : kPublished) {
        SCOPED_TRACE(std::to_string(c.bits) + "/" + std::to_string(c.passes));
        EXPECT_EQ(HavalHex({}, c.bits, c.passes), c.empty);
        EXPECT_EQ(HavalHex(Bytes("abc"), c.bits, c.passes), c.abc);
    }
    const std::vector<uint8_t> a1000(1000, 'a');
    EXPECT_EQ(HavalHex(a1000, 128, 3), "1AF89651BE50FB95DF8543B9EC38EA0F");
    EXPECT_EQ(HavalHex(a1000, 256, 5),
              "895160426130860E829459269691913009542A6AC51752F154847A9359618F44");

    // Out of range: null result and the context exactly as it was.
    const struct {
        uint32_t bits, passes;
    } refused[] = {{127, 3}, {288, 3}, {256, 2}, {256, 6}, {0, 3}, {128, 0}, {0xFFFFFFFF, 5}};
    const uint8_t abc[] = {'a', 'b', 'c'};
    HavalDigest(abc, 3, 160, 4);
    HavalContextType before;
    std::memcpy(&before, &HavalContext, sizeof before);
    for (const auto& r : refused) {
        SCOPED_TRACE(std::to_string(r.bits) + "/" + std::to_string(r.passes));
        EXPECT_EQ(HavalDigest(abc, 3, r.bits, r.passes), 0u);
        EXPECT_EQ(std::memcmp(&before, &HavalContext, sizeof before), 0);
    }
    // The edges of the accepted range.
    EXPECT_NE(HavalDigest(abc, 3, 128, 3), 0u);
    EXPECT_NE(HavalDigest(abc, 3, 287, 5), 0u);
}

TEST(Haval, ReportRowsInOrder) {
    size_t first = 0;
    while (first < kReportLineCount && std::strcmp(kReportLines[first].label, "GOST: ") != 0)
        ++first;
    ASSERT_LT(first, kReportLineCount);
    size_t row = first + 1;
    for (uint32_t bits : kBits) {
        for (uint32_t passes : kPasses) {
            ASSERT_LT(row, kReportLineCount);
            const ReportLine& line = kReportLines[row++];
            const std::string label =
                "HAVAL " + std::to_string(bits) + " (" + std::to_string(passes) + " Rounds): ";
            EXPECT_EQ(line.label, label);
            EXPECT_EQ(line.engine, HavalDigest);
            EXPECT_EQ(line.bits, bits);
            EXPECT_EQ(line.passes, passes);
            EXPECT_EQ(line.size, 0x800000u + bits / 8);
        }
    }
}

TEST(Haval, ResultIsTheStateAndEachCallSeedsAfresh) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    const DigestResult first = HavalDigest(abc, 3, 256, 3);
    EXPECT_EQ(first, DigestAddress(HavalContext.state));
    const std::string firstHex = ResultHex(first, kHaval256Size);
    // Another combination overwrites the same buffer; repeating the first call restores it.
    EXPECT_EQ(HavalDigest(abc, 3, 128, 5), first);
    EXPECT_NE(ResultHex(first, kHaval256Size), firstHex);
    std::memset(&HavalContext, 0xA5, sizeof HavalContext);
    EXPECT_EQ(ResultHex(HavalDigest(abc, 3, 256, 3), kHaval256Size), firstHex);
}

// The last block keeps its trailer after Final.  A count of 2^29 bytes is 2^32 bits: the
// length field must carry the bit that a 32-bit product would lose.
TEST(Haval, TrailerCarriesParametersAndBitLength) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    HavalInit(160, 4);
    HavalContext.byteCount = 0x20000000 - 3;
    HavalUpdate(abc, 3);
    HavalFinal();
    EXPECT_EQ(Hex(HavalContext.block, 4), "61626301");
    EXPECT_EQ(Hex(HavalContext.block + 4, 114), std::string(228, '0'));
    // (160 << 6) | (4 << 3) | 1, then 2^32 as a 64-bit little-endian number.
    EXPECT_EQ(Hex(HavalContext.block + 118, 10), "21280000000001000000");
}

// Lengths around the trailer border and the block border, in one piece and streamed in
// uneven pieces, and after the context was filled with junk.
TEST(Haval, StreamingAndJunkContextAgreeWithOneShot) {
    const std::vector<std::vector<size_t>> splits = {
        {1}, {127}, {128}, {129}, {0, 5, 128, 0, 127, 1, 129}, {117, 1, 10, 200}, {64, 191}};
    for (size_t n : {0, 1, 117, 118, 119, 127, 128, 129, 245, 246, 255, 256, 1000, 4097}) {
        const auto data = RandomBytes(n, uint32_t(n) + 3);
        for (uint32_t passes : kPasses) {
            for (uint32_t bits : kBits) {
                SCOPED_TRACE(std::to_string(n) + " bytes, " + std::to_string(bits) + "/" +
                             std::to_string(passes));
                const std::string whole = HavalHex(data, bits, passes);
                std::memset(&HavalContext, 0xA5, sizeof HavalContext);
                EXPECT_EQ(HavalHex(data, bits, passes), whole);
                for (const auto& pieces : splits)
                    EXPECT_EQ(StreamedHex(data, bits, passes, pieces), whole);
            }
        }
    }
}

#ifdef KORVADEX_PHP
TEST(Haval, AgreesWithPhp) {
    std::vector<std::vector<uint8_t>> messages;
    for (size_t n : DifferentialLengths()) messages.push_back(RandomBytes(n, uint32_t(n) * 5 + 2));
    messages.push_back(std::vector<uint8_t>(1000, 'a'));
    for (uint32_t bits : kBits) {
        for (uint32_t passes : kPasses) {
            const std::string algo = "haval" + std::to_string(bits) + "," + std::to_string(passes);
            SCOPED_TRACE(algo);
            const auto expected = PhpHashes(algo, messages);
            ASSERT_EQ(expected.size(), messages.size());
            for (size_t i = 0; i < messages.size(); ++i)
                ASSERT_EQ(HavalHex(messages[i], bits, passes), expected[i])
                    << messages[i].size() << " bytes";
        }
    }
}
#endif

#ifdef KORVADEX_HAVE_MHASH
TEST(Haval, ThreePassesAgreeWithMhash) {
    const struct {
        uint32_t bits;
        hashid id;
    } algos[] = {{128, MHASH_HAVAL128},
                 {160, MHASH_HAVAL160},
                 {192, MHASH_HAVAL192},
                 {224, MHASH_HAVAL224},
                 {256, MHASH_HAVAL256}};
    for (size_t n : DifferentialLengths()) {
        const auto data = RandomBytes(n, uint32_t(n) * 9 + 4);
        for (const auto& a : algos) {
            SCOPED_TRACE(std::to_string(n) + " bytes, " + std::to_string(a.bits));
            MHASH h = mhash_init(a.id);
            ASSERT_NE(h, MHASH_FAILED);
            if (n != 0) mhash(h, data.data(), uint32_t(n));
            uint8_t out[32];
            mhash_deinit(h, out);
            ASSERT_EQ(HavalHex(data, a.bits, 3), Hex(out, a.bits / 8));
        }
    }
}
#endif

}  // namespace
