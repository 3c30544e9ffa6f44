// Compressions of the SHA family on processor extensions, for x86 (64- and 32-bit).
//
// Each compresses `blocks` whole blocks at data (64 bytes each for SHA-0, SHA-1 and
// SHA-256, 128 for SHA-384/512) into the chaining value state, exactly as the portable
// compressions of the engines do; data needs no alignment.  Each file is compiled with the
// build's baseline flags and only these functions are built for their extensions, so they
// may be called only where Cpu() (or DetectedCpu(), in tests) reports what each needs:
//
//   Sha1CompressShaExt, Sha0CompressShaExt, Sha256CompressShaExt   sha and sse41 (SSSE3 too)
//   Sha512CompressAvx2                                              avx2, bmi1 and bmi2
//   Sha512CompressAvx2Avx512Vl                                      those and avx512
//
// The SHA-384/512 ones are for x86-64 with the System V calling convention only, written in
// assembly (sha512_avx2_x86_64.S; the build defines KORVADEX_HAVE_SHA512_AVX2_ASM where it
// assembles it): their steps run on 64-bit scalar registers, which the 32-bit build lacks (it
// compresses in AVX-512 or SSE2 registers instead: sha512_avx512vl.h, sha512_sse2.cpp).  The
// second forms the message schedule with AVX-512 VL's rotations, fewer instructions beside
// the same steps.
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

#if defined(__x86_64__) && defined(KORVADEX_HAVE_SHA512_AVX2_ASM)
#define KORVADEX_HAVE_SHA512_ACCELERATED 1
extern "C" void korvadex_sha512_compress_avx2(uint64_t* state, const uint8_t* data, size_t blocks);
extern "C" void korvadex_sha512_compress_avx512vl(uint64_t* state, const uint8_t* data,
                                                  size_t blocks);
inline void Sha512CompressAvx2(uint64_t (&state)[8], const uint8_t* data, size_t blocks) {
    korvadex_sha512_compress_avx2(state, data, blocks);
}
inline void Sha512CompressAvx2Avx512Vl(uint64_t (&state)[8], const uint8_t* data, size_t blocks) {
    korvadex_sha512_compress_avx512vl(state, data, blocks);
}
#endif

#endif
