// The text a run writes for its inputs in the format its options choose: the report, a
// checksum list (gnu, bsd, sfv), a hashdeep list, or a JSON or CSV list.  The report command
// writes through it as each input is done, and --merge and -o write through it what shards
// and partial lists recorded, so that both give the same bytes.
#ifndef KORVADEX_CLI_COMMANDS_LIST_WRITER_H
#define KORVADEX_CLI_COMMANDS_LIST_WRITER_H

#include <cstdint>
#include <string>
#include <vector>

#include "common/file_record.h"
#include "options.h"

class ListWriter {
public:
    // headers: the report names each input ("Input: "), as it does for more than one input
    // or with -r.  folder: the one a hashdeep list says it was made in.
    ListWriter(const Options& options, bool headers, const std::string& folder);

    // The lines computed for each input: every line with --save or without -a, else -a's.
    const std::vector<size_t>& Computed() const { return computed_; }

    // What comes before the first input: the hashdeep and CSV headers, else nothing.
    std::string Opening() const;

    // Appends the text of one input, named as the list names it (shown: as the report names
    // it), with hex holding the upper-case value of each computed line at its index.  False,
    // after a message, when the format cannot carry the name.
    bool Append(const std::string& name, const std::string& shown, uint64_t size,
                const FileTime* modified, const std::vector<std::string>& hex, std::string& text);

private:
    const Options& options_;
    bool headers_;
    std::string folder_;
    std::vector<size_t> computed_;
    std::vector<size_t> written_;  // the computed lines the format shows, in their order
    bool first_ = true;
};

// The hex of a record's digests at the index of each line, for ListWriter::Append.
std::vector<std::string> RecordHex(const FileRecord& record);

#endif
