#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/uio.h>

#include "common/error_text.h"
#include "system/file_input.h"
#ifdef __linux__
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <vector>

namespace {

const uint8_t kNoBytes[1] = {0};

// The bytes of a regular file that InputReader maps at once.
constexpr size_t kLendWindow = size_t(4) << 20;

// How a file's cached pages map is judged by the first kProbeBytes of a window mapped as
// those lent are (the system places such windows so that large pieces can be mapped
// whole), which may take at most kCheapFaults page faults for the file to be lent: pages cached in
// pieces of half a megabyte or more map in a few faults, at a small part of the cost of copying
// them; a file cached in small pieces takes a fault per few pages, which costs about as much as
// reading it.
constexpr size_t kProbeBytes = size_t(2) << 20;
constexpr long kCheapFaults = 4;

// The page faults this thread has taken so far (0 where the system does not say).
long ThreadFaults() {
#ifdef RUSAGE_THREAD
    struct rusage usage;
    if (::getrusage(RUSAGE_THREAD, &usage) == 0) return usage.ru_minflt + usage.ru_majflt;
#endif
    return 0;
}

// A mapped file that turns out shorter than it was cannot be read past its new end: the
// kernel signals SIGBUS on the first access there.  The windows InputReader has lent out
// are listed for the handler, which puts zeros in place of the rest of such a window and
// marks it spoiled, so that the lines run on to its end and its GiveBack fails.
struct LentWindow {
    std::atomic<uintptr_t> begin{0};  // 0: the slot is free; 1: taken, not yet mapped
    std::atomic<uintptr_t> end{0};
    std::atomic<bool> spoiled{false};
};
LentWindow gLentWindows[kMaxLentViews * kMaxReadersAtOnce];
constexpr size_t kListedWindows = sizeof gLentWindows / sizeof gLentWindows[0];
uintptr_t gPageSize = 4096;

// The message written when a mapping that no window covers (ReadInput's) loses its end.
char gTruncatedMessage[1024];
size_t gTruncatedMessageLength = 0;

void OnBusError(int, siginfo_t* info, void*) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (LentWindow& window : gLentWindows) {
        const uintptr_t begin = window.begin.load(std::memory_order_acquire);
        const uintptr_t end = window.end.load(std::memory_order_acquire);
        if (begin <= 1 || at < begin || at >= end) continue;
        const uintptr_t page = at & ~(gPageSize - 1);
        if (::mmap(reinterpret_cast<void*>(page), size_t(end - page), PROT_READ,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED) {
            break;
        }
        window.spoiled.store(true, std::memory_order_release);
        return;
    }
    if (gTruncatedMessageLength != 0) {
        ssize_t ignored = ::write(STDERR_FILENO, gTruncatedMessage, gTruncatedMessageLength);
        (void)ignored;
        ::_exit(1);
    }
    // Not a file's mapping: the access is tried again, to the default action.
    ::signal(SIGBUS, SIG_DFL);
}

// Whether the probe of the file at offset is in memory and maps in few faults.
bool CheapToMap(int fd, uint64_t offset) {
#ifdef MADV_POPULATE_READ
    void* mapping = ::mmap(nullptr, kLendWindow, PROT_READ, MAP_PRIVATE, fd, off_t(offset));
    if (mapping == MAP_FAILED) return false;
    std::vector<unsigned char> resident(kProbeBytes / gPageSize);
    bool cheap =
        ::mincore(mapping, kProbeBytes, resident.data()) == 0 &&
        std::all_of(resident.begin(), resident.end(), [](unsigned char r) { return (r & 1) != 0; });
    if (cheap) {
        const long faults = ThreadFaults();
        cheap = ::madvise(mapping, kProbeBytes, MADV_POPULATE_READ) == 0 &&
                ThreadFaults() - faults <= kCheapFaults;
    }
    ::munmap(mapping, kLendWindow);
    return cheap;
#else
    (void)fd;
    (void)offset;
    return false;
#endif
}

void InstallBusHandler() {
    // Readers open files on several threads: the handler is installed once, by the first.
    static const bool installed = [] {
        gPageSize = uintptr_t(::sysconf(_SC_PAGESIZE));
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGBUS, &action, nullptr) == 0;
    }();
    (void)installed;
}

void GuardMapping(const std::string& path) {
    std::string message =
        "\nkorvadex: " + path + ": the file shrank while it was being read; no report\n";
    if (message.size() > sizeof gTruncatedMessage) {
        message = "\nkorvadex: an input file shrank while it was being read; no report\n";
    }
    std::memcpy(gTruncatedMessage, message.data(), message.size());
    gTruncatedMessageLength = message.size();
    InstallBusHandler();
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

// The type of the file system of fd (statfs's f_type), 0 where the system does not say;
// device is fd's st_dev.  One lookup per device: a walk of a large tree opens many files.
unsigned long FileSystemType(int fd, dev_t device) {
#ifdef __linux__
    static std::mutex mutex;
    static std::map<dev_t, unsigned long> known;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = known.find(device);
    if (found != known.end()) return found->second;
    struct statfs fs;
    const unsigned long type = ::fstatfs(fd, &fs) == 0 ? static_cast<unsigned long>(fs.f_type) : 0;
    known.emplace(device, type);
    return type;
#else
    (void)fd;
    (void)device;
    return 0;
#endif
}

// Whether a file system of this type has regular files that report a size that says nothing
// of their content (a page for a few bytes of sysfs, 0 for most of /proc).
bool SizeIsNominal(unsigned long type) {
    switch (type) {
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
}

// Whether a file system of this type reaches its files over a network.
bool NetworkFileSystem(unsigned long type) {
    switch (type) {
        case 0x6969:      // NFS
        case 0x517B:      // SMB
        case 0xFE534D42:  // SMB2
        case 0xFF534D42:  // CIFS
        case 0x65735546:  // FUSE (sshfs, and the like)
        case 0x00C36400:  // Ceph
        case 0x5346414F:  // AFS
        case 0x01021997:  // 9P
        case 0x73757245:  // Coda
        case 0x564C:      // NCP
        case 0x47504653:  // GPFS
        case 0x0BD00BD0:  // Lustre
            return true;
        default:
            return false;
    }
}

// Whether the block device numbered device is a spinning disk: it says it is rotational, as
// sysfs shows it under /sys/dev/block (a partition's flag is its disk's, one folder up), and
// it is not a virtual machine's disk (virtio, Xen), which calls itself rotational whatever
// holds its bytes, and whose host reads several places at once faster than one.
bool RotationalDevice(dev_t device) {
#ifdef __linux__
    const std::string folder =
        "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char* where = ::realpath(folder.c_str(), nullptr);
    if (where == nullptr) return false;
    const std::string path = where;
    std::free(where);
    if (path.find("/virtio") != std::string::npos || path.find("/vbd-") != std::string::npos)
        return false;
    for (const char* flag : {"/queue/rotational", "/../queue/rotational"}) {
        std::ifstream file(path + flag);
        char value = 0;
        if (file.get(value)) return value == '1';
    }
#else
    (void)device;
#endif
    return false;
}

}  // namespace

bool SequentialStorage(int fd, dev_t device) {
    if (NetworkFileSystem(FileSystemType(fd, device))) return true;
    // One answer per device: the walk of a large tree asks for each file.
    static std::mutex mutex;
    static std::map<dev_t, bool> known;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = known.find(device);
    if (found == known.end()) found = known.emplace(device, RotationalDevice(device)).first;
    return found->second;
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
    for (const Window& window : windows_) {
        if (window.mapping == nullptr) continue;
        gLentWindows[window.listed].begin.store(0, std::memory_order_release);
        ::munmap(window.mapping, window.mapped);
    }
    if (owned_) ::close(fd_);
}

void InputReader::ReadInTurn(ReadOrder order, std::function<void()> wait) {
    order_ = order;
    wait_ = std::move(wait);
}

bool InputReader::Open(const std::string& path, std::string& reason,
                       std::atomic<uint64_t>* bytesRead, bool mapAlways) {
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
    // Only a regular file of known size waits for its turn.
    std::function<void()> wait = std::move(wait_);
    wait_ = nullptr;
    // A size of 0 is not trusted (files of /proc report it), nor any size on the kernel's
    // own file systems.
    const unsigned long type = S_ISREG(st.st_mode) ? FileSystemType(fd_, st.st_dev) : 0;
    if (S_ISREG(st.st_mode) && st.st_size > 0 && !SizeIsNominal(type)) {
        const off_t at = standardInput ? ::lseek(fd_, 0, SEEK_CUR) : 0;
        if (at >= 0 && at <= st.st_size) {
            expected_ = int64_t(st.st_size - at);
            endsAtSize_ = !NetworkFileSystem(type);
            start_ = uint64_t(at);
            modified_ = st.st_mtim;
            wait_ = std::move(wait);
            // A file read in one go needs no read-ahead.
            if (expected_ > int64_t(kDefaultChunkSize))
                ::posix_fadvise(fd_, at, 0, POSIX_FADV_SEQUENTIAL);
            if (order_ == ReadOrder::kParallel ||
                (order_ == ReadOrder::kAuto && !SequentialStorage(fd_, st.st_dev))) {
                wait_ = nullptr;
            }
            // The pages at the start of a file read from disk come in smaller pieces than
            // those after them: the pieces are judged by windows further on.
            InstallBusHandler();
            const uint64_t end = uint64_t(at) + uint64_t(expected_);
            const uint64_t window = kLendWindow;
            if (mapAlways || (!neverLend_ && uint64_t(expected_) > 4 * window &&
                              (CheapToMap(fd_, end / 2 / window * window) ||
                               CheapToMap(fd_, end / 4 * 3 / window * window)))) {
                lends_ = true;
            }
        }
    }
    return true;
}

bool InputReader::Fail(const std::string& reason) {
    // The first failure is the one that says what happened.
    if (reason_.empty()) reason_ = reason;
    return false;
}

bool InputReader::Unchanged() {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Fail(ErrnoText(errno));
    const uint64_t end = start_ + uint64_t(expected_);
    if (uint64_t(st.st_size) < end) return Fail("the file shrank while it was being read");
    if (uint64_t(st.st_size) > end) return Fail("the file grew while it was being read");
    if (st.st_mtim.tv_sec != modified_.tv_sec || st.st_mtim.tv_nsec != modified_.tv_nsec)
        return Fail("the file changed while it was being read");
    return true;
}

bool InputReader::MapNext(const uint8_t*& data, size_t& length, bool& last) {
    Window* free = std::find_if(std::begin(windows_), std::end(windows_),
                                [](const Window& w) { return w.mapping == nullptr; });
    size_t slot = 0;
    uintptr_t none = 0;
    // A slot of the list is taken with a placeholder address until the window is mapped.
    while (free != std::end(windows_) && slot < kListedWindows &&
           !gLentWindows[slot].begin.compare_exchange_strong(none, 1, std::memory_order_acq_rel)) {
        none = 0;
        ++slot;
    }
    if (free == std::end(windows_) || slot == kListedWindows)
        return Fail("too many windows of the file at once");
    const uint64_t at = start_ + read_;
    const uint64_t base = at & ~uint64_t(gPageSize - 1);
    const size_t skip = size_t(at - base);
    const size_t take = size_t(std::min<uint64_t>(uint64_t(expected_) - read_, kLendWindow - skip));
    void* mapping =
        ::mmap(nullptr, skip + take, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_, off_t(base));
    if (mapping == MAP_FAILED) {
        gLentWindows[slot].begin.store(0, std::memory_order_release);
        return Fail(ErrnoText(errno));
    }
    Window& window = *free;
    window.listed = slot;
    window.mapping = mapping;
    window.mapped = skip + take;
    window.view = static_cast<const uint8_t*>(mapping) + skip;
    read_ += take;
    window.last = read_ == uint64_t(expected_);
    LentWindow& listed = gLentWindows[slot];
    listed.spoiled.store(false, std::memory_order_relaxed);
    listed.end.store(reinterpret_cast<uintptr_t>(mapping) + window.mapped,
                     std::memory_order_relaxed);
    listed.begin.store(reinterpret_cast<uintptr_t>(mapping), std::memory_order_release);
    // Standard input is left at the end of what was taken, as reading it would leave it.
    if (window.last && !owned_) ::lseek(fd_, off_t(start_ + read_), SEEK_SET);
    data = window.view;
    length = take;
    last = window.last;
    return true;
}

bool InputReader::Unmap(const uint8_t* data, bool& spoiled, bool& last) {
    size_t slot = 0;
    while (slot < kMaxLentViews &&
           (windows_[slot].mapping == nullptr || windows_[slot].view != data)) {
        ++slot;
    }
    if (slot == kMaxLentViews) return false;
    Window& window = windows_[slot];
    LentWindow& listed = gLentWindows[window.listed];
    spoiled = listed.spoiled.load(std::memory_order_acquire);
    listed.begin.store(0, std::memory_order_release);
    ::munmap(window.mapping, window.mapped);
    last = window.last;
    window = Window();
    return true;
}

bool InputReader::Lend(const uint8_t*& data, size_t& length, bool& last) {
    // Files are lent only when their pages are in memory: no turn to wait for.
    wait_ = nullptr;
    data = nullptr;
    length = 0;
    last = true;
    if (!lends_ || read_ >= uint64_t(expected_)) {
        return Fail("nothing left to lend");
    } else if (!MapNext(data, length, last)) {
        return false;
    }
    if (bytesRead_ != nullptr) bytesRead_->store(read_, std::memory_order_relaxed);
    return true;
}

bool InputReader::GiveBack(const uint8_t* data) {
    bool spoiled = false;
    bool last = false;
    if (!Unmap(data, spoiled, last)) return Fail("a window given back that was not lent");
    if (spoiled) {
        // Unreadable bytes in a file that kept its size are the device's failure.
        struct stat st;
        if (::fstat(fd_, &st) == 0 && uint64_t(st.st_size) >= start_ + uint64_t(expected_))
            return Fail(ErrnoText(EIO));
        return Fail("the file shrank while it was being read");
    }
    return !last || Unchanged();
}

bool InputReader::Skip(uint64_t bytes) {
    if (expected_ < 0) return ChunkSource::Skip(bytes) || Fail("the input ended before the offset");
    if (bytes > uint64_t(expected_) - read_) return Fail("the file is shorter than the offset");
    const uint64_t to = read_ + bytes;
    if (::lseek(fd_, off_t(start_ + to), SEEK_SET) < 0) return Fail(ErrnoText(errno));
    read_ = to;
    if (read_ == uint64_t(expected_)) lends_ = false;
    if (bytesRead_ != nullptr) bytesRead_->store(read_, std::memory_order_relaxed);
    return true;
}

ssize_t InputReader::ReadSome(uint8_t* data, size_t capacity) {
#ifdef RWF_NOWAIT
    if (wait_) {
        // What the system holds in memory is read at once; the first read that would go to
        // the device waits for this input's turn.
        struct iovec to = {data, capacity};
        const ssize_t n = ::preadv2(fd_, &to, 1, -1, RWF_NOWAIT);
        if (n > 0 || (n == 0 && read_ >= uint64_t(expected_)) || (n < 0 && errno == EINTR))
            return n;
    }
#endif
    if (wait_) {
        wait_();
        wait_ = nullptr;
    }
    return ::read(fd_, data, capacity);
}

bool InputReader::Read(uint8_t* data, size_t capacity, size_t& length) {
    length = 0;
    // At the end of a file that ends at its size, Unchanged() below tells whether it grew,
    // as a read past its end would.
    const auto atEnd = [this] { return endsAtSize_ && read_ == uint64_t(expected_); };
    while (length < capacity && !atEnd()) {
        ssize_t n = ReadSome(data + length, capacity - length);
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
    if (expected_ < 0 || (length == capacity && (length != 0 || !atEnd()))) return true;
    // The end of a regular file: it must have kept its size and time all along.
    if (read_ < uint64_t(expected_)) return Fail("the file shrank while it was being read");
    return Unchanged();
}
