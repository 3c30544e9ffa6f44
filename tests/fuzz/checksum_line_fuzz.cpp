// Fuzz target: the reader of checksum-list lines of --check over arbitrary bytes.
//
// - Any line is taken, ignored or refused with a reason; a line taken names a file and has
//   hex digits of a report line's width (checked by the caller for tagged lines).
// - Any name written by --format gnu or bsd, escaped as they escape it, is read back as it
//   was, whatever bytes it holds.
#include <cstdlib>
#include <string>

#include "checksum_lines.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
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
