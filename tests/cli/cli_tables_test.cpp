// The registry describes every report line and gives each its known answers; --list shows
// the descriptions; the self-test finds a wrong value.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>

#include "commands/commands.h"
#include "common/line_names.h"
#include "program_runner.h"

namespace {

TEST(LineRegistry, EveryLineIsDescribedAndHasWellFormedAnswers) {
    EXPECT_EQ(kReportLineCount, 40u);
    std::set<std::string> labels;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        SCOPED_TRACE(line.label);
        EXPECT_TRUE(labels.insert(line.label).second);
        const size_t n = std::strlen(line.label);
        ASSERT_GE(n, 3u);
        EXPECT_EQ(std::strcmp(line.label + n - 2, ": "), 0);
        EXPECT_GT(std::strlen(line.family), 0u);
        EXPECT_GT(std::strlen(line.variant), 0u);
        EXPECT_GT(line.cost, 0);
        ASSERT_NE(line.stream, nullptr);
        EXPECT_GT(std::strlen(line.answers->source), 0u);
        size_t unkeyed = 0;
        for (size_t a = 0; a < line.answers->count; ++a) {
            const KnownAnswer& answer = line.answers->answers[a];
            SCOPED_TRACE(answer.name);
            const size_t digits = std::strlen(answer.hex);
            EXPECT_EQ(digits, 2 * DigestLength(line.size));
            EXPECT_EQ(std::strspn(answer.hex, "0123456789ABCDEF"), digits);
            if (answer.key.kind == VectorBytes::kNone) {
                ++unkeyed;
            } else {
                EXPECT_FALSE(ExpandBytes(answer.key).empty());
            }
        }
        EXPECT_GE(unkeyed, 2u);  // the empty message and "abc" at least
    }
    EXPECT_EQ(ExpandBytes(HexBytes("00FF7f")), (std::vector<uint8_t>{0x00, 0xFF, 0x7F}));
    EXPECT_EQ(ExpandBytes(::Run(0xAA, 3)), (std::vector<uint8_t>{0xAA, 0xAA, 0xAA}));
}

// Runs the self-test over lines and returns its exit status, verdicts and details.
int SelfTest(const std::vector<ReportLine>& lines, std::string& out, std::string& err) {
    FILE* o = std::tmpfile();
    FILE* e = std::tmpfile();
    int status = RunSelfTest(lines.data(), lines.size(), o, e);
    for (auto [file, text] : {std::pair<FILE*, std::string*>{o, &out}, {e, &err}}) {
        std::rewind(file);
        text->clear();
        int c;
        while ((c = std::fgetc(file)) != EOF) text->push_back(char(c));
        std::fclose(file);
    }
    return status;
}

TEST(SelfTest, HoldsWithOneVerdictPerEngine) {
    std::string out, err;
    std::vector<ReportLine> all(kReportLines, kReportLines + kReportLineCount);
    EXPECT_EQ(SelfTest(all, out, err), 0);
    EXPECT_EQ(err, "");
    std::set<DigestFn> engines;
    for (size_t i = 0; i < kReportLineCount; ++i) engines.insert(kReportLines[i].engine);
    EXPECT_EQ(size_t(std::count(out.begin(), out.end(), '\n')), engines.size());
    EXPECT_EQ(out.find("FAILED"), std::string::npos);
    EXPECT_NE(out.find("CRC-32/BZIP2: ok (3 known answers)\n"), std::string::npos) << out;

    RunResult program = RunKorvadex({"--self-test"});
    EXPECT_EQ(program.status, 0);
    EXPECT_EQ(program.out, out);
}

TEST(SelfTest, FindsAWrongValueAndALineWithoutValues) {
    std::vector<ReportLine> lines(kReportLines, kReportLines + kReportLineCount);
    std::vector<KnownAnswer> crc32;
    KnownAnswerList none{nullptr, 0, "none"};
    KnownAnswerList wrong{nullptr, 0, "one wrong"};
    for (ReportLine& line : lines) {
        if (std::strcmp(line.label, "CRC16: ") == 0) line.answers = &none;
        if (std::strcmp(line.label, "CRC32: ") != 0) continue;
        crc32.assign(line.answers->answers, line.answers->answers + line.answers->count);
        crc32.push_back({"a wrong value", NoBytes(), Text("abc"), "352441C3"});
        wrong.answers = crc32.data();
        wrong.count = crc32.size();
        line.answers = &wrong;
    }
    std::string out, err;
    EXPECT_EQ(SelfTest(lines, out, err), 1);
    EXPECT_NE(out.find("CRC-32/ISO-HDLC: FAILED (4 known answers; 1 wrong, 0 lines unchecked)"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("CRC-16/ARC: FAILED (0 known answers; 0 wrong, 1 lines unchecked)"),
              std::string::npos)
        << out;
    EXPECT_NE(err.find("CRC32, a wrong value: expected 352441C3, computed 352441C2"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("CRC16: no known answer"), std::string::npos) << err;
}

TEST(ListCommand, DescribesEveryLine) {
    RunResult r = RunKorvadex({"--list"});
    EXPECT_EQ(r.status, 0);
    size_t start = 0;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const size_t end = r.out.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = r.out.substr(start, end - start);
        EXPECT_EQ(line.rfind(LineName(kReportLines[i]) + " ", 0), 0u) << line;
        EXPECT_NE(line.find(std::to_string(8 * DigestLength(kReportLines[i].size)) + " bits"),
                  std::string::npos)
            << line;
        EXPECT_NE(line.find(kReportLines[i].variant), std::string::npos);
        start = end + 1;
    }
    EXPECT_EQ(start, r.out.size());
    EXPECT_NE(r.out.find("CRC-16/ARC: polynomial 0x8005, reflected"), std::string::npos);
}

}  // namespace
