#include "common/line_names.h"

std::string LineName(const ReportLine& line) {
    std::string name = line.label;
    if (name.size() >= 2 && name.compare(name.size() - 2, 2, ": ") == 0) {
        name.resize(name.size() - 2);
    }
    return name;
}

std::vector<size_t> AllLines() {
    std::vector<size_t> lines(kReportLineCount);
    for (size_t i = 0; i < kReportLineCount; ++i) lines[i] = i;
    return lines;
}
