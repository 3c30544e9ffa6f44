// A one-line progress indicator on standard error, for inputs that take a while: which input
// is being read, or which report line is running.  It appears only when standard error is a
// terminal and the input has taken more than a second, and it is erased when done.
#ifndef KORVADEX_CLI_PROGRESS_H
#define KORVADEX_CLI_PROGRESS_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class Progress {
public:
    Progress();
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // A new input, named name in the display, is being read.
    void Begin(const std::string& name);
    // Follows the count of bytes read (see ReadInput).
    std::atomic<uint64_t>* BytesRead() { return &bytesRead_; }
    // Reading is done; count lines are computed next.
    void Computing(size_t count);
    // The line with this index in kReportLines has started.
    void LineStarted(size_t line);
    // The input is done: erases the indicator.  Call before writing anything else to
    // standard error.
    void End();

private:
    void Run();
    std::string Text() const;

    const bool enabled_;
    std::string name_;
    std::atomic<uint64_t> bytesRead_{0};
    std::atomic<size_t> position_{0};
    std::atomic<size_t> count_{0};
    std::atomic<size_t> line_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool shown_ = false;
    std::thread thread_;
};

#endif
