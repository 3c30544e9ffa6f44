// korvadex: prints the digest report of files, and checks and searches reports.
#include <cstdio>
#include <string>
#include <vector>

#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "options.h"
#include "system/file_input.h"
#include "system/name_list.h"
#include "system/system.h"

namespace {

// A key file holds any bytes; anything longer than this is surely the wrong file.
constexpr uint64_t kMaxKeyBytes = 1 << 20;

int UsageError(const std::string& error) {
    PrintErrorText("korvadex: " + error + "\nTry 'korvadex --help' for more information.\n");
    return kExitUsage;
}

bool LoadKey(const Options& options, std::vector<uint8_t>& key) {
    if (!options.keyed) return true;
    if (options.keyFile.empty()) {
        key.assign(options.keyText.begin(), options.keyText.end());
        return true;
    }
    InputBytes bytes;
    std::string reason;
    const InputLimit limit{kMaxKeyBytes, "too large for a key (more than 1 MiB)"};
    if (!ReadInput(options.keyFile, limit, bytes, reason)) {
        PrintError("key file " + InputName(options.keyFile), reason);
        return false;
    }
    if (bytes.size() == 0) {
        PrintError("key file " + InputName(options.keyFile),
                   "empty; a key needs at least one byte");
        return false;
    }
    key.assign(bytes.data(), bytes.data() + bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(ProgramArguments(argc, argv), options, error)) {
        return UsageError(error);
    }
    // Nothing to read but a terminal: the user wants to know how to start.
    if (options.noOperands && IsTerminal(StandardStream::kInput)) {
        std::fputs(kUsageText, stderr);
        std::fputs("Try 'korvadex --help' for more information.\n", stderr);
        return kExitUsage;
    }
    switch (options.command) {
        case Command::kHelp:
            PrintOut(std::string(kUsageText) + "\n" + kHelpText);
            return FlushOut() ? kExitOk : kExitFailed;
        case Command::kVersion:
            PrintOut(std::string("korvadex ") + kVersion + "\n");
            return FlushOut() ? kExitOk : kExitFailed;
        case Command::kList:
            return RunList(options.paths);
        case Command::kSelfTest:
            return RunSelfTest(kReportLines, kReportLineCount, stdout, stderr);
        case Command::kMerge:
            return RunMerge(options);
        case Command::kReport:
        case Command::kCheck:
        case Command::kMatch:
        case Command::kUpdate:
        case Command::kAudit:
        case Command::kKnown:
        case Command::kTree:
        case Command::kCheckEmbedded:
        case Command::kEmbedCrc:
        case Command::kVerifyCache:
        case Command::kMakeBag:
            break;
    }
    std::string reason;
    if (!options.filesFrom.empty() &&
        !ReadNameList(options.filesFrom, options.null, options.files, reason)) {
        PrintError("--files-from " + InputName(options.filesFrom), reason);
        return kExitFailed;
    }
    std::vector<uint8_t> key;
    if (!LoadKey(options, key)) return kExitFailed;
    if (options.command == Command::kCheck) return RunCheck(options, key);
    if (options.command == Command::kMatch) return RunMatch(options, key);
    if (options.command == Command::kUpdate) return RunUpdate(options, key);
    if (options.command == Command::kAudit) return RunAudit(options, key);
    if (options.command == Command::kKnown) return RunKnown(options, key);
    if (options.command == Command::kTree) return RunTree(options, key);
    if (options.command == Command::kCheckEmbedded) return RunCheckEmbedded(options);
    if (options.command == Command::kEmbedCrc) return RunEmbedCrc(options);
    if (options.command == Command::kVerifyCache) return RunVerifyCache(options);
    if (options.command == Command::kMakeBag) return RunMakeBag(options);
    return RunReport(options, key);
}
