// JSON Lines lists (--format json): one object per file on a line of its own,
//   {"list_version":1,"name":"photos/a.jpg","size":1234,
//    "modified":"2024-02-29T13:45:07.000000123Z",
//    "digests":{"MD5":{"hex":"...","names":["md5"]},"SHA-256":{...}}}
// "list_version" stands in every object, so that any line read alone (grep, head) says
// what it is.  A name that is not UTF-8 is written as "name_base64" (its bytes in base64)
// in place of "name".  "modified" is in UTC with nanoseconds, and left out where the input
// has no time (standard input, --string).  Each digest is keyed by its line's label; its
// value is "hex" for a plain digest and "hmac" for a keyed one (so that no reader takes an
// HMAC for the digest), and "names" gives the names other tools use for the algorithm.
//
// The verdicts of -c --format json are written one object per entry in the same way:
//   {"name":"a.jpg","list":"photos.json","line":3,"verdict":"FAILED",
//    "expected":{"size":1234,"digests":{...}},"actual":{"size":1234,"digests":{...}}}
// and those of --audit --format json too, "moved" with "moved_from" naming the entry.
#ifndef KORVADEX_CLI_JSON_LINES_H
#define KORVADEX_CLI_JSON_LINES_H

#include <string>

#include "common/file_record.h"
#include "lists/checksum_lines.h"

// The version of the lists whose lines each hold a whole file (JSON and CSV).
constexpr int kRecordListVersion = 1;

// The line (with its '\n') of one record.
std::string JsonRecordLine(const FileRecord& record);

// Whether the first line of a list (without its line end) makes it a JSON list: an object
// whose first member is "list_version".
bool StartsJsonList(const std::string& text);

// Parses one line of a JSON list, without its line end: kIgnored for a line of blanks,
// kMalformed with reason set for anything but an object of a known list version holding
// a name and at least one digest.
ChecksumLineKind ParseJsonRecord(const std::string& text, FileRecord& record, std::string& reason);

// ParseJsonRecord through the full JSON parser only, for the lines that the quick reading
// (json_record_scan.h) does not take.
ChecksumLineKind ParseJsonRecordObject(const std::string& text, FileRecord& record,
                                       std::string& reason);

// The line a digest's label names (as LineName gives it), else the algorithm of that name,
// or -1.
long LineOfJsonLabel(const std::string& label);

// The verdict of one entry of a list, or of one file against it.
struct EntryVerdict {
    std::string name;       // the file, as the list names it
    std::string list;       // the list, as it was given
    size_t line = 0;        // the entry's line in the list, from 1; 0 for a file the list lacks
    std::string verdict;    // "OK", "FAILED", "missing", "unreadable", or --audit's words
    std::string reason;     // why the file could not be read, or ""
    std::string movedFrom;  // --audit's "moved": the name of the entry the file matched
    FileRecord expected;    // what the list holds (size and digests; its name is not used)
    FileRecord actual;      // what the file gave, where it was read
};

// The line (with its '\n') of one verdict: expected and actual are left out where they hold
// neither a size nor a digest, reason where it is empty.
std::string JsonVerdictLine(const EntryVerdict& verdict);

#endif
