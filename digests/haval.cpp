#include "haval.h"

#include <cstring>

#include "byte_order.h"

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

}  // namespace

void HavalInit(uint32_t bits, uint32_t passes) {
    HavalContext.outputBits = bits;
    HavalContext.passes = passes;
    HavalContext.byteCount = 0;
    HavalContext.blockFill = 0;
    std::memset(HavalContext.block, 0, sizeof HavalContext.block);
}

void HavalUpdate(const uint8_t* data, uint32_t length) {
    HavalContextType& c = HavalContext;
    c.byteCount += length;
    if (c.blockFill != 0) {
        const uint32_t space = kBlockLength - c.blockFill;
        if (space > length) {
            std::memcpy(c.block + c.blockFill, data, length);
            c.blockFill += length;
            return;
        }
        std::memcpy(c.block + c.blockFill, data, space);
        data += space;
        length -= space;
        HavalTransform();
        c.blockFill = 0;
        std::memset(c.block, 0, sizeof c.block);
    }
    // Whole blocks, each copied into block, compressed and cleared; the rest waits in block.
    HavalTransformBlocks(data, length / kBlockLength);
    data += length / kBlockLength * kBlockLength;
    length %= kBlockLength;
    if (length != 0) std::memcpy(c.block, data, length);
    c.blockFill = length;
}

const uint8_t* HavalFinal() {
    HavalContextType& c = HavalContext;
    c.block[c.blockFill] = 0x01;
    if (c.blockFill >= kTrailerOffset) {
        HavalTransform();
        c.blockFill = 0;
        std::memset(c.block, 0, sizeof c.block);
    }
    const uint32_t parameters = (c.outputBits << 6) | (c.passes << 3) | kVersion;
    c.block[kTrailerOffset] = uint8_t(parameters);
    c.block[kTrailerOffset + 1] = uint8_t(parameters >> 8);
    StoreLe64(c.block + kTrailerOffset + 2, uint64_t(c.byteCount) << 3);
    HavalTransform();

    Fold(c.state, c.outputBits);
    // The digest is the words D0, D1, ... in turn, each least significant byte first.
    uint8_t* digest = reinterpret_cast<uint8_t*>(c.state);
    for (int i = 0; i < 8; ++i) StoreLe32(digest + 4 * i, c.state[i]);
    return digest;
}

DigestResult HavalDigestEx(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes,
                           uint32_t d0, uint32_t d1, uint32_t d2, uint32_t d3, uint32_t d4,
                           uint32_t d5, uint32_t d6, uint32_t d7) {
    if (bits / 32 < 4 || bits / 32 > 8 || passes < 3 || passes > 5) return 0;
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
    return HavalDigestEx(data, length, bits, passes, 0x243F6A88, 0x85A308D3, 0x13198A2E, 0x03707344,
                         0xA4093822, 0x299F31D0, 0x082EFA98, 0xEC4E6C89);
}
