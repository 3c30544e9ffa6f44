// Known answers: published (or independently computed) values of each report line over
// given messages, unkeyed or keyed, for --self-test and the tests.
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

// The known answers of each report line, named after it.
extern const KnownAnswerList kAdler32Answers, kCrc16Answers, kCrc16CcittAnswers, kCrc32Answers,
    kCrc32bAnswers;
extern const KnownAnswerList kGostAnswers;
extern const KnownAnswerList kHaval128_3Answers, kHaval128_4Answers, kHaval128_5Answers,
    kHaval160_3Answers, kHaval160_4Answers, kHaval160_5Answers, kHaval192_3Answers,
    kHaval192_4Answers, kHaval192_5Answers, kHaval224_3Answers, kHaval224_4Answers,
    kHaval224_5Answers, kHaval256_3Answers, kHaval256_4Answers, kHaval256_5Answers;
extern const KnownAnswerList kMd2Answers, kMd4Answers, kMd5Answers;
extern const KnownAnswerList kPanamaAnswers;
extern const KnownAnswerList kRipemd128Answers, kRipemd160Answers, kRipemd256Answers,
    kRipemd320Answers;
extern const KnownAnswerList kSha0Answers, kSha1Answers, kSha256Answers, kSha384Answers,
    kSha512Answers;
extern const KnownAnswerList kSnefru128_4Answers, kSnefru128_8Answers, kSnefru256_4Answers,
    kSnefru256_8Answers;
extern const KnownAnswerList kTigerAnswers;
extern const KnownAnswerList kWhirlpoolAnswers;

#endif
