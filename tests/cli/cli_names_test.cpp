// The names of the lines other tools use, and the list lines they write.
#include <gtest/gtest.h>

#include <random>

#include "common/algorithm_names.h"
#include "lists/checksum_lines.h"
#include "common/line_names.h"

namespace {

std::string NameOf(long line) {
    return line < 0 ? "(none)" : LineName(kReportLines[line]);
}

TEST(AlgorithmNames, OtherToolsNamesChooseTheSameVariant) {
    const struct {
        const char* name;
        const char* line;
    } cases[] = {
        {"sha256", "SHA-256"},
        {"SHA256", "SHA-256"},
        {"sha-256", "SHA-256"},
        {"SHA2-256", "SHA-256"},
        {"ripemd160", "RIPEMD-160"},
        {"rmd160", "RIPEMD-160"},
        {"RMD160", "RIPEMD-160"},
        {"md4", "MD4"},
        {"md5", "MD5"},
        {"sha1", "SHA-1"},
        {"tiger", "TIGER"},
        {"tiger192,3", "TIGER"},
        {"whirlpool", "WHIRLPOOL"},
        {"gost94", "GOST"},
        {"GOST94", "GOST"},
        {"snefru128", "SNEFRU128 (8 Passes)"},
        {"SNEFRU-128", "SNEFRU128 (8 Passes)"},
        {"snefru256", "SNEFRU256 (8 Passes)"},
        {"snefru", "SNEFRU256 (8 Passes)"},
        {"snefru256,4", "SNEFRU256 (4 Passes)"},
        {"haval128,3", "HAVAL 128 (3 Rounds)"},
        {"haval-128-3", "HAVAL 128 (3 Rounds)"},
        {"haval256,5", "HAVAL 256 (5 Rounds)"},
        {"haval 192 (4 rounds)", "HAVAL 192 (4 Rounds)"},
        {"crc32", "CRC32"},
        {"CRC-32/ISO-HDLC", "CRC32"},
        {"crc32b", "CRC32b"},
        {"crc-32/bzip2", "CRC32b"},
        {"adler32", "ADLER32"},
        {"Adler-32", "ADLER32"},
        {"sha0", "SHA-0"},
        {"rmd320", "RIPEMD-320"},
        {"crc-16/ibm-3740", "CRC16CCITT"},
        {"sha2-512", "SHA-512"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NameOf(FindAlgorithm(c.name)), c.line) << c.name;
    }
    // Every name of every row leads back to its row: no row's name is taken by another's.
    for (size_t line = 0; line < kReportLineCount; ++line) {
        for (const std::string& name : NamesOf(kReportLines[line])) {
            EXPECT_EQ(FindAlgorithm(name), long(line)) << name;
        }
        EXPECT_EQ(FindAlgorithm(BsdTag(line)), long(line)) << BsdTag(line);
        EXPECT_EQ(FindReportLine(kReportLines[line].label), &kReportLines[line]);
    }
    std::string why;
    for (const char* refused :
         {"gost94-cryptopro", "gost-crypto", "crc", "sha", "haval160", "tiger128,3"}) {
        EXPECT_EQ(FindAlgorithm(refused, &why), -2) << refused;
        EXPECT_FALSE(why.empty());
    }
    EXPECT_EQ(FindAlgorithm("blake2b"), -1);
    EXPECT_NE(NearestAlgorithmNames("sha265").find("SHA-256"), std::string::npos)
        << NearestAlgorithmNames("sha265");
    EXPECT_NE(AlgorithmNamesNote(size_t(FindAlgorithm("crc32b"))).find("PHP"), std::string::npos);
}

TEST(AlgorithmNames, ListNamesSayTheAlgorithm) {
    const struct {
        const char* path;
        const char* line;
    } cases[] = {
        {"SHA256SUMS", "SHA-256"}, {"dir/MD5SUMS", "MD5"},  {"x.sha1", "SHA-1"},
        {"x.md5sum", "MD5"},       {"files.sfv", "CRC32"},  {"sha512sums.txt", "SHA-512"},
        {"list.txt", "(none)"},    {"CHECKSUMS", "(none)"},
    };
    for (const auto& c : cases) EXPECT_EQ(NameOf(AlgorithmOfListName(c.path)), c.line) << c.path;
}

TEST(ChecksumLines, ReadsTheFormsOfEveryTool) {
    const std::string md5 = "900150983cd24fb0d6963f7d28e17f72";
    const struct {
        std::string text;
        bool sfv;
        const char* name;
        const char* line;
    } cases[] = {
        {md5 + "  abc", false, "abc", "(none)"},
        {md5 + " *abc", false, "abc", "(none)"},
        {md5 + "  a b  c \r", false, "a b  c ", "(none)"},
        {"\\" + md5 + "  new\\nline\\\\x", false, "new\nline\\x", "(none)"},
        {"MD5 (abc) = " + md5, false, "abc", "MD5"},
        {"MD4   (a (b) = c) = " + md5, false, "a (b) = c", "MD4"},
        {"\\MD5 (new\\nline) = " + md5, false, "new\nline", "MD5"},
        {"RIPEMD-128(abc)= " + md5, false, "abc", "RIPEMD-128"},
        {"HAVAL 128 (3 Rounds) (abc) = " + md5, false, "abc", "HAVAL 128 (3 Rounds)"},
        {"HMAC-HAVAL 128 (3 Rounds) (b) = " + md5, false, "b", "HAVAL 128 (3 Rounds)"},
        {"HMAC-SNEFRU256 (4 Passes) (a) = " + md5 + md5, false, "a", "SNEFRU256 (4 Passes)"},
        {"HMAC-SNEFRU-256 (4 Passes) (a) = " + md5 + md5, false, "4 Passes) (a",
         "SNEFRU256 (8 Passes)"},
        {"abc 352441C2", false, "abc", "CRC32"},
        {"a b 352441C2", true, "a b", "CRC32"},
        {md5 + " abc", false, "abc", "(none)"},
        {md5 + "\t*abc", false, "abc", "(none)"},
        {md5 + "\t abc", false, "abc", "(none)"},
        {"deadbeef 352441C2", false, "deadbeef", "CRC32"},
    };
    for (const auto& c : cases) {
        ChecksumLine entry;
        std::string reason;
        ASSERT_EQ(ParseChecksumLine(c.text, c.sfv, entry, reason), ChecksumLineKind::kEntry)
            << c.text << ": " << reason;
        EXPECT_EQ(entry.name, c.name) << c.text;
        EXPECT_EQ(NameOf(entry.line), c.line) << c.text;
        EXPECT_EQ(entry.keyed, c.text.compare(0, 5, "HMAC-") == 0) << c.text;
    }
    for (const char* ignored : {"", "# comment", "; sfv comment", "\r"}) {
        ChecksumLine entry;
        std::string reason;
        EXPECT_EQ(ParseChecksumLine(ignored, false, entry, reason), ChecksumLineKind::kIgnored);
    }
    for (const std::string& bad : std::vector<std::string>{
             md5, md5 + "  ", md5.substr(1) + "  abc", "\\" + md5 + "  bad\\escape",
             "BLAKE2b (abc) = " + md5, "MD5 (abc) = ", "junk", "(abc) = " + md5, "   ", " \t\r",
             "  # comment", md5 + " *", md5 + "\t ", "face the music"}) {
        ChecksumLine entry;
        std::string reason;
        EXPECT_EQ(ParseChecksumLine(bad, false, entry, reason), ChecksumLineKind::kMalformed)
            << bad;
        EXPECT_FALSE(reason.empty());
    }
    std::mt19937 random(18);
    for (int i = 0; i < 2000; ++i) {
        std::string garbage(random() % 80, '\0');
        for (char& c : garbage) c = char(random());
        ChecksumLine entry;
        std::string reason;
        ParseChecksumLine(garbage, i % 2 == 0, entry, reason);
    }
    bool mark = false;
    EXPECT_EQ(EscapeName("a\\b\nc\rd", mark), "a\\\\b\\nc\\rd");
    EXPECT_TRUE(mark);
    EXPECT_EQ(EscapeName("plain", mark), "plain");
    EXPECT_FALSE(mark);
}

TEST(ChecksumLines, TheFirstUntaggedLineDecidesTheSeparatorAsInCoreutils) {
    const std::string md5 = "900150983cd24fb0d6963f7d28e17f72";
    const std::string sha1 = "a9993e364706816aba3e25717850c26c9cd0d89d";
    const struct {
        std::vector<std::string> lines;
        std::vector<std::string> names;  // "" for a line refused
    } cases[] = {
        {{md5 + " a", md5 + "  b", md5 + " *c"}, {"a", " b", "*c"}},
        {{md5 + "  a", md5 + " b", md5 + " *c"}, {"a", "", "c"}},
        // An SFV line does not decide, while the list's form is not known.
        {{"deadbeef 352441C2", md5 + "  b"}, {"deadbeef", "b"}},
    };
    for (const auto& c : cases) {
        ListForm form;
        for (size_t i = 0; i < c.lines.size(); ++i) {
            ChecksumLine entry;
            std::string reason;
            const ChecksumLineKind kind =
                ParseChecksumLine(c.lines[i], false, entry, reason, &form);
            EXPECT_EQ(kind == ChecksumLineKind::kEntry ? entry.name : "", c.names[i]) << c.lines[i];
        }
    }
    std::vector<ChecksumLine> columns;
    ASSERT_TRUE(ParseDigestColumns("a b  " + md5 + "  " + sha1 + "\r", columns));
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[0].name, "a b");
    EXPECT_EQ(columns[0].hex, md5);
    EXPECT_EQ(columns[1].hex, sha1);
    ASSERT_TRUE(ParseDigestColumns("a b " + md5 + " " + sha1, columns));
    EXPECT_EQ(columns[0].name, "a b");
    for (const std::string& bad :
         {md5 + "  " + sha1, "a  " + md5, "a  " + md5 + "  " + sha1 + "0"}) {
        EXPECT_FALSE(ParseDigestColumns(bad, columns)) << bad;
    }
}

}  // namespace
