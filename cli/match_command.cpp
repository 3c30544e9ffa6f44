// --match: finds the report lines whose value equals a given one.
#include <algorithm>
#include <string>

#include "command_support.h"
#include "commands.h"
#include "line_names.h"

int RunMatch(const Options& options, const std::vector<uint8_t>& key) {
    const std::string& path = options.files[0];
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

    Progress progress;
    std::vector<std::string> hex;
    if (!ComputeInput(path, key, lines, options.jobs, progress, hex)) return kExitFailed;
    std::string text;
    for (size_t line : lines) {
        if (hex[line] != options.matchHex) continue;
        text += kReportLines[line].label + DisplayHex(hex[line], options.lower) + '\n';
    }
    const bool matched = !text.empty();
    if (!matched) {
        text = "no match: no line of the report of " + InputName(path) +
               " has this value (compared " + names + ")\n";
    }
    PrintOut(text);
    if (!FlushOut()) return kExitFailed;
    return matched ? kExitOk : kExitFailed;
}
