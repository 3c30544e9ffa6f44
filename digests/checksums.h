// The five checksums: Adler-32 (RFC 1950), CRC-16/ARC, CRC-16/IBM-3740 (CCITT-FALSE),
// CRC-32/ISO-HDLC and CRC-32/BZIP2.  They keep no state and return the checksum value
// itself; a CRC-16 stands in the low 16 bits.
//
// Each <Name>Update continues a checksum from a running value of the form its one-shot
// returns, so Update(b, nb, Update(a, na, start)) equals Update(ab, na + nb, start).
//
// Each routine takes the fastest path the processor offers (the tables below), with the
// same results; KORVADEX_PORTABLE=1 keeps the portable code.
#ifndef KORVADEX_DIGESTS_CHECKSUMS_H
#define KORVADEX_DIGESTS_CHECKSUMS_H

#include "compress_paths.h"
#include "digest_types.h"

constexpr SizeWord kAdler32Size = MakeSizeWord(4, 4);
constexpr SizeWord kCrc16Size = MakeSizeWord(4, 2);
constexpr SizeWord kCrc16CcittSize = MakeSizeWord(4, 2);
constexpr SizeWord kCrc32Size = MakeSizeWord(4, 4);
constexpr SizeWord kCrc32bSize = MakeSizeWord(4, 4);

uint32_t Adler32Update(const uint8_t* data, uint32_t length, uint32_t start);
uint32_t Crc16Update(const uint8_t* data, uint32_t length, uint32_t start);
uint32_t Crc16CcittUpdate(const uint8_t* data, uint32_t length, uint32_t start);
uint32_t Crc32Update(const uint8_t* data, uint32_t length, uint32_t start);
uint32_t Crc32bUpdate(const uint8_t* data, uint32_t length, uint32_t start);

// The ways to continue each checksum (compress_paths.h).
using ChecksumUpdate = uint32_t(const uint8_t* data, uint32_t length, uint32_t start);
extern const PathTable<ChecksumUpdate> kAdler32Paths;
extern const PathTable<ChecksumUpdate> kCrc16Paths;
extern const PathTable<ChecksumUpdate> kCrc16CcittPaths;
extern const PathTable<ChecksumUpdate> kCrc32Paths;
extern const PathTable<ChecksumUpdate> kCrc32bPaths;

DigestResult Adler32Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Crc16Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Crc16CcittDigest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Crc32Digest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);
DigestResult Crc32bDigest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes);

#endif
