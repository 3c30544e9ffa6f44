// Constant tables of the digest engines; the data is in digest_tables.cpp, written by
// tools/gen_tables.py.
#ifndef KORVADEX_DIGESTS_DIGEST_TABLES_H
#define KORVADEX_DIGESTS_DIGEST_TABLES_H

#include <cstdint>

extern const uint16_t kCrc16Table[256];       // CRC-16/ARC, reflected 0xA001
extern const uint16_t kCrc16CcittTable[256];  // CRC-16/IBM-3740, 0x1021
extern const uint32_t kCrc32Table[256];       // CRC-32/ISO-HDLC, reflected 0xEDB88320
extern const uint32_t kCrc32bTable[256];      // CRC-32/BZIP2, 0x04C11DB7
extern const uint8_t kMd2Sbox[256];
extern const uint64_t kSha512RoundConstants[80];
extern const uint32_t kSnefruSboxes[16][256];
extern const uint8_t kSnefruBytePlanes[16][4][256];  // byte n of each entry, plane n
extern const uint64_t kTigerSboxes[4][256];
extern const uint64_t kWhirlpoolTables[8][256];
extern const uint64_t kWhirlpoolRoundConstants[10];
extern const uint8_t kGostTestSboxes[8][16];

#endif
