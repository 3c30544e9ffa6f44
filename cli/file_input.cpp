#include "file_input.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const uint8_t kNoBytes[1] = {0};

// The message written when a mapped file turns out shorter than it was: the pages past its
// new end cannot be read, and the kernel signals SIGBUS on the first access.
char gTruncatedMessage[1024];
size_t gTruncatedMessageLength = 0;

void OnBusError(int) {
    ssize_t ignored = ::write(STDERR_FILENO, gTruncatedMessage, gTruncatedMessageLength);
    (void)ignored;
    ::_exit(1);
}

void GuardMapping(const std::string& path) {
    static bool installed = false;
    std::string message =
        "\nkorvadex: " + path + ": the file shrank while it was being read; no report\n";
    if (message.size() > sizeof gTruncatedMessage) {
        message = "\nkorvadex: an input file shrank while it was being read; no report\n";
    }
    std::memcpy(gTruncatedMessage, message.data(), message.size());
    gTruncatedMessageLength = message.size();
    if (!installed) {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = OnBusError;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, nullptr);
        installed = true;
    }
}

// Reads fd to its end onto the heap, growing the buffer as needed.  expected, when not 0,
// is the size the input is expected to have.
bool ReadStream(int fd, uint64_t expected, const InputLimit& limit, uint8_t*& heap, uint64_t& size,
                std::string& reason, std::atomic<uint64_t>* bytesRead) {
    // One byte beyond the limit tells a too-large input from one that just fits.
    const uint64_t most = limit.maxBytes + 1;
    uint64_t capacity = expected != 0 ? expected + 1 : uint64_t(1) << 16;
    if (capacity > most) capacity = most;
    heap = static_cast<uint8_t*>(std::malloc(size_t(capacity)));
    if (heap == nullptr) {
        reason = "out of memory";
        return false;
    }
    size = 0;
    for (;;) {
        if (size == capacity) {
            if (capacity == most) {
                reason = limit.tooLargeReason;
                return false;
            }
            uint64_t grown = capacity * 2 < most ? capacity * 2 : most;
            auto* bigger = static_cast<uint8_t*>(std::realloc(heap, size_t(grown)));
            if (bigger == nullptr) {
                reason = "out of memory";
                return false;
            }
            heap = bigger;
            capacity = grown;
        }
        uint64_t room = capacity - size;
        if (room > (uint64_t(1) << 30)) room = uint64_t(1) << 30;
        ssize_t n = ::read(fd, heap + size, size_t(room));
        if (n < 0) {
            if (errno == EINTR) continue;
            reason = ErrnoText(errno);
            return false;
        }
        if (n == 0) break;
        size += uint64_t(n);
        if (bytesRead != nullptr) bytesRead->store(size, std::memory_order_relaxed);
    }
    if (size > limit.maxBytes) {
        reason = limit.tooLargeReason;
        return false;
    }
    return true;
}

// Whether fd is on a file system whose regular files report a size that says nothing of
// their content (a page for a few bytes of sysfs, 0 for most of /proc).
bool SizeIsNominal(int fd) {
#ifdef __linux__
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0) return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x9FA0:      // proc
        case 0x62656572:  // sysfs
        case 0x64626720:  // debugfs
        case 0x74726163:  // tracefs
        case 0x73636673:  // securityfs
        case 0x62656570:  // configfs
        case 0x63677270:  // cgroup2
        case 0x27E0EB:    // cgroup
        case 0xDE5E81E4:  // efivarfs
            return true;
        default:
            return false;
    }
#else
    (void)fd;
    return false;
#endif
}

}  // namespace

std::string ErrnoText(int err) {
    switch (err) {
        case ENOENT:
            return "no such file";
        case EACCES:
            return "permission denied";
        case EISDIR:
            return "is a directory";
        default:
            break;
    }
    // No error recorded (a stream that failed without saying why) reads as an I/O error.
    std::string text = std::strerror(err != 0 ? err : EIO);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = char(text[0] - 'A' + 'a');
    return text;
}

InputBytes::~InputBytes() {
    Release();
}

const uint8_t* InputBytes::data() const {
    if (mapping_ != nullptr) return static_cast<const uint8_t*>(mapping_);
    if (heap_ != nullptr) return heap_;
    return kNoBytes;
}

void InputBytes::Release() {
    if (mapping_ != nullptr) ::munmap(mapping_, size_t(size_));
    std::free(heap_);
    mapping_ = nullptr;
    heap_ = nullptr;
    size_ = 0;
}

bool ReadInput(const std::string& path, const InputLimit& limit, InputBytes& bytes,
               std::string& reason, std::atomic<uint64_t>* bytesRead) {
    bytes.Release();
    const bool standardInput = path == "-";
    int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        reason = ErrnoText(errno);
        return false;
    }
    struct stat st;
    bool ok = false;
    if (::fstat(fd, &st) != 0) {
        reason = ErrnoText(errno);
    } else if (S_ISDIR(st.st_mode)) {
        reason = ErrnoText(EISDIR);
    } else {
        // A regular file's remaining size is known: refuse a large one before reading, even
        // when it is sparse.  A size of 0 is not trusted (files of /proc report it).
        uint64_t expected = 0;
        if (S_ISREG(st.st_mode)) {
            off_t at = standardInput ? ::lseek(fd, 0, SEEK_CUR) : 0;
            if (at >= 0 && st.st_size > at) expected = uint64_t(st.st_size - at);
        }
        if (expected > limit.maxBytes) {
            reason = limit.tooLargeReason;
        } else {
            if (!standardInput && expected != 0) {
                void* mapping = ::mmap(nullptr, size_t(expected), PROT_READ, MAP_PRIVATE, fd, 0);
                if (mapping != MAP_FAILED) {
                    bytes.mapping_ = mapping;
                    bytes.size_ = expected;
                    GuardMapping(path);
                    if (bytesRead != nullptr) {
                        bytesRead->store(expected, std::memory_order_relaxed);
                    }
                    ok = true;
                }
            }
            if (!ok) {
                ok = ReadStream(fd, expected, limit, bytes.heap_, bytes.size_, reason, bytesRead);
            }
        }
    }
    if (!standardInput) ::close(fd);
    if (!ok) bytes.Release();
    return ok;
}

InputReader::~InputReader() {
    if (owned_) ::close(fd_);
}

bool InputReader::Open(const std::string& path, std::string& reason,
                       std::atomic<uint64_t>* bytesRead) {
    bytesRead_ = bytesRead;
    const bool standardInput = path == "-";
    fd_ = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) {
        reason = ErrnoText(errno);
        return false;
    }
    owned_ = !standardInput;
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        reason = ErrnoText(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        reason = ErrnoText(EISDIR);
        return false;
    }
    // A size of 0 is not trusted (files of /proc report it), nor any size on the kernel's
    // own file systems.
    if (S_ISREG(st.st_mode) && st.st_size > 0 && !SizeIsNominal(fd_)) {
        const off_t at = standardInput ? ::lseek(fd_, 0, SEEK_CUR) : 0;
        if (at >= 0 && at <= st.st_size) {
            expected_ = int64_t(st.st_size - at);
            modified_ = st.st_mtim;
            ::posix_fadvise(fd_, at, 0, POSIX_FADV_SEQUENTIAL);
        }
    }
    return true;
}

bool InputReader::Fail(const std::string& reason) {
    reason_ = reason;
    return false;
}

bool InputReader::Read(uint8_t* data, size_t capacity, size_t& length) {
    length = 0;
    while (length < capacity) {
        ssize_t n = ::read(fd_, data + length, capacity - length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(ErrnoText(errno));
        }
        if (n == 0) break;
        length += size_t(n);
        read_ += uint64_t(n);
        if (bytesRead_ != nullptr) bytesRead_->store(read_, std::memory_order_relaxed);
        if (expected_ >= 0 && read_ > uint64_t(expected_))
            return Fail("the file grew while it was being read");
    }
    if (length == capacity || expected_ < 0) return true;
    // The end of a regular file: it must have kept its size and time all along.
    if (read_ < uint64_t(expected_)) return Fail("the file shrank while it was being read");
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Fail(ErrnoText(errno));
    if (st.st_mtim.tv_sec != modified_.tv_sec || st.st_mtim.tv_nsec != modified_.tv_nsec)
        return Fail("the file changed while it was being read");
    return true;
}
