#include "checksum_kernels.h"

#ifdef KORVADEX_HAVE_CHECKSUM_KERNELS

#include <immintrin.h>

// A CRC register after a message M of n bits, from a zero register, is M(x) x^w modulo
// the polynomial P of width w.  The input is taken 16 bytes at a time as a 128-bit
// polynomial: its first bit the coefficient of x^127 of the block.  Folding a block S a
// distance of D bits further on (onto the block D bits later) replaces S x^D by a product
// of the same remainder modulo P: each 64-bit half times x^D, or x^(D + 64), modulo P, one
// carry-less multiplication a half.  The products have degree below 64 + w, so they fit
// the block they land on.  What is left at the end, 16 bytes, has the same remainder as
// everything before it, and the variant's table code takes it from a zero register: no
// reduction step of its own, and the same code for the 16-bit and the 32-bit CRCs.
//
// The register that the data continues from stands as the first w bits of the message:
// the table loops fold it in the same way, and it needs n >= w.
//
// In the reflected variants the first bit of a byte is its lowest, so the block, loaded
// as it stands, holds the coefficient of x^(127 - k) in bit k: the low half carries the
// higher powers.  A carry-less product of two such reflected halves comes out reflected
// in 128 bits one place low: it stands for the product times x.  The multipliers are
// therefore x^(D + 63) and x^(D - 1), reflected.  In the other variants a block is loaded
// with its bytes reversed, which puts the coefficient of x^k in bit k.
//
// Every multiplier is computed below from the polynomial, at compile time.

#define KORVADEX_PCLMUL __attribute__((target("pclmul,ssse3,sse4.1")))
#define KORVADEX_VPCLMUL \
    __attribute__((target("pclmul,ssse3,sse4.1,avx512f,avx512bw,avx512vl,vpclmulqdq")))

namespace {

struct CrcShape {
    unsigned width;
    uint32_t poly;  // without its x^width term
    bool reflected;
};

constexpr CrcShape ShapeOf(CrcVariant variant) {
    return variant == CrcVariant::kCrc16Arc       ? CrcShape{16, 0x8005, true}
           : variant == CrcVariant::kCrc16Ibm3740 ? CrcShape{16, 0x1021, false}
           : variant == CrcVariant::kCrc32IsoHdlc ? CrcShape{32, 0x04C11DB7, true}
                                                  : CrcShape{32, 0x04C11DB7, false};
}

// x^n modulo the polynomial, the coefficient of x^d in bit d.
constexpr uint64_t PowerOfX(unsigned n, CrcShape shape) {
    const uint64_t top = uint64_t(1) << shape.width;
    uint64_t r = 1;
    for (; n != 0; --n) {
        r <<= 1;
        if ((r & top) != 0) r ^= top | shape.poly;
    }
    return r;
}

// The polynomial of degree below 64 with the coefficient of x^d in bit 63 - d.
constexpr uint64_t Reflect64(uint64_t v) {
    uint64_t r = 0;
    for (unsigned d = 0; d < 64; ++d)
        if (((v >> d) & 1) != 0) r |= uint64_t(1) << (63 - d);
    return r;
}

// The multipliers of a block's low and high half for folding it a distance further on.
struct FoldMultipliers {
    uint64_t low, high;
};

constexpr FoldMultipliers MultipliersFor(CrcShape shape, unsigned distance) {
    if (shape.reflected)
        return {Reflect64(PowerOfX(distance + 63, shape)),
                Reflect64(PowerOfX(distance - 1, shape))};
    return {PowerOfX(distance, shape), PowerOfX(distance + 64, shape)};
}

// The multipliers of one variant for the distances the kernels fold over, in bits.
template <CrcVariant V>
struct Multipliers {
    static constexpr CrcShape kShape = ShapeOf(V);
    static constexpr FoldMultipliers k128 = MultipliersFor(kShape, 128);
    static constexpr FoldMultipliers k512 = MultipliersFor(kShape, 512);
    static constexpr FoldMultipliers k1024 = MultipliersFor(kShape, 1024);
    static constexpr FoldMultipliers k2048 = MultipliersFor(kShape, 2048);
    static constexpr FoldMultipliers k4096 = MultipliersFor(kShape, 4096);
};

// The 128-bit registers: eight blocks side by side on x86-64; the 32-bit build has eight
// registers in all, so four.
constexpr size_t kLanes = sizeof(void*) == 8 ? 8 : 4;
// The 512-bit registers likewise: x86-64 has 32 of them, the 32-bit build 8.
constexpr size_t kWideLanes = sizeof(void*) == 8 ? 8 : 4;

KORVADEX_PCLMUL inline __m128i Pair(FoldMultipliers m) {
    return _mm_set_epi64x(static_cast<long long>(m.high), static_cast<long long>(m.low));
}

KORVADEX_PCLMUL inline __m128i ReversedBytes() {
    return _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}

template <bool kReflected>
KORVADEX_PCLMUL inline __m128i LoadBlock(const uint8_t* p) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if constexpr (kReflected) {
        return x;
    } else {
        return _mm_shuffle_epi8(x, ReversedBytes());
    }
}

// The register r as the first `width` bits of a block.
template <CrcVariant V>
KORVADEX_PCLMUL inline __m128i RegisterBlock(uint32_t r) {
    constexpr CrcShape shape = ShapeOf(V);
    if constexpr (shape.reflected) {
        return _mm_cvtsi32_si128(static_cast<int>(r));
    } else {
        return _mm_slli_si128(_mm_cvtsi32_si128(static_cast<int>(r << (32 - shape.width))), 12);
    }
}

template <bool kReflected>
KORVADEX_PCLMUL inline void StoreBlock(uint8_t* p, __m128i x) {
    if constexpr (!kReflected) x = _mm_shuffle_epi8(x, ReversedBytes());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
}

// s carried onto next, with the multipliers of the distance between them.
KORVADEX_PCLMUL inline __m128i FoldOnto(__m128i s, __m128i next, __m128i multipliers) {
    const __m128i low = _mm_clmulepi64_si128(s, multipliers, 0x00);
    const __m128i high = _mm_clmulepi64_si128(s, multipliers, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

template <CrcVariant V>
KORVADEX_PCLMUL void FoldPclmul(const uint8_t* p, size_t blocks, uint32_t r, uint8_t residue[16]) {
    using M = Multipliers<V>;
    constexpr bool kReflected = M::kShape.reflected;
    const __m128i k128 = Pair(M::k128);
    __m128i acc;
    if (blocks >= kLanes) {
        const __m128i kAcross = Pair(kLanes == 8 ? M::k1024 : M::k512);
        __m128i lane[kLanes];
#pragma GCC unroll 8
        for (size_t i = 0; i < kLanes; ++i) lane[i] = LoadBlock<kReflected>(p + 16 * i);
        lane[0] = _mm_xor_si128(lane[0], RegisterBlock<V>(r));
        p += 16 * kLanes;
        blocks -= kLanes;
        for (; blocks >= kLanes; blocks -= kLanes, p += 16 * kLanes)
#pragma GCC unroll 8
            for (size_t i = 0; i < kLanes; ++i)
                lane[i] = FoldOnto(lane[i], LoadBlock<kReflected>(p + 16 * i), kAcross);
        acc = lane[0];
#pragma GCC unroll 8
        for (size_t i = 1; i < kLanes; ++i) acc = FoldOnto(acc, lane[i], k128);
    } else {
        acc = _mm_xor_si128(LoadBlock<kReflected>(p), RegisterBlock<V>(r));
        p += 16;
        --blocks;
    }
    for (; blocks != 0; --blocks, p += 16) acc = FoldOnto(acc, LoadBlock<kReflected>(p), k128);
    StoreBlock<kReflected>(residue, acc);
}

// The masked forms of broadcast and extract: the plain ones start from an undefined
// register, which GCC 12 warns of as uninitialised.
KORVADEX_VPCLMUL inline __m512i Broadcast(__m128i x) {
    return _mm512_maskz_broadcast_i32x4(0xFFFF, x);
}

template <int kLane>
KORVADEX_VPCLMUL inline __m128i Lane(__m512i z) {
    return _mm512_maskz_extracti32x4_epi32(0xF, z, kLane);
}

KORVADEX_VPCLMUL inline __m512i Pair512(FoldMultipliers m) {
    return Broadcast(Pair(m));
}

template <bool kReflected>
KORVADEX_VPCLMUL inline __m512i Load4Blocks(const uint8_t* p) {
    const __m512i x = _mm512_loadu_si512(p);
    if constexpr (kReflected) {
        return x;
    } else {
        return _mm512_shuffle_epi8(x, Broadcast(ReversedBytes()));
    }
}

// Four blocks carried onto the four next, lane by lane.
KORVADEX_VPCLMUL inline __m512i FoldOnto512(__m512i s, __m512i next, __m512i multipliers) {
    const __m512i low = _mm512_clmulepi64_epi128(s, multipliers, 0x00);
    const __m512i high = _mm512_clmulepi64_epi128(s, multipliers, 0x11);
    return _mm512_ternarylogic_epi64(low, high, next, 0x96);  // low ^ high ^ next
}

// Several 512-bit registers side by side, four blocks each.
template <CrcVariant V>
KORVADEX_VPCLMUL void FoldVpclmul(const uint8_t* p, size_t blocks, uint32_t r,
                                  uint8_t residue[16]) {
    constexpr size_t kStep = 4 * kWideLanes;  // blocks
    if (blocks < kStep) {
        FoldPclmul<V>(p, blocks, r, residue);
        return;
    }
    using M = Multipliers<V>;
    constexpr bool kReflected = M::kShape.reflected;
    const __m512i kAcross = Pair512(kWideLanes == 8 ? M::k4096 : M::k2048);
    const __m512i k512 = Pair512(M::k512);
    __m512i lane[kWideLanes];
#pragma GCC unroll 8
    for (size_t i = 0; i < kWideLanes; ++i) lane[i] = Load4Blocks<kReflected>(p + 64 * i);
    lane[0] = _mm512_xor_si512(lane[0], _mm512_zextsi128_si512(RegisterBlock<V>(r)));
    p += 16 * kStep;
    blocks -= kStep;
    for (; blocks >= kStep; blocks -= kStep, p += 16 * kStep)
#pragma GCC unroll 8
        for (size_t i = 0; i < kWideLanes; ++i)
            lane[i] = FoldOnto512(lane[i], Load4Blocks<kReflected>(p + 64 * i), kAcross);
    __m512i z0 = lane[0];
#pragma GCC unroll 8
    for (size_t i = 1; i < kWideLanes; ++i) z0 = FoldOnto512(z0, lane[i], k512);
    for (; blocks >= 4; blocks -= 4, p += 64)
        z0 = FoldOnto512(z0, Load4Blocks<kReflected>(p), k512);
    const __m128i k128 = Pair(M::k128);
    __m128i acc = Lane<0>(z0);
    acc = FoldOnto(acc, Lane<1>(z0), k128);
    acc = FoldOnto(acc, Lane<2>(z0), k128);
    acc = FoldOnto(acc, Lane<3>(z0), k128);
    for (; blocks != 0; --blocks, p += 16) acc = FoldOnto(acc, LoadBlock<kReflected>(p), k128);
    StoreBlock<kReflected>(residue, acc);
}

}  // namespace

void CrcFoldPclmul(CrcVariant variant, const uint8_t* data, size_t blocks, uint32_t r,
                   uint8_t residue[16]) {
    switch (variant) {
        case CrcVariant::kCrc16Arc:
            return FoldPclmul<CrcVariant::kCrc16Arc>(data, blocks, r, residue);
        case CrcVariant::kCrc16Ibm3740:
            return FoldPclmul<CrcVariant::kCrc16Ibm3740>(data, blocks, r, residue);
        case CrcVariant::kCrc32IsoHdlc:
            return FoldPclmul<CrcVariant::kCrc32IsoHdlc>(data, blocks, r, residue);
        case CrcVariant::kCrc32Bzip2:
            return FoldPclmul<CrcVariant::kCrc32Bzip2>(data, blocks, r, residue);
    }
}

void CrcFoldVpclmul(CrcVariant variant, const uint8_t* data, size_t blocks, uint32_t r,
                    uint8_t residue[16]) {
    switch (variant) {
        case CrcVariant::kCrc16Arc:
            return FoldVpclmul<CrcVariant::kCrc16Arc>(data, blocks, r, residue);
        case CrcVariant::kCrc16Ibm3740:
            return FoldVpclmul<CrcVariant::kCrc16Ibm3740>(data, blocks, r, residue);
        case CrcVariant::kCrc32IsoHdlc:
            return FoldVpclmul<CrcVariant::kCrc32IsoHdlc>(data, blocks, r, residue);
        case CrcVariant::kCrc32Bzip2:
            return FoldVpclmul<CrcVariant::kCrc32Bzip2>(data, blocks, r, residue);
    }
}

#endif
