// The SHA-384/SHA-512 compression function on AVX-512 registers, for 32-bit x86.
//
// Like the SSE2 compression (sha512_sse2.h), it works on 64-bit words in vector registers,
// one instruction per operation; AVX-512 adds a one-instruction 64-bit rotation and
// one-instruction three-input logic (Ch, Maj and the three-way exclusive-or of each sigma).
// The steps keep the two newest a and e in registers and read the older working variables
// as memory operands, which leaves the eight registers of a 32-bit processor enough room for
// the temporaries; the message schedule runs for eight blocks at once in 512-bit registers.
// The 32-bit build compresses with it where the processor has AVX-512 F, BW and VL; in the
// 32-bit Windows build (mingw-w64) its groups of blocks are the assembly of
// sha512_avx512vl_i686.S, elsewhere the C++ of sha512_avx512vl.cpp.  The 64-bit build keeps
// its own compressions and has this one only so that the tests can set it beside the
// portable one there too.
#ifndef KORVADEX_DIGESTS_SHA512_AVX512VL_H
#define KORVADEX_DIGESTS_SHA512_AVX512VL_H

#include <cstddef>
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#define KORVADEX_HAVE_SHA512_AVX512VL 1

// Compresses count 128-byte blocks of data into the chaining value state, exactly as the
// portable compression does; data needs no alignment.  Only for processors with AVX-512 F,
// BW and VL (Cpu().avx512).
void Sha512CompressAvx512Vl(uint64_t (&state)[8], const uint8_t* data, size_t count);
#endif

#endif
