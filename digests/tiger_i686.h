// Tiger's compression for 32-bit x86 processors with SSE4.1 and BMI1.
//
// The chain that bounds Tiger runs from one round's subtraction into a through the bytes
// of the same word, as the next round's c, to the S-box entries that the round after
// subtracts.  The SSE2 compression (tiger_sse2.h) keeps a in an SSE register and has to
// move it into general registers on that chain.  This one subtracts in general registers
// instead: a is taken out of its SSE register early, as soon as it is known, and the
// difference is the next c in the two 32-bit halves that the bytes are read from (bextr
// takes the third byte of a half in one step).  The other two words and their additions,
// multiplications and key schedule stay in SSE registers, off that chain.
#ifndef KORVADEX_DIGESTS_TIGER_I686_H
#define KORVADEX_DIGESTS_TIGER_I686_H

#include <cstddef>
#include <cstdint>

// The S-boxes are addressed absolutely, as 32-bit Windows code does.
#if defined(__i386__) && !defined(__PIC__) && defined(__GNUC__)
#define KORVADEX_HAVE_TIGER_I686 1

// Compresses count 64-byte blocks of data into state (a, b, c), exactly as the portable
// compression does.  Only for processors with SSE4.1 and BMI1.
void TigerCompressSse41Bmi1(uint64_t (&state)[3], const uint8_t* data, size_t count);
#endif

#endif
