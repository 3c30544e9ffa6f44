// The line descriptions of --list and the known answers of --self-test cover every report
// line; the self-test finds a wrong value.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>

#include "commands.h"
#include "line_descriptions.h"
#include "line_names.h"
#include "program_runner.h"
#include "self_test_vectors.h"

namespace {

TEST(LineDescriptions, CoverTheFortyLabelsOnceInReportOrder) {
    EXPECT_EQ(kLineDescriptionCount, 40u);
    std::set<std::string> labels;
    for (size_t i = 0; i < kLineDescriptionCount; ++i) {
        const LineDescription& d = kLineDescriptions[i];
        SCOPED_TRACE(d.label);
        EXPECT_TRUE(labels.insert(d.label).second);
        const size_t n = std::strlen(d.label);
        ASSERT_GE(n, 3u);
        EXPECT_EQ(std::strcmp(d.label + n - 2, ": "), 0);
        EXPECT_GT(std::strlen(d.engine), 0u);
        EXPECT_GT(std::strlen(d.variant), 0u);
    }
    // The lines of the report appear among the descriptions in the same order.
    size_t next = 0;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        while (next < kLineDescriptionCount &&
               std::strcmp(kLineDescriptions[next].label, kReportLines[i].label) != 0) {
            ++next;
        }
        EXPECT_LT(next, kLineDescriptionCount) << kReportLines[i].label << " out of order";
    }
}

TEST(LineDescriptions, EveryReportLineHasOne) {
    for (size_t i = 0; i < kReportLineCount; ++i) {
        EXPECT_NE(FindLineDescription(kReportLines[i].label), nullptr) << kReportLines[i].label;
    }
}

TEST(KnownAnswers, EveryReportLineHasOne) {
    for (size_t i = 0; i < kReportLineCount; ++i) {
        size_t found = 0;
        for (size_t a = 0; a < kKnownAnswerCount; ++a) {
            if (std::strcmp(kKnownAnswers[a].label, kReportLines[i].label) == 0) ++found;
        }
        EXPECT_GE(found, 1u) << kReportLines[i].label;
    }
}

TEST(KnownAnswers, AreWellFormed) {
    std::set<std::string> unkeyedCovered;
    for (size_t a = 0; a < kKnownAnswerCount; ++a) {
        const KnownAnswer& answer = kKnownAnswers[a];
        SCOPED_TRACE(std::string(answer.label) + answer.name);
        ASSERT_NE(FindLineDescription(answer.label), nullptr);
        const size_t digits = std::strlen(answer.hex);
        EXPECT_EQ(digits % 2, 0u);
        EXPECT_EQ(std::strspn(answer.hex, "0123456789ABCDEF"), digits);
        const long line = FindLineByLabel(answer.label);
        if (line >= 0) {
            EXPECT_EQ(digits, 2 * DigestLength(kReportLines[line].size));
        }
        if (answer.key.kind == VectorBytes::kNone) {
            unkeyedCovered.insert(answer.label);
        } else {
            EXPECT_FALSE(ExpandBytes(answer.key).empty());
        }
    }
    // Every one of the forty lines has its unkeyed values, present in this build or not.
    EXPECT_EQ(unkeyedCovered.size(), kLineDescriptionCount);
    EXPECT_EQ(ExpandBytes(HexBytes("00FF7f")), (std::vector<uint8_t>{0x00, 0xFF, 0x7F}));
    EXPECT_EQ(ExpandBytes(::Run(0xAA, 3)), (std::vector<uint8_t>{0xAA, 0xAA, 0xAA}));
}

// Runs the self-test over answers and returns its exit status, verdicts and details.
int SelfTest(const std::vector<KnownAnswer>& answers, std::string& out, std::string& err) {
    FILE* o = std::tmpfile();
    FILE* e = std::tmpfile();
    int status = RunSelfTest(answers.data(), answers.size(), o, e);
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
    std::vector<KnownAnswer> all(kKnownAnswers, kKnownAnswers + kKnownAnswerCount);
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
    std::vector<KnownAnswer> answers;
    for (size_t a = 0; a < kKnownAnswerCount; ++a) {
        if (std::strcmp(kKnownAnswers[a].label, "CRC16: ") != 0)
            answers.push_back(kKnownAnswers[a]);
    }
    answers.push_back({"CRC32: ", "a wrong value", NoBytes(), Text("abc"), "352441C3"});
    std::string out, err;
    EXPECT_EQ(SelfTest(answers, out, err), 1);
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
        EXPECT_NE(line.find(FindLineDescription(kReportLines[i].label)->variant),
                  std::string::npos);
        start = end + 1;
    }
    EXPECT_EQ(start, r.out.size());
    EXPECT_NE(r.out.find("CRC-16/ARC: polynomial 0x8005, reflected"), std::string::npos);
}

}  // namespace
