#include "line_jobs.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

std::vector<LineJob> PlanLineJobs(const std::vector<size_t>& lines) {
    std::vector<LineJob> work;
    for (size_t index : lines) {
        const ReportLine& line = kReportLines[index];
        auto same = std::find_if(work.begin(), work.end(), [&](const LineJob& job) {
            return kReportLines[job.lines.front()].engine == line.engine;
        });
        if (same == work.end()) same = work.insert(work.end(), LineJob{});
        same->lines.push_back(index);
        same->cost += line.cost;
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
