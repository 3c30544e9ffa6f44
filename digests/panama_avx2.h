// PANAMA's iterations on AVX2 registers, for 32-bit x86 processors without AVX-512.
//
// As in panama_avx512.h, the state leaves the general registers, of which 32-bit x86 has too
// few: a0..a7 and a8..a15 are two 256-bit registers and a16 lane 0 of a third.  AVX2 has
// neither permutations across two registers nor three-input logic nor rotations, so each
// shifted or permuted copy of the seventeen words is a permutation of each register and
// blends, gamma two instructions a register (its words complemented, which pi and theta
// carry through to sigma, where the complement is undone for free), and each rotation two
// shifts and an or.  The 32-bit build iterates with it where the processor has AVX2 but not
// AVX-512; the 64-bit build has it only for the tests.
#ifndef KORVADEX_DIGESTS_PANAMA_AVX2_H
#define KORVADEX_DIGESTS_PANAMA_AVX2_H

#include <cstddef>
#include <cstdint>

#include "panama.h"

#if defined(__i386__) || defined(__x86_64__)
#define KORVADEX_HAVE_PANAMA_AVX2 1

// n iterations over the state, buffer and tap of c, exactly as the portable iterations
// make them: pushing the n 32-byte blocks at data (no alignment needed) or, where data is
// null, pulling n times.  Leaves mix and nextTap as those do.  Only for processors with
// AVX2 (Cpu().avx2).
void PanamaIterateAvx2(PanamaContextType& c, const uint8_t* data, size_t n);
#endif

#endif
