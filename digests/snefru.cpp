#include "snefru.h"

#include <cstring>

#include "byte_order.h"
#include "compiler_hints.h"
#include "snefru_steps.h"
#include "stream_adapters.h"
#include "streaming_engines.h"

SnefruContextType SnefruContext;

namespace {

// One sub-round over the working block w: steps 0 and 1 take S-box box0, steps 2 and 3
// box1, and so on; then every word turns right by shift.
inline void SubRound(uint32_t (&w)[16], uint32_t& idx, const Box& box0, const Box& box1,
                     unsigned shift) {
    Step(w[15], w[1], idx, box0);
    Step(w[0], w[2], idx, box0);
    Step(w[1], w[3], idx, box1);
    Step(w[2], w[4], idx, box1);
    Step(w[3], w[5], idx, box0);
    Step(w[4], w[6], idx, box0);
    Step(w[5], w[7], idx, box1);
    Step(w[6], w[8], idx, box1);
    Step(w[7], w[9], idx, box0);
    Step(w[8], w[10], idx, box0);
    Step(w[9], w[11], idx, box1);
    Step(w[10], w[12], idx, box1);
    Step(w[11], w[13], idx, box0);
    Step(w[12], w[14], idx, box0);
    Step(w[13], w[15], idx, box1);
    LastStep(w[14], w[0], idx, box1, shift);
    for (uint32_t& x : w) x = Rotr32(x, shift);
}

// The passes of the compression function over the working block.  Out of line: inlined
// into the transform, its chain of steps ran slower (docs/tuning.md, "Snefru: scalar copies
// and passes out of line").
KORVADEX_NEVER_INLINE void Scramble(uint32_t (&work)[16], uint32_t passes) {
    uint32_t w[16];
    std::memcpy(w, work, sizeof w);
    uint32_t idx = w[0] & 0xFF;
    for (uint32_t p = 0; p < passes; ++p) {
        const Box box0 = {kSnefruSboxes[2 * p], kSnefruBytePlanes[2 * p]};
        const Box box1 = {kSnefruSboxes[2 * p + 1], kSnefruBytePlanes[2 * p + 1]};
        for (unsigned shift : kRotations) SubRound(w, idx, box0, box1, shift);
    }
    std::memcpy(work, w, sizeof w);
}

}  // namespace

namespace {

// Other output lengths would overrun words or divide by a zero block size, and more than
// eight passes would read past the sixteen S-boxes.
bool Accepted(uint32_t bits, uint32_t passes) {
    return (bits == 128 || bits == 256) && passes >= 1 && passes <= 8;
}

void SnefruTransformAt(SnefruContextType& c, const uint8_t* bytes, uint32_t n) {
    const uint32_t dw = c.digestWords;
    for (uint32_t i = 0; i < n / 4; ++i) c.words[i] = LoadBe32(bytes + 4 * i);
    for (uint32_t i = 0; i < dw; ++i) c.work[i] = c.state[i];
    for (uint32_t i = dw; i < 16; ++i) c.work[i] = c.words[i - dw];
    Scramble(c.work, c.passes);
    for (uint32_t i = 0; i < dw; ++i) c.state[i] ^= c.work[15 - i];
}

void SnefruReset(SnefruContextType& c, uint32_t bits, uint32_t passes) {
    c.blockSize = 64 - bits / 8;
    c.digestWords = bits / 32;
    c.passes = passes;
    c.byteCount = 0;
    std::memset(c.state, 0, sizeof c.state);
    std::memset(c.work, 0, sizeof c.work);
    std::memset(c.block, 0, sizeof c.block);
    std::memset(c.words, 0, sizeof c.words);
    std::memset(c.padding, 0, sizeof c.padding);
}

}  // namespace

void SnefruUpdate(SnefruContextType& c, const uint8_t* data, size_t length) {
    const uint32_t size = c.blockSize;
    // The fill from the whole 64-bit count: 2^32 is no multiple of 48.
    const uint32_t fill = uint32_t(c.byteCount % size);
    const uint32_t space = size - fill;
    c.byteCount += length;
    if (length < space) {
        if (length != 0) std::memcpy(c.block + fill, data, length);
        return;
    }
    std::memcpy(c.block + fill, data, space);
    SnefruTransformAt(c, c.block, size);
    size_t j = space;
    for (; length - j >= size; j += size) SnefruTransformAt(c, data + j, size);
    if (length != j) std::memcpy(c.block, data + j, length - j);
}

void SnefruPad(SnefruContextType& c) {
    const uint32_t fill = uint32_t(c.byteCount % c.blockSize);
    c.padLength = fill != 0 ? (c.blockSize - fill) + c.blockSize : c.blockSize;
    StoreBe64(c.padding + c.padLength - 8, c.byteCount << 3);
}

const uint8_t* SnefruFinal(SnefruContextType& c) {
    for (uint32_t i = 0; i < c.digestWords; ++i) StoreBe32(c.result + 4 * i, c.state[i]);
    return c.result;
}

void SnefruTransform(const uint8_t* bytes, uint32_t n) {
    SnefruTransformAt(SnefruContext, bytes, n);
}
void SnefruInit(uint32_t bits, uint32_t passes) {
    SnefruReset(SnefruContext, bits, passes);
}
void SnefruUpdate(const uint8_t* data, uint32_t length) {
    SnefruUpdate(SnefruContext, data, length);
}
void SnefruPad() {
    SnefruPad(SnefruContext);
}
const uint8_t* SnefruFinal() {
    return SnefruFinal(SnefruContext);
}

bool SnefruInit(SnefruContextType& ctx, uint32_t bits, uint32_t passes) {
    if (!Accepted(bits, passes)) return false;
    SnefruReset(ctx, bits, passes);
    return true;
}

const uint8_t* SnefruFinish(SnefruContextType& ctx) {
    SnefruPad(ctx);
    SnefruUpdate(ctx, ctx.padding, ctx.padLength);
    return SnefruFinal(ctx);
}

DigestResult SnefruDigestEx(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes,
                            uint32_t h0, uint32_t h1, uint32_t h2, uint32_t h3, uint32_t h4,
                            uint32_t h5, uint32_t h6, uint32_t h7) {
    if (!Accepted(bits, passes)) return 0;
    SnefruInit(bits, passes);
    SnefruContextType& c = SnefruContext;
    const uint32_t h[8] = {h0, h1, h2, h3, h4, h5, h6, h7};
    std::memcpy(c.state, h, sizeof h);
    SnefruUpdate(data, length);
    SnefruPad();
    SnefruUpdate(c.padding, c.padLength);
    return DigestAddress(SnefruFinal());
}

DigestResult SnefruDigest(const uint8_t* data, uint32_t length, uint32_t bits, uint32_t passes) {
    return SnefruDigestEx(data, length, bits, passes, 0, 0, 0, 0, 0, 0, 0, 0);
}

namespace {
size_t SnefruDigestBytes(const SnefruContextType& ctx) {
    return 4 * ctx.digestWords;
}
}  // namespace

const StreamingEngine kSnefruStream = ParameterAdapter<SnefruContextType, SnefruInit, SnefruUpdate,
                                                       SnefruFinish, SnefruDigestBytes>::kEngine;
