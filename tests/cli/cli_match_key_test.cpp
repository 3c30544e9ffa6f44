// --match, and keyed reports with --key and --key-file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "cli_test_support.h"
#include "common/line_names.h"
#include "program_runner.h"
#include "test_support.h"

namespace {

TEST(CliMatch, FindsTheLineWhateverTheCaseAndSpacing) {
    TempDir dir;
    const std::string path = dir.Write("abc.txt", "abc");
    for (const char* hex : {"352441C2", "352441c2", "35 24 41 c2", " 35:24:41:C2 ", "3524 41C2"}) {
        SCOPED_TRACE(hex);
        RunResult r = RunKorvadex({"--match", hex, path});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, "CRC32: 352441C2\n");
    }
    RunResult lower = RunKorvadex({"--lower", "--match", "514A", path});
    EXPECT_EQ(lower.status, 0);
    EXPECT_EQ(lower.out, "CRC16CCITT: 514a\n");
}

TEST(CliMatch, ListsEveryLineWithTheValue) {
    TempDir dir;
    // Both CRC-32 variants of the empty message are 0.
    RunResult r = RunKorvadex({"--match", "00000000", dir.Write("empty", "")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "CRC32: 00000000\nCRC32b: 00000000\n");
}

TEST(CliMatch, SaysWhenNothingMatches) {
    TempDir dir;
    const std::string path = dir.Write("abc.txt", "abc");
    RunResult none = RunKorvadex({"--match", "352441C3", path});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "no match: no line of the report of " + path +
                            " has this value (compared ADLER32, CRC32, CRC32b)\n");

    RunResult width = RunKorvadex({"--match", "ABCDEF", path});
    EXPECT_EQ(width.status, 1);
    EXPECT_NE(width.out.find("no report line has a value of 3 bytes"), std::string::npos)
        << width.out;

    RunResult chosen = RunKorvadex({"--only", "CRC32b", "--match", "352441C2", path});
    EXPECT_EQ(chosen.status, 1);
    EXPECT_NE(chosen.out.find("(compared CRC32b)"), std::string::npos) << chosen.out;

    // Several files: the matching ones, each under its name; 0 when one matched.
    const std::string other = dir.Write("other.txt", "123456789");
    RunResult several = RunKorvadex({"--match", "cbf43926", path, other, path});
    EXPECT_EQ(several.status, 0);
    EXPECT_EQ(several.out, "Input: " + other + "\nCRC32: CBF43926\n");
}

TEST(CliKey, KeyedReportIsHmacOfEveryLine) {
    TempDir dir;
    const std::vector<uint8_t> bytes = RandomBytes(70000, 9);
    const std::string data(bytes.begin(), bytes.end());
    const std::string path = dir.Write("data", data);
    for (const std::string key : {"k", "key", "a longer key than any block of the lines"}) {
        SCOPED_TRACE(key);
        RunResult r = RunKorvadex({"--key", key, path});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, ExpectedReport(data, key));
        EXPECT_NE(r.out, ExpectedReport(data));
        for (size_t i = 0; i < kReportLineCount; ++i) {
            EXPECT_NE(LineHex(kReportLines[i], data, key), LineHex(kReportLines[i], data))
                << kReportLines[i].label;
        }
    }
}

TEST(CliKey, ChecksumLinesGiveTheHmacOverTheChecksum) {
    // RFC 2104 over the 4-byte checksums (B = 4), computed independently: a key of up to 4
    // bytes is used as it is, a longer one is first replaced by its checksum.
    TempDir dir;
    const std::string path = dir.Write("abc.txt", "abc");
    struct Case {
        std::string key;
        std::string out;
    };
    const Case cases[] = {
        {"key", "ADLER32: 0710018A\nCRC32: 7F1DBB5C\n"},
        {"a longer key than four bytes", "ADLER32: 0FCE02DE\nCRC32: 5E4FB57A\n"},
    };
    for (const Case& c : cases) {
        RunResult r = RunKorvadex({"--only", "ADLER32,CRC32", "--key", c.key, path});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(CliKey, KeyFileTakesAnyBytes) {
    TempDir dir;
    const std::string data = "the message";
    const std::string path = dir.Write("message", data);
    const std::string binaryKey("\0\x01\xFF\n\r key\0", 10);
    const std::string keyFile = dir.Write("key.bin", binaryKey);
    RunResult r = RunKorvadex({"--key-file", keyFile, path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ExpectedReport(data, binaryKey));

    RunOptions keyOnStdin;
    keyOnStdin.input = binaryKey;
    RunResult fromStdin = RunKorvadex({"--key-file", "-", path}, keyOnStdin);
    EXPECT_EQ(fromStdin.status, 0);
    EXPECT_EQ(fromStdin.out, r.out);

    RunResult matched = RunKorvadex(
        {"--key-file", keyFile, "--match", LineHex(kReportLines[0], data, binaryKey), path});
    EXPECT_EQ(matched.status, 0);
    EXPECT_EQ(matched.out.rfind(kReportLines[0].label, 0), 0u) << matched.out;
}

TEST(CliKey, KeyFilesThatCannotServeAreRefused) {
    TempDir dir;
    const std::string path = dir.Write("message", "abc");
    struct Case {
        std::string keyFile;
        std::string says;
    };
    const Case cases[] = {
        {dir.Path("missing"), "key file " + dir.Path("missing") + ": no such file"},
        {dir.Write("empty", ""), "empty; a key needs at least one byte"},
        {dir.Write("huge", std::string((1 << 20) + 1, 'k')), "too large for a key"},
        {dir.Path(""), "is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyFile);
        RunResult r = RunKorvadex({"--key-file", c.keyFile, path});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST(CliKey, AKeyedReportHoldsNoCopyOfTheInput) {
    if (UnderWine()) GTEST_SKIP() << "an address-space limit leaves Wine itself no room to start";
    if (kAddressSanitizer)
        GTEST_SKIP() << "AddressSanitizer cannot run under an address-space limit";
    // The inner hash takes the input as it is read: a limit below the input's size is no
    // hindrance, keyed or not.
    TempDir dir;
    const uint64_t size = uint64_t(96) << 20;
    const std::string big = dir.Path("big");
    int fd = open(big.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(size)), 0);
    close(fd);
    RunOptions limited;
    limited.addressSpace = uint64_t(64) << 20;
    RunResult unkeyed = RunKorvadex({"--only", "CRC16", big}, limited);
    ASSERT_EQ(unkeyed.status, 0) << unkeyed.err;
    RunResult keyed = RunKorvadex({"--only", "CRC16", "--key", "k", big}, limited);
    EXPECT_EQ(keyed.status, 0);
    EXPECT_EQ(keyed.err, "");
    EXPECT_EQ(keyed.out, "CRC16: " + LineHex(kReportLines[1], std::string(size, '\0'), "k") + "\n");
}

}  // namespace
