// The engines' compressions on x86 processor extensions, 64- and 32-bit, one file each in
// this folder, named <family>_<extensions>.
//
// Each compresses exactly as the portable compression of its engine does; data needs no
// alignment.  Each file is compiled with the build's baseline flags and only its kernels are
// built for their extensions, so they may be called only where the processor has what each
// needs.  The engines call them through their path tables (compress_paths.h), whose rows
// name those needs; nothing else calls them.
#ifndef KORVADEX_DIGESTS_X86_KERNELS_H
#define KORVADEX_DIGESTS_X86_KERNELS_H

#include <cstddef>
#include <cstdint>

#include "panama.h"

// The CRC variants the carry-less multiplication kernels compute.
enum class CrcVariant { kCrc16Arc, kCrc16Ibm3740, kCrc32IsoHdlc, kCrc32Bzip2 };

#if defined(__i386__) || defined(__x86_64__)
#define KORVADEX_X86_KERNELS 1

// The checksums (crc_clmul.cpp, adler32_simd.cpp).
//
// The register of the variant's table loop after `length` bytes of data, 16 or more,
// continued from the register r: on PCLMULQDQ with SSSE3 and SSE4.1, or on VPCLMULQDQ with
// AVX-512 F, BW, VL and VBMI besides.
template <CrcVariant V>
uint32_t CrcPclmul(const uint8_t* data, size_t length, uint32_t r);
template <CrcVariant V>
uint32_t CrcVpclmul(const uint8_t* data, size_t length, uint32_t r);

// Adler-32 sums a (low half of start) and b (high half) continued over `blocks` 64-byte
// blocks of data, reduced modulo 65521: on SSSE3, AVX2, AVX-512 BW, or AVX-512 VNNI.
uint32_t Adler32BlocksSsse3(const uint8_t* data, size_t blocks, uint32_t start);
uint32_t Adler32BlocksAvx2(const uint8_t* data, size_t blocks, uint32_t start);
uint32_t Adler32BlocksAvx512(const uint8_t* data, size_t blocks, uint32_t start);
uint32_t Adler32BlocksAvx512Vnni(const uint8_t* data, size_t blocks, uint32_t start);

// The SHA family on the SHA extensions (sha1_sha_ext.cpp, sha0_sha_ext.cpp,
// sha256_sha_ext.cpp): `blocks` 64-byte blocks into the chaining value.  Each needs the SHA
// extensions and SSE4.1 (SSSE3 too).  SHA-0's schedule has no rotation; its rounds are
// SHA-1's.
void Sha1CompressShaExt(uint32_t (&state)[5], const uint8_t* data, size_t blocks);
void Sha0CompressShaExt(uint32_t (&state)[5], const uint8_t* data, size_t blocks);
void Sha256CompressShaExt(uint32_t (&state)[8], const uint8_t* data, size_t blocks);

// SHA-384/512 on x86-64 with the System V calling convention, written in assembly
// (sha512_avx2_x86_64.S; the build defines KORVADEX_HAVE_SHA512_AVX2_ASM where it assembles
// it): `blocks` 128-byte blocks into the chaining value state[0..7].  Their steps run on
// 64-bit scalar registers, which the 32-bit build lacks (it compresses in AVX-512 or SSE2
// registers instead, below).  The first forms the message schedule with AVX2 and needs AVX2,
// BMI1 and BMI2; the second forms it with AVX-512 VL's rotations, fewer instructions beside
// the same steps, and needs AVX-512 F, BW and VL besides.
#if defined(__x86_64__) && defined(KORVADEX_HAVE_SHA512_AVX2_ASM)
extern "C" void korvadex_sha512_compress_avx2(uint64_t* state, const uint8_t* data, size_t blocks);
extern "C" void korvadex_sha512_compress_avx512vl(uint64_t* state, const uint8_t* data,
                                                  size_t blocks);
#endif

// PANAMA's iterations (panama_avx512.cpp, panama_avx2.cpp): n iterations over the state,
// buffer and tap of c, exactly as the portable iterations make them, pushing the n 32-byte
// blocks at data (no alignment needed) or, where data is null, pulling n times.  Each leaves
// mix and nextTap as those do.
//
// On AVX-512 F, BW and VL: the portable iterations keep seventeen state words and their
// seventeen images under gamma and pi in general registers, which 32-bit x86 has seven of:
// there the words go through memory at every step.  Here a0..a15 fill the sixteen lanes of
// one 512-bit register and a16 lane 0 of a second, whose other lanes are don't-care.  gamma
// is one three-input logic instruction over the state and its two shifted copies, pi one
// two-register permutation and one variable rotation, theta two shifted copies and one
// three-input exclusive-or; the seventeenth word takes a few single-lane steps beside them.
// Each buffer stage is one 256-bit register.  Both builds iterate with it where the
// processor has AVX-512 F, BW and VL.
void PanamaIterateAvx512(PanamaContextType& c, const uint8_t* data, size_t n);

#ifdef __i386__
// On AVX2, for 32-bit x86 processors without AVX-512.  As on AVX-512, the state leaves the
// general registers, of which 32-bit x86 has too few: a0..a7 and a8..a15 are two 256-bit
// registers and a16 lane 0 of a third.  AVX2 has neither permutations across two registers
// nor three-input logic nor rotations, so each shifted or permuted copy of the seventeen
// words is a permutation of each register and blends, gamma two instructions a register (its
// words complemented, which pi and theta carry through to sigma, where the complement is
// undone for free), and each rotation two shifts and an or.
void PanamaIterateAvx2(PanamaContextType& c, const uint8_t* data, size_t n);

// SHA-384/512 on vector registers, for 32-bit x86 (sha512_avx512vl.cpp, sha512_sse2.cpp).
//
// A 32-bit x86 processor has seven free 32-bit registers: the scalar compression keeps most
// of its sixteen working halves in memory and needs two instructions, or more, for every
// 64-bit addition, rotation and logical operation.  SSE2 has 64-bit additions, shifts and
// logic in its eight 128-bit registers, so there each working variable sits in one
// register.  AVX-512 adds a one-instruction 64-bit rotation and one-instruction three-input
// logic (Ch, Maj and the three-way exclusive-or of each sigma); its compression keeps the two
// newest a and e in registers and reads the older working variables as memory operands,
// which leaves the eight registers enough room for the temporaries, and runs the message
// schedule for eight blocks at once in 512-bit registers.  In the 32-bit Windows build
// (mingw-w64) its groups of blocks are the assembly of sha512_avx512vl_i686.S.
//
// Compress count 128-byte blocks of data into the chaining value state: on AVX-512 F, BW and
// VL, or on SSE2.
void Sha512CompressAvx512Vl(uint64_t (&state)[8], const uint8_t* data, size_t count);
void Sha512CompressSse2(uint64_t (&state)[8], const uint8_t* data, size_t count);

// Tiger's compression on SSE2 registers, for 32-bit x86 (tiger_sse2.cpp).  A 32-bit x86
// processor has seven free 32-bit registers: the scalar compression keeps its three 64-bit
// words and the eight message words mostly in memory, and needs two loads and two XORs for
// every 64-bit S-box entry, and carry pairs for every addition.  SSE2 holds each word in one
// register, loads each entry with one instruction and adds, subtracts and shifts 64 bits at
// once.  Compresses count 64-byte blocks of data into state (a, b, c).
void TigerCompressSse2(uint64_t (&state)[3], const uint8_t* data, size_t count);

// Tiger's compression for 32-bit x86 processors with SSE4.1 and BMI1 (tiger_i686.cpp), whose
// S-boxes are addressed absolutely, as 32-bit Windows code does.
//
// The chain that bounds Tiger runs from one round's subtraction into a through the bytes of
// the same word, as the next round's c, to the S-box entries that the round after subtracts.
// The SSE2 compression keeps a in an SSE register and has to move it into general registers
// on that chain.  This one subtracts in general registers instead: a is taken out of its SSE
// register early, as soon as it is known, and the difference is the next c in the two 32-bit
// halves that the bytes are read from (bextr takes the third byte of a half in one step).
// The other two words and their additions, multiplications and key schedule stay in SSE
// registers, off that chain.
#if !defined(__PIC__) && defined(__GNUC__)
#define KORVADEX_HAVE_TIGER_I686 1
void TigerCompressSse41Bmi1(uint64_t (&state)[3], const uint8_t* data, size_t count);
#endif
#endif  // __i386__

// Whirlpool's compression on AVX-512 registers (whirlpool_avx512.cpp): the 8 x 8-byte state
// matrix in one 512-bit register, the S-box as two 128-byte table lookups (VBMI), the cyclic
// shift of the columns as one byte permutation and the diffusion layer's multiplications by
// constants as GF(2) affine maps (GFNI).  The state and the key schedule run side by side,
// each round one dependent chain of a few vector instructions instead of sixty-four table
// lookups.  Compresses count 64-byte blocks of data into state (the rows as
// WhirlpoolContextData holds them); needs AVX-512 F, BW, VL and VBMI and GFNI.
void WhirlpoolCompressAvx512(uint64_t (&state)[8], const uint64_t (&roundConstants)[10],
                             const uint8_t* data, size_t count);

#endif  // x86

#endif
