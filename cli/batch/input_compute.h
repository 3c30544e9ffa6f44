// Computing the lines of one input (a file, standard input or a text), with its progress.
#ifndef KORVADEX_CLI_BATCH_INPUT_COMPUTE_H
#define KORVADEX_CLI_BATCH_INPUT_COMPUTE_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "batch/progress.h"
#include "system/file_input.h"

// Reads the input at path ("-": standard input) once, in chunks, and computes the lines with
// the given indexes in kReportLines over it, keyed when key is not empty, on at most jobs
// threads (0: one per core); hex gets kReportLineCount entries, the upper-case text of each
// line computed at its index.  Shows progress while it runs.  On failure writes the reason,
// naming the input, to standard error and returns false.  When size is given, it gets the
// number of bytes hashed.
bool ComputeInput(const std::string& path, const std::vector<uint8_t>& key,
                  const std::vector<size_t>& lines, unsigned jobs, Progress& progress,
                  std::vector<std::string>& hex, uint64_t* size = nullptr);

// What computing one input gave, for a caller that writes it later.
struct InputResult {
    bool ok = false;
    std::vector<std::string> hex;  // kReportLineCount entries, as ComputeInput gives them
    uint64_t size = 0;             // the bytes hashed
    std::string subject, reason;   // when not ok, the message for PrintError
};

// How one input is computed.
struct InputRun {
    unsigned jobs = 0;        // threads for its lines (see ComputeInput)
    bool callerOnly = false;  // every line on the calling thread; jobs is not looked at
    std::vector<uint8_t>* buffer = nullptr;  // with callerOnly: the thread's kept buffer
    unsigned jobsInTurn = 0;                 // for a file that waits for its turn, in place of both
    bool lend = true;                        // a large file in memory may be lent (see InputReader)
    ReadOrder order = ReadOrder::kParallel;
    std::function<void()> waitTurn;  // see InputReader::ReadInTurn
    // Called once a file is open, before it is read, with its size (-1: not known).
    std::function<void(int64_t)> opened;
    // Either progress, whose Begin and End frame the input, or a count of bytes read.
    Progress* progress = nullptr;
    std::atomic<uint64_t>* bytesRead = nullptr;
    // States to save and one to go on from (see StreamCheckpoints), for a named file of known
    // size only: standard input, pipes and texts are hashed without them.
    StreamCheckpoints* checkpoints = nullptr;
};

// ComputeInput, with the message kept in the result rather than written; and the same over
// the bytes of text (a text of --string), named "the text \"...\"" in messages.
InputResult ComputeFileResult(const std::string& path, const std::vector<uint8_t>& key,
                              const std::vector<size_t>& lines, const InputRun& run);
InputResult ComputeTextResult(const std::string& text, const std::vector<uint8_t>& key,
                              const std::vector<size_t>& lines, const InputRun& run);

#endif
