// The report lines over an input read in chunks, on one thread and on several: each line
// equals its one-shot (or one-shot HMAC) value, whatever the chunk size, the key and the
// number of threads; a source that fails leaves no result.
#include "line_streams.h"

#include <gtest/gtest.h>

#include <set>

#include "report_text.h"
#include "test_support.h"

namespace {

std::vector<ReportLine> TestRows() {
    return std::vector<ReportLine>(kReportLines, kReportLines + kReportLineCount);
}

std::vector<std::string> Streamed(const std::vector<ReportLine>& rows,
                                  const std::vector<uint8_t>& data, const std::string& key,
                                  unsigned jobs, size_t chunk) {
    std::vector<const ReportLine*> lines;
    for (const ReportLine& row : rows) lines.push_back(&row);
    MemorySource source(data.data(), data.size());
    StreamSettings settings;
    settings.jobs = jobs;
    settings.chunkSize = chunk;
    std::vector<std::string> hex;
    EXPECT_EQ(ComputeStreamedLines(source, lines, reinterpret_cast<const uint8_t*>(key.data()),
                                   key.size(), settings, hex),
              StreamStatus::kOk);
    return hex;
}

TEST(LineStreams, EveryLineEqualsItsOneShotValueWhateverTheChunksKeyAndThreads) {
    const std::vector<ReportLine> rows = TestRows();
    for (size_t length :
         {size_t(0), size_t(1), size_t(127), size_t(128), size_t(129), size_t(5 * 128 + 17)}) {
        const std::vector<uint8_t> data = RandomBytes(length, uint32_t(length) + 7);
        for (const std::string& key : {std::string(), std::string("key"), std::string(200, 'K')}) {
            std::vector<std::string> expected;
            for (const ReportLine& row : rows) {
                static const uint8_t kNone[1] = {0};
                const ReportInput input{data.empty() ? kNone : data.data(), uint32_t(length),
                                        reinterpret_cast<const uint8_t*>(key.data()),
                                        uint32_t(key.size())};
                char hex[2 * kMaxDigestLength + 1];
                ASSERT_EQ(ComputeLineHex(row, input, hex, 1), ReportStatus::kOk);
                expected.push_back(hex);
            }
            for (unsigned jobs : {1u, 2u, 7u}) {
                for (size_t chunk : {size_t(64), size_t(128), size_t(1000)}) {
                    SCOPED_TRACE("length " + std::to_string(length) + ", key of " +
                                 std::to_string(key.size()) + ", jobs " + std::to_string(jobs) +
                                 ", chunk " + std::to_string(chunk));
                    EXPECT_EQ(Streamed(rows, data, key, jobs, chunk), expected);
                }
            }
        }
    }
}

// A source that gives `good` bytes in full chunks and then fails.
class FailingSource : public ChunkSource {
public:
    explicit FailingSource(size_t good) : good_(good) {}
    bool Read(uint8_t* data, size_t capacity, size_t& length) override {
        if (good_ < capacity) return false;
        length = capacity;
        std::fill(data, data + length, uint8_t(0x5A));
        good_ -= length;
        return true;
    }

private:
    size_t good_;
};

// A small engine that allocates nothing: the sum of the bytes.
bool SumInit(void* context, uint32_t, uint32_t) {
    *static_cast<uint64_t*>(context) = 0;
    return true;
}
void SumUpdate(void* context, const uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; ++i) *static_cast<uint64_t*>(context) += data[i];
}
void SumFinal(void* context, uint8_t* digest) {
    const uint64_t sum = *static_cast<uint64_t*>(context);
    for (int i = 0; i < 4; ++i) digest[i] = uint8_t(sum >> (24 - 8 * i));
}
const StreamingEngine kSum = {sizeof(uint64_t), SumInit, SumUpdate, SumFinal};
bool RefuseInit(void*, uint32_t, uint32_t) {
    return false;
}
const StreamingEngine kRefusing = {sizeof(uint64_t), RefuseInit, SumUpdate, SumFinal};

TEST(LineStreams, AFailingSourceOrARefusingEngineLeavesNoResult) {
    std::vector<ReportLine> rows(3, kReportLines[0]);
    for (ReportLine& row : rows) row.stream = &kSum;
    rows[1].engine = kReportLines[1].engine;  // another family, for another thread
    std::vector<const ReportLine*> lines = {&rows[0], &rows[1], &rows[2]};
    for (unsigned jobs : {1u, 2u}) {
        for (size_t good : {size_t(0), size_t(100), size_t(1000), size_t(100500)}) {
            SCOPED_TRACE(std::to_string(good) + " bytes before the failure");
            FailingSource source(good);
            StreamSettings settings;
            settings.jobs = jobs;
            settings.chunkSize = 1000;
            std::vector<std::string> hex = {"stale"};
            EXPECT_EQ(ComputeStreamedLines(source, lines, nullptr, 0, settings, hex),
                      StreamStatus::kReadFailed);
            EXPECT_EQ(hex, std::vector<std::string>(3));
        }
    }
    MemorySource source(nullptr, 0);
    std::vector<std::string> hex;
    rows[2].stream = &kRefusing;
    EXPECT_EQ(ComputeStreamedLines(source, lines, nullptr, 0, StreamSettings(), hex),
              StreamStatus::kEngineRefused);
    rows[2].stream = &kSum;
    const std::vector<uint8_t> data(3000, 2);
    MemorySource some(data.data(), data.size());
    EXPECT_EQ(ComputeStreamedLines(some, lines, nullptr, 0, StreamSettings(), hex),
              StreamStatus::kOk);
    EXPECT_EQ(hex, std::vector<std::string>(3, "00001770"));
}

TEST(LineStreams, DealingKeepsAnEngineTogetherAndBalancesTwoWorkers) {
    std::vector<const ReportLine*> all;
    for (size_t i = 0; i < kReportLineCount; ++i) all.push_back(&kReportLines[i]);
    const std::vector<std::vector<size_t>> two = DealLines(all, 2);
    ASSERT_EQ(two.size(), 2u);
    double load[2] = {0, 0};
    std::set<size_t> seen;
    for (size_t w = 0; w < 2; ++w) {
        for (size_t i : two[w]) {
            load[w] += all[i]->cost;
            EXPECT_TRUE(seen.insert(i).second);
            for (size_t other : two[1 - w]) EXPECT_NE(all[i]->engine, all[other]->engine);
        }
    }
    EXPECT_EQ(seen.size(), all.size());
    EXPECT_LT(std::max(load[0], load[1]), 1.1 * (load[0] + load[1]) / 2);
    EXPECT_EQ(DealLines(all, 100).size(), 23u);  // one worker per engine at most
    EXPECT_EQ(DealLines({all[3]}, 4), (std::vector<std::vector<size_t>>{{0}}));
}

}  // namespace
