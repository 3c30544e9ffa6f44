// Reading inputs on Windows: the file_input.h of the wide file calls.  Files are read in
// chunks (nothing is mapped), so memory stays bounded whatever their size.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "common/error_text.h"
#include "system/file_input.h"
#include "system/wide_names.h"

namespace {

const uint8_t kNoBytes[1] = {0};

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

// Opens path ("-": standard input) for reading as a descriptor whose handle is read; -1,
// with the reason, when it cannot be opened or is a directory.
int OpenInput(const std::string& path, std::string& reason) {
    if (path == "-") return 0;
    const std::wstring name = FilePath(path);
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(name.c_str());
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        reason = ErrnoText(folder ? EISDIR : ErrnoOfPath(path, error));
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        reason = ErrnoText(EMFILE);
    }
    return fd;
}

// What a regular file's handle says of it: its size and last write, and where it stands.
struct FileState {
    uint64_t size = 0;
    uint64_t written = 0;  // the last write, in 100 ns ticks
    uint64_t at = 0;       // the offset of the next byte read
};

// The state of the input at fd when it is a regular file; false for pipes, consoles and
// devices, and for a directory (then folder is set).
bool RegularState(int fd, FileState& state, bool& folder) {
    folder = false;
    const HANDLE handle = HandleOf(fd);
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileType(handle) != FILE_TYPE_DISK || ::GetFileInformationByHandle(handle, &info) == 0)
        return false;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        folder = true;
        return false;
    }
    state.size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    state.written =
        uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32 | info.ftLastWriteTime.dwLowDateTime;
    LARGE_INTEGER zero, at;
    zero.QuadPart = 0;
    if (::SetFilePointerEx(handle, zero, &at, FILE_CURRENT) == 0) return false;
    state.at = uint64_t(at.QuadPart);
    return true;
}

// Reads up to capacity bytes at fd; length 0 at the end.  A pipe whose writer is gone is at
// its end.
bool ReadFromHandle(int fd, uint8_t* data, size_t capacity, size_t& length, int& error) {
    DWORD got = 0;
    const DWORD most = DWORD(capacity < (size_t(1) << 30) ? capacity : size_t(1) << 30);
    if (::ReadFile(HandleOf(fd), data, most, &got, nullptr) == 0) {
        const DWORD code = ::GetLastError();
        if (code != ERROR_BROKEN_PIPE && code != ERROR_HANDLE_EOF) {
            error = ErrnoOf(code);
            return false;
        }
        got = 0;
    }
    length = got;
    return true;
}

// Whether path lies on a network share (a mapped drive or a UNC path), which loses by being
// read in several places at once.  A path whose volume cannot be told counts as not.
bool OnNetworkShare(const std::string& path) {
    const std::wstring name = FilePath(path);
    wchar_t root[MAX_PATH + 1];
    if (::GetVolumePathNameW(name.c_str(), root, MAX_PATH + 1) == 0) return false;
    return ::GetDriveTypeW(root) == DRIVE_REMOTE;
}

}  // namespace

InputBytes::~InputBytes() {
    Release();
}

const uint8_t* InputBytes::data() const {
    return heap_ != nullptr ? heap_ : kNoBytes;
}

void InputBytes::Release() {
    std::free(heap_);
    heap_ = nullptr;
    size_ = 0;
}

bool ReadInput(const std::string& path, const InputLimit& limit, InputBytes& bytes,
               std::string& reason, std::atomic<uint64_t>* bytesRead) {
    bytes.Release();
    InputReader reader;
    if (!reader.Open(path, reason, bytesRead)) return false;
    if (reader.Size() > 0 && uint64_t(reader.Size()) > limit.maxBytes) {
        reason = limit.tooLargeReason;
        return false;
    }
    // One byte beyond the limit tells a too-large input from one that just fits.
    const uint64_t most = limit.maxBytes + 1;
    uint64_t capacity = reader.Size() > 0 ? uint64_t(reader.Size()) + 1 : uint64_t(1) << 16;
    if (capacity > most) capacity = most;
    uint8_t* heap = nullptr;
    uint64_t size = 0;
    for (;;) {
        if (heap == nullptr || size == capacity) {
            if (heap != nullptr && capacity == most) break;
            const uint64_t grown = heap == nullptr ? capacity : std::min(capacity * 2, most);
            auto* bigger = static_cast<uint8_t*>(std::realloc(heap, size_t(grown)));
            if (bigger == nullptr) {
                std::free(heap);
                reason = "out of memory";
                return false;
            }
            heap = bigger;
            capacity = grown;
        }
        size_t got = 0;
        if (!reader.Read(heap + size, size_t(capacity - size), got)) {
            std::free(heap);
            reason = reader.Reason();
            return false;
        }
        size += got;
        if (size < capacity) break;
    }
    if (size > limit.maxBytes) {
        std::free(heap);
        reason = limit.tooLargeReason;
        return false;
    }
    bytes.heap_ = heap;
    bytes.size_ = size;
    return true;
}

InputReader::~InputReader() {
    if (owned_) ::_close(fd_);
}

void InputReader::ReadInTurn(ReadOrder order, std::function<void()> wait) {
    order_ = order;
    wait_ = std::move(wait);
}

bool InputReader::Open(const std::string& path, std::string& reason,
                       std::atomic<uint64_t>* bytesRead, bool) {
    bytesRead_ = bytesRead;
    fd_ = OpenInput(path, reason);
    if (fd_ < 0) return false;
    owned_ = path != "-";
    FileState state;
    bool folder = false;
    const bool regular = RegularState(fd_, state, folder);
    // Only regular files take turns, and under auto only those on a network share: Windows
    // does not say here whether a local disk spins (--read-order sequential is for that).
    if (!regular || order_ == ReadOrder::kParallel ||
        (order_ == ReadOrder::kAuto && !OnNetworkShare(path))) {
        wait_ = nullptr;
    }
    if (regular && state.size > 0 && state.at <= state.size) {
        expected_ = int64_t(state.size - state.at);
        start_ = state.at;
        modified_.tv_sec = time_t(state.written / 10000000);
        modified_.tv_nsec = long(state.written % 10000000 * 100);
    } else if (folder) {
        reason = ErrnoText(EISDIR);
        return false;
    }
    return true;
}

bool InputReader::Fail(const std::string& reason) {
    // The first failure is the one that says what happened.
    if (reason_.empty()) reason_ = reason;
    return false;
}

bool InputReader::Unchanged() {
    FileState state;
    bool folder = false;
    if (!RegularState(fd_, state, folder)) return Fail(ErrnoText(EIO));
    const uint64_t end = start_ + uint64_t(expected_);
    if (state.size < end) return Fail("the file shrank while it was being read");
    if (state.size > end) return Fail("the file grew while it was being read");
    if (modified_.tv_sec != time_t(state.written / 10000000) ||
        modified_.tv_nsec != long(state.written % 10000000 * 100)) {
        return Fail("the file changed while it was being read");
    }
    return true;
}

bool InputReader::Lend(const uint8_t*& data, size_t& length, bool& last) {
    data = nullptr;
    length = 0;
    last = true;
    return Fail("nothing left to lend");
}

bool InputReader::GiveBack(const uint8_t*) {
    return Fail("a window given back that was not lent");
}

bool InputReader::Skip(uint64_t bytes) {
    if (expected_ < 0) return ChunkSource::Skip(bytes) || Fail("the input ended before the offset");
    if (bytes > uint64_t(expected_) - read_) return Fail("the file is shorter than the offset");
    const uint64_t to = read_ + bytes;
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(start_ + to);
    if (::SetFilePointerEx(HandleOf(fd_), at, nullptr, FILE_BEGIN) == 0)
        return Fail(ErrnoText(ErrnoOf(::GetLastError())));
    read_ = to;
    if (bytesRead_ != nullptr) bytesRead_->store(read_, std::memory_order_relaxed);
    return true;
}

bool InputReader::Read(uint8_t* data, size_t capacity, size_t& length) {
    length = 0;
    while (length < capacity) {
        size_t got = 0;
        int error = 0;
        if (wait_) {
            wait_();
            wait_ = nullptr;
        }
        if (!ReadFromHandle(fd_, data + length, capacity - length, got, error)) {
            return Fail(ErrnoText(error));
        }
        if (got == 0) break;
        length += got;
        read_ += uint64_t(got);
        if (bytesRead_ != nullptr) bytesRead_->store(read_, std::memory_order_relaxed);
        if (expected_ >= 0 && read_ > uint64_t(expected_))
            return Fail("the file grew while it was being read");
    }
    if (length == capacity || expected_ < 0) return true;
    // The end of a regular file: it must have kept its size and time all along.
    if (read_ < uint64_t(expected_)) return Fail("the file shrank while it was being read");
    return Unchanged();
}
