#include "whirlpool_gfni.h"

#ifdef KORVADEX_HAVE_WHIRLPOOL_GFNI

#include <immintrin.h>

// Only the functions below are built for AVX-512 (F, BW, VBMI) and GFNI, by their target
// attributes; nothing here runs unless the caller has checked the processor.
//
// Layout: byte 8i + k of a register is byte k of row i, k = 0 the most significant byte of
// the row as the portable code holds it (so a block loads as it lies in memory).

namespace {

// The Whirlpool S-box.
alignas(64) const uint8_t kSbox[256] = {
    0x18, 0x23, 0xC6, 0xE8, 0x87, 0xB8, 0x01, 0x4F, 0x36, 0xA6, 0xD2, 0xF5, 0x79, 0x6F, 0x91, 0x52,
    0x60, 0xBC, 0x9B, 0x8E, 0xA3, 0x0C, 0x7B, 0x35, 0x1D, 0xE0, 0xD7, 0xC2, 0x2E, 0x4B, 0xFE, 0x57,
    0x15, 0x77, 0x37, 0xE5, 0x9F, 0xF0, 0x4A, 0xDA, 0x58, 0xC9, 0x29, 0x0A, 0xB1, 0xA0, 0x6B, 0x85,
    0xBD, 0x5D, 0x10, 0xF4, 0xCB, 0x3E, 0x05, 0x67, 0xE4, 0x27, 0x41, 0x8B, 0xA7, 0x7D, 0x95, 0xD8,
    0xFB, 0xEE, 0x7C, 0x66, 0xDD, 0x17, 0x47, 0x9E, 0xCA, 0x2D, 0xBF, 0x07, 0xAD, 0x5A, 0x83, 0x33,
    0x63, 0x02, 0xAA, 0x71, 0xC8, 0x19, 0x49, 0xD9, 0xF2, 0xE3, 0x5B, 0x88, 0x9A, 0x26, 0x32, 0xB0,
    0xE9, 0x0F, 0xD5, 0x80, 0xBE, 0xCD, 0x34, 0x48, 0xFF, 0x7A, 0x90, 0x5F, 0x20, 0x68, 0x1A, 0xAE,
    0xB4, 0x54, 0x93, 0x22, 0x64, 0xF1, 0x73, 0x12, 0x40, 0x08, 0xC3, 0xEC, 0xDB, 0xA1, 0x8D, 0x3D,
    0x97, 0x00, 0xCF, 0x2B, 0x76, 0x82, 0xD6, 0x1B, 0xB5, 0xAF, 0x6A, 0x50, 0x45, 0xF3, 0x30, 0xEF,
    0x3F, 0x55, 0xA2, 0xEA, 0x65, 0xBA, 0x2F, 0xC0, 0xDE, 0x1C, 0xFD, 0x4D, 0x92, 0x75, 0x06, 0x8A,
    0xB2, 0xE6, 0x0E, 0x1F, 0x62, 0xD4, 0xA8, 0x96, 0xF9, 0xC5, 0x25, 0x59, 0x84, 0x72, 0x39, 0x4C,
    0x5E, 0x78, 0x38, 0x8C, 0xD1, 0xA5, 0xE2, 0x61, 0xB3, 0x21, 0x9C, 0x1E, 0x43, 0xC7, 0xFC, 0x04,
    0x51, 0x99, 0x6D, 0x0D, 0xFA, 0xDF, 0x7E, 0x24, 0x3B, 0xAB, 0xCE, 0x11, 0x8F, 0x4E, 0xB7, 0xEB,
    0x3C, 0x81, 0x94, 0xF7, 0xB9, 0x13, 0x2C, 0xD3, 0xE7, 0x6E, 0xC4, 0x03, 0x56, 0x44, 0x7F, 0xA9,
    0x2A, 0xBB, 0xC1, 0x53, 0xDC, 0x0B, 0x9D, 0x6C, 0x31, 0x74, 0xF6, 0x46, 0xAC, 0x89, 0x14, 0xE1,
    0x16, 0x3A, 0x69, 0x09, 0x70, 0xB6, 0xD0, 0xED, 0xCC, 0x42, 0x98, 0xA4, 0x28, 0x5C, 0xF8, 0x86,
};

// x times y in GF(2^8) modulo x^8 + x^4 + x^3 + x^2 + 1 (0x11D), Whirlpool's field.
constexpr uint8_t Times(uint8_t x, uint8_t y) {
    unsigned product = 0, a = x;
    for (int bit = 0; bit < 8; ++bit) {
        if ((y >> bit) & 1) product ^= a;
        a <<= 1;
        if (a & 0x100) a ^= 0x11D;
    }
    return uint8_t(product);
}

// The affine-transform matrix of the map x -> c * x: output bit i is the parity of x and the
// byte 7 - i of the matrix, whose bit j is bit i of c * 2^j.
constexpr uint64_t TimesMatrix(uint8_t c) {
    uint64_t matrix = 0;
    for (int i = 0; i < 8; ++i) {
        uint64_t row = 0;
        for (int j = 0; j < 8; ++j) row |= uint64_t((Times(c, uint8_t(1 << j)) >> i) & 1) << j;
        matrix |= row << (8 * (7 - i));
    }
    return matrix;
}

// The matrices, made by the compiler: coefficient c at index c.
constexpr uint64_t kTimesMatrices[10] = {
    0, 0, TimesMatrix(2), 0, TimesMatrix(4), TimesMatrix(5), 0, 0, TimesMatrix(8), TimesMatrix(9)};

// The column shifts: byte k of row i comes from byte k of row i - k.
struct ShiftIndex {
    uint8_t from[64];
};
constexpr ShiftIndex MakeShiftIndex() {
    ShiftIndex index{};
    for (int i = 0; i < 8; ++i) {
        for (int k = 0; k < 8; ++k) index.from[8 * i + k] = uint8_t(8 * ((i - k) & 7) + k);
    }
    return index;
}
alignas(64) constexpr ShiftIndex kShiftIndex = MakeShiftIndex();

#define KORVADEX_WHIRLPOOL_TARGET "avx512f,avx512bw,avx512vbmi,gfni"

struct Tables {
    __m512i sbox[4];    // the S-box in four registers of 64 entries
    __m512i shift;      // the byte permutation of the column shifts
    __m512i times[10];  // matrices of the products by 2, 4, 5, 8 and 9 (index c)
};

template <uint8_t c>
[[gnu::target(KORVADEX_WHIRLPOOL_TARGET), gnu::always_inline]] inline __m512i Times(const Tables& t,
                                                                                    __m512i x) {
    if constexpr (c == 1) {
        return x;
    } else {
        return _mm512_gf2p8affine_epi64_epi8(x, t.times[c], 0);
    }
}

// Row byte j - d, for every j: each row rotated towards its less significant bytes by d.
template <int d>
[[gnu::target(KORVADEX_WHIRLPOOL_TARGET), gnu::always_inline]] inline __m512i Shifted(__m512i x) {
    if constexpr (d == 0) {
        return x;
    } else {
        return _mm512_maskz_rol_epi64(0xFF, x, 8 * d);
    }
}

// rho: the S-box, the column shifts, and the diffusion layer, whose row of coefficients
// is 1, 1, 4, 1, 8, 5, 2, 9: output byte j of a row is the sum of coefficient d times
// input byte j - d.
[[gnu::target(KORVADEX_WHIRLPOOL_TARGET), gnu::always_inline]] inline __m512i Rho(const Tables& t,
                                                                                  __m512i x) {
    x = _mm512_maskz_permutexvar_epi8(~__mmask64(0), t.shift, x);
    const __m512i low = _mm512_permutex2var_epi8(t.sbox[0], x, t.sbox[1]);
    const __m512i high = _mm512_permutex2var_epi8(t.sbox[2], x, t.sbox[3]);
    const __m512i a = _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
    const __m512i s01 = _mm512_xor_si512(a, Shifted<1>(a));
    const __m512i s23 = _mm512_xor_si512(Times<4>(t, Shifted<2>(a)), Shifted<3>(a));
    const __m512i s45 = _mm512_xor_si512(Times<8>(t, Shifted<4>(a)), Times<5>(t, Shifted<5>(a)));
    const __m512i s67 = _mm512_xor_si512(Times<2>(t, Shifted<6>(a)), Times<9>(t, Shifted<7>(a)));
    return _mm512_ternarylogic_epi64(s01, s23, _mm512_xor_si512(s45, s67), 0x96);
}

}  // namespace

[[gnu::target(KORVADEX_WHIRLPOOL_TARGET)]] void WhirlpoolCompressGfni(
    uint64_t (&state)[8], const uint64_t (&roundConstants)[10], const uint8_t* data,
    size_t blocks) {
    Tables t;
    for (int i = 0; i < 4; ++i) t.sbox[i] = _mm512_loadu_si512(kSbox + 64 * i);
    t.shift = _mm512_load_si512(kShiftIndex.from);
    const uint8_t coefficients[] = {2, 4, 5, 8, 9};
    for (const uint8_t c : coefficients) t.times[c] = _mm512_set1_epi64(int64_t(kTimesMatrices[c]));
    // Rows as the portable code holds them have byte 0 most significant: reversed in memory.
    const __m512i rowOrder = _mm512_set_epi64(
        0x08090A0B0C0D0E0F, 0x0001020304050607, 0x08090A0B0C0D0E0F, 0x0001020304050607,
        0x08090A0B0C0D0E0F, 0x0001020304050607, 0x08090A0B0C0D0E0F, 0x0001020304050607);
    __m512i rc[10];
    for (int r = 0; r < 10; ++r) {
        rc[r] = _mm512_shuffle_epi8(
            _mm512_set_epi64(0, 0, 0, 0, 0, 0, 0, int64_t(roundConstants[r])), rowOrder);
    }
    __m512i h = _mm512_shuffle_epi8(_mm512_loadu_si512(state), rowOrder);
    for (; blocks != 0; --blocks, data += 64) {
        const __m512i m = _mm512_loadu_si512(data);
        __m512i key = h, s = _mm512_xor_si512(m, h);
        for (int r = 0; r < 10; ++r) {
            key = _mm512_xor_si512(Rho(t, key), rc[r]);
            s = _mm512_xor_si512(Rho(t, s), key);
        }
        h = _mm512_ternarylogic_epi64(h, s, m, 0x96);
    }
    _mm512_storeu_si512(state, _mm512_shuffle_epi8(h, rowOrder));
}

#undef KORVADEX_WHIRLPOOL_TARGET

#endif
