// What each report line computes, exactly: the same names stand for different algorithms
// in other tools (a "CRC32b" or a "Tiger" elsewhere may be another variant), so --list
// spells out the variant.
#ifndef KORVADEX_CLI_LINE_DESCRIPTIONS_H
#define KORVADEX_CLI_LINE_DESCRIPTIONS_H

#include <cstddef>

struct LineDescription {
    const char* label;    // the report label, with its ": "
    const char* engine;   // the engine that computes the line, e.g. "HAVAL"
    const char* variant;  // the exact algorithm variant
};

// One entry for each of the forty report lines, in report order.
extern const LineDescription kLineDescriptions[];
extern const size_t kLineDescriptionCount;

// The description of the line with this exact label, or nullptr.
const LineDescription* FindLineDescription(const char* label);

#endif
