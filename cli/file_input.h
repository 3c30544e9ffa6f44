// Reading the bytes of an input: a named file, or standard input for "-".
//
// Regular files are mapped (or read whole where mapping is not possible) after their size
// is checked, so a file too large for the engines is refused without reading it.  Pipes,
// terminals, character devices and other streams are read to their end, however large
// their reported size, and refused once they pass the limit.
#ifndef KORVADEX_CLI_FILE_INPUT_H
#define KORVADEX_CLI_FILE_INPUT_H

#include <atomic>
#include <cstdint>
#include <string>

// The engines take 32-bit lengths: a report input must be at most this many bytes.
constexpr uint64_t kMaxInputBytes = 0xFFFFFFFFull;

struct InputLimit {
    uint64_t maxBytes;
    const char* tooLargeReason;  // the reason given for a longer input
};

constexpr InputLimit kReportInputLimit{kMaxInputBytes, "too large (4 GiB or more)"};

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
