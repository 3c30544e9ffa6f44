// The names by which the command line refers to report lines: the label without its ": ".
#ifndef KORVADEX_CLI_LINE_NAMES_H
#define KORVADEX_CLI_LINE_NAMES_H

#include <cstddef>
#include <string>
#include <vector>

#include "report_lines.h"

// "HAVAL 256 (5 Rounds)" for the label "HAVAL 256 (5 Rounds): ".
std::string LineName(const ReportLine& line);

// The indexes of all lines, in report order.
std::vector<size_t> AllLines();

#endif
