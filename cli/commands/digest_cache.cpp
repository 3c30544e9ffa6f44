#include "commands/digest_cache.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include "batch/messages.h"
#include "common/algorithm_names.h"
#include "report_lines.h"
#include "system/system.h"

namespace {

constexpr int64_t kBillion = 1000000000;

// A file modified less than this before it was read may change again within the same tick
// of its time (FAT keeps times in steps of 2 seconds): its record could outlive the change.
constexpr int64_t kSettleNanoseconds = 2 * kBillion;

bool ParseNumber(const std::string& text, size_t& at, bool sign, int64_t& number) {
    const bool negative = sign && at < text.size() && text[at] == '-';
    if (negative) ++at;
    const size_t start = at;
    uint64_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 19) {
        value = value * 10 + uint64_t(text[at++] - '0');
    }
    if (at == start || (at < text.size() && text[at] != ' ')) return false;
    number = negative ? -int64_t(value) : int64_t(value);
    return true;
}

}  // namespace

bool StampOf(const std::string& path, CacheStamp& stamp) {
    const PathStatus status = LookUpPath(path);
    FileTime time;
    if (status.kind != PathKind::kRegular || !ModificationTime(path, time)) return false;
    stamp.size = status.size;
    stamp.nanoseconds = time.seconds * kBillion + int64_t(time.nanoseconds);
    return true;
}

std::string CacheAttribute(size_t line) {
    return "user.korvadex." + PlainName(line);
}

std::string CacheRecord(const CacheStamp& stamp, const std::string& hex) {
    return "1 " + std::to_string(stamp.size) + " " + std::to_string(stamp.nanoseconds) + " " +
           DisplayHex(hex, true);
}

bool ParseCacheRecord(const std::string& text, size_t line, CacheStamp& stamp, std::string& hex) {
    if (text.compare(0, 2, "1 ") != 0) return false;
    size_t at = 2;
    int64_t size = 0;
    if (!ParseNumber(text, at, false, size) || at == text.size()) return false;
    if (!ParseNumber(text, ++at, true, stamp.nanoseconds) || at == text.size()) return false;
    hex = text.substr(at + 1);
    if (hex.size() != 2 * DigestLength(kReportLines[line].size)) return false;
    for (char& c : hex) {
        if (c >= 'a' && c <= 'f') c = char(c - 'a' + 'A');
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    stamp.size = uint64_t(size);
    return true;
}

int64_t DigestCache::Now() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

void DigestCache::Tell(AttributeAnswer answer, const std::string& path, const std::string& reason) {
    bool* told = answer == AttributeAnswer::kUnsupported ? &toldUnsupported_
                 : answer == AttributeAnswer::kNoRoom    ? &toldNoRoom_
                                                         : &toldFailed_;
    if (*told) return;
    *told = true;
    if (answer == AttributeAnswer::kUnsupported) {
        PrintError(path,
                   "its file system keeps no user extended attributes; files there are "
                   "read without the cache");
    } else if (answer == AttributeAnswer::kNoRoom) {
        PrintError(path, "no room for another extended attribute (" + reason +
                             "); files without room are not cached");
    } else {
        PrintError(path,
                   "the cache could not be written (" + reason + "); such files are not cached");
    }
}

bool DigestCache::Read(const std::string& path, size_t line, std::string& text) {
    std::string reason;
    const AttributeAnswer answer = ReadAttribute(path, CacheAttribute(line), text, reason);
    if (answer == AttributeAnswer::kDone) return true;
    if (answer == AttributeAnswer::kUnsupported) Tell(answer, path, reason);
    return false;
}

void DigestCache::Store(const std::string& path, const CacheStamp& stamp, int64_t readAt,
                        const std::vector<size_t>& lines, const std::vector<std::string>& hex) {
    CacheStamp now;
    if (readAt - stamp.nanoseconds < kSettleNanoseconds || !StampOf(path, now) || !(now == stamp)) {
        return;
    }
    for (size_t line : lines) {
        const std::string record = CacheRecord(stamp, hex[line]);
        std::string held, reason;
        const AttributeAnswer read = ReadAttribute(path, CacheAttribute(line), held, reason);
        if (read == AttributeAnswer::kDone && held == record) continue;
        if (read == AttributeAnswer::kUnsupported) {
            Tell(read, path, reason);
            return;
        }
        const AttributeAnswer written = WriteAttribute(path, CacheAttribute(line), record, reason);
        if (written != AttributeAnswer::kDone) {
            Tell(written, path, reason);
            return;
        }
    }
}

void DigestCache::AddFile(InputBatch& batch, const std::string& path,
                          const std::vector<uint8_t>& key, const std::vector<size_t>& lines,
                          unsigned jobs, InputBatch::Deliver deliver) {
    CacheStamp stamp;
    if (!on_ || !key.empty() || path == "-" || !StampOf(path, stamp)) {
        batch.AddFile(path, key, lines, jobs, std::move(deliver));
        return;
    }
    auto cached = std::make_shared<InputResult>();
    cached->hex.assign(kReportLineCount, std::string());
    cached->size = stamp.size;
    bool whole = true;
    for (size_t line : lines) {
        std::string text;
        CacheStamp recorded;
        if (!Read(path, line, text) || !ParseCacheRecord(text, line, recorded, cached->hex[line]) ||
            !(recorded == stamp)) {
            whole = false;
            break;
        }
    }
    if (whole) {
        cached->ok = true;
        batch.Then([cached, deliver] { deliver(*cached); });
        return;
    }
    const int64_t readAt = Now();
    batch.AddFile(path, key, lines, jobs,
                  [this, path, stamp, readAt, lines, deliver](const InputResult& result) {
                      deliver(result);
                      if (result.ok && result.size == stamp.size) {
                          Store(path, stamp, readAt, lines, result.hex);
                      }
                  });
}
