// The inputs of one command, computed several at once where the threads allow it, and
// handed back in the order they were given, each as soon as those before it are.
//
// With N threads (--jobs; 0: one per core) and several inputs, up to N inputs (at most
// kMaxReadersAtOnce) are in flight, each read and hashed on a thread of its own, or, when
// there are threads to spare, on a reading thread and workers for its lines, so that N
// threads run in all.  With one thread or one input, each input is computed on the calling
// thread as ComputeInput computes it.  Files on storage read in sequence (see ReadOrder)
// read one after another, in the order given, while those read before them are hashed; the
// file being read then has N threads for its lines beside the one that reads it, as a
// single input has.
//
// Files whose lines include MD2 or Snefru (unkeyed) go in groups of up to LanedSources files
// (for MD2, the lanes measured fastest on this processor), each group computed on one thread
// with the chains of its files interleaved (ComputeLanedLines); a group with a file read in
// sequence is computed one file at a time.
// Other files go in runs, computed one after another on one thread, so that small files do
// not pay the handing out of a task each; a run that has taken a while, or reaches a large
// file, gives the rest of its files to a task of their own, right after it, which another
// thread may take: large files still go one to a thread.
#ifndef KORVADEX_CLI_INPUT_BATCH_H
#define KORVADEX_CLI_INPUT_BATCH_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "batch/input_compute.h"
#include "batch/messages.h"
#include "input_scheduler.h"

class InputBatch {
public:
    // inputs: how many will be given, 0 when that is not known ahead (a checksum list read
    // as it is checked); 1 computes them one at a time.  The progress of a job of several
    // inputs, begun by the caller, follows them.
    InputBatch(unsigned jobs, ReadOrder order, size_t inputs, Progress& progress);
    // Writes what is left.
    ~InputBatch();

    // What is done with an input's result, once every input before it is done with: its
    // message (when it failed) is written first.
    using Deliver = std::function<void(const InputResult&)>;

    // Gives the file at path ("-": standard input) to compute for lines (indexes in
    // kReportLines); serialJobs: the threads of its lines when inputs go one at a time.
    void AddFile(const std::string& path, const std::vector<uint8_t>& key,
                 const std::vector<size_t>& lines, unsigned serialJobs, Deliver deliver);
    // Gives a file as AddFile does, to be computed alone (never with others in lanes),
    // saving its lines' states as checkpoints says; checkpoints must outlive the batch.
    void AddSavedFile(const std::string& path, const std::vector<uint8_t>& key,
                      const std::vector<size_t>& lines, unsigned serialJobs,
                      StreamCheckpoints* checkpoints, Deliver deliver);
    // Gives a text of --string; serialJobs as for a file.
    void AddText(const std::string& text, const std::vector<uint8_t>& key,
                 const std::vector<size_t>& lines, unsigned serialJobs, Deliver deliver);
    // Runs write once every input given before is handed back.
    void Then(std::function<void()> write);
    // Waits for every input given, handing each back as it comes.
    void Finish();

private:
    using Work = std::function<InputResult(const InputRun&)>;
    void Add(Work work, unsigned serialJobs, Deliver deliver);
    // How the input at index (in the order given) is computed on the thread at place, when
    // several are in flight.
    InputRun RunOf(const InputScheduler::Place& place, uint64_t index);
    // The files of a group of these lines (LanedSources, within groupSize_), 0 when they go
    // in no groups.
    size_t GroupSize(const std::vector<uint8_t>& key, const std::vector<size_t>& lines) const;
    struct Member {
        std::string path;
        Deliver deliver;
    };
    // The files of a run or a group, the first of them the input at first.
    struct Run {
        std::vector<Member> members;
        std::vector<InputResult> results;
        uint64_t first = 0;
        const std::vector<uint8_t>* key = nullptr;
        std::vector<size_t> lines;
    };
    // Gives the group or run gathered so far as one task.
    void GiveGroup();
    // A run's files computed one after another; a group's interleaved.
    InputScheduler::Compute RunCompute(const std::shared_ptr<Run>& run);
    InputScheduler::Compute LanedCompute(const std::shared_ptr<Run>& group);
    // Gives the files of run from the one at from on as a task of their own, right after the
    // task running at place, which is run's.
    void HandOn(const InputScheduler::Place& place, Run& run, size_t from);
    static InputScheduler::Deliver RunDeliver(const std::shared_ptr<Run>& run);

    Progress& progress_;
    const ReadOrder order_;
    // The read buffer each worker keeps from input to input; before the scheduler, so that
    // its threads end first.
    std::vector<std::vector<uint8_t>> buffers_;
    InputScheduler scheduler_;
    ReadTurns turns_;
    unsigned perInput_ = 1;      // the threads of each input when several are in flight
    unsigned inTurn_ = 1;        // the threads of an input read in its turn
    uint64_t given_ = 0;         // the inputs given so far, which take their turns in this order
    size_t groupSize_ = 0;       // the most files of a group, 0 when files never go in groups
    std::vector<Member> group_;  // the files gathered for the next group or run
    bool laned_ = false;         // whether they are a group (else a run)
    const std::vector<uint8_t>* groupKey_ = nullptr;  // and their key
    std::vector<size_t> groupLines_;                  // and lines
};

#endif
