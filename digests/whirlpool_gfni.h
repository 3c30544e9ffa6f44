// Whirlpool's compression on AVX-512 with GFNI, for x86 (64- and 32-bit).
//
// The whole 8x8-byte state sits in one 512-bit register: the S-box is four 64-byte table
// lookups across registers (VBMI), the column shifts one byte permutation, and the
// diffusion layer's products by the eight matrix coefficients GF(2)-linear maps of each byte
// (GFNI's affine transform; its own multiplication uses another field polynomial).  Built
// for those extensions by its target attribute alone; callable only where Cpu() (or
// DetectedCpu()) reports avx512, avx512vbmi and gfni.
#ifndef KORVADEX_DIGESTS_WHIRLPOOL_GFNI_H
#define KORVADEX_DIGESTS_WHIRLPOOL_GFNI_H

#include <cstddef>
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#define KORVADEX_HAVE_WHIRLPOOL_GFNI 1

// Compresses `blocks` 64-byte blocks at data into state, with the round constants given,
// exactly as the portable compression does.
void WhirlpoolCompressGfni(uint64_t (&state)[8], const uint64_t (&roundConstants)[10],
                           const uint8_t* data, size_t blocks);
#endif

#endif
