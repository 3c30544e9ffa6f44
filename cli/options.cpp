#include "options.h"

#include <algorithm>

#include "line_names.h"

const char kVersion[] = KORVADEX_VERSION;

const char kUsageText[] =
    "usage: korvadex [--lower] [--only LIST] [--key TEXT | --key-file PATH]\n"
    "                [--jobs N] FILE...\n"
    "       korvadex [--key TEXT | --key-file PATH] --save SAVED FILE\n"
    "       korvadex --check SAVED [FILE]\n"
    "       korvadex --match HEX FILE\n"
    "       korvadex --list | --self-test | --help | --version\n";

const char kHelpText[] =
    "Prints the forty digests and checksums of each FILE, one per line: the line's\n"
    "label, then its value in upper-case hex.  With several files, each report\n"
    "starts with an \"Input: FILE\" line and a blank line separates the reports.\n"
    "FILE - reads standard input (write ./- for a file named -).  Inputs must be\n"
    "smaller than 4 GiB.\n"
    "\n"
    "Options:\n"
    "  --lower            print the values in lower-case hex\n"
    "                       korvadex --lower photo.jpg\n"
    "  --only LIST        print only the lines named in LIST: report labels without\n"
    "                     the ': ', separated by commas, in any case; the lines keep\n"
    "                     their report order (--list shows every label)\n"
    "                       korvadex --only \"MD5,HAVAL 256 (5 Rounds)\" photo.jpg\n"
    "  --key TEXT         keyed report: every line as HMAC (RFC 2104) of its\n"
    "                     algorithm with the key TEXT; the labels stay the same, and\n"
    "                     a checksum line gives the HMAC over its checksum\n"
    "                       korvadex --key \"our shared secret\" invoice.pdf\n"
    "  --key-file PATH    keyed report with the bytes of PATH as the key (any bytes,\n"
    "                     up to 1 MiB); unlike --key, it keeps the key out of the\n"
    "                     process list and the shell history\n"
    "                       korvadex --key-file secret.key invoice.pdf\n"
    "  --jobs N           compute the lines on N threads at most, one engine per\n"
    "                     thread at a time; 0, the default, takes one thread per\n"
    "                     core, and 1 computes the lines one after the other.  The\n"
    "                     output is the same for every N\n"
    "                       korvadex --jobs 1 photo.jpg\n"
    "  --save SAVED       also write the report of the one FILE to SAVED in the\n"
    "                     saved-report format of the Windows program (CR LF line\n"
    "                     ends); SAVED is replaced only once it is complete\n"
    "                       korvadex --save photo-report.txt photo.jpg\n"
    "  --check SAVED [FILE]\n"
    "                     hash the file named on the \"Input: \" line of the saved\n"
    "                     report SAVED, or FILE when given, and print OK or FAILED\n"
    "                     for each line of SAVED.  Give FILE when SAVED names a\n"
    "                     Windows path; a relative path is taken from the current\n"
    "                     folder\n"
    "                       korvadex --check photo-report.txt\n"
    "                       korvadex --check report-from-windows.txt photo.jpg\n"
    "  --match HEX FILE   print the lines of FILE's report whose value is HEX, such\n"
    "                     as a digest copied from a web page: either case, spaces\n"
    "                     and colons allowed; several lines of one width can match\n"
    "                       korvadex --match \"35 24 41 c2\" abc.txt\n"
    "  --list             show the exact algorithm variant behind each line (the\n"
    "                     same names stand for other variants in other tools)\n"
    "                       korvadex --list\n"
    "  --self-test        check every line against published known-answer values\n"
    "                     and print one verdict per engine: the empty message and\n"
    "                     \"abc\" for every line; keyed, the test cases of RFC 2202\n"
    "                     (HMAC-MD5, HMAC-SHA-1), RFC 2286 (HMAC-RIPEMD-128 and\n"
    "                     -160) and RFC 4231 (HMAC-SHA-256, -384 and -512), the\n"
    "                     only lines for which keyed values are published\n"
    "                       korvadex --self-test\n"
    "  -h, --help         show this help\n"
    "  --version          show the version\n"
    "\n"
    "--lower, --only, --key or --key-file, and --jobs also apply to --check and\n"
    "--match.\n"
    "\n"
    "Exit status: 0 when every file was reported (with --check, when every line is\n"
    "OK; with --match, when a line matched); 1 when a file could not be reported, a\n"
    "check failed or nothing matched; 2 for a usage error.\n";

namespace {

struct OptionSpec {
    const char* name;
    bool takesValue;
};

const OptionSpec kOptionSpecs[] = {
    {"--lower", false},     {"--only", true},     {"--key", true},   {"--key-file", true},
    {"--save", true},       {"--check", true},    {"--match", true}, {"--list", false},
    {"--self-test", false}, {"--version", false}, {"--help", false}, {"--jobs", true},
};

// More threads than engines would have nothing to do; the bound only catches typing slips.
constexpr unsigned long kMaxJobs = 1024;

bool ParseJobs(const std::string& text, unsigned& jobs, std::string& error) {
    const bool digits = !text.empty() && text.size() <= 4 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const unsigned long value = digits ? std::stoul(text) : 0;
    if (!digits || value > kMaxJobs) {
        error = "--jobs: '" + text + "' is not a number of threads from 0 (one per core) to " +
                std::to_string(kMaxJobs);
        return false;
    }
    jobs = unsigned(value);
    return true;
}

std::string Trim(const std::string& text) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t");
    return text.substr(start, end - start + 1);
}

bool ParseOnly(const std::string& list, std::vector<size_t>& only, std::string& error) {
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        std::string name = Trim(
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (name.empty()) {
            error = "--only: an empty name in '" + list + "'";
            return false;
        }
        long line = FindLineByName(name);
        if (line < 0) {
            error =
                "--only: no report line is named '" + name + "'; the lines are: " + LineNameList();
            return false;
        }
        only.push_back(size_t(line));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    std::sort(only.begin(), only.end());
    only.erase(std::unique(only.begin(), only.end()), only.end());
    return true;
}

bool ParseHex(const std::string& text, std::string& hex, std::string& error) {
    hex.clear();
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == ':') continue;
        if (c >= 'a' && c <= 'f') c = char(c - 'a' + 'A');
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            error = "--match: '" + text + "' is not a hex value (digits 0-9 and A-F)";
            return false;
        }
        hex += c;
    }
    if (hex.empty()) {
        error = "--match: the value is empty";
        return false;
    }
    if (hex.size() % 2 != 0) {
        error = "--match: '" + text + "' has an odd number of hex digits";
        return false;
    }
    return true;
}

const char* CommandOption(Command command) {
    switch (command) {
        case Command::kCheck:
            return "--check";
        case Command::kMatch:
            return "--match";
        case Command::kList:
            return "--list";
        case Command::kSelfTest:
            return "--self-test";
        case Command::kVersion:
            return "--version";
        case Command::kReport:
        case Command::kHelp:
            break;
    }
    return "";
}

bool SetCommand(Options& options, Command command, std::string& error) {
    if (options.command != Command::kReport) {
        error = std::string(CommandOption(options.command)) + " and " + CommandOption(command) +
                " cannot be used together";
        return false;
    }
    options.command = command;
    return true;
}

// Checks that the options given fit the command.
bool CheckCombination(const Options& options, std::string& error) {
    const Command command = options.command;
    const char* name = CommandOption(command);
    const bool modifiers =
        options.lower || !options.only.empty() || options.keyed || options.jobsGiven;
    if (command == Command::kList || command == Command::kSelfTest ||
        command == Command::kVersion) {
        if (modifiers || !options.savePath.empty()) {
            error = std::string(name) + " takes no other options";
            return false;
        }
        if (!options.files.empty()) {
            error = std::string(name) + " takes no FILE";
            return false;
        }
        return true;
    }
    if (command != Command::kReport && !options.savePath.empty()) {
        error = std::string("--save cannot be used with ") + name;
        return false;
    }
    if (command == Command::kCheck && options.files.size() > 1) {
        error = "--check takes one saved report and at most one FILE";
        return false;
    }
    if (command == Command::kMatch && options.files.size() != 1) {
        error = "--match takes a value and exactly one FILE";
        return false;
    }
    if (command == Command::kReport && options.files.empty()) {
        error = "no FILE given";
        return false;
    }
    if (!options.savePath.empty() && options.files.size() != 1) {
        error = "--save takes exactly one FILE";
        return false;
    }
    if (std::count(options.files.begin(), options.files.end(), "-") +
            (options.keyFile == "-" ? 1 : 0) + (options.savedReport == "-" ? 1 : 0) >
        1) {
        error = "standard input (-) can be read only once";
        return false;
    }
    return true;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
    options = Options();
    std::vector<std::string> seen;
    bool operandsOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (operandsOnly || arg == "-" || arg.empty() || arg[0] != '-') {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            operandsOnly = true;
            continue;
        }
        if (arg == "-h") {
            options.command = Command::kHelp;
            return true;
        }
        size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& s : kOptionSpecs) {
            if (name == s.name) spec = &s;
        }
        if (spec == nullptr) {
            error = "unknown option '" + name + "'";
            return false;
        }
        if (name == "--help") {
            options.command = Command::kHelp;
            return true;
        }
        std::string value;
        if (spec->takesValue) {
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = name + " needs a value";
                return false;
            }
        } else if (equals != std::string::npos) {
            error = name + " takes no value";
            return false;
        }
        if (value.empty() && (name == "--key-file" || name == "--save" || name == "--check")) {
            error = name + ": no file named";
            return false;
        }
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) {
            error = name + " is given twice";
            return false;
        }
        seen.push_back(name);

        bool ok = true;
        if (name == "--lower") {
            options.lower = true;
        } else if (name == "--only") {
            ok = ParseOnly(value, options.only, error);
        } else if (name == "--key" || name == "--key-file") {
            if (options.keyed) {
                error = "--key and --key-file cannot be used together";
                return false;
            }
            options.keyed = true;
            if (name == "--key") {
                options.keyText = value;
                if (value.empty()) {
                    error = "--key: the key is empty (leave --key out for the unkeyed report)";
                    return false;
                }
            } else {
                options.keyFile = value;
            }
        } else if (name == "--jobs") {
            options.jobsGiven = true;
            ok = ParseJobs(value, options.jobs, error);
        } else if (name == "--save") {
            options.savePath = value;
        } else if (name == "--check") {
            options.savedReport = value;
            ok = SetCommand(options, Command::kCheck, error);
        } else if (name == "--match") {
            ok = ParseHex(value, options.matchHex, error) &&
                 SetCommand(options, Command::kMatch, error);
        } else if (name == "--list") {
            ok = SetCommand(options, Command::kList, error);
        } else if (name == "--self-test") {
            ok = SetCommand(options, Command::kSelfTest, error);
        } else if (name == "--version") {
            ok = SetCommand(options, Command::kVersion, error);
        }
        if (!ok) return false;
    }
    return CheckCombination(options, error);
}
