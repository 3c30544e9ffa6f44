#include "lists/csv_lines.h"

#include <algorithm>

#include "common/algorithm_names.h"
#include "common/line_names.h"
#include "common/text_encoding.h"
#include "lists/json_lines.h"

namespace {

const char kFixedColumns[] = "list_version,name,name_base64,size,modified";
constexpr size_t kFixedCount = 5;

std::string Field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return quoted + "\"";
}

std::string ColumnName(const CsvColumn& column) {
    return (column.keyed ? "HMAC-" : "") + LineName(kReportLines[column.line]);
}

// Splits a row into its fields, unquoted.  False when a quoted field is not closed, or
// something other than a comma follows its closing quote.
bool SplitRow(const std::string& text, std::vector<std::string>& fields) {
    fields.assign(1, std::string());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ',') {
            fields.emplace_back();
        } else if (c == '"' && fields.back().empty() && (i == 0 || text[i - 1] == ',')) {
            for (++i;; ++i) {
                if (i == text.size()) return false;
                if (text[i] != '"') {
                    fields.back() += text[i];
                } else if (i + 1 < text.size() && text[i + 1] == '"') {
                    fields.back() += '"';
                    ++i;
                } else {
                    break;
                }
            }
            if (i + 1 < text.size() && text[i + 1] != ',') return false;
        } else {
            fields.back() += c;
        }
    }
    return true;
}

long LineOfColumn(const std::string& name) {
    for (size_t i = 0; i < kReportLineCount; ++i) {
        if (LineName(kReportLines[i]) == name) return long(i);
    }
    return FindAlgorithm(name);
}

bool IsDecimal(const std::string& text) {
    return !text.empty() && text.size() <= 18 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string CsvHeader(const std::vector<CsvColumn>& columns) {
    std::string text = kFixedColumns;
    for (const CsvColumn& column : columns) text += "," + Field(ColumnName(column));
    return text + "\r\n";
}

std::string CsvRecordLine(const FileRecord& record) {
    const bool utf8 = IsUtf8(record.name);
    std::string text = std::to_string(kRecordListVersion) + "," + (utf8 ? Field(record.name) : "") +
                       "," + (utf8 ? "" : Base64Encode(record.name)) + ",";
    if (record.size >= 0) text += std::to_string(record.size);
    text += ",";
    if (record.timeKnown) text += TimeText(record.modified);
    for (const RecordDigest& digest : record.digests) text += "," + digest.hex;
    return text + "\r\n";
}

bool StartsCsvList(const std::string& text) {
    return text.compare(0, sizeof kFixedColumns - 1, kFixedColumns) == 0;
}

bool ParseCsvHeader(const std::string& text, std::vector<CsvColumn>& columns, std::string& reason) {
    std::string row = text;
    if (!row.empty() && row.back() == '\r') row.pop_back();
    std::vector<std::string> fields;
    if (!StartsCsvList(row) || !SplitRow(row, fields) || fields.size() <= kFixedCount ||
        row.compare(0, sizeof kFixedColumns, std::string(kFixedColumns) + ",") != 0) {
        reason = std::string("a CSV header that is not \"") + kFixedColumns +
                 "\" followed by at least one digest column";
        return false;
    }
    columns.clear();
    for (size_t i = kFixedCount; i < fields.size(); ++i) {
        const bool keyed = fields[i].compare(0, 5, "HMAC-") == 0;
        const long line = LineOfColumn(fields[i].substr(keyed ? 5 : 0));
        if (line < 0) {
            reason = "a CSV column '" + fields[i] + "' that names no report line";
            return false;
        }
        for (const CsvColumn& column : columns) {
            if (column.line == size_t(line)) {
                reason = "a CSV header that names " + LineName(kReportLines[line]) + " twice";
                return false;
            }
        }
        columns.push_back(CsvColumn{size_t(line), keyed});
    }
    return true;
}

bool CsvRowOpen(const std::string& text) {
    return std::count(text.begin(), text.end(), '"') % 2 != 0;
}

ChecksumLineKind ParseCsvRecord(const std::string& text, const std::vector<CsvColumn>& columns,
                                FileRecord& record, std::string& reason) {
    record = FileRecord();
    std::string row = text;
    if (!row.empty() && row.back() == '\r') row.pop_back();
    if (row.empty()) return ChecksumLineKind::kIgnored;
    std::vector<std::string> fields;
    if (!SplitRow(row, fields)) {
        reason = "a quoted CSV field that is not closed, or text after its closing quote";
        return ChecksumLineKind::kMalformed;
    }
    if (fields.size() != kFixedCount + columns.size()) {
        reason = std::to_string(fields.size()) + " fields where the CSV header names " +
                 std::to_string(kFixedCount + columns.size());
        return ChecksumLineKind::kMalformed;
    }
    if (fields[0] != std::to_string(kRecordListVersion)) {
        reason = "list version '" + fields[0] + "', which this korvadex does not read (it reads " +
                 std::to_string(kRecordListVersion) + ")";
        return ChecksumLineKind::kMalformed;
    }
    if (fields[1].empty() == fields[2].empty()) {
        reason = "a row with neither or both of name and name_base64";
        return ChecksumLineKind::kMalformed;
    }
    record.name = fields[1];
    if (!fields[2].empty() && !Base64Decode(fields[2], record.name)) {
        reason = "a name_base64 that is not base64";
        return ChecksumLineKind::kMalformed;
    }
    if (!fields[3].empty()) {
        if (!IsDecimal(fields[3])) {
            reason = "a size that is not a decimal number";
            return ChecksumLineKind::kMalformed;
        }
        record.size = int64_t(std::stoll(fields[3]));
    }
    if (!fields[4].empty()) {
        if (!ParseTimeText(fields[4], record.modified)) {
            reason = "a modified time that is not an RFC 3339 time in UTC";
            return ChecksumLineKind::kMalformed;
        }
        record.timeKnown = true;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        const std::string& hex = fields[kFixedCount + i];
        if (hex.empty() || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            reason = "a " + ColumnName(columns[i]) + " value that is not hex";
            return ChecksumLineKind::kMalformed;
        }
        record.digests.push_back(RecordDigest{columns[i].line, hex, columns[i].keyed});
    }
    return ChecksumLineKind::kEntry;
}
