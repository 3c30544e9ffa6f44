// The CRC-32 in a file's name: --check-embedded finds it by the bracket rule only, and
// --embed-crc puts it in names without ever replacing a file.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "common/algorithm_names.h"
#include "program_runner.h"

namespace {

std::string Crc(const std::string& data) {
    return LineHex(kReportLines[FindAlgorithm("crc32")], data);
}

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "NAME: VERDICT" lines by name.
std::map<std::string, std::string> Verdicts(const std::string& out) {
    std::map<std::string, std::string> verdicts;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.rfind(": ");
        if (colon != std::string::npos) verdicts[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return verdicts;
}

TEST(CliEmbeddedCrc, CheckFindsTheLastBracketedGroupOfTheBaseName) {
    TempDir dir;
    const std::string data = "episode";  // its CRC-32 is neither 00000000 nor DEADBEEF
    const std::string crc = Crc(data);
    ASSERT_NE(crc, "00000000");
    ASSERT_NE(crc, "DEADBEEF");
    ASSERT_EQ(
        Shell("mkdir '" + dir.Path("t") + "' '" + dir.Path("t/dir [" + crc + "]") + "'").status, 0);
    const struct {
        std::string name;
        const char* verdict;
    } cases[] = {
        {"Show - 01 [" + crc + "].mkv", "OK"},
        {"Show - 02 (" + crc + ").mkv", "OK"},
        {"lower [" + Lower(crc) + "].mkv", "OK"},
        {"[DEADBEEF] two groups [" + crc + "].mkv", "OK"},
        {"[" + crc + "] two groups [DEADBEEF].mkv", "FAILED"},
        {"wrong [00000000].mkv", "FAILED"},
        {"clip_20220806_.mp4", "no CRC in name"},
        {"bare " + crc + ".mkv", "no CRC in name"},
        {"seven [" + crc.substr(1) + "].mkv", "no CRC in name"},
        {"nine [" + crc + "0].mkv", "no CRC in name"},
        {"mixed [" + crc + ").mkv", "no CRC in name"},
        {"dir [" + crc + "]/plain.mkv", "no CRC in name"},
    };
    for (const auto& c : cases) WriteFile(dir.Path("t/" + c.name), data);
    const RunResult run = RunKorvadex({"--check-embedded", "-r", dir.Path("t")});
    EXPECT_EQ(run.status, 1) << run.err;
    const std::map<std::string, std::string> verdicts = Verdicts(run.out);
    EXPECT_EQ(verdicts.size(), std::size(cases)) << run.out;
    for (const auto& c : cases) {
        const auto found = verdicts.find(dir.Path("t/" + c.name));
        ASSERT_NE(found, verdicts.end()) << c.name << "\n" << run.out;
        EXPECT_EQ(found->second, c.verdict) << c.name;
    }
    // A name without a CRC fails only with --strict; -a adds the report's lines.
    const std::string plain = dir.Path("t/clip_20220806_.mp4");
    const std::string good = dir.Path("t/Show - 01 [" + crc + "].mkv");
    EXPECT_EQ(RunKorvadex({"--check-embedded", plain, good}).status, 0);
    EXPECT_EQ(RunKorvadex({"--check-embedded", "--strict", plain, good}).status, 1);
    const RunResult lines = RunKorvadex({"--check-embedded", "-a", "sha1", good});
    EXPECT_EQ(lines.out,
              good + ": OK\n  SHA-1: " + LineHex(kReportLines[FindAlgorithm("sha1")], data) + "\n");
}

TEST(CliEmbeddedCrc, EmbedRenamesBeforeTheLastExtensionAndNeverReplaces) {
    TempDir dir;
    const std::string data = "release";
    const std::string crc = Crc(data);
    ASSERT_NE(crc, "00000000");
    const struct {
        const char* name;
        std::string after;  // "" when the file keeps its name
        int status;
    } cases[] = {
        {"movie.mkv", "movie [" + crc + "].mkv", 0},
        {"archive.tar.gz", "archive.tar [" + crc + "].gz", 0},
        {"noext", "noext [" + crc + "]", 0},
        {".profile", ".profile [" + crc + "]", 0},
        {"already [CRC].txt", "", 0},
        {"other [00000000].txt", "", 1},
        {"taken.txt", "", 1},
    };
    for (const auto& c : cases) {
        TempDir one;
        std::string name = c.name;
        const size_t mark = name.find("CRC");
        if (mark != std::string::npos) name.replace(mark, 3, crc);
        WriteFile(one.Path(name), data);
        // The name the file would take is held by another file, which must survive.
        if (name == "taken.txt") WriteFile(one.Path("taken [" + crc + "].txt"), "other");
        const std::set<std::string> before = Entries(one.Path(""));
        const RunResult run = RunKorvadex({"--embed-crc", one.Path(name)});
        EXPECT_EQ(run.status, c.status) << name << ": " << run.err;
        if (c.after.empty()) {
            EXPECT_EQ(Entries(one.Path("")), before) << name;
            if (name == "taken.txt") {
                EXPECT_EQ(ReadFile(one.Path("taken [" + crc + "].txt")), "other");
            }
        } else {
            EXPECT_EQ(Entries(one.Path("")), std::set<std::string>{c.after}) << name;
            EXPECT_EQ(ReadFile(one.Path(c.after)), data);
            // What --embed-crc writes, --check-embedded passes.
            EXPECT_EQ(RunKorvadex({"--check-embedded", "--strict", one.Path(c.after)}).status, 0);
        }
    }
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"--embed-crc", "-a", "md5", "x"},
          std::vector<std::string>{"--check-embedded", "-"},
          std::vector<std::string>{"--check-embedded", "--format", "gnu", "x"},
          std::vector<std::string>{"--embed-crc", "--strict", "x"}}) {
        EXPECT_EQ(RunKorvadex(refused).status, 2) << refused[1];
    }
}

}  // namespace
