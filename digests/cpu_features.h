// What the processor offers beyond the base instruction set, read once with cpuid, for the
// engines' accelerated paths.  The portable code stays the fallback: where a feature is
// absent, or the environment variable KORVADEX_PORTABLE is set to 1, every flag reads false
// and every engine runs its portable code.
#ifndef KORVADEX_DIGESTS_CPU_FEATURES_H
#define KORVADEX_DIGESTS_CPU_FEATURES_H

struct CpuFeatures {
    bool sse2 = false;
    bool ssse3 = false;
    bool sse41 = false;
    bool pclmul = false;  // PCLMULQDQ
    bool avx2 = false;    // AVX2, with the operating system saving the YMM registers
    bool bmi1 = false;    // BMI1 (bextr, andn)
    bool bmi2 = false;
    bool sha = false;         // the SHA extensions (SHA-1 and SHA-256 rounds)
    bool avx512 = false;      // AVX-512 F, BW and VL, with the ZMM registers saved
    bool avx512vnni = false;  // with avx512
    bool vpclmul = false;     // VPCLMULQDQ on 512-bit registers (with avx512)
    bool gfni = false;
    bool avx512vbmi = false;  // with avx512
};

// The features of this processor, read on the first call; all false when KORVADEX_PORTABLE=1.
const CpuFeatures& Cpu();

// The features of this processor, ignoring KORVADEX_PORTABLE: for tests, which set the
// accelerated paths against the portable ones whatever the environment says.
const CpuFeatures& DetectedCpu();

#endif
