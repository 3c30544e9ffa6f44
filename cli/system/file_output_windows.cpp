// Writing files on Windows: the file_output.h of the wide file calls.  A file is made
// complete under a temporary name in its folder and moved over the old one with
// MoveFileExW; a console or a device (NUL, CON) is written as it is; a folder, or a file with
// several names, is refused.  A link is followed to the file it names, which is replaced.
// Ctrl+C or the console's closing removes a temporary file not yet moved into place.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <mutex>

#include "common/error_text.h"
#include "system/file_input.h"
#include "system/file_output.h"
#include "system/wide_names.h"

namespace {

// The temporary files that exist now, for the console's handler, which runs on a thread of
// its own.
constexpr int kTempSlots = 4;
std::mutex gTempLock;
std::wstring gTempPaths[kTempSlots];
bool gTempArmed[kTempSlots];
bool gHandlerSet = false;

BOOL WINAPI RemoveTempFiles(DWORD) {
    std::lock_guard<std::mutex> hold(gTempLock);
    for (int i = 0; i < kTempSlots; ++i) {
        if (gTempArmed[i]) ::DeleteFileW(gTempPaths[i].c_str());
    }
    return FALSE;  // the next handler, the default one at last, ends the process
}

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

int Descriptor(HANDLE handle, std::string& reason) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        reason = ErrnoText(EMFILE);
    }
    return fd;
}

std::string LastErrorText() {
    return ErrnoText(ErrnoOf(::GetLastError()));
}

// The folder part of a wide path with its last separator, or "" for a bare name.
std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) return path.substr(0, slash + 1);
    return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : std::wstring();
}

// Makes a temporary file in folder, listed for the console's handler.  Returns its handle
// and slot, or INVALID_HANDLE_VALUE with the error.
HANDLE CreateArmedTemp(const std::wstring& folder, std::wstring& path, int& slot) {
    std::lock_guard<std::mutex> hold(gTempLock);
    slot = -1;
    for (int i = 0; i < kTempSlots && slot < 0; ++i) {
        if (!gTempArmed[i]) slot = i;
    }
    if (slot < 0) {
        ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return INVALID_HANDLE_VALUE;
    }
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned mark = ::GetCurrentProcessId() * 2654435761u ^ ::GetTickCount() ^ ++counter;
        wchar_t name[32];
        swprintf(name, 32, L".korvadex-%08x", mark);
        path = folder + name;
        const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS) continue;
        if (handle == INVALID_HANDLE_VALUE) return handle;
        gTempPaths[slot] = path;
        gTempArmed[slot] = true;
        if (!gHandlerSet) gHandlerSet = ::SetConsoleCtrlHandler(RemoveTempFiles, TRUE) != 0;
        return handle;
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

void Disarm(int slot) {
    std::lock_guard<std::mutex> hold(gTempLock);
    gTempArmed[slot] = false;
}

// The final path of the file open at handle, links followed.
bool FinalPath(HANDLE handle, std::wstring& path) {
    const DWORD size = ::GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
    if (size == 0) return false;
    path.assign(size, L'\0');
    const DWORD length = ::GetFinalPathNameByHandleW(handle, &path[0], size, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= size) return false;
    path.resize(length);
    return true;
}

}  // namespace

void OutputFile::Abandon() {
    if (fd_ >= 0) ::_close(fd_);
    fd_ = -1;
    if (slot_ >= 0) {
        ::DeleteFileW(Widen(temp_).c_str());
        Disarm(slot_);
        slot_ = -1;
    }
    temp_.clear();
}

bool OutputFile::Open(const std::string& path, std::string& reason) {
    Abandon();
    const std::wstring name = FilePath(path);
    std::wstring target = name;
    bool replacing = false;
    const HANDLE existing = ::CreateFileW(
        name.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (existing != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info;
        const DWORD type = ::GetFileType(existing);
        const bool known = type == FILE_TYPE_DISK && ::GetFileInformationByHandle(existing, &info);
        const bool final = known && FinalPath(existing, target);
        ::CloseHandle(existing);
        if (type != FILE_TYPE_DISK) {
            // A console, a device or a pipe: written as it is, never replaced.
            const HANDLE device =
                ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
            if (device == INVALID_HANDLE_VALUE) {
                reason = LastErrorText();
                return false;
            }
            fd_ = Descriptor(device, reason);
            return fd_ >= 0;
        }
        if (!known || !final) {
            reason = LastErrorText();
            return false;
        }
        if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            reason = "is a directory";
            return false;
        }
        if (info.nNumberOfLinks > 1) {
            reason = "has " + std::to_string(info.nNumberOfLinks) +
                     " names (hard links); replacing it would part it from the others, and "
                     "writing into it could leave them all half written";
            return false;
        }
        replacing = true;
    } else {
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            reason = "a link that leads nowhere; not written through";
            return false;
        }
        // A missing folder fails below, where the file is made.
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            reason = ErrnoText(ErrnoOf(error));
            return false;
        }
    }
    std::wstring temp;
    const HANDLE handle = CreateArmedTemp(FolderOf(target), temp, slot_);
    if (handle == INVALID_HANDLE_VALUE) {
        slot_ = -1;
        reason = "cannot create a file " +
                 (replacing && target != name ? "beside its target " + Narrow(target)
                                              : std::string("there")) +
                 ": " + LastErrorText();
        return false;
    }
    target_ = Narrow(target);
    temp_ = Narrow(temp);
    fd_ = Descriptor(handle, reason);
    if (fd_ < 0) Abandon();
    return fd_ >= 0;
}

bool OutputFile::Write(const char* data, size_t size, std::string& reason) {
    if (fd_ < 0) return Fail("not open", reason);
    while (size != 0) {
        DWORD written = 0;
        const DWORD part = DWORD(size < (size_t(1) << 30) ? size : size_t(1) << 30);
        if (::WriteFile(HandleOf(fd_), data, part, &written, nullptr) == 0 || written == 0) {
            return Fail("write failed: " + LastErrorText(), reason);
        }
        data += written;
        size -= written;
    }
    return true;
}

bool OutputFile::Commit(std::string& reason) {
    if (fd_ < 0) return Fail("not open", reason);
    if (slot_ >= 0 && ::FlushFileBuffers(HandleOf(fd_)) == 0) {
        return Fail("write failed: " + LastErrorText(), reason);
    }
    ::_close(fd_);
    fd_ = -1;
    if (slot_ < 0) return true;
    const std::wstring temp = Widen(temp_);
    if (::MoveFileExW(temp.c_str(), Widen(target_).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        return Fail("cannot replace it: " + LastErrorText(), reason);
    }
    Disarm(slot_);
    slot_ = -1;
    temp_.clear();
    return true;
}
