// The digest cache in extended attributes: --cache serves unchanged files from their records
// and writes only records that changed; --verify-cache tells ok, outdated, corrupt and no
// cache apart.  tests/cli/cache_system_test.py checks what a run does at the system calls,
// and a file system without user attributes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <map>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "common/algorithm_names.h"
#include "program_runner.h"

namespace {

std::string Attribute(const std::string& path, const std::string& name) {
    char value[512];
    const ssize_t n = getxattr(path.c_str(), name.c_str(), value, sizeof value);
    return n < 0 ? std::string() : std::string(value, size_t(n));
}

std::string Hex(const char* algorithm, const std::string& data, bool lower = false) {
    std::string hex = LineHex(kReportLines[FindAlgorithm(algorithm)], data);
    if (lower) {
        for (char& c : hex) c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return hex;
}

// The change time, which every write of an attribute moves.
int64_t ChangeTime(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0
               ? int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec
               : -1;
}

// Writes data at path, dated at the time touch -d reads from when.
void Dated(const std::string& path, const std::string& data, const char* when) {
    WriteFile(path, data);
    ASSERT_EQ(Shell(std::string("touch -d '") + when + "' '" + path + "'").status, 0);
}

bool HasUserAttributes(const std::string& path) {
    return setxattr(path.c_str(), "user.korvadex-probe", "1", 1, 0) == 0 &&
           removexattr(path.c_str(), "user.korvadex-probe") == 0;
}

TEST(CliCache, AttributeNamesAreLineNamesThatSelectTheLine) {
    for (size_t line = 0; line < kReportLineCount; ++line) {
        EXPECT_EQ(FindAlgorithm(PlainName(line)), long(line)) << PlainName(line);
    }
    EXPECT_EQ(PlainName(size_t(FindAlgorithm("sha256"))), "sha256");
    EXPECT_EQ(PlainName(size_t(FindAlgorithm("haval160,4"))), "haval160,4");
}

TEST(CliCache, ServesUnchangedFilesAndTellsCorruptFromOutdated) {
    if (UnderWine()) GTEST_SKIP() << "Windows keeps no user attributes in this build";
    TempDir dir;
    if (!HasUserAttributes(WriteFile(dir.Path("probe"), ""))) {
        GTEST_SKIP() << "the file system of /tmp keeps no user attributes";
    }
    const std::string t = dir.Path("t");
    ASSERT_EQ(Shell("mkdir '" + t + "'").status, 0);
    const char* const kOld = "2020-01-01 00:00:00.5";
    Dated(t + "/a", "alpha", kOld);
    Dated(t + "/b", "bravo", kOld);
    Dated(t + "/c", "charlie", kOld);
    const std::vector<std::string> run{"--cache", "-r", "--format", "json", "-a", "md5,sha256", t};
    const RunResult first = RunKorvadex(run);
    ASSERT_EQ(first.status, 0) << first.err;
    // The record: version, size, time in nanoseconds, lower-case value.
    EXPECT_EQ(Attribute(t + "/a", "user.korvadex.sha256"),
              "1 5 1577836800500000000 " + Hex("sha256", "alpha", true));
    EXPECT_EQ(Attribute(t + "/a", "user.korvadex.md5"),
              "1 5 1577836800500000000 " + Hex("md5", "alpha", true));
    const int64_t changed = ChangeTime(t + "/a");
    const RunResult second = RunKorvadex(run);
    EXPECT_EQ(second.out, first.out);
    EXPECT_EQ(ChangeTime(t + "/a"), changed) << "an unchanged record was written again";

    // b: one byte changed and its time put back: the cache, unread, still gives the old value,
    // and --verify-cache finds it.  c: touched, so its records are outdated and renewed.
    Dated(t + "/b", "bravO", kOld);
    ASSERT_EQ(Shell("touch -d '2021-06-01' '" + t + "/c'").status, 0);
    WriteFile(t + "/d", "delta");
    const RunResult stale = RunKorvadex({"--cache", "-a", "md5", t + "/b"});
    EXPECT_EQ(stale.out, "MD5: " + Hex("md5", "bravo") + "\n");
    const struct {
        std::vector<std::string> options;
        std::string out;
        int status;
    } verifications[] = {
        {{}, t + "/a: ok\n" + t + "/b: corrupt\n" + t + "/c: outdated\n" + t + "/d: no cache\n", 3},
        // The outdated records were renewed; the corrupt ones kept.
        {{}, t + "/a: ok\n" + t + "/b: corrupt\n" + t + "/c: ok\n" + t + "/d: no cache\n", 3},
        {{"-a", "sha1"},
         t + "/a: no cache\n" + t + "/b: no cache\n" + t + "/c: no cache\n" + t + "/d: no cache\n",
         0},
    };
    for (const auto& v : verifications) {
        std::vector<std::string> args{"--verify-cache", "-r", t};
        args.insert(args.end(), v.options.begin(), v.options.end());
        const RunResult verified = RunKorvadex(args);
        EXPECT_EQ(verified.out, v.out);
        EXPECT_EQ(verified.status, v.status) << verified.err;
    }
    EXPECT_EQ(Attribute(t + "/c", "user.korvadex.md5"),
              "1 7 " + std::to_string(int64_t(1622505600) * 1000000000) + " " +
                  Hex("md5", "charlie", true));
    // A copy that keeps the attributes keeps the evidence.
    ASSERT_EQ(Shell("cp -a '" + t + "/b' '" + dir.Path("b-copy") + "'").status, 0);
    EXPECT_EQ(RunKorvadex({"--verify-cache", dir.Path("b-copy")}).status, 3);

    // --update takes the cached values too: the stale one goes into the list.
    const std::string list = dir.Path("MD5SUMS");
    const RunResult update =
        RunKorvadex({"--update", list, "--format", "gnu", "-a", "md5", "--cache", t + "/b"});
    EXPECT_EQ(update.status, 0) << update.err;
    EXPECT_EQ(ReadFile(list), Hex("md5", "bravo", true) + "  " + t + "/b\n");
}

TEST(CliCache, EveryLineIsCachedOrTheRunSaysWhyNot) {
    if (UnderWine()) GTEST_SKIP() << "Windows keeps no user attributes in this build";
    TempDir dir;
    const std::string file = WriteFile(dir.Path("f"), "every line");
    if (!HasUserAttributes(file))
        GTEST_SKIP() << "the file system of /tmp keeps no user attributes";
    ASSERT_EQ(Shell("touch -d 2020-01-01 '" + file + "'").status, 0);
    // Forty records may not fit where a file's attributes share one block (ext4).
    const RunResult run = RunKorvadex({"--cache", file});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, ExpectedReport("every line"));
    size_t cached = 0;
    for (size_t line = 0; line < kReportLineCount; ++line) {
        cached += Attribute(file, "user.korvadex." + PlainName(line)).empty() ? 0 : 1;
    }
    if (cached < kReportLineCount) {
        EXPECT_NE(run.err.find("no room for another extended attribute"), std::string::npos)
            << run.err;
    } else {
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(RunKorvadex({"--cache", file}).out, run.out);
}

TEST(CliCache, CachedValuesAreNeverEvidence) {
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"--cache", "-c", "x"},
          std::vector<std::string>{"--cache", "--audit", "l", "x"},
          std::vector<std::string>{"--cache", "--key", "k", "x"},
          std::vector<std::string>{"--cache", "--check-embedded", "x"},
          std::vector<std::string>{"--verify-cache", "--format", "json", "x"}}) {
        EXPECT_EQ(RunKorvadex(refused).status, 2) << refused[1];
    }
}

}  // namespace
