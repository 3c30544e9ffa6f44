#include "lists/record_sort.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/error_text.h"
#include "system/system.h"

namespace {

// The most runs merged at once: each holds a file open and a buffer.
constexpr size_t kFanIn = 64;

constexpr size_t kRunBuffer = size_t(64) << 10;

size_t RunBytes() {
    const char* given = std::getenv("KORVADEX_SORT_BYTES");
    if (given != nullptr && *given != '\0') {
        char* end = nullptr;
        const unsigned long long bytes = std::strtoull(given, &end, 10);
        if (*end == '\0' && bytes >= 4096) return size_t(bytes);
    }
    return size_t(48) << 20;
}

bool Less(const char* a, size_t aLength, const char* b, size_t bLength) {
    const int order = std::memcmp(a, b, std::min(aLength, bLength));
    return order < 0 || (order == 0 && aLength < bLength);
}

}  // namespace

// One sorted run in a scratch file: each record as its length (4 bytes, little-endian) and
// its bytes.
class RecordSort::Run {
public:
    Run() : file_(OpenScratchFile()) {
        if (file_ != nullptr) std::setvbuf(file_, nullptr, _IOFBF, kRunBuffer);
    }
    ~Run() {
        if (file_ != nullptr) std::fclose(file_);
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    bool Opened() const { return file_ != nullptr; }

    bool Write(const char* bytes, size_t length) {
        const uint32_t size = uint32_t(length);
        const unsigned char head[4] = {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16),
                                       uint8_t(size >> 24)};
        return std::fwrite(head, 1, 4, file_) == 4 &&
               std::fwrite(bytes, 1, length, file_) == length;
    }
    bool Rewind() { return std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0; }

    // The next record; false at the end, or with failed set when it cannot be read.
    bool Read(std::string& record, bool& failed) {
        unsigned char head[4];
        const size_t got = std::fread(head, 1, 4, file_);
        if (got != 4) {
            failed = got != 0 || std::ferror(file_) != 0;
            return false;
        }
        record.resize(size_t(head[0]) | size_t(head[1]) << 8 | size_t(head[2]) << 16 |
                      size_t(head[3]) << 24);
        failed = std::fread(&record[0], 1, record.size(), file_) != record.size();
        return !failed;
    }

private:
    FILE* file_;
};

RecordSort::RecordSort() : runBytes_(RunBytes()) {}

RecordSort::~RecordSort() = default;

bool RecordSort::Add(const std::string& record) {
    // A record's length and place count with its bytes.
    if (arena_.size() + held_.size() * sizeof held_[0] >= runBytes_ && !WriteRun()) return false;
    held_.push_back({arena_.size(), record.size()});
    arena_ += record;
    ++count_;
    return true;
}

void RecordSort::SortHeld() {
    std::sort(held_.begin(), held_.end(), [&](const auto& a, const auto& b) {
        return Less(&arena_[a.first], a.second, &arena_[b.first], b.second);
    });
}

bool RecordSort::HeadAfter(size_t run, size_t other) const {
    return Less(heads_[other].data(), heads_[other].size(), heads_[run].data(), heads_[run].size());
}

bool RecordSort::WriteRun() {
    SortHeld();
    auto run = std::make_unique<Run>();
    if (!run->Opened()) {
        reason_ = "no scratch file for sorting: " + ErrnoText(errno);
        return false;
    }
    for (const auto& record : held_) {
        if (!run->Write(&arena_[record.first], record.second)) {
            reason_ = "a scratch file for sorting cannot be written: " + ErrnoText(errno);
            return false;
        }
    }
    runs_.push_back(std::move(run));
    arena_.clear();
    arena_.shrink_to_fit();
    held_.clear();
    held_.shrink_to_fit();
    return true;
}

bool RecordSort::Pull(size_t run) {
    bool failed = false;
    if (runs_[run]->Read(heads_[run], failed)) {
        heap_.push_back(run);
        std::push_heap(heap_.begin(), heap_.end(),
                       [&](size_t a, size_t b) { return HeadAfter(a, b); });
    } else if (failed) {
        reason_ = "a scratch file for sorting cannot be read: " + ErrnoText(errno);
        return false;
    }
    return true;
}

// Merges count runs from first into one, put in their place.
bool RecordSort::Merge(size_t first, size_t count) {
    std::vector<std::unique_ptr<Run>> all = std::move(runs_);
    runs_.clear();
    for (size_t i = first; i < first + count; ++i) runs_.push_back(std::move(all[i]));
    auto merged = std::make_unique<Run>();
    if (!merged->Opened()) {
        reason_ = "no scratch file for sorting: " + ErrnoText(errno);
        return false;
    }
    std::string record;
    if (!Start()) return false;
    while (Next(record)) {
        if (!merged->Write(record.data(), record.size())) {
            reason_ = "a scratch file for sorting cannot be written: " + ErrnoText(errno);
            return false;
        }
    }
    if (!reason_.empty()) return false;
    runs_.clear();
    for (size_t i = 0; i < all.size(); ++i) {
        if (i == first) runs_.push_back(std::move(merged));
        if (i < first || i >= first + count) runs_.push_back(std::move(all[i]));
    }
    return true;
}

bool RecordSort::Start() {
    heap_.clear();
    if (runs_.empty()) {
        if (!sorted_) SortHeld();
        sorted_ = true;
        heldAt_ = 0;
        return true;
    }
    if (!held_.empty() && !WriteRun()) return false;
    while (runs_.size() > kFanIn) {
        if (!Merge(0, kFanIn)) return false;
    }
    heads_.assign(runs_.size(), std::string());
    for (size_t run = 0; run < runs_.size(); ++run) {
        if (!runs_[run]->Rewind()) {
            reason_ = "a scratch file for sorting cannot be read: " + ErrnoText(errno);
            return false;
        }
        if (!Pull(run)) return false;
    }
    return true;
}

bool RecordSort::Next(std::string& record) {
    if (runs_.empty()) {
        if (heldAt_ == held_.size()) return false;
        const auto& held = held_[heldAt_++];
        record.assign(arena_, held.first, held.second);
        return true;
    }
    if (heap_.empty()) return false;
    std::pop_heap(heap_.begin(), heap_.end(), [&](size_t a, size_t b) { return HeadAfter(a, b); });
    const size_t run = heap_.back();
    heap_.pop_back();
    record.swap(heads_[run]);
    return Pull(run);
}
