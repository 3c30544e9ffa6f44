#include "checksums.h"

#include "byte_order.h"
#include "digest_tables.h"

namespace {

// Largest n such that 255 n (n + 1) / 2 + (n + 1) (65521 - 1) stays below 2^32: the
// sums may run this many bytes between reductions.
constexpr uint32_t kAdlerChunk = 5552;
constexpr uint32_t kAdlerModulus = 65521;

}  // namespace

uint32_t Adler32Update(const uint8_t* data, uint32_t length, uint32_t start) {
    uint32_t a = start & 0xFFFF;
    uint32_t b = start >> 16;
    while (length != 0) {
        uint32_t chunk = length < kAdlerChunk ? length : kAdlerChunk;
        length -= chunk;
        for (; chunk >= 8; chunk -= 8, data += 8) {
            a += data[0];
            b += a;
            a += data[1];
            b += a;
            a += data[2];
            b += a;
            a += data[3];
            b += a;
            a += data[4];
            b += a;
            a += data[5];
            b += a;
            a += data[6];
            b += a;
            a += data[7];
            b += a;
        }
        for (; chunk != 0; --chunk) {
            a += *data++;
            b += a;
        }
        a %= kAdlerModulus;
        b %= kAdlerModulus;
    }
    return (b << 16) | a;
}

// The CRC loops below fold a whole word of input into the register before the byte
// steps, which saves the per-byte exclusive-or with the data; each byte still takes one
// table step.

uint32_t Crc16Update(const uint8_t* data, uint32_t length, uint32_t start) {
    uint32_t r = start & 0xFFFF;
    for (; length >= 2; length -= 2, data += 2) {
        r ^= uint32_t(data[0]) | uint32_t(data[1]) << 8;
        r = (r >> 8) ^ kCrc16Table[r & 0xFF];
        r = (r >> 8) ^ kCrc16Table[r & 0xFF];
    }
    if (length != 0) r = (r >> 8) ^ kCrc16Table[(r ^ data[0]) & 0xFF];
    return r;
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
    uint32_t r = ~start;
    for (; length >= 4; length -= 4, data += 4) {
        r ^= LoadLe32(data);
        r = (r >> 8) ^ kCrc32Table[r & 0xFF];
        r = (r >> 8) ^ kCrc32Table[r & 0xFF];
        r = (r >> 8) ^ kCrc32Table[r & 0xFF];
        r = (r >> 8) ^ kCrc32Table[r & 0xFF];
    }
    for (; length != 0; --length) r = (r >> 8) ^ kCrc32Table[(r ^ *data++) & 0xFF];
    return ~r;
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
