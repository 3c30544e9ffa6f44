#include "report_runner.h"

ReportStatus ComputeReportLines(const ReportInput& input, const std::vector<size_t>& lines,
                                std::vector<std::string>& hex, const LineStartedFn& started) {
    hex.assign(kReportLineCount, std::string());
    char text[2 * kMaxDigestLength + 1];
    for (size_t line : lines) {
        if (started) started(line);
        ReportStatus status = ComputeLineHex(kReportLines[line], input, text, 1);
        if (status != ReportStatus::kOk) return status;
        hex[line] = text;
    }
    return ReportStatus::kOk;
}
