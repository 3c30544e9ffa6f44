// Runs the built korvadex as a user would, and captures what it says.
#ifndef KORVADEX_TESTS_CLI_PROGRAM_RUNNER_H
#define KORVADEX_TESTS_CLI_PROGRAM_RUNNER_H

#include <cstdint>
#include <string>
#include <vector>

struct RunResult {
    std::string out;
    std::string err;
    int status = -1;  // the exit status, or -1 when a signal ended the program
    int signal = 0;   // the signal that ended it, or 0
};

struct RunOptions {
    std::string input;          // written to standard input through a pipe
    std::string inputFile;      // when set, standard input is this file instead
    bool closedInput = false;   // standard input is /dev/null
    int inputDelayMs = 0;       // how long to wait before writing input
    std::string outputFile;     // when set, standard output goes to this file
    uint64_t addressSpace = 0;  // when not 0, the program's address-space limit in bytes
    unsigned user = 0;          // when not 0, the program runs as this user and group id,
                                // without supplementary groups (needs root); if the
                                // switch fails, status is kCannotSwitchUser
    std::vector<std::string> environment;  // "NAME=value" entries set for the program
    std::string directory;                 // when set, the program runs in this folder
};

constexpr int kCannotSwitchUser = 125;

// Runs korvadex with args and waits for it.
RunResult RunKorvadex(const std::vector<std::string>& args, const RunOptions& options = {});

// The path of the built program: $KORVADEX_TEST_PROGRAM when set (the Windows build), else
// the native one.
const char* KorvadexPath();

// The program that runs it, $KORVADEX_TEST_LAUNCHER (Wine), or "" when it runs itself.
const char* KorvadexLauncher();

// The command that runs korvadex, quoted for a shell: its launcher, if any, and its path.
std::string KorvadexCommand();

// Whether the program under test is the Windows build run by Wine.  Cases that need what
// only a POSIX system has (FIFOs, signals, terminals, file modes) skip themselves there.
bool UnderWine();

#endif
