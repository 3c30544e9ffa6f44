// The digest cache of --cache and --verify-cache: the value of a line kept beside each file,
// in its extended attribute user.korvadex.NAME (NAME: PlainName of the line), with the size
// and modification time the file had when it was read.  The record is text, the same on
// every build: "1 SIZE MTIME HEX", the version, the size in bytes, the modification time in
// nanoseconds since 1970 (negative before), and the value in lower-case hex, one blank
// between them.
#ifndef KORVADEX_CLI_COMMANDS_DIGEST_CACHE_H
#define KORVADEX_CLI_COMMANDS_DIGEST_CACHE_H

#include <cstdint>
#include <string>
#include <vector>

#include "batch/input_batch.h"
#include "system/extended_attributes.h"

// What a record is kept for: a file's size and modification time.
struct CacheStamp {
    uint64_t size = 0;
    int64_t nanoseconds = 0;  // the modification time, since 1970
};
inline bool operator==(const CacheStamp& a, const CacheStamp& b) {
    return a.size == b.size && a.nanoseconds == b.nanoseconds;
}

// The stamp of the regular file at path, looked up without opening it; false for anything
// else.
bool StampOf(const std::string& path, CacheStamp& stamp);

// The attribute of line: "user.korvadex.sha256".
std::string CacheAttribute(size_t line);

// The record of line's value hex (any case) for a file of stamp.
std::string CacheRecord(const CacheStamp& stamp, const std::string& hex);

// Reads a record of line: false when it is not one of this version, or its value is not
// of line's width.  hex gets the value in upper case.
bool ParseCacheRecord(const std::string& text, size_t line, CacheStamp& stamp, std::string& hex);

// The cache of one run.  Says once of each kind of refusal it meets (no user attributes on
// a file system, no room for another, no permission) and goes on without caching there.
class DigestCache {
public:
    explicit DigestCache(bool on) : on_(on) {}

    // Gives the file at path to batch as InputBatch::AddFile does.  With the cache on and no
    // key, a file whose every line has a record for its present size and time is handed
    // back from the records, unread; any other is read, and the records of its lines that
    // changed are written.
    void AddFile(InputBatch& batch, const std::string& path, const std::vector<uint8_t>& key,
                 const std::vector<size_t>& lines, unsigned jobs, InputBatch::Deliver deliver);

    // Writes the records of lines whose values hex (as InputResult gives them) the file at
    // path gave when read from stamp on; those the attributes hold already are not written
    // again.  Nothing is written when the file changed since, or was modified so shortly
    // before that its time could hide a later change.
    void Store(const std::string& path, const CacheStamp& stamp, int64_t readAt,
               const std::vector<size_t>& lines, const std::vector<std::string>& hex);

    // Reads the record of line for the file at path into text; false when there is none
    // (after saying why once, when the file system refused).
    bool Read(const std::string& path, size_t line, std::string& text);

    // The time now, in nanoseconds since 1970, as Store takes it.
    static int64_t Now();

    // Says, once for each kind, why the file at path is not cached.
    void Tell(AttributeAnswer answer, const std::string& path, const std::string& reason);

private:
    bool on_;
    bool toldUnsupported_ = false;
    bool toldNoRoom_ = false;
    bool toldFailed_ = false;
};

#endif
