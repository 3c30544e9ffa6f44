// PANAMA's iterations on AVX-512 registers.
//
// The portable iterations keep seventeen state words and their seventeen images under gamma
// and pi in general registers, which 32-bit x86 has seven of: there the words go through
// memory at every step.  Here a0..a15 fill the sixteen lanes of one 512-bit register and a16
// lane 0 of a second, whose other lanes are don't-care.  gamma is one three-input logic
// instruction over the state and its two shifted copies, pi one two-register permutation and
// one variable rotation, theta two shifted copies and one three-input exclusive-or; the
// seventeenth word takes a few single-lane steps beside them.  Each buffer stage is one
// 256-bit register.  Both builds iterate with it where the processor has AVX-512 F, BW and
// VL.
#ifndef KORVADEX_DIGESTS_PANAMA_AVX512_H
#define KORVADEX_DIGESTS_PANAMA_AVX512_H

#include <cstddef>
#include <cstdint>

#include "panama.h"

#if defined(__i386__) || defined(__x86_64__)
#define KORVADEX_HAVE_PANAMA_AVX512 1

// n iterations over the state, buffer and tap of c, exactly as the portable iterations
// make them: pushing the n 32-byte blocks at data (no alignment needed) or, where data is
// null, pulling n times.  Leaves mix and nextTap as those do.  Only for processors with
// AVX-512 F, BW and VL (Cpu().avx512).
void PanamaIterateAvx512(PanamaContextType& c, const uint8_t* data, size_t n);
#endif

#endif
