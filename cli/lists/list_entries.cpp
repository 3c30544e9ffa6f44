#include "lists/list_entries.h"

#include <cstring>

#include "lists/json_lines.h"

ListEntries::ListEntries(const std::string& path)
    : sfv_(path.size() > 4 && (path.compare(path.size() - 4, 4, ".sfv") == 0 ||
                               path.compare(path.size() - 4, 4, ".SFV") == 0)) {}

ChecksumLineKind ListEntries::Take(const std::string& text, size_t& number,
                                   std::vector<ChecksumLine>& entries, int64_t& size,
                                   std::string& reason) {
    if (number == 1) {
        if (StartsJsonList(text)) records_ = Records::kJson;
        if (StartsCsvList(text)) records_ = Records::kCsv;
    }
    entries.assign(1, ChecksumLine());
    size = -1;
    timeKnown_ = false;
    reason.clear();
    hashdeep_ = hashdeep_ || text == kHashdeepMagic || text == kHashdeepMagic + std::string("\r");
    if (records_ != Records::kNone) return TakeRecord(text, number, entries, size, reason);
    if (hashdeep_) return TakeHashdeep(text, entries, size, reason);
    const ChecksumLineKind kind = ParseChecksumLine(text, sfv_, entries[0], reason, &form_);
    if (kind == ChecksumLineKind::kMalformed && ParseDigestColumns(text, entries)) {
        reason.clear();
        return ChecksumLineKind::kEntry;
    }
    return kind;
}

bool ListEntries::Unfinished(size_t& number, std::string& reason) const {
    if (pendingRow_.empty()) return false;
    number = pendingNumber_;
    reason = "a quoted CSV field that the list's end leaves open";
    return true;
}

ChecksumLineKind ListEntries::TakeRecord(const std::string& text, size_t& number,
                                         std::vector<ChecksumLine>& lines, int64_t& size,
                                         std::string& reason) {
    FileRecord record;
    ChecksumLineKind kind;
    if (records_ == Records::kJson) {
        kind = ParseJsonRecord(text, record, reason);
    } else if (pendingRow_.empty() && StartsCsvList(text)) {
        // The first line, or the header of another list after it (cat a.csv b.csv).
        if (ParseCsvHeader(text, csvColumns_, reason)) return ChecksumLineKind::kIgnored;
        csvColumns_.clear();
        return ChecksumLineKind::kMalformed;
    } else {
        const std::string row = pendingRow_.empty() ? text : pendingRow_ + "\n" + text;
        if (pendingRow_.empty()) pendingNumber_ = number;
        pendingRow_.clear();
        number = pendingNumber_;
        if (CsvRowOpen(row)) {
            pendingRow_ = row;
            return ChecksumLineKind::kIgnored;
        }
        if (csvColumns_.empty()) {
            reason = "a row of a CSV list whose header was refused";
            return ChecksumLineKind::kMalformed;
        }
        kind = ParseCsvRecord(row, csvColumns_, record, reason);
    }
    if (kind != ChecksumLineKind::kEntry) return kind;
    lines.clear();
    for (const RecordDigest& digest : record.digests) {
        lines.push_back(ChecksumLine{record.name, digest.hex, long(digest.line), digest.keyed});
    }
    size = record.size;
    timeKnown_ = record.timeKnown;
    modified_ = record.modified;
    return kind;
}

ChecksumLineKind ListEntries::TakeHashdeep(const std::string& text,
                                           std::vector<ChecksumLine>& lines, int64_t& size,
                                           std::string& reason) {
    if (text.compare(0, 5, "%%%% ") == 0) {
        if (text.compare(0, std::strlen(kHashdeepMagic), kHashdeepMagic) == 0 ||
            ParseHashdeepColumns(text, columns_, reason)) {
            return ChecksumLineKind::kIgnored;
        }
        columns_.clear();
        return ChecksumLineKind::kMalformed;
    }
    if (text.empty() || text == "\r" || text[0] == '#') return ChecksumLineKind::kIgnored;
    if (columns_.empty()) {
        reason = "a file line of a hashdeep list before its \"%%%% size,...,filename\" line";
        return ChecksumLineKind::kMalformed;
    }
    return ParseHashdeepLine(text, columns_, size, lines, reason) ? ChecksumLineKind::kEntry
                                                                  : ChecksumLineKind::kMalformed;
}
