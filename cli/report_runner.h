// The one place that computes report lines.  Printing, --check and --match all compute
// through it.
#ifndef KORVADEX_CLI_REPORT_RUNNER_H
#define KORVADEX_CLI_REPORT_RUNNER_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "report_text.h"

// Called as each line starts, with its index in kReportLines; calls never overlap.
using LineStartedFn = std::function<void(size_t line)>;

// Computes the lines with the given indexes in kReportLines over input (keyed when
// input.keyLength != 0) on at most jobs threads (0: one per core; 1: one after the other).
// hex gets kReportLineCount entries: the upper-case hex text of each line computed at its
// index, the others empty.  On failure returns the status of the first line (in the order
// given) that failed.
ReportStatus ComputeReportLines(const ReportInput& input, const std::vector<size_t>& lines,
                                unsigned jobs, std::vector<std::string>& hex,
                                const LineStartedFn& started);

#endif
