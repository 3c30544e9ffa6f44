#include "gost.h"

#include <cstring>
#include <utility>

#include "byte_order.h"
#include "digest_tables.h"
#include "stream_adapters.h"
#include "streaming_engines.h"

GostContextType GostContext;
uint32_t sboxTables[4][256];
std::atomic<uint32_t> tablesBuilt{0};

namespace {

// C3, the only non-zero constant of the key generation, as little-endian words.
constexpr uint32_t kC3[8] = {0xFF00FF00, 0xFF00FF00, 0x00FF00FF, 0x00FF00FF,
                             0x00FFFF00, 0xFF0000FF, 0x000000FF, 0xFF00FFFF};

// The round function of GOST 28147-89 (eight 4-bit substitutions, then a rotation left
// by 11) as four table look-ups.
inline uint32_t RoundFunction(uint32_t x) {
    return sboxTables[0][x & 0xFF] ^ sboxTables[1][(x >> 8) & 0xFF] ^
           sboxTables[2][(x >> 16) & 0xFF] ^ sboxTables[3][x >> 24];
}

// Two rounds of the four quarter encryptions with key words ka and kb of each quarter's
// key; the halves trade places by trading roles.  The four quarters are independent, so
// their rounds overlap instead of waiting on one another.
inline void TwoRounds(uint32_t (&n1)[4], uint32_t (&n2)[4], const uint32_t (&k)[4][8], int ka,
                      int kb) {
    n2[0] ^= RoundFunction(n1[0] + k[0][ka]);
    n2[1] ^= RoundFunction(n1[1] + k[1][ka]);
    n2[2] ^= RoundFunction(n1[2] + k[2][ka]);
    n2[3] ^= RoundFunction(n1[3] + k[3][ka]);
    n1[0] ^= RoundFunction(n2[0] + k[0][kb]);
    n1[1] ^= RoundFunction(n2[1] + k[1][kb]);
    n1[2] ^= RoundFunction(n2[2] + k[2][kb]);
    n1[3] ^= RoundFunction(n2[3] + k[3][kb]);
}

// GOST 28147-89 encryption of the four 64-bit quarters of h (quarter q: low word
// h[2q] = n1, high word h[2q + 1] = n2) under key k[q] into s: key words 0..7 three
// times, then 7..0; the last round does not swap.
inline void EncryptQuarters(const uint32_t (&k)[4][8], const uint32_t* h, uint32_t (&s)[8]) {
    uint32_t n1[4] = {h[0], h[2], h[4], h[6]};
    uint32_t n2[4] = {h[1], h[3], h[5], h[7]};
    TwoRounds(n1, n2, k, 0, 1);
    TwoRounds(n1, n2, k, 2, 3);
    TwoRounds(n1, n2, k, 4, 5);
    TwoRounds(n1, n2, k, 6, 7);
    TwoRounds(n1, n2, k, 0, 1);
    TwoRounds(n1, n2, k, 2, 3);
    TwoRounds(n1, n2, k, 4, 5);
    TwoRounds(n1, n2, k, 6, 7);
    TwoRounds(n1, n2, k, 0, 1);
    TwoRounds(n1, n2, k, 2, 3);
    TwoRounds(n1, n2, k, 4, 5);
    TwoRounds(n1, n2, k, 6, 7);
    TwoRounds(n1, n2, k, 7, 6);
    TwoRounds(n1, n2, k, 5, 4);
    TwoRounds(n1, n2, k, 3, 2);
    TwoRounds(n1, n2, k, 1, 0);
    for (int q = 0; q < 4; ++q) {
        s[2 * q] = n2[q];
        s[2 * q + 1] = n1[q];
    }
}

// A: (y4, y3, y2, y1) -> (y1 ^ y2, y4, y3, y2) on 64-bit quarters, y1 the lowest.
inline void TransformA(uint32_t (&y)[8]) {
    const uint32_t lo = y[0] ^ y[2], hi = y[1] ^ y[3];
    for (int i = 0; i < 6; ++i) y[i] = y[i + 2];
    y[6] = lo;
    y[7] = hi;
}

// P: byte 4k + i of the key is byte 8i + k of w (k = 0..7, i = 0..3).
inline void TransformP(const uint32_t (&w)[8], uint32_t (&key)[8]) {
    for (int k = 0; k < 8; ++k) {
        const int shift = 8 * (k & 3), word = k >> 2;
        key[k] = ((w[word] >> shift) & 0xFF) | ((w[word + 2] >> shift) & 0xFF) << 8 |
                 ((w[word + 4] >> shift) & 0xFF) << 16 | ((w[word + 6] >> shift) & 0xFF) << 24;
    }
}

// The shuffle psi works on 256-bit values as sixteen 16-bit halves x0..x15 (x0 the
// lowest): x15 becomes x0 ^ x1 ^ x2 ^ x3 ^ x12 ^ x15, every other half moves one place
// down.  A power of psi is linear; its rows say which input halves each output half
// XORs together (bit j of row i: output half i takes input half j).
struct PsiMatrix {
    uint16_t rows[16];
};

constexpr PsiMatrix PsiPower(int n) {
    PsiMatrix p{};
    for (int i = 0; i < 16; ++i) p.rows[i] = uint16_t(1u << i);
    for (int step = 0; step < n; ++step) {
        const uint16_t feedback =
            p.rows[0] ^ p.rows[1] ^ p.rows[2] ^ p.rows[3] ^ p.rows[12] ^ p.rows[15];
        for (int i = 0; i < 15; ++i) p.rows[i] = p.rows[i + 1];
        p.rows[15] = feedback;
    }
    return p;
}

constexpr PsiMatrix kPsi1 = PsiPower(1);
constexpr PsiMatrix kPsi12 = PsiPower(12);
constexpr PsiMatrix kPsi61 = PsiPower(61);

// The XOR of the halves that Mask selects; unselected terms fold away at compile time,
// so every power of psi becomes fixed straight-line XORs.
template <uint16_t Mask, size_t... J>
inline uint32_t XorOfHalves(const uint32_t (&x)[16], std::index_sequence<J...>) {
    return (0u ^ ... ^ (((Mask >> J) & 1) != 0 ? x[J] : 0u));
}

template <const PsiMatrix& P, size_t... I>
inline void ApplyPsi(const uint32_t (&in)[16], uint32_t (&out)[16], std::index_sequence<I...>) {
    ((out[I] = XorOfHalves<P.rows[I]>(in, std::make_index_sequence<16>())), ...);
}

template <const PsiMatrix& P>
inline void Psi(const uint32_t (&in)[16], uint32_t (&out)[16]) {
    ApplyPsi<P>(in, out, std::make_index_sequence<16>());
}

// XORs the halves of eight words into x (x[2i] the low half of word i).
inline void XorHalves(uint32_t (&x)[16], const uint32_t* words) {
    for (int i = 0; i < 8; ++i) {
        x[2 * i] ^= words[i] & 0xFFFF;
        x[2 * i + 1] ^= words[i] >> 16;
    }
}

void BuildTablesOnce() {
    // A function-local static is initialised exactly once, and threads that arrive
    // meanwhile wait for it.
    static const bool built = [] {
        GostBuildTables();
        tablesBuilt.store(1, std::memory_order_release);
        return true;
    }();
    (void)built;
}

}  // namespace

void GostBuildTables() {
    const uint8_t(*s)[16] = kGostTestSboxes;  // s[0] is the standard's S-box 1
    for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t a = i >> 4, b = i & 15;
        sboxTables[0][i] = uint32_t(s[1][a]) << 15 | uint32_t(s[0][b]) << 11;
        sboxTables[1][i] = uint32_t(s[3][a]) << 23 | uint32_t(s[2][b]) << 19;
        sboxTables[2][i] = Rotr32(s[5][a], 1) | uint32_t(s[4][b]) << 27;
        sboxTables[3][i] = uint32_t(s[7][a]) << 7 | uint32_t(s[6][b]) << 3;
    }
}

void GostTransform(uint32_t* h, const uint32_t* m) {
    // Key generation: the four keys come from h and m alone.
    uint32_t u[8], v[8], w[8], keys[4][8], s[8];
    std::memcpy(u, h, sizeof u);
    std::memcpy(v, m, sizeof v);
    for (int part = 0; part < 4; ++part) {
        if (part != 0) {
            TransformA(u);
            if (part == 2)
                for (int i = 0; i < 8; ++i) u[i] ^= kC3[i];
            TransformA(v);
            TransformA(v);
        }
        for (int i = 0; i < 8; ++i) w[i] = u[i] ^ v[i];
        TransformP(w, keys[part]);
    }
    // Encryption: key q encrypts the quarter q of h.
    EncryptQuarters(keys, h, s);

    // Output: psi^61(h ^ psi(m ^ psi^12(s))).
    uint32_t x[16] = {}, y[16];
    XorHalves(x, s);
    Psi<kPsi12>(x, y);
    XorHalves(y, m);
    Psi<kPsi1>(y, x);
    XorHalves(x, h);
    Psi<kPsi61>(x, y);
    for (int i = 0; i < 8; ++i) h[i] = y[2 * i] | y[2 * i + 1] << 16;
}

void GostAbsorbBlock(GostContextType& c, const uint8_t* block, uint32_t bits) {
    uint32_t m[8];
    for (int i = 0; i < 8; ++i) m[i] = LoadLe32(block + 4 * i);
    uint32_t carry = 0;
    for (int i = 0; i < 8; ++i) {
        const uint64_t t = uint64_t(c.sum[i]) + m[i] + carry;
        c.sum[i] = uint32_t(t);
        carry = uint32_t(t >> 32);
    }
    GostTransform(c.state, m);
    // The length is a 256-bit count of bits, as the control sum is a 256-bit sum.
    uint64_t count = uint64_t(c.bitCount[0]) + bits;
    c.bitCount[0] = uint32_t(count);
    for (int i = 1; i < 8 && (count >> 32) != 0; ++i) {
        count = uint64_t(c.bitCount[i]) + 1;
        c.bitCount[i] = uint32_t(count);
    }
}

void GostInit(GostContextType& c) {
    if (tablesBuilt.load(std::memory_order_acquire) == 0) BuildTablesOnce();
    std::memset(c.sum, 0, sizeof c.sum);
    std::memset(c.state, 0, sizeof c.state);
    std::memset(c.bitCount, 0, sizeof c.bitCount);
    std::memset(c.block, 0, sizeof c.block);
    c.blockFill = 0;
}

void GostUpdate(GostContextType& c, const uint8_t* data, size_t length) {
    size_t i = c.blockFill, j = 0;
    while (i < 32 && j < length) c.block[i++] = data[j++];
    if (i < 32) {
        c.blockFill = uint32_t(i);
        return;
    }
    GostAbsorbBlock(c, c.block, 256);
    // Whole blocks are compressed where they lie; a last block that the data fills
    // exactly is held back in block.
    for (; length - j > 32; j += 32) GostAbsorbBlock(c, data + j, 256);
    c.blockFill = uint32_t(length - j);
    if (c.blockFill != 0) std::memcpy(c.block, data + j, c.blockFill);
}

const uint8_t* GostFinal(GostContextType& c) {
    if (c.blockFill != 0) {
        std::memset(c.block + c.blockFill, 0, 32 - c.blockFill);
        GostAbsorbBlock(c, c.block, c.blockFill * 8);
    }
    GostTransform(c.state, c.bitCount);
    GostTransform(c.state, c.sum);
    // The digest is the state, each word least significant byte first.
    uint8_t* digest = reinterpret_cast<uint8_t*>(c.state);
    for (int i = 0; i < 8; ++i) StoreLe32(digest + 4 * i, c.state[i]);
    return digest;
}

void GostAbsorbBlock(const uint8_t* block, uint32_t bits) {
    GostAbsorbBlock(GostContext, block, bits);
}
void GostInit() {
    GostInit(GostContext);
}
void GostUpdate(const uint8_t* data, uint32_t length) {
    GostUpdate(GostContext, data, length);
}
const uint8_t* GostFinal() {
    return GostFinal(GostContext);
}

DigestResult GostDigestEx(const uint8_t* data, uint32_t length, uint32_t h0, uint32_t h1,
                          uint32_t h2, uint32_t h3, uint32_t h4, uint32_t h5, uint32_t h6,
                          uint32_t h7) {
    GostInit();
    const uint32_t h[8] = {h0, h1, h2, h3, h4, h5, h6, h7};
    std::memcpy(GostContext.state, h, sizeof h);
    GostUpdate(data, length);
    return DigestAddress(GostFinal());
}

DigestResult GostDigest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return GostDigestEx(data, length, 0, 0, 0, 0, 0, 0, 0, 0);
}

const StreamingEngine kGostStream =
    ContextAdapter<GostContextType, GostInit, GostUpdate, GostFinal, kGostSize>::kEngine;
