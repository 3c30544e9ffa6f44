#include "hmac.h"

#include <cstdlib>
#include <cstring>

#include "byte_order.h"

namespace {

void* ZeroedAlloc(size_t n) {
    return std::calloc(n == 0 ? 1 : n, 1);
}

// Frees the scratch blocks on every way out of HmacDigest.
struct ScratchBlocks {
    uint8_t* innerPad = nullptr;
    uint8_t* outer = nullptr;
    uint8_t* inner = nullptr;
    ~ScratchBlocks() {
        std::free(inner);
        std::free(outer);
        std::free(innerPad);
    }
};

}  // namespace

HmacAllocFn gHmacAlloc = ZeroedAlloc;

DigestResult HmacDigest(DigestFn engine, SizeWord size, const uint8_t* message,
                        uint32_t messageLength, const uint8_t* key, uint32_t keyLength,
                        uint32_t bits, uint32_t passes, HmacStatus* status) {
    const size_t b = BlockLength(size);
    const size_t d = DigestLength(size);
    *status = HmacStatus::kOk;
    // The digested key and the inner digest are held in kMaxDigestLength bytes.
    if (d > kMaxDigestLength) {
        *status = HmacStatus::kSizeOutOfRange;
        return 0;
    }
    if (size_t(messageLength) > size_t(UINT32_MAX) - b) {
        *status = HmacStatus::kMessageTooLong;
        return 0;
    }

    // A key longer than B is replaced by its digest; hold it in place of the key bytes.
    uint8_t digestedKey[kMaxDigestLength];
    if (keyLength > b) {
        DigestResult k = engine(key, keyLength, bits, passes);
        if (d > 4 && k == 0) {
            *status = HmacStatus::kEngineRefused;
            return 0;
        }
        ResultBytes(k, size, digestedKey);
        key = digestedKey;
        keyLength = uint32_t(d);
    }

    ScratchBlocks s;
    s.innerPad = static_cast<uint8_t*>(gHmacAlloc(b));
    s.outer = static_cast<uint8_t*>(gHmacAlloc(b + d));
    s.inner = static_cast<uint8_t*>(gHmacAlloc(b + messageLength));
    if (!s.innerPad || !s.outer || !s.inner) {
        *status = HmacStatus::kOutOfMemory;
        return 0;
    }
    if (keyLength != 0) {
        std::memcpy(s.innerPad, key, keyLength);
        std::memcpy(s.outer, key, keyLength);
    }
    for (size_t i = 0; i < b; ++i) {
        s.innerPad[i] ^= 0x36;
        s.outer[i] ^= 0x5C;
    }

    std::memcpy(s.inner, s.innerPad, b);
    if (messageLength != 0) std::memcpy(s.inner + b, message, messageLength);
    DigestResult innerResult = engine(s.inner, uint32_t(b + messageLength), bits, passes);
    if (d > 4 && innerResult == 0) {
        *status = HmacStatus::kEngineRefused;
        return 0;
    }
    ResultBytes(innerResult, size, s.outer + b);

    DigestResult result = engine(s.outer, uint32_t(b + d), bits, passes);
    if (d > 4 && result == 0) *status = HmacStatus::kEngineRefused;
    return result;
}

namespace {

// What a streaming HMAC keeps besides the engine's context, which follows it at the next
// multiple of kStreamContextAlign.
struct HmacStreamHeader {
    const StreamingEngine* engine;
    uint32_t blockLength;
    uint32_t digestLength;
    uint32_t bits;
    uint32_t passes;
    uint8_t outerPad[kMaxBlockLength];
};

constexpr size_t kHeaderSize = (sizeof(HmacStreamHeader) + kStreamContextAlign - 1) /
                               kStreamContextAlign * kStreamContextAlign;

HmacStreamHeader& Header(void* context) {
    return *static_cast<HmacStreamHeader*>(context);
}
void* EngineContext(void* context) {
    return static_cast<uint8_t*>(context) + kHeaderSize;
}

}  // namespace

size_t HmacStreamContextSize(const StreamingEngine& engine) {
    return kHeaderSize + engine.contextSize;
}

bool HmacStreamInit(void* context, const StreamingEngine& engine, SizeWord size, const uint8_t* key,
                    size_t keyLength, uint32_t bits, uint32_t passes) {
    HmacStreamHeader& h = Header(context);
    void* inner = EngineContext(context);
    h.engine = &engine;
    h.blockLength = BlockLength(size);
    h.digestLength = DigestLength(size);
    h.bits = bits;
    h.passes = passes;
    if (h.blockLength > kMaxBlockLength || h.digestLength > kMaxDigestLength) return false;
    if (!engine.init(inner, bits, passes)) return false;

    // A key longer than B is replaced by its digest.
    uint8_t digestedKey[kMaxDigestLength];
    if (keyLength > h.blockLength) {
        engine.update(inner, key, keyLength);
        engine.final(inner, digestedKey);
        key = digestedKey;
        keyLength = h.digestLength;
        engine.init(inner, bits, passes);
    }

    uint8_t innerPad[kMaxBlockLength] = {};
    std::memset(h.outerPad, 0, sizeof h.outerPad);
    if (keyLength != 0) {
        std::memcpy(innerPad, key, keyLength);
        std::memcpy(h.outerPad, key, keyLength);
    }
    for (size_t i = 0; i < h.blockLength; ++i) {
        innerPad[i] ^= 0x36;
        h.outerPad[i] ^= 0x5C;
    }
    engine.update(inner, innerPad, h.blockLength);
    Wipe(innerPad, sizeof innerPad);
    Wipe(digestedKey, sizeof digestedKey);
    return true;
}

void HmacStreamUpdate(void* context, const uint8_t* data, size_t length) {
    Header(context).engine->update(EngineContext(context), data, length);
}

void HmacStreamFinal(void* context, uint8_t* digest) {
    HmacStreamHeader& h = Header(context);
    void* engineContext = EngineContext(context);
    uint8_t innerDigest[kMaxDigestLength];
    h.engine->final(engineContext, innerDigest);
    h.engine->init(engineContext, h.bits, h.passes);
    h.engine->update(engineContext, h.outerPad, h.blockLength);
    h.engine->update(engineContext, innerDigest, h.digestLength);
    h.engine->final(engineContext, digest);
    Wipe(innerDigest, sizeof innerDigest);
    Wipe(h.outerPad, sizeof h.outerPad);
}
