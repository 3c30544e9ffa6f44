#include "lists/known_set.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/algorithm_names.h"
#include "common/error_text.h"
#include "common/line_names.h"
#include "lists/list_entries.h"
#include "lists/list_reader.h"
#include "system/file_input.h"
#include "system/system.h"

namespace {

// The value of each hex digit by its byte, -1 for any other byte.
struct HexValues {
    int8_t of[256];
    HexValues() {
        for (int c = 0; c < 256; ++c) {
            of[c] = int8_t(c >= '0' && c <= '9'   ? c - '0'
                           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : -1);
        }
    }
};
const HexValues kHex;

// The digests are added in blocks of this size, so that a growing set never holds its
// bytes twice, as one block that doubles would while it moves.
constexpr size_t kBlockBytes = 1 << 20;

// Sorts count records of width bytes at records, all equal in their first depth bytes, in
// byte order: a radix sort in place, one byte a level, each bucket of a byte value swapped
// into its place; small buckets by insertion.  Its time is bounded by the bytes sorted,
// whatever their order or repeats.
void SortRecords(uint8_t* records, size_t count, size_t width, size_t depth) {
    if (depth == width) return;
    if (count < 32) {
        uint8_t held[256];
        for (size_t i = 1; i < count; ++i) {
            std::memcpy(held, records + i * width, width);
            size_t j = i;
            for (; j > 0 &&
                   std::memcmp(records + (j - 1) * width + depth, held + depth, width - depth) > 0;
                 --j) {
                std::memcpy(records + j * width, records + (j - 1) * width, width);
            }
            std::memcpy(records + j * width, held, width);
        }
        return;
    }
    size_t begin[257] = {};
    for (size_t i = 0; i < count; ++i) ++begin[records[i * width + depth] + 1];
    for (size_t value = 0; value < 256; ++value) begin[value + 1] += begin[value];
    size_t next[256];
    std::copy(begin, begin + 256, next);
    uint8_t held[256];
    for (size_t value = 0; value < 256; ++value) {
        while (next[value] < begin[value + 1]) {
            uint8_t* record = records + next[value] * width;
            const uint8_t home = record[depth];
            if (home == value) {
                ++next[value];
                continue;
            }
            // Swapped with the next free place of its own bucket.
            uint8_t* other = records + next[home]++ * width;
            std::memcpy(held, other, width);
            std::memcpy(other, record, width);
            std::memcpy(record, held, width);
        }
    }
    for (size_t value = 0; value < 256; ++value) {
        const size_t size = begin[value + 1] - begin[value];
        if (size > 1) SortRecords(records + begin[value] * width, size, width, depth + 1);
    }
}

size_t Digits(size_t line) {
    return 2 * DigestLength(kReportLines[line].size);
}

// The line of an untagged value of this many hex digits; -2 when -a leaves out every line of
// its width; -1, with reason set, when its line cannot be told.
long UntaggedLine(size_t digits, const std::vector<size_t>& only, long nameHint,
                  std::string& reason) {
    std::vector<size_t> fits;
    for (size_t line : only.empty() ? AllLines() : only) {
        if (Digits(line) == digits) fits.push_back(line);
    }
    if (only.empty() && nameHint >= 0 && Digits(size_t(nameHint)) == digits) return nameHint;
    if (fits.size() == 1) return long(fits[0]);
    if (fits.empty() && !only.empty()) return -2;
    if (fits.empty()) {
        reason = "a value of " + std::to_string(digits) + " hex digits fits no algorithm";
        return -1;
    }
    std::string names;
    for (size_t line : fits) names += (names.empty() ? "" : ", ") + LineName(kReportLines[line]);
    reason = "untagged values of " + std::to_string(digits) + " hex digits may be of " + names +
             ": name the algorithm with -a";
    return -1;
}

}  // namespace

bool DigestSet::Decode(const std::string& hex, uint8_t* digest) const {
    if (hex.size() != 2 * width_) return false;
    for (size_t i = 0; i < width_; ++i) {
        const int high = kHex.of[uint8_t(hex[2 * i])], low = kHex.of[uint8_t(hex[2 * i + 1])];
        if (high < 0 || low < 0) return false;
        digest[i] = uint8_t(high << 4 | low);
    }
    return true;
}

bool DigestSet::AddHex(const std::string& hex) {
    uint8_t digest[256];
    if (width_ > sizeof digest || !Decode(hex, digest)) return false;
    if (added_.empty() || added_.back().size() + width_ > added_.back().capacity()) {
        added_.emplace_back();
        added_.back().reserve(std::max<size_t>(1, kBlockBytes / width_) * width_);
    }
    added_.back().insert(added_.back().end(), digest, digest + width_);
    ++count_;
    return true;
}

void DigestSet::Finish() {
    sorted_.reserve(sorted_.size() + count_ * width_);
    for (std::vector<uint8_t>& block : added_) {
        sorted_.insert(sorted_.end(), block.begin(), block.end());
        std::vector<uint8_t>().swap(block);
    }
    added_.clear();
    if (count_ == 0) return;
    SortRecords(sorted_.data(), count_, width_, 0);
    // The repeated digests, now side by side, are dropped.
    size_t kept = 1;
    for (size_t i = 1; i < count_; ++i) {
        const uint8_t* digest = &sorted_[i * width_];
        if (std::memcmp(digest, &sorted_[(kept - 1) * width_], width_) == 0) continue;
        if (kept != i) std::memcpy(&sorted_[kept * width_], digest, width_);
        ++kept;
    }
    count_ = kept;
    sorted_.resize(count_ * width_);
}

bool DigestSet::ContainsHex(const std::string& hex) const {
    uint8_t digest[256];
    if (count_ == 0 || width_ > sizeof digest || !Decode(hex, digest)) return false;
    size_t low = 0, high = count_;  // the digest, if held, is in [low, high)
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        const int order = std::memcmp(&sorted_[middle * width_], digest, width_);
        if (order == 0) return true;
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return false;
}

bool LoadKnownSet(const std::string& path, const std::vector<size_t>& only, bool keyed,
                  KnownSet& known, std::string& reason) {
    known = KnownSet();
    FILE* file = path == "-" ? stdin : OpenForReading(path);
    if (file == nullptr) {
        reason = ErrnoText(errno);
        return false;
    }
    ListReader reader(file);
    ListEntries list(path);
    const long nameHint = AlgorithmOfListName(path);
    std::vector<long> setOf(kReportLineCount, -1);  // the index in known.sets of each line
    std::vector<DigestSet> sets;
    std::vector<size_t> named(kReportLineCount, 0);
    std::vector<bool> inFile(kReportLineCount, false);
    std::string lastName;
    std::string text;
    std::vector<ChecksumLine> entries;
    bool ok = true;
    for (size_t number = 1; ok && reader.Next(text); ++number) {
        if (number == 1 && text.compare(0, 10, "==========") == 0) {
            reason = "a saved report, not a list of digests";
            ok = false;
            break;
        }
        if (!text.empty() && text.back() == '\n') text.pop_back();
        size_t at = number;
        int64_t size;
        const ChecksumLineKind kind = list.Take(text, at, entries, size, reason);
        if (kind == ChecksumLineKind::kIgnored) continue;
        if (kind == ChecksumLineKind::kMalformed) {
            reason = "line " + std::to_string(at) + ": " + reason;
            ok = false;
            break;
        }
        if (entries[0].name != lastName || known.files == 0) {
            ++known.files;
            std::fill(inFile.begin(), inFile.end(), false);
            lastName = entries[0].name;
        }
        for (const ChecksumLine& entry : entries) {
            long line = entry.line;
            if (line < 0) line = UntaggedLine(entry.hex.size(), only, nameHint, reason);
            if (line == -2 || (line >= 0 && !only.empty() &&
                               std::find(only.begin(), only.end(), size_t(line)) == only.end())) {
                continue;  // -a leaves it out
            }
            if (line >= 0 && entry.line >= 0 && entry.keyed != keyed) {
                reason = keyed ? "a value of a plain digest, while a key was given"
                               : "an HMAC value: give its key with --key or --key-file";
                line = -1;
            }
            if (line < 0) {
                reason = "line " + std::to_string(at) + ": " + reason;
                ok = false;
                break;
            }
            if (setOf[size_t(line)] < 0) {
                setOf[size_t(line)] = long(sets.size());
                sets.emplace_back(DigestLength(kReportLines[line].size));
            }
            if (!sets[size_t(setOf[size_t(line)])].AddHex(entry.hex)) {
                reason = "line " + std::to_string(at) + ": a " + LineName(kReportLines[line]) +
                         " value that is not " + std::to_string(Digits(size_t(line))) +
                         " hex digits";
                ok = false;
                break;
            }
            if (!inFile[size_t(line)]) ++named[size_t(line)];
            inFile[size_t(line)] = true;
        }
    }
    size_t unfinished;
    if (ok && list.Unfinished(unfinished, reason)) {
        reason = "line " + std::to_string(unfinished) + ": " + reason;
        ok = false;
    }
    if (ok && reader.Failed()) {
        reason = reader.Reason();
        ok = false;
    }
    if (file != stdin) std::fclose(file);
    if (ok && sets.empty()) {
        reason = only.empty() ? "no digest in the list" : "no digest of an algorithm of -a";
        ok = false;
    }
    if (!ok) return false;
    for (size_t line = 0; line < kReportLineCount; ++line) {
        if (setOf[line] < 0) continue;
        known.lines.push_back(line);
        known.sets.push_back(std::move(sets[size_t(setOf[line])]));
        known.sets.back().Finish();
        known.named.push_back(named[line]);
    }
    return true;
}
