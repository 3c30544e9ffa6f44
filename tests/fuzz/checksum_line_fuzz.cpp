// Fuzz target: the reader of checksum-list lines of --check over arbitrary bytes.
//
// - Any line is taken, ignored or refused with a reason; a line taken names a file and has
//   hex digits of a report line's width (checked by the caller for tagged lines).
// - So is each line of a list read in order, and a line of rhash's columns names one file.
// - Any name written by --format gnu or bsd, escaped as they escape it, is read back as it
//   was, whatever bytes it holds.
// - A line that the quick reading of JSON lists takes, the full JSON parser takes alike.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "lists/checksum_lines.h"
#include "lists/json_lines.h"
#include "lists/json_record_scan.h"

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

void ReadsBack(const std::string& line, const std::string& name) {
    ChecksumLine entry;
    std::string reason;
    if (ParseChecksumLine(line, false, entry, reason) != ChecksumLineKind::kEntry ||
        entry.name != name) {
        std::abort();
    }
}

void ReadsAsTheParserDoes(const std::string& line) {
    FileRecord quick, full;
    std::string reason;
    if (!ScanJsonRecord(line, quick)) return;
    if (ParseJsonRecordObject(line, full, reason) != ChecksumLineKind::kEntry ||
        quick.name != full.name || quick.size != full.size ||
        quick.timeKnown != full.timeKnown || !(quick.modified == full.modified) ||
        quick.digests.size() != full.digests.size()) {
        std::abort();
    }
    for (size_t i = 0; i < full.digests.size(); ++i) {
        if (quick.digests[i].line != full.digests[i].line ||
            quick.digests[i].hex != full.digests[i].hex ||
            quick.digests[i].keyed != full.digests[i].keyed) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ReadsAsTheParserDoes(text);
    for (bool sfv : {false, true}) {
        ChecksumLine entry;
        std::string reason;
        switch (ParseChecksumLine(text, sfv, entry, reason)) {
            case ChecksumLineKind::kEntry:
                if (entry.name.empty() || entry.hex.empty()) std::abort();
                for (char c : entry.hex) {
                    if (!IsHexDigit(c)) std::abort();
                }
                break;
            case ChecksumLineKind::kMalformed:
                if (reason.empty()) std::abort();
                break;
            case ChecksumLineKind::kIgnored:
                break;
        }
    }
    // The bytes as the lines of one list, whose first untagged line decides the others'
    // separator, and as one of rhash's lines of several algorithms.
    ListForm form;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        ChecksumLine entry;
        std::string reason;
        const std::string line = text.substr(start, end - start);
        if (ParseChecksumLine(line, false, entry, reason, &form) == ChecksumLineKind::kEntry &&
            entry.name.empty()) {
            std::abort();
        }
        start = end + 1;
    }
    std::vector<ChecksumLine> columns;
    if (ParseDigestColumns(text, columns)) {
        if (columns.size() < 2) std::abort();
        for (const ChecksumLine& column : columns) {
            if (column.name.empty() || column.name != columns[0].name || column.hex.empty()) {
                std::abort();
            }
        }
    }
    // The bytes as a file name, in the lines --format gnu and --tag write.
    if (!text.empty()) {
        bool mark = false;
        const std::string escaped = EscapeName(text, mark);
        const std::string start = mark ? "\\" : "";
        // A name the list reader would take for its own leading blanks is not written so.
        if (text[0] != ' ' && text[0] != '\t') {
            ReadsBack(start + "MD5 (" + escaped + ") = d41d8cd98f00b204e9800998ecf8427e", text);
        }
        ReadsBack(start + "d41d8cd98f00b204e9800998ecf8427e  " + escaped, text);
    }
    return 0;
}
