// Tiger's compression on SSE2 registers, for 32-bit x86.
//
// A 32-bit x86 processor has seven free 32-bit registers: the scalar compression keeps its
// three 64-bit words and the eight message words mostly in memory, and needs two loads and
// two XORs for every 64-bit S-box entry, and carry pairs for every addition.  SSE2 holds
// each word in one register, loads each entry with one instruction and adds, subtracts
// and shifts 64 bits at once.  The 32-bit build compresses with it when the processor has
// SSE2 but not the SSE4.1 and BMI1 of tiger_i686.h; the 64-bit build keeps to the scalar
// compression, and has this one only so that the tests can set the two side by side.
#ifndef KORVADEX_DIGESTS_TIGER_SSE2_H
#define KORVADEX_DIGESTS_TIGER_SSE2_H

#include <cstddef>
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#define KORVADEX_HAVE_TIGER_SSE2 1

// Compresses count 64-byte blocks of data into state (a, b, c), exactly as the scalar
// compression does.  Only for processors with SSE2.
void TigerCompressSse2(uint64_t (&state)[3], const uint8_t* data, size_t count);
#endif

#endif
