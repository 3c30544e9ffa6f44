// A quick reading of the lines of JSON lists in the plain shape korvadex writes them: the
// members in any order, unknown members skipped, names and values of printable ASCII.  A
// line of any other shape (escapes of \u, other bytes, a member given twice, numbers that
// are not plain whole ones) is not taken, and ParseJsonRecord reads it through the full
// JSON parser, which gives the same record, or says what is wrong with the line.
#ifndef KORVADEX_CLI_JSON_RECORD_SCAN_H
#define KORVADEX_CLI_JSON_RECORD_SCAN_H

#include <string>

#include "common/file_record.h"

// Reads the record of text (a line without its line end); false when it does not take it.
bool ScanJsonRecord(const std::string& text, FileRecord& record);

#endif
