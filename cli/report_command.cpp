// The report of each input, and the saved report of --save.
#include <string>

#include "command_support.h"
#include "commands.h"
#include "file_output.h"
#include "line_names.h"
#include "report_text.h"

namespace {

// Writes the saved report of one input, whose lines (all of them) are hex.
bool SaveReport(const Options& options, const std::string& path,
                const std::vector<std::string>& hex) {
    if (path.find_first_of("\r\n") != std::string::npos) {
        PrintError(options.savePath,
                   "not saved: the input path holds a line break, which a saved report cannot "
                   "hold");
        return false;
    }
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            PrintError(options.savePath,
                       "not saved: the input path holds a control character, which a saved "
                       "report cannot hold");
            return false;
        }
    }
    std::string reportText;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        reportText += kReportLines[i].label;
        reportText += hex[i];
        reportText += "\r\n";
    }
    std::string reason;
    if (!WriteFileReplacing(options.savePath, BuildSavedReport(path.c_str(), reportText), reason)) {
        PrintError(options.savePath, "not saved: " + reason);
        return false;
    }
    return true;
}

}  // namespace

int RunReport(const Options& options, const std::vector<uint8_t>& key) {
    const bool saving = !options.savePath.empty();
    std::vector<bool> shown(kReportLineCount, options.only.empty());
    for (size_t line : options.only) shown[line] = true;
    // A saved report always holds every line, whatever is shown.
    const std::vector<size_t> computed = saving || options.only.empty() ? AllLines() : options.only;
    const bool headers = options.files.size() > 1;

    Progress progress;
    int status = kExitOk;
    bool first = true;
    for (const std::string& path : options.files) {
        std::vector<std::string> hex;
        if (!ComputeInput(path, key, computed, options.jobs, progress, hex)) {
            status = kExitFailed;
            continue;
        }
        std::string text;
        if (headers) {
            if (!first) text += '\n';
            text += "Input: " + path + '\n';
        }
        first = false;
        for (size_t line : computed) {
            if (!shown[line]) continue;
            text += kReportLines[line].label;
            text += DisplayHex(hex[line], options.lower);
            text += '\n';
        }
        PrintOut(text);
        if (saving && !SaveReport(options, path, hex)) status = kExitFailed;
    }
    if (!FlushOut()) status = kExitFailed;
    return status;
}
