// Throughput of every report line on a 16 MiB buffer and on 1 KiB messages, beside the same
// algorithms in the peer libraries installed here, and the whole serial report of 16 MiB.
// After the runs a table gives, per line, our MB/s (10^6 bytes/s), the best plain-code
// peer's, their ratio and the ratio the line has to reach.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "peer_digests.h"
#include "report_text.h"

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

void BM_Line(benchmark::State& state, const ReportLine* line, size_t n) {
    const uint8_t* data = Buffer().data();
    for (auto _ : state) {
        benchmark::DoNotOptimize(line->engine(data, uint32_t(n), line->bits, line->passes));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}

void BM_Peer(benchmark::State& state, const PeerDigest* peer, size_t n) {
    const uint8_t* data = Buffer().data();
    uint8_t out[64];
    for (auto _ : state) {
        peer->digest(data, n, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}

void BM_SerialReport(benchmark::State& state) {
    ReportInput input{Buffer().data(), uint32_t(kLarge), nullptr, 0};
    for (auto _ : state) {
        std::string text;
        benchmark::DoNotOptimize(BuildReportText(input, text));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kLarge));
}

const ReportLine* FindLine(const std::string& label) {
    for (size_t i = 0; i < kReportLineCount; ++i)
        if (Label(kReportLines[i]) == label) return &kReportLines[i];
    return nullptr;
}

// A peer takes part only when it gives our digest for a few messages.
bool PeerAgrees(const PeerDigest& peer, const ReportLine& line) {
    for (size_t n : {size_t(0), size_t(3), size_t(1000), size_t(70000)}) {
        const uint8_t* data = Buffer().data();
        uint8_t ours[kMaxDigestLength], theirs[64];
        DigestResult r = line.engine(data, uint32_t(n), line.bits, line.passes);
        ResultBytes(r, line.size, ours);
        peer.digest(data, n, theirs);
        if (std::memcmp(ours, theirs, DigestLength(line.size)) != 0) return false;
    }
    return true;
}

// Collects the median bytes per second of each benchmark by name.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medians;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) medians[run.run_name.function_name] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

struct Target {
    std::string peerLabel;  // whose peers set the bar
    double factor;          // our speed must reach factor x their best
};

// SHA-0 has no peer: plain SHA-1 stands in.  4-pass Snefru has none: twice its 8-pass
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

}  // namespace

int main(int argc, char** argv) {
    static std::vector<PeerDigest> peers;
    for (const PeerDigest& peer : PeerDigests()) {
        const ReportLine* line = FindLine(peer.label);
        if (!line) continue;
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
            std::string name = "ours/" + Label(*line) + (n == kLarge ? "/16MiB" : "/1KiB");
            auto* b = benchmark::RegisterBenchmark(name.c_str(), BM_Line, line, n);
            if (n == kLarge) b->Unit(benchmark::kMillisecond)->MinTime(0.3);
        }
    }
    for (const PeerDigest& peer : peers) {
        for (size_t n : {kLarge, kSmall}) {
            std::string name = peer.library + "/" + peer.label + (n == kLarge ? "/16MiB" : "/1KiB");
            auto* b = benchmark::RegisterBenchmark(name.c_str(), BM_Peer, &peer, n);
            if (n == kLarge) b->Unit(benchmark::kMillisecond)->MinTime(0.3);
        }
    }
    benchmark::RegisterBenchmark("ours/serial report/16MiB", BM_SerialReport)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);

    benchmark::Initialize(&argc, argv);
    MedianCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    // "bar" is the best plain-code peer's speed times the line's factor (see TargetFor);
    // a ratio of 1.00 or more meets it.
    std::printf("\n%-24s %9s %9s  %-30s %9s %6s\n", "line (MB/s)", "16 MiB", "1 KiB",
                "best plain-code peer", "bar", "ratio");
    double peerSeconds = 0;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const std::string label = Label(kReportLines[i]);
        auto ours = collector.medians.find("ours/" + label + "/16MiB");
        if (ours == collector.medians.end()) continue;
        auto small = collector.medians.find("ours/" + label + "/1KiB");
        const Target target = TargetFor(label);
        double best = 0;
        std::string bestName = "-";
        for (const PeerDigest& peer : peers) {
            if (peer.label != target.peerLabel || peer.accelerated) continue;
            auto it = collector.medians.find(peer.library + "/" + peer.label + "/16MiB");
            if (it != collector.medians.end() && it->second > best) {
                best = it->second;
                bestName = peer.library + " " + peer.label;
            }
        }
        double oursMb = ours->second / 1e6;
        double smallMb = small == collector.medians.end() ? 0 : small->second / 1e6;
        if (best > 0) {
            double bar = best * target.factor / 1e6;
            peerSeconds += kLarge / (best * target.factor);
            std::printf("%-24s %9.1f %9.1f  %-30s %9.1f %6.2f\n", label.c_str(), oursMb, smallMb,
                        bestName.c_str(), bar, oursMb / bar);
        } else {
            std::printf("%-24s %9.1f %9.1f  %-30s %9s %6s\n", label.c_str(), oursMb, smallMb,
                        "(no peer installed)", "-", "-");
        }
    }
    auto serial = collector.medians.find("ours/serial report/16MiB");
    if (serial != collector.medians.end() && peerSeconds > 0) {
        double oursSeconds = kLarge / serial->second;
        std::printf(
            "\nserial report of 16 MiB: %.3f s; sum of the best plain peers' times "
            "over the lines with a peer: %.3f s; ratio %.2f\n",
            oursSeconds, peerSeconds, oursSeconds / peerSeconds);
    }
    return 0;
}
