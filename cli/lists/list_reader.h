// Reading a checksum list line by line, in the encodings editors save lists in: UTF-8 with
// or without a byte order mark, and UTF-16 (little or big endian) with one, as PowerShell 5
// and Notepad write them.  UTF-16 is converted to UTF-8, names included, so that the lines
// read the same whatever the list's encoding.
#ifndef KORVADEX_CLI_LIST_READER_H
#define KORVADEX_CLI_LIST_READER_H

#include <cstdio>
#include <string>

class ListReader {
public:
    explicit ListReader(FILE* file) : file_(file) {}
    ~ListReader();
    ListReader(const ListReader&) = delete;
    ListReader& operator=(const ListReader&) = delete;

    // The next line, with its '\n' when it has one, without the byte order mark of the
    // first.  False at the end of the list, or when it cannot be read: then Failed() says
    // so and Reason() why ("malformed UTF-16: ...", or the system's error).
    bool Next(std::string& line);
    bool Failed() const { return !reason_.empty(); }
    const std::string& Reason() const { return reason_; }

private:
    // Reads the rest of the file after the first line's bytes and converts it whole: a
    // malformed list is refused before any of its lines is taken.
    bool ConvertUtf16(const std::string& start, bool bigEndian);

    FILE* file_;
    char* buffer_ = nullptr;
    size_t capacity_ = 0;
    bool started_ = false;
    bool converted_ = false;  // the lines come from text_
    std::string text_;
    size_t at_ = 0;
    std::string reason_;
};

// Converts UTF-16 bytes (no byte order mark) to UTF-8.  False, with reason, for an odd
// number of bytes or a surrogate that is not half of a pair.
bool Utf16ToUtf8(const std::string& bytes, bool bigEndian, std::string& out, std::string& reason);

#endif
