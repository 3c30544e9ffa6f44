// The streaming form (StreamingEngine in digest_types.h) of an engine, made from its own
// entries: each family defines its forms beside its engine, over these adapters.
//
// Only for the engines' units.
#ifndef KORVADEX_DIGESTS_STREAM_ADAPTERS_H
#define KORVADEX_DIGESTS_STREAM_ADAPTERS_H

#include <cstring>

#include "compress_paths.h"
#include "digest_types.h"

// The path an engine with one compression runs.
inline const char* PortablePath() {
    return "portable";
}

// The name of the row of an engine's path table that this processor runs.
template <const auto& kTable>
const char* PathNameHere() {
    return PathHere<kTable>().name;
}

// A checksum's context is its running value.  The running-value routines take 32-bit
// lengths, so longer pieces go to them in parts.
using ChecksumUpdateFn = uint32_t (*)(const uint8_t*, uint32_t, uint32_t);

struct ChecksumContext {
    uint32_t value;
};

template <ChecksumUpdateFn UpdateFn, uint32_t kStart, SizeWord kSize, const char* (*PathFn)()>
struct ChecksumAdapter {
    static constexpr size_t kMaxPart = size_t(1) << 30;
    static bool Init(void* context, uint32_t, uint32_t) {
        static_cast<ChecksumContext*>(context)->value = kStart;
        return true;
    }
    static void Update(void* context, const uint8_t* data, size_t length) {
        uint32_t& value = static_cast<ChecksumContext*>(context)->value;
        while (length != 0) {
            const size_t part = length < kMaxPart ? length : kMaxPart;
            value = UpdateFn(data, uint32_t(part), value);
            data += part;
            length -= part;
        }
    }
    static void Final(void* context, uint8_t* digest) {
        ResultBytes(static_cast<ChecksumContext*>(context)->value, kSize, digest);
    }
    static constexpr StreamingEngine kEngine = {sizeof(ChecksumContext), Init, Update, Final,
                                                PathFn};
};

// An engine with a context-taking Init (the published initial value), Update and Final, whose
// Final returns the digest's address in print order.
template <typename Context, void (*InitFn)(Context&),
          void (*UpdateFn)(Context&, const uint8_t*, size_t), const uint8_t* (*FinalFn)(Context&),
          SizeWord kSize, const char* (*PathFn)() = PortablePath>
struct ContextAdapter {
    static_assert(alignof(Context) <= kStreamContextAlign, "a stream context fits the alignment");
    static bool Init(void* context, uint32_t, uint32_t) {
        InitFn(*static_cast<Context*>(context));
        return true;
    }
    static void Update(void* context, const uint8_t* data, size_t length) {
        UpdateFn(*static_cast<Context*>(context), data, length);
    }
    static void Final(void* context, uint8_t* digest) {
        std::memcpy(digest, FinalFn(*static_cast<Context*>(context)), DigestLength(kSize));
    }
    static constexpr StreamingEngine kEngine = {sizeof(Context), Init, Update, Final, PathFn};
};

// HAVAL and Snefru: Init takes the output bits and passes and may refuse them; the digest's
// length depends on them.
template <typename Context, bool (*InitFn)(Context&, uint32_t, uint32_t),
          void (*UpdateFn)(Context&, const uint8_t*, size_t), const uint8_t* (*FinalFn)(Context&),
          size_t (*DigestBytes)(const Context&)>
struct ParameterAdapter {
    static_assert(alignof(Context) <= kStreamContextAlign, "a stream context fits the alignment");
    static bool Init(void* context, uint32_t bits, uint32_t passes) {
        return InitFn(*static_cast<Context*>(context), bits, passes);
    }
    static void Update(void* context, const uint8_t* data, size_t length) {
        UpdateFn(*static_cast<Context*>(context), data, length);
    }
    static void Final(void* context, uint8_t* digest) {
        Context& ctx = *static_cast<Context*>(context);
        const size_t length = DigestBytes(ctx);
        std::memcpy(digest, FinalFn(ctx), length);
    }
    static constexpr StreamingEngine kEngine = {sizeof(Context), Init, Update, Final, PortablePath};
};

#endif
