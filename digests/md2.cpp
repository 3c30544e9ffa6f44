#include "md2.h"

#include <cstring>

#include "byte_order.h"
#include "md2_steps.h"
#include "stream_adapters.h"
#include "streaming_engines.h"

Md2ContextType Md2Context;

DigestResult Md2Digest(const uint8_t* data, uint32_t length, uint32_t, uint32_t) {
    return Md2DigestEx(data, length, 0, 0, 0, 0);
}

DigestResult Md2DigestEx(const uint8_t* data, uint32_t length, uint32_t w0, uint32_t w1,
                         uint32_t w2, uint32_t w3) {
    Md2Init();
    StoreLe32(Md2Context.state, w0);
    StoreLe32(Md2Context.state + 4, w1);
    StoreLe32(Md2Context.state + 8, w2);
    StoreLe32(Md2Context.state + 12, w3);
    Md2Update(data, length);
    return DigestAddress(Md2Final());
}

uint8_t* Md2Init() {
    Md2Init(Md2Context);
    return Md2Context.state;
}
void Md2Update(const uint8_t* data, uint32_t length) {
    Md2Update(Md2Context, data, length);
}
const uint8_t* Md2Final() {
    return Md2Final(Md2Context);
}
void Md2Transform() {
    Md2Transform(Md2Context);
}

void Md2Init(Md2ContextType& ctx) {
    std::memset(ctx.state, 0, sizeof ctx.state);
    std::memset(ctx.block, 0, sizeof ctx.block);
    std::memset(ctx.mixed, 0, sizeof ctx.mixed);
    std::memset(ctx.checksum, 0, sizeof ctx.checksum);
    ctx.blockFill = 0;
}

void Md2Update(Md2ContextType& ctx, const uint8_t* data, size_t length) {
    while (length != 0) {
        const size_t room = 16 - ctx.blockFill;
        const uint32_t n = uint32_t(room < length ? room : length);
        std::memcpy(ctx.block + ctx.blockFill, data, n);
        data += n;
        length -= n;
        ctx.blockFill += n;
        if (ctx.blockFill == 16) {
            Md2Transform(ctx);
            ctx.blockFill = 0;
        }
    }
}

const uint8_t* Md2Final(Md2ContextType& ctx) {
    const uint32_t pad = 16 - ctx.blockFill;
    std::memset(ctx.block + ctx.blockFill, int(pad), pad);
    Md2Transform(ctx);
    std::memcpy(ctx.block, ctx.checksum, sizeof ctx.block);
    Md2Transform(ctx);
    return ctx.state;
}

void Md2Transform(Md2ContextType& ctx) {
    // X = state, block, state ^ block, one byte a word while the rounds run.
    uint32_t x[48];
    for (int j = 0; j < 16; ++j) {
        x[j] = ctx.state[j];
        x[16 + j] = ctx.block[j];
        x[32 + j] = ctx.state[j] ^ ctx.block[j];
    }

    uint32_t l = ctx.checksum[15];
    for (int j = 0; j < 16; j += 4) {
        l = Md2ChecksumStep(ctx.checksum[j], ctx.block[j], l);
        l = Md2ChecksumStep(ctx.checksum[j + 1], ctx.block[j + 1], l);
        l = Md2ChecksumStep(ctx.checksum[j + 2], ctx.block[j + 2], l);
        l = Md2ChecksumStep(ctx.checksum[j + 3], ctx.block[j + 3], l);
    }

    // 18 rounds over the 48 bytes of X, four bytes an iteration.  The loop over the
    // bytes is kept a loop: written out in full, the compiler holds X in registers and
    // spills most of it, and its spill code puts a store and a reload on the chain.
    // As a loop X stays in memory, where the load of X[k] and the store of the new
    // value are off the chain, and each step costs one table load and one xor.
    uint32_t t = 0;
    for (uint32_t r = 0; r < 18; ++r) {
#pragma GCC unroll 1
        for (int k = 0; k < 48; k += 4) {
            t = Md2Step(x[k], t);
            t = Md2Step(x[k + 1], t);
            t = Md2Step(x[k + 2], t);
            t = Md2Step(x[k + 3], t);
        }
        t = (t + r) & 0xFF;
    }

    for (int j = 0; j < 16; ++j) {
        ctx.state[j] = uint8_t(x[j]);
        ctx.block[j] = uint8_t(x[16 + j]);
        ctx.mixed[j] = uint8_t(x[32 + j]);
    }
}

const StreamingEngine kMd2Stream =
    ContextAdapter<Md2ContextType, Md2Init, Md2Update, Md2Final, kMd2Size>::kEngine;
