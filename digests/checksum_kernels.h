// The checksums' accelerated kernels and the choice between them and the portable code.
// Inside the digest suite and for the tests only: the report reaches the checksums through
// checksums.h, whose entries take the fastest path the processor offers.
#ifndef KORVADEX_DIGESTS_CHECKSUM_KERNELS_H
#define KORVADEX_DIGESTS_CHECKSUM_KERNELS_H

#include <cstddef>
#include <cstdint>

#include "cpu_features.h"

// The ways to compute a CRC: the portable table code, or carry-less multiplication on
// 128-bit registers (PCLMULQDQ with SSSE3 and SSE4.1) or on 512-bit ones (VPCLMULQDQ with
// AVX-512 F, BW, VL and VBMI).
enum class CrcPath { kTable, kPclmul, kVpclmul };

// The ways to compute Adler-32: the portable code, or 32 bytes a step with SSSE3 or AVX2,
// 64 bytes a step with AVX-512 BW, or with AVX-512 VNNI's byte dot products besides.
enum class AdlerPath { kPortable, kSsse3, kAvx2, kAvx512, kAvx512Vnni };

// The fastest path that the features allow.
CrcPath FastestCrcPath(const CpuFeatures& cpu);
AdlerPath FastestAdlerPath(const CpuFeatures& cpu);

// Whether the features allow the path.
bool CrcPathRuns(CrcPath path, const CpuFeatures& cpu);
bool AdlerPathRuns(AdlerPath path, const CpuFeatures& cpu);

// The running-value routines of checksums.h on the path named, which must run here.
uint32_t Adler32UpdateOn(AdlerPath path, const uint8_t* data, uint32_t length, uint32_t start);
uint32_t Crc16UpdateOn(CrcPath path, const uint8_t* data, uint32_t length, uint32_t start);
uint32_t Crc16CcittUpdateOn(CrcPath path, const uint8_t* data, uint32_t length, uint32_t start);
uint32_t Crc32UpdateOn(CrcPath path, const uint8_t* data, uint32_t length, uint32_t start);
uint32_t Crc32bUpdateOn(CrcPath path, const uint8_t* data, uint32_t length, uint32_t start);

enum class CrcVariant { kCrc16Arc, kCrc16Ibm3740, kCrc32IsoHdlc, kCrc32Bzip2 };

#if defined(__i386__) || defined(__x86_64__)
#define KORVADEX_HAVE_CHECKSUM_KERNELS 1

// The register of the variant's table loop after `length` bytes of data, 16 or more,
// continued from the register r.
template <CrcVariant V>
uint32_t CrcPclmul(const uint8_t* data, size_t length, uint32_t r);
template <CrcVariant V>
uint32_t CrcVpclmul(const uint8_t* data, size_t length, uint32_t r);

// Adler-32 sums a (low half of start) and b (high half) continued over `blocks` 64-byte
// blocks of data, reduced modulo 65521.
uint32_t Adler32BlocksSsse3(const uint8_t* data, size_t blocks, uint32_t start);
uint32_t Adler32BlocksAvx2(const uint8_t* data, size_t blocks, uint32_t start);
uint32_t Adler32BlocksAvx512(const uint8_t* data, size_t blocks, uint32_t start);
uint32_t Adler32BlocksAvx512Vnni(const uint8_t* data, size_t blocks, uint32_t start);
#endif

#endif
