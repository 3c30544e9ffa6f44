// The plan of the threaded report: which lines run together, and in what order the threads
// take them.
#include "line_jobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace {

std::vector<size_t> AllLineIndexes() {
    std::vector<size_t> all(kReportLineCount);
    for (size_t i = 0; i < kReportLineCount; ++i) all[i] = i;
    return all;
}

TEST(LineJobPlan, EachEngineIsOneJobAndEveryLineRunsOnce) {
    const std::vector<LineJob> plan = PlanLineJobs(AllLineIndexes());
    std::vector<size_t> seen;
    std::set<DigestFn> engines;
    for (const LineJob& job : plan) {
        ASSERT_FALSE(job.lines.empty());
        const DigestFn engine = kReportLines[job.lines.front()].engine;
        EXPECT_TRUE(engines.insert(engine).second) << kReportLines[job.lines.front()].label;
        EXPECT_TRUE(std::is_sorted(job.lines.begin(), job.lines.end()));
        for (size_t line : job.lines) {
            EXPECT_EQ(kReportLines[line].engine, engine) << kReportLines[line].label;
            seen.push_back(line);
        }
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, AllLineIndexes());
}

TEST(LineJobPlan, CostliestJobsComeFirst) {
    const std::vector<LineJob> plan = PlanLineJobs(AllLineIndexes());
    for (size_t j = 1; j < plan.size(); ++j) EXPECT_GE(plan[j - 1].cost, plan[j].cost) << j;
    // MD2 and the four Snefru lines take most of the time: they must start at once, one on
    // each of two cores, for the two to finish together.
    ASSERT_GE(plan.size(), 2u);
    std::set<std::string> firstTwo = {kReportLines[plan[0].lines.front()].label,
                                      kReportLines[plan[1].lines.front()].label};
    EXPECT_EQ(firstTwo, (std::set<std::string>{"MD2: ", "SNEFRU128 (4 Passes): "}));
    double total = 0;
    for (const LineJob& job : plan) total += job.cost;
    EXPECT_LT(plan[0].cost, total / 2);  // no job alone outlasts the others on two cores
}

TEST(LineJobPlan, ChosenLinesOnly) {
    std::vector<size_t> chosen;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const char* label = kReportLines[i].label;
        if (std::strncmp(label, "HAVAL", 5) == 0 || std::strcmp(label, "CRC32: ") == 0)
            chosen.push_back(i);
    }
    const std::vector<LineJob> plan = PlanLineJobs(chosen);
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan[0].lines.size(), 15u);  // HAVAL's fifteen lines share its context
    EXPECT_EQ(plan[1].lines.size(), 1u);
    EXPECT_TRUE(PlanLineJobs({}).empty());
}

}  // namespace
