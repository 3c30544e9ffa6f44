// The reasons of failed system calls, as the command line words them.
#ifndef KORVADEX_CLI_COMMON_ERROR_TEXT_H
#define KORVADEX_CLI_COMMON_ERROR_TEXT_H

#include <string>

// The reason a file could not be opened or read, as the command line words it: "no such
// file", "permission denied", "is a directory", else the system's text in lower case.
std::string ErrnoText(int err);

#endif
