// Independent implementations of the report lines: the general hash libraries found at
// build time (OpenSSL, Crypto++, rhash, mhash, zlib; in the benchmark also Boost.CRC and
// ISA-L), the CRCs bit by bit from their catalogue parameters, and PHP's hash extension.
// One table serves the differential tests, the HMAC test and the benchmark's peers.
#ifndef KORVADEX_TESTS_ORACLE_DIGESTS_H
#define KORVADEX_TESTS_ORACLE_DIGESTS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct OracleDigest {
    std::string library;
    std::string label;  // the report label without ": "
    // Digest of n bytes into out (at most 64 bytes, checksums most significant byte first);
    // false when the library cannot compute it on this machine.
    bool (*digest)(const uint8_t* data, size_t n, uint8_t* out);
    // True when the implementation uses a path plain scalar code cannot (SHA extensions,
    // AVX2, carry-less multiplication, or a CRC that takes several bytes per table step).
    bool accelerated;
    // True for a transcription of the definition that runs bit by bit: an oracle for the
    // tests, too slow to stand as a peer in the benchmark.
    bool reference;
};

// Every independent implementation compiled into this program.
std::vector<OracleDigest> OracleDigests();

// The name of the line's algorithm in PHP's hash extension (for example "haval256,5"), or
// nullptr when PHP has none.
const char* PhpAlgorithm(const std::string& label);

// The libraries a differential test needs, missing from this build (empty when all are in).
std::string MissingOracleLibraries();

// A CRC computed bit by bit from its catalogue parameters (width, polynomial, reflection,
// initial register, final XOR), as a check on the table-driven routines.
uint32_t BitwiseCrc(const std::vector<uint8_t>& data, int width, uint32_t poly, bool reflected,
                    uint32_t init, uint32_t xorOut);

#endif
