// One conformance test over the registry, for every report line: the one-shot entry at
// every start alignment, over every length up to four blocks and twice in a row, against the
// line's known answers and against a million 'a'; for the lines with a streaming form, that
// form fed byte by byte and split at every point, from a context of junk.  The specified
// entries that nothing but the one-shots reach (the Transforms, PanamaPull) are called
// directly.  What is particular to one engine stays in its family's test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "hmac.h"
#include "md4_md5.h"
#include "panama.h"
#include "report_lines.h"
#include "sha0_sha1.h"
#include "sha384_sha512.h"
#include "test_support.h"

namespace {

const uint8_t kNone[1] = {0};

// A copy of n bytes that starts offset bytes past a 64-byte boundary.
class Placed {
public:
    Placed(const uint8_t* data, size_t n, size_t offset) : storage_(n + offset + 64) {
        const size_t base = reinterpret_cast<uintptr_t>(storage_.data()) % 64;
        start_ = storage_.data() + (64 - base) % 64 + offset;
        if (n != 0) std::memcpy(start_, data, n);
    }
    const uint8_t* data() const { return start_; }

private:
    std::vector<uint8_t> storage_;
    uint8_t* start_;
};

std::string OneShot(const ReportLine& line, const uint8_t* data, size_t n) {
    const DigestResult r = line.engine(n != 0 ? data : kNone, uint32_t(n), line.bits, line.passes);
    if (DigestLength(line.size) > 4 && r == 0) return "refused";
    return ResultHex(r, line.size);
}

std::string OneShot(const ReportLine& line, const std::vector<uint8_t>& message, size_t offset) {
    return OneShot(line, Placed(message.data(), message.size(), offset).data(), message.size());
}

// The line's streaming form over n bytes, fed in the given piece sizes in turn (over and
// over; a 0 is an empty update) from a context that was first filled with junk.
std::string Streamed(const ReportLine& line, const uint8_t* data, size_t n,
                     const std::vector<size_t>& pieces) {
    const StreamingEngine& engine = *line.stream;
    std::vector<uint8_t> storage(engine.contextSize + kStreamContextAlign);
    const size_t base = reinterpret_cast<uintptr_t>(storage.data()) % kStreamContextAlign;
    void* context = storage.data() + (kStreamContextAlign - base) % kStreamContextAlign;
    std::memset(context, 0xA5, engine.contextSize);
    if (!engine.init(context, line.bits, line.passes)) return "refused";
    for (size_t at = 0, i = 0; at < n; ++i) {
        const size_t piece = std::min(pieces[i % pieces.size()], n - at);
        engine.update(context, data + at, piece);
        at += piece;
    }
    std::vector<uint8_t> digest(DigestLength(line.size));
    engine.final(context, digest.data());
    return Hex(digest);
}

// Every length up to four blocks (at least 0..257): each block border and the lengths
// where the padding needs a second block lie among them.
size_t LongestTested(const ReportLine& line) {
    return std::max<size_t>(257, 4 * BlockLength(line.size) + 1);
}

TEST(LineConformance, KnownAnswersAtEveryStartAlignment) {
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        SCOPED_TRACE(line.label);
        EXPECT_GT(line.answers->count, 0u);
        for (size_t a = 0; a < line.answers->count; ++a) {
            const KnownAnswer& answer = line.answers->answers[a];
            SCOPED_TRACE(answer.name);
            const std::vector<uint8_t> message = ExpandBytes(answer.message);
            if (answer.key.kind != VectorBytes::kNone) {
                const std::vector<uint8_t> key = ExpandBytes(answer.key);
                HmacStatus status;
                const DigestResult r =
                    HmacDigest(line.engine, line.size, message.empty() ? kNone : message.data(),
                               uint32_t(message.size()), key.empty() ? kNone : key.data(),
                               uint32_t(key.size()), line.bits, line.passes, &status);
                ASSERT_EQ(status, HmacStatus::kOk);
                EXPECT_EQ(ResultHex(r, line.size), answer.hex);
                continue;
            }
            for (size_t offset = 0; offset < 8; ++offset) {
                EXPECT_EQ(OneShot(line, message, offset), answer.hex) << "start + " << offset;
            }
        }
    }
}

// The same message gives the same digest at every start alignment and on a second call
// right after the first; every engine starts afresh.
TEST(LineConformance, EveryLengthAtEveryAlignmentAndTwiceInARow) {
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        SCOPED_TRACE(line.label);
        const std::vector<uint8_t> bytes = RandomBytes(LongestTested(line), uint32_t(i + 1));
        for (size_t n = 0; n <= bytes.size(); ++n) {
            const std::vector<uint8_t> message(bytes.begin(), bytes.begin() + n);
            const std::string first = OneShot(line, message, 0);
            ASSERT_NE(first, "refused");
            EXPECT_EQ(OneShot(line, message, 0), first) << n << " bytes, second call";
            for (size_t offset = 1; offset < 8; ++offset) {
                EXPECT_EQ(OneShot(line, message, offset), first)
                    << n << " bytes at start + " << offset;
            }
            if (HasFailure()) return;
        }
    }
}

// A million 'a', from independent implementations: PHP's hash extension (PHP's crc32 is
// CRC-32/BZIP2 with its bytes reversed), Crypto++ (PANAMA), rhash (Snefru-128), a bitwise
// CRC (the CRC-16s) and a plain SHA-0 checked against FIPS 180's "abc".  Snefru with four
// passes has none; its lines are checked at two alignments only.
const std::map<std::string, std::string> kMillionA = {
    {"ADLER32: ", "15D870F9"},
    {"CRC16: ", "ED59"},
    {"CRC16CCITT: ", "5924"},
    {"CRC32: ", "DC25BFBC"},
    {"CRC32b: ", "97BEDC38"},
    {"GOST: ", "5C00CCC2734CDD3332D3D4749576E3C1A7DBAF0E7EA74E9FA602413C90A129FA"},
    {"HAVAL 128 (3 Rounds): ", "8BEAA7DD5BB591C8009E429D79041813"},
    {"HAVAL 128 (4 Rounds): ", "E3CB98F97B866042D3F72D354DB85B79"},
    {"HAVAL 128 (5 Rounds): ", "6EB2B04D75F666E9E7467901030B7BDD"},
    {"HAVAL 160 (3 Rounds): ", "5EA7FA9A0236AAD66A1DA8F161985C6E3DAE2B81"},
    {"HAVAL 160 (4 Rounds): ", "38296B604F7DB0116BE446CA93096C46CD501B96"},
    {"HAVAL 160 (5 Rounds): ", "D24980CF975AD6026D365CB6C4CE769FB1DD8B36"},
    {"HAVAL 192 (3 Rounds): ", "9F74867A7AA8261BB69CFDB179853F43ED383E2206D4BB89"},
    {"HAVAL 192 (4 Rounds): ", "AA15056802A32823332DD551EBE3E39918D6BC9E1FA293B1"},
    {"HAVAL 192 (5 Rounds): ", "F7E67BA089F640B68C8DF62560F63A61BE5358614463616D"},
    {"HAVAL 224 (3 Rounds): ", "A7863EB11D407176324C44527C53EBCFD5517D27CBD7C334550094A8"},
    {"HAVAL 224 (4 Rounds): ", "0D53E2E5E768707AB94070F6F9B8ACCD9AD831076780443A2E659FDC"},
    {"HAVAL 224 (5 Rounds): ", "D2DC79DB0E5A60BAEF29644DC8F12D6EA617434A6F49C24B55379020"},
    {"HAVAL 256 (3 Rounds): ", "4DEEABD6891D95E5B740BE70531CE1CB70866D12602C0656644AFB0003B69062"},
    {"HAVAL 256 (4 Rounds): ", "907033880F4564527C303BDA8DD55966BB1094C181FC12470ACF8F45DA066CB8"},
    {"HAVAL 256 (5 Rounds): ", "3F2BE6DD53DC7944290E8939192BCCCC8077C99B622E0C20355942DD6A4EC009"},
    {"MD2: ", "8C0A09FF1216ECAF95C8130953C62EFD"},
    {"MD4: ", "BBCE80CC6BB65E5C6745E30D4EECA9A4"},
    {"MD5: ", "7707D6AE4E027C70EEA2A935C2296F21"},
    {"PANAMA: ", "AF9C66FB6058E2232A5DFBA063EE14B0F86F0E334E165812559435464DD9BB60"},
    {"RIPEMD-128: ", "4A7F5723F954EBA1216C9D8F6320431F"},
    {"RIPEMD-160: ", "52783243C1697BDBE16D37F97F68F08325DC1528"},
    {"RIPEMD-256: ", "AC953744E10E31514C150D4D8D7B677342E33399788296E43AE4850CE4F97978"},
    {"RIPEMD-320: ",
     "BDEE37F4371E20646B8B0D862DDA16292AE36F40965E8C8509E63D1DBDDECC503E2B63EB9245BB66"},
    {"SHA-0: ", "3232AFFA48628A26653B5AAA44541FD90D690603"},
    {"SHA-1: ", "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
    {"SHA-256: ", "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
    {"SHA-384: ",
     "9D0E1809716474CB086E834E310A4A1CED149E9C00F248527972CEC5704C2A5B07B8B3DC38ECC4EBAE97DDD87F3D8"
     "985"},
    {"SHA-512: ",
     "E718483D0CE769644E2E42C7BC15B4638E1F98B13B2044285632A803AFA973EBDE0FF244877EA60A4CB0432CE577C"
     "31BEB009C5C2C49AA2E4EADB217AD8CC09B"},
    {"SNEFRU128 (8 Passes): ", "5071F647BC51CFD48F9A8F2D2ED84829"},
    {"SNEFRU256 (8 Passes): ", "4A02811F28C121F2162ABB251A01A2A58E6CFC27534AAB10EA6AF0A8DF17FFBF"},
    {"TIGER: ", "6DB0E2729CBEAD93D715C6A7D36302E9B3CEE0D2BC314B41"},
    {"WHIRLPOOL: ",
     "0C99005BEB57EFF50A7CF005560DDF5D29057FD86B20BFD62DECA0F1CCEA4AF51FC15490EDDC47AF32BB2B66C34FF"
     "9AD8C6008AD677F77126953B226E4ED8B01"},
};

TEST(LineConformance, AMillionA) {
    const std::vector<uint8_t> message(1000000, 'a');
    size_t known = 0;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        SCOPED_TRACE(line.label);
        const std::string digest = OneShot(line, message, 0);
        const auto expected = kMillionA.find(line.label);
        if (expected != kMillionA.end()) {
            EXPECT_EQ(digest, expected->second);
            ++known;
        }
        EXPECT_EQ(OneShot(line, message, 3), digest);
        if (line.stream) {
            EXPECT_EQ(Streamed(line, message.data(), message.size(), {4099}), digest);
        }
    }
    EXPECT_EQ(known, kMillionA.size());  // every label of the table is a line
}

TEST(LineConformance, StreamingFormByteByByteAndAtEverySplit) {
    size_t streaming = 0;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        if (!line.stream) continue;
        ++streaming;
        SCOPED_TRACE(line.label);
        const size_t block = BlockLength(line.size);
        // Every split up to two blocks and one byte, and for the checksums up to 129 bytes,
        // so that both pieces reach the folding and vector paths.
        const size_t everySplitUpTo = 2 * std::max<size_t>(block, 64) + 1;
        const std::vector<uint8_t> bytes = RandomBytes(LongestTested(line), uint32_t(i + 100));
        for (size_t n = 0; n <= bytes.size(); ++n) {
            const std::string expected = OneShot(line, bytes.data(), n);
            EXPECT_EQ(Streamed(line, bytes.data(), n, {1}), expected) << n << " bytes, one by one";
            EXPECT_EQ(Streamed(line, bytes.data(), n, {0, 3, block - 1, 0, block + 1}), expected)
                << n << " bytes in uneven pieces";
            const Placed odd(bytes.data(), n, 5);
            EXPECT_EQ(Streamed(line, odd.data(), n, {7}), expected) << n << " bytes at start + 5";
            if (n <= everySplitUpTo) {
                for (size_t split = 0; split <= n; ++split) {
                    EXPECT_EQ(Streamed(line, bytes.data(), n, {split, n}), expected)
                        << n << " bytes split at " << split;
                }
            }
            if (HasFailure()) return;
        }
    }
    if (streaming == 0) GTEST_SKIP() << "no line of the registry has a streaming form yet";
}

// The padded single block of "abc": 0x80 after the message, the bit length 24 in the last
// eight (or, for 128-byte blocks, sixteen) bytes, little- or big-endian.
std::vector<uint8_t> AbcBlock(size_t size, bool bigEndian) {
    std::vector<uint8_t> block(size, 0);
    std::memcpy(block.data(), "abc", 3);
    block[3] = 0x80;
    block[bigEndian ? size - 1 : size - 8] = 24;
    return block;
}

std::string WordsHex(const uint32_t* words, size_t n, bool bigEndian) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < n; ++i) {
        for (int k = 0; k < 4; ++k)
            bytes.push_back(uint8_t(words[i] >> (bigEndian ? 24 - 8 * k : 8 * k)));
    }
    return Hex(bytes);
}

// Each Transform compresses its context's block into its state: from the initial value,
// the padded block of "abc" gives the published digest of "abc".
TEST(SpecifiedEntries, TransformsCompressTheBlockIntoTheState) {
    const uint32_t kMdInitial[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
    Md4Init();
    std::memcpy(Md4Context.state, kMdInitial, sizeof kMdInitial);
    std::memcpy(Md4Context.block, AbcBlock(64, false).data(), 64);
    Md4Transform();
    EXPECT_EQ(WordsHex(Md4Context.state, 4, false), "A448017AAF21D8525FC10AE87AA6729D");

    Md5Init();
    std::memcpy(Md5Context.state, kMdInitial, sizeof kMdInitial);
    std::memcpy(Md5Context.block, AbcBlock(64, false).data(), 64);
    Md5Transform();
    EXPECT_EQ(WordsHex(Md5Context.state, 4, false), "900150983CD24FB0D6963F7D28E17F72");

    const uint32_t kSha1Initial[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    Sha1Init();
    std::memcpy(Sha1Context.state, kSha1Initial, sizeof kSha1Initial);
    std::memcpy(Sha1Context.block, AbcBlock(64, true).data(), 64);
    Sha1Transform();
    EXPECT_EQ(WordsHex(Sha1Context.state, 5, true), "A9993E364706816ABA3E25717850C26C9CD0D89D");

    const uint64_t kSha384Initial[8] = {0xCBBB9D5DC1059ED8, 0x629A292A367CD507, 0x9159015A3070DD17,
                                        0x152FECD8F70E5939, 0x67332667FFC00B31, 0x8EB44A8768581511,
                                        0xDB0C2E0D64F98FA7, 0x47B5481DBEFA4FA4};
    Sha384Init();
    std::memcpy(Sha384Context.state, kSha384Initial, sizeof kSha384Initial);
    std::memcpy(Sha384Context.block, AbcBlock(128, true).data(), 128);
    Sha384Transform();
    uint32_t halves[12];
    for (int w = 0; w < 6; ++w) {
        halves[2 * w] = uint32_t(Sha384Context.state[w] >> 32);
        halves[2 * w + 1] = uint32_t(Sha384Context.state[w]);
    }
    EXPECT_EQ(WordsHex(halves, 12, true),
              "CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED163"
              "1A8B605A43FF5BED8086072BA1E7CC2358BAECA134C825A7");
}

// PANAMA's Final is a push of the padded last block, 32 pulls and the state's words 9 to
// 16: the same steps through PanamaPush and PanamaPull give PanamaDigest's result.
TEST(SpecifiedEntries, PanamaPushAndPullGiveTheDigest) {
    const std::vector<uint8_t> message = RandomBytes(45, 7);
    const std::string expected = ResultHex(PanamaDigest(message.data(), 45, 0, 0), kPanamaSize);
    PanamaContextType& c = PanamaContext;  // the one-shot left its padding pattern in place
    PanamaInit();
    PanamaUpdate(message.data(), 45);
    const uint32_t fill = 45 % 32;
    std::memcpy(c.block + fill, c.padTemplate, 32 - fill);
    PanamaPush(c, c.block);
    for (int i = 0; i < 32; ++i) PanamaPull(c);
    EXPECT_EQ(WordsHex(c.state + 9, 8, false), expected);
}

}  // namespace
