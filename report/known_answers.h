// A known answer: a published (or independently computed) value of one report line over a
// given message, unkeyed or keyed, for --self-test and the tests.
#ifndef KORVADEX_REPORT_KNOWN_ANSWERS_H
#define KORVADEX_REPORT_KNOWN_ANSWERS_H

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
    const char* name;  // what the case is, e.g. "\"abc\"" or "RFC 2202 case 3"
    VectorBytes key;   // NoBytes() for an unkeyed value
    VectorBytes message;
    const char* hex;  // the expected value, upper-case hex
};

// The known answers of one line.
struct KnownAnswerList {
    const KnownAnswer* answers;
    size_t count;
    const char* source;  // where the values come from
};

#endif
