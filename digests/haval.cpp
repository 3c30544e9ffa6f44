#include "haval.h"

#include <cstring>

#include "block_engine.h"
#include "byte_order.h"
#include "digest_tables.h"
#include "stream_adapters.h"
#include "streaming_engines.h"

HavalContextType HavalContext;

namespace {

constexpr uint32_t kBlockLength = 128;
// The trailer fills the last ten bytes of the final block: a 16-bit word with the output
// length, the pass count and the version, then the 64-bit message length in bits.
constexpr uint32_t kTrailerOffset = 118;
constexpr uint32_t kVersion = 1;

// Folds the 256-bit chaining value d into its first bits / 32 words (the output
// tailoring of HAVAL): bit fields of the surplus words are added into the kept ones.
void Fold(uint32_t* d, uint32_t bits) {
    uint32_t t;
    switch (bits) {
        case 128:
            t = (d[7] & 0x000000FF) | (d[6] & 0xFF000000) | (d[5] & 0x00FF0000) |
                (d[4] & 0x0000FF00);
            d[0] += Rotr32(t, 8);
            t = (d[7] & 0x0000FF00) | (d[6] & 0x000000FF) | (d[5] & 0xFF000000) |
                (d[4] & 0x00FF0000);
            d[1] += Rotr32(t, 16);
            t = (d[7] & 0x00FF0000) | (d[6] & 0x0000FF00) | (d[5] & 0x000000FF) |
                (d[4] & 0xFF000000);
            d[2] += Rotr32(t, 24);
            t = (d[7] & 0xFF000000) | (d[6] & 0x00FF0000) | (d[5] & 0x0000FF00) |
                (d[4] & 0x000000FF);
            d[3] += t;
            break;
        case 160:
            t = (d[7] & 0x3Fu) | (d[6] & (0x7Fu << 25)) | (d[5] & (0x3Fu << 19));
            d[0] += Rotr32(t, 19);
            t = (d[7] & (0x3Fu << 6)) | (d[6] & 0x3Fu) | (d[5] & (0x7Fu << 25));
            d[1] += Rotr32(t, 25);
            t = (d[7] & (0x7Fu << 12)) | (d[6] & (0x3Fu << 6)) | (d[5] & 0x3Fu);
            d[2] += t;
            t = (d[7] & (0x3Fu << 19)) | (d[6] & (0x7Fu << 12)) | (d[5] & (0x3Fu << 6));
            d[3] += t >> 6;
            t = (d[7] & (0x7Fu << 25)) | (d[6] & (0x3Fu << 19)) | (d[5] & (0x7Fu << 12));
            d[4] += t >> 12;
            break;
        case 192:
            t = (d[7] & 0x1Fu) | (d[6] & (0x3Fu << 26));
            d[0] += Rotr32(t, 26);
            t = (d[7] & (0x1Fu << 5)) | (d[6] & 0x1Fu);
            d[1] += t;
            t = (d[7] & (0x3Fu << 10)) | (d[6] & (0x1Fu << 5));
            d[2] += t >> 5;
            t = (d[7] & (0x1Fu << 16)) | (d[6] & (0x3Fu << 10));
            d[3] += t >> 10;
            t = (d[7] & (0x1Fu << 21)) | (d[6] & (0x1Fu << 16));
            d[4] += t >> 16;
            t = (d[7] & (0x3Fu << 26)) | (d[6] & (0x1Fu << 21));
            d[5] += t >> 21;
            break;
        case 224:
            // D7 from its top bit down in fields of 5, 5, 4, 5, 4, 5 and 4 bits.
            d[0] += (d[7] >> 27) & 0x1F;
            d[1] += (d[7] >> 22) & 0x1F;
            d[2] += (d[7] >> 18) & 0x0F;
            d[3] += (d[7] >> 13) & 0x1F;
            d[4] += (d[7] >> 9) & 0x0F;
            d[5] += (d[7] >> 4) & 0x1F;
            d[6] += d[7] & 0x0F;
            break;
        default:  // 256 bits, and the non-standard lengths, are not folded
            break;
    }
}

struct HavalTraits {
    using Context = HavalContextType;
    static constexpr uint8_t kMarker = 0x01;
    static constexpr size_t kTrailer = 10;
    static constexpr size_t kLengthBytes = 8;
    static constexpr bool kBigEndian = false;
    static void Compress(Context& ctx, const uint8_t* data, size_t blocks) {
        HavalCompressBlocks(ctx.state, ctx.passes, data, blocks);
    }
    static void StoreTrailer(Context& ctx, uint8_t* trailer) {
        const uint32_t parameters = (ctx.outputBits << 6) | (ctx.passes << 3) | kVersion;
        trailer[0] = uint8_t(parameters);
        trailer[1] = uint8_t(parameters >> 8);
    }
    static const uint8_t* StoreDigest(Context& ctx) {
        Fold(ctx.state, ctx.outputBits);
        // The digest is the words D0, D1, ... in turn, each least significant byte first.
        uint8_t* digest = reinterpret_cast<uint8_t*>(ctx.state);
        for (int i = 0; i < 8; ++i) StoreLe32(digest + 4 * i, ctx.state[i]);
        return digest;
    }
};
static_assert(kBlockLength - HavalTraits::kTrailer == kTrailerOffset, "the trailer's place");

bool Accepted(uint32_t bits, uint32_t passes) {
    return bits / 32 >= 4 && bits / 32 <= 8 && passes >= 3 && passes <= 5;
}

void Seed(HavalContextType& ctx, uint32_t bits, uint32_t passes) {
    ctx.outputBits = bits;
    ctx.passes = passes;
    BlockSeed<HavalTraits>(ctx);
}

}  // namespace

void HavalInit(uint32_t bits, uint32_t passes) {
    Seed(HavalContext, bits, passes);
}
void HavalUpdate(const uint8_t* data, uint32_t length) {
    HavalUpdate(HavalContext, data, length);
}
const uint8_t* HavalFinal() {
    return HavalFinal(HavalContext);
}

bool HavalInit(HavalContextType& ctx, uint32_t bits, uint32_t passes) {
    if (!Accepted(bits, passes)) return false;
    Seed(ctx, bits, passes);
    std::memcpy(ctx.state, kHavalInitialValue, sizeof kHavalInitialValue);
    return true;
}
void HavalUpdate(HavalContextType& ctx, const uint8_t* data, size_t length) {
    BlockUpdate<HavalTraits>(ctx, data, length);
}
const uint8_t* HavalFinal(HavalContextType& ctx) {
    return BlockFinal<HavalTraits>(ctx);
}

DigestResult HavalDigestEx(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes,
                           uint32_t d0, uint32_t d1, uint32_t d2, uint32_t d3, uint32_t d4,
                           uint32_t d5, uint32_t d6, uint32_t d7) {
    if (!Accepted(bits, passes)) return 0;
    HavalInit(bits, passes);
    uint32_t* s = HavalContext.state;
    s[0] = d0;
    s[1] = d1;
    s[2] = d2;
    s[3] = d3;
    s[4] = d4;
    s[5] = d5;
    s[6] = d6;
    s[7] = d7;
    HavalUpdate(data, length);
    return DigestAddress(HavalFinal());
}

DigestResult HavalDigest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes) {
    const uint32_t* d = kHavalInitialValue;
    return HavalDigestEx(data, length, bits, passes, d[0], d[1], d[2], d[3], d[4], d[5], d[6],
                         d[7]);
}

namespace {
size_t HavalDigestBytes(const HavalContextType& ctx) {
    return ctx.outputBits / 8;
}
}  // namespace

const StreamingEngine kHavalStream = ParameterAdapter<HavalContextType, HavalInit, HavalUpdate,
                                                      HavalFinal, HavalDigestBytes>::kEngine;
