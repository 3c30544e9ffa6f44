#include "kernels.h"

#ifdef KORVADEX_X86_KERNELS

#include <immintrin.h>

// Over a stretch of n bytes d_0 .. d_(n-1), from sums a and b, Adler-32's sums become
//   a + sum d_i   and   b + n a + sum (n - i) d_i.
// The stretch is taken in 64-byte blocks.  Block j adds its byte sum s_j to a, and to b
// its bytes weighted 64 down to 1 plus 64 times the byte sums of the blocks before it in
// the stretch: (n - i) = (blocks after j) 64 + (64 - position in the block).  The vector
// sums stay in 32-bit lanes and are added up and reduced once a stretch; a stretch is at
// most 86 blocks, 5504 bytes, below the 5552 that keeps the byte-by-byte sums within 32
// bits, and each lane holds a part of those sums.
//
// The weighted sums multiply unsigned bytes by signed weights (pmaddubsw, vpdpbusd): the
// weights up to 64 fit, and a pair of products, at most 255 (64 + 63), fits 16 bits.

namespace {

constexpr size_t kStretchBlocks = 86;
constexpr uint32_t kModulus = 65521;

struct Weights {
    alignas(64) int8_t w[64];
};

constexpr Weights MakeWeights() {
    Weights weights{};
    for (int i = 0; i < 64; ++i) weights.w[i] = int8_t(64 - i);
    return weights;
}

constexpr Weights kWeights = MakeWeights();

// The sums after a stretch of `blocks` blocks, from the vector sums: byteSums (sum d_i),
// earlier (the byte sums of the blocks before each block, added up) and weighted.
uint32_t Finish(uint32_t start, size_t blocks, uint32_t byteSums, uint32_t earlier,
                uint32_t weighted) {
    const uint32_t a = start & 0xFFFF;
    const uint32_t b = start >> 16;
    const uint32_t n = uint32_t(64 * blocks);
    const uint32_t b2 = (b + n * a + 64 * earlier + weighted) % kModulus;
    const uint32_t a2 = (a + byteSums) % kModulus;
    return (b2 << 16) | a2;
}

__attribute__((target("ssse3"))) inline uint32_t Sum32(__m128i x) {
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0x4E));
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0xB1));
    return uint32_t(_mm_cvtsi128_si32(x));
}

__attribute__((target("ssse3"))) uint32_t BlocksSsse3(const uint8_t* p, size_t blocks,
                                                      uint32_t start) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i* w = reinterpret_cast<const __m128i*>(kWeights.w);
    const __m128i w0 = _mm_load_si128(w), w1 = _mm_load_si128(w + 1);
    const __m128i w2 = _mm_load_si128(w + 2), w3 = _mm_load_si128(w + 3);
    while (blocks != 0) {
        const size_t stretch = blocks < kStretchBlocks ? blocks : kStretchBlocks;
        __m128i sums = zero, earlier = zero, weighted = zero;
        for (size_t j = 0; j < stretch; ++j, p += 64) {
            const __m128i* q = reinterpret_cast<const __m128i*>(p);
            const __m128i x0 = _mm_loadu_si128(q), x1 = _mm_loadu_si128(q + 1);
            const __m128i x2 = _mm_loadu_si128(q + 2), x3 = _mm_loadu_si128(q + 3);
            earlier = _mm_add_epi32(earlier, sums);
            const __m128i s01 = _mm_add_epi32(_mm_sad_epu8(x0, zero), _mm_sad_epu8(x1, zero));
            const __m128i s23 = _mm_add_epi32(_mm_sad_epu8(x2, zero), _mm_sad_epu8(x3, zero));
            sums = _mm_add_epi32(sums, _mm_add_epi32(s01, s23));
            const __m128i m0 = _mm_madd_epi16(_mm_maddubs_epi16(x0, w0), ones);
            const __m128i m1 = _mm_madd_epi16(_mm_maddubs_epi16(x1, w1), ones);
            const __m128i m2 = _mm_madd_epi16(_mm_maddubs_epi16(x2, w2), ones);
            const __m128i m3 = _mm_madd_epi16(_mm_maddubs_epi16(x3, w3), ones);
            weighted = _mm_add_epi32(weighted,
                                     _mm_add_epi32(_mm_add_epi32(m0, m1), _mm_add_epi32(m2, m3)));
        }
        start = Finish(start, stretch, Sum32(sums), Sum32(earlier), Sum32(weighted));
        blocks -= stretch;
    }
    return start;
}

__attribute__((target("avx2"))) inline uint32_t Sum32(__m256i x) {
    return Sum32(_mm_add_epi32(_mm256_castsi256_si128(x), _mm256_extracti128_si256(x, 1)));
}

__attribute__((target("avx2"))) uint32_t BlocksAvx2(const uint8_t* p, size_t blocks,
                                                    uint32_t start) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ones = _mm256_set1_epi16(1);
    const __m256i* w = reinterpret_cast<const __m256i*>(kWeights.w);
    const __m256i w0 = _mm256_load_si256(w), w1 = _mm256_load_si256(w + 1);
    while (blocks != 0) {
        const size_t stretch = blocks < kStretchBlocks ? blocks : kStretchBlocks;
        __m256i sums = zero, earlier = zero, weighted = zero;
        for (size_t j = 0; j < stretch; ++j, p += 64) {
            const __m256i* q = reinterpret_cast<const __m256i*>(p);
            const __m256i x0 = _mm256_loadu_si256(q), x1 = _mm256_loadu_si256(q + 1);
            earlier = _mm256_add_epi32(earlier, sums);
            sums = _mm256_add_epi32(
                sums, _mm256_add_epi32(_mm256_sad_epu8(x0, zero), _mm256_sad_epu8(x1, zero)));
            const __m256i m0 = _mm256_madd_epi16(_mm256_maddubs_epi16(x0, w0), ones);
            const __m256i m1 = _mm256_madd_epi16(_mm256_maddubs_epi16(x1, w1), ones);
            weighted = _mm256_add_epi32(weighted, _mm256_add_epi32(m0, m1));
        }
        start = Finish(start, stretch, Sum32(sums), Sum32(earlier), Sum32(weighted));
        blocks -= stretch;
    }
    return start;
}

// With the masked extracts: the plain ones start from an undefined register, which GCC 12
// warns of as uninitialised.
__attribute__((target("avx512f,avx512bw"))) inline uint32_t Sum32(__m512i x) {
    return Sum32(_mm256_add_epi32(_mm512_maskz_extracti64x4_epi64(0xF, x, 0),
                                  _mm512_maskz_extracti64x4_epi64(0xF, x, 1)));
}

__attribute__((target("avx512f,avx512bw"))) uint32_t BlocksAvx512(const uint8_t* p, size_t blocks,
                                                                  uint32_t start) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512i ones = _mm512_set1_epi16(1);
    const __m512i w = _mm512_load_si512(kWeights.w);
    while (blocks != 0) {
        const size_t stretch = blocks < kStretchBlocks ? blocks : kStretchBlocks;
        __m512i sums = zero, earlier = zero, weighted = zero;
        for (size_t j = 0; j < stretch; ++j, p += 64) {
            const __m512i x = _mm512_loadu_si512(p);
            earlier = _mm512_add_epi32(earlier, sums);
            sums = _mm512_add_epi32(sums, _mm512_sad_epu8(x, zero));
            weighted =
                _mm512_add_epi32(weighted, _mm512_madd_epi16(_mm512_maddubs_epi16(x, w), ones));
        }
        start = Finish(start, stretch, Sum32(sums), Sum32(earlier), Sum32(weighted));
        blocks -= stretch;
    }
    return start;
}

// With the dot products the weighted sum takes one instruction a block; two accumulators
// take turns, so that each waits on its own latency only every other block.
__attribute__((target("avx512f,avx512bw,avx512vnni"))) uint32_t BlocksAvx512Vnni(const uint8_t* p,
                                                                                 size_t blocks,
                                                                                 uint32_t start) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512i w = _mm512_load_si512(kWeights.w);
    while (blocks != 0) {
        const size_t stretch = blocks < kStretchBlocks ? blocks : kStretchBlocks;
        __m512i sums = zero, earlier = zero, weighted0 = zero, weighted1 = zero;
        size_t j = 0;
        for (; j + 2 <= stretch; j += 2, p += 128) {
            const __m512i x0 = _mm512_loadu_si512(p);
            const __m512i x1 = _mm512_loadu_si512(p + 64);
            const __m512i s0 = _mm512_sad_epu8(x0, zero);
            // The second block sees the first's sum among those before it.
            earlier = _mm512_add_epi32(earlier, _mm512_add_epi32(_mm512_add_epi32(sums, sums), s0));
            sums = _mm512_add_epi32(sums, _mm512_add_epi32(s0, _mm512_sad_epu8(x1, zero)));
            weighted0 = _mm512_dpbusd_epi32(weighted0, x0, w);
            weighted1 = _mm512_dpbusd_epi32(weighted1, x1, w);
        }
        if (j != stretch) {
            const __m512i x = _mm512_loadu_si512(p);
            earlier = _mm512_add_epi32(earlier, sums);
            sums = _mm512_add_epi32(sums, _mm512_sad_epu8(x, zero));
            weighted0 = _mm512_dpbusd_epi32(weighted0, x, w);
            p += 64;
        }
        start = Finish(start, stretch, Sum32(sums), Sum32(earlier),
                       Sum32(_mm512_add_epi32(weighted0, weighted1)));
        blocks -= stretch;
    }
    return start;
}

}  // namespace

uint32_t Adler32BlocksSsse3(const uint8_t* data, size_t blocks, uint32_t start) {
    return BlocksSsse3(data, blocks, start);
}

uint32_t Adler32BlocksAvx2(const uint8_t* data, size_t blocks, uint32_t start) {
    return BlocksAvx2(data, blocks, start);
}

uint32_t Adler32BlocksAvx512(const uint8_t* data, size_t blocks, uint32_t start) {
    return BlocksAvx512(data, blocks, start);
}

uint32_t Adler32BlocksAvx512Vnni(const uint8_t* data, size_t blocks, uint32_t start) {
    return BlocksAvx512Vnni(data, blocks, start);
}

#endif
