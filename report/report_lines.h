// The registry of the report's lines, in report order: everything the report, the line
// planner, --list, --self-test and the tests need to know of each line.  Adding a line means
// adding one row.
#ifndef KORVADEX_REPORT_REPORT_LINES_H
#define KORVADEX_REPORT_REPORT_LINES_H

#include <cstddef>
#include <string_view>

#include "digest_types.h"
#include "known_answers.h"

struct ReportLine {
    const char* label;  // ends in ": "
    DigestFn engine;
    uint32_t bits;    // HAVAL and Snefru only, 0 elsewhere
    uint32_t passes;  // HAVAL and Snefru only, 0 elsewhere
    SizeWord size;
    const StreamingEngine* stream;  // the same engine over a context of the caller's
    const char* family;             // the engine's name, e.g. "HAVAL" or "CRC-16/ARC"
    const char* variant;            // the exact algorithm variant, for --list
    // Time per byte of input relative to an MD5 line (x86-64, on the processor's fastest
    // path; see docs/performance.md): the line planner balances the threads by it, and
    // lines that cost little altogether are hashed on the thread that reads.
    double cost;
    KnownAnswerList answers;
};

extern const ReportLine kReportLines[];
extern const size_t kReportLineCount;

// The line whose label is name and ": " (e.g. "SHA-1"); null if there is none.
const ReportLine* FindReportLine(std::string_view name);

#endif
