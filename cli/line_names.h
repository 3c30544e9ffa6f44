// The names by which the command line refers to report lines: the label without its ": ".
#ifndef KORVADEX_CLI_LINE_NAMES_H
#define KORVADEX_CLI_LINE_NAMES_H

#include <cstddef>
#include <string>
#include <vector>

#include "report_lines.h"

// "HAVAL 256 (5 Rounds)" for the label "HAVAL 256 (5 Rounds): ".
std::string LineName(const ReportLine& line);

// The index in kReportLines of the line whose name is name, ignoring case; -1 when no line
// has that name.
long FindLineByName(const std::string& name);

// The index in kReportLines of the line whose label is exactly label (with its ": "); -1
// when there is none.
long FindLineByLabel(const std::string& label);

// Every line's name, in report order, joined by ", ".
std::string LineNameList();

// The indexes of all lines, in report order.
std::vector<size_t> AllLines();

#endif
