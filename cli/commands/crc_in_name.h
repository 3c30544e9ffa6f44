// The CRC-32 that a file's name carries, as release groups write it: "Show - 01 [A1B2C3D4].mkv".
#ifndef KORVADEX_CLI_COMMANDS_CRC_IN_NAME_H
#define KORVADEX_CLI_COMMANDS_CRC_IN_NAME_H

#include <string>

// The base name of path: what follows its last '/' (and, where it separates folders, '\\').
std::string BaseName(const std::string& path);

// Finds the CRC in the base name of path: the last group of exactly eight hex digits, in any
// case, between '[' and ']' or '(' and ')'.  A folder's name is never looked at, nor digits
// outside brackets (a date such as _20220806_).  Sets hex to its digits in upper case.
bool CrcInName(const std::string& path, std::string& hex);

// base with hex in it as " [hex]" before its last extension, or at its end when it has none
// or is a dotfile (".profile").
std::string NameWithCrc(const std::string& base, const std::string& hex);

#endif
