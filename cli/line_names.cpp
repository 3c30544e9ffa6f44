#include "line_names.h"

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

}  // namespace

std::string LineName(const ReportLine& line) {
    std::string name = line.label;
    if (name.size() >= 2 && name.compare(name.size() - 2, 2, ": ") == 0) {
        name.resize(name.size() - 2);
    }
    return name;
}

long FindLineByName(const std::string& name) {
    for (size_t i = 0; i < kReportLineCount; ++i) {
        if (SameIgnoringCase(LineName(kReportLines[i]), name)) return long(i);
    }
    return -1;
}

long FindLineByLabel(const std::string& label) {
    for (size_t i = 0; i < kReportLineCount; ++i) {
        if (label == kReportLines[i].label) return long(i);
    }
    return -1;
}

std::string LineNameList() {
    std::string list;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        if (i != 0) list += ", ";
        list += LineName(kReportLines[i]);
    }
    return list;
}

std::vector<size_t> AllLines() {
    std::vector<size_t> lines(kReportLineCount);
    for (size_t i = 0; i < kReportLineCount; ++i) lines[i] = i;
    return lines;
}
