// The accelerated compressions set against the portable ones: over random chaining values
// and blocks, over whole padded messages of many lengths and misaligned starts, in pieces,
// and through the engines, which dispatch to them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "cpu_features.h"
#include "digest_tables.h"
#include "sha0_sha1.h"
#include "sha256.h"
#include "sha384_sha512.h"
#include "sha512_avx512vl.h"
#include "sha512_sse2.h"
#include "sha_accelerated.h"
#include "test_support.h"
#include "whirlpool.h"
#include "whirlpool_simd.h"

#ifdef KORVADEX_HAVE_SHA_ACCELERATED

namespace {

// Every compression over one state type: up to eight words, 32-bit ones in the low halves.
using Compression = void (*)(uint64_t (&state)[8], const uint8_t* data, size_t blocks);

template <size_t N, auto F>
void Words32(uint64_t (&state)[8], const uint8_t* data, size_t blocks) {
    uint32_t words[N];
    for (size_t i = 0; i < N; ++i) words[i] = uint32_t(state[i]);
    F(words, data, blocks);
    for (size_t i = 0; i < N; ++i) state[i] = words[i];
}

const char* WithoutShaExtensions() {
    const CpuFeatures& cpu = DetectedCpu();
    return cpu.sha && cpu.sse41 ? nullptr : "the processor lacks the SHA extensions or SSE4.1";
}

// Streams a message through an engine's Update in the given pieces (cycled), from its
// initial value; returns the digest's hex.
using Streamed = std::string (*)(const uint8_t* data, size_t length,
                                 const std::vector<size_t>& pieces);

template <typename Update>
void Feed(const uint8_t* data, size_t length, const std::vector<size_t>& pieces, Update update) {
    for (size_t i = 0; length != 0; ++i) {
        const size_t n = std::min(pieces[i % pieces.size()], length);
        update(data, n);
        data += n;
        length -= n;
    }
}

std::string StreamSha1(const uint8_t* data, size_t length, const std::vector<size_t>& pieces) {
    Sha1Init();
    const uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::memcpy(Sha1Context.state, h, sizeof h);
    Feed(data, length, pieces, [](const uint8_t* p, size_t n) { Sha1Update(p, uint32_t(n)); });
    return Hex(Sha1Final(), 20);
}

// Whirlpool's compressions with its published round constants.
template <auto F>
void WithRoundConstants(uint64_t (&state)[8], const uint8_t* data, size_t blocks) {
    uint64_t rc[10];
    std::memcpy(rc, kWhirlpoolRoundConstants, sizeof rc);
    F(state, rc, data, blocks);
}

const char* WithoutWhirlpoolAvx512() {
    const CpuFeatures& cpu = DetectedCpu();
    return cpu.avx512 && cpu.avx512vbmi && cpu.gfni ? nullptr
                                                    : "the processor lacks AVX-512 VBMI or GFNI";
}

std::string StreamWhirlpool(const uint8_t* data, size_t length, const std::vector<size_t>& pieces) {
    WhirlpoolInit();
    std::memcpy(WhirlpoolContext.roundConstants, kWhirlpoolRoundConstants,
                sizeof WhirlpoolContext.roundConstants);
    Feed(data, length, pieces, [](const uint8_t* p, size_t n) { WhirlpoolUpdate(p, uint32_t(n)); });
    return Hex(WhirlpoolFinal(), 64);
}

// SHA-0 and SHA-256 stream over contexts of their own.
std::string StreamSha0(const uint8_t* data, size_t length, const std::vector<size_t>& pieces) {
    Sha0StreamContextType ctx;
    Sha0Init(ctx);
    Feed(data, length, pieces, [&ctx](const uint8_t* p, size_t n) { Sha0Update(ctx, p, n); });
    return Hex(Sha0Final(ctx), 20);
}

std::string StreamSha256(const uint8_t* data, size_t length, const std::vector<size_t>& pieces) {
    Sha256StreamContextType ctx;
    Sha256Init(ctx);
    Feed(data, length, pieces, [&ctx](const uint8_t* p, size_t n) { Sha256Update(ctx, p, n); });
    return Hex(Sha256Final(ctx), 32);
}

#ifdef KORVADEX_HAVE_SHA512_ACCELERATED
const char* WithoutAvx2() {
    const CpuFeatures& cpu = DetectedCpu();
    return cpu.avx2 && cpu.bmi1 && cpu.bmi2 ? nullptr : "the processor lacks AVX2, BMI1 or BMI2";
}
const char* WithoutAvx2Avx512() {
    if (const char* why = WithoutAvx2()) return why;
    return DetectedCpu().avx512 ? nullptr : "the processor lacks AVX-512 F, BW or VL";
}
#endif

// The 32-bit build's SHA-384/512 compressions (built for 64-bit too, to be tested there).
#ifdef KORVADEX_HAVE_SHA512_AVX512VL
const char* WithoutAvx512() {
    return DetectedCpu().avx512 ? nullptr : "the processor lacks AVX-512 F, BW or VL";
}
#endif
#ifdef KORVADEX_HAVE_SHA512_SSE2
const char* WithoutSse2() {
    return DetectedCpu().sse2 ? nullptr : "the processor lacks SSE2";
}
void Sha512CompressSse2Blocks(uint64_t (&state)[8], const uint8_t* data, size_t blocks) {
    for (; blocks != 0; --blocks, data += 128) Sha512CompressSse2(state, data);
}
#endif

const uint64_t kSha384Initial[8] = {0xCBBB9D5DC1059ED8, 0x629A292A367CD507, 0x9159015A3070DD17,
                                    0x152FECD8F70E5939, 0x67332667FFC00B31, 0x8EB44A8768581511,
                                    0xDB0C2E0D64F98FA7, 0x47B5481DBEFA4FA4};
const uint64_t kSha512Initial[8] = {0x6A09E667F3BCC908, 0xBB67AE8584CAA73B, 0x3C6EF372FE94F82B,
                                    0xA54FF53A5F1D36F1, 0x510E527FADE682D1, 0x9B05688C2B3E6C1F,
                                    0x1F83D9ABFB41BD6B, 0x5BE0CD19137E2179};

std::string StreamSha384(const uint8_t* data, size_t length, const std::vector<size_t>& pieces) {
    Sha384Init();
    std::memcpy(Sha384Context.state, kSha384Initial, sizeof kSha384Initial);
    Feed(data, length, pieces, [](const uint8_t* p, size_t n) { Sha384Update(p, uint32_t(n)); });
    return Hex(Sha384Final(), 48);
}

std::string StreamSha512(const uint8_t* data, size_t length, const std::vector<size_t>& pieces) {
    Sha512Init();
    std::memcpy(Sha512Context.state, kSha512Initial, sizeof kSha512Initial);
    Feed(data, length, pieces, [](const uint8_t* p, size_t n) { Sha512Update(p, uint32_t(n)); });
    return Hex(Sha512Final(), 64);
}

struct Path {
    const char* name;
    const char* (*missing)();  // why the processor cannot run it, or nullptr
    Compression accelerated;
    Compression portable;
    size_t block;        // bytes
    size_t lengthBytes;  // the width of the length field at the end of the padding
    size_t wordBytes;    // 4 or 8
    size_t digestBytes;
    uint64_t initial[8];
    DigestFn digest;  // the engine, which dispatches
    SizeWord size;
    Streamed streamed;  // the engine's Update in pieces
};

const Path kPaths[] = {
    {"SHA-1, SHA extensions",
     WithoutShaExtensions,
     Words32<5, Sha1CompressShaExt>,
     Words32<5, Sha1CompressPortable>,
     64,
     8,
     4,
     20,
     {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0},
     Sha1Digest,
     kSha1Size,
     StreamSha1},
    {"SHA-0, SHA extensions",
     WithoutShaExtensions,
     Words32<5, Sha0CompressShaExt>,
     Words32<5, Sha0CompressPortable>,
     64,
     8,
     4,
     20,
     {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0},
     Sha0Digest,
     kSha0Size,
     StreamSha0},
    {"SHA-256, SHA extensions",
     WithoutShaExtensions,
     Words32<8, Sha256CompressShaExt>,
     Words32<8, Sha256CompressPortable>,
     64,
     8,
     4,
     32,
     {0x6A09E667, 0xBB67AE85, 0x3C6EF372, 0xA54FF53A, 0x510E527F, 0x9B05688C, 0x1F83D9AB,
      0x5BE0CD19},
     Sha256Digest,
     kSha256Size,
     StreamSha256},
#ifdef KORVADEX_HAVE_SHA512_ACCELERATED
    {"SHA-512, AVX2 schedule",
     WithoutAvx2,
     Sha512CompressAvx2,
     Sha512CompressPortable,
     128,
     16,
     8,
     64,
     {kSha512Initial[0], kSha512Initial[1], kSha512Initial[2], kSha512Initial[3], kSha512Initial[4],
      kSha512Initial[5], kSha512Initial[6], kSha512Initial[7]},
     Sha512Digest,
     kSha512Size,
     StreamSha512},
    {"SHA-384, AVX2 schedule",
     WithoutAvx2,
     Sha512CompressAvx2,
     Sha512CompressPortable,
     128,
     16,
     8,
     48,
     {kSha384Initial[0], kSha384Initial[1], kSha384Initial[2], kSha384Initial[3], kSha384Initial[4],
      kSha384Initial[5], kSha384Initial[6], kSha384Initial[7]},
     Sha384Digest,
     kSha384Size,
     StreamSha384},
    {"SHA-512, AVX2 steps, AVX-512 VL schedule",
     WithoutAvx2Avx512,
     Sha512CompressAvx2Avx512Vl,
     Sha512CompressPortable,
     128,
     16,
     8,
     64,
     {kSha512Initial[0], kSha512Initial[1], kSha512Initial[2], kSha512Initial[3], kSha512Initial[4],
      kSha512Initial[5], kSha512Initial[6], kSha512Initial[7]},
     Sha512Digest,
     kSha512Size,
     StreamSha512},
#endif
#ifdef KORVADEX_HAVE_SHA512_AVX512VL
    {"SHA-512, AVX-512 registers",
     WithoutAvx512,
     Sha512CompressAvx512Vl,
     Sha512CompressPortable,
     128,
     16,
     8,
     64,
     {kSha512Initial[0], kSha512Initial[1], kSha512Initial[2], kSha512Initial[3], kSha512Initial[4],
      kSha512Initial[5], kSha512Initial[6], kSha512Initial[7]},
     Sha512Digest,
     kSha512Size,
     StreamSha512},
    {"SHA-384, AVX-512 registers",
     WithoutAvx512,
     Sha512CompressAvx512Vl,
     Sha512CompressPortable,
     128,
     16,
     8,
     48,
     {kSha384Initial[0], kSha384Initial[1], kSha384Initial[2], kSha384Initial[3], kSha384Initial[4],
      kSha384Initial[5], kSha384Initial[6], kSha384Initial[7]},
     Sha384Digest,
     kSha384Size,
     StreamSha384},
#endif
#ifdef KORVADEX_HAVE_SHA512_SSE2
    {"SHA-512, SSE2 registers",
     WithoutSse2,
     Sha512CompressSse2Blocks,
     Sha512CompressPortable,
     128,
     16,
     8,
     64,
     {kSha512Initial[0], kSha512Initial[1], kSha512Initial[2], kSha512Initial[3], kSha512Initial[4],
      kSha512Initial[5], kSha512Initial[6], kSha512Initial[7]},
     Sha512Digest,
     kSha512Size,
     StreamSha512},
#endif
#ifdef KORVADEX_HAVE_WHIRLPOOL_AVX512
    {"Whirlpool, AVX-512",
     WithoutWhirlpoolAvx512,
     WithRoundConstants<WhirlpoolCompressAvx512>,
     WithRoundConstants<WhirlpoolCompressPortable>,
     64,
     32,
     8,
     64,
     {},
     WhirlpoolDigest,
     kWhirlpoolSize,
     StreamWhirlpool},
#endif
};

void PrintTo(const Path& path, std::ostream* out) {
    *out << path.name;
}

// The message padded as the SHA family and Whirlpool pad: 0x80, zeros, the bit length most
// significant byte first in a field of lengthField bytes that ends a whole number of blocks.
std::vector<uint8_t> Padded(const uint8_t* data, size_t length, size_t block, size_t lengthField) {
    std::vector<uint8_t> padded(data, data + length);
    padded.push_back(0x80);
    while (padded.size() % block != block - lengthField) padded.push_back(0);
    padded.resize(padded.size() + lengthField - 8, 0);
    const uint64_t bits = uint64_t(length) * 8;
    for (int i = 7; i >= 0; --i) padded.push_back(uint8_t(bits >> (8 * i)));
    return padded;
}

// The digest of a padded message of `blocks` blocks at data, its words most significant
// byte first.
std::string DigestOver(const Path& path, Compression compress, const uint8_t* data, size_t blocks) {
    uint64_t state[8];
    std::memcpy(state, path.initial, sizeof state);
    compress(state, data, blocks);
    std::vector<uint8_t> digest;
    for (size_t i = 0; digest.size() < path.digestBytes; ++i) {
        for (int b = int(path.wordBytes) - 1; b >= 0; --b)
            digest.push_back(uint8_t(state[i] >> (8 * b)));
    }
    return Hex(digest);
}

std::vector<size_t> MessageLengths() {
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 2048; ++n) lengths.push_back(n);
    for (const size_t border : {size_t(16384), size_t(65536)}) {
        for (const int d : {-129, -128, -65, -64, -63, -1, 0, 1, 63, 64, 65, 127, 128, 129}) {
            lengths.push_back(size_t(int(border) + d));
        }
    }
    return lengths;
}

class AcceleratedPaths : public ::testing::TestWithParam<Path> {
protected:
    void SetUp() override {
        if (const char* why = GetParam().missing()) GTEST_SKIP() << GetParam().name << ": " << why;
    }
};

// Random chaining values over 0 to 40 random blocks at every start offset: the same state.
TEST_P(AcceleratedPaths, RandomStatesAndBlocks) {
    const Path& path = GetParam();
    const std::vector<uint8_t> data = RandomBytes(41 * path.block + 64, 19);
    const std::vector<uint8_t> seeds = RandomBytes(64 * 41 * 8 * 8, 20);
    size_t seed = 0;
    for (size_t offset = 0; offset < 64; ++offset) {
        for (size_t blocks = 0; blocks <= 40; ++blocks) {
            uint64_t a[8], p[8];
            std::memcpy(a, seeds.data() + 64 * seed++, sizeof a);
            if (path.wordBytes == 4) {
                for (uint64_t& word : a) word &= 0xFFFFFFFF;
            }
            std::memcpy(p, a, sizeof a);
            path.accelerated(a, data.data() + offset, blocks);
            path.portable(p, data.data() + offset, blocks);
            ASSERT_EQ(0, std::memcmp(a, p, sizeof a))
                << path.name << ", " << blocks << " blocks at offset " << offset;
        }
    }
}

// Whole messages of every length to 2 KiB and around the 16 and 64 KiB borders, each
// starting 1 to 63 bytes off an aligned address (by length): the accelerated and portable
// compressions over the padded message, and the engine's digest of the message itself.
TEST_P(AcceleratedPaths, MessagesOfManyLengths) {
    const Path& path = GetParam();
    const std::vector<uint8_t> random = RandomBytes(65536 + 256 + 64, 21);
    for (const size_t length : MessageLengths()) {
        const size_t offset = 1 + length % 63;
        const uint8_t* message = random.data() + offset;
        const std::vector<uint8_t> padded = Padded(message, length, path.block, path.lengthBytes);
        const std::vector<uint8_t> shifted = [&] {
            std::vector<uint8_t> v(offset, 0xA5);
            v.insert(v.end(), padded.begin(), padded.end());
            return v;
        }();
        const size_t blocks = padded.size() / path.block;
        const std::string expected = DigestOver(path, path.portable, padded.data(), blocks);
        ASSERT_EQ(expected, DigestOver(path, path.accelerated, shifted.data() + offset, blocks))
            << path.name << ", length " << length;
        ASSERT_EQ(expected, ResultHex(path.digest(message, uint32_t(length), 0, 0), path.size))
            << path.name << ", length " << length;
    }
}

// The compression in pieces of 1, 2, 3, 5, 7 blocks (cycled) leaves the state of one call;
// the engine's Update in pieces of odd sizes gives the one-shot digest.
TEST_P(AcceleratedPaths, InPieces) {
    const Path& path = GetParam();
    const std::vector<uint8_t> data = RandomBytes(70000, 22);
    const size_t blocks = data.size() / path.block;
    uint64_t whole[8], pieces[8];
    std::memcpy(whole, path.initial, sizeof whole);
    std::memcpy(pieces, path.initial, sizeof pieces);
    path.portable(whole, data.data(), blocks);
    const size_t sizes[] = {1, 2, 3, 5, 7};
    for (size_t done = 0, i = 0; done < blocks; ++i) {
        const size_t n = std::min(sizes[i % 5], blocks - done);
        path.accelerated(pieces, data.data() + done * path.block, n);
        done += n;
    }
    ASSERT_EQ(0, std::memcmp(whole, pieces, sizeof whole)) << path.name;

    const std::string oneShot =
        ResultHex(path.digest(data.data(), uint32_t(data.size()), 0, 0), path.size);
    for (const std::vector<size_t>& split :
         {std::vector<size_t>{1, 0, 126, 1, 300, 128, 221},
          std::vector<size_t>{63, 65, 4096, 129, 5}, std::vector<size_t>{16384, 1, 65535}}) {
        ASSERT_EQ(oneShot, path.streamed(data.data(), data.size(), split)) << path.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, AcceleratedPaths, ::testing::ValuesIn(kPaths),
                         [](const ::testing::TestParamInfo<Path>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c) {
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             }
                             return name;
                         });

}  // namespace

#endif
