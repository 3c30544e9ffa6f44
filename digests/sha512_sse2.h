// The SHA-384/SHA-512 compression function on SSE2 registers, for 32-bit x86.
//
// A 32-bit x86 processor has seven free 32-bit registers: the scalar compression keeps
// most of its sixteen working halves in memory and needs two instructions, or more, for
// every 64-bit addition, rotation and logical operation.  SSE2 has 64-bit additions,
// shifts and logic in its eight 128-bit registers, so there each working variable sits in
// one register.  The 32-bit build compresses with it when the processor has SSE2 (every
// x86-64 processor has, and most 32-bit ones since 2001) but not AVX-512, whose compression
// (sha512_avx512vl.h) it prefers; the 64-bit build, with sixteen
// 64-bit registers, keeps to the scalar compression, and has this one only so that the
// tests can set the two side by side.
#ifndef KORVADEX_DIGESTS_SHA512_SSE2_H
#define KORVADEX_DIGESTS_SHA512_SSE2_H

#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#define KORVADEX_HAVE_SHA512_SSE2 1

// Compresses the 128-byte block into the chaining value state[0..7], exactly as the
// scalar compression does.  Only for processors with SSE2.
void Sha512CompressSse2(uint64_t state[8], const uint8_t block[128]);
#endif

#endif
