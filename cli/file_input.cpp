#include "file_input.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const uint8_t kNoBytes[1] = {0};

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
    std::string text = std::strerror(err);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = char(text[0] - 'A' + 'a');
    return text;
}

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

}  // namespace

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
