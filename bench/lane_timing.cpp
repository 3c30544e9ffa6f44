// korvadex_lane_timing: the speed of MD2 and Snefru run as several interleaved chains on one
// thread (Md2Lanes, SnefruLanes), for 1, 2, 4, 6, 8, 12 and 16 lanes, beside the single
// engine, with nothing but the standard library (it builds for 32-bit Windows too).
//
//   korvadex_lane_timing [RUNS]
//
// Each lane hashes its own 256 KiB message (in the last rows, the lanes take the four Snefru
// lines of the report in turn); a pass feeds every lane its message, compresses,
// ends and reads every lane.  Prints, tab-separated, the engine, the lanes (0 for the single
// engine) and the MB/s (10^6 bytes of all lanes together per second of the process's processor
// time) of the fastest of RUNS passes (default 5) of at least 50 ms each.  Processor time and
// the fastest pass, since the machine may be shared: a pass that other programs interrupt
// takes longer on the clock, and its share of the caches may still suffer.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <vector>

#include "md2.h"
#include "md2_lanes.h"
#include "snefru.h"
#include "snefru_lanes.h"

namespace {

constexpr size_t kMessageBytes = size_t(1) << 18;
constexpr size_t kLaneCounts[] = {1, 2, 4, 6, 8, 12, 16};

struct Variant {
    const char* name;
    uint32_t bits, passes;  // 0 for MD2
};

double Seconds(std::clock_t start) {
    return double(std::clock() - start) / CLOCKS_PER_SEC;
}

// The MB/s of the fastest of runs passes, each at least 50 ms of repetitions of hash(), which
// hashes bytes in all.  The length of a pass serves clocks that tick by the millisecond
// (Windows' clock() counts those of wall time).
template <typename Hash>
double BestRate(int runs, size_t bytes, Hash&& hash) {
    size_t reps = 1;
    for (;;) {
        const std::clock_t start = std::clock();
        for (size_t i = 0; i < reps; ++i) hash();
        if (Seconds(start) >= 0.05) break;
        reps *= 2;
    }
    double best = 0;
    for (int r = 0; r < runs; ++r) {
        const std::clock_t start = std::clock();
        for (size_t i = 0; i < reps; ++i) hash();
        best = std::max(best, double(bytes * reps) / Seconds(start) / 1e6);
    }
    return best;
}

// Keeps a digest byte live so that no pass is optimised away.
volatile uint8_t sink;

double SingleRate(const Variant& v, const std::vector<uint8_t>& data, int runs) {
    return BestRate(runs, kMessageBytes, [&] {
        if (v.bits == 0) {
            Md2ContextType ctx;
            Md2Init(ctx);
            Md2Update(ctx, data.data(), kMessageBytes);
            sink = Md2Final(ctx)[0];
        } else {
            SnefruContextType ctx;
            SnefruInit(ctx, v.bits, v.passes);
            SnefruUpdate(ctx, data.data(), kMessageBytes);
            sink = SnefruFinish(ctx)[0];
        }
    });
}

template <typename Lanes, typename Start>
double LanesRate(size_t count, const std::vector<uint8_t>& data, int runs, Start&& start) {
    Lanes lanes(count);
    return BestRate(runs, count * kMessageBytes, [&] {
        for (size_t i = 0; i < count; ++i) {
            start(lanes, i);
            lanes.Feed(i, data.data() + i * kMessageBytes, kMessageBytes);
        }
        lanes.Compress();
        for (size_t i = 0; i < count; ++i) lanes.End(i);
        lanes.Compress();
        for (size_t i = 0; i < count; ++i) sink = lanes.Digest(i)[0];
    });
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<uint8_t> data(kMessageBytes * 16);
    std::mt19937 random(1);
    for (uint8_t& b : data) b = uint8_t(random());

    const Variant variants[] = {
        {"MD2", 0, 0},           {"SNEFRU128/4", 128, 4}, {"SNEFRU128/8", 128, 8},
        {"SNEFRU256/4", 256, 4}, {"SNEFRU256/8", 256, 8},
    };
    for (const Variant& v : variants) {
        std::printf("%s\t0\t%.1f\n", v.name, SingleRate(v, data, runs));
        for (size_t count : kLaneCounts) {
            const double rate =
                v.bits == 0
                    ? LanesRate<Md2Lanes>(count, data, runs,
                                          [](Md2Lanes& l, size_t i) { l.Start(i); })
                    : LanesRate<SnefruLanes>(count, data, runs, [&](SnefruLanes& l, size_t i) {
                          l.Start(i, v.bits, v.passes);
                      });
            std::printf("%s\t%zu\t%.1f\n", v.name, count, rate);
            std::fflush(stdout);
        }
    }
    // The four Snefru lines of the report in turn, lane i the line i % 4, as the lines of
    // several inputs share one SnefruLanes.
    for (size_t count : kLaneCounts) {
        const double rate =
            LanesRate<SnefruLanes>(count, data, runs, [&](SnefruLanes& l, size_t i) {
                const Variant& v = variants[1 + i % 4];
                l.Start(i, v.bits, v.passes);
            });
        std::printf("SNEFRU four lines\t%zu\t%.1f\n", count, rate);
        std::fflush(stdout);
    }
    return 0;
}
