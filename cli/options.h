// The command line of korvadex: its options, their checks and the help text.
#ifndef KORVADEX_CLI_OPTIONS_H
#define KORVADEX_CLI_OPTIONS_H

#include <cstddef>
#include <string>
#include <vector>

enum class Command { kReport, kCheck, kMatch, kList, kSelfTest, kHelp, kVersion };

struct Options {
    Command command = Command::kReport;
    std::vector<std::string> files;  // operands: the inputs ("-": standard input)
    bool lower = false;              // --lower
    std::vector<size_t> only;        // --only, as indexes in kReportLines in report order;
                                     // empty: every line
    bool keyed = false;              // --key or --key-file was given
    std::string keyText;             // --key
    std::string keyFile;             // --key-file
    std::string savePath;            // --save
    std::string savedReport;         // --check
    std::string matchHex;            // --match, upper-case digits without separators
    unsigned jobs = 0;               // --jobs: threads for the lines, 0: one per core
    bool jobsGiven = false;          // --jobs was given
};

// Parses the arguments after the program name.  Returns false with error set to the reason
// of a usage error.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

extern const char kVersion[];
extern const char kUsageText[];
extern const char kHelpText[];

#endif
