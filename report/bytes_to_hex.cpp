#include "bytes_to_hex.h"

void BytesToHex(DigestResult data, SizeWord size, char* out, int upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    const uint32_t n = DigestLength(size);
    // The bytes pass through an array of the longest digest; no engine has a longer one.
    uint8_t bytes[kMaxDigestLength];
    if (n > kMaxDigestLength) {
        *out = '\0';
        return;
    }
    ResultBytes(data, size, bytes);
    for (uint32_t i = 0; i < n; ++i) {
        *out++ = digits[bytes[i] >> 4];
        *out++ = digits[bytes[i] & 15];
    }
    *out = '\0';
}
