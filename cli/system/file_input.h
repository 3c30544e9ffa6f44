// Reading the bytes of an input: a named file, or standard input for "-".
//
// InputReader reads an input of any size in chunks, once, for the report lines.
// ReadInput reads a small input whole (a saved report, a key file): regular files are
// mapped (or read whole where mapping is not possible) after their size is checked, so a
// file too large is refused without reading it; pipes, terminals, character devices and
// other streams are read to their end and refused once they pass the limit.
#ifndef KORVADEX_CLI_FILE_INPUT_H
#define KORVADEX_CLI_FILE_INPUT_H

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "line_streams.h"

// The readers that lend mapped windows at once, at most (each on a thread of its own).
constexpr size_t kMaxReadersAtOnce = 16;

// How the files of a job of several inputs are read.
enum class ReadOrder {
    kAuto,        // in sequence on spinning disks and network file systems, else at once
    kParallel,    // several files at once, wherever they are
    kSequential,  // one file after another, wherever they are
};

// Whether the file open at fd, on device (its st_dev), sits on storage that loses by being read in
// several places at once: a block device that calls itself rotational (a partition: its disk), but
// for a virtual machine's disk, or a network file system (NFS, SMB/CIFS, FUSE file systems such as
// sshfs, and the like).  Storage that cannot be told (no sysfs, a device without a flag, file
// systems without a device of their own such as tmpfs and btrfs) counts as not.
bool SequentialStorage(int fd, dev_t device);

// An input read in chunks, in order, each byte once: regular files, pipes, FIFOs, devices
// and standard input alike.  A regular file whose size or modification time changes while
// it is read fails with a reason that says so, so that no digest of a partial or mixed
// file is given.
//
// A regular file of more than four windows (16 MiB) whose cached pages map in large pieces
// is lent in mapped windows rather than read: its bytes are hashed where the system keeps them,
// without a copy, and each window is unmapped when handed back, so that the memory used
// stays bounded whatever the file's size.  (Pages cached in small pieces cost more to map
// than to copy: such a file is read.)  A file that shrinks under a window reads as zeros
// past its new end, and the window's GiveBack fails with the reason "the file shrank while
// it was being read".
class InputReader : public ChunkSource {
public:
    InputReader() = default;
    ~InputReader();
    InputReader(const InputReader&) = delete;
    InputReader& operator=(const InputReader&) = delete;

    // Opens path ("-": standard input); on failure sets reason ("no such file", "is a
    // directory", ...) and returns false.  When bytesRead is given, it follows the count of
    // bytes read so far, for a progress display.
    // mapAlways: lend any regular file of known size, whatever its size and pages.
    bool Open(const std::string& path, std::string& reason,
              std::atomic<uint64_t>* bytesRead = nullptr, bool mapAlways = false);
    // Before Open: a regular file that order reads in sequence (kAuto: one on
    // SequentialStorage) calls wait once, before its first read that the system cannot serve
    // at once from the pages it holds in memory; reads it can serve go on without waiting.
    // Files that are read at once, and other inputs, never call it.
    void ReadInTurn(ReadOrder order, std::function<void()> wait);
    // Before Open: the file is read, never lent, whatever its size and pages (the windows
    // of many readers at once would pass a memory budget).
    void NeverLend() { neverLend_ = true; }
    // After Open: whether the file reads in sequence and has not yet waited for its turn.
    bool TakesTurns() const { return static_cast<bool>(wait_); }
    // The number of bytes a regular file holds (from the current offset, for standard
    // input), or -1 where no size is known in advance.
    int64_t Size() const { return expected_; }
    // The number of bytes read (or lent) so far.
    uint64_t Taken() const { return read_; }
    bool Read(uint8_t* data, size_t capacity, size_t& length) override;
    bool Lends() const override { return lends_; }
    bool Lend(const uint8_t*& data, size_t& length, bool& last) override;
    bool GiveBack(const uint8_t* data) override;
    // A file of known size moves its offset (a mapped one lends from there on, and is read
    // once nothing is left to lend); other inputs read and drop the bytes.
    bool Skip(uint64_t bytes) override;
    // Why Read, Lend or GiveBack failed (the first failure's reason).
    const std::string& Reason() const { return reason_; }

private:
    bool Fail(const std::string& reason);
    // One read(2) of the file, after its turn when it must wait for one.
    ssize_t ReadSome(uint8_t* data, size_t capacity);
    // Whether the file kept its size and time since it was opened.
    bool Unchanged();
    // Maps the next window; false, with the reason, when it cannot.
    bool MapNext(const uint8_t*& data, size_t& length, bool& last);
    // Unmaps the window of a view; false when the view is not one of those lent.
    bool Unmap(const uint8_t* data, bool& spoiled, bool& last);

    int fd_ = -1;
    bool lends_ = false;
    bool neverLend_ = false;
    // The windows lent out, and their slot in the list the bus-error handler reads.
    struct Window {
        size_t listed = 0;
        void* mapping = nullptr;
        size_t mapped = 0;
        const uint8_t* view = nullptr;
        bool last = false;
    };
    Window windows_[kMaxLentViews];
    uint64_t start_ = 0;  // the file offset of the input's first byte

    bool owned_ = false;
    int64_t expected_ = -1;
    // Whether the file ends where expected_ says, without a read that finds nothing: its
    // file system is local, where a file cannot hold more than its size.
    bool endsAtSize_ = false;
    uint64_t read_ = 0;
    struct timespec modified_ = {};
    std::string reason_;
    std::atomic<uint64_t>* bytesRead_ = nullptr;
    ReadOrder order_ = ReadOrder::kParallel;
    std::function<void()> wait_;  // set while a read may have to wait for its turn
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
