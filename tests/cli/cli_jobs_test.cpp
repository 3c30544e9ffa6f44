// --jobs: the lines on several threads give the serial output byte for byte, for reports,
// keyed reports, --only, --save, --check and --match; bad counts are usage errors; keyed
// lines on several threads share the chunks of the input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "cli_test_support.h"
#include "program_runner.h"
#include "report_lines.h"
#include "test_support.h"

namespace {

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(CliJobs, EveryCountGivesTheSerialOutput) {
    TempDir dir;
    // Not a multiple of any block length, and several chunks long, so that the threads
    // share buffers.
    const std::string data = Text(RandomBytes((5 << 19) + 3, 21));
    const std::string a = dir.Write("a", data);
    const std::string b = dir.Write("b", "abc");
    const std::string expected = "Input: " + a + "\n" + ExpectedReport(data) + "\nInput: " + b +
                                 "\n" + ExpectedReport("abc");

    RunResult serial = RunKorvadex({"--jobs", "1", a, b});
    ASSERT_EQ(serial.status, 0) << serial.err;
    EXPECT_EQ(serial.out, expected);
    const std::vector<std::vector<std::string>> variants = {{a, b},
                                                            {"--jobs", "0", a, b},
                                                            {"--jobs", "2", a, b},
                                                            {"--jobs=3", a, b},
                                                            {a, "--jobs", "40", b},
                                                            {"--jobs", "1024", a, b}};
    for (const auto& args : variants) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        RunResult r = RunKorvadex(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, serial.out);
    }
}

TEST(CliJobs, KeyedLowerAndOnlyReportsAreTheSame) {
    TempDir dir;
    const std::string data = Text(RandomBytes(70001, 22));
    const std::string f = dir.Write("f", data);
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--key", "a key"},
          std::vector<std::string>{"--lower", "--only", "SHA-1,MD2,HAVAL 256 (5 Rounds),CRC16"},
          std::vector<std::string>{"--key", "k", "--only", "SNEFRU128 (4 Passes),TIGER"}}) {
        SCOPED_TRACE(options[0] + " " + options[1]);
        std::vector<std::string> serialArgs = options, parallelArgs = options;
        serialArgs.insert(serialArgs.end(), {"--jobs", "1", f});
        parallelArgs.insert(parallelArgs.end(), {"--jobs", "4", f});
        RunResult serial = RunKorvadex(serialArgs);
        RunResult parallel = RunKorvadex(parallelArgs);
        ASSERT_EQ(serial.status, 0) << serial.err;
        EXPECT_EQ(parallel.status, 0);
        EXPECT_EQ(parallel.err, "");
        EXPECT_EQ(parallel.out, serial.out);
    }
    RunResult keyed = RunKorvadex({"--jobs", "3", "--key", "a key", f});
    EXPECT_EQ(keyed.out, ExpectedReport(data, "a key"));
}

TEST(CliJobs, SaveCheckAndMatchWorkOnSeveralThreads) {
    TempDir dir;
    const std::string data = Text(RandomBytes(50000, 23));
    const std::string f = dir.Write("f", data);
    const std::string saved = dir.Path("saved.txt");
    RunResult save = RunKorvadex({"--jobs", "2", "--save", saved, f});
    ASSERT_EQ(save.status, 0) << save.err;
    RunResult save1 = RunKorvadex({"--jobs", "1", "--save", dir.Path("saved1.txt"), f});
    ASSERT_EQ(save1.status, 0) << save1.err;
    EXPECT_EQ(ReadFile(saved), ReadFile(dir.Path("saved1.txt")));

    RunResult check = RunKorvadex({"--jobs", "0", "--check", saved});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.out, RunKorvadex({"--jobs", "1", "--check", saved}).out);

    const ReportLine* whirlpool = nullptr;
    for (size_t i = 0; i < kReportLineCount; ++i)
        if (std::string(kReportLines[i].label) == "WHIRLPOOL: ") whirlpool = &kReportLines[i];
    ASSERT_NE(whirlpool, nullptr);
    const std::string hex = LineHex(*whirlpool, data);
    RunResult match = RunKorvadex({"--jobs", "2", "--match", hex, f});
    EXPECT_EQ(match.status, 0) << match.err;
    EXPECT_EQ(match.out, "WHIRLPOOL: " + hex + "\n");
}

TEST(CliJobs, BadCountsAreUsageErrors) {
    TempDir dir;
    const std::string f = dir.Write("f", "abc");
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"--jobs", "x", f},
         "--jobs: 'x' is not a number of threads from 0 (one per core) to 1024"},
        {{"--jobs", "-1", f}, "--jobs: '-1' is not a number"},
        {{"--jobs=", f}, "--jobs: '' is not a number"},
        {{"--jobs", "2.5", f}, "--jobs: '2.5' is not a number"},
        {{"--jobs", "1025", f}, "--jobs: '1025' is not a number"},
        {{"--jobs", "99999999999999999999", f}, "is not a number"},
        {{f, "--jobs"}, "--jobs needs a value"},
        {{"--jobs", "1", "--jobs", "2", f}, "--jobs is given twice"},
        {{"--self-test", "--jobs", "2"}, "--self-test takes no other options"},
        {{"--list", "--jobs", "1"}, "--list takes no other options"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        RunResult r = RunKorvadex(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    RunResult help = RunKorvadex({"--help"});
    EXPECT_NE(help.out.find("  --jobs N "), std::string::npos);
    EXPECT_NE(help.out.find("korvadex --jobs 1 "), std::string::npos);
}

// The sanitizers that reserve a large shadow memory cannot run under an address-space limit.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kShadowSanitizer = true;
#elif defined(__has_feature)
constexpr bool kShadowSanitizer =
    __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kShadowSanitizer = false;
#endif

TEST(CliJobs, KeyedLinesOnSeveralThreadsNeedNoCopyOfTheInput) {
    if (UnderWine()) GTEST_SKIP() << "an address-space limit leaves Wine itself no room to start";
    if (kShadowSanitizer) GTEST_SKIP() << "the sanitizer cannot run under an address-space limit";
    // The address space allowed is smaller than the input: the threads share the chunks.
    TempDir dir;
    const uint64_t size = uint64_t(96) << 20;
    const std::string big = dir.Path("big");
    int fd = open(big.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(size)), 0);
    close(fd);
    RunOptions limited;
    limited.addressSpace = uint64_t(80) << 20;
    RunResult r = RunKorvadex({"--jobs", "2", "--only", "CRC16,CRC32", "--key", "k", big}, limited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string zeros(size, '\0');
    std::string expected;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const std::string label = kReportLines[i].label;
        if (label == "CRC16: " || label == "CRC32: ")
            expected += label + LineHex(kReportLines[i], zeros, "k") + "\n";
    }
    EXPECT_EQ(r.out, expected);
}

}  // namespace
