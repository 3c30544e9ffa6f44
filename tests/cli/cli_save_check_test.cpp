// --save writes the saved-report format byte for byte; --check verifies a saved report and
// refuses malformed ones with a reason.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cli_test_support.h"
#include "program_runner.h"
#include "report_text.h"
#include "test_support.h"

namespace {

// The saved report of data for the input path, written by the core as the Windows program
// writes it.
std::string CoreSavedReport(const std::string& inputPath, const std::string& data) {
    static const uint8_t kNone[1] = {0};
    const ReportInput input{data.empty() ? kNone : reinterpret_cast<const uint8_t*>(data.data()),
                            uint32_t(data.size()), nullptr, 0};
    std::string text;
    EXPECT_EQ(BuildReportText(input, text), ReportStatus::kOk);
    return BuildSavedReport(inputPath.c_str(), text);
}

TEST(CliSave, WritesTheSavedReportByteForByte) {
    TempDir dir;
    const std::vector<uint8_t> bytes = RandomBytes(5000, 5);
    const std::string data(bytes.begin(), bytes.end());
    const std::string input = dir.Write("data.bin", data);
    const std::string saved = dir.Path("saved.txt");
    RunResult r = RunKorvadex({"--save", saved, input});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ExpectedReport(data));
    EXPECT_EQ(ReadFile(saved), CoreSavedReport(input, data));
    EXPECT_EQ(Entries(dir.Path("")), (std::set<std::string>{"data.bin", "saved.txt"}));
}

TEST(CliSave, KeepsThePathAsGivenAndTheWholeUpperCaseReport) {
    TempDir dir;
    const std::string saved = dir.Write("saved.txt", std::string(10000, 'x'));  // replaced
    ASSERT_EQ(chmod(saved.c_str(), 0640), 0);
    RunOptions stdinData;
    stdinData.input = "abc";
    RunResult r = RunKorvadex({"--lower", "--only", "CRC32", "--save", saved, "-"}, stdinData);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "CRC32: 352441c2\n");
    EXPECT_EQ(ReadFile(saved), CoreSavedReport("-", "abc"));
    struct stat st;
    ASSERT_EQ(stat(saved.c_str(), &st), 0);
    if (!UnderWine()) {
        EXPECT_EQ(st.st_mode & 0777, 0640u);  // POSIX modes
    }
}

TEST(CliSave, FailuresLeaveNoFileBehindAndExitNonZero) {
    TempDir dir;
    const std::string input = dir.Write("in", "abc");
    ASSERT_EQ(mkdir(dir.Path("taken").c_str(), 0700), 0);
    struct Case {
        std::string savePath;
        std::string input;
        std::string says;
    };
    const Case cases[] = {
        {dir.Path("no-such-folder/saved.txt"), input, "not saved: cannot create a file there"},
        {dir.Path("taken"), input, "not saved: is a directory"},
        {dir.Path("saved.txt"), dir.Path("missing"), "missing: no such file"},
        {dir.Path("saved.txt"), dir.Write("line\nbreak", "abc"), "holds a line break"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.savePath);
        // No Windows name holds a line break.
        if (UnderWine() && c.input.find('\n') != std::string::npos) continue;
        const std::set<std::string> before = Entries(dir.Path(""));
        RunResult r = RunKorvadex({"--save", c.savePath, c.input});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(Entries(dir.Path("")), before);
        EXPECT_TRUE(Entries(dir.Path("taken")).empty());
    }
}

TEST(CliCheck, AGoodReportIsOkLineByLine) {
    TempDir dir;
    const std::string input = dir.Write("abc.txt", "abc");
    const std::string saved = dir.Path("saved.txt");
    ASSERT_EQ(RunKorvadex({"--save", saved, input}).status, 0);
    RunResult r = RunKorvadex({"--check", saved});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::string expected;
    for (size_t i = 0; i < kReportLineCount; ++i)
        expected += kReportLines[i].label + std::string("OK\n");
    EXPECT_EQ(r.out, expected);

    RunResult some = RunKorvadex({"--check", saved, "--only", "CRC16,CRC32"});
    EXPECT_EQ(some.status, 0);
    EXPECT_EQ(some.out, "CRC16: OK\nCRC32: OK\n");
}

TEST(CliCheck, ATamperedReportOrAChangedFileFails) {
    TempDir dir;
    const std::string input = dir.Write("abc.txt", "abc");
    std::string report = CoreSavedReport(input, "abc");
    const size_t at = report.find("CRC32: 352441C2");
    ASSERT_NE(at, std::string::npos);
    report.replace(at, 15, "CRC32: 352441C3");
    const std::string tampered = dir.Write("tampered.txt", report);
    RunResult r = RunKorvadex({"--check", tampered});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("CRC32: FAILED (saved 352441C3, computed 352441C2)\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("CRC32b: OK\n"), std::string::npos);
    EXPECT_NE(r.err.find("1 of " + std::to_string(kReportLineCount) + " lines FAILED"),
              std::string::npos)
        << r.err;

    const std::string good = dir.Write("good.txt", CoreSavedReport(input, "abc"));
    dir.Write("abc.txt", "abd");
    RunResult changed = RunKorvadex({"--check", good, "--lower"});
    EXPECT_EQ(changed.status, 1);
    EXPECT_NE(changed.out.find("CRC32: FAILED (saved 352441c2, computed "), std::string::npos)
        << changed.out;
}

TEST(CliCheck, IgnoreMissingPassesOverTheInputOfASavedReportToo) {
    TempDir dir;
    const std::string report = dir.Write("report.txt", CoreSavedReport(dir.Path("gone"), "abc"));
    RunResult r = RunKorvadex({"--check", "--ignore-missing", report});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "korvadex: " + report + ": no file was verified\n");
    RunResult quiet = RunKorvadex({"--check", "--ignore-missing", "--status", report});
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.err, "");
}

TEST(CliCheck, WindowsPathsNeedTheFileGivenWithInput) {
    TempDir dir;
    const std::string input = dir.Write("abc.txt", "abc");
    const std::string saved =
        dir.Write("from-windows.txt", CoreSavedReport("C:\\data\\abc.txt", "abc"));
    RunResult r = RunKorvadex({"--check", saved});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // Windows opens the path as it stands.
    EXPECT_NE(r.err.find(UnderWine() ? "C:\\data\\abc.txt: no such file"
                                     : "'C:\\data\\abc.txt', a Windows path that cannot be "
                                       "opened here; name the file to check with --input"),
              std::string::npos)
        << r.err;

    RunResult given = RunKorvadex({"--check", saved, "--input", input});
    EXPECT_EQ(given.status, 0);
    EXPECT_EQ(given.err, "");
}

TEST(CliCheck, LenientAboutCaseAndLineEnds) {
    TempDir dir;
    const std::string input = dir.Write("abc.txt", "abc");
    std::string edited;
    for (char c : CoreSavedReport(input, "abc")) {
        if (c != '\r') edited += c;
    }
    const size_t at = edited.find("CRC16CCITT: 514A");
    ASSERT_NE(at, std::string::npos);
    edited.replace(at, 16, "CRC16CCITT: 514a");
    RunResult r = RunKorvadex({"--check", dir.Write("lf.txt", "\xEF\xBB\xBF" + edited + "\n")});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(CliCheck, MalformedReportsAreRefusedWithAReason) {
    TempDir dir;
    const std::string input = dir.Write("abc.txt", "abc");
    const std::string good = CoreSavedReport(input, "abc");
    const std::string ruler(95, '=');
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return text;
    };
    auto without = [](std::string text, const std::string& label) {
        const size_t at = text.find("\n" + label);
        text.erase(at + 1, text.find('\n', at + 1) - at);
        return text;
    };
    struct Case {
        const char* what;
        std::string content;
        std::string says;
    };
    const Case cases[] = {
        {"empty", "", "no properly formatted checksum lines found"},
        {"plain text", "hello\nworld\n", "no properly formatted checksum lines found"},
        {"short ruler", good.substr(1), "line 1: not a ruler"},
        {"no input line", ruler + "\r\n" + ruler + "\r\n", "line 2: no 'Input: ' line"},
        {"empty input path", replaced("Input: " + input, "Input: "), "names no file"},
        {"control character in path", replaced("Input: ", "Input: \x01"), "control character"},
        {"unknown label", replaced("CRC16: ", "CRC17: "), "line 5: no report line is labelled"},
        {"another tool's name as a label", replaced("CRC16: ", "crc-16/arc: "),
         "line 5: no report line is labelled"},
        {"short value", replaced("CRC16: 9738", "CRC16: 973"),
         "CRC16 has 3 hex digits, expected 4"},
        {"not hex", replaced("CRC16: 9738", "CRC16: 97G8"), "not a hex digit"},
        {"no separator", replaced("CRC16: ", "CRC16 "), "is not a report line"},
        {"duplicate line", replaced("CRC16: 9738", "CRC32: 352441C2"), "a second CRC32 line"},
        {"no lines",
         ruler + "\r\nInput: x\r\n" + ruler + "\r\n\r\n" + ruler + "\r\n- Generated by KORV -",
         "holds no report lines"},
        {"cut inside the report", good.substr(0, good.find("CRC32: ")), "cut short"},
        {"lines deleted", without(without(good, "MD5: "), "TIGER: "),
         "not checked: the saved report lacks 2 lines of 40 (MD5, TIGER)"},
        {"cut before the footer", good.substr(0, good.rfind(ruler)), "not a ruler"},
        {"cut inside the footer", good.substr(0, good.size() - 3), "is not the footer"},
        {"text after the footer", good + "\r\nmore", "text after the footer"},
        {"binary", std::string("\0\xFF\0\x01", 4) + ruler, "no properly formatted checksum"},
        {"too large", std::string(2 << 20, '='), "too large to be a saved report"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunResult r = RunKorvadex({"--check", dir.Write("saved.txt", c.content)});
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    // With -a, every line it names must be there, and only those.
    const std::string cut = dir.Write("cut.txt", without(good, "MD5: "));
    RunResult named = RunKorvadex({"--check", cut, "-a", "md4,md5,sha1"});
    EXPECT_EQ(named.status, 1);
    EXPECT_EQ(named.out, "");
    EXPECT_NE(named.err.find("lacks 1 line of 3 named by -a (MD5)"), std::string::npos)
        << named.err;
    EXPECT_EQ(RunKorvadex({"--check", cut, "-a", "md4,sha1"}).out, "MD4: OK\nSHA-1: OK\n");

    RunOptions savedOnStdin;
    savedOnStdin.input = CoreSavedReport("-", "abc");
    RunResult twice = RunKorvadex({"--check", "-"}, savedOnStdin);
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.err.find("names standard input, which was already read"), std::string::npos)
        << twice.err;
    RunResult given = RunKorvadex({"--check", "-", "--input", input}, savedOnStdin);
    EXPECT_EQ(given.status, 0) << given.err;

    RunResult missing = RunKorvadex({"--check", dir.Path("nothing")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "korvadex: " + dir.Path("nothing") + ": no such file\n");
}

}  // namespace

namespace {

TEST(CliCheck, WhenEveryLineFailsTheKeyIsNamedAsACause) {
    TempDir dir;
    const std::string input = dir.Write("abc.txt", "abc");
    const std::string keyed = dir.Path("keyed.txt");
    const std::string plain = dir.Path("plain.txt");
    ASSERT_EQ(RunKorvadex({"--key", "k", "--save", keyed, input}).status, 0);
    ASSERT_EQ(RunKorvadex({"--save", plain, input}).status, 0);
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"-c", keyed}, 1, "if the report was saved with a key, give it with --key"},
        {{"-c", keyed, "--key", "other"}, 1, "a wrong key, or a report saved without a key"},
        {{"-c", plain, "--key", "k"}, 1, "a wrong key, or a report saved without a key"},
        {{"-c", keyed, "--key", "k"}, 0, ""},
        {{"-c", keyed, plain, "--key", "k"}, 1, "a wrong key"},
    };
    for (const auto& c : cases) {
        RunResult r = RunKorvadex(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

}  // namespace
