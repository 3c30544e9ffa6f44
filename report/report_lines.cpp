#include "report_lines.h"

#include <algorithm>

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
#include "streaming_engines.h"
#include "tiger.h"
#include "whirlpool.h"

namespace {

const char kHaval3[] =
    "HAVAL version 1 (1992), 3 passes; the 256-bit chaining value is folded to the output "
    "length; padding byte 0x01, trailer with version, passes and length";
const char kHaval4[] =
    "HAVAL version 1 (1992), 4 passes; the 256-bit chaining value is folded to the output "
    "length; padding byte 0x01, trailer with version, passes and length";
const char kHaval5[] =
    "HAVAL version 1 (1992), 5 passes; the 256-bit chaining value is folded to the output "
    "length; padding byte 0x01, trailer with version, passes and length";

}  // namespace

// clang-format off
const ReportLine kReportLines[] = {
    {"ADLER32: ", Adler32Digest, 0, 0, kAdler32Size, &kAdler32Stream,
     "Adler-32", "Adler-32 of RFC 1950: two sums modulo 65521, the first starting at 1; printed as "
     "sum2 then sum1 (check 091E01DE)",
     "adler32", nullptr, nullptr,
     0.02, &kAdler32Answers},
    {"CRC16: ", Crc16Digest, 0, 0, kCrc16Size, &kCrc16Stream,
     "CRC-16/ARC", "CRC-16/ARC: polynomial 0x8005, reflected in and out, initial 0x0000, no final XOR "
     "(check BB3D)",
     "crc-16/arc", nullptr, nullptr,
     0.02, &kCrc16Answers},
    {"CRC16CCITT: ", Crc16CcittDigest, 0, 0, kCrc16CcittSize, &kCrc16CcittStream,
     "CRC-16/IBM-3740", "CRC-16/IBM-3740, also called CRC-16/CCITT-FALSE: polynomial 0x1021, not reflected, "
     "initial 0xFFFF, no final XOR (check 29B1)",
     "crc-16/ibm-3740 crc-16/ccitt-false", nullptr,
     "other tools use CRC16CCITT for other CRC-16 variants (KERMIT, XMODEM); here it is "
     "CRC-16/IBM-3740",
     0.02, &kCrc16CcittAnswers},
    {"CRC32: ", Crc32Digest, 0, 0, kCrc32Size, &kCrc32Stream,
     "CRC-32/ISO-HDLC", "CRC-32/ISO-HDLC, the common CRC-32: polynomial 0x04C11DB7, reflected in and out, "
     "initial 0xFFFFFFFF, final XOR 0xFFFFFFFF (check CBF43926)",
     "crc-32/iso-hdlc", "CRC32",
     "crc32 is this line, as in rhash; PHP's crc32 is another CRC (the BZIP2 one, bytes "
     "reversed) and PHP's crc32b is this line",
     0.02, &kCrc32Answers},
    {"CRC32b: ", Crc32bDigest, 0, 0, kCrc32bSize, &kCrc32bStream,
     "CRC-32/BZIP2", "CRC-32/BZIP2: polynomial 0x04C11DB7, not reflected, initial 0xFFFFFFFF, final XOR "
     "0xFFFFFFFF (check FC891918); not the reflected CRC-32 that some tools call crc32b",
     "crc-32/bzip2", nullptr,
     "the label wins: crc32b is this BZIP2 CRC-32, while PHP's crc32b is the CRC32 line",
     0.02, &kCrc32bAnswers},
    {"GOST: ", GostDigest, 0, 0, kGostSize, &kGostStream,
     "GOST R 34.11-94", "GOST R 34.11-94 with the S-boxes of the standard's test parameter set (not the "
     "CryptoPro set), all-zero initial hash value; digest bytes as stored, each 32-bit word "
     "least significant byte first (empty message CE85B99C...)",
     "gost94 gostr3411-94", "GOST94",
     "the test parameter set: rhash's gost94 and PHP's gost, not gost94-cryptopro or gost-crypto",
     4.9, &kGostAnswers},
    {"HAVAL 128 (3 Rounds): ", HavalDigest, 128, 3, kHaval128Size, &kHavalStream,
     "HAVAL", kHaval3,
     "haval128,3", nullptr, nullptr,
     0.71, &kHaval128_3Answers},
    {"HAVAL 128 (4 Rounds): ", HavalDigest, 128, 4, kHaval128Size, &kHavalStream,
     "HAVAL", kHaval4,
     "haval128,4", nullptr, nullptr,
     0.93, &kHaval128_4Answers},
    {"HAVAL 128 (5 Rounds): ", HavalDigest, 128, 5, kHaval128Size, &kHavalStream,
     "HAVAL", kHaval5,
     "haval128,5", nullptr, nullptr,
     1.16, &kHaval128_5Answers},
    {"HAVAL 160 (3 Rounds): ", HavalDigest, 160, 3, kHaval160Size, &kHavalStream,
     "HAVAL", kHaval3,
     "haval160,3", nullptr, nullptr,
     0.71, &kHaval160_3Answers},
    {"HAVAL 160 (4 Rounds): ", HavalDigest, 160, 4, kHaval160Size, &kHavalStream,
     "HAVAL", kHaval4,
     "haval160,4", nullptr, nullptr,
     0.93, &kHaval160_4Answers},
    {"HAVAL 160 (5 Rounds): ", HavalDigest, 160, 5, kHaval160Size, &kHavalStream,
     "HAVAL", kHaval5,
     "haval160,5", nullptr, nullptr,
     1.16, &kHaval160_5Answers},
    {"HAVAL 192 (3 Rounds): ", HavalDigest, 192, 3, kHaval192Size, &kHavalStream,
     "HAVAL", kHaval3,
     "haval192,3", nullptr, nullptr,
     0.71, &kHaval192_3Answers},
    {"HAVAL 192 (4 Rounds): ", HavalDigest, 192, 4, kHaval192Size, &kHavalStream,
     "HAVAL", kHaval4,
     "haval192,4", nullptr, nullptr,
     0.93, &kHaval192_4Answers},
    {"HAVAL 192 (5 Rounds): ", HavalDigest, 192, 5, kHaval192Size, &kHavalStream,
     "HAVAL", kHaval5,
     "haval192,5", nullptr, nullptr,
     1.16, &kHaval192_5Answers},
    {"HAVAL 224 (3 Rounds): ", HavalDigest, 224, 3, kHaval224Size, &kHavalStream,
     "HAVAL", kHaval3,
     "haval224,3", nullptr, nullptr,
     0.71, &kHaval224_3Answers},
    {"HAVAL 224 (4 Rounds): ", HavalDigest, 224, 4, kHaval224Size, &kHavalStream,
     "HAVAL", kHaval4,
     "haval224,4", nullptr, nullptr,
     0.93, &kHaval224_4Answers},
    {"HAVAL 224 (5 Rounds): ", HavalDigest, 224, 5, kHaval224Size, &kHavalStream,
     "HAVAL", kHaval5,
     "haval224,5", nullptr, nullptr,
     1.16, &kHaval224_5Answers},
    {"HAVAL 256 (3 Rounds): ", HavalDigest, 256, 3, kHaval256Size, &kHavalStream,
     "HAVAL", kHaval3,
     "haval256,3", nullptr, nullptr,
     0.71, &kHaval256_3Answers},
    {"HAVAL 256 (4 Rounds): ", HavalDigest, 256, 4, kHaval256Size, &kHavalStream,
     "HAVAL", kHaval4,
     "haval256,4", nullptr, nullptr,
     0.93, &kHaval256_4Answers},
    {"HAVAL 256 (5 Rounds): ", HavalDigest, 256, 5, kHaval256Size, &kHavalStream,
     "HAVAL", kHaval5,
     "haval256,5", nullptr, nullptr,
     1.16, &kHaval256_5Answers},
    {"MD2: ", Md2Digest, 0, 0, kMd2Size, &kMd2Stream,
     "MD2", "MD2 of RFC 1319",
     "", "MD2", nullptr,
     60, &kMd2Answers},
    {"MD4: ", Md4Digest, 0, 0, kMd4Size, &kMd4Stream,
     "MD4", "MD4 of RFC 1320",
     "", "MD4", nullptr,
     0.59, &kMd4Answers},
    {"MD5: ", Md5Digest, 0, 0, kMd5Size, &kMd5Stream,
     "MD5", "MD5 of RFC 1321",
     "", "MD5", nullptr,
     1, &kMd5Answers},
    {"PANAMA: ", PanamaDigest, 0, 0, kPanamaSize, &kPanamaStream,
     "PANAMA", "PANAMA (1998) in hashing mode, little-endian words, padding byte 0x01, 32 blank "
     "pulls before the output",
     "", nullptr, nullptr,
     0.28, &kPanamaAnswers},
    {"RIPEMD-128: ", Ripemd128Digest, 0, 0, kRipemd128Size, &kRipemd128Stream,
     "RIPEMD-128", "RIPEMD-128 as published with RIPEMD-160 (1996)",
     "rmd128", nullptr, nullptr,
     0.88, &kRipemd128Answers},
    {"RIPEMD-160: ", Ripemd160Digest, 0, 0, kRipemd160Size, &kRipemd160Stream,
     "RIPEMD-160", "RIPEMD-160 (1996)",
     "rmd160 ripemd", "RMD160", nullptr,
     1.33, &kRipemd160Answers},
    {"RIPEMD-256: ", Ripemd256Digest, 0, 0, kRipemd256Size, &kRipemd256Stream,
     "RIPEMD-256", "RIPEMD-256 as published with RIPEMD-160: the double-width form of RIPEMD-128, not "
     "stronger than it",
     "rmd256", nullptr, nullptr,
     0.87, &kRipemd256Answers},
    {"RIPEMD-320: ", Ripemd320Digest, 0, 0, kRipemd320Size, &kRipemd320Stream,
     "RIPEMD-320", "RIPEMD-320 as published with RIPEMD-160: the double-width form of RIPEMD-160, not "
     "stronger than it",
     "rmd320", nullptr, nullptr,
     1.35, &kRipemd320Answers},
    {"SHA-0: ", Sha0Digest, 0, 0, kSha0Size, &kSha0Stream,
     "SHA-0", "SHA-0, the Secure Hash Algorithm of FIPS 180 (1993), without the rotation in the "
     "message schedule that SHA-1 added",
     "", nullptr, nullptr,
     0.76, &kSha0Answers},
    {"SHA-1: ", Sha1Digest, 0, 0, kSha1Size, &kSha1Stream,
     "SHA-1", "SHA-1 of FIPS 180-1",
     "", "SHA1", nullptr,
     0.8, &kSha1Answers},
    {"SHA-256: ", Sha256Digest, 0, 0, kSha256Size, &kSha256Stream,
     "SHA-256", "SHA-256 of FIPS 180-2",
     "sha2-256", "SHA256", nullptr,
     1.81, &kSha256Answers},
    {"SHA-384: ", Sha384Digest, 0, 0, kSha384Size, &kSha384Stream,
     "SHA-384", "SHA-384 of FIPS 180-2",
     "sha2-384", "SHA384", nullptr,
     1.21, &kSha384Answers},
    {"SHA-512: ", Sha512Digest, 0, 0, kSha512Size, &kSha512Stream,
     "SHA-512", "SHA-512 of FIPS 180-2 (not truncated)",
     "sha2-512", "SHA512", nullptr,
     1.24, &kSha512Answers},
    {"SNEFRU128 (4 Passes): ", SnefruDigest, 128, 4, kSnefru128Size, &kSnefruStream,
     "Snefru", "Snefru with the 512-bit-input compression function and its sixteen published S-boxes, "
     "4 passes (the first eight S-boxes only), 128-bit output, 48-byte message blocks",
     "snefru128,4", nullptr, nullptr,
     6.9, &kSnefru128_4Answers},
    {"SNEFRU128 (8 Passes): ", SnefruDigest, 128, 8, kSnefru128Size, &kSnefruStream,
     "Snefru", "Snefru with the 512-bit-input compression function and its sixteen published S-boxes, "
     "8 passes, 128-bit output, 48-byte message blocks: the published Snefru-128",
     "snefru128 snefru128,8", "SNEFRU-128",
     "snefru128 is the 8-pass variant, as in rhash",
     13, &kSnefru128_8Answers},
    {"SNEFRU256 (4 Passes): ", SnefruDigest, 256, 4, kSnefru256Size, &kSnefruStream,
     "Snefru", "Snefru with the 512-bit-input compression function and its sixteen published S-boxes, "
     "4 passes (the first eight S-boxes only), 256-bit output, 32-byte message blocks",
     "snefru256,4", nullptr, nullptr,
     10.3, &kSnefru256_4Answers},
    {"SNEFRU256 (8 Passes): ", SnefruDigest, 256, 8, kSnefru256Size, &kSnefruStream,
     "Snefru", "Snefru with the 512-bit-input compression function and its sixteen published S-boxes, "
     "8 passes, 256-bit output, 32-byte message blocks: the published Snefru-256",
     "snefru256 snefru snefru256,8", "SNEFRU-256",
     "snefru and snefru256 are the 8-pass variant, as in rhash and PHP",
     19.3, &kSnefru256_8Answers},
    {"TIGER: ", TigerDigest, 0, 0, kTigerSize, &kTigerStream,
     "Tiger", "Tiger, 1996 form: 3 passes, padding byte 0x01 (not the 0x80 of Tiger2), bytes in "
     "order: each 64-bit word least significant byte first (empty message 3293AC63...)",
     "tiger192,3 tiger192", "TIGER",
     "the 1996 Tiger of rhash and PHP's tiger192,3, not Tiger2 or the 4-pass variants",
     1.08, &kTigerAnswers},
    {"WHIRLPOOL: ", WhirlpoolDigest, 0, 0, kWhirlpoolSize, &kWhirlpoolStream,
     "Whirlpool", "Whirlpool, final version of ISO/IEC 10118-3 (not Whirlpool-0 or Whirlpool-T)",
     "", "WHIRLPOOL", nullptr,
     2.75, &kWhirlpoolAnswers},
};
// clang-format on

const size_t kReportLineCount = sizeof kReportLines / sizeof kReportLines[0];

std::string NormalName(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c == ' ' || c == '\t' || c == '-' || c == '_' || c == ',') continue;
        out += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    return out;
}

std::vector<std::string> NamesOf(const ReportLine& line) {
    std::string_view label = line.label;
    label.remove_suffix(2);  // ": "
    std::vector<std::string> names{std::string(label)};
    for (std::string_view list = line.names; !list.empty();) {
        const size_t end = std::min(list.find(' '), list.size());
        if (end != 0) names.emplace_back(list.substr(0, end));
        list.remove_prefix(std::min(end + 1, list.size()));
    }
    if (line.bsdTag != nullptr) names.emplace_back(line.bsdTag);
    return names;
}

namespace {

// Names that stand for variants the report does not have, and what to use instead.
struct RefusedName {
    const char* name;
    const char* reason;
};

const RefusedName kRefusedNames[] = {
    {"gost94cryptopro",
     "the CryptoPro parameter set of GOST R 34.11-94 is not in the report; "
     "GOST (gost94) is the test parameter set"},
    {"gostcrypto",
     "the CryptoPro parameter set of GOST R 34.11-94 is not in the report; GOST "
     "(gost94) is the test parameter set"},
    {"crc",
     "cksum's crc is the POSIX cksum CRC, which is not in the report; crc32 is the "
     "common CRC-32"},
    {"sha", "sha names SHA-0 in some tools and SHA-1 in others: say sha0 or sha1"},
    {"haval", "say the output bits and passes, as in haval128,3 or haval256,5"},
    {"haval128", "say the passes too: haval128,3, haval128,4 or haval128,5"},
    {"haval160", "say the passes too: haval160,3, haval160,4 or haval160,5"},
    {"haval192", "say the passes too: haval192,3, haval192,4 or haval192,5"},
    {"haval224", "say the passes too: haval224,3, haval224,4 or haval224,5"},
    {"haval256", "say the passes too: haval256,3, haval256,4 or haval256,5"},
    {"tiger2", "Tiger2 (padding byte 0x80) is not in the report; TIGER is the 1996 Tiger"},
    {"tiger128,3", "truncated Tiger is not in the report; TIGER is the whole 192 bits"},
    {"tiger160,3", "truncated Tiger is not in the report; TIGER is the whole 192 bits"},
    {"tiger192,4", "4-pass Tiger is not in the report; TIGER has 3 passes (tiger192,3)"},
};

}  // namespace

const ReportLine* FindReportLine(std::string_view name) {
    if (name.size() >= 2 && name.substr(name.size() - 2) == ": ") name.remove_suffix(2);
    const std::string wanted = NormalName(name);
    if (wanted.empty()) return nullptr;
    // Labels first: a label wins over another line's other name.
    for (size_t i = 0; i < kReportLineCount; ++i) {
        if (NormalName(NamesOf(kReportLines[i]).front()) == wanted) return &kReportLines[i];
    }
    for (size_t i = 0; i < kReportLineCount; ++i) {
        for (const std::string& known : NamesOf(kReportLines[i])) {
            if (NormalName(known) == wanted) return &kReportLines[i];
        }
    }
    return nullptr;
}

const char* RefusedNameReason(std::string_view name) {
    const std::string wanted = NormalName(name);
    for (const RefusedName& refused : kRefusedNames) {
        if (NormalName(refused.name) == wanted) return refused.reason;
    }
    return nullptr;
}
