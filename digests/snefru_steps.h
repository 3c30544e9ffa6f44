// The steps of Snefru's compression, shared by the single engine (snefru.cpp) and the
// interleaved lanes (snefru_lanes.cpp).  Only for those units.
#ifndef KORVADEX_DIGESTS_SNEFRU_STEPS_H
#define KORVADEX_DIGESTS_SNEFRU_STEPS_H

#include <cstdint>

#include "compiler_hints.h"
#include "digest_tables.h"

// Each pass runs four sub-rounds; after each one every word of the working block turns
// right by these amounts, which add up to a whole turn.
constexpr unsigned kRotations[4] = {16, 8, 16, 24};

// One S-box: its words and its byte planes (kSnefruBytePlanes: plane n holds byte n, 0 the
// least significant, of every entry).  The sixteen steps of a sub-round form one chain
// (each step's index is the low byte of a word that the step before has just changed),
// and its length sets the speed.  With the planes, the next index is one byte load and
// one XOR away: no byte extraction, and a byte load with an unscaled index has a shorter
// latency than a word load with a scaled one.
struct Box {
    const uint32_t* words;
    const uint8_t (*planes)[256];
};

// Byte n of entry idx, kept in a whole register, so that the compiler does not narrow the
// following XOR to a byte operation, which would need a zero extension on the chain again.
inline uint32_t EntryByte(const Box& box, uint32_t idx, unsigned n) {
    uint32_t byte = box.planes[n][idx];
    KeepInRegister(byte);
    return byte;
}

// Step k of a sub-round: t = box[low byte of w[k]] goes into w[k - 1] and w[k + 1].
// idx is the low byte of w[k] on entry and that of w[k + 1] on return; it is formed from
// w[k + 1] before t goes in, plus the low byte of t.
inline void Step(uint32_t& before, uint32_t& after, uint32_t& idx, const Box& box) {
    const uint32_t t = box.words[idx];
    const uint32_t next = (after & 0xFF) ^ EntryByte(box, idx, 0);
    before ^= t;
    after ^= t;
    idx = next;
}

// Step 15, whose successor is step 0 of the next sub-round: the next index is the low
// byte of w[0] after the rotation by shift (a multiple of 8), that is its byte shift / 8.
inline void LastStep(uint32_t& before, uint32_t& after, uint32_t& idx, const Box& box,
                     unsigned shift) {
    const uint32_t t = box.words[idx];
    const uint32_t next = ((after >> shift) & 0xFF) ^ EntryByte(box, idx, shift / 8);
    before ^= t;
    after ^= t;
    idx = next;
}

#endif
