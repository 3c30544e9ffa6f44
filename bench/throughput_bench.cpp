// Throughput of every report line on a 16 MiB buffer and on 1 KiB messages, beside the same
// algorithms in the peer libraries installed here, and the whole report of 16 MiB, serial
// and on all cores.  After the runs a table gives, per line, our MB/s (10^6 bytes/s), the
// fastest peer's, whatever code it runs, and the ratio of the two to the line's bar; then
// the two reports beside the sum of the bars' times over the report lines; and the command
// line itself (the korvadex program of this build) over the same 16 MiB as a file, serial
// and on all cores, timed among the other benchmarks so that the machine's drift over the
// minutes of a run falls on it and on the bars alike.
//
// Times are medians over the repetitions (3 unless --benchmark_repetitions says otherwise).
// A machine whose speed wanders from second to second (a shared host) moves such medians by
// more than the gap between two codes on the same instructions, so a last table sets each
// line against its fastest peers head to head, which the wander disturbs far less (PairOff).
// Lines and peers are timed in CPU time of the timing thread, which a busy machine disturbs
// less than wall time; the serial report, whose lines run on a worker beside the thread
// that copies the chunks, in CPU time of the whole process; the all-cores report and the
// command line can only be timed in wall time.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "line_streams.h"
#include "oracle_digests.h"

namespace {

constexpr size_t kLarge = 16u << 20;
constexpr size_t kSmall = 1024;

const std::vector<uint8_t>& Buffer() {
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> v(kLarge);
        std::mt19937 gen(1);
        for (auto& b : v) b = uint8_t(gen());
        return v;
    }();
    return data;
}

std::string Label(const ReportLine& line) {
    std::string s(line.label);
    s.resize(s.size() - 2);  // drop ": "
    return s;
}

std::string SizeName(size_t n) {
    return n == kLarge ? "/16MiB" : "/1KiB";
}

void BM_Line(benchmark::State& state, const ReportLine* line, size_t n) {
    const uint8_t* data = Buffer().data();
    for (auto _ : state) {
        benchmark::DoNotOptimize(line->engine(data, uint32_t(n), line->bits, line->passes));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}

void BM_Peer(benchmark::State& state, const OracleDigest* peer, size_t n) {
    const uint8_t* data = Buffer().data();
    uint8_t out[64];
    for (auto _ : state) {
        peer->digest(data, n, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}

// Every report line over the buffer, as the command line computes them from memory, on
// `jobs` threads (0: all cores).
void BM_Report(benchmark::State& state, unsigned jobs) {
    std::vector<const ReportLine*> lines;
    for (size_t i = 0; i < kReportLineCount; ++i) lines.push_back(&kReportLines[i]);
    StreamSettings settings;
    settings.jobs = jobs;
    settings.chunkSize = kDefaultChunkSize;
    for (auto _ : state) {
        MemorySource source(Buffer().data(), kLarge);
        std::vector<std::string> hex;
        if (ComputeStreamedLines(source, lines, nullptr, 0, settings, hex) != ReportStatus::kOk) {
            state.SkipWithError("report failed");
            break;
        }
        benchmark::DoNotOptimize(hex.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kLarge));
}

// The 16 MiB buffer as a file, for the command line to read; removed again at exit.
// path() is empty when the file could not be written.
class BufferFile {
public:
    BufferFile() {
        char name[] = "/tmp/korvadex-bench-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) return;
        const std::vector<uint8_t>& data = Buffer();
        size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = write(fd, data.data() + done, data.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        close(fd);
        if (done == data.size()) {
            path_ = name;
        } else {
            unlink(name);
        }
    }
    ~BufferFile() {
        if (!path_.empty()) unlink(path_.c_str());
    }
    BufferFile(const BufferFile&) = delete;
    BufferFile& operator=(const BufferFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Runs the command line of this build over file with --jobs jobs, its output to /dev/null;
// true when it exits with status 0.
bool RunCommandLine(const std::string& file, const char* jobs) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string program = KORVADEX_COMMAND_LINE;
    std::string jobsOption = "--jobs";
    std::string jobsValue = jobs;
    std::string input = file;
    char* argv[] = {program.data(), jobsOption.data(), jobsValue.data(), input.data(), nullptr};
    pid_t pid;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// `korvadex --jobs jobs FILE` over the 16 MiB file, from start to exit.
void BM_CommandLine(benchmark::State& state, const BufferFile* file, const char* jobs) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = RunCommandLine(file->path(), jobs);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (!ok) {
            state.SkipWithError("the command line failed");
            break;
        }
        state.SetIterationTime(took.count());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kLarge));
}

// A peer takes part only when it gives our digest for a few messages.
bool PeerAgrees(const OracleDigest& peer, const ReportLine& line) {
    for (size_t n : {size_t(0), size_t(3), size_t(1000), size_t(70000)}) {
        const uint8_t* data = Buffer().data();
        uint8_t ours[kMaxDigestLength], theirs[64];
        DigestResult r = line.engine(data, uint32_t(n), line.bits, line.passes);
        ResultBytes(r, line.size, ours);
        if (!peer.digest(data, n, theirs) ||
            std::memcmp(ours, theirs, DigestLength(line.size)) != 0)
            return false;
    }
    return true;
}

struct Timing {
    double cpu = 0;   // seconds per iteration, median
    double real = 0;  // seconds per iteration, median
};

// Keeps the median time per iteration of each benchmark, by the name it was registered
// under, and passes the runs on to the console.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            const std::string name = run.run_name.function_name;
            const Timing t{run.cpu_accumulated_time / double(run.iterations),
                           run.real_accumulated_time / double(run.iterations)};
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") medians_[name] = t;
            } else {
                single_[name].push_back(t);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The median of name's repetitions, or nullptr when it did not run.
    const Timing* Find(const std::string& name) {
        auto m = medians_.find(name);
        if (m != medians_.end()) return &m->second;
        auto s = single_.find(name);
        if (s == single_.end() || s->second.empty()) return nullptr;
        std::vector<Timing>& v = s->second;
        auto byCpu = [](const Timing& a, const Timing& b) { return a.cpu < b.cpu; };
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end(), byCpu);
        medians_[name] = v[v.size() / 2];
        return &medians_[name];
    }

private:
    std::map<std::string, Timing> medians_;
    std::map<std::string, std::vector<Timing>> single_;
};

struct Target {
    std::string peerLabel;  // whose peers set the bar
    double factor;          // our speed must reach factor x their best
};

// SHA-0 has no peer: SHA-1 stands in.  4-pass Snefru has none: twice its 8-pass
// peer.  HAVAL's only 4- and 5-pass peer is slow: 3/4 and 3/5 of the best 3-pass peer.
Target TargetFor(const std::string& label) {
    if (label == "SHA-0") return {"SHA-1", 1.0};
    if (label.rfind("SNEFRU", 0) == 0 && label.find("(4 Passes)") != std::string::npos) {
        std::string eight = label;
        eight.replace(eight.find("(4"), 2, "(8");
        return {eight, 2.0};
    }
    if (label.rfind("HAVAL", 0) == 0) {
        std::string three = label;
        size_t at = three.find('(');
        double factor = three[at + 1] == '4' ? 0.75 : three[at + 1] == '5' ? 0.6 : 1.0;
        three[at + 1] = '3';
        return {three, factor};
    }
    return {label, 1.0};
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    if (!(in >> one >> five >> fifteen)) return "unknown";
    return one + " " + five + " " + fifteen;
}

double MegabytesPerSecond(size_t n, double seconds) {
    return seconds > 0 ? double(n) / seconds / 1e6 : 0;
}

struct PeerFigure {
    const OracleDigest* peer = nullptr;
    double large = 0;  // MB/s on 16 MiB
    double small = 0;  // MB/s on 1 KiB
};

// The fastest peer of label on 16 MiB.
PeerFigure BestPeer(MedianCollector& collector, const std::vector<OracleDigest>& peers,
                    const std::string& label) {
    PeerFigure best;
    for (const OracleDigest& peer : peers) {
        if (peer.label != label) continue;
        const std::string name = peer.library + "/" + peer.label;
        const Timing* large = collector.Find(name + SizeName(kLarge));
        if (!large) continue;
        const double mb = MegabytesPerSecond(kLarge, large->cpu);
        if (mb <= best.large) continue;
        const Timing* small = collector.Find(name + SizeName(kSmall));
        best = {&peer, mb, small ? MegabytesPerSecond(kSmall, small->cpu) : 0};
    }
    return best;
}

// Head to head: our line and a peer timed in turn, slice after slice of about kSlice each,
// so that whatever slows the machine for a while slows both sides of a pair alike; the
// figure of a pair is the ratio of the two speeds (against the bar: the peer's speed times
// the line's factor), and that of the line the median over its pairs.  Each peer within a
// tenth of the fastest one at that size in the run above takes part, and the lowest of
// their medians counts: on this footing two peers of about the same speed cannot hide
// behind each other's noise.
constexpr double kSlice = 0.01;      // seconds of one side of a pair
constexpr double kPairBudget = 1.5;  // seconds of pairs per line, size and peer
constexpr int kMostPairs = 15;
constexpr int kFewestPairs = 3;

double ThreadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Seconds per call of f over repeat calls.
template <typename F>
double TimeCalls(long repeat, F&& f) {
    const double start = ThreadSeconds();
    for (long i = 0; i < repeat; ++i) f();
    return (ThreadSeconds() - start) / double(repeat);
}

struct HeadToHead {
    double ratio = 0;  // median over the pairs, the lowest over the peers
    double low = 0;    // that peer's quartiles of the pairs' ratios
    double high = 0;
    const OracleDigest* peer = nullptr;
};

// Our line against peer on n bytes; ourCall and theirCall are the seconds of one call each
// from the run above, which set how many calls make a slice.
HeadToHead PairOff(const ReportLine& line, const OracleDigest& peer, double factor, size_t n,
                   double ourCall, double theirCall) {
    const uint8_t* data = Buffer().data();
    uint8_t out[64];
    auto ours = [&] {
        benchmark::DoNotOptimize(line.engine(data, uint32_t(n), line.bits, line.passes));
    };
    auto theirs = [&] {
        peer.digest(data, n, out);
        benchmark::DoNotOptimize(out);
    };
    const long ourRepeat = std::max(1L, long(kSlice / ourCall));
    const long theirRepeat = std::max(1L, long(kSlice / theirCall));
    const double pairSeconds = double(ourRepeat) * ourCall + double(theirRepeat) * theirCall;
    const int pairs = std::clamp(int(kPairBudget / pairSeconds), kFewestPairs, kMostPairs);
    TimeCalls(ourRepeat, ours);
    TimeCalls(theirRepeat, theirs);
    std::vector<double> ratios;
    for (int i = 0; i < pairs; ++i) {
        // Taken in either order in turn, a drift within a pair favours neither side.
        double oursTime, theirsTime;
        if (i % 2 == 0) {
            oursTime = TimeCalls(ourRepeat, ours);
            theirsTime = TimeCalls(theirRepeat, theirs);
        } else {
            theirsTime = TimeCalls(theirRepeat, theirs);
            oursTime = TimeCalls(ourRepeat, ours);
        }
        ratios.push_back(theirsTime / (oursTime * factor));
    }
    std::sort(ratios.begin(), ratios.end());
    const size_t m = ratios.size();
    const double median = m % 2 ? ratios[m / 2] : (ratios[m / 2 - 1] + ratios[m / 2]) / 2;
    return {median, ratios[m / 4], ratios[(3 * m) / 4], &peer};
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    bool repetitionsGiven = false;
    for (char* arg : args)
        if (std::strncmp(arg, "--benchmark_repetitions", 23) == 0) repetitionsGiven = true;
    char defaultRepetitions[] = "--benchmark_repetitions=3";
    if (!repetitionsGiven) args.push_back(defaultRepetitions);
    int count = int(args.size());

    static std::vector<OracleDigest> peers;
    for (const OracleDigest& peer : OracleDigests()) {
        const ReportLine* line = FindReportLine(peer.label);
        if (!line || peer.reference) continue;
        if (!PeerAgrees(peer, *line)) {
            std::fprintf(stderr, "peer %s %s gives other digests: left out\n", peer.library.c_str(),
                         peer.label.c_str());
            continue;
        }
        peers.push_back(peer);
    }
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine* line = &kReportLines[i];
        for (size_t n : {kLarge, kSmall}) {
            std::string name = "ours/" + Label(*line) + SizeName(n);
            auto* b = benchmark::RegisterBenchmark(name.c_str(), BM_Line, line, n);
            if (n == kLarge) b->Unit(benchmark::kMillisecond)->MinTime(0.3);
        }
    }
    for (const OracleDigest& peer : peers) {
        for (size_t n : {kLarge, kSmall}) {
            std::string name = peer.library + "/" + peer.label + SizeName(n);
            auto* b = benchmark::RegisterBenchmark(name.c_str(), BM_Peer, &peer, n);
            if (n == kLarge) b->Unit(benchmark::kMillisecond)->MinTime(0.3);
        }
    }
    benchmark::RegisterBenchmark("ours/report --jobs 1/16MiB", BM_Report, 1u)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->MeasureProcessCPUTime();
    benchmark::RegisterBenchmark("ours/report all cores/16MiB", BM_Report, 0u)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->UseRealTime();

    static const BufferFile file;
    if (file.path().empty() || access(KORVADEX_COMMAND_LINE, X_OK) != 0) {
        std::fprintf(stderr, "the command line (%s) or its input file is missing: not timed\n",
                     KORVADEX_COMMAND_LINE);
    } else {
        benchmark::RegisterBenchmark("cli --jobs 1/16MiB", BM_CommandLine, &file, "1")
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->UseManualTime();
        benchmark::RegisterBenchmark("cli all cores/16MiB", BM_CommandLine, &file, "0")
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->UseManualTime();
    }

    const std::string loadBefore = LoadAverage();
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    MedianCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    const std::string loadAfter = LoadAverage();

    // The bar of a line is its fastest peer's speed times the line's factor (see TargetFor),
    // whatever code the peer runs; a ratio of 1.00 or more meets it.  A star marks a peer
    // on a path plain scalar code cannot take.
    std::printf("\n%-21s %7s  %-31s %7s %5s | %7s %7s %5s\n", "16 MiB, MB/s", "ours",
                "fastest peer", "bar", "ratio", "1 KiB", "peer", "ratio");
    double barSeconds = 0, oursSeconds = 0;
    size_t withBar = 0, timed = 0;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const std::string label = Label(kReportLines[i]);
        const Timing* large = collector.Find("ours/" + label + SizeName(kLarge));
        if (!large) continue;
        ++timed;
        oursSeconds += large->cpu;
        const Timing* small = collector.Find("ours/" + label + SizeName(kSmall));
        const double oursLarge = MegabytesPerSecond(kLarge, large->cpu);
        const double oursSmall = small ? MegabytesPerSecond(kSmall, small->cpu) : 0;
        const Target target = TargetFor(label);
        const PeerFigure best = BestPeer(collector, peers, target.peerLabel);
        if (!best.peer) {
            std::printf("%-21s %7.1f  %-31s %7s %5s | %7.1f %7s %5s\n", label.c_str(), oursLarge,
                        "(no peer installed)", "-", "-", oursSmall, "-", "-");
            continue;
        }
        ++withBar;
        const double bar = best.large * target.factor;
        const double smallBar = best.small * target.factor;
        barSeconds += double(kLarge) / (bar * 1e6);
        std::string peerName =
            best.peer->library + (best.peer->accelerated ? "* " : " ") + best.peer->label;
        if (target.factor != 1.0) {
            char factor[16];
            std::snprintf(factor, sizeof factor, " x%.2g", target.factor);
            peerName += factor;
        }
        std::printf("%-21s %7.1f  %-31s %7.1f %5.2f | %7.1f %7.1f %5.2f\n", label.c_str(),
                    oursLarge, peerName.c_str(), bar, oursLarge / bar, oursSmall, smallBar,
                    smallBar > 0 ? oursSmall / smallBar : 0.0);
    }

    // Head to head (PairOff), every line timed above against its bar's peers.
    std::printf(
        "\nhead to head: median over pairs of %.0f ms slices in turn [quartiles], the lowest"
        " over the peers\nwithin a tenth of the fastest at that size\n",
        kSlice * 1e3);
    std::printf("%-21s %-10s %7s %-17s | %-10s %7s %-17s\n", "", "16 MiB vs", "ratio", "",
                "1 KiB vs", "ratio", "");
    size_t paired[2] = {0, 0}, met[2] = {0, 0};
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        const std::string label = Label(line);
        const Target target = TargetFor(label);
        std::string row;
        for (size_t k = 0; k < 2; ++k) {
            const size_t n = k == 0 ? kLarge : kSmall;
            const Timing* own = collector.Find("ours/" + label + SizeName(n));
            double best = 0;
            for (const OracleDigest& peer : peers) {
                const Timing* t =
                    peer.label == target.peerLabel
                        ? collector.Find(peer.library + "/" + peer.label + SizeName(n))
                        : nullptr;
                if (t) best = std::max(best, MegabytesPerSecond(n, t->cpu));
            }
            HeadToHead worst;
            for (const OracleDigest& peer : peers) {
                const Timing* t =
                    peer.label == target.peerLabel
                        ? collector.Find(peer.library + "/" + peer.label + SizeName(n))
                        : nullptr;
                if (!own || !t || MegabytesPerSecond(n, t->cpu) < 0.9 * best) continue;
                const HeadToHead h = PairOff(line, peer, target.factor, n, own->cpu, t->cpu);
                if (!worst.peer || h.ratio < worst.ratio) worst = h;
            }
            char cell[80];
            if (worst.peer) {
                ++paired[k];
                if (worst.ratio >= 1.0) ++met[k];
                char range[32];
                std::snprintf(range, sizeof range, "[%.3f-%.3f]", worst.low, worst.high);
                std::snprintf(cell, sizeof cell, "%-10s %7.3f %-17s", worst.peer->library.c_str(),
                              worst.ratio, range);
            } else {
                std::snprintf(cell, sizeof cell, "%-10s %7s %-17s", "-", "-", "");
            }
            row += k == 0 ? std::string(cell) + " | " : std::string(cell);
        }
        if (collector.Find("ours/" + label + SizeName(kLarge)) ||
            collector.Find("ours/" + label + SizeName(kSmall)))
            std::printf("%-21s %s\n", label.c_str(), row.c_str());
    }
    std::printf(
        "at or past the bar head to head: %zu of %zu lines on 16 MiB, %zu of %zu on 1 KiB\n",
        met[0], paired[0], met[1], paired[1]);

    std::printf("\nload average (1, 5, 15 min): %s before, %s after; %u cores\n",
                loadBefore.c_str(), loadAfter.c_str(), std::thread::hardware_concurrency());
    std::printf("sum of the bars' times over the %zu of %zu lines with a peer: %.3f s\n", withBar,
                kReportLineCount, barSeconds);
    std::printf("sum of our %zu lines' times: %.3f s\n", timed, oursSeconds);
    // How the lines are dealt to two workers, with each line's measured time.
    std::vector<const ReportLine*> all;
    for (size_t i = 0; i < kReportLineCount; ++i) all.push_back(&kReportLines[i]);
    double worker[2] = {0, 0};
    bool complete = true;
    const std::vector<std::vector<size_t>> dealt = DealLines(all, 2);
    for (size_t w = 0; w < dealt.size(); ++w) {
        for (size_t line : dealt[w]) {
            const Timing* t =
                collector.Find("ours/" + Label(kReportLines[line]) + SizeName(kLarge));
            if (t) worker[w] += t->cpu;
            complete = complete && t;
        }
    }
    if (complete) {
        std::printf("two workers as dealt, with the measured line times: %.3f s and %.3f s\n",
                    worker[0], worker[1]);
    }
    const Timing* serial = collector.Find("ours/report --jobs 1/16MiB");
    const Timing* parallel = collector.Find("ours/report all cores/16MiB");
    if (serial && barSeconds > 0) {
        std::printf(
            "report --jobs 1:   %.3f s CPU (%.3f s wall), %.2f x the bars' sum (target 0.90)\n",
            serial->cpu, serial->real, serial->cpu / barSeconds);
    }
    if (parallel && barSeconds > 0) {
        std::printf(
            "report all cores:  %.3f s wall, %.2f x the bars' sum (target 0.55 on 2 cores)\n",
            parallel->real, parallel->real / barSeconds);
    }
    const Timing* cliSerial = collector.Find("cli --jobs 1/16MiB");
    const Timing* cliParallel = collector.Find("cli all cores/16MiB");
    if (cliSerial && barSeconds > 0) {
        std::printf("korvadex --jobs 1 FILE: %.3f s wall, %.2f x the bars' sum (target 0.90)\n",
                    cliSerial->real, cliSerial->real / barSeconds);
    }
    if (cliParallel && barSeconds > 0) {
        std::printf(
            "korvadex FILE:          %.3f s wall, %.2f x the bars' sum (target 0.55 on 2 cores)\n",
            cliParallel->real, cliParallel->real / barSeconds);
    }
    if (withBar < kReportLineCount) {
        std::printf("(the sums cover only the lines with a peer; the report covers all)\n");
    }
    return 0;
}
