#include "kernels.h"

#ifdef KORVADEX_X86_KERNELS

#include <immintrin.h>

// A CRC register after a message M of n bits, from a zero register, is M(x) x^w modulo
// the polynomial P of width w.  The input is taken 16 bytes at a time as a 128-bit
// polynomial: its first bit the coefficient of x^127 of the block.  Folding a block S a
// distance of D bits further on (onto the block D bits later) replaces S x^D by a product
// of the same remainder modulo P: each 64-bit half times x^D, or x^(D + 64), modulo P, one
// carry-less multiplication a half.  The products have degree below 64 + w, so they fit
// the block they land on.  What is left at the end, one block S, has the same remainder as
// everything before it: the register is S x^w modulo P, which Reduce computes.
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
    __attribute__((target("pclmul,ssse3,sse4.1,avx512f,avx512bw,avx512vl,avx512vbmi,vpclmulqdq")))

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

// r x^n modulo the polynomial, the coefficient of x^d in bit d.
constexpr uint64_t TimesPowerOfX(uint64_t r, unsigned n, CrcShape shape) {
    const uint64_t top = uint64_t(1) << shape.width;
    for (; n != 0; --n) {
        r <<= 1;
        if ((r & top) != 0) r ^= top | shape.poly;
    }
    return r;
}

// x^n modulo the polynomial.
constexpr uint64_t PowerOfX(unsigned n, CrcShape shape) {
    return TimesPowerOfX(1, n, shape);
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

// The multipliers for a distance D of one bit or more, from x^(D - 1) modulo P.
constexpr FoldMultipliers MultipliersFrom(CrcShape shape, uint64_t belowDistance) {
    if (shape.reflected)
        return {Reflect64(TimesPowerOfX(belowDistance, 64, shape)), Reflect64(belowDistance)};
    return {TimesPowerOfX(belowDistance, 1, shape), TimesPowerOfX(belowDistance, 65, shape)};
}

constexpr FoldMultipliers MultipliersFor(CrcShape shape, unsigned distance) {
    return MultipliersFrom(shape, PowerOfX(distance - 1, shape));
}

// The multipliers of one variant for the distances the kernels fold over, in bits:
// byBlocks[i] for i blocks of 16 bytes, byWide[i] for i blocks of 64 bytes.
template <CrcVariant V>
struct Multipliers {
    static constexpr CrcShape kShape = ShapeOf(V);
    struct Table {
        FoldMultipliers byBlocks[9];
        FoldMultipliers byWide[9];
    };
    static constexpr Table MakeTable() {
        Table t{};
        for (unsigned i = 1; i <= 8; ++i) {
            t.byBlocks[i] = MultipliersFor(kShape, 128 * i);
            t.byWide[i] = MultipliersFor(kShape, 512 * i);
        }
        return t;
    }
    static constexpr Table kTable = MakeTable();
    static constexpr FoldMultipliers k128 = kTable.byBlocks[1];
};

// Barrett reduction of a polynomial T of degree below 64 + w: its quotient by P is
// floor(floor(T / x^w) mu / x^64) with mu = floor(x^(64 + w) / P), exactly.
struct BarrettConstants {
    uint64_t fold;  // x^(64 + w) modulo P
    uint64_t mu;    // mu without its x^64 term
    uint64_t poly;  // P without its x^w term
};

constexpr BarrettConstants BarrettFor(CrcShape shape) {
    // Long division of x^(64 + w) by P, one quotient bit a step.
    const unsigned w = shape.width;
    uint64_t quotient = 0;
    uint64_t rest = 1;  // the leading bits of the dividend not yet taken, as a remainder
    for (unsigned k = 0; k < 64 + w; ++k) {
        rest <<= 1;
        quotient <<= 1;
        if (((rest >> w) & 1) != 0) {
            rest ^= (uint64_t(1) << w) | shape.poly;
            quotient |= 1;
        }
    }
    return {PowerOfX(64 + w, shape), quotient, shape.poly};
}

// The 128-bit registers: eight blocks side by side on x86-64; the 32-bit build has eight
// registers in all, so four.
constexpr size_t kLanes = sizeof(void*) == 8 ? 8 : 4;
// The 512-bit registers likewise: x86-64 has 32 of them, the 32-bit build 8, of which a
// step needs three besides the lanes (a block and its two products), the multipliers one
// and the byte order of the variants that are not reflected another.
template <CrcVariant V>
constexpr size_t kWideLanes = sizeof(void*) == 8     ? 8
                              : ShapeOf(V).reflected ? 4
                                                     : 3;

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

// The register from t, a polynomial below 64 + w bits that stands for the message times
// x^w: Barrett's quotient q of t and the remainder t + q P.  In the reflected variants t
// is laid out as a block, bit k holding x^(127 - k); in the others bit k holds x^k.
template <CrcVariant V>
KORVADEX_PCLMUL inline uint32_t Barrett(__m128i t) {
    constexpr CrcShape shape = ShapeOf(V);
    constexpr BarrettConstants c = BarrettFor(shape);
    constexpr unsigned w = shape.width;
    constexpr int kWidthBytes = int(w / 8);
    constexpr uint32_t kMask = uint32_t((uint64_t(1) << w) - 1);
    if constexpr (shape.reflected) {
        // A product of two reflected halves stands for the product times x (see above):
        // mu and P, times x^(-1), are shifted back by one bit.
        const __m128i k =
            _mm_set_epi64x(static_cast<long long>(Reflect64((uint64_t(1) << w) | c.poly)), 0);
        const __m128i mu = _mm_set_epi64x(0, static_cast<long long>(Reflect64(c.mu)));
        const __m128i a = _mm_srli_si128(t, 8 - kWidthBytes);  // floor(t / x^w)
        const __m128i q = _mm_xor_si128(a, _mm_slli_epi64(_mm_clmulepi64_si128(a, mu, 0x00), 1));
        const __m128i qp = _mm_clmulepi64_si128(q, k, 0x10);  // q P x
        const __m128i r = _mm_xor_si128(_mm_srli_epi64(t, 64 - w), _mm_srli_epi64(qp, 63 - w));
        return uint32_t(_mm_extract_epi32(r, 2)) & kMask;
    } else {
        const __m128i k = _mm_set_epi64x(static_cast<long long>(c.poly), 0);
        const __m128i mu = _mm_set_epi64x(0, static_cast<long long>(c.mu));
        const __m128i a = _mm_srli_si128(t, kWidthBytes);  // floor(t / x^w)
        const __m128i q = _mm_xor_si128(a, _mm_srli_si128(_mm_clmulepi64_si128(a, mu, 0x00), 8));
        const __m128i r = _mm_xor_si128(t, _mm_clmulepi64_si128(q, k, 0x10));
        return uint32_t(_mm_cvtsi128_si32(r)) & kMask;
    }
}

// The register after a last block s: s x^w modulo P.  First t = s x^w, up to a multiple of
// P, below 64 + w bits: the high-degree half times x^(64 + w) modulo P, the other half times
// x^w as it stands (in the reflected variants x^(63 + w) and a shift, see above).
template <CrcVariant V>
KORVADEX_PCLMUL inline uint32_t Reduce(__m128i s) {
    constexpr CrcShape shape = ShapeOf(V);
    constexpr int kWidthBytes = int(shape.width / 8);
    if constexpr (shape.reflected) {
        const __m128i k =
            _mm_set_epi64x(0, static_cast<long long>(MultipliersFor(shape, shape.width).low));
        return Barrett<V>(
            _mm_xor_si128(_mm_clmulepi64_si128(s, k, 0x00),
                          _mm_srli_si128(_mm_unpackhi_epi64(_mm_setzero_si128(), s), kWidthBytes)));
    } else {
        const __m128i k = _mm_set_epi64x(0, static_cast<long long>(BarrettFor(shape).fold));
        return Barrett<V>(_mm_xor_si128(_mm_clmulepi64_si128(s, k, 0x01),
                                        _mm_slli_si128(_mm_move_epi64(s), kWidthBytes)));
    }
}

// s carried onto next, with the multipliers of the distance between them.
KORVADEX_PCLMUL inline __m128i FoldOnto(__m128i s, __m128i next, __m128i multipliers) {
    const __m128i low = _mm_clmulepi64_si128(s, multipliers, 0x00);
    const __m128i high = _mm_clmulepi64_si128(s, multipliers, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// The registers lane[0 .. n) of consecutive blocks, each carried onto the last.  The
// products do not wait on each other.
template <CrcVariant V, size_t n>
KORVADEX_PCLMUL inline __m128i Merge(const __m128i (&lane)[n]) {
    using M = Multipliers<V>;
    __m128i acc = lane[n - 1];
#pragma GCC unroll 8  // the lanes are registers only when the loop is unrolled whole
    for (size_t i = 0; i + 1 < n; ++i)
        acc = FoldOnto(lane[i], acc, Pair(M::kTable.byBlocks[n - 1 - i]));
    return acc;
}

// Byte indices for pshufb: from entry t on, sixteen of them pick bytes t onwards of a
// block into its first 16 - t places and zero the rest (kShiftDown), or move the block's
// first t bytes to its last t places and zero the others (kShiftUp, whose zeroing entries
// are also the ones with the top bit set).
alignas(16) constexpr int8_t kShiftDown[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                               11, 12, 13, 14, 15, -1, -1, -1, -1, -1, -1,
                                               -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
alignas(16) constexpr int8_t kShiftUp[32] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                             -1, -1, -1, -1, -1, 0,  1,  2,  3,  4,  5,
                                             6,  7,  8,  9,  10, 11, 12, 13, 14, 15};

// The register after the block s (the whole blocks so far, carried onto the last of them)
// and t more bytes (1 to 15), the last of the 16 bytes that `end` closes.  The bytes of s
// in the message's order followed by the t bytes are two blocks once t zero bytes lead:
// the first t bytes of s, then its other bytes and the t bytes.
template <CrcVariant V>
KORVADEX_PCLMUL inline uint32_t ReduceWithTail(__m128i s, const uint8_t* end, size_t t) {
    constexpr bool kReflected = ShapeOf(V).reflected;
    using M = Multipliers<V>;
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16));
    if constexpr (!kReflected) s = _mm_shuffle_epi8(s, ReversedBytes());  // the message's order
    const __m128i up = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kShiftUp + t));
    const __m128i down = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kShiftDown + t));
    __m128i front = _mm_shuffle_epi8(s, up);
    __m128i back = _mm_blendv_epi8(last, _mm_shuffle_epi8(s, down), up);
    if constexpr (!kReflected) {
        front = _mm_shuffle_epi8(front, ReversedBytes());
        back = _mm_shuffle_epi8(back, ReversedBytes());
    }
    return Reduce<V>(FoldOnto(front, back, Pair(M::k128)));
}

template <CrcVariant V>
KORVADEX_PCLMUL uint32_t FoldPclmul(const uint8_t* p, size_t length, uint32_t r) {
    using M = Multipliers<V>;
    constexpr bool kReflected = M::kShape.reflected;
    const uint8_t* const end = p + length;
    size_t blocks = length / 16;
    const __m128i k128 = Pair(M::k128);
    __m128i acc;
    if (blocks >= kLanes) {
        const __m128i kAcross = Pair(M::kTable.byBlocks[kLanes]);
        __m128i lane[kLanes];
#pragma GCC unroll 8  // the lanes are registers only when the loop is unrolled whole
        for (size_t i = 0; i < kLanes; ++i) lane[i] = LoadBlock<kReflected>(p + 16 * i);
        lane[0] = _mm_xor_si128(lane[0], RegisterBlock<V>(r));
        p += 16 * kLanes;
        blocks -= kLanes;
        for (; blocks >= kLanes; blocks -= kLanes, p += 16 * kLanes)
#pragma GCC unroll 8  // the lanes are registers only when the loop is unrolled whole
            for (size_t i = 0; i < kLanes; ++i)
                lane[i] = FoldOnto(lane[i], LoadBlock<kReflected>(p + 16 * i), kAcross);
        acc = Merge<V>(lane);
    } else {
        acc = _mm_xor_si128(LoadBlock<kReflected>(p), RegisterBlock<V>(r));
        p += 16;
        --blocks;
    }
    for (; blocks != 0; --blocks, p += 16) acc = FoldOnto(acc, LoadBlock<kReflected>(p), k128);
    const size_t t = length % 16;
    return t == 0 ? Reduce<V>(acc) : ReduceWithTail<V>(acc, end, t);
}

KORVADEX_VPCLMUL inline __m512i Broadcast(__m128i x) {
    return _mm512_maskz_broadcast_i32x4(0xFFFF, x);
}

KORVADEX_VPCLMUL inline __m512i Pair512(FoldMultipliers m) {
    return Broadcast(Pair(m));
}

// The bytes of each block of x in reverse order.  A byte permutation rather than a byte
// shuffle: the permutation can take the bytes it moves straight from memory, so that the
// load and the reversal are one instruction.
KORVADEX_VPCLMUL inline __m512i ReversedInBlocks(__m512i x) {
    const __m512i order = _mm512_set_epi64(
        0x3031323334353637, 0x38393A3B3C3D3E3F, 0x2021222324252627, 0x28292A2B2C2D2E2F,
        0x1011121314151617, 0x18191A1B1C1D1E1F, 0x0001020304050607, 0x08090A0B0C0D0E0F);
    return _mm512_maskz_permutexvar_epi8(~__mmask64(0), order, x);
}

template <bool kReflected>
KORVADEX_VPCLMUL inline __m512i Load4Blocks(const uint8_t* p) {
    const __m512i x = _mm512_loadu_si512(p);
    if constexpr (kReflected) {
        return x;
    } else {
        return ReversedInBlocks(x);
    }
}

// Four blocks carried onto the four next, lane by lane.
KORVADEX_VPCLMUL inline __m512i FoldOnto512(__m512i s, __m512i next, __m512i multipliers) {
    const __m512i low = _mm512_clmulepi64_epi128(s, multipliers, 0x00);
    const __m512i high = _mm512_clmulepi64_epi128(s, multipliers, 0x11);
    return _mm512_ternarylogic_epi64(low, high, next, 0x96);  // low ^ high ^ next
}

// Multipliers that carry a block d blocks before the last block of the input (0 .. kMax)
// straight to the register's t (see Barrett): a distance of 128 d + w bits.  Entry
// kMax - d, then zeros up to kMax + 3: four consecutive entries from kMax - d serve four
// consecutive blocks, the first of them d blocks before the last, as one 512-bit register.
template <CrcVariant V>
struct ToLast {
    static constexpr size_t kMax = 2 * 4 * kWideLanes<V> - 1;
    struct Table {
        alignas(64) FoldMultipliers m[kMax + 4];
    };
    static constexpr Table MakeTable() {
        Table t{};
        constexpr CrcShape shape = ShapeOf(V);
        // Each distance from the one before, which keeps the compile-time work small.
        uint64_t below = PowerOfX(shape.width - 1, shape);  // x^(128 d + w - 1)
        for (size_t d = 0; d <= kMax; ++d, below = TimesPowerOfX(below, 128, shape))
            t.m[kMax - d] = MultipliersFrom(shape, below);
        return t;
    }
    static constexpr Table kTable = MakeTable();
};

// The multipliers of four consecutive blocks, the first of them d blocks before the last.
template <CrcVariant V>
KORVADEX_VPCLMUL inline __m512i ToLastFrom(size_t d) {
    return _mm512_loadu_si512(&ToLast<V>::kTable.m[ToLast<V>::kMax - d]);
}

// Up to four blocks, the quarters of the mask's lanes only, the others zero.  The masked
// lanes are not read: the blocks may end where the input ends.
template <bool kReflected>
KORVADEX_VPCLMUL inline __m512i LoadBlocksMasked(__mmask8 lanes, const uint8_t* p) {
    const __m512i x = _mm512_maskz_loadu_epi64(lanes, p);
    if constexpr (kReflected) {
        return x;
    } else {
        return ReversedInBlocks(x);
    }
}

// The exclusive-or of the four blocks of z.
KORVADEX_VPCLMUL inline __m128i XorQuarters(__m512i z) {
    const __m256i h = _mm256_xor_si256(_mm512_maskz_extracti64x4_epi64(0xF, z, 0),
                                       _mm512_maskz_extracti64x4_epi64(0xF, z, 1));
    return _mm_xor_si128(_mm256_maskz_extracti32x4_epi32(0xF, h, 0),
                         _mm256_maskz_extracti32x4_epi32(0xF, h, 1));
}

// The sum of the products of z with the multipliers, lane by lane.
KORVADEX_VPCLMUL inline __m512i AddProducts(__m512i sum, __m512i z, __m512i multipliers) {
    return _mm512_ternarylogic_epi64(sum, _mm512_clmulepi64_epi128(z, multipliers, 0x00),
                                     _mm512_clmulepi64_epi128(z, multipliers, 0x11), 0x96);
}

// The register as it stands in the message's bytes: its w bits in the order the bytes
// are taken, at byte `offset` (below 16) of the first four blocks.
template <CrcVariant V>
KORVADEX_VPCLMUL inline __m512i RegisterBytes(uint32_t r, size_t offset) {
    constexpr CrcShape shape = ShapeOf(V);
    const uint64_t v = shape.reflected ? r : __builtin_bswap32(r << (32 - shape.width));
    const unsigned shift = unsigned(8 * (offset % 8));
    const uint64_t low = v << shift;
    const uint64_t high = shift > 32 ? v >> (64 - shift) : 0;  // the bytes past the word
    const unsigned word = unsigned(offset / 8);
    return _mm512_or_si512(
        _mm512_maskz_set1_epi64(__mmask8(1u << word), static_cast<long long>(low)),
        _mm512_maskz_set1_epi64(__mmask8(2u << word), static_cast<long long>(high)));
}

// An input of kFarFrom bytes or more mostly comes from further away than the second-level
// cache (a large buffer, a file's cached pages hashed in place), faster than the hardware's
// own prefetching fetches it: the fold loop then asks for every line kFarAhead bytes ahead.
// A smaller input is usually near already, and there the hints would only take load slots.
constexpr size_t kFarFrom = size_t(512) << 10;
constexpr uintptr_t kFarAhead = 8192;

// The lanes, kStep blocks, each carried onto the kStep blocks from p while more than kStep
// of the left blocks remain; returns where the blocks not folded start.
template <CrcVariant V, bool kAhead>
KORVADEX_VPCLMUL inline const uint8_t* FoldAcross(__m512i (&lane)[kWideLanes<V>], const uint8_t* p,
                                                  size_t& left) {
    constexpr size_t kWide = kWideLanes<V>;
    constexpr size_t kStep = 4 * kWide;
    const __m512i kAcross = Pair512(Multipliers<V>::kTable.byWide[kWide]);
    for (; left > kStep; left -= kStep, p += 16 * kStep) {
#pragma GCC unroll 8  // the lanes are registers only when the loop is unrolled whole
        for (size_t i = 0; i < kWide; ++i)
            lane[i] = FoldOnto512(lane[i], Load4Blocks<ShapeOf(V).reflected>(p + 64 * i), kAcross);
        if constexpr (kAhead) {
            // Only hints: an address past the input does no harm, and is formed as an integer.
            const uintptr_t ahead = reinterpret_cast<uintptr_t>(p) + kFarAhead;
#pragma GCC unroll 8
            for (size_t i = 0; i < kWide; ++i)
                _mm_prefetch(reinterpret_cast<const char*>(ahead + 64 * i), _MM_HINT_T0);
        }
    }
    return p;
}

// The message, lengthened in front by zero bytes to whole blocks: leading zeros leave its
// polynomial as it is, and the register stands as the first w bits of the message itself.
// The first four blocks are read with a mask, from before the data where the zeros lie
// (the masked bytes are not read).
//
// Several 512-bit registers side by side, four blocks each, while more than their width
// of blocks is left.  At the end every block is carried straight to t (see Barrett) by its
// own distance from the last: the products do not wait on each other, and an input of a
// few hundred bytes takes no more multiplications than its blocks need.
template <CrcVariant V, bool kAhead>
KORVADEX_VPCLMUL uint32_t FoldVpclmul(const uint8_t* data, size_t length, uint32_t r) {
    constexpr size_t kWide = kWideLanes<V>;
    constexpr size_t kStep = 4 * kWide;  // blocks
    using M = Multipliers<V>;
    constexpr bool kReflected = M::kShape.reflected;
    const size_t lead = (16 - length % 16) % 16;  // the zero bytes in front
    const size_t blocks = (length + lead) / 16;
    // Block k >= 1 of the lengthened message starts at data + 16 k - lead.
    __m512i first;  // blocks 0 to 3, with the register
    if (lead == 0 && blocks >= 4) {
        first = _mm512_xor_si512(Load4Blocks<kReflected>(data),
                                 _mm512_zextsi128_si512(RegisterBlock<V>(r)));
    } else {
        __mmask64 bytes = ~uint64_t(0) << lead;
        if (blocks < 4) bytes &= (uint64_t(1) << (16 * blocks)) - 1;
        const void* const front =
            reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(data) - lead);
        first = _mm512_xor_si512(_mm512_maskz_loadu_epi8(bytes, front), RegisterBytes<V>(r, lead));
        if constexpr (!kReflected) first = ReversedInBlocks(first);
    }
    __m512i sum = _mm512_setzero_si512();  // the products, t in each lane
    size_t left = blocks;
    const uint8_t* p;  // the next block to load
    if (blocks > kStep) {
        p = data + (16 * 4 - lead);
        __m512i lane[kWide];
        lane[0] = first;
#pragma GCC unroll 8  // the lanes are registers only when the loop is unrolled whole
        for (size_t i = 1; i < kWide; ++i) lane[i] = Load4Blocks<kReflected>(p + 64 * (i - 1));
        p += 16 * (kStep - 4);
        left -= kStep;
        p = FoldAcross<V, kAhead>(lane, p, left);
        // The first block of lane i lies kStep - 4 i blocks before the rest, which holds
        // left blocks, the last among them.
#pragma GCC unroll 8  // the lanes are registers only when the loop is unrolled whole
        for (size_t i = 0; i < kWide; ++i)
            sum = AddProducts(sum, lane[i], ToLastFrom<V>(kStep - 4 * i + left - 1));
    } else {
        sum = AddProducts(sum, first, ToLastFrom<V>(left - 1));
        if (left <= 4) return Barrett<V>(XorQuarters(sum));
        p = data + (16 * 4 - lead);  // block 4
        left -= 4;
    }
    // The rest of the left blocks, four at a time.
    size_t g = 0;
    for (; g + 4 <= left; g += 4)
        sum = AddProducts(sum, Load4Blocks<kReflected>(p + 16 * g), ToLastFrom<V>(left - 1 - g));
    if (g < left) {
        const __mmask8 quarters = __mmask8((1u << (2 * (left - g))) - 1);
        sum = AddProducts(sum, LoadBlocksMasked<kReflected>(quarters, p + 16 * g),
                          ToLastFrom<V>(left - 1 - g));
    }
    return Barrett<V>(XorQuarters(sum));
}

}  // namespace

template <CrcVariant V>
uint32_t CrcPclmul(const uint8_t* data, size_t length, uint32_t r) {
    return FoldPclmul<V>(data, length, r);
}

template <CrcVariant V>
uint32_t CrcVpclmul(const uint8_t* data, size_t length, uint32_t r) {
    // Two instances, so that the loop for inputs near at hand stays free of the hints.
    return length >= kFarFrom ? FoldVpclmul<V, true>(data, length, r)
                              : FoldVpclmul<V, false>(data, length, r);
}

template uint32_t CrcPclmul<CrcVariant::kCrc16Arc>(const uint8_t*, size_t, uint32_t);
template uint32_t CrcPclmul<CrcVariant::kCrc16Ibm3740>(const uint8_t*, size_t, uint32_t);
template uint32_t CrcPclmul<CrcVariant::kCrc32IsoHdlc>(const uint8_t*, size_t, uint32_t);
template uint32_t CrcPclmul<CrcVariant::kCrc32Bzip2>(const uint8_t*, size_t, uint32_t);
template uint32_t CrcVpclmul<CrcVariant::kCrc16Arc>(const uint8_t*, size_t, uint32_t);
template uint32_t CrcVpclmul<CrcVariant::kCrc16Ibm3740>(const uint8_t*, size_t, uint32_t);
template uint32_t CrcVpclmul<CrcVariant::kCrc32IsoHdlc>(const uint8_t*, size_t, uint32_t);
template uint32_t CrcVpclmul<CrcVariant::kCrc32Bzip2>(const uint8_t*, size_t, uint32_t);

#endif
