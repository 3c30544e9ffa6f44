// What a list records of one file when its line holds the whole file (JSON, CSV and
// hashdeep's lists): the name, the size, the modification time and the digests chosen.
// The writers and readers of those formats, -c, --update, --audit and --known all take and
// give this record.
#ifndef KORVADEX_CLI_FILE_RECORD_H
#define KORVADEX_CLI_FILE_RECORD_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A modification time: whole seconds since 1970-01-01 00:00:00 UTC (negative before it),
// and the nanoseconds within that second.
struct FileTime {
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;  // 0 to 999 999 999
};

inline bool operator==(const FileTime& a, const FileTime& b) {
    return a.seconds == b.seconds && a.nanoseconds == b.nanoseconds;
}
inline bool operator!=(const FileTime& a, const FileTime& b) {
    return !(a == b);
}

// One digest of a file.
struct RecordDigest {
    size_t line = 0;     // its index in kReportLines
    std::string hex;     // as written, either case
    bool keyed = false;  // an HMAC under the key of --key or --key-file, not the plain digest
};

struct FileRecord {
    std::string name;   // the bytes of the name, as the list gives it (relative or absolute)
    int64_t size = -1;  // in bytes; -1 where the list does not say
    bool timeKnown = false;
    FileTime modified;                  // when timeKnown is set
    std::vector<RecordDigest> digests;  // in the order the list gives them
};

// The time now, from the system's clock.
FileTime TimeNow();

// Whether RFC 3339 can write the time: from the year 0000 to the year 9999.
bool TimeWritable(const FileTime& time);

// The time in RFC 3339 form, in UTC with all nine digits of the nanoseconds:
// "2024-02-29T13:45:07.000000123Z".  For a time that TimeWritable accepts.
std::string TimeText(const FileTime& time);

// Parses a time as TimeText writes it; the fraction may have from 1 to 9 digits or be left
// out, and "+00:00" may stand for the "Z".  False for any other text, or a date that does
// not exist.
bool ParseTimeText(const std::string& text, FileTime& time);

#endif
