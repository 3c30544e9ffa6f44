// Fuzz target: what a list format writes, its reader reads back as the same entry.
//
// The first bytes choose the format of --format, the report line and the style (keyed,
// -b, upper-case hex); the rest is the file name.  Each format's writer either refuses the
// name with a reason or writes one line that the list reader takes as the same name, value,
// line and keying, whether or not the list is known to be an SFV file; and no written line
// starts as a saved report or a byte-order mark would, which would change how its list is
// read.  The report row stands for --save: a saved report holds the name, or the writer's
// rule refuses it.  JSON and CSV lines carry every name, size, time and digest: a JSON line
// stays on one line, a CSV row breaks only inside a quoted field, as -c joins them, and
// each reads back as the record written.
#include <cstdlib>
#include <string>

#include "common/algorithm_names.h"
#include "lists/checksum_lines.h"
#include "lists/csv_lines.h"
#include "lists/json_lines.h"
#include "report_text.h"
#include "lists/saved_report_reader.h"

namespace {

void Require(bool holds) {
    if (!holds) std::abort();
}

// The value of line written in the chosen case: any hex digits of its width do.
std::string Value(size_t line, uint8_t seed, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < 2 * DigestLength(kReportLines[line].size); ++i) {
        hex += digits[(i * 7 + seed) % 16];
    }
    return hex;
}

void SavedReportRoundTrip(const std::string& name) {
    if (SavedPathFault(name) != nullptr) return;
    std::string reportText;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        reportText += kReportLines[i].label + Value(i, uint8_t(i), true) + "\r\n";
    }
    SavedReport saved;
    std::string error;
    Require(ParseSavedReport(BuildSavedReport(name.c_str(), reportText), saved, error));
    Require(saved.inputPath == name && saved.lines.size() == kReportLineCount);
}

void ListRoundTrip(const ListFormat& format, size_t line, uint8_t flags, const std::string& name) {
    ChecksumLine entry;
    entry.name = name;
    entry.line = format.onlyAlgorithm != nullptr ? FindAlgorithm(format.onlyAlgorithm) : long(line);
    entry.keyed = format.keyed && (flags & 1) != 0;
    entry.hex = Value(size_t(entry.line), flags, (flags & 4) != 0);
    LineStyle style;
    style.binary = (flags & 2) != 0;
    std::string text;
    std::string reason;
    if (!format.write(entry, style, text, reason)) {
        Require(!reason.empty() && text.empty());
        return;
    }
    Require(!text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1);
    text.pop_back();
    for (const char* start : {"==========", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
        Require(text.compare(0, std::string(start).size(), start) != 0);
    }
    // An untagged gnu line leaves its line, and whether it is keyed, to the list's name and
    // the options of --check.
    const bool gnu = format.format == OutputFormat::kGnu;
    for (bool sfvFirst : {format.format == OutputFormat::kSfv, false}) {
        ChecksumLine back;
        Require(ParseChecksumLine(text, sfvFirst, back, reason) == ChecksumLineKind::kEntry);
        Require(back.name == entry.name && back.hex == entry.hex);
        Require(back.line == (gnu ? -1 : entry.line) && back.keyed == (!gnu && entry.keyed));
    }
}

void RecordRoundTrip(OutputFormat format, size_t line, uint8_t flags, const std::string& name) {
    FileRecord record;
    record.name = name;
    record.size = (flags & 8) != 0 ? -1 : int64_t(flags) << 40;
    record.timeKnown = (flags & 16) != 0;
    record.modified = FileTime{int64_t(flags) * -7777777, uint32_t(flags) * 3333333u};
    record.digests = {RecordDigest{line, Value(line, flags, (flags & 4) != 0), (flags & 1) != 0}};
    FileRecord back;
    std::string reason;
    if (format == OutputFormat::kJson) {
        std::string line = JsonRecordLine(record);
        Require(line.find('\n') == line.size() - 1);
        line.pop_back();
        Require(StartsJsonList(line));
        Require(ParseJsonRecord(line, back, reason) == ChecksumLineKind::kEntry);
    } else {
        const std::vector<CsvColumn> columns{{line, (flags & 1) != 0}};
        std::vector<CsvColumn> header;
        std::string headerLine = CsvHeader(columns);
        Require(headerLine.find('\n') == headerLine.size() - 1);
        headerLine.pop_back();
        Require(StartsCsvList(headerLine));
        Require(ParseCsvHeader(headerLine, header, reason) && header.size() == 1);
        Require(header[0].line == line && header[0].keyed == columns[0].keyed);
        // As -c joins them: a line that leaves a quoted field open goes on on the next.
        std::string row = CsvRecordLine(record);
        Require(row.back() == '\n');
        row.pop_back();
        for (size_t at = row.find('\n'); at != std::string::npos; at = row.find('\n', at + 1)) {
            Require(CsvRowOpen(row.substr(0, at)));
        }
        Require(!CsvRowOpen(row));
        Require(ParseCsvRecord(row, header, back, reason) == ChecksumLineKind::kEntry);
    }
    Require(back.name == record.name && back.size == record.size &&
            back.timeKnown == record.timeKnown && back.digests.size() == 1);
    Require(!back.timeKnown || back.modified == record.modified);
    Require(back.digests[0].line == line && back.digests[0].hex == record.digests[0].hex &&
            back.digests[0].keyed == record.digests[0].keyed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const ListFormat& format = kListFormats[data[0] % kListFormatCount];
    const size_t line = data[1] % kReportLineCount;
    const uint8_t flags = data[2];
    const std::string name(reinterpret_cast<const char*>(data + 3), size - 3);
    // A file name holds no NUL.
    if (name.find('\0') != std::string::npos) return 0;
    if (format.format == OutputFormat::kJson || format.format == OutputFormat::kCsv) {
        RecordRoundTrip(format.format, line, flags, name);
    } else if (format.write == nullptr) {
        SavedReportRoundTrip(name);
    } else {
        ListRoundTrip(format, line, flags, name);
    }
    return 0;
}
