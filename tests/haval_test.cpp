#include "haval.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "report_lines.h"
#include "test_support.h"

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

TEST(Haval, PublishedValuesAndRefusals) {
    // The published values of "" and "abc" for every line are the registry's known answers,
    // checked by the conformance test.
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

}  // namespace
