#include "cpu_features.h"

#include <cstdlib>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

#if defined(__i386__) || defined(__x86_64__)
// The register state the operating system saves on a context switch (XCR0).
unsigned long long SavedState() {
    unsigned eax, edx;
    __asm__ __volatile__("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
    return (static_cast<unsigned long long>(edx) << 32) | eax;
}

CpuFeatures Detect() {
    CpuFeatures f;
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    f.sse2 = (d >> 26) & 1;
    f.ssse3 = (c >> 9) & 1;
    f.sse41 = (c >> 19) & 1;
    f.pclmul = (c >> 1) & 1;
    const bool osxsave = (c >> 27) & 1;
    const bool avx = (c >> 28) & 1;
    const unsigned long long saved = osxsave ? SavedState() : 0;
    const bool ymmSaved = (saved & 0x6) == 0x6;
    const bool zmmSaved = (saved & 0xE6) == 0xE6;
    if (__get_cpuid_max(0, nullptr) < 7) return f;
    __cpuid_count(7, 0, a, b, c, d);
    f.avx2 = avx && ymmSaved && ((b >> 5) & 1);
    f.bmi1 = (b >> 3) & 1;
    f.bmi2 = (b >> 8) & 1;
    f.sha = (b >> 29) & 1;
    f.avx512 = f.avx2 && zmmSaved && ((b >> 16) & 1) && ((b >> 30) & 1) && ((b >> 31) & 1);
    f.avx512vnni = f.avx512 && ((c >> 11) & 1);
    f.vpclmul = f.avx512 && ((c >> 10) & 1);
    f.gfni = (c >> 8) & 1;
    f.avx512vbmi = f.avx512 && ((c >> 1) & 1);
    return f;
}
#else
CpuFeatures Detect() {
    return CpuFeatures();
}
#endif

bool PortableForced() {
    const char* value = std::getenv("KORVADEX_PORTABLE");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace

const CpuFeatures& DetectedCpu() {
    static const CpuFeatures features = Detect();
    return features;
}

const CpuFeatures& Cpu() {
    static const CpuFeatures features = PortableForced() ? CpuFeatures() : DetectedCpu();
    return features;
}
