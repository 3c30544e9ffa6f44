#include "line_jobs.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// The time one line takes per byte of input, relative to an MD5 line, measured on 16 MiB
// (x86-64, bench/; see docs/performance.md): the threads take the costliest jobs first, so
// that the small ones fill in at the end and the threads finish together.  Labels not
// listed count as 1.
double RelativeCost(const ReportLine& line) {
    struct Weight {
        const char* prefix;
        double cost;
    };
    static const Weight kWeights[] = {
        {"MD2", 60},           {"SNEFRU256 (8", 19.3}, {"SNEFRU128 (8", 13}, {"SNEFRU256 (4", 10.3},
        {"SNEFRU128 (4", 6.9}, {"GOST", 4.9},          {"WHIRLPOOL", 2.75},  {"SHA-256", 1.81},
        {"RIPEMD-320", 1.35},  {"RIPEMD-160", 1.33},   {"SHA-512", 1.24},    {"SHA-384", 1.21},
        {"TIGER", 1.08},       {"RIPEMD-128", 0.88},   {"RIPEMD-256", 0.87}, {"SHA-1", 0.8},
        {"SHA-0", 0.76},       {"MD4", 0.59},          {"CRC", 0.3},         {"PANAMA", 0.28},
        {"ADLER32", 0.13},
    };
    // HAVAL's cost follows its pass count, whatever the output length.
    if (std::strncmp(line.label, "HAVAL", 5) == 0)
        return line.passes == 3 ? 0.71 : line.passes == 4 ? 0.93 : 1.16;
    for (const Weight& w : kWeights)
        if (std::strncmp(line.label, w.prefix, std::strlen(w.prefix)) == 0) return w.cost;
    return 1;
}

}  // namespace

std::vector<LineJob> PlanLineJobs(const std::vector<size_t>& lines) {
    std::vector<LineJob> work;
    for (size_t index : lines) {
        const ReportLine& line = kReportLines[index];
        auto same = std::find_if(work.begin(), work.end(), [&](const LineJob& job) {
            return kReportLines[job.lines.front()].engine == line.engine;
        });
        if (same == work.end()) same = work.insert(work.end(), LineJob{});
        same->lines.push_back(index);
        same->cost += RelativeCost(line);
    }
    std::stable_sort(work.begin(), work.end(),
                     [](const LineJob& a, const LineJob& b) { return a.cost > b.cost; });
    return work;
}

ReportStatus ComputeLines(const ReportInput& input, const std::vector<size_t>& lines, unsigned jobs,
                          int upper, std::vector<std::string>& hex,
                          const LineStartFn& onLineStart) {
    hex.assign(kReportLineCount, std::string());
    const std::vector<LineJob> work = PlanLineJobs(lines);

    std::vector<ReportStatus> status(kReportLineCount, ReportStatus::kOk);
    std::atomic<size_t> next{0};
    std::mutex progress;
    auto worker = [&] {
        char text[2 * kMaxDigestLength + 1];
        for (size_t j; (j = next.fetch_add(1)) < work.size();) {
            for (size_t index : work[j].lines) {
                if (onLineStart) {
                    std::lock_guard<std::mutex> lock(progress);
                    onLineStart(index);
                }
                status[index] = ComputeLineHex(kReportLines[index], input, text, upper);
                if (status[index] != ReportStatus::kOk) break;
                hex[index] = text;
            }
        }
    };

    if (jobs == 0) jobs = std::max(1u, std::thread::hardware_concurrency());
    jobs = unsigned(std::min<size_t>(jobs, work.size()));
    std::vector<std::thread> threads;
    try {
        for (unsigned t = 1; t < jobs; ++t) threads.emplace_back(worker);
    } catch (const std::system_error&) {
        // No room for another thread: those running, this one included, share the jobs.
    }
    worker();
    for (std::thread& t : threads) t.join();

    for (size_t index : lines)
        if (status[index] != ReportStatus::kOk) return status[index];
    return ReportStatus::kOk;
}
