// Reading a whole input file for the command line.
#ifndef KORVADEX_CLI_FILE_INPUT_H
#define KORVADEX_CLI_FILE_INPUT_H

#include <cstdint>
#include <string>
#include <vector>

// The engines take 32-bit lengths: an input must be at most this many bytes.
constexpr uint64_t kMaxInputBytes = 0xFFFFFFFFull;

// Reads the file at path into bytes.  On failure returns false and sets reason to a short
// text such as "no such file", "is a directory", "permission denied" or "too large (4 GiB
// or more)".
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason);

#endif
