// CSV lists (--format csv, RFC 4180): a header row, then one row per file, each ending in
// CR LF as RFC 4180 has it (a reader takes LF alone too).
//   list_version,name,name_base64,size,modified,MD5,SHA-256
//   1,photos/a.jpg,,1234,2024-02-29T13:45:07.000000123Z,d41d8cd9...,e3b0c442...
// The fields are those of a JSON list (json_lines.h): the list version in every row; the name,
// or when it is not UTF-8 its bytes in base64 in the next column; the size and the
// modification time, empty where the input has none; then one column per digest, headed by
// its line's label, or "HMAC-" and the label for a keyed value.  A field holding a comma, a
// quote, a CR or an LF is quoted, its quotes doubled; a quoted name may span lines.
#ifndef KORVADEX_CLI_CSV_LINES_H
#define KORVADEX_CLI_CSV_LINES_H

#include <string>
#include <vector>

#include "common/file_record.h"
#include "lists/checksum_lines.h"

// A digest column of a CSV list.
struct CsvColumn {
    size_t line;  // its index in kReportLines
    bool keyed;
};

// The header row (with its CR LF) of a list of these columns.
std::string CsvHeader(const std::vector<CsvColumn>& columns);

// The row (with its CR LF) of one record, whose digests are in the order of the header.
std::string CsvRecordLine(const FileRecord& record);

// Whether the first line of a list (without its line end) is the header of a CSV list.
bool StartsCsvList(const std::string& text);

// The digest columns of a header row (without its line end).  False, with reason set, for a
// header that is not one of a CSV list, or names a column that is no report line, or one twice.
bool ParseCsvHeader(const std::string& text, std::vector<CsvColumn>& columns, std::string& reason);

// Whether the text of a row read so far ends inside a quoted field: then the line break after
// it belongs to the field, and the row goes on on the next line.
bool CsvRowOpen(const std::string& text);

// Parses one row (without its final line end) under the columns of its header: kIgnored for
// an empty line, kMalformed with reason for a row that does not fit them.
ChecksumLineKind ParseCsvRecord(const std::string& text, const std::vector<CsvColumn>& columns,
                                FileRecord& record, std::string& reason);

#endif
