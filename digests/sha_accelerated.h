// Compressions of the SHA family on processor extensions, for x86 (64- and 32-bit).
//
// Each compresses `blocks` whole blocks at data (64 bytes each for SHA-0, SHA-1 and
// SHA-256, 128 for SHA-384/512) into the chaining value state, exactly as the portable
// compressions of the engines do; data needs no alignment.  Each file is compiled with the
// build's baseline flags and only these functions are built for their extensions, so they
// may be called only where Cpu() (or DetectedCpu(), in tests) reports what each needs:
//
//   Sha1CompressShaExt, Sha0CompressShaExt, Sha256CompressShaExt   sha and sse41 (SSSE3 too)
//   Sha512CompressAvx2                                              avx2 and bmi2
//
// The SHA-384/512 ones are 64-bit only: their steps run on 64-bit scalar registers, which the
// 32-bit build lacks (it compresses in AVX-512 or SSE2 registers instead: sha512_avx512vl.h,
// sha512_sse2.cpp).
#ifndef KORVADEX_DIGESTS_SHA_ACCELERATED_H
#define KORVADEX_DIGESTS_SHA_ACCELERATED_H

#include <cstddef>
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#define KORVADEX_HAVE_SHA_ACCELERATED 1

void Sha1CompressShaExt(uint32_t (&state)[5], const uint8_t* data, size_t blocks);
// SHA-0's schedule has no rotation; its rounds are SHA-1's.
void Sha0CompressShaExt(uint32_t (&state)[5], const uint8_t* data, size_t blocks);
void Sha256CompressShaExt(uint32_t (&state)[8], const uint8_t* data, size_t blocks);
#endif

#if defined(__x86_64__)
#define KORVADEX_HAVE_SHA512_ACCELERATED 1
void Sha512CompressAvx2(uint64_t (&state)[8], const uint8_t* data, size_t blocks);
#endif

#endif
