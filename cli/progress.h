// A one-line progress indicator on standard error, for inputs that take a while: the bytes
// read of the input's size, the percentage and the rate, for the whole input.  It appears
// only when standard error is a terminal and the input has taken more than a second, and
// it is erased when done.
#ifndef KORVADEX_CLI_PROGRESS_H
#define KORVADEX_CLI_PROGRESS_H

#include <atomic>
#include <chrono>
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

    // A new input, named name in the display, of size bytes (-1: not known), is being read.
    void Begin(const std::string& name, int64_t size);
    // Follows the count of bytes read (see InputReader).
    std::atomic<uint64_t>* BytesRead() { return &bytesRead_; }
    // The input is done: erases the indicator.  Call before writing anything else to
    // standard error.
    void End();

    // The text shown after size bytes of the input, bytes read so far in seconds.
    static std::string Text(const std::string& name, int64_t size, uint64_t bytes, double seconds);

private:
    void Run();

    const bool enabled_;
    std::string name_;
    int64_t size_ = -1;
    std::chrono::steady_clock::time_point start_;
    std::atomic<uint64_t> bytesRead_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool shown_ = false;
    std::thread thread_;
};

#endif
