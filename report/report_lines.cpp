#include "report_lines.h"

#include "checksums.h"
#include "gost.h"
#include "panama.h"
#include "snefru.h"

const ReportLine kReportLines[] = {
    {"ADLER32: ", Adler32Digest, 0, 0, 0x40004},
    {"CRC16: ", Crc16Digest, 0, 0, 0x40002},
    {"CRC16CCITT: ", Crc16CcittDigest, 0, 0, 0x40002},
    {"CRC32: ", Crc32Digest, 0, 0, 0x40004},
    {"CRC32b: ", Crc32bDigest, 0, 0, 0x40004},
    {"GOST: ", GostDigest, 0, 0, 0x200020},
    {"PANAMA: ", PanamaDigest, 0, 0, 0x200020},
    {"SNEFRU128 (4 Passes): ", SnefruDigest, 128, 4, 0x300010},
    {"SNEFRU128 (8 Passes): ", SnefruDigest, 128, 8, 0x300010},
    {"SNEFRU256 (4 Passes): ", SnefruDigest, 256, 4, 0x200020},
    {"SNEFRU256 (8 Passes): ", SnefruDigest, 256, 8, 0x200020},
};

const size_t kReportLineCount = sizeof kReportLines / sizeof kReportLines[0];
