// Fuzz target: for every engine that takes a message in pieces (all but SHA-0 and SHA-256,
// which have only the one-shot), the one-shot digest equals the digest of the same bytes
// fed in fuzzer-chosen pieces, and a one-shot after the pieces still gives the same digest
// (no leftovers of the streaming run reach it).
//
// Input: byte 0 picks the engine variant, byte 1 the number of cut points (0 to 16), then
// two bytes per cut point (little-endian, taken modulo the message length + 1 and sorted),
// then the message.  Equal cut points give empty pieces.  Every piece and the one-shot's
// message lie in heap blocks of exactly their size, so a read one byte past the end of
// any of them is caught.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "checksums.h"
#include "digest_tables.h"
#include "gost.h"
#include "haval.h"
#include "md2.h"
#include "md4_md5.h"
#include "panama.h"
#include "ripemd.h"
#include "sha0_sha1.h"
#include "sha384_sha512.h"
#include "snefru.h"
#include "tiger.h"
#include "whirlpool.h"

namespace {

// Streaming entries of the engines whose Init leaves the fixed words to the caller: they
// load the published values here, not the engine's one-shot.

void BeginMd2(uint32_t, uint32_t) {
    Md2Init();
}
void BeginMd4(uint32_t, uint32_t) {
    Md4Init();
}
void BeginMd5(uint32_t, uint32_t) {
    Md5Init();
}
void BeginRipemd128(uint32_t, uint32_t) {
    Ripemd128Init();
}
void BeginRipemd160(uint32_t, uint32_t) {
    Ripemd160Init();
}
void BeginRipemd256(uint32_t, uint32_t) {
    Ripemd256Init();
}
void BeginRipemd320(uint32_t, uint32_t) {
    Ripemd320Init();
}

void BeginSha1(uint32_t, uint32_t) {
    static const uint32_t kInitial[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                         0xC3D2E1F0};
    Sha1Init();
    std::memcpy(Sha1Context.state, kInitial, sizeof kInitial);
}

void BeginSha384(uint32_t, uint32_t) {
    static const uint64_t kInitial[8] = {0xCBBB9D5DC1059ED8, 0x629A292A367CD507, 0x9159015A3070DD17,
                                         0x152FECD8F70E5939, 0x67332667FFC00B31, 0x8EB44A8768581511,
                                         0xDB0C2E0D64F98FA7, 0x47B5481DBEFA4FA4};
    Sha384Init();
    std::memcpy(Sha384Context.state, kInitial, sizeof kInitial);
}

void BeginSha512(uint32_t, uint32_t) {
    static const uint64_t kInitial[8] = {0x6A09E667F3BCC908, 0xBB67AE8584CAA73B, 0x3C6EF372FE94F82B,
                                         0xA54FF53A5F1D36F1, 0x510E527FADE682D1, 0x9B05688C2B3E6C1F,
                                         0x1F83D9ABFB41BD6B, 0x5BE0CD19137E2179};
    Sha512Init();
    std::memcpy(Sha512Context.state, kInitial, sizeof kInitial);
}

void BeginHaval(uint32_t bits, uint32_t passes) {
    // The first 256 fraction bits of pi.
    static const uint32_t kInitial[8] = {0x243F6A88, 0x85A308D3, 0x13198A2E, 0x03707344,
                                         0xA4093822, 0x299F31D0, 0x082EFA98, 0xEC4E6C89};
    HavalInit(bits, passes);
    std::memcpy(HavalContext.state, kInitial, sizeof kInitial);
}

void BeginTiger(uint32_t, uint32_t) {
    TigerInit();
    TigerContext.state[0] = kTigerInitialA;
    TigerContext.state[1] = kTigerInitialB;
    TigerContext.state[2] = kTigerInitialC;
}

void BeginWhirlpool(uint32_t, uint32_t) {
    WhirlpoolInit();
    std::memcpy(WhirlpoolContext.roundConstants, kWhirlpoolRoundConstants,
                sizeof kWhirlpoolRoundConstants);
}

// The chaining value starts at zero, which GostInit leaves.
void BeginGost(uint32_t, uint32_t) {
    GostInit();
}

// The padding pattern is the byte 0x01 and 31 zero bytes; PanamaInit leaves it alone.
void BeginPanama(uint32_t, uint32_t) {
    std::memset(PanamaContext.padTemplate, 0, sizeof PanamaContext.padTemplate);
    PanamaContext.padTemplate[0] = 0x01;
    PanamaInit();
}

// The chaining value starts at zero, which SnefruInit leaves.
void BeginSnefru(uint32_t bits, uint32_t passes) {
    SnefruInit(bits, passes);
}

// Snefru's padding goes through Update before Final.
const uint8_t* FinishSnefru() {
    SnefruPad();
    SnefruUpdate(SnefruContext.padding, SnefruContext.padLength);
    return SnefruFinal();
}

template <const uint8_t* (*Final)()>
DigestResult FinalAddress() {
    return DigestAddress(Final());
}

// A checksum continued piece by piece from the one-shot value of the empty message.
template <uint32_t (*Update)(const uint8_t*, uint32_t, uint32_t), DigestFn OneShot>
struct RunningChecksum {
    static inline uint32_t value = 0;
    static void Begin(uint32_t, uint32_t) {
        static const uint8_t kNone[1] = {0};
        value = uint32_t(OneShot(kNone, 0, 0, 0));
    }
    static void Add(const uint8_t* data, uint32_t length) { value = Update(data, length, value); }
    static DigestResult Finish() { return value; }
};

using Adler32Running = RunningChecksum<Adler32Update, Adler32Digest>;
using Crc16Running = RunningChecksum<Crc16Update, Crc16Digest>;
using Crc16CcittRunning = RunningChecksum<Crc16CcittUpdate, Crc16CcittDigest>;
using Crc32Running = RunningChecksum<Crc32Update, Crc32Digest>;
using Crc32bRunning = RunningChecksum<Crc32bUpdate, Crc32bDigest>;

struct StreamingEngine {
    DigestFn oneShot;
    uint32_t digestBytes;  // 0: bits / 8
    std::vector<uint32_t> bits;
    std::vector<uint32_t> passes;
    void (*begin)(uint32_t bits, uint32_t passes);
    void (*update)(const uint8_t* data, uint32_t length);
    DigestResult (*finish)();
};

// One row per engine; HAVAL and Snefru run in every combination of their parameters.
const std::vector<StreamingEngine>& Engines() {
    static const std::vector<StreamingEngine> kEngines = {
        {Adler32Digest,
         4,
         {0},
         {0},
         Adler32Running::Begin,
         Adler32Running::Add,
         Adler32Running::Finish},
        {Crc16Digest, 2, {0}, {0}, Crc16Running::Begin, Crc16Running::Add, Crc16Running::Finish},
        {Crc16CcittDigest,
         2,
         {0},
         {0},
         Crc16CcittRunning::Begin,
         Crc16CcittRunning::Add,
         Crc16CcittRunning::Finish},
        {Crc32Digest, 4, {0}, {0}, Crc32Running::Begin, Crc32Running::Add, Crc32Running::Finish},
        {Crc32bDigest,
         4,
         {0},
         {0},
         Crc32bRunning::Begin,
         Crc32bRunning::Add,
         Crc32bRunning::Finish},
        {GostDigest, 32, {0}, {0}, BeginGost, GostUpdate, FinalAddress<GostFinal>},
        {HavalDigest,
         0,
         {128, 160, 192, 224, 256},
         {3, 4, 5},
         BeginHaval,
         HavalUpdate,
         FinalAddress<HavalFinal>},
        {Md2Digest, 16, {0}, {0}, BeginMd2, Md2Update, FinalAddress<Md2Final>},
        {Md4Digest, 16, {0}, {0}, BeginMd4, Md4Update, FinalAddress<Md4Final>},
        {Md5Digest, 16, {0}, {0}, BeginMd5, Md5Update, FinalAddress<Md5Final>},
        {PanamaDigest, 32, {0}, {0}, BeginPanama, PanamaUpdate, FinalAddress<PanamaFinal>},
        {Ripemd128Digest,
         16,
         {0},
         {0},
         BeginRipemd128,
         Ripemd128Update,
         FinalAddress<Ripemd128Final>},
        {Ripemd160Digest,
         20,
         {0},
         {0},
         BeginRipemd160,
         Ripemd160Update,
         FinalAddress<Ripemd160Final>},
        {Ripemd256Digest,
         32,
         {0},
         {0},
         BeginRipemd256,
         Ripemd256Update,
         FinalAddress<Ripemd256Final>},
        {Ripemd320Digest,
         40,
         {0},
         {0},
         BeginRipemd320,
         Ripemd320Update,
         FinalAddress<Ripemd320Final>},
        {Sha1Digest, 20, {0}, {0}, BeginSha1, Sha1Update, FinalAddress<Sha1Final>},
        {Sha384Digest, 48, {0}, {0}, BeginSha384, Sha384Update, FinalAddress<Sha384Final>},
        {Sha512Digest, 64, {0}, {0}, BeginSha512, Sha512Update, FinalAddress<Sha512Final>},
        {SnefruDigest,
         0,
         {128, 256},
         {1, 2, 3, 4, 5, 6, 7, 8},
         BeginSnefru,
         SnefruUpdate,
         FinalAddress<FinishSnefru>},
        {TigerDigest, 24, {0}, {0}, BeginTiger, TigerUpdate, FinalAddress<TigerFinal>},
        {WhirlpoolDigest,
         64,
         {0},
         {0},
         BeginWhirlpool,
         WhirlpoolUpdate,
         FinalAddress<WhirlpoolFinal>},
    };
    return kEngines;
}

struct Variant {
    const StreamingEngine* engine;
    uint32_t bits;
    uint32_t passes;
};

const std::vector<Variant>& Variants() {
    static const std::vector<Variant> kVariants = [] {
        std::vector<Variant> all;
        for (const StreamingEngine& e : Engines())
            for (uint32_t b : e.bits)
                for (uint32_t p : e.passes) all.push_back({&e, b, p});
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

Bytes Digest(const Variant& v, DigestResult result) {
    const uint32_t n = v.engine->digestBytes != 0 ? v.engine->digestBytes : v.bits / 8;
    if (n > 4 && result == 0) std::abort();  // a refusal of parameters the engine documents
    Bytes out(n);
    ResultBytes(result, MakeSizeWord(1, n), out.data());
    return out;
}

Bytes OneShot(const Variant& v, const uint8_t* message, size_t n) {
    std::unique_ptr<uint8_t[]> copy = ExactCopy(message, n);
    return Digest(v, v.engine->oneShot(copy.get(), uint32_t(n), v.bits, v.passes));
}

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

    v.engine->begin(v.bits, v.passes);
    size_t from = 0;
    for (size_t to : cuts) {
        std::unique_ptr<uint8_t[]> piece = ExactCopy(message + from, to - from);
        v.engine->update(piece.get(), uint32_t(to - from));
        from = to;
    }
    if (Digest(v, v.engine->finish()) != expected) std::abort();

    if (OneShot(v, message, length) != expected) std::abort();
    return 0;
}
