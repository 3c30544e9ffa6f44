// The command line of korvadex: its options, their checks and the help text.
#ifndef KORVADEX_CLI_OPTIONS_H
#define KORVADEX_CLI_OPTIONS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "batch/path_filter.h"
#include "lists/checksum_lines.h"
#include "system/directory_walk.h"
#include "system/file_input.h"

enum class Command {
    kReport,
    kCheck,
    kMatch,
    kList,
    kSelfTest,
    kHelp,
    kVersion,
    kTree,
    kKnown,
    kUpdate,
    kAudit,
    kCheckEmbedded,
    kEmbedCrc,
    kVerifyCache,
    kMakeBag,
    kMerge,
};

enum class HexCase { kDefault, kLower, kUpper };

struct Options {
    Command command = Command::kReport;
    std::vector<std::string> arguments;  // the command line after the program's name
    // The arguments of the same run on one machine: without --shard, -o, --output, --resume
    // and --run-id.
    std::vector<std::string> jobArguments;
    std::vector<std::string> files;       // operands: inputs, or with --check the lists ("-":
                                          // standard input)
    std::vector<std::string> strings;     // --string: texts hashed as inputs
    HexCase hexCase = HexCase::kDefault;  // --lower, --upper: the last one given
    std::vector<size_t> only;  // -a/--algorithm/--only, as indexes in kReportLines in report
                               // order; empty: every line
    OutputFormat format = OutputFormat::kReport;  // --format, --tag
    bool zero = false;                            // -z: lines end in NUL, names unescaped
    bool binary = false;                          // -b: '*' before the name in gnu lines
    bool recursive = false;                       // -r
    bool follow = false;                          // --follow: walk into symbolic links
    PathFilter filter;                            // --exclude, --include
    long maxDepth = -1;                           // --max-depth, -1: no limit
    bool oneFileSystem = false;                   // -x
    std::string filesFrom;                        // --files-from: a file of input names
    bool null = false;                            // -0: those names end in NUL
    bool keyed = false;                           // --key or --key-file was given
    std::string keyText;                          // --key
    std::string keyFile;                          // --key-file
    std::string savePath;                         // --save
    std::string checkInput;      // --input: the file a saved report is checked against
    bool quiet = false;          // --quiet: no OK lines
    bool status = false;         // --status: nothing on standard output
    bool strict = false;         // --strict: malformed list lines fail the check
    bool warn = false;           // -w: a message for each malformed list line
    bool ignoreMissing = false;  // --ignore-missing
    std::string matchHex;        // --match, upper-case digits without separators
    unsigned jobs = 0;           // --jobs: threads for the lines, 0: one per core
    bool jobsGiven = false;      // --jobs was given
    bool noOperands = false;     // no FILE and no --string: standard input is read
    bool paths = false;          // --paths: --list shows the way each line computes here
    std::string knownList;       // --known or --unknown: the list of known digests
    bool knownWanted = true;     // --known: print the inputs in it; --unknown: those not
    std::string expectHex;       // --expect, upper-case digits without separators

    // --update and --audit
    std::string keptList;                    // the list kept or audited
    bool rehash = false;                     // --rehash: --update hashes every file again
    bool prune = false;                      // --prune: --update drops the entries of files gone
    bool algorithmsGiven = false;            // -a was given (only may also be set by the format)
    ReadOrder readOrder = ReadOrder::kAuto;  // --read-order
    bool readOrderGiven = false;             // --read-order was given
    bool cache = false;                      // --cache: digests kept in extended attributes
    bool fast = false;                       // --fast: -c of a bag checks its Payload-Oxum only

    // Runs split over machines, and runs that resume
    uint64_t shardK = 1, shardN = 0;  // --shard K/N; shardN 0: no --shard
    std::string runId;                // --run-id
    std::string outputPath;           // -o, --output
    bool resume = false;              // --resume
};

enum class Repeat {
    kAllowed,  // flags, and values of which the last wins or which add up
    kOnce,     // a second one is an error
};

// An option of the command line.
struct OptionSpec {
    const char* name;  // "--algorithm"
    char shortName;    // 'a', or 0 for none
    bool takesValue;
    Repeat repeat;
};

// Every option, which the help text, the manual page and the bash completion each name.
extern const OptionSpec kOptionSpecs[];
extern const size_t kOptionSpecCount;

// Parses the arguments after the program name.  Returns false with error set to the reason
// of a usage error.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// How -r walks, as the options say: --follow, -x, --max-depth, --exclude and --include.
WalkOptions WalkOf(const Options& options);

// Appends the files given to files: the FILE operands (and those of --files-from), each
// walked as -r walks it when -r is given; operands, when given beside files of the same
// length, gets the place among the operands that each file came from.  False, after a
// message, when a walk met a fault.
bool GivenFiles(const Options& options, std::vector<std::string>& files,
                std::vector<uint64_t>* operands = nullptr);

// The case the values are written in: --lower or --upper, else the format's own (upper for
// the report and SFV, lower for the checksum lists, as the tools that write them do).
bool LowerHex(const Options& options);

extern const char kVersion[];
extern const char kUsageText[];
extern const char kHelpText[];

#endif
