// Lines computed on several threads, keyed and unkeyed, with every engine family on a
// thread of its own: each equals the line of the serial one-shot report.  Built with
// ThreadSanitizer (tools/test.sh), this test also finds any state that two engine families
// share without synchronisation, such as a table built on first use.
#include <gtest/gtest.h>

#include <set>

#include "line_streams.h"
#include "test_support.h"

namespace {

// The number of engine families: the lines that share an engine share a worker.
unsigned FamilyCount() {
    std::set<DigestFn> engines;
    for (size_t i = 0; i < kReportLineCount; ++i) engines.insert(kReportLines[i].engine);
    return unsigned(engines.size());
}

// The lines as a report text, computed by the streamed lines on `jobs` threads.
std::string StreamedReport(const std::vector<uint8_t>& data, const std::string& key,
                           unsigned jobs) {
    std::vector<const ReportLine*> lines;
    for (size_t i = 0; i < kReportLineCount; ++i) lines.push_back(&kReportLines[i]);
    MemorySource source(data.data(), data.size());
    StreamSettings settings;
    settings.jobs = jobs;
    settings.chunkSize = 64;  // many chunks, so that the workers run beside the reader
    std::vector<std::string> hex;
    EXPECT_EQ(ComputeStreamedLines(source, lines, reinterpret_cast<const uint8_t*>(key.data()),
                                   key.size(), settings, hex),
              ReportStatus::kOk);
    std::string text;
    for (size_t i = 0; i < hex.size(); ++i) text += kReportLines[i].label + hex[i] + "\r\n";
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
            static const uint8_t kNone[1] = {0};
            const ReportInput input{
                data.empty() ? kNone : data.data(), uint32_t(data.size()),
                key.empty() ? nullptr : reinterpret_cast<const uint8_t*>(key.data()),
                uint32_t(key.size())};
            std::string serial;
            ASSERT_EQ(BuildReportText(input, serial), ReportStatus::kOk);
            EXPECT_EQ(StreamedReport(data, key, families), serial);
            EXPECT_EQ(StreamedReport(data, key, 2), serial);
        }
    }
}

}  // namespace
