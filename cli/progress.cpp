#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>

#include "line_names.h"

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

void Progress::Begin(const std::string& name) {
    End();
    name_ = name;
    bytesRead_ = 0;
    count_ = 0;
    if (!enabled_) return;
    stop_ = false;
    thread_ = std::thread(&Progress::Run, this);
}

void Progress::Computing(size_t count) {
    position_ = 0;
    count_ = count;
}

void Progress::LineStarted(size_t line) {
    line_ = line;
    ++position_;
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

std::string Progress::Text() const {
    const size_t count = count_;
    if (count == 0) return "korvadex: reading " + name_ + ": " + Amount(bytesRead_);
    return "korvadex: " + name_ + ": line " + std::to_string(position_) + " of " +
           std::to_string(count) + ", " + LineName(kReportLines[line_]);
}

void Progress::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, kDelay, [this] { return stop_; })) return;
    do {
        std::string text = Text();
        const size_t width = TerminalWidth();
        if (text.size() >= width) text.resize(width - 1);
        WriteError("\r" + text + "\033[K");
        shown_ = true;
    } while (!wake_.wait_for(lock, kRefresh, [this] { return stop_; }));
}
