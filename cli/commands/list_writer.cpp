#include "commands/list_writer.h"

#include "batch/messages.h"
#include "commands/list_upkeep.h"
#include "common/line_names.h"
#include "lists/checksum_lines.h"
#include "lists/csv_lines.h"
#include "lists/json_lines.h"
#include "report_text.h"

ListWriter::ListWriter(const Options& options, bool headers, const std::string& folder)
    : options_(options), headers_(headers), folder_(folder) {
    const bool saving = !options.savePath.empty();
    // A saved report always holds every line, whatever is shown.
    computed_ = saving || options.only.empty() ? AllLines() : options.only;
    std::vector<bool> shown(kReportLineCount, options.only.empty());
    for (size_t line : options.only) shown[line] = true;
    for (size_t line : computed_) {
        if (shown[line]) written_.push_back(line);
    }
}

std::string ListWriter::Opening() const {
    if (options_.format == OutputFormat::kHashdeep) return HashdeepOpening(options_, folder_);
    if (options_.format != OutputFormat::kCsv) return "";
    std::vector<CsvColumn> columns;
    for (size_t line : written_) columns.push_back({line, options_.keyed});
    return CsvHeader(columns);
}

bool ListWriter::Append(const std::string& name, const std::string& shown, uint64_t size,
                        const FileTime* modified, const std::vector<std::string>& hex,
                        std::string& text) {
    const bool lower = LowerHex(options_);
    std::string reason;
    switch (options_.format) {
        case OutputFormat::kReport:
            if (headers_) {
                if (!first_) text += '\n';
                text += "Input: " + ShownName(shown) + '\n';
            }
            first_ = false;
            for (size_t line : written_) {
                AppendReportLine(text, kReportLines[line], DisplayHex(hex[line], lower).c_str(),
                                 "\n");
            }
            return true;
        case OutputFormat::kJson:
        case OutputFormat::kCsv: {
            FileRecord record;
            record.name = name;
            record.size = int64_t(size);
            record.timeKnown = modified != nullptr;
            if (modified != nullptr) record.modified = *modified;
            for (size_t line : written_) {
                record.digests.push_back({line, DisplayHex(hex[line], lower), options_.keyed});
            }
            text += options_.format == OutputFormat::kJson ? JsonRecordLine(record)
                                                           : CsvRecordLine(record);
            return true;
        }
        case OutputFormat::kHashdeep: {
            std::vector<std::string> values;
            for (size_t line : HashdeepColumns(options_)) {
                values.push_back(DisplayHex(hex[line], lower));
            }
            std::string line;
            if (!WriteHashdeepLine(name, size, values, line, reason)) break;
            text += line;
            return true;
        }
        default: {
            LineStyle style;
            style.binary = options_.binary;
            style.zero = options_.zero;
            ChecksumLine entry;
            entry.name = name;
            entry.keyed = options_.keyed;
            const ListFormat& format = FormatOf(options_.format);
            std::string lines;
            bool ok = true;
            for (size_t line : written_) {
                entry.line = long(line);
                entry.hex = DisplayHex(hex[line], lower);
                ok = ok && format.write(entry, style, lines, reason);
            }
            if (!ok) break;
            text += lines;
            return true;
        }
    }
    PrintError(name, "not written: " + reason);
    return false;
}

std::vector<std::string> RecordHex(const FileRecord& record) {
    std::vector<std::string> hex(kReportLineCount);
    for (const RecordDigest& digest : record.digests) hex[digest.line] = digest.hex;
    return hex;
}
