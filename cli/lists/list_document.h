// A checksum list as a whole, for the commands that keep one: every line as read, the
// entries it holds (one per file name, with the values of all its lines), and the way it
// writes them, so that it can be written back in its own format, order and style with some
// entries changed, dropped or added.  Lines that hold no entry (headers, comments, lines of
// no known form) are written back as they were.
#ifndef KORVADEX_CLI_LIST_DOCUMENT_H
#define KORVADEX_CLI_LIST_DOCUMENT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/file_record.h"
#include "lists/checksum_lines.h"

// The form of a list's entry lines.
enum class ListKind {
    kGnu,       // "hex  NAME", one value a line
    kBsd,       // "TAG (NAME) = hex", one value a line
    kSfv,       // "NAME CRC32"
    kColumns,   // "NAME  hex  hex...", rhash's lines of several algorithms
    kHashdeep,  // "SIZE,hex,...,NAME" under hashdeep's header
    kJson,      // one object per file (json_lines.h)
    kCsv,       // one row per file under a header row (csv_lines.h)
};

// One value of an entry.
struct ListValue {
    size_t text;          // the index of its line in ListDocument::lines, for a value that was read
    long line;            // its index in kReportLines, or -1 while an untagged value's is not known
    bool keyed;           // an HMAC value
    std::string hex;      // the value, as it is to be written
    std::string written;  // the value as its line holds it now ("" for a new value)
};

struct ListEntry {
    std::string name;  // as the list writes it, unescaped
    std::vector<ListValue> values;
    int64_t size = -1;       // the file's size, where the list records it, else -1
    bool timeKnown = false;  // the list records the file's modification time:
    FileTime modified;
    bool dropped = false;
    bool changed = false;  // its values, size or time were set anew: its lines are made again
    bool added = false;    // a new entry: its lines are made when the list is written
};

struct ListDocument {
    ListKind kind = ListKind::kGnu;
    std::vector<std::string> lines;  // as read, without line ends
    std::vector<long> owner;         // for each line, the entry it holds, or -1
    std::vector<size_t> numbers;     // for each line, its number in the list (from 1), where read
    std::vector<ListEntry> entries;  // in the order of their first lines
    std::unordered_map<std::string, size_t> byName;  // the last entry of each name
    std::string lineEnd = "\n";
    std::string columnBlanks = "  ";  // what stands before each value of rhash's lines
    bool binary = false;              // its gnu lines mark names with '*'
    bool lower = true;                // new values are written in lower-case hex
    bool utf8Mark = false;            // it starts with a byte order mark, which it keeps
    bool utf16 = false;               // it was read from UTF-16, which it is not written back in
    size_t malformed = 0;             // lines of no known form, kept as they are
    std::vector<ListValue> pattern;   // the values of a new list's entries (lines, keyed)
};

// One entry line of a list read line by line (a CSV row that spans lines is one).
struct ListLine {
    size_t number = 0;                 // its first line's, from 1
    std::vector<ChecksumLine> values;  // one file's values, as they are written
    int64_t size = -1;                 // the file's size, where the line gives it
    bool timeKnown = false;            // the line gives the file's modification time:
    FileTime modified;
};

// Reads the list at path into document.  False, with reason, when it cannot be read, is a
// saved report or is UTF-16 (which would not be written back the same), or holds no entry
// and no hashdeep header.  keep, when given, is shown each entry line and says whether
// document takes it; the lines it leaves out are in no entry and no line of document, which
// is then only a part of the list, written with RewriteList.
bool ReadListDocument(const std::string& path, ListDocument& document, std::string& reason,
                      const std::function<bool(const ListLine&)>& keep = nullptr);

// Whether values, of a line that names the file of entry, give it values it lacks: lines that
// give one file several algorithms (tagged lines, one a line) make one entry.  A line that
// gives a value of an algorithm the entry holds (tagged alike, or untagged of the same
// width) lists the name twice, and begins an entry of its own.
bool AddsTo(const ListEntry& entry, const std::vector<ChecksumLine>& values);

// Whether the entries of the list record the size of their files, and their times.
bool RecordsSizes(const ListDocument& document);
bool RecordsTimes(const ListDocument& document);

// hex in upper case.
std::string ListUpper(std::string hex);

// Sets value to upperHex, in the case its line writes values in (that of the list's first
// value, for a new one).
void SetValue(const ListDocument& document, ListValue& value, const std::string& upperHex);

// An empty list of the given format (any but the report) for lines, keyed or not; header:
// the opening lines of a hashdeep list (a CSV list's header row is made here).
ListDocument NewListDocument(OutputFormat format, const std::vector<size_t>& lines, bool keyed,
                             bool binary, bool lower, const std::string& header);

// Adds an entry named name with a value for each of the lines of the list's first entry (of
// a list with none, those of pattern); the caller fills in the hex.  Returns its index.
size_t AddEntry(ListDocument& document, const std::string& name);

// Whether the list's format can carry the added entry, its values filled in; if not, reason
// says why.
bool CarriesEntry(const ListDocument& document, const ListEntry& entry, std::string& reason);

// The text of the list: its lines in their order, an entry's lines with its values as they
// are now, a dropped entry's left out, and each added entry's before the first entry (by its
// first line) whose name sorts after it, in byte order, else after the last entry.  An added
// entry that the format cannot carry (see CarriesEntry) is left out.
std::string WriteListDocument(const ListDocument& document);

// Writes the list at path again through write, from part, the entries of it read with keep:
// the lines of part as WriteListDocument writes them (added entries among those of the list
// by name, after the entry line numbered last at the latest), and every other line as it
// stands, but for the entry lines drop gives (by number).  False, with reason, when the
// list cannot be read or write fails (which sets reason).
bool RewriteList(const std::string& path, const ListDocument& part, size_t last,
                 const std::function<bool(size_t number)>& drop,
                 const std::function<bool(const std::string& text, std::string& reason)>& write,
                 std::string& reason);

#endif
