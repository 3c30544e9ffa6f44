// The digests of each input, in the format chosen, and the saved report of --save.
#include <algorithm>
#include <string>

#include "batch/input_batch.h"
#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "commands/digest_cache.h"
#include "commands/list_upkeep.h"
#include "common/line_names.h"
#include "lists/checksum_lines.h"
#include "lists/csv_lines.h"
#include "lists/json_lines.h"
#include "lists/saved_report_reader.h"
#include "report_text.h"
#include "system/directory_walk.h"
#include "system/file_output.h"
#include "system/system.h"

namespace {

// Writes the saved report of one input, whose lines (all of them) are hex.
bool SaveReport(const Options& options, const std::string& path,
                const std::vector<std::string>& hex) {
    if (const char* fault = SavedPathFault(path)) {
        PrintError(options.savePath, std::string("not saved: the input path ") + fault +
                                         ", which a saved report cannot hold");
        return false;
    }
    std::string reportText;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        AppendReportLine(reportText, kReportLines[i], hex[i].c_str(), "\r\n");
    }
    if (IsSameRegularFile(path, options.savePath)) {
        PrintError(options.savePath, "not saved: it is the input, which the report would replace");
        return false;
    }
    std::string reason;
    if (!WriteOutputFile(options.savePath, BuildSavedReport(path.c_str(), reportText), reason)) {
        PrintError(options.savePath, "not saved: " + reason);
        return false;
    }
    return true;
}

// One input: a file (or "-"), or a text of --string.
struct Input {
    std::string path;  // the file, or the text
    bool isText;
    std::string Name() const { return isText ? "\"" + path + "\"" : path; }
};

// The lines of one input in a checksum-list format, or false, after a message, when the
// format cannot carry its name.
bool ListLines(const Options& options, const std::string& name, const std::vector<size_t>& lines,
               const std::vector<std::string>& hex, std::string& text) {
    const ListFormat& format = FormatOf(options.format);
    LineStyle style;
    style.binary = options.binary;
    style.zero = options.zero;
    ChecksumLine entry;
    entry.name = name;
    entry.keyed = options.keyed;
    for (size_t line : lines) {
        entry.line = long(line);
        entry.hex = DisplayHex(hex[line], LowerHex(options));
        std::string reason;
        if (!format.write(entry, style, text, reason)) {
            PrintError(name, "not written: " + reason);
            return false;
        }
    }
    return true;
}

// The line of one input in a hashdeep list, or false, after a message, when the list cannot
// carry its name.
bool HashdeepLine(const Options& options, const std::string& name, uint64_t size,
                  const std::vector<std::string>& hex, std::string& text) {
    std::vector<std::string> values;
    for (size_t line : HashdeepColumns(options)) {
        values.push_back(DisplayHex(hex[line], LowerHex(options)));
    }
    std::string reason;
    if (!WriteHashdeepLine(name, size, values, text, reason)) {
        PrintError(name, "not written: " + reason);
        return false;
    }
    return true;
}

// The line of one input in a JSON or CSV list: its name, size and modification time (when
// it has one), and the digests of lines.
std::string RecordLine(const Options& options, const std::string& name, uint64_t size,
                       const FileTime* modified, const std::vector<size_t>& lines,
                       const std::vector<std::string>& hex) {
    FileRecord record;
    record.name = name;
    record.size = int64_t(size);
    record.timeKnown = modified != nullptr;
    if (modified != nullptr) record.modified = *modified;
    for (size_t line : lines) {
        record.digests.push_back({line, DisplayHex(hex[line], LowerHex(options)), options.keyed});
    }
    return options.format == OutputFormat::kJson ? JsonRecordLine(record) : CsvRecordLine(record);
}

}  // namespace

int RunReport(const Options& options, const std::vector<uint8_t>& key) {
    const bool saving = !options.savePath.empty();
    std::vector<bool> shown(kReportLineCount, options.only.empty());
    for (size_t line : options.only) shown[line] = true;
    // A saved report always holds every line, whatever is shown.
    const std::vector<size_t> computed = saving || options.only.empty() ? AllLines() : options.only;
    const bool report = options.format == OutputFormat::kReport;

    int status = kExitOk;
    std::vector<Input> inputs;
    // The sizes the walk has seen, and the inputs whose size it has not.
    uint64_t sized = 0;
    std::vector<std::string> unsized;
    Progress progress;
    WalkOptions walk = WalkOf(options);
    if (progress.Enabled()) walk.bytes = &sized;
    for (const std::string& path : options.files) {
        if (!options.recursive) {
            inputs.push_back({path, false});
            unsized.push_back(path);
            continue;
        }
        std::vector<std::string> found;
        if (!WalkFiles(path, walk, found)) status = kExitFailed;
        // An operand that is not a directory comes back as it is.
        if (found.size() == 1 && found[0] == path) unsized.push_back(path);
        for (const std::string& file : found) inputs.push_back({file, false});
    }
    for (const std::string& text : options.strings) {
        inputs.push_back({text, true});
        sized += text.size();
    }
    const bool headers = inputs.size() > 1 || options.recursive;

    if (inputs.size() > 1) progress.BeginJob(inputs.size(), int64_t(sized), std::move(unsized));
    bool first = true;
    const bool hashdeep = options.format == OutputFormat::kHashdeep;
    if (hashdeep) PrintOut(HashdeepOpening(options));
    const bool records =
        options.format == OutputFormat::kJson || options.format == OutputFormat::kCsv;
    if (options.format == OutputFormat::kCsv) {
        std::vector<CsvColumn> columns;
        for (size_t line : computed) {
            if (shown[line]) columns.push_back({line, options.keyed});
        }
        PrintOut(CsvHeader(columns));
    }
    DigestCache cache(options.cache);  // before the batch, whose last results it may store
    InputBatch batch(options.jobs, options.readOrder, inputs.size(), progress);
    for (const Input& input : inputs) {
        // Taken before the file is read: a change while or after it is read shows as a later
        // time than the one recorded.
        FileTime modified;
        const bool timed = records && !input.isText && ModificationTime(input.path, modified) &&
                           TimeWritable(modified);
        auto deliver = [&, input, modified, timed](const InputResult& result) {
            if (!result.ok) {
                status = kExitFailed;
                return;
            }
            const std::vector<std::string>& hex = result.hex;
            if (!report) {
                std::vector<size_t> lines;
                for (size_t line : computed) {
                    if (shown[line]) lines.push_back(line);
                }
                const std::string name = input.isText ? input.Name() : ListedName(input.Name());
                if (records) {
                    PrintOut(RecordLine(options, name, result.size, timed ? &modified : nullptr,
                                        lines, hex));
                    return;
                }
                std::string text;
                if (hashdeep ? HashdeepLine(options, name, result.size, hex, text)
                             : ListLines(options, name, lines, hex, text)) {
                    PrintOut(text);
                } else {
                    status = kExitFailed;
                }
                return;
            }
            std::string text;
            if (headers) {
                if (!first) text += '\n';
                text += "Input: " + ShownName(input.Name()) + '\n';
            }
            first = false;
            for (size_t line : computed) {
                if (!shown[line]) continue;
                AppendReportLine(text, kReportLines[line],
                                 DisplayHex(hex[line], LowerHex(options)).c_str(), "\n");
            }
            PrintOut(text);
            if (saving && !input.isText && !SaveReport(options, input.path, hex)) {
                status = kExitFailed;
            }
        };
        if (input.isText) {
            batch.AddText(input.path, key, computed, options.jobs, deliver);
        } else {
            cache.AddFile(batch, input.path, key, computed, options.jobs, deliver);
        }
    }
    batch.Finish();
    progress.EndJob();
    if (!FlushOut()) status = kExitFailed;
    return status;
}
