#include "batch/input_batch.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace {

// The bytes read of each file of a group at a time: small enough that a group's buffers,
// on each of up to kMaxReadersAtOnce threads, stay within a few MiB.
constexpr size_t kGroupChunkSize = size_t(256) << 10;

// The inputs at once that may hash large files through mapped windows, at most: each holds
// up to two windows of 4 MiB, which count in the memory used.
constexpr unsigned kMostLending = 4;

// The tasks (an input, or a run or group of files) given and not yet handed back, per
// thread: enough for the threads never to wait for the output of a slow input, few enough
// that the results waiting stay small.
constexpr size_t kAheadPerThread = 8;

// The files of a run at most; the time after which a run gives the rest of its files to a
// task of their own, and the size of a file that does so as soon as it is open: small files
// go many to a task, large ones one.
constexpr size_t kMostInRun = 16;
constexpr auto kRunTime = std::chrono::microseconds(200);
constexpr int64_t kLargeFile = int64_t(256) << 10;

unsigned Threads(unsigned jobs) {
    return jobs != 0 ? jobs : std::max(1u, std::thread::hardware_concurrency());
}

// The inputs in flight at once.
unsigned InFlight(unsigned jobs, size_t inputs) {
    size_t most = std::min<size_t>(Threads(jobs), kMaxReadersAtOnce);
    most = std::min<size_t>(most, Progress::kLanes);
    if (inputs != 0) most = std::min(most, inputs);
    return unsigned(most);
}

}  // namespace

InputBatch::InputBatch(unsigned jobs, ReadOrder order, size_t inputs, Progress& progress)
    : progress_(progress),
      order_(order),
      scheduler_(InFlight(jobs, inputs), kAheadPerThread * InFlight(jobs, inputs)),
      turns_(order != ReadOrder::kParallel && scheduler_.Threads() > 1) {
    buffers_.resize(scheduler_.Threads());
    perInput_ = std::max(1u, Threads(jobs) / scheduler_.Threads());
    inTurn_ = Threads(jobs);
    // As many files a group as give every thread a group, at most kMaxLanedSources (and at
    // most what GroupSize finds for the lines); no group of a single file.
    const size_t share =
        inputs == 0 ? kMaxLanedSources : (inputs + scheduler_.Threads() - 1) / scheduler_.Threads();
    groupSize_ = inputs == 1 ? 0 : std::min(share, kMaxLanedSources);
    if (groupSize_ < 2) groupSize_ = 0;
}

InputBatch::~InputBatch() {
    Finish();
}

void InputBatch::Then(std::function<void()> write) {
    GiveGroup();
    scheduler_.Give(nullptr, std::move(write));
}

void InputBatch::Finish() {
    GiveGroup();
    scheduler_.Finish();
}

size_t InputBatch::GroupSize(const std::vector<uint8_t>& key,
                             const std::vector<size_t>& lines) const {
    if (groupSize_ == 0 || !key.empty()) return 0;
    std::vector<const ReportLine*> laned;
    for (size_t line : lines) {
        if (LanedLine(kReportLines[line])) laned.push_back(&kReportLines[line]);
    }
    if (laned.empty()) return 0;
    // The fewest groups of at most LanedSources files, as even as they come: 8 files for 6
    // lanes go in two groups of 4 rather than 6 and 2, which would run two lanes alone.
    const size_t most = LanedSources(laned);
    const size_t groups = (groupSize_ + most - 1) / most;
    const size_t size = (groupSize_ + groups - 1) / groups;
    return size < 2 ? 0 : size;
}

void InputBatch::GiveGroup() {
    if (group_.empty()) return;
    auto run = std::make_shared<Run>();
    run->members = std::move(group_);
    group_.clear();
    run->results.resize(run->members.size());
    run->first = given_;
    run->key = groupKey_;
    run->lines = groupLines_;
    given_ += run->members.size();
    scheduler_.Give(laned_ ? LanedCompute(run) : RunCompute(run), RunDeliver(run));
}

void InputBatch::HandOn(const InputScheduler::Place& place, Run& run, size_t from) {
    auto rest = std::make_shared<Run>();
    rest->members.assign(std::make_move_iterator(run.members.begin() + std::ptrdiff_t(from)),
                         std::make_move_iterator(run.members.end()));
    rest->results.resize(rest->members.size());
    rest->first = run.first + from;
    rest->key = run.key;
    rest->lines = run.lines;
    run.members.resize(from);
    run.results.resize(from);
    scheduler_.GiveNext(place, RunCompute(rest), RunDeliver(rest));
}

InputScheduler::Compute InputBatch::RunCompute(const std::shared_ptr<Run>& run) {
    return [this, run](const InputScheduler::Place& place) {
        const auto start = std::chrono::steady_clock::now();
        // The run shrinks to m + 1 files where the file at m hands the rest on.
        for (size_t m = 0; m < run->members.size(); ++m) {
            if (m != 0 && std::chrono::steady_clock::now() - start > kRunTime) {
                // The files are not as small as they looked.
                HandOn(place, *run, m);
                return;
            }
            InputRun how = RunOf(place, run->first + m);
            if (m + 1 < run->members.size()) {
                // A large file hands the files after it on before it is read, so that
                // another thread takes them meanwhile.
                how.opened = [this, &place, &run, m](int64_t size) {
                    if (size > kLargeFile) HandOn(place, *run, m + 1);
                };
            }
            run->results[m] = ComputeFileResult(run->members[m].path, *run->key, run->lines, how);
            turns_.Pass(run->first + m);
            progress_.Finished(place.worker);
        }
    };
}

InputScheduler::Deliver InputBatch::RunDeliver(const std::shared_ptr<Run>& run) {
    return [run] {
        for (size_t m = 0; m < run->members.size(); ++m) {
            const InputResult& result = run->results[m];
            if (!result.ok) PrintError(result.subject, result.reason);
            run->members[m].deliver(result);
        }
    };
}

InputScheduler::Compute InputBatch::LanedCompute(const std::shared_ptr<Run>& group) {
    return [this, group](const InputScheduler::Place& place) {
        const std::vector<Member>& members = group->members;
        std::vector<InputResult>& results = group->results;
        const std::vector<size_t>& lines = group->lines;
        // The members take their turns in order, as single inputs do.
        const uint64_t firstTurn = group->first;
        std::vector<std::unique_ptr<InputReader>> readers;
        std::vector<ChunkSource*> sources;
        std::vector<InputResult*> opened;
        bool inTurn = false;
        for (size_t m = 0; m < members.size(); ++m) {
            InputResult& result = results[m];
            result.subject = InputName(members[m].path);
            result.hex.assign(kReportLineCount, std::string());
            auto reader = std::make_unique<InputReader>();
            reader->ReadInTurn(order_, [] {});
            reader->NeverLend();
            if (!reader->Open(members[m].path, result.reason)) continue;
            inTurn = inTurn || reader->TakesTurns();
            sources.push_back(reader.get());
            opened.push_back(&result);
            readers.push_back(std::move(reader));
        }
        if (inTurn) {
            // Files read in sequence cannot be read by turns with each other: each is
            // computed alone, in its turn.
            readers.clear();
            for (size_t m = 0; m < members.size(); ++m) {
                InputRun run;
                run.jobs = inTurn_;
                run.jobsInTurn = inTurn_;
                run.lend = scheduler_.Threads() <= kMostLending;
                run.order = order_;
                run.bytesRead = progress_.BytesRead(place.worker);
                const uint64_t turn = firstTurn + m;
                run.waitTurn = [this, turn] { turns_.Wait(turn); };
                results[m] = ComputeFileResult(members[m].path, {}, lines, run);
                turns_.Pass(turn);
                progress_.Finished(place.worker);
            }
            return;
        }
        for (size_t m = 0; m < members.size(); ++m) turns_.Pass(firstTurn + m);
        std::vector<const ReportLine*> rows;
        for (size_t line : lines) rows.push_back(&kReportLines[line]);
        std::vector<ReportStatus> status;
        std::vector<std::vector<std::string>> texts;
        ComputeLanedLines(sources, rows, kGroupChunkSize, status, texts);
        for (size_t k = 0; k < sources.size(); ++k) {
            InputResult& result = *opened[k];
            result.size = readers[k]->Taken();
            result.ok = status[k] == ReportStatus::kOk;
            if (result.ok) {
                for (size_t i = 0; i < lines.size(); ++i) result.hex[lines[i]] = texts[k][i];
            } else {
                result.reason = (status[k] == ReportStatus::kReadFailed
                                     ? readers[k]->Reason()
                                     : std::string(ReportStatusText(status[k]))) +
                                "; no report";
            }
        }
        for (const InputResult& result : results) {
            progress_.BytesRead(place.worker)->store(result.size);
            progress_.Finished(place.worker);
        }
    };
}

void InputBatch::Add(Work work, unsigned serialJobs, Deliver deliver) {
    auto result = std::make_shared<InputResult>();
    const uint64_t index = given_++;
    auto compute = [this, work = std::move(work), serialJobs, result,
                    index](const InputScheduler::Place& place) {
        if (scheduler_.Threads() == 1) {
            InputRun run;
            run.jobs = serialJobs;
            run.progress = &progress_;
            *result = work(run);
            return;
        }
        *result = work(RunOf(place, index));
        turns_.Pass(index);
        progress_.Finished(place.worker);
    };
    scheduler_.Give(std::move(compute), [result, deliver = std::move(deliver)] {
        if (!result->ok) PrintError(result->subject, result->reason);
        deliver(*result);
    });
}

InputRun InputBatch::RunOf(const InputScheduler::Place& place, uint64_t index) {
    // One thread reads the input; the others it may have hash its lines.
    InputRun run;
    run.callerOnly = perInput_ == 1;
    run.buffer = &buffers_[place.worker];
    run.jobs = perInput_ - 1;
    run.jobsInTurn = inTurn_;
    run.lend = scheduler_.Threads() <= kMostLending;
    run.order = order_;
    run.bytesRead = progress_.BytesRead(place.worker);
    if (turns_.Sequential()) {
        run.waitTurn = [this, index] { turns_.Wait(index); };
    }
    return run;
}

void InputBatch::AddFile(const std::string& path, const std::vector<uint8_t>& key,
                         const std::vector<size_t>& lines, unsigned serialJobs, Deliver deliver) {
    // Standard input named twice is read to its end the first time: the second must not
    // start before the first is done.
    if (path == "-") {
        Finish();
    } else if (const size_t groupSize = GroupSize(key, lines);
               groupSize != 0 || scheduler_.Threads() > 1) {
        const bool laned = groupSize != 0;
        if (!group_.empty() && (laned != laned_ || &key != groupKey_ || lines != groupLines_))
            GiveGroup();
        if (group_.empty()) {
            laned_ = laned;
            groupKey_ = &key;
            groupLines_ = lines;
        }
        group_.push_back(Member{path, std::move(deliver)});
        if (group_.size() >= (laned ? groupSize : kMostInRun)) GiveGroup();
        return;
    }
    Add([path, &key,
         lines](const InputRun& run) { return ComputeFileResult(path, key, lines, run); },
        serialJobs, std::move(deliver));
}

void InputBatch::AddSavedFile(const std::string& path, const std::vector<uint8_t>& key,
                              const std::vector<size_t>& lines, unsigned serialJobs,
                              StreamCheckpoints* checkpoints, Deliver deliver) {
    GiveGroup();
    Add(
        [path, &key, lines, checkpoints](const InputRun& given) {
            InputRun run = given;
            run.checkpoints = checkpoints;
            return ComputeFileResult(path, key, lines, run);
        },
        serialJobs, std::move(deliver));
}

void InputBatch::AddText(const std::string& text, const std::vector<uint8_t>& key,
                         const std::vector<size_t>& lines, unsigned serialJobs, Deliver deliver) {
    GiveGroup();
    Add([text, &key,
         lines](const InputRun& run) { return ComputeTextResult(text, key, lines, run); },
        serialJobs, std::move(deliver));
}
