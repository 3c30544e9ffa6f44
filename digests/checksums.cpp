#include "checksums.h"

#include "byte_order.h"
#include "digest_tables.h"

namespace {

// Largest n such that 255 n (n + 1) / 2 + (n + 1) (65521 - 1) stays below 2^32: the
// sums may run this many bytes between reductions.
constexpr uint32_t kAdlerChunk = 5552;
constexpr uint32_t kAdlerModulus = 65521;

}  // namespace

// Each chunk is summed as two halves at once, each half with its own pair of sums from
// zero, which gives the processor two independent chains of additions.  The second half's
// sums then join the first's: over m bytes, b grows by m times the a it started from.  The
// result is the integer the byte-by-byte sums reach, so the chunk bound still holds.
uint32_t Adler32Update(const uint8_t* data, uint32_t length, uint32_t start) {
    uint32_t a = start & 0xFFFF;
    uint32_t b = start >> 16;
    while (length != 0) {
        const uint32_t chunk = length < kAdlerChunk ? length : kAdlerChunk;
        length -= chunk;
        const uint32_t half = chunk / 2;
        // p walks the first half; p[half] is the byte as far into the second.
        const uint8_t* p = data;
        const uint8_t* const quads = data + (half & ~3u);
        uint32_t a2 = 0, b2 = 0;
        for (; p != quads; p += 4) {
            a += p[0];
            b += a;
            a2 += p[half];
            b2 += a2;
            a += p[1];
            b += a;
            a2 += p[half + 1];
            b2 += a2;
            a += p[2];
            b += a;
            a2 += p[half + 2];
            b2 += a2;
            a += p[3];
            b += a;
            a2 += p[half + 3];
            b2 += a2;
        }
        for (; p != data + half; ++p) {
            a += p[0];
            b += a;
            a2 += p[half];
            b2 += a2;
        }
        data += 2 * half;
        if (chunk % 2 != 0) {
            a2 += *data++;
            b2 += a2;
        }
        const uint32_t m = chunk - half;  // the bytes of the second half
        b += m * a + b2;
        a += a2;
        a %= kAdlerModulus;
        b %= kAdlerModulus;
    }
    return (b << 16) | a;
}

// The CRC loops below fold a whole word of input into the register before the byte
// steps, which saves the per-byte exclusive-or with the data; each byte still takes one
// table step.  The reflected variants keep their register in a machine word: the bytes
// above the CRC's own width are input that the right shifts bring down to the table index
// one by one.  (On a 32-bit machine that is four bytes a fold; a wider register there would
// cost a double shift per step.)
//
// In the reflected steps the table term is written first: GCC then takes the index into a
// register of its own (movzbl %al,%ecx) instead of copying the register and narrowing it in
// place, which takes the narrowing off the chain from one step to the next on processors
// that eliminate such moves; a seventh faster on Intel cores, the same on AMD ones.

namespace {

size_t LoadLeWord(const uint8_t* p) {
    if constexpr (sizeof(size_t) == 8) {
        return size_t(LoadLe64(p));
    } else {
        return LoadLe32(p);
    }
}

}  // namespace

uint32_t Crc16Update(const uint8_t* data, uint32_t length, uint32_t start) {
    using Word = size_t;
    Word r = start & 0xFFFF;
    for (; length >= sizeof(Word); length -= sizeof(Word), data += sizeof(Word)) {
        r ^= LoadLeWord(data);
        for (size_t k = 0; k < sizeof(Word); ++k) r = kCrc16Table[r & 0xFF] ^ (r >> 8);
    }
    for (; length != 0; --length) r = kCrc16Table[(r ^ *data++) & 0xFF] ^ (r >> 8);
    return uint32_t(r);
}

uint32_t Crc16CcittUpdate(const uint8_t* data, uint32_t length, uint32_t start) {
    uint32_t r = start & 0xFFFF;
    for (; length >= 2; length -= 2, data += 2) {
        r ^= uint32_t(data[0]) << 8 | uint32_t(data[1]);
        r = ((r << 8) & 0xFFFF) ^ kCrc16CcittTable[r >> 8];
        r = ((r << 8) & 0xFFFF) ^ kCrc16CcittTable[r >> 8];
    }
    if (length != 0) r = ((r << 8) & 0xFFFF) ^ kCrc16CcittTable[(r >> 8) ^ data[0]];
    return r;
}

uint32_t Crc32Update(const uint8_t* data, uint32_t length, uint32_t start) {
    using Word = size_t;
    Word r = uint32_t(~start);
    for (; length >= sizeof(Word); length -= sizeof(Word), data += sizeof(Word)) {
        r ^= LoadLeWord(data);
        for (size_t k = 0; k < sizeof(Word); ++k) r = kCrc32Table[r & 0xFF] ^ (r >> 8);
    }
    for (; length != 0; --length) r = kCrc32Table[(r ^ *data++) & 0xFF] ^ (r >> 8);
    return ~uint32_t(r);
}

uint32_t Crc32bUpdate(const uint8_t* data, uint32_t length, uint32_t start) {
    uint32_t r = ~start;
    for (; length >= 4; length -= 4, data += 4) {
        r ^= LoadBe32(data);
        r = (r << 8) ^ kCrc32bTable[r >> 24];
        r = (r << 8) ^ kCrc32bTable[r >> 24];
        r = (r << 8) ^ kCrc32bTable[r >> 24];
        r = (r << 8) ^ kCrc32bTable[r >> 24];
    }
    for (; length != 0; --length) r = (r << 8) ^ kCrc32bTable[(r >> 24) ^ *data++];
    return ~r;
}

DigestResult Adler32Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Adler32Update(data, length, 1);
}

DigestResult Crc16Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Crc16Update(data, length, 0);
}

DigestResult Crc16CcittDigest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Crc16CcittUpdate(data, length, 0xFFFFFFFF);
}

DigestResult Crc32Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Crc32Update(data, length, 0);
}

DigestResult Crc32bDigest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Crc32bUpdate(data, length, 0);
}
