#include "line_descriptions.h"

#include <cstring>

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

const LineDescription kLineDescriptions[] = {
    {"ADLER32: ", "Adler-32",
     "Adler-32 of RFC 1950: two sums modulo 65521, the first starting at 1; printed as "
     "sum2 then sum1 (check 091E01DE)"},
    {"CRC16: ", "CRC-16/ARC",
     "CRC-16/ARC: polynomial 0x8005, reflected in and out, initial 0x0000, no final XOR "
     "(check BB3D)"},
    {"CRC16CCITT: ", "CRC-16/IBM-3740",
     "CRC-16/IBM-3740, also called CRC-16/CCITT-FALSE: polynomial 0x1021, not reflected, "
     "initial 0xFFFF, no final XOR (check 29B1)"},
    {"CRC32: ", "CRC-32/ISO-HDLC",
     "CRC-32/ISO-HDLC, the common CRC-32: polynomial 0x04C11DB7, reflected in and out, "
     "initial 0xFFFFFFFF, final XOR 0xFFFFFFFF (check CBF43926)"},
    {"CRC32b: ", "CRC-32/BZIP2",
     "CRC-32/BZIP2: polynomial 0x04C11DB7, not reflected, initial 0xFFFFFFFF, final XOR "
     "0xFFFFFFFF (check FC891918); not the reflected CRC-32 that some tools call crc32b"},
    {"GOST: ", "GOST R 34.11-94",
     "GOST R 34.11-94 with the S-boxes of the standard's test parameter set (not the "
     "CryptoPro set), all-zero initial hash value; digest bytes as stored, each 32-bit word "
     "least significant byte first (empty message CE85B99C...)"},
    {"HAVAL 128 (3 Rounds): ", "HAVAL", kHaval3},
    {"HAVAL 128 (4 Rounds): ", "HAVAL", kHaval4},
    {"HAVAL 128 (5 Rounds): ", "HAVAL", kHaval5},
    {"HAVAL 160 (3 Rounds): ", "HAVAL", kHaval3},
    {"HAVAL 160 (4 Rounds): ", "HAVAL", kHaval4},
    {"HAVAL 160 (5 Rounds): ", "HAVAL", kHaval5},
    {"HAVAL 192 (3 Rounds): ", "HAVAL", kHaval3},
    {"HAVAL 192 (4 Rounds): ", "HAVAL", kHaval4},
    {"HAVAL 192 (5 Rounds): ", "HAVAL", kHaval5},
    {"HAVAL 224 (3 Rounds): ", "HAVAL", kHaval3},
    {"HAVAL 224 (4 Rounds): ", "HAVAL", kHaval4},
    {"HAVAL 224 (5 Rounds): ", "HAVAL", kHaval5},
    {"HAVAL 256 (3 Rounds): ", "HAVAL", kHaval3},
    {"HAVAL 256 (4 Rounds): ", "HAVAL", kHaval4},
    {"HAVAL 256 (5 Rounds): ", "HAVAL", kHaval5},
    {"MD2: ", "MD2", "MD2 of RFC 1319"},
    {"MD4: ", "MD4", "MD4 of RFC 1320"},
    {"MD5: ", "MD5", "MD5 of RFC 1321"},
    {"PANAMA: ", "PANAMA",
     "PANAMA (1998) in hashing mode, little-endian words, padding byte 0x01, 32 blank "
     "pulls before the output"},
    {"RIPEMD-128: ", "RIPEMD-128", "RIPEMD-128 as published with RIPEMD-160 (1996)"},
    {"RIPEMD-160: ", "RIPEMD-160", "RIPEMD-160 (1996)"},
    {"RIPEMD-256: ", "RIPEMD-256",
     "RIPEMD-256 as published with RIPEMD-160: the double-width form of RIPEMD-128, not "
     "stronger than it"},
    {"RIPEMD-320: ", "RIPEMD-320",
     "RIPEMD-320 as published with RIPEMD-160: the double-width form of RIPEMD-160, not "
     "stronger than it"},
    {"SHA-0: ", "SHA-0",
     "SHA-0, the Secure Hash Algorithm of FIPS 180 (1993), without the rotation in the "
     "message schedule that SHA-1 added"},
    {"SHA-1: ", "SHA-1", "SHA-1 of FIPS 180-1"},
    {"SHA-256: ", "SHA-256", "SHA-256 of FIPS 180-2"},
    {"SHA-384: ", "SHA-384", "SHA-384 of FIPS 180-2"},
    {"SHA-512: ", "SHA-512", "SHA-512 of FIPS 180-2 (not truncated)"},
    {"SNEFRU128 (4 Passes): ", "Snefru",
     "Snefru with the 512-bit-input compression function and its sixteen published S-boxes, "
     "4 passes (the first eight S-boxes only), 128-bit output, 48-byte message blocks"},
    {"SNEFRU128 (8 Passes): ", "Snefru",
     "Snefru with the 512-bit-input compression function and its sixteen published S-boxes, "
     "8 passes, 128-bit output, 48-byte message blocks: the published Snefru-128"},
    {"SNEFRU256 (4 Passes): ", "Snefru",
     "Snefru with the 512-bit-input compression function and its sixteen published S-boxes, "
     "4 passes (the first eight S-boxes only), 256-bit output, 32-byte message blocks"},
    {"SNEFRU256 (8 Passes): ", "Snefru",
     "Snefru with the 512-bit-input compression function and its sixteen published S-boxes, "
     "8 passes, 256-bit output, 32-byte message blocks: the published Snefru-256"},
    {"TIGER: ", "Tiger",
     "Tiger, 1996 form: 3 passes, padding byte 0x01 (not the 0x80 of Tiger2), bytes in "
     "order: each 64-bit word least significant byte first (empty message 3293AC63...)"},
    {"WHIRLPOOL: ", "Whirlpool",
     "Whirlpool, final version of ISO/IEC 10118-3 (not Whirlpool-0 or Whirlpool-T)"},
};

const size_t kLineDescriptionCount = sizeof kLineDescriptions / sizeof kLineDescriptions[0];

const LineDescription* FindLineDescription(const char* label) {
    for (size_t i = 0; i < kLineDescriptionCount; ++i) {
        if (std::strcmp(kLineDescriptions[i].label, label) == 0) return &kLineDescriptions[i];
    }
    return nullptr;
}
