// The report lines over an input read in chunks, on one thread and on several: each line
// equals its one-shot (or one-shot HMAC) value, whatever the chunk size, the key and the
// number of threads, read or lent; a source that fails leaves no result.
#include "line_streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>

#include "checksums.h"
#include "md2.h"
#include "md2_lanes.h"
#include "report_text.h"
#include "snefru.h"
#include "test_support.h"

namespace {

std::vector<ReportLine> TestRows() {
    return std::vector<ReportLine>(kReportLines, kReportLines + kReportLineCount);
}

// A source that lends its bytes in views of `view` bytes, each a copy of its own that is
// poisoned when given back, and that checks how the views are held and handed back.
class LendingSource : public ChunkSource {
public:
    LendingSource(const std::vector<uint8_t>& data, size_t view, size_t failAt = SIZE_MAX)
        : data_(data), view_(view), failAt_(failAt) {}
    ~LendingSource() override {
        EXPECT_TRUE(out_.empty()) << out_.size() << " views never given back";
    }
    bool Read(uint8_t*, size_t, size_t&) override {
        ADD_FAILURE() << "Read of a lending source";
        return false;
    }
    bool Lends() const override { return true; }
    bool Skip(uint64_t bytes) override {
        if (bytes > data_.size() - offset_) return false;
        offset_ += size_t(bytes);
        return true;
    }
    bool Lend(const uint8_t*& data, size_t& length, bool& last) override {
        EXPECT_LT(offset_, data_.size()) << "Lend past the end";
        EXPECT_LT(out_.size(), kMaxLentViews);
        length = std::min(view_, data_.size() - offset_);
        auto copy = std::make_unique<std::vector<uint8_t>>(data_.begin() + offset_,
                                                           data_.begin() + offset_ + length);
        data = copy->data();
        out_.push_back({std::move(copy), offset_});
        offset_ += length;
        last = offset_ == data_.size();
        return true;
    }
    bool GiveBack(const uint8_t* data) override {
        auto held = std::find_if(out_.begin(), out_.end(),
                                 [&](const Held& h) { return h.bytes->data() == data; });
        if (held == out_.end()) {
            ADD_FAILURE() << "a view given back that is not out";
            return false;
        }
        const bool good = held->offset != failAt_;
        std::fill(held->bytes->begin(), held->bytes->end(), uint8_t(0xEE));
        out_.erase(held);
        return good;
    }

private:
    struct Held {
        std::unique_ptr<std::vector<uint8_t>> bytes;
        size_t offset;
    };
    const std::vector<uint8_t>& data_;
    size_t view_;
    size_t failAt_;
    size_t offset_ = 0;
    std::vector<Held> out_;
};

std::vector<std::string> Streamed(const std::vector<ReportLine>& rows,
                                  const std::vector<uint8_t>& data, const std::string& key,
                                  unsigned jobs, size_t chunk, bool lent = false) {
    std::vector<const ReportLine*> lines;
    for (const ReportLine& row : rows) lines.push_back(&row);
    MemorySource memory(data.data(), data.size());
    LendingSource lending(data, chunk);
    ChunkSource& source = lent && !data.empty() ? static_cast<ChunkSource&>(lending) : memory;
    StreamSettings settings;
    settings.jobs = jobs;
    settings.chunkSize = chunk;
    std::vector<std::string> hex;
    EXPECT_EQ(ComputeStreamedLines(source, lines, reinterpret_cast<const uint8_t*>(key.data()),
                                   key.size(), settings, hex),
              ReportStatus::kOk);
    return hex;
}

TEST(LineStreams, EveryLineEqualsItsOneShotValueWhateverTheChunksKeyAndThreads) {
    // Every line, on worker threads; the five checksums (the first rows), which cost little
    // enough to be hashed on the reading thread.
    const std::vector<ReportLine> all = TestRows();
    for (const std::vector<ReportLine>& rows : {all, std::vector<ReportLine>(&all[0], &all[5])}) {
        for (size_t length :
             {size_t(0), size_t(1), size_t(127), size_t(128), size_t(129), size_t(5 * 128 + 17)}) {
            const std::vector<uint8_t> data = RandomBytes(length, uint32_t(length) + 7);
            for (const std::string& key :
                 {std::string(), std::string("key"), std::string(200, 'K')}) {
                std::vector<std::string> expected;
                for (const ReportLine& row : rows) {
                    static const uint8_t kNone[1] = {0};
                    const ReportInput input{data.empty() ? kNone : data.data(), uint32_t(length),
                                            reinterpret_cast<const uint8_t*>(key.data()),
                                            uint32_t(key.size())};
                    char hex[2 * kMaxDigestLength + 1];
                    ASSERT_EQ(ComputeLineHex(row, input, hex), ReportStatus::kOk);
                    expected.push_back(hex);
                }
                for (unsigned jobs : {1u, 2u, 7u}) {
                    for (size_t chunk : {size_t(64), size_t(128), size_t(1000)}) {
                        SCOPED_TRACE("length " + std::to_string(length) + ", key of " +
                                     std::to_string(key.size()) + ", jobs " + std::to_string(jobs) +
                                     ", chunk " + std::to_string(chunk));
                        EXPECT_EQ(Streamed(rows, data, key, jobs, chunk), expected);
                        EXPECT_EQ(Streamed(rows, data, key, jobs, chunk, true), expected);
                    }
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
    for (ReportLine& row : rows) {
        row.stream = &kSum;
        row.cost = 1;  // dear enough for worker threads
    }
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
                      ReportStatus::kReadFailed);
            EXPECT_EQ(hex, std::vector<std::string>(3));
        }
    }
    // A lent view that turns out void, first, last or in between, alone or on threads.
    const std::vector<uint8_t> lent(5000, 1);
    for (unsigned jobs : {1u, 2u}) {
        for (size_t failAt : {size_t(0), size_t(2000), size_t(4000)}) {
            SCOPED_TRACE("the view at " + std::to_string(failAt) + " void, jobs " +
                         std::to_string(jobs));
            LendingSource source(lent, 1000, failAt);
            StreamSettings settings;
            settings.jobs = jobs;
            std::vector<std::string> hex = {"stale"};
            EXPECT_EQ(ComputeStreamedLines(source, lines, nullptr, 0, settings, hex),
                      ReportStatus::kReadFailed);
            EXPECT_EQ(hex, std::vector<std::string>(3));
        }
    }
    MemorySource source(nullptr, 0);
    std::vector<std::string> hex;
    rows[2].stream = &kRefusing;
    EXPECT_EQ(ComputeStreamedLines(source, lines, nullptr, 0, StreamSettings(), hex),
              ReportStatus::kEngineRefused);
    rows[2].stream = &kSum;
    const std::vector<uint8_t> data(3000, 2);
    MemorySource some(data.data(), data.size());
    EXPECT_EQ(ComputeStreamedLines(some, lines, nullptr, 0, StreamSettings(), hex),
              ReportStatus::kOk);
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

TEST(LineStreams, LanedSourcesFollowTheMd2LanesChosen) {
    std::vector<const ReportLine*> md2, snefru;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        if (kReportLines[i].engine == Md2Digest) md2.push_back(&kReportLines[i]);
        if (kReportLines[i].engine == SnefruDigest) snefru.push_back(&kReportLines[i]);
    }
    ASSERT_FALSE(md2.empty());
    ASSERT_FALSE(snefru.empty());
    std::vector<const ReportLine*> both = snefru;
    both.push_back(md2[0]);
    EXPECT_EQ(LanedSources(md2), Md2ChosenLanes().count);
    EXPECT_EQ(LanedSources(both), Md2ChosenLanes().count);
    EXPECT_EQ(LanedSources(snefru), 8u);
}

TEST(LineStreams, LanedLinesEqualTheStreamedOnesForEachSource) {
    // Every line of the report, MD2's and Snefru's through the lanes, over sources of unlike
    // lengths (empty, within a block, across chunks) that end in different rounds; one
    // source fails midway and leaves the others' results whole.
    std::vector<const ReportLine*> lines;
    for (size_t i = 0; i < kReportLineCount; ++i) lines.push_back(&kReportLines[i]);
    const size_t chunk = 4096;
    for (size_t count : {size_t(1), size_t(3), kMaxLanedSources}) {
        SCOPED_TRACE(count);
        std::vector<std::vector<uint8_t>> bytes;
        std::vector<std::unique_ptr<ChunkSource>> owned;
        std::vector<ChunkSource*> sources;
        for (size_t s = 0; s < count; ++s) {
            bytes.push_back(
                RandomBytes(s == 0 ? 0 : (s * 5 * chunk) / 3 + s * 7, uint32_t(s + 50)));
            if (count > 1 && s == 1) {
                owned.emplace_back(new FailingSource(2 * chunk));
            } else {
                owned.emplace_back(new MemorySource(bytes[s].data(), bytes[s].size()));
            }
            sources.push_back(owned.back().get());
        }
        std::vector<ReportStatus> status;
        std::vector<std::vector<std::string>> hex;
        ComputeLanedLines(sources, lines, chunk, status, hex);
        ASSERT_EQ(status.size(), count);
        for (size_t s = 0; s < count; ++s) {
            SCOPED_TRACE(s);
            if (count > 1 && s == 1) {
                EXPECT_EQ(status[s], ReportStatus::kReadFailed);
                EXPECT_EQ(hex[s], std::vector<std::string>(lines.size()));
                continue;
            }
            MemorySource alone(bytes[s].data(), bytes[s].size());
            std::vector<std::string> expected;
            ASSERT_EQ(ComputeStreamedLines(alone, lines, nullptr, 0, StreamSettings(), expected),
                      ReportStatus::kOk);
            EXPECT_EQ(status[s], ReportStatus::kOk);
            EXPECT_EQ(hex[s], expected);
        }
    }
}

namespace {

struct Saved {
    uint64_t offset;
    std::string state;
};

// The lines over source with checkpoints every `every` bytes, going on from `resume`; the
// states saved land in saved.
struct CheckpointRun {
    ReportStatus status;
    ResumeOutcome outcome;
    std::vector<std::string> hex;
};
CheckpointRun RunWithCheckpoints(ChunkSource& source, const std::vector<const ReportLine*>& lines,
                                 const std::string& key, uint64_t every, const std::string& resume,
                                 StreamSettings settings, std::vector<Saved>* saved = nullptr) {
    StreamCheckpoints checkpoints;
    checkpoints.every = every;
    checkpoints.resume = resume;
    checkpoints.save = [&](uint64_t offset, const std::string& state) {
        if (saved != nullptr) saved->push_back({offset, state});
    };
    settings.checkpoints = &checkpoints;
    CheckpointRun run;
    run.status = ComputeStreamedLines(source, lines, reinterpret_cast<const uint8_t*>(key.data()),
                                      key.size(), settings, run.hex);
    run.outcome = checkpoints.outcome;
    return run;
}

std::vector<const ReportLine*> AllLines() {
    std::vector<const ReportLine*> lines;
    for (size_t i = 0; i < kReportLineCount; ++i) lines.push_back(&kReportLines[i]);
    return lines;
}

}  // namespace

TEST(LineStreams, SavedStatesComeAtTheMarksAndGoOnToTheUninterruptedDigests) {
    // Every line over a few MiB, read in chunks that the marks divide or cut, or lent in views
    // that span them; on one thread and on several, or on the caller's alone.  A resumed run
    // may take other settings than the one that saved the state.
    const std::vector<const ReportLine*> lines = AllLines();
    const std::vector<uint8_t> data = RandomBytes((size_t(1) << 19) + 4099, 77);
    std::vector<std::string> expected;
    MemorySource whole(data.data(), data.size());
    ASSERT_EQ(ComputeStreamedLines(whole, lines, nullptr, 0, StreamSettings(), expected),
              ReportStatus::kOk);
    struct Case {
        uint64_t every;
        size_t chunk;  // or the lent views' size
        unsigned jobs;
        bool lent;
        bool callerOnly;
    };
    const Case cases[] = {
        {64 << 10, 16 << 10, 1, false, false}, {64 << 10, 48 << 10, 3, false, false},
        {100000, 64 << 10, 2, false, false},   {100000, 64 << 10, 1, false, true},
        {64 << 10, 40000, 3, true, false},     {300000, 1 << 20, 1, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("every " + std::to_string(c.every) + ", chunk " + std::to_string(c.chunk) +
                     ", jobs " + std::to_string(c.jobs) + (c.lent ? ", lent" : "") +
                     (c.callerOnly ? ", caller only" : ""));
        StreamSettings settings;
        settings.jobs = c.jobs;
        settings.chunkSize = c.chunk;
        settings.callerOnly = c.callerOnly;
        auto run = [&](const std::string& resume, std::vector<Saved>* saved) {
            MemorySource memory(data.data(), data.size());
            LendingSource lending(data, c.chunk);
            ChunkSource& source = c.lent ? static_cast<ChunkSource&>(lending) : memory;
            return RunWithCheckpoints(source, lines, "", c.every, resume, settings, saved);
        };
        std::vector<Saved> saved;
        const CheckpointRun first = run("", &saved);
        ASSERT_EQ(first.status, ReportStatus::kOk);
        EXPECT_EQ(first.outcome, ResumeOutcome::kNone);
        EXPECT_EQ(first.hex, expected);
        std::vector<uint64_t> offsets, marks;
        for (const Saved& s : saved) offsets.push_back(s.offset);
        for (uint64_t at = c.every; at < data.size(); at += c.every) marks.push_back(at);
        ASSERT_EQ(offsets, marks);
        // Going on from the first, a middle and the last state; the resumed run saves the
        // states after its own offset.
        for (size_t k : {size_t(0), saved.size() / 2, saved.size() - 1}) {
            SCOPED_TRACE("from " + std::to_string(saved[k].offset));
            std::vector<Saved> later;
            const CheckpointRun resumed = run(saved[k].state, &later);
            ASSERT_EQ(resumed.status, ReportStatus::kOk);
            EXPECT_EQ(resumed.outcome, ResumeOutcome::kResumed);
            EXPECT_EQ(resumed.hex, expected);
            ASSERT_EQ(later.size(), saved.size() - k - 1);
            if (!later.empty()) {
                EXPECT_EQ(later.front().offset, saved[k + 1].offset);
            }
        }
    }
}

TEST(LineStreams, AStateThatDoesNotFitIsRefusedAndTheLinesStartOver) {
    const std::vector<const ReportLine*> lines = AllLines();
    const std::vector<uint8_t> data = RandomBytes(200000, 78);
    StreamSettings settings;
    settings.chunkSize = 16 << 10;
    std::vector<Saved> saved;
    MemorySource source(data.data(), data.size());
    ASSERT_EQ(RunWithCheckpoints(source, lines, "", 64 << 10, "", settings, &saved).status,
              ReportStatus::kOk);
    ASSERT_EQ(saved.size(), 3u);
    const std::string state = saved[0].state;

    // A state refused over a short input: the lines start over and end as they do
    // uninterrupted (were it taken, the source could not skip to its offset).
    const std::vector<uint8_t> shortData(data.begin(), data.begin() + 1000);
    std::vector<std::string> expected;
    MemorySource plain(shortData.data(), shortData.size());
    ASSERT_EQ(ComputeStreamedLines(plain, lines, nullptr, 0, settings, expected),
              ReportStatus::kOk);
    auto refused = [&](const std::string& bad, const std::vector<const ReportLine*>& to,
                       ResumeOutcome why) {
        MemorySource from(shortData.data(), shortData.size());
        const CheckpointRun run = RunWithCheckpoints(from, to, "", 64 << 10, bad, settings);
        EXPECT_EQ(run.outcome, why);
        EXPECT_EQ(run.status, ReportStatus::kOk);
        if (to == lines) {
            EXPECT_EQ(run.hex, expected);
        }
    };
    // Its CRC-32 made good again after a change, so that the check after it is the one seen.
    auto resealed = [](std::string bad) {
        const uint32_t crc = uint32_t(Crc32Digest(reinterpret_cast<const uint8_t*>(bad.data()),
                                                  uint32_t(bad.size() - 4), 0, 0));
        std::memcpy(&bad[bad.size() - 4], &crc, 4);
        return bad;
    };
    // Every byte of the head, then every seventh.
    for (size_t at = 0; at < state.size(); at += at < 64 ? 1 : 7) {
        SCOPED_TRACE("byte " + std::to_string(at) + " changed");
        std::string bad = state;
        bad[at] = char(bad[at] ^ 0x10);
        // Bytes 8 to 15 are the byte order mark and the word size.
        refused(bad, lines,
                at >= 8 && at < 16 ? ResumeOutcome::kOtherMachine : ResumeOutcome::kDamaged);
    }
    for (size_t length :
         {size_t(1), size_t(7), size_t(20), state.size() / 2, state.size() - 4, state.size() - 1}) {
        SCOPED_TRACE("truncated to " + std::to_string(length));
        refused(state.substr(0, length), lines, ResumeOutcome::kDamaged);
        if (length + 4 < state.size())
            refused(resealed(state.substr(0, length + 4)), lines, ResumeOutcome::kDamaged);
    }
    std::string swapped = state;
    std::reverse(swapped.begin() + 8, swapped.begin() + 12);
    refused(resealed(swapped), lines, ResumeOutcome::kOtherMachine);
    std::string otherWord = state;
    otherWord[12] = char(otherWord[12] ^ 12);
    refused(resealed(otherWord), lines, ResumeOutcome::kOtherMachine);
    std::string otherVersion = state;
    otherVersion[16] = char(otherVersion[16] + 1);
    refused(resealed(otherVersion), lines, ResumeOutcome::kDamaged);
    std::string longer = state;
    longer.insert(longer.size() - 4, "x");
    refused(resealed(longer), lines, ResumeOutcome::kDamaged);
    // Other lines: one fewer, the same in another order, another line alone.
    refused(state, std::vector<const ReportLine*>(lines.begin() + 1, lines.end()),
            ResumeOutcome::kOtherLines);
    std::vector<const ReportLine*> reordered = lines;
    std::swap(reordered[3], reordered[4]);
    refused(state, reordered, ResumeOutcome::kOtherLines);
    refused(state, {lines[7]}, ResumeOutcome::kOtherLines);
    MemorySource one(data.data(), data.size());
    saved.clear();
    ASSERT_EQ(RunWithCheckpoints(one, {lines[7]}, "", 64 << 10, "", settings, &saved).status,
              ReportStatus::kOk);
    ASSERT_FALSE(saved.empty());
    refused(saved[0].state, lines, ResumeOutcome::kOtherLines);
}

TEST(LineStreams, KeyedLinesNeitherSaveNorGoOnFromAState) {
    const std::vector<const ReportLine*> lines = AllLines();
    const std::vector<uint8_t> data = RandomBytes(300000, 79);
    for (unsigned jobs : {1u, 3u}) {
        StreamSettings settings;
        settings.jobs = jobs;
        settings.chunkSize = 16 << 10;
        std::vector<Saved> unkeyed;
        MemorySource source(data.data(), data.size());
        ASSERT_EQ(RunWithCheckpoints(source, lines, "", 64 << 10, "", settings, &unkeyed).status,
                  ReportStatus::kOk);
        ASSERT_FALSE(unkeyed.empty());
        std::vector<std::string> expected;
        MemorySource plain(data.data(), data.size());
        ASSERT_EQ(ComputeStreamedLines(plain, lines, reinterpret_cast<const uint8_t*>("key"), 3,
                                       settings, expected),
                  ReportStatus::kOk);
        for (const std::string& resume : {std::string(), unkeyed[0].state}) {
            std::vector<Saved> saved;
            MemorySource keyed(data.data(), data.size());
            const CheckpointRun run =
                RunWithCheckpoints(keyed, lines, "key", 64 << 10, resume, settings, &saved);
            EXPECT_EQ(run.status, ReportStatus::kOk);
            EXPECT_EQ(run.outcome, resume.empty() ? ResumeOutcome::kNone : ResumeOutcome::kKeyed);
            EXPECT_EQ(run.hex, expected);
            EXPECT_TRUE(saved.empty());
        }
    }
}
