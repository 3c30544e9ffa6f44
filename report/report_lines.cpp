#include "report_lines.h"

#include "checksums.h"
#include "tiger.h"
#include "whirlpool.h"

const ReportLine kReportLines[] = {
    {"ADLER32: ", Adler32Digest, 0, 0, 0x40004},
    {"CRC16: ", Crc16Digest, 0, 0, 0x40002},
    {"CRC16CCITT: ", Crc16CcittDigest, 0, 0, 0x40002},
    {"CRC32: ", Crc32Digest, 0, 0, 0x40004},
    {"CRC32b: ", Crc32bDigest, 0, 0, 0x40004},
    {"TIGER: ", TigerDigest, 0, 0, 0x400018},
    {"WHIRLPOOL: ", WhirlpoolDigest, 0, 0, 0x400040},
};

const size_t kReportLineCount = sizeof kReportLines / sizeof kReportLines[0];
