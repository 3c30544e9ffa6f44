// The steps of MD2's compression, shared by the single engine (md2.cpp) and the interleaved
// lanes (md2_lanes.cpp).  Only for those units.
#ifndef KORVADEX_DIGESTS_MD2_STEPS_H
#define KORVADEX_DIGESTS_MD2_STEPS_H

#include <cstdint>

#include "digest_tables.h"

// One step of a round: X[k] ^= S[t], and the new X[k] is the next t.  X is held in
// full words whose values stay below 256, so t serves as the table index as it is and
// the chain from one table load to the next is a single xor.
inline uint32_t Md2Step(uint32_t& x, uint32_t t) {
    x ^= kMd2Sbox[t];
    return x;
}

// One checksum byte, in the form of the RFC 1319 reference code: the old byte is
// XORed with S[message byte ^ L], and the result is the next L.
inline uint32_t Md2ChecksumStep(uint8_t& c, uint8_t m, uint32_t l) {
    const uint32_t v = uint32_t(c) ^ kMd2Sbox[m ^ l];
    c = uint8_t(v);
    return v;
}

#endif
