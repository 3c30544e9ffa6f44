// The one loop that computes report lines.  Printing, --check and --match all compute
// through it, so that spreading the engine families over several threads changes this unit
// only.
#ifndef KORVADEX_CLI_REPORT_RUNNER_H
#define KORVADEX_CLI_REPORT_RUNNER_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "report_text.h"

// Called as each line starts: its position among the lines asked for, their count and its
// index in kReportLines.  It may be called from any thread.
using LineStartedFn = std::function<void(size_t position, size_t count, size_t line)>;

// Computes the lines with the given indexes in kReportLines over input (keyed when
// input.keyLength != 0); hex[i] receives the upper-case hex text of lines[i].  On failure
// returns the status of the first line that failed and leaves hex empty.
ReportStatus ComputeLines(const ReportInput& input, const std::vector<size_t>& lines,
                          std::vector<std::string>& hex, const LineStartedFn& started);

#endif
