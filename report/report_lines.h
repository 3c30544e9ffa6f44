// The lines of the report, in report order.
#ifndef KORVADEX_REPORT_REPORT_LINES_H
#define KORVADEX_REPORT_REPORT_LINES_H

#include <cstddef>

#include "digest_types.h"

struct ReportLine {
    const char* label;  // ends in ": "
    DigestFn engine;
    uint32_t bits;    // HAVAL and Snefru only, 0 elsewhere
    uint32_t passes;  // HAVAL and Snefru only, 0 elsewhere
    SizeWord size;
};

extern const ReportLine kReportLines[];
extern const size_t kReportLineCount;

#endif
