#include "line_jobs.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

// Rough cost of one line per byte, relative to MD5, so that the slowest engines start
// first and the threads finish together.  Unknown labels count as 1.
double RelativeCost(const char* label) {
    struct Weight {
        const char* prefix;
        double cost;
    };
    static const Weight kWeights[] = {
        {"MD2", 60},          {"SNEFRU128 (8", 16}, {"SNEFRU256 (8", 24}, {"SNEFRU128 (4", 8},
        {"SNEFRU256 (4", 12}, {"GOST", 11},         {"HAVAL", 2},         {"WHIRLPOOL", 3},
        {"RIPEMD-320", 2},    {"SHA-256", 2},       {"PANAMA", 0.4},      {"ADLER32", 0.2},
    };
    for (const Weight& w : kWeights)
        if (std::strncmp(label, w.prefix, std::strlen(w.prefix)) == 0) return w.cost;
    return 1;
}

struct Job {
    std::vector<size_t> lines;  // in report order
    double cost = 0;
};

}  // namespace

ReportStatus ComputeLines(const ReportInput& input, const std::vector<size_t>& lines, unsigned jobs,
                          int upper, std::vector<std::string>& hex,
                          const LineStartFn& onLineStart) {
    hex.assign(kReportLineCount, std::string());
    std::vector<Job> work;
    for (size_t index : lines) {
        const ReportLine& line = kReportLines[index];
        auto same = std::find_if(work.begin(), work.end(), [&](const Job& job) {
            return kReportLines[job.lines.front()].engine == line.engine;
        });
        if (same == work.end()) same = work.insert(work.end(), Job{});
        same->lines.push_back(index);
        same->cost += RelativeCost(line.label);
    }
    std::stable_sort(work.begin(), work.end(),
                     [](const Job& a, const Job& b) { return a.cost > b.cost; });

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
    for (unsigned t = 1; t < jobs; ++t) threads.emplace_back(worker);
    worker();
    for (std::thread& t : threads) t.join();

    for (size_t index : lines)
        if (status[index] != ReportStatus::kOk) return status[index];
    return ReportStatus::kOk;
}
