#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr auto kDelay = std::chrono::seconds(1);
constexpr auto kRefresh = std::chrono::milliseconds(250);

size_t TerminalWidth() {
    struct winsize size;
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void WriteError(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += size_t(n);
    }
}

std::string Amount(uint64_t bytes) {
    if (bytes < 10 * 1024) return std::to_string(bytes) + " bytes";
    if (bytes < 10 * 1024 * 1024) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes >> 20) + " MiB";
}

}  // namespace

Progress::Progress() : enabled_(::isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
    End();
}

void Progress::Begin(const std::string& name, int64_t size) {
    End();
    name_ = name;
    size_ = size;
    bytesRead_ = 0;
    start_ = std::chrono::steady_clock::now();
    if (!enabled_) return;
    stop_ = false;
    thread_ = std::thread(&Progress::Run, this);
}

void Progress::End() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    if (shown_) WriteError("\r\033[K");
    shown_ = false;
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

void Progress::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, kDelay, [this] { return stop_; })) return;
    do {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
        std::string text = Text(name_, size_, bytesRead_, elapsed.count());
        const size_t width = TerminalWidth();
        if (text.size() >= width) text.resize(width - 1);
        WriteError("\r" + text + "\033[K");
        shown_ = true;
    } while (!wake_.wait_for(lock, kRefresh, [this] { return stop_; }));
}
