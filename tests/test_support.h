// Helpers shared by the tests: hex text of results, reproducible random data, and a
// call of PHP's hash extension as an oracle.
#ifndef KORVADEX_TESTS_TEST_SUPPORT_H
#define KORVADEX_TESTS_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "digest_types.h"

// Upper-case hex of n bytes.
std::string Hex(const uint8_t* bytes, size_t n);
std::string Hex(const std::vector<uint8_t>& bytes);

// Upper-case hex of a DigestFn result, as the report prints it.
std::string ResultHex(DigestResult result, SizeWord size);

// Calls engine over the bytes of text (the result is upper-case hex).
std::string DigestHex(DigestFn engine, SizeWord size, const std::string& text, uint32_t bits = 0,
                      uint32_t passes = 0);
std::string DigestHex(DigestFn engine, SizeWord size, const std::vector<uint8_t>& data,
                      uint32_t bits = 0, uint32_t passes = 0);

// n pseudo-random bytes, the same for the same seed on every run and host.
std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed);

// The bytes of a string.
std::vector<uint8_t> Bytes(const std::string& text);

// The message lengths the differential tests cover: 0 to 300, then 1000, 4097, 5000 and
// a few longer ones up to 1 MiB.
std::vector<size_t> DifferentialLengths();

// Upper-case hex digests of PHP's hash extension, algorithm algo (for example
// "haval256,5"), for each message; empty when PHP is not available.  One PHP process
// serves all messages.
std::vector<std::string> PhpHashes(const std::string& algo,
                                   const std::vector<std::vector<uint8_t>>& messages);

// Upper-case hex of PHP's hash_hmac(algo, message, key) for each (key, message); empty
// when PHP is not available.
std::vector<std::string> PhpHmacs(
    const std::string& algo,
    const std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>>& keysAndMessages);

#endif
