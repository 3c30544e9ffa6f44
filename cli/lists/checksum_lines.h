// The lines of the checksum lists that --format writes and --check reads, one section per
// format, each with its writer beside its reader:
//   gnu:  "hex  NAME" or "hex *NAME" (sha256sum, md5sum, openssl dgst -r)
//   bsd:  "TAG (NAME) = hex" (sha256sum --tag, cksum -a, rhash --bsd, whose tags may be
//         followed by blanks) and "TAG(NAME)= hex" (openssl dgst); "HMAC-TAG" for a keyed
//         value
//   gnu with one blank or tab: "hex NAME", "hex\tNAME" (BSD md5 -r), read as coreutils reads
//         them: see ListForm
//   sfv:  "NAME CRC32" (rhash --sfv and other SFV writers; ';' starts a comment)
//   columns: "NAME  hex  hex..." (rhash with several algorithms, one column each, in
//         rhash's order of its algorithms; "NAME HEX HEX..." in its SFV lists)
//   json, csv: one object or row per file with its name, size, modification time and
//         digests (json_lines.h, csv_lines.h)
//   hashdeep: "%%%% HASHDEEP-1.0", then "%%%% size,md5,...,filename" naming the columns,
//         "## " comment lines, then "SIZE,hex,...,NAME" per file (hashdeep, md5deep's
//         companion); the name is the rest of the line, commas and all, and has no escapes
// A gnu or bsd line that starts with '\' has its name escaped: "\\" for a backslash, "\n"
// for a line feed and "\r" for a carriage return, as coreutils writes names that hold them.
// An SFV line has no escapes: a name it cannot carry is refused when it is written.
#ifndef KORVADEX_CLI_CHECKSUM_LINES_H
#define KORVADEX_CLI_CHECKSUM_LINES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How the digests of the inputs are written.
enum class OutputFormat {
    kReport,    // the report: label and value per line
    kGnu,       // "hex  NAME", as sha256sum writes it
    kBsd,       // "TAG (NAME) = hex", as sha256sum --tag and cksum write it
    kSfv,       // "NAME CRC32", the simple file verification list
    kHashdeep,  // "SIZE,hex,...,NAME" under hashdeep's header
    kJson,      // one JSON object per file (json_lines.h)
    kCsv,       // one CSV row per file under a header row (csv_lines.h)
};

// A name as a gnu or bsd line holds it: escaped when it holds a backslash, a line feed or a
// carriage return (then needsMark is set: the line must start with '\'), else as it is.
std::string EscapeName(const std::string& name, bool& needsMark);

struct ChecksumLine {
    std::string name;    // the file, unescaped
    std::string hex;     // as written, either case
    long line = -1;      // index in kReportLines from the tag; -1 for an untagged line
    bool keyed = false;  // the tag starts with "HMAC-", as in keyed --tag lines and in those
                         // of openssl dgst -hmac
};

// What shapes a written line beyond its format.
struct LineStyle {
    bool binary = false;  // -b: '*' before the name of a gnu line
    bool zero = false;    // -z: the line ends in NUL and the name is written as it is
};

// A format of --format.
struct ListFormat {
    const char* name;  // as --format takes it
    OutputFormat format;
    bool lowerHex;              // its values are in lower case unless --upper is given
    const char* onlyAlgorithm;  // the one line it can hold, or null
    bool oneAlgorithm;          // it holds exactly one line, which -a must name
    bool keyed;                 // it can hold keyed values: its readers do not take them for
                                // plain ones
    // Appends the line of entry (line, keyed and hex as written) to text, with its end; or
    // returns false with reason set when the format cannot carry entry.name.  Null for the
    // report, which is not a list, and for hashdeep's, JSON and CSV lists, whose lines each
    // hold a whole file (see WriteHashdeepLine, JsonRecordLine and CsvRecordLine).
    bool (*write)(const ChecksumLine& entry, const LineStyle& style, std::string& text,
                  std::string& reason);
};

// The formats of --format, the report first.
extern const ListFormat kListFormats[];
extern const size_t kListFormatCount;

const ListFormat& FormatOf(OutputFormat format);

// The format named name, or null.
const ListFormat* FindFormat(const std::string& name);

enum class ChecksumLineKind {
    kEntry,      // a checksum line, in entry
    kIgnored,    // empty, or a comment ('#' or ';' first)
    kMalformed,  // not a line of any of the forms (reason says why); so is a line of blanks,
                 // as coreutils counts it
};

// What the lines of one list read so far say of the form of the untagged "hex NAME" lines.
// As coreutils reads them, the first such line decides: when the value is followed by two
// characters (a blank or tab, then ' ' or '*'), a later line with a single blank or tab is
// not a checksum line; when by one, a ' ' or '*' after the blank on a later line belongs to
// its name.  A line that is also an SFV line ("NAME CRC32", the name made of hex digits)
// is read as one until the list shows single separators.
struct ListForm {
    enum class Separator { kUnknown, kTwo, kOne };
    Separator separator = Separator::kUnknown;
};

// Parses one line of a list, without its line end (a CR before it is dropped here).
// sfvFirst: the list is an SFV file, whose "NAME CRC32" form is tried before the others.
// form: the list's form so far, updated by the line; null for a line read on its own.
ChecksumLineKind ParseChecksumLine(const std::string& text, bool sfvFirst, ChecksumLine& entry,
                                   std::string& reason, ListForm* form = nullptr);

// Parses a line of rhash's form for several algorithms, "NAME  hex  hex..." (or with one
// blank, as in its SFV lists): at least two columns of hex digits of a report line's
// width, each after the same blanks.  Fills entries with
// one untagged entry per column, in order.  Tried when no other form fits, since a "hex  NAME"
// line whose name ends in such columns is read as that.
bool ParseDigestColumns(const std::string& text, std::vector<ChecksumLine>& entries);

// hashdeep's lists ------------------------------------------------------------------------

// The first line of a hashdeep list.
extern const char kHashdeepMagic[];

// The lines a hashdeep list can hold, in the order of its columns (md5, sha1, sha256, tiger,
// whirlpool), and the name its header gives each.
std::vector<size_t> HashdeepLines();
const char* HashdeepColumn(size_t line);  // null for a line hashdeep does not know

// The header of a list of these lines (in column order): the magic line, the columns, and
// the comment lines that say where and how it was written.
std::string HashdeepHeader(const std::vector<size_t>& lines, const std::string& folder,
                           const std::string& commandLine);

// Appends "SIZE,hex,...,NAME" (hex in column order), or returns false with reason set when a
// hashdeep list cannot carry name.
bool WriteHashdeepLine(const std::string& name, uint64_t size, const std::vector<std::string>& hex,
                       std::string& text, std::string& reason);

// The columns of a "%%%% size,md5,...,filename" line before the name: the line of each
// algorithm, or -1 for the size.  False, with reason set, for a line that names no
// algorithm, an unknown column or one twice, or does not end in the filename.
bool ParseHashdeepColumns(const std::string& text, std::vector<long>& columns, std::string& reason);

// One file line under those columns: its size (-1 when the list has no size column) and one
// entry per algorithm column, in order.  False, with reason set, when it does not fit them.
bool ParseHashdeepLine(const std::string& text, const std::vector<long>& columns, int64_t& size,
                       std::vector<ChecksumLine>& entries, std::string& reason);

#endif
