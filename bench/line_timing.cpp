// korvadex_line_timing: the speed of every report line, with nothing but the standard
// library, so that the same source builds for 64-bit Linux and for 32-bit Windows (mingw)
// and the two builds can be set side by side.
//
//   korvadex_line_timing [BYTES [RUNS]]
//
// Hashes BYTES (default 16 MiB) of fixed pseudo-random bytes with each line RUNS times
// (default 5) and prints one line per report line: the label, then the median MB/s
// (10^6 bytes per second of wall time) over the runs, tab-separated.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "report_lines.h"

int main(int argc, char** argv) {
    const unsigned long size = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16ul << 20;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (size == 0 || size > 0xFFFFFFFFul || runs < 1) {
        std::fprintf(stderr, "usage: korvadex_line_timing [BYTES [RUNS]]\n");
        return 2;
    }
    std::vector<uint8_t> data(size);
    std::mt19937 gen(1);
    for (uint8_t& b : data) b = uint8_t(gen());

    std::printf("# %u-bit build, %lu bytes, median of %d runs, MB/s\n", unsigned(8 * sizeof(void*)),
                size, runs);
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        std::vector<double> seconds;
        for (int r = 0; r < runs; ++r) {
            const auto start = std::chrono::steady_clock::now();
            const DigestResult result =
                line.engine(data.data(), uint32_t(size), line.bits, line.passes);
            const auto stop = std::chrono::steady_clock::now();
            if (DigestLength(line.size) > 4 && result == 0) {
                std::fprintf(stderr, "%s refused its parameters\n", line.label);
                return 1;
            }
            seconds.push_back(std::chrono::duration<double>(stop - start).count());
        }
        std::nth_element(seconds.begin(), seconds.begin() + runs / 2, seconds.end());
        std::string label(line.label);
        label.resize(label.size() - 2);  // drop ": "
        std::printf("%s\t%.2f\n", label.c_str(), double(size) / seconds[runs / 2] / 1e6);
    }
    return 0;
}
