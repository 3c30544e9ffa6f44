// The entries of one checksum list, taken line by line, whatever its format: the lines of
// gnu, bsd and SFV lists and of rhash's columns (checksum_lines.h), hashdeep's lists by
// their header, and JSON and CSV lists by their first line (json_lines.h, csv_lines.h).
// -c and --known read lists through it.
#ifndef KORVADEX_CLI_LIST_ENTRIES_H
#define KORVADEX_CLI_LIST_ENTRIES_H

#include <cstdint>
#include <string>
#include <vector>

#include "lists/checksum_lines.h"
#include "lists/csv_lines.h"

class ListEntries {
public:
    // path: the list's name, whose ".sfv" ending makes its lines SFV lines first.
    explicit ListEntries(const std::string& path);

    // Takes the line with this number (from 1), without its '\n'.  For kEntry, entries get
    // the values of one file: one for most lines, one per column of rhash's lines and of
    // hashdeep's, and one per digest of a JSON or CSV list; size gets the file's size where
    // the list gives it, else -1.  A CSV row that spans lines is taken at its last line, with
    // number set to its first; a CSV header after the first line starts the columns of the
    // rows after it, as in lists joined by cat.  kMalformed sets reason.
    ChecksumLineKind Take(const std::string& text, size_t& number,
                          std::vector<ChecksumLine>& entries, int64_t& size, std::string& reason);

    // For the entry just taken, of a JSON or CSV list: its file's modification time, where
    // the list gives it.
    bool Modified(FileTime& time) const {
        time = modified_;
        return timeKnown_;
    }

    // Whether the list is hashdeep's.
    bool Hashdeep() const { return hashdeep_; }
    // Whether each entry holds a whole file (hashdeep, JSON and CSV lists).
    bool WholeFile() const { return hashdeep_ || records_ != Records::kNone; }

    // At the list's end: whether a CSV row was left open, with the line it started on.
    bool Unfinished(size_t& number, std::string& reason) const;

private:
    ChecksumLineKind TakeRecord(const std::string& text, size_t& number,
                                std::vector<ChecksumLine>& entries, int64_t& size,
                                std::string& reason);
    ChecksumLineKind TakeHashdeep(const std::string& text, std::vector<ChecksumLine>& entries,
                                  int64_t& size, std::string& reason);

    const bool sfv_;
    ListForm form_;
    bool hashdeep_ = false;
    enum class Records { kNone, kJson, kCsv };
    Records records_ = Records::kNone;
    std::vector<long> columns_;          // the columns of a hashdeep list, from its header
    std::vector<CsvColumn> csvColumns_;  // the digest columns of a CSV list, from its header
    bool timeKnown_ = false;             // the time of the entry just taken, if known
    FileTime modified_;
    std::string pendingRow_;    // a CSV row whose quoted field goes on, so far
    size_t pendingNumber_ = 0;  // the line it started on
};

#endif
