// A one-line progress indicator on standard error, for work that takes a while.  For one
// input it gives the bytes read of the input's size, the percentage and the rate; for a
// job of several inputs, the files done of their number, the bytes done of their total,
// the rate and the time left.  It appears only when standard error is a terminal and the
// work has taken more than a second, and it is erased when done.  Messages and output
// written through Progress::Hold never share its line.
#ifndef KORVADEX_CLI_PROGRESS_H
#define KORVADEX_CLI_PROGRESS_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Progress {
public:
    Progress();
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // A job of several inputs starts: files of them (0: their number is not known), bytes the
    // sum of the sizes known (-1: some input has none, such as a pipe).  The sizes of the
    // inputs at unsized are looked up by the display itself when it first shows, so that a
    // short job never pays for them.  Until EndJob, one line shows the whole job.
    void BeginJob(size_t files, int64_t bytes, std::vector<std::string> unsized = {});
    // The job is done: erases the indicator.
    void EndJob();

    // A new input, named name in the display, of size bytes (-1: not known), is being read.
    void Begin(const std::string& name, int64_t size);
    // Follows the count of bytes read (see InputReader).
    std::atomic<uint64_t>* BytesRead() { return &lanes_[0]; }
    // In a job whose inputs are read on several threads at once (at most kLanes): the count
    // of the input read on lane, which follows it as BytesRead does, and Finished, which
    // counts that input done (in place of Begin and End).
    static constexpr unsigned kLanes = 16;
    std::atomic<uint64_t>* BytesRead(unsigned lane) { return &lanes_[lane % kLanes]; }
    void Finished(unsigned lane);
    // Whether the indicator may show at all (standard error is a terminal): else what it
    // would show need not be gathered.
    bool Enabled() const { return enabled_; }
    // The input is done.  Outside a job, erases the indicator: call before writing anything
    // else to standard error.
    void End();
    // The input that just ended is read once more: it is not counted as another file.
    void Again();

    // Runs write, which writes to standard error or to standard output on a terminal, with
    // the indicator shown by any Progress erased before and drawn again after.
    static void Hold(const std::function<void()>& write);

    // The text shown after size bytes of the input, bytes read so far in seconds.
    static std::string Text(const std::string& name, int64_t size, uint64_t bytes, double seconds);
    // The text shown for a job of files inputs (0: not known) holding total bytes (-1: not
    // known), after done of them and bytes read so far in seconds.  While the total is not
    // known, it also gives the share read of the input being read, named name, of size bytes
    // (-1: not known), of which read bytes are read.
    static std::string JobText(size_t done, size_t files, uint64_t bytes, int64_t total,
                               double seconds, const std::string& name = "", int64_t size = -1,
                               uint64_t read = 0);

private:
    void Start();
    void Stop();
    void Run();
    std::string Current();

    const bool enabled_;
    bool job_ = false;
    size_t files_ = 0;
    size_t done_ = 0;
    int64_t total_ = -1;
    uint64_t doneBytes_ = 0;
    std::vector<std::string> unsized_;
    std::string name_;
    int64_t size_ = -1;
    std::chrono::steady_clock::time_point start_;
    std::atomic<uint64_t> lanes_[kLanes] = {};  // lanes_[0] also counts the single input
    std::mutex mutex_;                          // guards the fields above the counter, and stop_
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

#endif
