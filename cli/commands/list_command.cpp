// --list: the exact algorithm variant behind each report line, or with --paths the row of
// its engine's path table that this processor runs.
#include <algorithm>
#include <string>

#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "common/algorithm_names.h"
#include "common/line_names.h"

int RunList(bool paths) {
    size_t width = 0;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        width = std::max(width, LineName(kReportLines[i]).size());
    }
    std::string text;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        std::string name = LineName(line);
        name.resize(width + 2, ' ');
        if (paths) {
            text += name + (line.stream->path != nullptr ? line.stream->path() : "portable") + '\n';
            continue;
        }
        text += name + std::to_string(8 * DigestLength(line.size)) + " bits, HMAC block " +
                std::to_string(BlockLength(line.size)) + " bytes: " + line.variant +
                AlgorithmNamesNote(i) + '\n';
    }
    PrintOut(text);
    return FlushOut() ? kExitOk : kExitFailed;
}
