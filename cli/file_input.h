// Reading the bytes of an input: a named file, or standard input for "-".
//
// InputReader reads an input of any size in chunks, once, for the report lines.
// ReadInput reads a small input whole (a saved report, a key file): regular files are
// mapped (or read whole where mapping is not possible) after their size is checked, so a
// file too large is refused without reading it; pipes, terminals, character devices and
// other streams are read to their end and refused once they pass the limit.
#ifndef KORVADEX_CLI_FILE_INPUT_H
#define KORVADEX_CLI_FILE_INPUT_H

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>

#include "line_streams.h"

// An input read in chunks, in order, each byte once: regular files, pipes, FIFOs, devices
// and standard input alike.  A regular file whose size or modification time changes while
// it is read fails with a reason that says so, so that no digest of a partial or mixed
// file is given.
class InputReader : public ChunkSource {
public:
    InputReader() = default;
    ~InputReader();
    InputReader(const InputReader&) = delete;
    InputReader& operator=(const InputReader&) = delete;

    // Opens path ("-": standard input); on failure sets reason ("no such file", "is a
    // directory", ...) and returns false.  When bytesRead is given, it follows the count of
    // bytes read so far, for a progress display.
    bool Open(const std::string& path, std::string& reason,
              std::atomic<uint64_t>* bytesRead = nullptr);
    // The number of bytes a regular file holds (from the current offset, for standard
    // input), or -1 where no size is known in advance.
    int64_t Size() const { return expected_; }
    bool Read(uint8_t* data, size_t capacity, size_t& length) override;
    // Why the last Read failed.
    const std::string& Reason() const { return reason_; }

private:
    bool Fail(const std::string& reason);
    int fd_ = -1;
    bool owned_ = false;
    int64_t expected_ = -1;
    uint64_t read_ = 0;
    struct timespec modified_ = {};
    std::string reason_;
    std::atomic<uint64_t>* bytesRead_ = nullptr;
};

struct InputLimit {
    uint64_t maxBytes;
    const char* tooLargeReason;  // the reason given for a longer input
};

// The bytes of one input, mapped or on the heap.  data() is never null, also when the input
// is empty, so that it can be handed to the engines as it is.
class InputBytes {
public:
    InputBytes() = default;
    ~InputBytes();
    InputBytes(const InputBytes&) = delete;
    InputBytes& operator=(const InputBytes&) = delete;

    const uint8_t* data() const;
    uint64_t size() const { return size_; }
    void Release();

private:
    friend bool ReadInput(const std::string& path, const InputLimit& limit, InputBytes& bytes,
                          std::string& reason, std::atomic<uint64_t>* bytesRead);
    void* mapping_ = nullptr;
    uint8_t* heap_ = nullptr;
    uint64_t size_ = 0;
};

// The reason a file could not be opened or read, as the command line words it: "no such
// file", "permission denied", "is a directory", else the system's text in lower case.
std::string ErrnoText(int err);

// Reads the input named by path ("-": standard input) into bytes.  On failure returns false,
// leaves bytes empty and sets reason to a short text such as "no such file", "is a
// directory", "permission denied" or limit.tooLargeReason.  When bytesRead is given, it
// follows the count of bytes read so far, for a progress display.
//
// A mapped file that shrinks while it is being hashed cannot be read to its end: the
// process then ends with a message that names the file, rather than with a crash.
bool ReadInput(const std::string& path, const InputLimit& limit, InputBytes& bytes,
               std::string& reason, std::atomic<uint64_t>* bytesRead = nullptr);

#endif
