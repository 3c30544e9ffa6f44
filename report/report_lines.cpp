#include "report_lines.h"

#include "checksums.h"
#include "sha256.h"
#include "sha384_sha512.h"

const ReportLine kReportLines[] = {
    {"ADLER32: ", Adler32Digest, 0, 0, 0x40004},
    {"CRC16: ", Crc16Digest, 0, 0, 0x40002},
    {"CRC16CCITT: ", Crc16CcittDigest, 0, 0, 0x40002},
    {"CRC32: ", Crc32Digest, 0, 0, 0x40004},
    {"CRC32b: ", Crc32bDigest, 0, 0, 0x40004},
    {"SHA-256: ", Sha256Digest, 0, 0, 0x400020},
    {"SHA-384: ", Sha384Digest, 0, 0, 0x800030},
    {"SHA-512: ", Sha512Digest, 0, 0, 0x800040},
};

const size_t kReportLineCount = sizeof kReportLines / sizeof kReportLines[0];
