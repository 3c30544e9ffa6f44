// Computing report lines on several threads.
//
// Lines that share an engine share its static context, so they form one job and run one
// after the other on one thread; different engines keep separate state and may run at
// the same time.  The text is the same whatever the number of threads.
#ifndef KORVADEX_REPORT_LINE_JOBS_H
#define KORVADEX_REPORT_LINE_JOBS_H

#include <functional>
#include <string>
#include <vector>

#include "report_text.h"

// Called as each line starts (index into kReportLines); calls never overlap.
using LineStartFn = std::function<void(size_t line)>;

// One job: lines of one engine, in report order, and its cost per byte of input relative to
// one MD5 line (the sum of its lines' costs).
struct LineJob {
    std::vector<size_t> lines;
    double cost = 0;
};

// The jobs of the lines named by `lines` (indices into kReportLines), costliest first: the
// order in which the threads take them.
std::vector<LineJob> PlanLineJobs(const std::vector<size_t>& lines);

// Computes the lines named by `lines` (indices into kReportLines) on at most `jobs`
// threads (0: one per core) and stores each hex text at hex[index].  On failure returns
// the first failing line's status in report order.
ReportStatus ComputeLines(const ReportInput& input, const std::vector<size_t>& lines, unsigned jobs,
                          int upper, std::vector<std::string>& hex,
                          const LineStartFn& onLineStart = {});

#endif
