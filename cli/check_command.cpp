// --check: hashes the file a saved report names and compares every saved line.
#include <algorithm>
#include <string>

#include "command_support.h"
#include "commands.h"
#include "file_input.h"
#include "line_names.h"
#include "saved_report_reader.h"

namespace {

std::string Upper(std::string hex) {
    for (char& c : hex) {
        if (c >= 'a' && c <= 'f') c = char(c - 'a' + 'A');
    }
    return hex;
}

}  // namespace

int RunCheck(const Options& options, const std::vector<uint8_t>& key) {
    const std::string& savedPath = options.savedReport;
    InputBytes bytes;
    std::string reason;
    const InputLimit limit{kMaxSavedReportBytes, "too large to be a saved report"};
    if (!ReadInput(savedPath, limit, bytes, reason)) {
        PrintError(InputName(savedPath), reason);
        return kExitFailed;
    }
    SavedReport saved;
    if (!ParseSavedReport(
            std::string(reinterpret_cast<const char*>(bytes.data()), size_t(bytes.size())), saved,
            reason)) {
        PrintError(InputName(savedPath), "not a valid saved report: " + reason);
        return kExitFailed;
    }
    bytes.Release();

    std::string target = saved.inputPath;
    if (!options.files.empty()) {
        target = options.files[0];
    } else if (IsWindowsPath(target)) {
        PrintError(InputName(savedPath),
                   "the report was saved for '" + target +
                       "', a Windows path that cannot be opened here; give the file after "
                       "the saved report: korvadex --check " +
                       savedPath + " FILE");
        return kExitFailed;
    }

    if (target == "-" && (savedPath == "-" || options.keyFile == "-")) {
        PrintError(InputName(savedPath),
                   "names standard input, which was already read; give the file after the "
                   "saved report");
        return kExitFailed;
    }

    std::vector<SavedLine> checked;
    for (const SavedLine& line : saved.lines) {
        if (options.only.empty() ||
            std::find(options.only.begin(), options.only.end(), line.line) != options.only.end()) {
            checked.push_back(line);
        }
    }
    if (checked.empty()) {
        PrintError(InputName(savedPath), "holds none of the lines named by --only");
        return kExitFailed;
    }
    std::vector<size_t> lines;
    for (const SavedLine& line : checked) lines.push_back(line.line);

    Progress progress;
    std::vector<std::string> hex;
    if (!ComputeInput(target, key, lines, options.jobs, progress, hex)) return kExitFailed;

    size_t failed = 0;
    std::string text;
    for (const SavedLine& line : checked) {
        text += kReportLines[line.line].label;
        const std::string want = Upper(line.hex);
        const std::string& got = hex[line.line];
        if (want == got) {
            text += "OK\n";
        } else {
            ++failed;
            text += "FAILED (saved " + DisplayHex(want, options.lower) + ", computed " +
                    DisplayHex(got, options.lower) + ")\n";
        }
    }
    PrintOut(text);
    if (!FlushOut()) return kExitFailed;
    if (failed != 0) {
        PrintError(InputName(target), std::to_string(failed) + " of " +
                                          std::to_string(checked.size()) +
                                          " lines FAILED against " + savedPath);
        return kExitFailed;
    }
    return kExitOk;
}
