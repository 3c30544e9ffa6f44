// The accelerated compressions of Whirlpool and Tiger against their portable ones: every
// block count up to 2 KiB and around 16 KiB and 64 KiB, from random chaining values, with
// the data misaligned by 0 to 63 bytes; and whole messages of every length up to 2 KiB,
// taken in random pieces from misaligned starts, through the engines as they dispatch,
// against the same padding over the portable compression.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "block_engine.h"
#include "byte_order.h"
#include "cpu_features.h"
#include "digest_tables.h"
#include "test_support.h"
#include "tiger.h"
#include "tiger_i686.h"
#include "tiger_sse2.h"
#include "whirlpool.h"
#include "whirlpool_simd.h"

namespace {

// A compression over (state, data, blocks) with the state as a few 64-bit words.
using CompressFn = std::function<void(uint64_t* state, const uint8_t* data, size_t blocks)>;

struct Path {
    const char* name;
    bool available;
    const char* missing;  // what the processor lacks, when not available
    unsigned stateWords;
    CompressFn accelerated;
    CompressFn portable;
};

std::vector<Path> Paths() {
    std::vector<Path> paths;
    const CpuFeatures& cpu = DetectedCpu();
#ifdef KORVADEX_HAVE_TIGER_SSE2
    paths.push_back({"Tiger SSE2", cpu.sse2, "SSE2", 3,
                     [](uint64_t* s, const uint8_t* d, size_t n) {
                         TigerCompressSse2(*reinterpret_cast<uint64_t(*)[3]>(s), d, n);
                     },
                     [](uint64_t* s, const uint8_t* d, size_t n) {
                         TigerCompressPortable(*reinterpret_cast<uint64_t(*)[3]>(s), d, n);
                     }});
#endif
#ifdef KORVADEX_HAVE_TIGER_I686
    paths.push_back({"Tiger SSE4.1 and BMI1", cpu.sse41 && cpu.bmi1, "SSE4.1 or BMI1", 3,
                     [](uint64_t* s, const uint8_t* d, size_t n) {
                         TigerCompressSse41Bmi1(*reinterpret_cast<uint64_t(*)[3]>(s), d, n);
                     },
                     [](uint64_t* s, const uint8_t* d, size_t n) {
                         TigerCompressPortable(*reinterpret_cast<uint64_t(*)[3]>(s), d, n);
                     }});
#endif
#ifdef KORVADEX_HAVE_WHIRLPOOL_AVX512
    paths.push_back({"Whirlpool AVX-512", cpu.avx512 && cpu.avx512vbmi && cpu.gfni,
                     "AVX-512 VBMI or GFNI", 8,
                     [](uint64_t* s, const uint8_t* d, size_t n) {
                         WhirlpoolCompressAvx512(*reinterpret_cast<uint64_t(*)[8]>(s),
                                                 kWhirlpoolRoundConstants, d, n);
                     },
                     [](uint64_t* s, const uint8_t* d, size_t n) {
                         WhirlpoolCompressPortable(*reinterpret_cast<uint64_t(*)[8]>(s),
                                                   kWhirlpoolRoundConstants, d, n);
                     }});
#endif
    return paths;
}

std::vector<size_t> BlockCounts() {
    std::vector<size_t> counts;
    for (size_t n = 0; n <= 32; ++n) counts.push_back(n);
    for (size_t n : {255, 256, 257, 1023, 1024, 1025}) counts.push_back(n);
    return counts;
}

TEST(AcceleratedWhirlpoolTiger, CompressionsMatchPortable) {
    std::mt19937_64 rng(19);
    std::vector<uint8_t> buffer(1025 * 64 + 64);
    for (auto& b : buffer) b = uint8_t(rng());
    for (const Path& path : Paths()) {
        if (!path.available) {
            std::printf("skipped %s: the processor lacks %s\n", path.name, path.missing);
            continue;
        }
        for (size_t blocks : BlockCounts()) {
            const size_t offset = blocks % 64;
            uint64_t expected[8], got[8];
            for (unsigned i = 0; i < path.stateWords; ++i) expected[i] = got[i] = rng();
            path.portable(expected, buffer.data() + offset, blocks);
            path.accelerated(got, buffer.data() + offset, blocks);
            ASSERT_EQ(0, std::memcmp(expected, got, 8 * path.stateWords))
                << path.name << ", " << blocks << " blocks at offset " << offset;
        }
    }
}

// Whirlpool's padding over the portable compression, the reference for the engine as it
// dispatches.
struct PortableWhirlpool {
    using Context = WhirlpoolContextData;
    static constexpr uint8_t kMarker = 0x80;
    static constexpr size_t kTrailer = 32;
    static constexpr size_t kLengthBytes = 32;
    static constexpr bool kBigEndian = true;
    static void Compress(Context& ctx, const uint8_t* data, size_t blocks) {
        WhirlpoolCompressPortable(ctx.state, ctx.roundConstants, data, blocks);
    }
    static const uint8_t* StoreDigest(Context& ctx) {
        uint8_t* digest = reinterpret_cast<uint8_t*>(ctx.state);
        for (int i = 0; i < 8; ++i) StoreBe64(digest + 8 * i, ctx.state[i]);
        return digest;
    }
};

// Tiger's, likewise.
struct PortableTiger {
    using Context = TigerContextData;
    static constexpr uint8_t kMarker = 0x01;
    static constexpr size_t kTrailer = 8;
    static constexpr size_t kLengthBytes = 8;
    static constexpr bool kBigEndian = false;
    static void Compress(Context& ctx, const uint8_t* data, size_t blocks) {
        TigerCompressPortable(ctx.state, data, blocks);
    }
    static const uint8_t* StoreDigest(Context& ctx) {
        uint8_t* digest = reinterpret_cast<uint8_t*>(ctx.state);
        for (int i = 0; i < 3; ++i) StoreLe64(digest + 8 * i, ctx.state[i]);
        return digest;
    }
};

// Every length up to 2 KiB from a start misaligned by 1 to 63 bytes, the engine taking it in
// random pieces, the reference in one piece.
template <typename Reference, typename Init, typename Update, typename Final>
void CheckStreamed(const char* name, size_t digestBytes, Init init, Update update, Final final) {
    std::mt19937_64 rng(2019);
    std::vector<uint8_t> buffer(2048 + 64);
    for (auto& b : buffer) b = uint8_t(rng());
    for (size_t length = 0; length <= 2048; ++length) {
        const uint8_t* message = buffer.data() + 1 + length % 63;
        typename Reference::Context reference, engine;
        init(reference);
        BlockUpdate<Reference>(reference, message, length);
        const std::string expected = Hex(BlockFinal<Reference>(reference), digestBytes);
        init(engine);
        for (size_t done = 0; done < length;) {
            const size_t piece = std::min<size_t>(length - done, rng() % 200);
            update(engine, message + done, piece);
            done += piece;
        }
        ASSERT_EQ(expected, Hex(final(engine), digestBytes)) << name << ", " << length << " bytes";
    }
}

TEST(AcceleratedWhirlpoolTiger, StreamedMessagesMatchPortable) {
    CheckStreamed<PortableWhirlpool>(
        "Whirlpool", 64, [](WhirlpoolContextData& c) { WhirlpoolInit(c); },
        [](WhirlpoolContextData& c, const uint8_t* d, size_t n) { WhirlpoolUpdate(c, d, n); },
        [](WhirlpoolContextData& c) { return WhirlpoolFinal(c); });
    CheckStreamed<PortableTiger>(
        "Tiger", 24, [](TigerContextData& c) { TigerInit(c); },
        [](TigerContextData& c, const uint8_t* d, size_t n) { TigerUpdate(c, d, n); },
        [](TigerContextData& c) { return TigerFinal(c); });
}

}  // namespace
