// korvadex_line_timing: the speed of every report line, with nothing but the standard
// library, so that the same source builds for 64-bit Linux and for 32-bit Windows (mingw)
// and the two builds can be set side by side.
//
//   korvadex_line_timing [RUNS]
//
// Hashes messages with each line, each message the next stretch of a 64 MiB buffer of fixed
// pseudo-random bytes, at least RUNS times (default 9) and for at least 100 ms, and prints
// one line per report line: the label, the MB/s (10^6 bytes per second of wall time) of the
// fastest pass and the message length, tab-separated.  A line's messages are 4 KiB long, or
// twice as long as often as a pass takes under 50 us, up to 4 MiB.
//
// The fastest pass, because the machine may be shared: a pass the scheduler interrupts
// takes longer, by however long the other programs ran, and one that ran through measures
// the code.  Short passes make passes that run through likely (where programs wait for the
// processor, the scheduler gives each a fraction of a millisecond at a time); passes of 50 us
// or more keep the clock's resolution small beside them.  Each message comes from further
// on in a buffer larger than the processor's caches, so that the passes read from memory,
// as over a file larger than the caches.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "report_lines.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kBufferBytes = size_t(64) << 20;

struct Buffer {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kBufferBytes);
    size_t offset = 0;

    // The next size bytes of the buffer, from its start again where they would pass its end.
    const uint8_t* Next(size_t size) {
        if (offset + size > kBufferBytes) offset = 0;
        const uint8_t* message = bytes.data() + offset;
        offset += size;
        return message;
    }
};

// One pass of line over size bytes from buffer; false if the line refused its parameters.
bool Pass(const ReportLine& line, Buffer& buffer, size_t size, Clock::duration& took) {
    const uint8_t* message = buffer.Next(size);
    const Clock::time_point start = Clock::now();
    const DigestResult result = line.engine(message, uint32_t(size), line.bits, line.passes);
    took = Clock::now() - start;
    return !(DigestLength(line.size) > 4 && result == 0);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
    if (runs < 1) {
        std::fprintf(stderr, "usage: korvadex_line_timing [RUNS]\n");
        return 2;
    }
    Buffer buffer;
    std::mt19937 gen(1);
    for (size_t i = 0; i < kBufferBytes; i += 4) {
        const uint32_t word = uint32_t(gen());
        std::memcpy(buffer.bytes.data() + i, &word, 4);
    }

    const Clock::duration minimum = std::chrono::milliseconds(100);
    const Clock::duration shortest = std::chrono::microseconds(50);
    std::printf("# %u-bit build, fastest of %d or more passes: MB/s, message bytes\n",
                unsigned(8 * sizeof(void*)), runs);
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        size_t size = 4096;
        Clock::duration took;
        for (;;) {
            if (!Pass(line, buffer, size, took)) {
                std::fprintf(stderr, "%s refused its parameters\n", line.label);
                return 1;
            }
            if (took >= shortest || size == kBufferBytes / 16) break;
            size *= 2;
        }
        Clock::duration fastest = took;
        const Clock::time_point first = Clock::now();
        for (int r = 0; r < runs || Clock::now() - first < minimum; ++r) {
            Pass(line, buffer, size, took);
            fastest = std::min(fastest, took);
        }
        std::string label(line.label);
        label.resize(label.size() - 2);  // drop ": "
        std::printf("%s\t%.2f\t%lu\n", label.c_str(),
                    double(size) / std::chrono::duration<double>(fastest).count() / 1e6,
                    static_cast<unsigned long>(size));
    }
    return 0;
}
