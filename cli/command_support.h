// What the commands share: naming inputs in messages, reading and computing one input, and
// writing to standard output.
#ifndef KORVADEX_CLI_COMMAND_SUPPORT_H
#define KORVADEX_CLI_COMMAND_SUPPORT_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "file_input.h"
#include "progress.h"

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// How an input is named in messages: "standard input" for "-", else the path.
std::string InputName(const std::string& path);

// A name as the "Input: " line of a report shows it: as it is, unless it holds a backslash,
// a control character (C0, DEL or C1) or bytes that are not UTF-8; then, as coreutils marks such
// names, escaped after a leading '\': "\\", "\n", "\r", "\t", and "\xHH" for any other such byte.
std::string ShownName(const std::string& name);

// name as the lines of a list carry it: with '/' between folders also where '\\' separates
// them, so that the list checks on any system.
std::string ListedName(const std::string& name);

// text as a message shows it: escaped as ShownName escapes it when it holds a control
// character or bytes that are not UTF-8, which a terminal could take for commands; else as
// it is.
std::string MessageText(const std::string& text);

// Writes text to standard error, off the progress line; a console shows any name in it.
void PrintErrorText(const std::string& text);

// Writes "korvadex: subject: reason" to standard error, each part as MessageText shows it.
void PrintError(const std::string& subject, const std::string& reason);

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
};

// ComputeInput, with the message kept in the result rather than written; and the same over
// the bytes of text (a text of --string), named "the text \"...\"" in messages.
InputResult ComputeFileResult(const std::string& path, const std::vector<uint8_t>& key,
                              const std::vector<size_t>& lines, const InputRun& run);
InputResult ComputeTextResult(const std::string& text, const std::vector<uint8_t>& key,
                              const std::vector<size_t>& lines, const InputRun& run);

// hex in lower case when lower is set, else as it is.
std::string DisplayHex(const std::string& hex, bool lower);

// Writes text to standard output.  A failure is kept for FlushOut to report.
void PrintOut(const std::string& text);

// Flushes standard output; returns false, after a message, when it or any earlier write
// failed.
bool FlushOut();

#endif
