// Throughput of every report line on a 16 MiB buffer and on 1 KiB messages, and of the
// whole serial report of 16 MiB.  Bytes are counted so that Google Benchmark prints MB/s.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "report_text.h"

namespace {

const std::vector<uint8_t>& Buffer() {
    static std::vector<uint8_t> data = [] {
        std::vector<uint8_t> v(16u << 20);
        std::mt19937 gen(1);
        for (auto& b : v) b = uint8_t(gen());
        return v;
    }();
    return data;
}

void BM_Line(benchmark::State& state, const ReportLine* line, size_t n) {
    const uint8_t* data = Buffer().data();
    for (auto _ : state) {
        benchmark::DoNotOptimize(line->engine(data, uint32_t(n), line->bits, line->passes));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}

void BM_SerialReport(benchmark::State& state) {
    const std::vector<uint8_t>& data = Buffer();
    ReportInput input{data.data(), uint32_t(data.size()), nullptr, 0};
    for (auto _ : state) {
        std::string text;
        benchmark::DoNotOptimize(BuildReportText(input, text));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

std::string Name(const ReportLine& line) {
    std::string s(line.label);
    s.resize(s.size() - 2);  // drop ": "
    for (char& c : s)
        if (c == ' ') c = '_';
    return s;
}

const bool registered = [] {
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine* line = &kReportLines[i];
        benchmark::RegisterBenchmark((Name(*line) + "/16MiB").c_str(), BM_Line, line,
                                     size_t(16u << 20))
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
        benchmark::RegisterBenchmark((Name(*line) + "/1KiB").c_str(), BM_Line, line, size_t(1024));
    }
    benchmark::RegisterBenchmark("SerialReport/16MiB", BM_SerialReport)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
