// The digests of each input, in the format chosen, and the saved report of --save.
#include <string>

#include "algorithm_names.h"
#include "checksum_lines.h"
#include "command_support.h"
#include "commands.h"
#include "directory_walk.h"
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

// One input: a file (or "-"), or a text of --string.
struct Input {
    std::string path;  // the file, or the text
    bool isText;
    std::string Name() const { return isText ? "\"" + path + "\"" : path; }
};

// The lines of one input in a checksum-list format.
std::string ListLines(const Options& options, const std::string& name,
                      const std::vector<size_t>& lines, const std::vector<std::string>& hex) {
    const bool lower = LowerHex(options);
    const char end = options.zero ? '\0' : '\n';
    bool needsMark = false;
    const std::string shown = options.zero ? name : EscapeName(name, needsMark);
    const std::string mark = needsMark ? "\\" : "";
    std::string text;
    for (size_t line : lines) {
        const std::string value = DisplayHex(hex[line], lower);
        switch (options.format) {
            case OutputFormat::kGnu:
                text += mark + value + (options.binary ? " *" : "  ") + shown + end;
                break;
            case OutputFormat::kBsd:
                // A keyed value is tagged as openssl dgst -hmac tags it, so that no tool
                // takes it for the plain digest.
                text += mark + (options.keyed ? "HMAC-" : "") + BsdTag(line) + " (" + shown +
                        ") = " + value + end;
                break;
            case OutputFormat::kSfv:
                text += name + " " + value + end;
                break;
            case OutputFormat::kReport:
                break;
        }
    }
    return text;
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
    for (const std::string& path : options.files) {
        if (!options.recursive) {
            inputs.push_back({path, false});
            continue;
        }
        std::vector<std::string> found;
        if (!WalkFiles(path, options.follow, found)) status = kExitFailed;
        for (const std::string& file : found) inputs.push_back({file, false});
    }
    for (const std::string& text : options.strings) inputs.push_back({text, true});
    const bool headers = inputs.size() > 1 || options.recursive;

    Progress progress;
    bool first = true;
    for (const Input& input : inputs) {
        std::vector<std::string> hex;
        const bool ok = input.isText
                            ? ComputeText(input.path, key, computed, options.jobs, progress, hex)
                            : ComputeInput(input.path, key, computed, options.jobs, progress, hex);
        if (!ok) {
            status = kExitFailed;
            continue;
        }
        if (!report) {
            std::vector<size_t> lines;
            for (size_t line : computed) {
                if (shown[line]) lines.push_back(line);
            }
            PrintOut(ListLines(options, input.Name(), lines, hex));
            continue;
        }
        std::string text;
        if (headers) {
            if (!first) text += '\n';
            text += "Input: " + input.Name() + '\n';
        }
        first = false;
        for (size_t line : computed) {
            if (!shown[line]) continue;
            text += kReportLines[line].label;
            text += DisplayHex(hex[line], LowerHex(options));
            text += '\n';
        }
        PrintOut(text);
        if (saving && !input.isText && !SaveReport(options, input.path, hex)) {
            status = kExitFailed;
        }
    }
    if (!FlushOut()) status = kExitFailed;
    return status;
}
