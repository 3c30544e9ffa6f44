#include "commands/check_summary.h"

#include "batch/messages.h"
#include "commands/commands.h"

namespace {

std::string Plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void Warn(const std::string& text) {
    PrintErrorText("korvadex: WARNING: " + text + "\n");
}

}  // namespace

void CheckTally::Malformed(uint64_t number, const std::string& reason) {
    ++malformed;
    if (firstReason.empty()) firstReason = "line " + std::to_string(number) + ": " + reason;
}

void CheckTally::Take(const std::string& word, uint64_t number, const std::string& reason) {
    if (word == "malformed") return Malformed(number, reason);
    if (word == "filtered") {
        ++filteredOut;
        return;
    }
    ++wellFormed;
    if (word == "OK") ++verified;
    if (word == "FAILED") ++mismatched;
    if (word == "unreadable" || word == "missing") ++unreadable;
}

std::string MalformedLineText(const std::string& name, uint64_t number, const std::string& reason) {
    return "korvadex: " + name + ": " + std::to_string(number) +
           ": improperly formatted checksum line: " + reason + "\n";
}

int CheckListSummary(const std::string& name, const CheckTally& tally, const Options& options) {
    if (tally.wellFormed == 0 && tally.filteredOut != 0) {
        PrintError(name, "nothing checked: --exclude and --include leave out every entry");
        return kExitFailed;
    }
    if (tally.wellFormed == 0) {
        PrintError(name, "no properly formatted checksum lines found" +
                             (tally.firstReason.empty() ? "" : " (" + tally.firstReason + ")"));
        return kExitFailed;
    }
    if (!options.status) {
        if (tally.malformed != 0) {
            Warn(Plural(tally.malformed, "line is", "lines are") + " improperly formatted");
        }
        if (tally.unreadable != 0) {
            Warn(Plural(tally.unreadable, "listed file", "listed files") + " could not be read");
        }
        if (tally.mismatched != 0) {
            Warn(Plural(tally.mismatched, "computed checksum", "computed checksums") +
                 " did NOT match");
        }
    }
    if (options.ignoreMissing && tally.verified == 0) {
        if (!options.status) PrintError(name, "no file was verified");
        return kExitFailed;
    }
    const bool ok =
        tally.mismatched == 0 && tally.unreadable == 0 && !(options.strict && tally.malformed != 0);
    return ok ? kExitOk : kExitFailed;
}
