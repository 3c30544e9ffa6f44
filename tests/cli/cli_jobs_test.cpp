// --jobs: the lines on several threads give the serial output byte for byte, for reports,
// keyed reports, --only, --save, --check and --match; bad counts are usage errors; keyed
// lines on several threads share the chunks of the input.  Several inputs at once, in
// either read order, give the serial output, messages and exit status too, for every
// command that takes several files (and the list --update writes).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

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

TEST(CliJobs, SeveralInputsAtOnceGiveTheSerialOutput) {
    if (UnderWine()) GTEST_SKIP() << "its inputs include a file that another user cannot read, which needs a POSIX system";
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path("").c_str(), 0755), 0);
    const std::string tree = dir.Path("tree");
    ASSERT_EQ(mkdir(tree.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((tree + "/sub").c_str(), 0755), 0);
    std::vector<std::string> files;
    // Sizes from empty to several chunks, so that inputs of unlike cost finish out of order.
    const size_t sizes[] = {0, 1, 3000, 70001, (1 << 20) + 5, 64, 200000, 9, 4096, 1 << 19};
    for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
        const std::string name = (i % 3 == 2 ? "sub/f" : "f") + std::to_string(i);
        files.push_back(dir.Write("tree/" + name, Text(RandomBytes(sizes[i], unsigned(40 + i)))));
    }
    const std::string secret = dir.Write("tree/secret", "abc");
    ASSERT_EQ(chmod(secret.c_str(), 0), 0);
    const std::string missing = dir.Path("missing");
    RunOptions asUser;
    if (geteuid() == 0) asUser.user = 65534;

    // Lists to check: known values, a wrong one, a missing file and a malformed line.
    RunResult gnu = RunKorvadex({"--jobs", "1", "-a", "sha256", "--format", "gnu", "-r", tree});
    std::string list =
        gnu.out + "0000000000000000000000000000000000000000000000000000000000000000  " + files[3] +
        "\nnot a line\n" + "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855  " +
        missing + "\n" + gnu.out;
    const std::string listPath = dir.Write("list.sha256", list);
    RunResult bsd = RunKorvadex({"--jobs", "1", "-a", "md5,crc32", "--tag", "-r", tree});
    const std::string bsdPath = dir.Write("list.bsd", bsd.out + bsd.out);
    // Untagged values of a width several algorithms share, the first of a missing file: the
    // algorithm is inferred from the files after it.
    const std::string inferredPath =
        dir.Write("inferred", std::string(64, '0') + "  " + missing + "\n" + gnu.out);
    std::string names;
    for (const std::string& f : files) names += f + '\n' + missing + '\n';
    const std::string namesPath = dir.Write("names", names);

    // Lists for --known, --unknown, --audit and --update: a known set, a list with a wrong
    // value and the entry of a missing file, and a list of half the files to update.
    RunResult json =
        RunKorvadex({"--jobs", "1", "-a", "md2,sha256", "--format", "json", "-r", tree});
    const std::string knownPath = dir.Write("known.json", json.out);
    std::string audited = gnu.out;
    audited.replace(0, 1, audited[0] == '0' ? "1" : "0");
    audited += std::string(64, 'a') + "  " + missing + "\n";
    const std::string auditPath = dir.Write("audited.sha256", audited);
    const std::string lists = dir.Path("lists");
    ASSERT_EQ(mkdir(lists.c_str(), 0777), 0);
    ASSERT_EQ(chmod(lists.c_str(), 0777), 0);
    const std::string halfList = RunKorvadex({"--jobs", "1", "-a", "md2,sha256", "--format", "json",
                                              files[0], files[2], files[5], files[9]})
                                     .out;
    const std::string updatedPath = dir.Write("lists/updated.json", halfList);
    const std::string matchHex =
        RunKorvadex({"-a", "sha256", "--format", "gnu", files[4]}).out.substr(0, 64);

    struct Case {
        std::vector<std::string> args;
        std::string says;       // in the serial run's messages
        std::string kept = "";  // a list the run rewrites, as it was before each run
    };
    const Case cases[] = {
        {{"-r", tree}, "secret: permission denied"},
        {{"-r", "--lower", "--key", "k", "-a", "md5,snefru256,crc16", tree}, ""},
        {{"-r", "--format", "gnu", "-a", "sha256,md2", tree}, ""},
        {{"-r", "--format", "bsd", "-a", "sha1,tiger", tree}, ""},
        {{"-r", "--format", "sfv", tree}, ""},
        {{"-r", "--format", "hashdeep", tree}, ""},
        {{"-r", "--format", "json", "-a", "md5,md2", tree}, ""},
        {{"-r", "--format", "csv", "-a", "sha1", tree}, ""},
        {{files[0], missing, files[4], tree, secret, files[1], "--string", "abc", "-a", "md4"},
         "tree: is a directory"},
        {{"--files-from", namesPath, "-a", "crc32,sha1"}, "missing: no such file"},
        {{"-c", "-w", listPath}, "13: improperly formatted"},
        {{"-c", "--quiet", listPath, bsdPath}, "did NOT match"},
        {{"-c", "--ignore-missing", "-a", "sha256", listPath}, "2 listed files could not be read"},
        {{"-c", inferredPath}, "2 listed files could not be read"},
        {{"--known", knownPath, "-r", tree, missing}, "missing: no such file"},
        {{"--unknown", knownPath, "-a", "md2", "-r", tree, missing}, "secret: permission denied"},
        {{"--audit", auditPath, "-r", tree}, "1 changed, 0 moved, 0 new, 1 missing, 1 unreadable"},
        {{"--audit", knownPath, "--format", "json", "-a", "md2", "-r", tree}, "unreadable"},
        {{"--update", updatedPath, "--rehash", "-r", tree},
         "6 added, 4 re-hashed (0 changed)",
         halfList},
        {{"--tree", tree, "-a", "md2,sha256"}, "secret: permission denied"},
        {{"--tree", tree + "/sub", "-a", "snefru256,sha1"}, ""},
        {{"--match", matchHex, "-a", "sha256,md2", files[3], missing, files[4], files[5]},
         "missing: no such file"},
    };
    // The serial run names its count on the hashdeep header's command line.
    const std::regex options("--jobs [0-9]+ |--read-order [a-z]+ ");
    for (const Case& c : cases) {
        const std::vector<std::string>& args = c.args;
        SCOPED_TRACE(args[0] + " " + args[1] + " " + args.back());
        std::vector<std::string> serialArgs = {"--jobs", "1"};
        serialArgs.insert(serialArgs.end(), args.begin(), args.end());
        if (!c.kept.empty()) dir.Write("lists/updated.json", c.kept);
        RunResult serial = RunKorvadex(serialArgs, asUser);
        ASSERT_NE(serial.status, kCannotSwitchUser);
        EXPECT_NE(serial.err.find(c.says), std::string::npos) << serial.err;
        const std::string written = c.kept.empty() ? "" : ReadFile(updatedPath);
        for (const std::vector<std::string>& how : {std::vector<std::string>{"--jobs", "3"},
                                                    {"--jobs", "16", "--read-order", "sequential"},
                                                    {"--jobs", "2", "--read-order", "parallel"},
                                                    {"--jobs", "0", "--read-order", "auto"}}) {
            SCOPED_TRACE(how[0] + " " + how[1]);
            std::vector<std::string> runArgs = how;
            runArgs.insert(runArgs.end(), args.begin(), args.end());
            if (!c.kept.empty()) dir.Write("lists/updated.json", c.kept);
            RunResult r = RunKorvadex(runArgs, asUser);
            if (!c.kept.empty()) {
                EXPECT_EQ(ReadFile(updatedPath), written);
            }
            EXPECT_EQ(r.status, serial.status);
            EXPECT_EQ(r.err, serial.err);
            EXPECT_EQ(std::regex_replace(r.out, options, ""),
                      std::regex_replace(serial.out, options, ""));
        }
    }
}

}  // namespace
