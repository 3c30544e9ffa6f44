// Every accelerated path of the checksums against the portable code of the same routine.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#if defined(__unix__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "checksum_kernels.h"
#include "test_support.h"

namespace {

using Routine = std::function<uint32_t(const uint8_t*, uint32_t, uint32_t)>;

struct PathCase {
    std::string name;
    bool runs;
    Routine accelerated;
    Routine portable;
    uint32_t (*startFrom)(uint32_t random);  // a running value of the routine's form
};

uint32_t AnyWord(uint32_t random) {
    return random;
}

uint32_t AdlerValue(uint32_t random) {
    return (random >> 16) % 65521 << 16 | (random & 0xFFFF) % 65521;
}

std::vector<PathCase> Cases() {
    const CpuFeatures& cpu = DetectedCpu();
    std::vector<PathCase> cases;
    using CrcOn = uint32_t (*)(CrcPath, const uint8_t*, uint32_t, uint32_t);
    const std::pair<const char*, CrcOn> crcs[] = {{"CRC-16/ARC", Crc16UpdateOn},
                                                  {"CRC-16/IBM-3740", Crc16CcittUpdateOn},
                                                  {"CRC-32/ISO-HDLC", Crc32UpdateOn},
                                                  {"CRC-32/BZIP2", Crc32bUpdateOn}};
    const std::pair<const char*, CrcPath> crcPaths[] = {{"PCLMULQDQ", CrcPath::kPclmul},
                                                        {"VPCLMULQDQ+VBMI", CrcPath::kVpclmul}};
    for (const auto& [name, on] : crcs) {
        for (const auto& [pathName, path] : crcPaths) {
            cases.push_back({std::string(name) + " " + pathName, CrcPathRuns(path, cpu),
                             [on = on, path = path](const uint8_t* d, uint32_t n, uint32_t s) {
                                 return on(path, d, n, s);
                             },
                             [on = on](const uint8_t* d, uint32_t n, uint32_t s) {
                                 return on(CrcPath::kTable, d, n, s);
                             },
                             AnyWord});
        }
    }
    const std::pair<const char*, AdlerPath> adlerPaths[] = {
        {"SSSE3", AdlerPath::kSsse3},
        {"AVX2", AdlerPath::kAvx2},
        {"AVX-512", AdlerPath::kAvx512},
        {"AVX-512 VNNI", AdlerPath::kAvx512Vnni}};
    for (const auto& [pathName, path] : adlerPaths) {
        cases.push_back({std::string("Adler-32 ") + pathName, AdlerPathRuns(path, cpu),
                         [path = path](const uint8_t* d, uint32_t n, uint32_t s) {
                             return Adler32UpdateOn(path, d, n, s);
                         },
                         [](const uint8_t* d, uint32_t n, uint32_t s) {
                             return Adler32UpdateOn(AdlerPath::kPortable, d, n, s);
                         },
                         AdlerValue});
    }
    return cases;
}

// Lengths beyond 2 KiB: the 16 KiB and 64 KiB borders, Adler-32's stretch of 5504 bytes, and
// the 512 KiB from which the CRC kernels fetch ahead.
std::vector<uint32_t> LongLengths() {
    std::vector<uint32_t> lengths;
    for (uint32_t border : {5504u, 5552u, 11008u, 16384u, 65536u, 524288u})
        for (int delta : {-65, -64, -17, -16, -1, 0, 1, 15, 16, 63, 64, 255, 256})
            lengths.push_back(uint32_t(int(border) + delta));
    return lengths;
}

TEST(AcceleratedChecksums, SameAsPortable) {
    constexpr uint32_t kMaxLength = 524288 + 256;
    const std::vector<uint8_t> random = RandomBytes(kMaxLength + 64, 19);
    // All ones maximise Adler-32's sums, the test of its lanes' headroom.
    const std::vector<uint8_t> ones(kMaxLength + 64, 0xFF);
    const std::vector<uint32_t> starts = [] {
        std::vector<uint32_t> s;
        const std::vector<uint8_t> bytes = RandomBytes(4 * 4096, 7);
        for (size_t i = 0; i < bytes.size(); i += 4)
            s.push_back(uint32_t(bytes[i]) | uint32_t(bytes[i + 1]) << 8 |
                        uint32_t(bytes[i + 2]) << 16 | uint32_t(bytes[i + 3]) << 24);
        return s;
    }();
    for (const PathCase& c : Cases()) {
        if (!c.runs) {
            std::printf("[  SKIPPED ] %s: the processor lacks the extension\n", c.name.c_str());
            continue;
        }
        SCOPED_TRACE(c.name);
        size_t failures = 0;
        auto check = [&](const std::vector<uint8_t>& data, uint32_t offset, uint32_t length,
                         uint32_t start) {
            const uint8_t* p = data.data() + offset;
            const uint32_t want = c.portable(p, length, start);
            const uint32_t got = c.accelerated(p, length, start);
            if (got != want && ++failures <= 5)
                ADD_FAILURE() << "length " << length << " offset " << offset << " start " << start
                              << ": " << got << " against " << want;
        };
        for (uint32_t length = 0; length <= 2048; ++length)
            check(random, length % 64, length, c.startFrom(starts[length % starts.size()]));
        for (uint32_t offset = 1; offset < 64; ++offset) {
            check(random, offset, 1000 + offset, c.startFrom(starts[offset]));
            check(ones, offset, 5504 + offset, c.startFrom(0xFFFFFFFF));
        }
        for (uint32_t length : LongLengths()) {
            check(random, length % 61, length, c.startFrom(starts[length % starts.size()]));
            check(ones, 0, length, c.startFrom(0xFFFFFFFF));
        }
        // A long message in random pieces, each continuing from the value before it.
        const std::vector<uint8_t> pieces = RandomBytes(4096, 23);
        uint32_t accelerated = c.startFrom(starts[1]);
        const uint32_t portable = c.portable(random.data(), kMaxLength, accelerated);
        for (uint32_t done = 0, i = 0; done < kMaxLength; ++i) {
            uint32_t piece = uint32_t(pieces[i % pieces.size()]) * 37 % 4099;
            if (piece > kMaxLength - done) piece = kMaxLength - done;
            accelerated = c.accelerated(random.data() + done, piece, accelerated);
            done += piece;
        }
        EXPECT_EQ(accelerated, portable) << "in pieces";
    }
}

// The paths read whole registers with masks where the input starts or ends within one:
// the bytes outside the input must not be touched, even where no memory lies beside it.
TEST(AcceleratedChecksums, ReadNothingOutsideTheInput) {
#if defined(__unix__)
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    void* mapped =
        mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    uint8_t* const inner = static_cast<uint8_t*>(mapped) + page;
    const std::vector<uint8_t> random = RandomBytes(page, 5);
    std::copy(random.begin(), random.end(), inner);
    ASSERT_EQ(mprotect(mapped, page, PROT_NONE), 0);
    ASSERT_EQ(mprotect(inner + page, page, PROT_NONE), 0);
    for (const PathCase& c : Cases()) {
        if (!c.runs) continue;
        SCOPED_TRACE(c.name);
        for (uint32_t length = 0; length <= 1100; ++length) {
            for (const uint8_t* p : {inner, inner + page - length})
                ASSERT_EQ(c.accelerated(p, length, 5), c.portable(p, length, 5)) << length;
        }
    }
    munmap(mapped, 3 * page);
#else
    GTEST_SKIP() << "needs pages without access (POSIX)";
#endif
}

}  // namespace
