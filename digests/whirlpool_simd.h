// Whirlpool's compression on AVX-512 registers: the 8 x 8-byte state matrix in one 512-bit
// register, the S-box as two 128-byte table lookups (VBMI), the cyclic shift of the columns
// as one byte permutation and the diffusion layer's multiplications by constants as GF(2)
// affine maps (GFNI).  The state and the key schedule run side by side, each round one
// dependent chain of a few vector instructions instead of sixty-four table lookups.
#ifndef KORVADEX_DIGESTS_WHIRLPOOL_SIMD_H
#define KORVADEX_DIGESTS_WHIRLPOOL_SIMD_H

#include <cstddef>
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#define KORVADEX_HAVE_WHIRLPOOL_AVX512 1

// Compresses count 64-byte blocks of data into state (the rows as WhirlpoolContextData holds
// them), exactly as the portable compression does.  Only for processors with AVX-512 F, BW,
// VL and VBMI and GFNI.
void WhirlpoolCompressAvx512(uint64_t (&state)[8], const uint64_t (&roundConstants)[10],
                             const uint8_t* data, size_t count);
#endif

#endif
