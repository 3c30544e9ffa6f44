// Published known-answer values of the report lines, keyed by label: the empty message and
// "abc" for every line (and the catalogue check value of each checksum), and the keyed
// test cases of RFC 2202 (HMAC-MD5, HMAC-SHA-1), RFC 2286 (HMAC-RIPEMD-128, HMAC-RIPEMD-160)
// and RFC 4231 (HMAC-SHA-256/384/512, the untruncated cases).  No published keyed values
// exist for the other lines.
#ifndef KORVADEX_CLI_SELF_TEST_VECTORS_H
#define KORVADEX_CLI_SELF_TEST_VECTORS_H

#include <cstddef>
#include <cstdint>
#include <vector>

// A message or key: a text, a run of one repeated byte, or hex digits.
struct VectorBytes {
    enum Kind { kNone, kText, kRun, kHex };
    Kind kind;
    const char* text;  // kText and kHex
    uint8_t byte;      // kRun
    uint32_t count;    // kRun
};

constexpr VectorBytes NoBytes() {
    return {VectorBytes::kNone, nullptr, 0, 0};
}
constexpr VectorBytes Text(const char* text) {
    return {VectorBytes::kText, text, 0, 0};
}
constexpr VectorBytes Run(uint8_t byte, uint32_t count) {
    return {VectorBytes::kRun, nullptr, byte, count};
}
constexpr VectorBytes HexBytes(const char* hex) {
    return {VectorBytes::kHex, hex, 0, 0};
}

std::vector<uint8_t> ExpandBytes(const VectorBytes& bytes);

struct KnownAnswer {
    const char* label;  // the report label, with its ": "
    const char* name;   // what the case is, e.g. "\"abc\"" or "RFC 2202 case 3"
    VectorBytes key;    // NoBytes() for an unkeyed value
    VectorBytes message;
    const char* hex;  // the expected value, upper-case hex
};

extern const KnownAnswer kKnownAnswers[];
extern const size_t kKnownAnswerCount;

#endif
