// korvadex_lane_timing: the speed of MD2 and Snefru run as several interleaved chains on one
// thread (Md2Lanes, SnefruLanes), for 1 to 16 lanes, beside the single engine, with nothing
// but the standard library (it builds for 32-bit Windows too).
//
//   korvadex_lane_timing [RUNS] [md2]
//
// Each lane hashes its own 256 KiB message (in the last rows, the lanes take the four Snefru
// lines of the report in turn); a pass feeds every lane its message, compresses,
// ends and reads every lane.  Prints, tab-separated, the engine (for MD2, with the stepping of
// its lanes), the lanes (0 for the single engine) and the MB/s (10^6 bytes of all lanes
// together per second of the process's processor time) of the fastest of RUNS passes
// (default 5) of at least 50 ms each.  Processor time and the fastest pass, since the machine
// may be shared: a pass that other programs interrupt takes longer on the clock, and its
// share of the caches may still suffer.  Then the lanes that the command line runs MD2 in
// (Md2ChosenLanes, or KORVADEX_MD2_LANES when set) with the milliseconds its measurement
// took and the stepping chosen for each candidate count, and what RUNS more of those
// measurements choose.  With md2, the Snefru rows are left
// out.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "md2.h"
#include "md2_lanes.h"
#include "snefru.h"
#include "snefru_lanes.h"

namespace {

constexpr size_t kMessageBytes = size_t(1) << 18;
constexpr size_t kLaneCounts[] = {1, 2, 4, 6, 8, 10, 12, 16};

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

// The MB/s of count lanes; the arguments after start go to the lanes' constructor after the
// count.
template <typename Lanes, typename Start, typename... Options>
double LanesRate(size_t count, const std::vector<uint8_t>& data, int runs, Start&& start,
                 Options... options) {
    Lanes lanes(count, options...);
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

// The stepping chosen for each candidate count, as "(4s 6s 8m ...)": the initial of its name.
void PrintSteppings(const Md2LaneChoice& choice) {
    const char* space = "(";
    for (size_t count : kMd2CandidateLanes) {
        std::printf("%s%zu%c", space, count, Md2SteppingName(choice.byCount[count - 1])[0]);
        space = " ";
    }
    std::printf(")");
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const bool md2Only = argc > 2 && std::strcmp(argv[2], "md2") == 0;
    std::vector<uint8_t> data(kMessageBytes * 16);
    std::mt19937 random(1);
    for (uint8_t& b : data) b = uint8_t(random());

    const Variant variants[] = {
        {"MD2", 0, 0},           {"SNEFRU128/4", 128, 4}, {"SNEFRU128/8", 128, 8},
        {"SNEFRU256/4", 256, 4}, {"SNEFRU256/8", 256, 8},
    };
    std::printf("MD2\t0\t%.1f\n", SingleRate(variants[0], data, runs));
    for (Md2Stepping stepping : kMd2Steppings) {
        for (size_t count : kLaneCounts) {
            const double rate = LanesRate<Md2Lanes>(
                count, data, runs, [](Md2Lanes& l, size_t i) { l.Start(i); }, stepping);
            std::printf("MD2 %s\t%zu\t%.1f\n", Md2SteppingName(stepping), count, rate);
            std::fflush(stdout);
        }
    }
    const auto start = std::chrono::steady_clock::now();
    const Md2LaneChoice chosen = Md2ChosenLanes();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("MD2 chosen\t%zu\t%s\t%.1f ms\t", chosen.count, Md2SteppingName(chosen.stepping),
                took.count());
    PrintSteppings(chosen);
    std::printf("\nMD2 measured again");
    for (int r = 0; r < runs; ++r) {
        const Md2LaneChoice again = Md2MeasureLanes();
        std::printf("\t%zu:%s ", again.count, Md2SteppingName(again.stepping));
        PrintSteppings(again);
    }
    std::printf("\n");
    if (md2Only) return 0;

    for (const Variant& v : variants) {
        if (v.bits == 0) continue;
        std::printf("%s\t0\t%.1f\n", v.name, SingleRate(v, data, runs));
        for (size_t count : kLaneCounts) {
            const double rate = LanesRate<SnefruLanes>(
                count, data, runs, [&](SnefruLanes& l, size_t i) { l.Start(i, v.bits, v.passes); });
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
