#include "digest_types.h"

#include <cstring>

// No engine has a digest longer than kMaxDigestLength, and callers hold the bytes in arrays
// of that size: a longer length is refused, and nothing is written.
void ResultBytes(DigestResult result, SizeWord size, uint8_t* out) {
    uint32_t n = DigestLength(size);
    if (n > kMaxDigestLength) return;
    if (n <= 4) {
        for (uint32_t i = 0; i < n; ++i) out[i] = uint8_t(result >> (8 * (n - 1 - i)));
    } else {
        std::memcpy(out, reinterpret_cast<const uint8_t*>(result), n);
    }
}
