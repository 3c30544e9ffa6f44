// korvadex_line_timing: the speed of every report line, with nothing but the standard
// library, so that the same source builds for 64-bit Linux and for 32-bit Windows (mingw)
// and the two builds can be set side by side.
//
//   korvadex_line_timing [BYTES [RUNS]]
//
// Hashes messages of BYTES bytes (default 64 KiB), each the next stretch of a 64 MiB buffer
// of fixed pseudo-random bytes, with each line at least RUNS times (default 9) and for at
// least 100 ms, and prints one line per report line: the label, then the MB/s (10^6 bytes
// per second of wall time) of the fastest pass, tab-separated.
//
// The fastest pass, because the machine may be shared: a pass the scheduler interrupts
// takes longer, by however long the other programs ran, and one that ran through measures
// the code.  Short passes make passes that run through likely (where programs wait for the
// processor, the scheduler gives each a fraction of a millisecond at a time).  Each message
// comes from further on in a buffer larger than the processor's caches, so that the passes
// read from memory, as over a file larger than the caches.
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
    const unsigned long size = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1ul << 16;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 9;
    constexpr size_t kBufferBytes = size_t(64) << 20;
    if (size == 0 || size > kBufferBytes || runs < 1) {
        std::fprintf(stderr, "usage: korvadex_line_timing [BYTES (at most %zu) [RUNS]]\n",
                     kBufferBytes);
        return 2;
    }
    std::vector<uint8_t> buffer(kBufferBytes);
    std::mt19937 gen(1);
    for (size_t i = 0; i < kBufferBytes; i += 4) {
        const uint32_t word = uint32_t(gen());
        std::memcpy(buffer.data() + i, &word, 4);
    }
    const size_t messages = kBufferBytes / size;

    using Clock = std::chrono::steady_clock;
    const Clock::duration minimum = std::chrono::milliseconds(100);
    std::printf("# %u-bit build, messages of %lu bytes, fastest of %d or more passes, MB/s\n",
                unsigned(8 * sizeof(void*)), size, runs);
    size_t next = 0;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        Clock::duration fastest = Clock::duration::max();
        const Clock::time_point first = Clock::now();
        for (int r = 0; r < runs || Clock::now() - first < minimum; ++r) {
            const uint8_t* message = buffer.data() + next * size;
            next = (next + 1) % messages;
            const Clock::time_point start = Clock::now();
            const DigestResult result =
                line.engine(message, uint32_t(size), line.bits, line.passes);
            const Clock::duration took = Clock::now() - start;
            if (DigestLength(line.size) > 4 && result == 0) {
                std::fprintf(stderr, "%s refused its parameters\n", line.label);
                return 1;
            }
            fastest = std::min(fastest, took);
        }
        std::string label(line.label);
        label.resize(label.size() - 2);  // drop ": "
        std::printf("%s\t%.2f\n", label.c_str(),
                    double(size) / std::chrono::duration<double>(fastest).count() / 1e6);
    }
    return 0;
}
