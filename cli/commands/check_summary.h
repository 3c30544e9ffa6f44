// The summary of the check of a checksum list: what -c writes on standard error after the
// verdicts, from the counts of its lines, whether they were checked on one machine or are
// the merge of its shards' lists (shard_output.h).
#ifndef KORVADEX_CLI_COMMANDS_CHECK_SUMMARY_H
#define KORVADEX_CLI_COMMANDS_CHECK_SUMMARY_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "options.h"

struct CheckTally {
    size_t wellFormed = 0;  // lines of an entry, checked or passed over
    size_t malformed = 0;
    size_t unreadable = 0;  // verdicts on files that could not be read
    size_t mismatched = 0;
    size_t verified = 0;      // verdicts OK
    size_t filteredOut = 0;   // entries --exclude or --include leave out
    std::string firstReason;  // why the first malformed line was refused, for the message
                              // of a list with no line taken

    // Counts the line at number of a shard's list, whose verdict is word (the words of
    // ShardEntry::Kind::kCheck) and, for a malformed line, reason why.
    void Take(const std::string& word, uint64_t number, const std::string& reason);
    void Malformed(uint64_t number, const std::string& reason);
};

// What --warn writes of the malformed line at number of the list named name.
std::string MalformedLineText(const std::string& name, uint64_t number, const std::string& reason);

// Writes the summary of the check of the list named name, as options ask; returns the exit
// status of the list.
int CheckListSummary(const std::string& name, const CheckTally& tally, const Options& options);

#endif
