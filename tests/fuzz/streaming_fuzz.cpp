// Fuzz target: for every engine, the one-shot digest equals the digest of the same bytes fed
// in fuzzer-chosen pieces to the engine's streaming form, and a one-shot after the pieces
// still gives the same digest (no leftovers of the streaming run reach it).
//
// Input: byte 0 picks the engine variant, byte 1 the number of cut points (0 to 16), then
// two bytes per cut point (little-endian, taken modulo the message length + 1 and sorted),
// then the message.  Equal cut points give empty pieces.  Every piece and the one-shot's
// message lie in heap blocks of exactly their size, so a read one byte past the end of any
// of them is caught; the streaming context lies in one of its size rounded up to the
// alignment.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "checksums.h"
#include "gost.h"
#include "haval.h"
#include "md2.h"
#include "md4_md5.h"
#include "panama.h"
#include "ripemd.h"
#include "sha0_sha1.h"
#include "sha256.h"
#include "sha384_sha512.h"
#include "snefru.h"
#include "streaming_engines.h"
#include "tiger.h"
#include "whirlpool.h"

namespace {

struct Engine {
    const StreamingEngine& stream;
    DigestFn oneShot;
    std::vector<SizeWord> sizes;  // one per output length in bits, in the order of bits
    std::vector<uint32_t> bits;
    std::vector<uint32_t> passes;
};

// One row per engine; HAVAL and Snefru run in every combination of their parameters.
const std::vector<Engine>& Engines() {
    static const std::vector<Engine> kEngines = {
        {kAdler32Stream, Adler32Digest, {kAdler32Size}, {0}, {0}},
        {kCrc16Stream, Crc16Digest, {kCrc16Size}, {0}, {0}},
        {kCrc16CcittStream, Crc16CcittDigest, {kCrc16CcittSize}, {0}, {0}},
        {kCrc32Stream, Crc32Digest, {kCrc32Size}, {0}, {0}},
        {kCrc32bStream, Crc32bDigest, {kCrc32bSize}, {0}, {0}},
        {kGostStream, GostDigest, {kGostSize}, {0}, {0}},
        {kHavalStream,
         HavalDigest,
         {kHaval128Size, kHaval160Size, kHaval192Size, kHaval224Size, kHaval256Size},
         {128, 160, 192, 224, 256},
         {3, 4, 5}},
        {kMd2Stream, Md2Digest, {kMd2Size}, {0}, {0}},
        {kMd4Stream, Md4Digest, {kMd4Size}, {0}, {0}},
        {kMd5Stream, Md5Digest, {kMd5Size}, {0}, {0}},
        {kPanamaStream, PanamaDigest, {kPanamaSize}, {0}, {0}},
        {kRipemd128Stream, Ripemd128Digest, {kRipemd128Size}, {0}, {0}},
        {kRipemd160Stream, Ripemd160Digest, {kRipemd160Size}, {0}, {0}},
        {kRipemd256Stream, Ripemd256Digest, {kRipemd256Size}, {0}, {0}},
        {kRipemd320Stream, Ripemd320Digest, {kRipemd320Size}, {0}, {0}},
        {kSha0Stream, Sha0Digest, {kSha0Size}, {0}, {0}},
        {kSha1Stream, Sha1Digest, {kSha1Size}, {0}, {0}},
        {kSha256Stream, Sha256Digest, {kSha256Size}, {0}, {0}},
        {kSha384Stream, Sha384Digest, {kSha384Size}, {0}, {0}},
        {kSha512Stream, Sha512Digest, {kSha512Size}, {0}, {0}},
        {kSnefruStream,
         SnefruDigest,
         {kSnefru128Size, kSnefru256Size},
         {128, 256},
         {1, 2, 3, 4, 5, 6, 7, 8}},
        {kTigerStream, TigerDigest, {kTigerSize}, {0}, {0}},
        {kWhirlpoolStream, WhirlpoolDigest, {kWhirlpoolSize}, {0}, {0}},
    };
    return kEngines;
}

struct Variant {
    const Engine* engine;
    SizeWord size;
    uint32_t bits;
    uint32_t passes;
};

const std::vector<Variant>& Variants() {
    static const std::vector<Variant> kVariants = [] {
        std::vector<Variant> all;
        for (const Engine& e : Engines())
            for (size_t b = 0; b < e.bits.size(); ++b)
                for (uint32_t p : e.passes) all.push_back({&e, e.sizes[b], e.bits[b], p});
        return all;
    }();
    return kVariants;
}

using Bytes = std::vector<uint8_t>;

// The n bytes at data in a heap block of exactly n bytes (also for n = 0).
std::unique_ptr<uint8_t[]> ExactCopy(const uint8_t* data, size_t n) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n]);
    if (n != 0) std::memcpy(copy.get(), data, n);
    return copy;
}

Bytes OneShot(const Variant& v, const uint8_t* message, size_t n) {
    std::unique_ptr<uint8_t[]> copy = ExactCopy(message, n);
    const DigestResult result = v.engine->oneShot(copy.get(), uint32_t(n), v.bits, v.passes);
    if (DigestLength(v.size) > 4 && result == 0) std::abort();  // the parameters are valid
    Bytes out(DigestLength(v.size));
    ResultBytes(result, v.size, out.data());
    return out;
}

struct AlignedFree {
    void operator()(void* p) const { std::free(p); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const Variant& v = Variants()[data[0] % Variants().size()];
    const size_t cutCount = std::min<size_t>(data[1] % 17, (size - 2) / 2);
    const uint8_t* message = data + 2 + 2 * cutCount;
    const size_t length = size - 2 - 2 * cutCount;

    std::vector<size_t> cuts;
    for (size_t i = 0; i < cutCount; ++i) {
        const size_t raw = data[2 + 2 * i] | size_t(data[3 + 2 * i]) << 8;
        cuts.push_back(raw % (length + 1));
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(length);

    const Bytes expected = OneShot(v, message, length);

    const StreamingEngine& stream = v.engine->stream;
    const size_t contextBytes =
        (stream.contextSize + kStreamContextAlign - 1) / kStreamContextAlign * kStreamContextAlign;
    std::unique_ptr<void, AlignedFree> context(
        std::aligned_alloc(kStreamContextAlign, contextBytes));
    if (!stream.init(context.get(), v.bits, v.passes)) std::abort();
    size_t from = 0;
    for (size_t to : cuts) {
        std::unique_ptr<uint8_t[]> piece = ExactCopy(message + from, to - from);
        stream.update(context.get(), piece.get(), to - from);
        from = to;
    }
    Bytes streamed(DigestLength(v.size));
    stream.final(context.get(), streamed.data());
    if (streamed != expected) std::abort();

    if (OneShot(v, message, length) != expected) std::abort();
    return 0;
}
