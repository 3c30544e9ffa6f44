#include "report_lines.h"

#include "checksums.h"
#include "ripemd.h"

const ReportLine kReportLines[] = {
    {"ADLER32: ", Adler32Digest, 0, 0, 0x40004},
    {"CRC16: ", Crc16Digest, 0, 0, 0x40002},
    {"CRC16CCITT: ", Crc16CcittDigest, 0, 0, 0x40002},
    {"CRC32: ", Crc32Digest, 0, 0, 0x40004},
    {"CRC32b: ", Crc32bDigest, 0, 0, 0x40004},
    {"RIPEMD-128: ", Ripemd128Digest, 0, 0, 0x400010},
    {"RIPEMD-160: ", Ripemd160Digest, 0, 0, 0x400014},
    {"RIPEMD-256: ", Ripemd256Digest, 0, 0, 0x400020},
    {"RIPEMD-320: ", Ripemd320Digest, 0, 0, 0x400028},
};

const size_t kReportLineCount = sizeof kReportLines / sizeof kReportLines[0];
