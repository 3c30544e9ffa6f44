#include "hmac.h"

#include <cstdlib>
#include <cstring>

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
