#include "report_lines.h"

#include "checksums.h"
#include "md2.h"
#include "md4_md5.h"
#include "sha0_sha1.h"

// clang-format off
const ReportLine kReportLines[] = {
    {"ADLER32: ", Adler32Digest, 0, 0, 0x40004},
    {"CRC16: ", Crc16Digest, 0, 0, 0x40002},
    {"CRC16CCITT: ", Crc16CcittDigest, 0, 0, 0x40002},
    {"CRC32: ", Crc32Digest, 0, 0, 0x40004},
    {"CRC32b: ", Crc32bDigest, 0, 0, 0x40004},
    {"MD2: ", Md2Digest, 0, 0, kMd2Size},
    {"MD4: ", Md4Digest, 0, 0, kMd4Size},
    {"MD5: ", Md5Digest, 0, 0, kMd5Size},
    {"SHA-0: ", Sha0Digest, 0, 0, kSha0Size},
    {"SHA-1: ", Sha1Digest, 0, 0, kSha1Size},
};
// clang-format on

const size_t kReportLineCount = sizeof kReportLines / sizeof kReportLines[0];
