// The saved-report reader takes whatever bytes it is given: every valid report is read
// back, every cut or damaged one is refused or read consistently, and nothing crashes.
#include <gtest/gtest.h>

#include <random>

#include "common/line_names.h"
#include "report_text.h"
#include "lists/saved_report_reader.h"
#include "test_support.h"

namespace {

std::string ValidReport(const std::string& path, const std::string& data) {
    const ReportInput input{reinterpret_cast<const uint8_t*>(data.data()), uint32_t(data.size()),
                            nullptr, 0};
    std::string text;
    EXPECT_EQ(BuildReportText(input, text), ReportStatus::kOk);
    return BuildSavedReport(path.c_str(), text);
}

TEST(SavedReportReader, ReadsBackWhatTheWriterWrote) {
    const std::string saved = ValidReport("C:\\data\\abc.txt", "abc");
    SavedReport report;
    std::string error;
    ASSERT_TRUE(ParseSavedReport(saved, report, error)) << error;
    EXPECT_EQ(report.inputPath, "C:\\data\\abc.txt");
    ASSERT_EQ(report.lines.size(), kReportLineCount);
    for (size_t i = 0; i < kReportLineCount; ++i) {
        EXPECT_EQ(report.lines[i].line, i);
        EXPECT_NE(saved.find(kReportLines[i].label + report.lines[i].hex + "\r\n"),
                  std::string::npos);
    }
}

TEST(SavedReportReader, RefusesEveryCutShortReport) {
    const std::string saved = ValidReport("/home/user/abc.txt", "abc");
    for (size_t n = 0; n < saved.size(); ++n) {
        SavedReport report;
        std::string error;
        EXPECT_FALSE(ParseSavedReport(saved.substr(0, n), report, error)) << n;
        EXPECT_FALSE(error.empty());
    }
}

TEST(SavedReportReader, SurvivesRandomDamage) {
    const std::string saved = ValidReport("/home/user/abc.txt", "abc");
    std::mt19937 gen(2024);
    size_t accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string damaged = saved;
        const int edits = 1 + int(gen() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t at = gen() % (damaged.size() + 1);
            switch (gen() % 4) {
                case 0:
                    if (at < damaged.size()) damaged[at] = char(gen());
                    break;
                case 1:
                    damaged.insert(at, 1, "\r\n\0:= A"[gen() % 7]);
                    break;
                case 2:
                    if (at < damaged.size()) damaged.erase(at, 1 + gen() % 8);
                    break;
                case 3:
                    damaged.resize(at);
                    break;
            }
        }
        SavedReport report;
        std::string error;
        if (!ParseSavedReport(damaged, report, error)) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        // What is accepted is consistent: known lines, once each, of the right width.
        ++accepted;
        std::vector<bool> seen(kReportLineCount, false);
        for (const SavedLine& line : report.lines) {
            ASSERT_LT(line.line, kReportLineCount);
            EXPECT_FALSE(seen[line.line]);
            seen[line.line] = true;
            EXPECT_EQ(line.hex.size(), 2 * DigestLength(kReportLines[line.line].size));
        }
        EXPECT_FALSE(report.inputPath.empty());
    }
    // Changes to hex digits or to the path keep a report readable; most damage does not.
    EXPECT_GT(accepted, 0u);
    EXPECT_LT(accepted, 20000u);
}

TEST(SavedReportReader, TellsWindowsPaths) {
    for (const char* path : {"C:\\dir\\file", "c:/dir/file", "\\\\server\\share\\f"}) {
        EXPECT_TRUE(IsWindowsPath(path)) << path;
    }
    for (const char* path : {"/home/user/f", "dir\\file", "C:", "relative/C:\\x", "-"}) {
        EXPECT_FALSE(IsWindowsPath(path)) << path;
    }
}

}  // namespace
