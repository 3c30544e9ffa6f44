// Reports computed on several threads, keyed and unkeyed, with every engine family on a
// thread of its own: the text equals the one-thread report.  Built with ThreadSanitizer
// (tools/test.sh), these tests also find any state that two engine families share without
// synchronisation, such as a table built on first use.
#include <gtest/gtest.h>

#include <set>

#include "line_jobs.h"
#include "report_text.h"
#include "test_support.h"

namespace {

// The number of engine families: the lines that share an engine share a job.
unsigned FamilyCount() {
    std::set<DigestFn> engines;
    for (size_t i = 0; i < kReportLineCount; ++i) engines.insert(kReportLines[i].engine);
    return unsigned(engines.size());
}

std::string Report(const std::vector<uint8_t>& data, const std::string& key, unsigned jobs) {
    static const uint8_t kNone[1] = {0};
    const ReportInput input{data.empty() ? kNone : data.data(), uint32_t(data.size()),
                            key.empty() ? nullptr : reinterpret_cast<const uint8_t*>(key.data()),
                            uint32_t(key.size())};
    std::string text;
    EXPECT_EQ(BuildReportText(input, text, jobs), ReportStatus::kOk);
    return text;
}

TEST(RobustThreads, EveryFamilyOnItsOwnThreadGivesTheSerialReport) {
    const unsigned families = FamilyCount();
    ASSERT_GT(families, 1u);
    // Lengths around the block sizes of the suite (16, 32, 48, 64 and 128 bytes).
    for (size_t length :
         {size_t(0), size_t(1), size_t(47), size_t(64), size_t(129), size_t(20000)}) {
        const std::vector<uint8_t> data = RandomBytes(length, uint32_t(length) + 1);
        for (const std::string& key : {std::string(), std::string("key"), std::string(200, 'K')}) {
            SCOPED_TRACE("length " + std::to_string(length) + ", key of " +
                         std::to_string(key.size()));
            const std::string serial = Report(data, key, 1);
            EXPECT_EQ(Report(data, key, families), serial);
            EXPECT_EQ(Report(data, key, 2), serial);
        }
    }
}

TEST(RobustThreads, ProgressCallbacksNeverOverlapAndCoverEveryLine) {
    const std::vector<uint8_t> data = RandomBytes(5000, 3);
    const ReportInput input{data.data(), uint32_t(data.size()), nullptr, 0};
    std::vector<size_t> all;
    for (size_t i = 0; i < kReportLineCount; ++i) all.push_back(i);
    // The callback is unsynchronised on purpose: the lines promise that calls never overlap.
    std::vector<size_t> started;
    std::vector<std::string> hex;
    ASSERT_EQ(ComputeLines(input, all, FamilyCount(), 1, hex,
                           [&](size_t line) { started.push_back(line); }),
              ReportStatus::kOk);
    EXPECT_EQ(std::set<size_t>(started.begin(), started.end()).size(), kReportLineCount);
    EXPECT_EQ(started.size(), kReportLineCount);
}

}  // namespace
