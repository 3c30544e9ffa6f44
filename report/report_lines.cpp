#include "report_lines.h"

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
#include "tiger.h"
#include "whirlpool.h"

// clang-format off
const ReportLine kReportLines[] = {
    {"ADLER32: ", Adler32Digest, 0, 0, 0x40004},
    {"CRC16: ", Crc16Digest, 0, 0, 0x40002},
    {"CRC16CCITT: ", Crc16CcittDigest, 0, 0, 0x40002},
    {"CRC32: ", Crc32Digest, 0, 0, 0x40004},
    {"CRC32b: ", Crc32bDigest, 0, 0, 0x40004},
    {"GOST: ", GostDigest, 0, 0, 0x200020},
    {"HAVAL 128 (3 Rounds): ", HavalDigest, 128, 3, kHaval128Size},
    {"HAVAL 128 (4 Rounds): ", HavalDigest, 128, 4, kHaval128Size},
    {"HAVAL 128 (5 Rounds): ", HavalDigest, 128, 5, kHaval128Size},
    {"HAVAL 160 (3 Rounds): ", HavalDigest, 160, 3, kHaval160Size},
    {"HAVAL 160 (4 Rounds): ", HavalDigest, 160, 4, kHaval160Size},
    {"HAVAL 160 (5 Rounds): ", HavalDigest, 160, 5, kHaval160Size},
    {"HAVAL 192 (3 Rounds): ", HavalDigest, 192, 3, kHaval192Size},
    {"HAVAL 192 (4 Rounds): ", HavalDigest, 192, 4, kHaval192Size},
    {"HAVAL 192 (5 Rounds): ", HavalDigest, 192, 5, kHaval192Size},
    {"HAVAL 224 (3 Rounds): ", HavalDigest, 224, 3, kHaval224Size},
    {"HAVAL 224 (4 Rounds): ", HavalDigest, 224, 4, kHaval224Size},
    {"HAVAL 224 (5 Rounds): ", HavalDigest, 224, 5, kHaval224Size},
    {"HAVAL 256 (3 Rounds): ", HavalDigest, 256, 3, kHaval256Size},
    {"HAVAL 256 (4 Rounds): ", HavalDigest, 256, 4, kHaval256Size},
    {"HAVAL 256 (5 Rounds): ", HavalDigest, 256, 5, kHaval256Size},
    {"MD2: ", Md2Digest, 0, 0, kMd2Size},
    {"MD4: ", Md4Digest, 0, 0, kMd4Size},
    {"MD5: ", Md5Digest, 0, 0, kMd5Size},
    {"PANAMA: ", PanamaDigest, 0, 0, 0x200020},
    {"RIPEMD-128: ", Ripemd128Digest, 0, 0, 0x400010},
    {"RIPEMD-160: ", Ripemd160Digest, 0, 0, 0x400014},
    {"RIPEMD-256: ", Ripemd256Digest, 0, 0, 0x400020},
    {"RIPEMD-320: ", Ripemd320Digest, 0, 0, 0x400028},
    {"SHA-0: ", Sha0Digest, 0, 0, kSha0Size},
    {"SHA-1: ", Sha1Digest, 0, 0, kSha1Size},
    {"SHA-256: ", Sha256Digest, 0, 0, 0x400020},
    {"SHA-384: ", Sha384Digest, 0, 0, 0x800030},
    {"SHA-512: ", Sha512Digest, 0, 0, 0x800040},
    {"SNEFRU128 (4 Passes): ", SnefruDigest, 128, 4, 0x300010},
    {"SNEFRU128 (8 Passes): ", SnefruDigest, 128, 8, 0x300010},
    {"SNEFRU256 (4 Passes): ", SnefruDigest, 256, 4, 0x200020},
    {"SNEFRU256 (8 Passes): ", SnefruDigest, 256, 8, 0x200020},
    {"TIGER: ", TigerDigest, 0, 0, 0x400018},
    {"WHIRLPOOL: ", WhirlpoolDigest, 0, 0, 0x400040},
};
// clang-format on

const size_t kReportLineCount = sizeof kReportLines / sizeof kReportLines[0];
