// The lines of the checksum lists other tools write and read:
//   gnu:  "hex  NAME" or "hex *NAME" (sha256sum, md5sum, openssl dgst -r)
//   bsd:  "TAG (NAME) = hex" (sha256sum --tag, cksum -a, rhash --bsd, whose tags may be
//         followed by blanks) and "TAG(NAME)= hex" (openssl dgst); "HMAC-TAG" for a keyed
//         value
//   sfv:  "NAME CRC32" (rhash --sfv and other SFV writers; ';' starts a comment)
// A gnu or bsd line that starts with '\' has its name escaped: "\\" for a backslash, "\n"
// for a line feed and "\r" for a carriage return, as coreutils writes names that hold them.
#ifndef KORVADEX_CLI_CHECKSUM_LINES_H
#define KORVADEX_CLI_CHECKSUM_LINES_H

#include <cstddef>
#include <string>

// A name as a gnu or bsd line holds it: escaped when it holds a backslash, a line feed or a
// carriage return (then needsMark is set: the line must start with '\'), else as it is.
std::string EscapeName(const std::string& name, bool& needsMark);

struct ChecksumLine {
    std::string name;    // the file, unescaped
    std::string hex;     // as written, either case
    long line = -1;      // index in kReportLines from the tag; -1 for an untagged line
    bool keyed = false;  // the tag starts with "HMAC-", as in keyed --tag lines and in those
                         // of openssl dgst -hmac
};

enum class ChecksumLineKind {
    kEntry,      // a checksum line, in entry
    kIgnored,    // blank, or a comment ('#', or ';' in an SFV list)
    kMalformed,  // not a line of any of the forms (reason says why)
};

// Parses one line of a list, without its line end (a CR before it is dropped here).
// sfvFirst: the list is an SFV file, whose "NAME CRC32" form is tried before the others.
ChecksumLineKind ParseChecksumLine(const std::string& text, bool sfvFirst, ChecksumLine& entry,
                                   std::string& reason);

#endif
