// The report of files, standard input, FIFOs and devices; failures; --only and --lower;
// usage errors, help and version.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cli_test_support.h"
#include "program_runner.h"
#include "test_support.h"

namespace {

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(CliReport, OneFileGivesThePlainReport) {
    TempDir dir;
    RunResult r = RunKorvadex({dir.Write("abc.txt", "abc")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ExpectedReport("abc"));
    // Published values, so that the comparison above is not between two wrong reports.
    EXPECT_NE(r.out.find("ADLER32: 024D0127\nCRC16: 9738\n"), std::string::npos);
    EXPECT_NE(r.out.find("CRC32: 352441C2\nCRC32b: 648CBB73\n"), std::string::npos);

    RunResult empty = RunKorvadex({dir.Write("empty", "")});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, ExpectedReport(""));
    EXPECT_NE(empty.out.find("CRC16CCITT: FFFF\n"), std::string::npos);
}

// A text of --string gives the report of a file holding it, plain and keyed.
TEST(CliReport, TextGivesTheReportOfAFileHoldingIt) {
    TempDir dir;
    for (const std::string& text : {std::string(), std::string("abc"), std::string(300, 'x')}) {
        const std::string file = dir.Write("text", text);
        for (const std::vector<std::string>& key :
             {std::vector<std::string>{}, std::vector<std::string>{"--key", "k"}}) {
            SCOPED_TRACE(std::to_string(text.size()) + (key.empty() ? " plain" : " keyed"));
            std::vector<std::string> ofText = key, ofFile = key;
            ofText.insert(ofText.end(), {"--string", text});
            ofFile.push_back(file);
            const RunResult fromText = RunKorvadex(ofText);
            EXPECT_EQ(fromText.status, 0) << fromText.err;
            EXPECT_EQ(fromText.out, RunKorvadex(ofFile).out);
        }
    }
    EXPECT_EQ(RunKorvadex({"--string", "abc"}).out, ExpectedReport("abc"));
}

// The processor's extensions and the portable code give the same reports, byte for byte:
// lengths around the borders of the blocks, the kernels' block groups and the chunks.
TEST(CliReport, PortableCodeGivesTheSameReports) {
    TempDir dir;
    std::vector<std::string> files;
    uint32_t seed = 40;
    for (size_t n : {0,    1,    3,    31,    55,    56,    63,    64,    65,    111,  112,
                     127,  128,  129,  191,   255,   256,   257,   1023,  1024,  1025, 2047,
                     4095, 4096, 4097, 16383, 16384, 16385, 65535, 65537, 262147}) {
        files.push_back(dir.Write("f" + std::to_string(n), Text(RandomBytes(n, seed++))));
    }
    const std::string longKey = Text(RandomBytes(200, 7));
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, std::vector<std::string>{"--key", "k"},
          std::vector<std::string>{"--key", longKey}}) {
        SCOPED_TRACE(options.empty() ? "plain" : "keyed, " + std::to_string(options[1].size()));
        std::vector<std::string> args = options;
        args.insert(args.end(), files.begin(), files.end());
        RunOptions portable;
        portable.environment = {"KORVADEX_PORTABLE=1"};
        const RunResult fast = RunKorvadex(args);
        const RunResult slow = RunKorvadex(args, portable);
        ASSERT_EQ(fast.status, 0) << fast.err;
        EXPECT_EQ(slow.status, 0) << slow.err;
        EXPECT_GT(fast.out.size(), 40 * files.size() * 10);
        EXPECT_EQ(slow.out, fast.out);
    }
}

TEST(CliReport, SeveralFilesWithOneMissingReportTheOthers) {
    TempDir dir;
    const std::string data = Text(RandomBytes(100000, 7));
    const std::string a = dir.Write("a", "abc");
    const std::string b = dir.Write("b", data);
    const std::string missing = dir.Path("missing");
    RunResult r = RunKorvadex({a, missing, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Input: " + a + "\n" + ExpectedReport("abc") + "\nInput: " + b + "\n" +
                         ExpectedReport(data));
    EXPECT_EQ(r.err, "korvadex: " + missing + ": no such file\n");

    RunResult all = RunKorvadex({a, b});
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.err, "");
}

TEST(CliReport, StandardInputIsReadToItsEnd) {
    TempDir dir;
    const std::string data = Text(RandomBytes(1 << 20, 11));  // more than a pipe holds
    RunOptions piped;
    piped.input = data;
    RunResult r = RunKorvadex({"-"}, piped);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ExpectedReport(data));

    RunOptions redirected;
    redirected.inputFile = dir.Write("data", data);
    RunResult fromFile = RunKorvadex({"-"}, redirected);
    EXPECT_EQ(fromFile.status, 0);
    EXPECT_EQ(fromFile.out, ExpectedReport(data));

    RunOptions none;
    none.closedInput = true;
    const std::string a = dir.Write("a", "abc");
    RunResult mixed = RunKorvadex({a, "-"}, none);
    EXPECT_EQ(mixed.status, 0);
    EXPECT_EQ(mixed.out,
              "Input: " + a + "\n" + ExpectedReport("abc") + "\nInput: -\n" + ExpectedReport(""));
}

TEST(CliReport, FifoIsReadToItsEnd) {
    TempDir dir;
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string data = Text(RandomBytes(200000, 3));
    std::thread writer([&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        if (fd < 0) return;
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = write(fd, data.data() + done, data.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        close(fd);
    });
    RunResult r = RunKorvadex({fifo});
    writer.join();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ExpectedReport(data));
}

TEST(CliReport, CharacterDeviceIsReadToItsEnd) {
    RunResult r = RunKorvadex({"/dev/null"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ExpectedReport(""));
}

TEST(CliReport, InputsThatCannotBeReportedAreNamedWithTheReason) {
    TempDir dir;
    struct Case {
        std::string path;
        std::string reason;
    };
    dir.Write("plain", "x");
    const Case cases[] = {
        {dir.Path("nothing-here"), "no such file"},
        {dir.Path(""), "is a directory"},
        {dir.Path("plain/below"), "not a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        RunResult r = RunKorvadex({c.path});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "korvadex: " + c.path + ": " + c.reason + "\n");
    }
}

TEST(CliReport, UnreadableFileIsRefused) {
    TempDir dir;
    const std::string path = dir.Write("secret", "abc");
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    int fd = open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        close(fd);
        GTEST_SKIP() << "permission bits do not stop this user's reads (running as root)";
    }
    RunResult r = RunKorvadex({path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "korvadex: " + path + ": permission denied\n");
}

TEST(CliReport, AFileThatShrinksWhileHashedIsAnErrorNotACrash) {
    TempDir dir;
    const std::string path = dir.Path("shrinking");
    int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(1) << 30), 0);
    std::thread shrink([fd] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(ftruncate(fd, 0), 0);
    });
    RunResult r = RunKorvadex({path});
    shrink.join();
    close(fd);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("korvadex: " + path + ": the file shrank while it was being read"),
              std::string::npos)
        << r.err;
}

TEST(CliReport, OnlyAndLowerChooseLinesAndCase) {
    TempDir dir;
    const std::string path = dir.Write("abc.txt", "abc");
    struct Case {
        std::vector<std::string> options;
        std::string out;
    };
    const Case cases[] = {
        {{"--only", "CRC32,ADLER32"}, "ADLER32: 024D0127\nCRC32: 352441C2\n"},
        {{"--only=crc16 , CRC32b"}, "CRC16: 9738\nCRC32b: 648CBB73\n"},
        {{"--only", "CRC32b,crc32b"}, "CRC32b: 648CBB73\n"},
        {{"--lower", "--only", "ADLER32,CRC16CCITT"}, "ADLER32: 024d0127\nCRC16CCITT: 514a\n"},
        {{"--lower"}, ExpectedReport("abc", "", true)},
        {{"-a", "crc32", "--only", "adler-32", "-acrc32b"},
         "ADLER32: 024D0127\nCRC32: 352441C2\nCRC32b: 648CBB73\n"},
        {{"--lower", "--upper", "-a", "CRC16CCITT"}, "CRC16CCITT: 514A\n"},
        {{"--upper", "--lower", "--lower", "-a", "CRC16CCITT"}, "CRC16CCITT: 514a\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.options;
        args.push_back(path);
        SCOPED_TRACE(args[0]);
        RunResult r = RunKorvadex(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(CliReport, UsageErrorsExitWith2AndSayWhy) {
    TempDir dir;
    const std::string f = dir.Write("f", "abc");
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"--bogus", f}, "unknown option '--bogus'"},
        {{"-x", f}, "unknown option '-x'"},
        {{f, "--only"}, "--only needs a value"},
        {{f, "-a"}, "-a needs a value"},
        {{"--only", "CRC32,NOPE", f}, "unknown algorithm 'NOPE'"},
        {{"-a", "sha2", f}, "unknown algorithm 'sha2'; did you mean SHA-0, SHA-1, SHA-256"},
        {{"-a", "gost94-cryptopro", f}, "the CryptoPro parameter set"},
        {{"-a", "haval128", f}, "say the passes too: haval128,3"},
        {{"--only", "CRC32,", f}, "an empty algorithm name"},
        {{"--lower=yes", f}, "--lower takes no value"},
        {{"--save", dir.Path("s"), f, f}, "--save takes exactly one FILE"},
        {{"--save", dir.Path("s"), "--tag", f}, "--save writes a report"},
        {{"--match", "xyz", f}, "not a hex value"},
        {{"--match", "abc", f}, "odd number of hex digits"},
        {{"--match", "abcd"}, "at least one FILE"},
        {{"--check", f, "--match", "00", f}, "--check and --match cannot be used together"},
        {{"--check", f, "--save", dir.Path("s")}, "--save cannot be used with --check"},
        {{"--check", "--tag", f}, "--check takes no --format"},
        {{"--quiet", f}, "--quiet option is meaningful only when verifying"},
        {{"--input", f, f}, "--input option is meaningful only when verifying"},
        {{"--format", "xml", f}, "'xml' is not a format"},
        {{"--format", "gnu", f}, "exactly one with -a"},
        {{"--format=gnu", "-a", "md5,sha1", f}, "exactly one with -a"},
        {{"--format", "sfv", "-a", "md5", f}, "CRC-32 (crc32) only"},
        {{"--follow", f}, "--follow works with -r"},
        {{"--key", "", f}, "the key is empty"},
        {{"--key", "k", "--key-file", f, f}, "cannot be used together"},
        {{"--key", "k", "--key", "k", f}, "--key is given twice"},
        {{"--list", f}, "--list takes no FILE"},
        {{"--self-test", "--lower"}, "--self-test takes no other options"},
        {{"-", "-"}, "standard input (-) can be read only once"},
        {{"--key-file", "-", "-"}, "standard input (-) can be read only once"},
        {{"--check", "-", "-"}, "standard input (-) can be read only once"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(no arguments)" : c.args[0]);
        RunResult r = RunKorvadex(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
}

TEST(CliReport, HelpShowsEveryOptionWithAnExample) {
    RunResult r = RunKorvadex({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const struct {
        const char* option;
        const char* shortForm;  // or "", for the example
    } options[] = {{"--algorithm", "-a"}, {"--format", ""},   {"--tag", ""},   {"--lower", ""},
                   {"--recursive", "-r"}, {"--string", ""},   {"--key", ""},   {"--key-file", ""},
                   {"--save", ""},        {"--check", "-c"},  {"--input", ""}, {"--match", ""},
                   {"--list", ""},        {"--self-test", ""}};
    for (const auto& o : options) {
        SCOPED_TRACE(o.option);
        EXPECT_NE(r.out.find(std::string(" ") + o.option + " "), std::string::npos);
        const bool example = r.out.find(std::string("korvadex ") + o.option) != std::string::npos;
        const bool shortExample =
            *o.shortForm != 0 &&
            r.out.find(std::string("korvadex ") + o.shortForm + " ") != std::string::npos;
        EXPECT_TRUE(example || shortExample);
    }
    for (const char* option :
         {"--only", "--upper", "--zero", "--binary", "--follow", "--quiet", "--status", "--strict",
          "--warn", "--ignore-missing", "--jobs", "--version", "--help"}) {
        EXPECT_NE(r.out.find(std::string(" ") + option), std::string::npos) << option;
    }
    size_t start = 0;
    while (start < r.out.size()) {
        size_t end = r.out.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 80u) << r.out.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_EQ(RunKorvadex({"-h"}).out, r.out);
}

TEST(CliReport, VersionIsTheProjectVersion) {
    RunResult r = RunKorvadex({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("korvadex ") + KORVADEX_VERSION + "\n");
    EXPECT_EQ(RunKorvadex({"-V"}).out, r.out);
}

TEST(CliReport, OutputThatCannotBeWrittenIsAnError) {
    TempDir dir;
    RunOptions full;
    full.outputFile = "/dev/full";
    RunResult r = RunKorvadex({dir.Write("f", "abc")}, full);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("korvadex: standard output: No space left on device"), std::string::npos)
        << r.err;
}

}  // namespace
