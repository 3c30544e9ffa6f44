// korvadex_instruction_ceiling: how near the lines on the processor's own CRC and SHA
// instructions come to the one instruction each of them waits on, on this processor now.
//
//   korvadex_instruction_ceiling [ROUNDS]
//
// Such a line cannot run faster than that instruction lets it, whatever the code around it
// does, and a peer using the same instruction cannot either: where both stand at the ceiling,
// a head-to-head ratio a little under 1 is the machine's noise, not room left in the code.
//
// - The CRCs fold 64 bytes with two carry-less multiplications (VPCLMULQDQ on 512-bit
//   registers, or 16 bytes with two PCLMULQDQ), and the folds of the lanes side by side do not
//   wait on each other: the ceiling is the multiplier's throughput, 32 (or 8) bytes for each
//   multiplication it starts.
// - SHA-0 and SHA-1 take 20 SHA1RNDS4 per 64-byte block and SHA-256 32 SHA256RNDS2, each on
//   the result of the one before: the ceiling is 64 bytes per 20 (or 32) latencies.
//
// Each of ROUNDS rounds (default 7) times the instruction, then the line over a 256 KiB
// message at hand in the cache; the fastest of each over the rounds is printed, with their
// ratio.  The processor's clock moves on a shared machine, so the two are timed in turn; and
// the clock of a loop of multiplications alone need not be that of the line's own mix, so a
// fraction a little over 1 means the same as 1: the line is as fast as the instruction.
#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "checksums.h"
#include "cpu_features.h"
#include "report_lines.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kInstructions = 20'000'000;  // per timing of an instruction

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Keeps a result, so that the compiler cannot drop the work that made it.
volatile int kept;
void Keep(int value) {
    kept = value;
}

// Seconds per multiplication started, with twelve of them in flight: more than latency
// times throughput on the processors we know.
[[gnu::target("avx512f,vpclmulqdq")]] double Clmul512Seconds() {
    const __m512i k = _mm512_set1_epi64(0x1db710641db71064);
    __m512i lane[12];
#pragma GCC unroll 12
    for (int i = 0; i < 12; ++i) lane[i] = _mm512_set1_epi64(i + 1);
    const Clock::time_point start = Clock::now();
    for (long n = 0; n < kInstructions / 12; ++n) {
#pragma GCC unroll 12
        for (int i = 0; i < 12; ++i) lane[i] = _mm512_clmulepi64_epi128(lane[i], k, 0x01);
    }
    const double seconds = SecondsSince(start);
    __m512i all = lane[0];
#pragma GCC unroll 12
    for (int i = 1; i < 12; ++i) all = _mm512_xor_si512(all, lane[i]);
    Keep(_mm512_cvtsi512_si32(all));
    return seconds / double(kInstructions);
}

[[gnu::target("pclmul")]] double Clmul128Seconds() {
    const __m128i k = _mm_set1_epi64x(0x1db710641db71064);
    __m128i lane[12];
#pragma GCC unroll 12
    for (int i = 0; i < 12; ++i) lane[i] = _mm_set1_epi64x(i + 1);
    const Clock::time_point start = Clock::now();
    for (long n = 0; n < kInstructions / 12; ++n) {
#pragma GCC unroll 12
        for (int i = 0; i < 12; ++i) lane[i] = _mm_clmulepi64_si128(lane[i], k, 0x01);
    }
    const double seconds = SecondsSince(start);
    __m128i all = lane[0];
#pragma GCC unroll 12
    for (int i = 1; i < 12; ++i) all = _mm_xor_si128(all, lane[i]);
    Keep(_mm_cvtsi128_si32(all));
    return seconds / double(kInstructions);
}

// Seconds per round instruction on one chain.
[[gnu::target("sha,sse4.1")]] double Sha1RoundsSeconds() {
    __m128i abcd = _mm_set_epi32(0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476);
    const __m128i e = _mm_set_epi32(0xc3d2e1f0, 1, 2, 3);
    const Clock::time_point start = Clock::now();
    for (long n = 0; n < kInstructions / 4; ++n) {
        abcd = _mm_sha1rnds4_epu32(abcd, e, 0);
        abcd = _mm_sha1rnds4_epu32(abcd, e, 1);
        abcd = _mm_sha1rnds4_epu32(abcd, e, 2);
        abcd = _mm_sha1rnds4_epu32(abcd, e, 3);
    }
    const double seconds = SecondsSince(start);
    Keep(_mm_cvtsi128_si32(abcd));
    return seconds / double(kInstructions);
}

[[gnu::target("sha,sse4.1")]] double Sha256RoundsSeconds() {
    __m128i abef = _mm_set_epi32(0x6a09e667, 0xbb67ae85, 0x510e527f, 0x9b05688c);
    __m128i cdgh = _mm_set_epi32(0x3c6ef372, 0xa54ff53a, 0x1f83d9ab, 0x5be0cd19);
    const __m128i wk = _mm_set_epi32(0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5);
    const Clock::time_point start = Clock::now();
    for (long n = 0; n < kInstructions / 2; ++n) {
        cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
        abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);
    }
    const double seconds = SecondsSince(start);
    Keep(_mm_cvtsi128_si32(abef) ^ _mm_cvtsi128_si32(cdgh));
    return seconds / double(kInstructions);
}

struct Ceiling {
    const char* label;  // the report line's, without ": "
    const char* instruction;
    double bytesPerInstruction;
    double (*instructionSeconds)();
};

// Seconds of the fastest of a few passes of line over the message.
double LineSeconds(const ReportLine& line, const std::vector<uint8_t>& message) {
    double fastest = 1e9;
    for (int pass = 0; pass < 20; ++pass) {
        const Clock::time_point start = Clock::now();
        line.engine(message.data(), uint32_t(message.size()), line.bits, line.passes);
        fastest = std::min(fastest, SecondsSince(start));
    }
    return fastest;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    if (rounds < 1) {
        std::fprintf(stderr, "usage: korvadex_instruction_ceiling [ROUNDS]\n");
        return 2;
    }
    const CpuFeatures& cpu = Cpu();
    std::vector<Ceiling> ceilings;
    const std::string crcPath = PathHere<kCrc32Paths>().name;  // the CRC engines' choice
    for (const char* crc : {"CRC16", "CRC16CCITT", "CRC32", "CRC32b"}) {
        if (crcPath == "VPCLMULQDQ")
            ceilings.push_back({crc, "VPCLMULQDQ zmm", 32, Clmul512Seconds});
        else if (crcPath == "PCLMULQDQ")
            ceilings.push_back({crc, "PCLMULQDQ", 8, Clmul128Seconds});
    }
    if (cpu.sha && cpu.sse41) {  // as the SHA engines ask
        ceilings.push_back({"SHA-0", "SHA1RNDS4 chain", 64.0 / 20, Sha1RoundsSeconds});
        ceilings.push_back({"SHA-1", "SHA1RNDS4 chain", 64.0 / 20, Sha1RoundsSeconds});
        ceilings.push_back({"SHA-256", "SHA256RNDS2 chain", 64.0 / 32, Sha256RoundsSeconds});
    }
    if (ceilings.empty()) {
        std::printf("# no line runs on the processor's CRC or SHA instructions here\n");
        return 0;
    }

    std::vector<uint8_t> message(256 << 10);
    std::mt19937 gen(1);
    for (uint8_t& byte : message) byte = uint8_t(gen());

    std::printf("# fastest of %d rounds, MB/s (10^6 bytes per second)\n", rounds);
    std::printf("%-11s %-18s %10s %10s %9s\n", "line", "waits on", "ceiling", "line", "fraction");
    for (const Ceiling& c : ceilings) {
        const ReportLine* line = FindReportLine(c.label);
        if (line == nullptr) {
            std::fprintf(stderr, "no report line %s\n", c.label);
            return 1;
        }
        double instruction = 1e9, whole = 1e9;
        for (int r = 0; r < rounds; ++r) {
            instruction = std::min(instruction, c.instructionSeconds());
            whole = std::min(whole, LineSeconds(*line, message));
        }
        const double ceiling = c.bytesPerInstruction / instruction / 1e6;
        const double speed = double(message.size()) / whole / 1e6;
        std::printf("%-11s %-18s %10.0f %10.0f %9.3f\n", c.label, c.instruction, ceiling, speed,
                    speed / ceiling);
    }
    return 0;
}
