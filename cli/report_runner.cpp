#include "report_runner.h"

ReportStatus ComputeLines(const ReportInput& input, const std::vector<size_t>& lines,
                          std::vector<std::string>& hex, const LineStartedFn& started) {
    hex.assign(lines.size(), std::string());
    char text[2 * kMaxDigestLength + 1];
    for (size_t i = 0; i < lines.size(); ++i) {
        if (started) started(i, lines.size(), lines[i]);
        ReportStatus status = ComputeLineHex(kReportLines[lines[i]], input, text, 1);
        if (status != ReportStatus::kOk) {
            hex.clear();
            return status;
        }
        hex[i] = text;
    }
    return ReportStatus::kOk;
}
