// InputScheduler hands results over in the order given, whatever the threads and however
// long each task takes, with a bounded number waiting; ReadTurns makes inputs read one after
// another, in order, while their lines are computed beside each other.
#include "input_scheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <utility>

#include "line_streams.h"
#include "report_lines.h"
#include "test_support.h"

namespace {

TEST(InputScheduler, HandsResultsOverInOrderWithFewWaiting) {
    struct Case {
        unsigned workers;
        size_t ahead;
    };
    for (const Case c : {Case{0, 1}, Case{1, 4}, Case{2, 2}, Case{3, 8}, Case{8, 8}}) {
        SCOPED_TRACE(c.workers);
        constexpr size_t kTasks = 200;
        std::vector<uint64_t> results(kTasks, 0);
        std::vector<size_t> handed;
        std::atomic<size_t> started{0};  // tasks with something to compute
        size_t finished = 0;             // of those, handed over
        size_t mostWaiting = 0;
        std::mutex mutex;
        std::set<unsigned> workersSeen;
        {
            InputScheduler scheduler(c.workers, c.ahead);
            for (size_t i = 0; i < kTasks; ++i) {
                // Every fifth task only writes; the others take unlike times.
                InputScheduler::Compute compute;
                if (i % 5 != 4) {
                    compute = [&, i](const InputScheduler::Place& place) {
                        ++started;
                        std::this_thread::sleep_for(std::chrono::microseconds((i * 37) % 300));
                        results[i] = i * i + 1;
                        std::lock_guard<std::mutex> lock(mutex);
                        workersSeen.insert(place.worker);
                    };
                }
                scheduler.Give(compute, [&, i] {
                    EXPECT_EQ(results[i], i % 5 != 4 ? i * i + 1 : 0);
                    if (i % 5 != 4) ++finished;
                    mostWaiting = std::max(mostWaiting, started - finished);
                    handed.push_back(i);
                });
            }
            scheduler.Finish();
            EXPECT_EQ(scheduler.Threads(), std::max(1u, c.workers));
        }
        ASSERT_EQ(handed.size(), kTasks);
        for (size_t i = 0; i < kTasks; ++i) EXPECT_EQ(handed[i], i);
        EXPECT_LE(mostWaiting, std::max<size_t>(c.ahead, c.workers));
        EXPECT_LE(workersSeen.size(), std::max(1u, c.workers));
    }
}

TEST(InputScheduler, TasksGivenNextComeRightAfterTheTaskThatGaveThem) {
    // Each task gives the rest of its work, in up to three steps, as a task of its own right
    // after it; the hand-over must come out as if each task had done all of it.
    for (unsigned threads : {0u, 2u, 3u}) {
        SCOPED_TRACE(threads);
        constexpr size_t kTasks = 60;
        std::vector<std::pair<size_t, unsigned>> handed;
        std::atomic<size_t> computed{0};
        {
            InputScheduler scheduler(threads, 4);
            std::function<void(size_t, unsigned, const InputScheduler::Place&)> step =
                [&](size_t i, unsigned k, const InputScheduler::Place& place) {
                    ++computed;
                    std::this_thread::sleep_for(std::chrono::microseconds((i * 53 + k) % 200));
                    if (k < i % 4) {
                        scheduler.GiveNext(
                            place, [&, i, k](const InputScheduler::Place& p) { step(i, k + 1, p); },
                            [&, i, k] { handed.emplace_back(i, k + 1); });
                    }
                };
            for (size_t i = 0; i < kTasks; ++i) {
                scheduler.Give([&, i](const InputScheduler::Place& p) { step(i, 0, p); },
                               [&, i] { handed.emplace_back(i, 0); });
            }
            scheduler.Finish();
        }
        std::vector<std::pair<size_t, unsigned>> expected;
        for (size_t i = 0; i < kTasks; ++i) {
            for (unsigned k = 0; k <= i % 4; ++k) expected.emplace_back(i, k);
        }
        EXPECT_EQ(handed, expected);
        EXPECT_EQ(computed.load(), expected.size());
    }
    // A task given next is taken by a free thread while the one that gave it still runs,
    // even when the free thread is the caller, waiting for the end.
    for (unsigned threads : {2u, 3u}) {
        SCOPED_TRACE(threads);
        std::atomic<bool> running{false};
        std::atomic<bool> started{false};
        bool sharedTheWork = false;
        InputScheduler scheduler(threads, 4);
        scheduler.Give(
            [&](const InputScheduler::Place& place) {
                running = true;
                // Time for the caller to fall asleep in Finish.
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                scheduler.GiveNext(
                    place, [&](const InputScheduler::Place&) { started = true; }, [] {});
                const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                while (!started && std::chrono::steady_clock::now() < end)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                sharedTheWork = started;
            },
            [] {});
        while (!running) std::this_thread::yield();
        scheduler.Finish();
        EXPECT_TRUE(sharedTheWork);
    }
}

// The bytes of one input, each read of which is logged with the input's number; it waits for
// the input's turn before its first read, as a file on a spinning disk does.
class LoggedSource : public ChunkSource {
public:
    LoggedSource(const std::string& bytes, size_t number, ReadTurns& turns,
                 std::vector<size_t>& log, std::mutex& mutex)
        : memory_(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
          number_(number),
          turns_(turns),
          log_(log),
          mutex_(mutex) {}

    bool Read(uint8_t* data, size_t capacity, size_t& length) override {
        if (first_) turns_.Wait(number_);
        first_ = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            log_.push_back(number_);
        }
        // Long enough for another input's reads to come in between, were they let.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return memory_.Read(data, capacity, length);
    }

private:
    MemorySource memory_;
    const size_t number_;
    ReadTurns& turns_;
    std::vector<size_t>& log_;
    std::mutex& mutex_;
    bool first_ = true;
};

TEST(InputScheduler, SequentialTurnsReadInputsOneAfterAnotherInOrder) {
    constexpr size_t kInputs = 12;
    constexpr size_t kChunk = 4096;
    std::vector<std::string> inputs;
    for (size_t i = 0; i < kInputs; ++i) {
        const std::vector<uint8_t> bytes = RandomBytes(kChunk * (1 + i % 4) + i, unsigned(i));
        inputs.emplace_back(bytes.begin(), bytes.end());
    }
    const std::vector<const ReportLine*> lines = {&kReportLines[0], &kReportLines[20]};
    StreamSettings settings;
    settings.chunkSize = kChunk;
    std::vector<std::vector<std::string>> expected(kInputs);
    for (size_t i = 0; i < kInputs; ++i) {
        MemorySource source(reinterpret_cast<const uint8_t*>(inputs[i].data()), inputs[i].size());
        ASSERT_EQ(ComputeStreamedLines(source, lines, nullptr, 0, settings, expected[i]),
                  ReportStatus::kOk);
    }
    settings.callerOnly = true;

    ReadTurns turns(true);
    std::vector<size_t> log;
    std::mutex mutex;
    std::vector<std::vector<std::string>> hex(kInputs);
    {
        InputScheduler scheduler(4, 16);
        for (size_t i = 0; i < kInputs; ++i) {
            scheduler.Give(
                [&, i](const InputScheduler::Place&) {
                    LoggedSource source(inputs[i], i, turns, log, mutex);
                    EXPECT_EQ(ComputeStreamedLines(source, lines, nullptr, 0, settings, hex[i]),
                              ReportStatus::kOk);
                    turns.Pass(i);
                },
                [] {});
        }
    }
    // Each input's reads come together, the inputs in order.
    ASSERT_FALSE(log.empty());
    for (size_t k = 1; k < log.size(); ++k) EXPECT_LE(log[k - 1], log[k]) << "read " << k;
    EXPECT_EQ(log.back(), kInputs - 1);
    EXPECT_EQ(hex, expected);

    // Turns passed out of order still let each input through once those before it passed.
    ReadTurns late(true);
    late.Pass(2);
    late.Pass(0);
    late.Wait(1);
    late.Pass(1);
    late.Wait(3);
}

}  // namespace
