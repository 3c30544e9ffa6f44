// Small helpers shared by the engines: loads and stores in either byte order,
// rotations, a prefetch hint, and a wipe the compiler may not drop.  Loads and stores go byte by
// byte (compilers turn them into single moves), so data may be unaligned and the results do not
// depend on the host's byte order.
#ifndef KORVADEX_DIGESTS_BYTE_ORDER_H
#define KORVADEX_DIGESTS_BYTE_ORDER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "compiler_hints.h"

inline uint32_t Rotl32(uint32_t x, unsigned n) {
    n &= 31;
    return (x << n) | (x >> ((32 - n) & 31));
}
inline uint32_t Rotr32(uint32_t x, unsigned n) {
    n &= 31;
    return (x >> n) | (x << ((32 - n) & 31));
}
inline uint64_t Rotl64(uint64_t x, unsigned n) {
    n &= 63;
    return (x << n) | (x >> ((64 - n) & 63));
}
inline uint64_t Rotr64(uint64_t x, unsigned n) {
    n &= 63;
    return (x >> n) | (x << ((64 - n) & 63));
}

inline uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint32_t LoadBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
inline uint64_t LoadLe64(const uint8_t* p) {
    return uint64_t(LoadLe32(p)) | uint64_t(LoadLe32(p + 4)) << 32;
}
inline uint64_t LoadBe64(const uint8_t* p) {
    return uint64_t(LoadBe32(p)) << 32 | uint64_t(LoadBe32(p + 4));
}

inline void StoreLe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void StoreBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
inline void StoreLe64(uint8_t* p, uint64_t v) {
    StoreLe32(p, uint32_t(v));
    StoreLe32(p + 4, uint32_t(v >> 32));
}
inline void StoreBe64(uint8_t* p, uint64_t v) {
    StoreBe32(p, uint32_t(v >> 32));
    StoreBe32(p + 4, uint32_t(v));
}

// Asks the processor to start fetching the cache line kPrefetchDistance bytes past p.  The
// engines read the caller's buffer front to back, and a buffer larger than the
// second-level cache comes in more slowly than the hardware's own prefetching anticipates,
// so the faster engines would wait for it.  Only a hint: nothing is read, and an address
// past the end of the buffer does no harm (the address is formed as an integer, never as a
// pointer beyond the buffer).  64-bit builds only: the i686 target of the 32-bit build has
// no prefetch instruction, so there the hint compiles to nothing, yet it still changed how
// the compiler laid out the engines' loops, for the worse (docs/tuning.md, "Prefetch hints").
constexpr uintptr_t kPrefetchDistance = 2048;
inline void PrefetchAhead(const void* p) {
#if defined(__GNUC__) && UINTPTR_MAX > 0xFFFFFFFFu
    __builtin_prefetch(
        reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(p) + kPrefetchDistance));
#else
    (void)p;
#endif
}

// Zeroes n bytes of working state that nothing reads afterwards; KeepStores keeps the
// optimiser from removing the zeros as dead stores.
inline void Wipe(void* p, size_t n) {
    std::memset(p, 0, n);
    KeepStores(p);
}

#endif
