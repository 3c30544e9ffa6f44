// --match: finds the report lines whose value equals a given one, in each file.
#include <algorithm>
#include <string>

#include "batch/input_batch.h"
#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "common/line_names.h"

int RunMatch(const Options& options, const std::vector<uint8_t>& key) {
    const size_t width = options.matchHex.size() / 2;
    const std::vector<size_t> candidates = options.only.empty() ? AllLines() : options.only;
    std::vector<size_t> lines;
    std::string names;
    std::vector<size_t> widths;
    for (size_t line : candidates) {
        const size_t length = DigestLength(kReportLines[line].size);
        widths.push_back(length);
        if (length != width) continue;
        lines.push_back(line);
        names += (names.empty() ? "" : ", ") + LineName(kReportLines[line]);
    }
    if (lines.empty()) {
        std::sort(widths.begin(), widths.end());
        widths.erase(std::unique(widths.begin(), widths.end()), widths.end());
        std::string list;
        for (size_t w : widths) list += (list.empty() ? "" : ", ") + std::to_string(w);
        PrintOut("no match: no " + std::string(options.only.empty() ? "" : "chosen ") +
                 "report line has a value of " + std::to_string(width) +
                 " bytes; their values have " + list + " bytes\n");
        FlushOut();
        return kExitFailed;
    }

    // With several files, each file's matches follow an "Input: FILE" line, as reports do.
    const bool headers = options.files.size() > 1;
    Progress progress;
    if (headers) progress.BeginJob(options.files.size(), 0, options.files);
    bool matched = false;
    bool failed = false;
    std::string missed;
    InputBatch batch(options.jobs, options.readOrder, options.files.size(), progress);
    for (const std::string& path : options.files) {
        batch.AddFile(path, key, lines, options.jobs, [&, path](const InputResult& result) {
            if (!result.ok) {
                failed = true;
                return;
            }
            std::string text;
            for (size_t line : lines) {
                if (result.hex[line] != options.matchHex) continue;
                text += kReportLines[line].label + DisplayHex(result.hex[line], LowerHex(options)) +
                        '\n';
            }
            if (text.empty()) {
                missed += (missed.empty() ? "" : ", ") + InputName(path);
                return;
            }
            if (headers) text = (matched ? "\nInput: " : "Input: ") + ShownName(path) + '\n' + text;
            matched = true;
            PrintOut(text);
        });
    }
    batch.Finish();
    progress.EndJob();
    if (!matched && !missed.empty()) {
        PrintOut("no match: no line of the report of " + missed + " has this value (compared " +
                 names + ")\n");
    }
    if (!FlushOut()) return kExitFailed;
    return matched && !failed ? kExitOk : kExitFailed;
}
