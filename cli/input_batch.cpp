#include "input_batch.h"

#include <algorithm>
#include <thread>

namespace {

// The inputs given and not yet handed back, per thread: enough for the threads never to
// wait for the output of a slow input, few enough that the results waiting stay small.
constexpr size_t kAheadPerThread = 8;

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
    perInput_ = std::max(1u, Threads(jobs) / scheduler_.Threads());
}

InputBatch::~InputBatch() {
    scheduler_.Finish();
}

void InputBatch::Add(Work work, unsigned serialJobs, Deliver deliver) {
    auto result = std::make_shared<InputResult>();
    const uint64_t index = given_++;
    auto compute = [this, work = std::move(work), serialJobs, result,
                    index](const InputScheduler::Place& place) {
        InputRun run;
        if (scheduler_.Threads() == 1) {
            run.jobs = serialJobs;
            run.progress = &progress_;
            *result = work(run);
            return;
        }
        // One thread reads the input; the others it may have hash its lines.
        run.callerOnly = perInput_ == 1;
        run.jobs = perInput_ - 1;
        run.order = order_;
        run.bytesRead = progress_.BytesRead(place.worker);
        if (turns_.Sequential()) run.waitTurn = [this, index] { turns_.Wait(index); };
        *result = work(run);
        turns_.Pass(index);
        progress_.Finished(place.worker);
    };
    scheduler_.Give(std::move(compute), [result, deliver = std::move(deliver)] {
        if (!result->ok) PrintError(result->subject, result->reason);
        deliver(*result);
    });
}

void InputBatch::AddFile(const std::string& path, const std::vector<uint8_t>& key,
                         const std::vector<size_t>& lines, unsigned serialJobs, Deliver deliver) {
    // Standard input named twice is read to its end the first time: the second must not
    // start before the first is done.
    if (path == "-") scheduler_.Finish();
    Add([path, &key,
         lines](const InputRun& run) { return ComputeFileResult(path, key, lines, run); },
        serialJobs, std::move(deliver));
}

void InputBatch::AddText(const std::string& text, const std::vector<uint8_t>& key,
                         const std::vector<size_t>& lines, unsigned serialJobs, Deliver deliver) {
    Add([text, &key,
         lines](const InputRun& run) { return ComputeTextResult(text, key, lines, run); },
        serialJobs, std::move(deliver));
}
