// Every row of every engine's path table against the table's portable row: the block
// compressions over random chaining values, every block count around the strip and buffer
// borders, misaligned data and calls in pieces; the checksums over every length to 2 KiB and
// around their stretch borders, from random running values, in pieces, and at the edges of
// pages without access.  A row whose features this processor lacks is skipped with the reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#if defined(__unix__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "checksums.h"
#include "cpu_features.h"
#include "digest_tables.h"
#include "panama.h"
#include "sha0_sha1.h"
#include "sha256.h"
#include "sha384_sha512.h"
#include "streaming_engines.h"
#include "test_support.h"
#include "tiger.h"
#include "whirlpool.h"

namespace {

// A row as the tests see it.  A block routine compresses whole blocks into a state of
// stateBytes bytes; a checksum continues a running value over bytes.
using BlockRoutine = std::function<void(void* state, const uint8_t* data, size_t blocks)>;
using ChecksumRoutine = std::function<uint32_t(const uint8_t*, uint32_t, uint32_t)>;

struct Row {
    std::string name;  // engine and row, e.g. "SHA-1 SHA extensions"
    std::string needs;
    bool runs;
    size_t block;       // bytes a block; 0 for a checksum
    size_t stateBytes;  // block routines only
    BlockRoutine compress, portableCompress;
    ChecksumRoutine update, portableUpdate;
    bool pulls;  // PANAMA: null data pulls
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

template <typename State, typename Routine, typename Call>
void AddBlockRows(std::vector<Row>& rows, const char* engine, const PathTable<Routine>& table,
                  size_t block, Call call) {
    const CompressPath<Routine>& portable = table.Portable();
    for (const CompressPath<Routine>& path : table) {
        if (&path == &portable) continue;
        Row row;
        row.name = std::string(engine) + " " + path.name;
        row.needs = path.needs;
        row.runs = path.runs(DetectedCpu());
        row.block = block;
        row.stateBytes = sizeof(State);
        row.compress = [&path, call](void* s, const uint8_t* d, size_t n) {
            call(path.routine, *static_cast<State*>(s), d, n);
        };
        row.portableCompress = [&portable, call](void* s, const uint8_t* d, size_t n) {
            call(portable.routine, *static_cast<State*>(s), d, n);
        };
        row.pulls = std::is_same_v<State, PanamaContextType>;
        rows.push_back(row);
    }
}

void AddChecksumRows(std::vector<Row>& rows, const char* engine,
                     const PathTable<ChecksumUpdate>& table) {
    const CompressPath<ChecksumUpdate>& portable = table.Portable();
    for (const CompressPath<ChecksumUpdate>& path : table) {
        if (&path == &portable) continue;
        rows.push_back({std::string(engine) + " " + path.name, path.needs, path.runs(DetectedCpu()),
                        0, 0, nullptr, nullptr, path.routine, portable.routine, false});
    }
}

std::vector<Row> BlockRows() {
    std::vector<Row> rows;
    const auto plain = [](auto* routine, auto& state, const uint8_t* d, size_t n) {
        routine(state, d, n);
    };
    AddBlockRows<uint32_t[5]>(rows, "SHA-0", kSha0Paths, 64, plain);
    AddBlockRows<uint32_t[5]>(rows, "SHA-1", kSha1Paths, 64, plain);
    AddBlockRows<uint32_t[8]>(rows, "SHA-256", kSha256Paths, 64, plain);
    AddBlockRows<uint64_t[8]>(rows, "SHA-512", kSha512Paths, 128, plain);
    AddBlockRows<uint64_t[3]>(rows, "Tiger", kTigerPaths, 64, plain);
    AddBlockRows<uint64_t[8]>(rows, "Whirlpool", kWhirlpoolPaths, 64,
                              [](auto* routine, uint64_t(&state)[8], const uint8_t* d, size_t n) {
                                  routine(state, kWhirlpoolRoundConstants, d, n);
                              });
    AddBlockRows<PanamaContextType>(rows, "PANAMA", kPanamaPaths, 32, plain);
    return rows;
}

std::vector<Row> ChecksumRows() {
    std::vector<Row> rows;
    AddChecksumRows(rows, "Adler-32", kAdler32Paths);
    AddChecksumRows(rows, "CRC-16", kCrc16Paths);
    AddChecksumRows(rows, "CRC-16/CCITT", kCrc16CcittPaths);
    AddChecksumRows(rows, "CRC-32", kCrc32Paths);
    AddChecksumRows(rows, "CRC-32b", kCrc32bPaths);
    return rows;
}

class PathRows : public ::testing::TestWithParam<Row> {
protected:
    void SetUp() override {
        if (!GetParam().runs) GTEST_SKIP() << GetParam().name << " needs " << GetParam().needs;
    }
};
class BlockPaths : public PathRows {};
class ChecksumPaths : public PathRows {};

// A random state; PANAMA's tap must name a buffer stage.
std::vector<uint8_t> RandomState(const Row& row, uint32_t seed) {
    std::vector<uint8_t> state = RandomBytes(row.stateBytes, seed);
    if (row.pulls) {
        PanamaContextType& c = *reinterpret_cast<PanamaContextType*>(state.data());
        c.tap = seed % 32;
    }
    return state;
}

// From random states, every block count to 40 and around the 4 KiB strips and the 16 and 64
// KiB borders, at every start offset to 63: the state the portable row leaves.  PANAMA
// pulls as well as pushes.
TEST_P(BlockPaths, BlocksFromRandomStates) {
    const Row& row = GetParam();
    std::vector<size_t> counts;
    for (size_t n = 0; n <= 40; ++n) counts.push_back(n);
    for (const size_t border : {size_t(4096), size_t(16384), size_t(65536)}) {
        for (const int d : {-1, 0, 1}) counts.push_back(size_t(int(border / row.block) + d));
    }
    const std::vector<uint8_t> data = RandomBytes((65536 / row.block + 1) * row.block + 64, 19);
    uint32_t seed = 20;
    for (const size_t n : counts) {
        for (size_t offset = 0; offset < 64; offset += n <= 40 ? 1 : 13) {
            for (const bool pull : {false, true}) {
                if (pull && !row.pulls) continue;
                const uint8_t* at = pull ? nullptr : data.data() + offset;
                std::vector<uint8_t> want = RandomState(row, seed++);
                std::vector<uint8_t> got = want;
                row.portableCompress(want.data(), at, n);
                row.compress(got.data(), at, n);
                ASSERT_EQ(Hex(want), Hex(got))
                    << n << " blocks at offset " << offset << (pull ? ", pulled" : "");
            }
        }
    }
}

// The row in calls of 1, 2, 3, 5 and 7 blocks (cycled) leaves the state of the portable row
// in one call.
TEST_P(BlockPaths, BlocksInPieces) {
    const Row& row = GetParam();
    const std::vector<uint8_t> data = RandomBytes(70000, 22);
    const size_t blocks = data.size() / row.block;
    std::vector<uint8_t> whole = RandomState(row, 7);
    std::vector<uint8_t> pieces = whole;
    row.portableCompress(whole.data(), data.data(), blocks);
    const size_t sizes[] = {1, 2, 3, 5, 7};
    for (size_t done = 0, i = 0; done < blocks; ++i) {
        const size_t n = std::min(sizes[i % 5], blocks - done);
        row.compress(pieces.data(), data.data() + done * row.block, n);
        done += n;
    }
    ASSERT_EQ(Hex(whole), Hex(pieces));
}

uint32_t RunningValue(const Row& row, uint32_t random) {
    // Adler-32's sums stay below its modulus.
    if (row.name.rfind("Adler", 0) == 0)
        return (random >> 16) % 65521 << 16 | (random & 0xFFFF) % 65521;
    return random;
}

// Every length to 2 KiB, and around Adler-32's stretches, the 16 and 64 KiB borders and the
// 512 KiB from which the CRC kernels fetch ahead, misaligned, from random running values and
// from all-one bytes (Adler-32's largest sums); then a long message in random pieces.
TEST_P(ChecksumPaths, OfManyLengths) {
    const Row& row = GetParam();
    constexpr uint32_t kMaxLength = 524288 + 256;
    const std::vector<uint8_t> random = RandomBytes(kMaxLength + 64, 19);
    const std::vector<uint8_t> ones(kMaxLength + 64, 0xFF);
    const std::vector<uint8_t> seeds = RandomBytes(4 * 4096, 7);
    auto start = [&](size_t i) {
        uint32_t v;
        std::memcpy(&v, seeds.data() + 4 * (i % 4096), 4);
        return RunningValue(row, v);
    };
    size_t failures = 0;
    auto check = [&](const std::vector<uint8_t>& data, uint32_t offset, uint32_t length,
                     uint32_t from) {
        const uint8_t* p = data.data() + offset;
        const uint32_t want = row.portableUpdate(p, length, from);
        const uint32_t got = row.update(p, length, from);
        if (got != want && ++failures <= 5)
            ADD_FAILURE() << "length " << length << " offset " << offset << " start " << from
                          << ": " << got << " against " << want;
    };
    for (uint32_t length = 0; length <= 2048; ++length)
        check(random, length % 64, length, start(length));
    for (uint32_t offset = 1; offset < 64; ++offset) {
        check(random, offset, 1000 + offset, start(offset));
        check(ones, offset, 5504 + offset, RunningValue(row, 0xFFFFFFFF));
    }
    for (const uint32_t border : {5504u, 5552u, 11008u, 16384u, 65536u, 524288u}) {
        for (const int delta : {-65, -64, -17, -16, -1, 0, 1, 15, 16, 63, 64, 255, 256}) {
            const uint32_t length = uint32_t(int(border) + delta);
            check(random, length % 61, length, start(length));
            check(ones, 0, length, RunningValue(row, 0xFFFFFFFF));
        }
    }
    const std::vector<uint8_t> pieces = RandomBytes(4096, 23);
    uint32_t value = start(1);
    const uint32_t whole = row.portableUpdate(random.data(), kMaxLength, value);
    for (uint32_t done = 0, i = 0; done < kMaxLength; ++i) {
        const uint32_t piece =
            std::min(uint32_t(pieces[i % pieces.size()]) * 37 % 4099, kMaxLength - done);
        value = row.update(random.data() + done, piece, value);
        done += piece;
    }
    EXPECT_EQ(value, whole) << "in pieces";
}

// The checksum kernels read whole registers with masks where the input starts or ends within
// one: the bytes outside the input must not be touched, even where no memory lies beside it.
TEST_P(ChecksumPaths, ReadNothingOutsideTheInput) {
#if defined(__unix__)
    const Row& row = GetParam();
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    void* mapped =
        mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    uint8_t* const inner = static_cast<uint8_t*>(mapped) + page;
    const std::vector<uint8_t> random = RandomBytes(page, 5);
    std::copy(random.begin(), random.end(), inner);
    ASSERT_EQ(mprotect(mapped, page, PROT_NONE), 0);
    ASSERT_EQ(mprotect(inner + page, page, PROT_NONE), 0);
    for (uint32_t length = 0; length <= 1100; ++length) {
        for (const uint8_t* p : {inner, inner + page - length})
            ASSERT_EQ(row.update(p, length, 5), row.portableUpdate(p, length, 5)) << length;
    }
    munmap(mapped, 3 * page);
#else
    GTEST_SKIP() << "needs pages without access (POSIX)";
#endif
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name;
    for (const char c : info.param.name) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, BlockPaths, ::testing::ValuesIn(BlockRows()), RowName);
INSTANTIATE_TEST_SUITE_P(Rows, ChecksumPaths, ::testing::ValuesIn(ChecksumRows()), RowName);

// Every table ends in a row that runs everywhere, and the engines run the first row that
// runs here, which is the portable one with KORVADEX_PORTABLE=1.
TEST(CompressPaths, EachEngineRunsTheFirstRowThatRuns) {
    const CpuFeatures none;
    const auto check = [&](const char* engine, const auto& table, const char* here) {
        EXPECT_TRUE(table.Portable().runs(none)) << engine;
        EXPECT_STREQ(table.FirstThatRuns(none).name, table.Portable().name) << engine;
        EXPECT_STREQ(table.FirstThatRuns(Cpu()).name, here) << engine;
    };
    check("SHA-0", kSha0Paths, kSha0Stream.path());
    check("SHA-1", kSha1Paths, kSha1Stream.path());
    check("SHA-256", kSha256Paths, kSha256Stream.path());
    check("SHA-512", kSha512Paths, kSha512Stream.path());
    check("Tiger", kTigerPaths, kTigerStream.path());
    check("Whirlpool", kWhirlpoolPaths, kWhirlpoolStream.path());
    check("PANAMA", kPanamaPaths, kPanamaStream.path());
    check("Adler-32", kAdler32Paths, kAdler32Stream.path());
    check("CRC-32", kCrc32Paths, kCrc32Stream.path());
}

}  // namespace
