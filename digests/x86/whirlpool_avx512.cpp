#include "kernels.h"

#ifdef KORVADEX_X86_KERNELS

#include <immintrin.h>

#include "digest_tables.h"

// Only the functions below are compiled for these extensions, and only where the processor
// has them are they called.  They call no inline function of the project's headers: one
// compiled here for AVX-512 could be the copy the linker keeps for every unit.
// GCC 12's AVX-512 headers fill the unused source of the unmasked forms from a
// self-initialised variable, which -Wuninitialized reports at every inlined call.  Clang's
// headers do not, and it knows no -Wmaybe-uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define KORVADEX_WHIRLPOOL_AVX512 \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,gfni")))

namespace {

// In a register, byte 8i + j is row i, column j: a block as it lies in memory, so that the
// rows held as big-endian words in the context are byte-swapped on the way in and out.

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x^2 + 1, Whirlpool's field.
constexpr uint8_t GfMul(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    for (int i = 0; i < 8; ++i) {
        if (b & 1) product = uint8_t(product ^ a);
        const bool carry = (a & 0x80) != 0;
        a = uint8_t(a << 1);
        if (carry) a = uint8_t(a ^ 0x1D);
        b >>= 1;
    }
    return product;
}

// The bit matrix of x -> c * x in the form GF2P8AFFINEQB takes: bit i of the result is the
// parity of byte 7 - i of the matrix and'ed with x.
constexpr uint64_t MulMatrix(uint8_t c) {
    uint64_t matrix = 0;
    for (int i = 0; i < 8; ++i) {
        uint64_t row = 0;
        for (int j = 0; j < 8; ++j) row |= uint64_t((GfMul(c, uint8_t(1u << j)) >> i) & 1) << j;
        matrix |= row << (8 * (7 - i));
    }
    return matrix;
}

struct ByteTables {
    alignas(64) uint8_t sbox[256];
    alignas(64) uint8_t shiftColumns[64];  // byte permutation: column j down by j rows
    alignas(64) uint8_t swapRows[64];      // each 8-byte row reversed
};

ByteTables MakeByteTables() {
    ByteTables t{};
    // Column 0 of C0 is the S-box times the circulant's first coefficient, 1.
    for (int x = 0; x < 256; ++x) t.sbox[x] = uint8_t(kWhirlpoolTables[0][x] >> 56);
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) {
            t.shiftColumns[8 * i + j] = uint8_t(8 * ((i - j) & 7) + j);
            t.swapRows[8 * i + j] = uint8_t(8 * i + 7 - j);
        }
    }
    return t;
}

const ByteTables& Tables() {
    static const ByteTables tables = MakeByteTables();
    return tables;
}

struct Constants {
    __m512i sbox0, sbox1, sbox2, sbox3;  // the S-box, 64 entries each
    __m512i shiftColumns;
};

template <int kBytes>
KORVADEX_WHIRLPOOL_AVX512 inline __m512i Rotl(__m512i x) {
    return _mm512_rol_epi64(x, 8 * kBytes);
}

template <uint8_t kFactor>
KORVADEX_WHIRLPOOL_AVX512 inline __m512i Mul(__m512i x) {
    return _mm512_gf2p8affine_epi64_epi8(x, _mm512_set1_epi64(int64_t(MulMatrix(kFactor))), 0);
}

KORVADEX_WHIRLPOOL_AVX512 inline __m512i Xor3(__m512i a, __m512i b, __m512i c) {
    return _mm512_ternarylogic_epi64(a, b, c, 0x96);
}

// rho[key](x): the S-box, the cyclic shift of the columns, the diffusion layer (row j of
// the result is the sum over t of c_t times row j - t, c = 1, 1, 4, 1, 8, 5, 2, 9, as a
// rotation of each row) and the key addition.
KORVADEX_WHIRLPOOL_AVX512 inline __m512i Rho(const Constants& k, __m512i x, __m512i key) {
    const __m512i low = _mm512_permutex2var_epi8(k.sbox0, x, k.sbox1);
    const __m512i high = _mm512_permutex2var_epi8(k.sbox2, x, k.sbox3);
    const __m512i substituted = _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
    const __m512i p = _mm512_permutexvar_epi8(k.shiftColumns, substituted);
    const __m512i p2 = Mul<2>(p);
    const __m512i p4 = Mul<4>(p);
    const __m512i p8 = Mul<8>(p);
    const __m512i ones = Xor3(p, Rotl<1>(p), Rotl<3>(p));
    const __m512i fours = Xor3(Rotl<2>(p4), Rotl<5>(_mm512_xor_si512(p4, p)), Rotl<6>(p2));
    const __m512i eights = Xor3(Rotl<4>(p8), Rotl<7>(_mm512_xor_si512(p8, p)), key);
    return Xor3(ones, fours, eights);
}

}  // namespace

KORVADEX_WHIRLPOOL_AVX512 void WhirlpoolCompressAvx512(uint64_t (&state)[8],
                                                       const uint64_t (&roundConstants)[10],
                                                       const uint8_t* data, size_t count) {
    const ByteTables& tables = Tables();
    Constants k;
    k.sbox0 = _mm512_load_si512(tables.sbox);
    k.sbox1 = _mm512_load_si512(tables.sbox + 64);
    k.sbox2 = _mm512_load_si512(tables.sbox + 128);
    k.sbox3 = _mm512_load_si512(tables.sbox + 192);
    k.shiftColumns = _mm512_load_si512(tables.shiftColumns);
    const __m512i swapRows = _mm512_load_si512(tables.swapRows);

    // Round r's constant fills row 0, in the same byte order as the state.
    __m512i rc[10];
    for (int r = 0; r < 10; ++r) {
        rc[r] = _mm512_permutexvar_epi8(swapRows,
                                        _mm512_maskz_set1_epi64(1, int64_t(roundConstants[r])));
    }

    __m512i h = _mm512_permutexvar_epi8(swapRows, _mm512_loadu_si512(state));
    for (; count != 0; --count, data += 64) {
        const __m512i m = _mm512_loadu_si512(data);
        __m512i key = h;
        __m512i s = _mm512_xor_si512(m, h);
        for (int r = 0; r < 10; ++r) {
            key = Rho(k, key, rc[r]);
            s = Rho(k, s, key);
        }
        h = Xor3(h, s, m);
    }
    _mm512_storeu_si512(state, _mm512_permutexvar_epi8(swapRows, h));
}

#endif
