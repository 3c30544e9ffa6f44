#include "report_runner.h"

#include "line_jobs.h"

ReportStatus ComputeReportLines(const ReportInput& input, const std::vector<size_t>& lines,
                                unsigned jobs, std::vector<std::string>& hex,
                                const LineStartedFn& started) {
    ReportStatus status = ComputeLines(input, lines, jobs, 1, hex, started);
    // A keyed line holds a copy of the input while it runs, one per thread: when the copies
    // do not fit side by side, one at a time may still fit.
    if (status == ReportStatus::kOutOfMemory && jobs != 1)
        status = ComputeLines(input, lines, 1, 1, hex, started);
    return status;
}
