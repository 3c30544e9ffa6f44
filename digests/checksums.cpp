#include "checksums.h"

#include "byte_order.h"
#include "compiler_hints.h"
#include "digest_tables.h"
#include "stream_adapters.h"
#include "streaming_engines.h"
#include "x86/kernels.h"

namespace {

// Largest n such that 255 n (n + 1) / 2 + (n + 1) (65521 - 1) stays below 2^32: the
// sums may run this many bytes between reductions.
constexpr uint32_t kAdlerChunk = 5552;
constexpr uint32_t kAdlerModulus = 65521;

}  // namespace

// Each chunk is summed as two halves at once, each half with its own pair of sums from
// zero, which gives the processor two independent chains of additions.  The second half's
// sums then join the first's: over m bytes, b grows by m times the a it started from.  The
// result is the integer the byte-by-byte sums reach, so the chunk bound still holds.
namespace {

uint32_t Adler32Portable(const uint8_t* data, uint32_t length, uint32_t start) {
    uint32_t a = start & 0xFFFF;
    uint32_t b = start >> 16;
    while (length != 0) {
        const uint32_t chunk = length < kAdlerChunk ? length : kAdlerChunk;
        length -= chunk;
        const uint32_t half = chunk / 2;
        // p walks the first half; p[half] is the byte as far into the second.
        const uint8_t* p = data;
        const uint8_t* const quads = data + (half & ~3u);
        uint32_t a2 = 0, b2 = 0;
        for (; p != quads; p += 4) {
            a += p[0];
            b += a;
            a2 += p[half];
            b2 += a2;
            a += p[1];
            b += a;
            a2 += p[half + 1];
            b2 += a2;
            a += p[2];
            b += a;
            a2 += p[half + 2];
            b2 += a2;
            a += p[3];
            b += a;
            a2 += p[half + 3];
            b2 += a2;
        }
        for (; p != data + half; ++p) {
            a += p[0];
            b += a;
            a2 += p[half];
            b2 += a2;
        }
        data += 2 * half;
        if (chunk % 2 != 0) {
            a2 += *data++;
            b2 += a2;
        }
        const uint32_t m = chunk - half;  // the bytes of the second half
        b += m * a + b2;
        a += a2;
        a %= kAdlerModulus;
        b %= kAdlerModulus;
    }
    return (b << 16) | a;
}

}  // namespace

// The CRC loops below fold a whole word of input into the register before the byte
// steps, which saves the per-byte exclusive-or with the data; each byte still takes one
// table step.  The reflected variants keep their register in a machine word: the bytes
// above the CRC's own width are input that the right shifts bring down to the table index
// one by one.  (On a 32-bit machine that is four bytes a fold; a wider register there would
// cost a double shift per step.)
//
// In the reflected steps the table term is written first: GCC then takes the index into a
// register of its own (movzbl %al,%ecx) instead of copying the register and narrowing it in
// place, which takes the narrowing off the chain from one step to the next on processors
// that eliminate such moves.
//
// One step waits for the one before it, a table load and an exclusive-or, however the step
// is written.  Long inputs therefore go through in groups of
// kCrcLanes stretches of kCrcLaneBytes, whose registers run side by side (each stretch but
// the first from zero), and join at the end of the group.  A CRC register is linear in the
// register it starts from and in the data: the register after the data AB equals the
// register after A carried across as many zero bytes as B has, exclusive-or the register
// that B alone gives from zero.  Carrying a register across n zero bytes multiplies it by
// x^(8n) modulo the polynomial, a constant for a stretch of fixed length.  Every byte still
// takes its one step in the variant's own table.  Inputs shorter than a group take the
// one-register loops.

namespace {

size_t LoadLeWord(const uint8_t* p) {
    if constexpr (sizeof(size_t) == 8) {
        return size_t(LoadLe64(p));
    } else {
        return LoadLe32(p);
    }
}

constexpr unsigned kCrcLanes = 8;
constexpr uint32_t kCrcLaneBytes = 2048;  // a multiple of every variant's fold

// The register of each variant as a polynomial over GF(2) of degree below kWidth, and
// the variant's one step per byte, folded a word at a time (Fold takes kFoldBytes).
//
// The two reflected variants differ only in table, width and polynomial; both keep their
// register in a machine word (see above).
template <typename Entry, const Entry (&kTable)[256], unsigned Width, uint32_t Poly>
struct ReflectedCrc {
    using Reg = size_t;
    static constexpr unsigned kWidth = Width;
    static constexpr bool kReflected = true;
    static constexpr uint32_t kPoly = Poly;
    static constexpr uint32_t kFoldBytes = sizeof(Reg);
    static Reg Step(Reg r) { return kTable[r & 0xFF] ^ (r >> 8); }
    static Reg Fold(Reg r, const uint8_t* p) {
        r ^= LoadLeWord(p);
        for (size_t k = 0; k < sizeof(Reg); ++k) r = Step(r);
        return r;
    }
    // The bytes after the last whole word, one at a time.
    static Reg Tail(Reg r, const uint8_t* p, uint32_t length) {
        for (; length != 0; --length) r = Step(r ^ *p++);
        return r;
    }
};

using Crc16Arc = ReflectedCrc<uint16_t, kCrc16Table, 16, 0xA001>;
using Crc32IsoHdlc = ReflectedCrc<uint32_t, kCrc32Table, 32, 0xEDB88320>;

struct Crc16Ibm3740 {
    using Reg = uint32_t;
    static constexpr unsigned kWidth = 16;
    static constexpr bool kReflected = false;
    static constexpr uint32_t kPoly = 0x1021;
    static constexpr uint32_t kFoldBytes = 2;
    static Reg Fold(Reg r, const uint8_t* p) {
        r ^= uint32_t(p[0]) << 8 | uint32_t(p[1]);
        r = ((r << 8) & 0xFFFF) ^ kCrc16CcittTable[r >> 8];
        return ((r << 8) & 0xFFFF) ^ kCrc16CcittTable[r >> 8];
    }
};

struct Crc32Bzip2 {
    using Reg = uint32_t;
    static constexpr unsigned kWidth = 32;
    static constexpr bool kReflected = false;
    static constexpr uint32_t kPoly = 0x04C11DB7;
    static constexpr uint32_t kFoldBytes = 4;
    static Reg Fold(Reg r, const uint8_t* p) {
        r ^= LoadBe32(p);
        for (int k = 0; k < 4; ++k) r = (r << 8) ^ kCrc32bTable[r >> 24];
        return r;
    }
};

// The register bit that holds the coefficient of x^j.
template <class Crc>
constexpr uint32_t PowerBit(unsigned j) {
    return Crc::kReflected ? uint32_t(1) << (Crc::kWidth - 1 - j) : uint32_t(1) << j;
}

// r times x, modulo the polynomial.
template <class Crc>
constexpr uint32_t TimesX(uint32_t r) {
    const uint32_t top = PowerBit<Crc>(Crc::kWidth - 1);
    const uint32_t carry = (r & top) != 0 ? Crc::kPoly : 0;
    if constexpr (Crc::kReflected) {
        return (r >> 1) ^ carry;
    } else {
        return ((r << 1) & (top | (top - 1))) ^ carry;
    }
}

// a times b, modulo the polynomial.
template <class Crc>
uint32_t Times(uint32_t a, uint32_t b) {
    uint32_t product = 0;
    for (unsigned j = 0; j < Crc::kWidth; ++j, b = TimesX<Crc>(b))
        if ((a & PowerBit<Crc>(j)) != 0) product ^= b;
    return product;
}

// x^n modulo the polynomial.
template <class Crc>
constexpr uint32_t PowerOfX(uint32_t n) {
    uint32_t r = PowerBit<Crc>(0);
    for (; n != 0; --n) r = TimesX<Crc>(r);
    return r;
}

// Takes whole groups of lanes off the front of the data and returns the register after them.
template <class Crc>
typename Crc::Reg RunLanes(typename Crc::Reg r, const uint8_t*& data, uint32_t& length) {
    using Reg = typename Crc::Reg;
    static_assert(kCrcLaneBytes % Crc::kFoldBytes == 0, "a lane ends on a fold");
    constexpr uint32_t kCarry = PowerOfX<Crc>(8 * kCrcLaneBytes);
    constexpr uint32_t kGroup = kCrcLanes * kCrcLaneBytes;
    for (; length >= kGroup; length -= kGroup, data += kGroup) {
        Reg lane[kCrcLanes] = {r};
        for (const uint8_t* p = data; p != data + kCrcLaneBytes; p += Crc::kFoldBytes)
#pragma GCC unroll 8  // kCrcLanes: the lanes' registers stay registers
            for (unsigned i = 0; i < kCrcLanes; ++i)
                lane[i] = Crc::Fold(lane[i], p + i * kCrcLaneBytes);
        // After a whole fold a register holds no bits above the CRC's width.
        uint32_t joined = uint32_t(lane[0]);
        for (unsigned i = 1; i < kCrcLanes; ++i)
            joined = Times<Crc>(joined, kCarry) ^ uint32_t(lane[i]);
        r = joined;
    }
    return r;
}

// The whole words after the lanes, then the last bytes one at a time.
template <class Crc>
typename Crc::Reg RunFolds(typename Crc::Reg r, const uint8_t*& data, uint32_t& length) {
    for (; length >= Crc::kFoldBytes; length -= Crc::kFoldBytes, data += Crc::kFoldBytes)
        r = Crc::Fold(r, data);
    return r;
}

// The table loops over what they can take whole.
template <class Crc>
typename Crc::Reg RunTable(typename Crc::Reg r, const uint8_t*& data, uint32_t& length) {
    r = RunLanes<Crc>(r, data, length);
    return RunFolds<Crc>(r, data, length);
}

// Each variant's table loops over a whole input, out of line: their frame (the registers
// they save, the lanes on the stack) then stays off the calls that the accelerated paths
// take.
KORVADEX_NEVER_INLINE uint32_t Crc16OnTable(const uint8_t* data, uint32_t length, uint32_t start) {
    size_t r = start & 0xFFFF;
    r = RunTable<Crc16Arc>(r, data, length);
    return uint32_t(Crc16Arc::Tail(r, data, length));
}

KORVADEX_NEVER_INLINE uint32_t Crc16CcittOnTable(const uint8_t* data, uint32_t length,
                                                 uint32_t start) {
    uint32_t r = start & 0xFFFF;
    r = RunTable<Crc16Ibm3740>(r, data, length);
    if (length != 0) r = ((r << 8) & 0xFFFF) ^ kCrc16CcittTable[(r >> 8) ^ data[0]];
    return r;
}

KORVADEX_NEVER_INLINE uint32_t Crc32OnTable(const uint8_t* data, uint32_t length, uint32_t start) {
    size_t r = uint32_t(~start);
    r = RunTable<Crc32IsoHdlc>(r, data, length);
    return ~uint32_t(Crc32IsoHdlc::Tail(r, data, length));
}

KORVADEX_NEVER_INLINE uint32_t Crc32bOnTable(const uint8_t* data, uint32_t length, uint32_t start) {
    uint32_t r = ~start;
    r = RunTable<Crc32Bzip2>(r, data, length);
    for (; length != 0; --length) r = (r << 8) ^ kCrc32bTable[(r >> 24) ^ *data++];
    return ~r;
}

// A variant's routine on a kernel, which takes inputs from one block of 16 bytes on, whole,
// or on the table loops.  The CRC-32s complement the register going in and out of a kernel,
// the CRC-16s keep its low half.
template <CrcVariant V, uint32_t (*OnTable)(const uint8_t*, uint32_t, uint32_t),
          uint32_t (*Kernel)(const uint8_t*, size_t, uint32_t)>
uint32_t CrcOnKernel(const uint8_t* data, uint32_t length, uint32_t start) {
    constexpr bool kComplemented = V == CrcVariant::kCrc32IsoHdlc || V == CrcVariant::kCrc32Bzip2;
    if (length < 16) return OnTable(data, length, start);
    const uint32_t r = Kernel(data, length, kComplemented ? ~start : start & 0xFFFF);
    return kComplemented ? ~r : r;
}

// Adler-32 on a kernel over the whole 64-byte blocks, the rest on the portable code.
template <uint32_t (*Blocks)(const uint8_t*, size_t, uint32_t)>
uint32_t Adler32OnKernel(const uint8_t* data, uint32_t length, uint32_t start) {
    const size_t blocks = length / 64;
    if (blocks != 0) {
        start = Blocks(data, blocks, start);
        data += 64 * blocks;
        length %= 64;
    }
    return Adler32Portable(data, length, start);
}

#ifdef KORVADEX_X86_KERNELS
bool HasPclmul(const CpuFeatures& cpu) {
    return cpu.pclmul && cpu.ssse3 && cpu.sse41;
}
bool HasVpclmul(const CpuFeatures& cpu) {
    return HasPclmul(cpu) && cpu.vpclmul && cpu.avx512vbmi;
}
bool HasSsse3(const CpuFeatures& cpu) {
    return cpu.ssse3;
}
bool HasAvx2(const CpuFeatures& cpu) {
    return cpu.avx2;
}
bool HasAvx512(const CpuFeatures& cpu) {
    return cpu.avx512;
}
bool HasAvx512Vnni(const CpuFeatures& cpu) {
    return cpu.avx512 && cpu.avx512vnni;
}
#endif

}  // namespace

namespace {

// The CRCs: carry-less multiplication on 512-bit registers or on 128-bit ones, else the
// table loops.
template <CrcVariant V, ChecksumUpdate* OnTable>
const CompressPath<ChecksumUpdate> kCrcPathRows[] = {
#ifdef KORVADEX_X86_KERNELS
    {"VPCLMULQDQ", "VPCLMULQDQ, AVX-512 VBMI, PCLMULQDQ, SSSE3 and SSE4.1", HasVpclmul,
     CrcOnKernel<V, OnTable, CrcVpclmul<V>>},
    {"PCLMULQDQ", "PCLMULQDQ, SSSE3 and SSE4.1", HasPclmul, CrcOnKernel<V, OnTable, CrcPclmul<V>>},
#endif
    {"table", "", RunsAnywhere, OnTable},
};

}  // namespace

const PathTable<ChecksumUpdate> kCrc16Paths =
    MakePathTable(kCrcPathRows<CrcVariant::kCrc16Arc, Crc16OnTable>);
const PathTable<ChecksumUpdate> kCrc16CcittPaths =
    MakePathTable(kCrcPathRows<CrcVariant::kCrc16Ibm3740, Crc16CcittOnTable>);
const PathTable<ChecksumUpdate> kCrc32Paths =
    MakePathTable(kCrcPathRows<CrcVariant::kCrc32IsoHdlc, Crc32OnTable>);
const PathTable<ChecksumUpdate> kCrc32bPaths =
    MakePathTable(kCrcPathRows<CrcVariant::kCrc32Bzip2, Crc32bOnTable>);

// Adler-32: 64 bytes a step with AVX-512 VNNI's byte dot products, or with AVX-512 BW; 32
// bytes a step with AVX2 or SSSE3; else the portable code.
const CompressPath<ChecksumUpdate> kAdler32PathRows[] = {
#ifdef KORVADEX_X86_KERNELS
    {"AVX-512 VNNI", "AVX-512 F, BW, VL and VNNI", HasAvx512Vnni,
     Adler32OnKernel<Adler32BlocksAvx512Vnni>},
    {"AVX-512", "AVX-512 F, BW and VL", HasAvx512, Adler32OnKernel<Adler32BlocksAvx512>},
    {"AVX2", "AVX2", HasAvx2, Adler32OnKernel<Adler32BlocksAvx2>},
    {"SSSE3", "SSSE3", HasSsse3, Adler32OnKernel<Adler32BlocksSsse3>},
#endif
    {"portable", "", RunsAnywhere, Adler32Portable},
};
const PathTable<ChecksumUpdate> kAdler32Paths = MakePathTable(kAdler32PathRows);

uint32_t Adler32Update(const uint8_t* data, uint32_t length, uint32_t start) {
    return RoutineHere<kAdler32Paths>()(data, length, start);
}

uint32_t Crc16Update(const uint8_t* data, uint32_t length, uint32_t start) {
    return RoutineHere<kCrc16Paths>()(data, length, start);
}

uint32_t Crc16CcittUpdate(const uint8_t* data, uint32_t length, uint32_t start) {
    return RoutineHere<kCrc16CcittPaths>()(data, length, start);
}

uint32_t Crc32Update(const uint8_t* data, uint32_t length, uint32_t start) {
    return RoutineHere<kCrc32Paths>()(data, length, start);
}

uint32_t Crc32bUpdate(const uint8_t* data, uint32_t length, uint32_t start) {
    return RoutineHere<kCrc32bPaths>()(data, length, start);
}

DigestResult Adler32Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Adler32Update(data, length, 1);
}

DigestResult Crc16Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Crc16Update(data, length, 0);
}

DigestResult Crc16CcittDigest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Crc16CcittUpdate(data, length, 0xFFFFFFFF);
}

DigestResult Crc32Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Crc32Update(data, length, 0);
}

DigestResult Crc32bDigest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Crc32bUpdate(data, length, 0);
}

const StreamingEngine kAdler32Stream =
    ChecksumAdapter<Adler32Update, 1, kAdler32Size, PathNameHere<kAdler32Paths>>::kEngine;
const StreamingEngine kCrc16Stream =
    ChecksumAdapter<Crc16Update, 0, kCrc16Size, PathNameHere<kCrc16Paths>>::kEngine;
const StreamingEngine kCrc16CcittStream =
    ChecksumAdapter<Crc16CcittUpdate, 0xFFFFFFFF, kCrc16CcittSize,
                    PathNameHere<kCrc16CcittPaths>>::kEngine;
const StreamingEngine kCrc32Stream =
    ChecksumAdapter<Crc32Update, 0, kCrc32Size, PathNameHere<kCrc32Paths>>::kEngine;
const StreamingEngine kCrc32bStream =
    ChecksumAdapter<Crc32bUpdate, 0, kCrc32bSize, PathNameHere<kCrc32bPaths>>::kEngine;
