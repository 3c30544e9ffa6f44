#include "batch/progress.h"

#include <cmath>

#include "system/system.h"

namespace {

constexpr auto kDelay = std::chrono::seconds(1);
constexpr auto kRefresh = std::chrono::milliseconds(250);

// Guards the terminal: the line shown, and every write made while one may be shown.
std::mutex gTerminal;
std::string gShown;  // the text on the terminal's last line, empty when none is

// Erases the line shown, if any.  Call with gTerminal held.
void Erase() {
    if (gShown.empty()) return;
    WriteToTerminal("\r\033[K");
    gShown.clear();
}

std::string Amount(uint64_t bytes) {
    if (bytes < 10 * 1024) return std::to_string(bytes) + " bytes";
    if (bytes < 10 * 1024 * 1024) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes >> 20) + " MiB";
}

std::string Duration(double seconds) {
    const uint64_t s = uint64_t(std::ceil(seconds));
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

// The sum of the sizes of the regular files at paths, or -1 when one of them is another
// kind of input (a pipe, a device, standard input).  A path that cannot be looked up counts
// as empty: reading it fails at once.
int64_t SizeOf(const std::vector<std::string>& paths) {
    int64_t total = 0;
    for (const std::string& path : paths) {
        if (path == "-") return -1;
        const PathStatus status = LookUpPath(path);
        if (status.kind == PathKind::kOther) return -1;
        total += int64_t(status.size);
    }
    return total;
}

}  // namespace

Progress::Progress() : enabled_(IsTerminal(StandardStream::kError)) {}

Progress::~Progress() {
    EndJob();
    End();
}

void Progress::BeginJob(size_t files, int64_t bytes, std::vector<std::string> unsized) {
    EndJob();
    End();
    job_ = true;
    files_ = files;
    total_ = bytes;
    unsized_ = std::move(unsized);
    done_ = 0;
    doneBytes_ = 0;
    for (std::atomic<uint64_t>& lane : lanes_) lane = 0;
    start_ = std::chrono::steady_clock::now();
    Start();
}

void Progress::EndJob() {
    if (!job_) return;
    Stop();
    job_ = false;
}

void Progress::Begin(const std::string& name, int64_t size) {
    if (job_) {
        std::lock_guard<std::mutex> lock(mutex_);
        name_ = name;
        size_ = size;
        lanes_[0] = 0;
        return;
    }
    End();
    name_ = name;
    size_ = size;
    lanes_[0] = 0;
    start_ = std::chrono::steady_clock::now();
    Start();
}

void Progress::End() {
    if (!job_) {
        Stop();
        return;
    }
    Finished(0);
}

void Progress::Finished(unsigned lane) {
    std::lock_guard<std::mutex> lock(mutex_);
    doneBytes_ += lanes_[lane % kLanes].exchange(0);
    ++done_;
}

void Progress::Again() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (job_ && done_ > 0) --done_;
}

void Progress::Hold(const std::function<void()>& write) {
    std::lock_guard<std::mutex> lock(gTerminal);
    const std::string shown = gShown;
    Erase();
    write();
    if (shown.empty()) return;
    WriteToTerminal("\r" + shown + "\033[K");
    gShown = shown;
}

std::string Progress::Text(const std::string& name, int64_t size, uint64_t bytes, double seconds) {
    std::string text = "korvadex: reading " + name + ": " + Amount(bytes);
    if (size > 0) {
        text += " of " + Amount(uint64_t(size)) + ", " +
                std::to_string(bytes >= uint64_t(size) ? 100 : bytes * 100 / uint64_t(size)) + "%";
    }
    if (seconds > 0) text += ", " + Amount(uint64_t(double(bytes) / seconds)) + "/s";
    return text;
}

std::string Progress::JobText(size_t done, size_t files, uint64_t bytes, int64_t total,
                              double seconds, const std::string& name, int64_t size,
                              uint64_t read) {
    std::string text = "korvadex: " + std::to_string(done);
    if (files > 0) text += " of " + std::to_string(files);
    text += (files > 0 ? files : done) == 1 ? " file, " : " files, ";
    text += Amount(bytes);
    if (total > 0) {
        text += " of " + Amount(uint64_t(total)) + ", " +
                std::to_string(bytes >= uint64_t(total) ? 100 : bytes * 100 / uint64_t(total)) +
                "%";
    }
    const double rate = seconds > 0 ? double(bytes) / seconds : 0;
    if (seconds > 0) text += ", " + Amount(uint64_t(rate)) + "/s";
    if (total > 0 && rate > 0 && bytes < uint64_t(total)) {
        text += ", " + Duration(double(uint64_t(total) - bytes) / rate) + " left";
    }
    if (total < 0 && size > 0 && read < uint64_t(size)) {
        text += "; " + std::to_string(read * 100 / uint64_t(size)) + "% of " + name;
    }
    return text;
}

void Progress::Start() {
    if (!enabled_) return;
    stop_ = false;
    thread_ = std::thread(&Progress::Run, this);
}

void Progress::Stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    std::lock_guard<std::mutex> lock(gTerminal);
    Erase();
}

std::string Progress::Current() {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
    if (!job_) return Text(name_, size_, lanes_[0], elapsed.count());
    uint64_t reading = 0;
    for (const std::atomic<uint64_t>& lane : lanes_) reading += lane;
    // Inputs read on several lanes at once have no single name to show.
    return JobText(done_, files_, doneBytes_ + reading, total_, elapsed.count(), name_, size_,
                   lanes_[0]);
}

void Progress::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, kDelay, [this] { return stop_; })) return;
    if (job_ && !unsized_.empty() && total_ >= 0) {
        // unsized_ stays as it is while this thread runs.
        lock.unlock();
        const int64_t more = SizeOf(unsized_);
        lock.lock();
        if (stop_) return;
        total_ = more < 0 ? -1 : total_ + more;
    }
    do {
        std::string text = Current();
        const size_t width = TerminalColumns();
        if (text.size() >= width) text.resize(width - 1);
        std::lock_guard<std::mutex> terminal(gTerminal);
        WriteToTerminal("\r" + text + "\033[K");
        gShown = text;
    } while (!wake_.wait_for(lock, kRefresh, [this] { return stop_; }));
}
