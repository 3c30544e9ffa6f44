#include "streaming_engines.h"

#include <cstring>

#include "checksums.h"
#include "gost.h"
#include "haval.h"
#include "md2.h"
#include "md4_md5.h"
#include "panama.h"
#include "ripemd.h"
#include "sha0_sha1.h"
#include "sha256.h"
#include "sha384_sha512.h"
#include "snefru.h"
#include "tiger.h"
#include "whirlpool.h"

namespace {

// A checksum's context is its running value.  The running-value routines take 32-bit
// lengths, so longer pieces go to them in parts.
using ChecksumUpdateFn = uint32_t (*)(const uint8_t*, uint32_t, uint32_t);

struct ChecksumContext {
    uint32_t value;
};

template <ChecksumUpdateFn UpdateFn, uint32_t kStart, SizeWord kSize>
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
    static constexpr StreamingEngine kEngine = {sizeof(ChecksumContext), Init, Update, Final};
};

// An engine with a context-taking Init (the published initial value), Update and Final, whose
// Final returns the digest's address in print order.
template <typename Context, void (*InitFn)(Context&),
          void (*UpdateFn)(Context&, const uint8_t*, size_t), const uint8_t* (*FinalFn)(Context&),
          SizeWord kSize>
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
    static constexpr StreamingEngine kEngine = {sizeof(Context), Init, Update, Final};
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
    static constexpr StreamingEngine kEngine = {sizeof(Context), Init, Update, Final};
};

size_t HavalDigestBytes(const HavalContextType& ctx) {
    return ctx.outputBits / 8;
}
size_t SnefruDigestBytes(const SnefruContextType& ctx) {
    return 4 * ctx.digestWords;
}

}  // namespace

const StreamingEngine kAdler32Stream = ChecksumAdapter<Adler32Update, 1, kAdler32Size>::kEngine;
const StreamingEngine kCrc16Stream = ChecksumAdapter<Crc16Update, 0, kCrc16Size>::kEngine;
const StreamingEngine kCrc16CcittStream =
    ChecksumAdapter<Crc16CcittUpdate, 0xFFFFFFFF, kCrc16CcittSize>::kEngine;
const StreamingEngine kCrc32Stream = ChecksumAdapter<Crc32Update, 0, kCrc32Size>::kEngine;
const StreamingEngine kCrc32bStream = ChecksumAdapter<Crc32bUpdate, 0, kCrc32bSize>::kEngine;

const StreamingEngine kMd4Stream =
    ContextAdapter<Md4ContextType, Md4Init, Md4Update, Md4Final, kMd4Size>::kEngine;
const StreamingEngine kMd5Stream =
    ContextAdapter<Md5ContextType, Md5Init, Md5Update, Md5Final, kMd5Size>::kEngine;
const StreamingEngine kSha0Stream =
    ContextAdapter<Sha0StreamContextType, Sha0Init, Sha0Update, Sha0Final, kSha0Size>::kEngine;
const StreamingEngine kSha1Stream =
    ContextAdapter<Sha1ContextType, Sha1Init, Sha1Update, Sha1Final, kSha1Size>::kEngine;
const StreamingEngine kSha256Stream =
    ContextAdapter<Sha256StreamContextType, Sha256Init, Sha256Update, Sha256Final,
                   kSha256Size>::kEngine;
const StreamingEngine kSha384Stream =
    ContextAdapter<Sha512ContextData, Sha384Init, Sha384Update, Sha384Final, kSha384Size>::kEngine;
const StreamingEngine kSha512Stream =
    ContextAdapter<Sha512ContextData, Sha512Init, Sha512Update, Sha512Final, kSha512Size>::kEngine;
const StreamingEngine kRipemd128Stream =
    ContextAdapter<Ripemd128ContextType, Ripemd128Init, Ripemd128Update, Ripemd128Final,
                   kRipemd128Size>::kEngine;
const StreamingEngine kRipemd160Stream =
    ContextAdapter<Ripemd160ContextType, Ripemd160Init, Ripemd160Update, Ripemd160Final,
                   kRipemd160Size>::kEngine;
const StreamingEngine kRipemd256Stream =
    ContextAdapter<Ripemd256ContextType, Ripemd256Init, Ripemd256Update, Ripemd256Final,
                   kRipemd256Size>::kEngine;
const StreamingEngine kRipemd320Stream =
    ContextAdapter<Ripemd320ContextType, Ripemd320Init, Ripemd320Update, Ripemd320Final,
                   kRipemd320Size>::kEngine;
const StreamingEngine kTigerStream =
    ContextAdapter<TigerContextData, TigerInit, TigerUpdate, TigerFinal, kTigerSize>::kEngine;
const StreamingEngine kWhirlpoolStream =
    ContextAdapter<WhirlpoolContextData, WhirlpoolInit, WhirlpoolUpdate, WhirlpoolFinal,
                   kWhirlpoolSize>::kEngine;
const StreamingEngine kHavalStream = ParameterAdapter<HavalContextType, HavalInit, HavalUpdate,
                                                      HavalFinal, HavalDigestBytes>::kEngine;
const StreamingEngine kSnefruStream = ParameterAdapter<SnefruContextType, SnefruInit, SnefruUpdate,
                                                       SnefruFinish, SnefruDigestBytes>::kEngine;
const StreamingEngine kGostStream =
    ContextAdapter<GostContextType, GostInit, GostUpdate, GostFinal, kGostSize>::kEngine;
const StreamingEngine kMd2Stream =
    ContextAdapter<Md2ContextType, Md2Init, Md2Update, Md2Final, kMd2Size>::kEngine;
const StreamingEngine kPanamaStream =
    ContextAdapter<PanamaContextType, PanamaInit, PanamaUpdate, PanamaFinal, kPanamaSize>::kEngine;
