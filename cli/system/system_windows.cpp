// The system facilities of system.h on Windows: names through the wide calls, the console
// through the console calls.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "system/system.h"
#include "system/wide_names.h"

namespace {

HANDLE StandardHandle(StandardStream stream) {
    switch (stream) {
        case StandardStream::kInput:
            return ::GetStdHandle(STD_INPUT_HANDLE);
        case StandardStream::kOutput:
            return ::GetStdHandle(STD_OUTPUT_HANDLE);
        case StandardStream::kError:
            return ::GetStdHandle(STD_ERROR_HANDLE);
    }
    return INVALID_HANDLE_VALUE;
}

// The identity of the file open at handle; false when it is not a file on a disk.
bool IdentityOf(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
    return handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_DISK &&
           ::GetFileInformationByHandle(handle, &info) != 0;
}

HANDLE OpenToLookUp(const std::string& path) {
    return ::CreateFileW(FilePath(path).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

std::vector<std::string> ProgramArguments(int, char**) {
    // Bytes pass through the standard streams as they are: no CRLF for LF, no end at ^Z.
    for (FILE* stream : {stdin, stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
    // The progress line redraws itself with the terminal sequences.
    DWORD mode = 0;
    const HANDLE error = StandardHandle(StandardStream::kError);
    if (::GetConsoleMode(error, &mode) != 0) {
        ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> result;
    for (int i = 1; i < count; ++i) result.push_back(Narrow(arguments[i], wcslen(arguments[i])));
    ::LocalFree(arguments);
    return result;
}

bool IsTerminal(StandardStream stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(StandardHandle(stream), &mode) != 0;
}

size_t TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (::GetConsoleScreenBufferInfo(StandardHandle(StandardStream::kError), &info) != 0 &&
        info.srWindow.Right > info.srWindow.Left) {
        return size_t(info.srWindow.Right - info.srWindow.Left + 1);
    }
    return 80;
}

bool WriteToConsole(StandardStream stream, const std::string& text) {
    const HANDLE handle = StandardHandle(stream);
    DWORD mode = 0;
    if (::GetConsoleMode(handle, &mode) == 0) return false;
    const std::wstring wide = Widen(text);
    for (size_t done = 0; done < wide.size();) {
        DWORD written = 0;
        const DWORD part = DWORD(std::min<size_t>(wide.size() - done, 16384));
        if (::WriteConsoleW(handle, wide.data() + done, part, &written, nullptr) == 0 ||
            written == 0) {
            break;
        }
        done += written;
    }
    return true;
}

void WriteToTerminal(const std::string& text) {
    WriteToConsole(StandardStream::kError, text);
}

std::string CurrentFolder() {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    const DWORD length = size == 0 ? 0 : ::GetCurrentDirectoryW(size, &folder[0]);
    if (length == 0 || length >= size) return ".";
    return Narrow(folder.data(), length);
}

std::string FromAnsiCodePage(const std::string& name) {
    if (name.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(),
                                              int(name.size()), nullptr, 0) != 0) {
        return name;
    }
    const int length = ::MultiByteToWideChar(CP_ACP, 0, name.data(), int(name.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, name.data(), int(name.size()), &wide[0], length);
    return Narrow(wide);
}

PathStatus LookUpPath(const std::string& path) {
    PathStatus status;
    const HANDLE handle = OpenToLookUp(path);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        status.kind = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                          ? PathKind::kMissing
                          : PathKind::kUnknown;
        return status;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!IdentityOf(handle, info)) {
        status.kind = PathKind::kOther;
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        status.kind = PathKind::kDirectory;
    } else {
        status.kind = PathKind::kRegular;
        status.size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    }
    ::CloseHandle(handle);
    return status;
}

// FILETIME counts 100 ns ticks from 1601; FileTime counts seconds from 1970.
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

bool ModificationTime(const std::string& path, FileTime& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path == "-" ||
        ::GetFileAttributesExW(FilePath(path).c_str(), GetFileExInfoStandard, &data) == 0 ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    const int64_t ticks = int64_t(uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 |
                                  data.ftLastWriteTime.dwLowDateTime);
    time.seconds = ticks / kTicksPerSecond - kSecondsFrom1601To1970;
    time.nanoseconds = uint32_t(ticks % kTicksPerSecond * 100);
    return true;
}

std::string FileIdentity(const std::string& path) {
    const HANDLE handle = ::CreateFileW(FilePath(path).c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return "";
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    if (!known) return "";
    return std::to_string(info.dwVolumeSerialNumber) + ":" +
           std::to_string(uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow);
}

bool SetModificationTime(const std::string& path, const FileTime& time) {
    const HANDLE handle = ::CreateFileW(FilePath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(::GetLastError());
        return false;
    }
    const uint64_t ticks = uint64_t((time.seconds + kSecondsFrom1601To1970) * kTicksPerSecond +
                                    time.nanoseconds / 100);
    FILETIME written;
    written.dwLowDateTime = DWORD(ticks);
    written.dwHighDateTime = DWORD(ticks >> 32);
    const bool ok = ::SetFileTime(handle, nullptr, nullptr, &written) != 0;
    if (!ok) errno = ErrnoOf(::GetLastError());
    ::CloseHandle(handle);
    return ok;
}

bool IsSameRegularFile(const std::string& path, const std::string& other) {
    const HANDLE input = path == "-" ? StandardHandle(StandardStream::kInput) : OpenToLookUp(path);
    const HANDLE handle = OpenToLookUp(other);
    BY_HANDLE_FILE_INFORMATION a, b;
    const bool same = IdentityOf(input, a) && IdentityOf(handle, b) &&
                      (b.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    if (path != "-" && input != INVALID_HANDLE_VALUE) ::CloseHandle(input);
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    return same;
}

namespace {

// Whether the bracket expression at pattern[at] (just after its '[') takes c; end gets the
// index after its ']', or npos when it has none (then the '[' is an ordinary character).
bool BracketTakes(const std::string& pattern, size_t at, char c, size_t& end) {
    const bool negated = at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^');
    if (negated) ++at;
    bool taken = false;
    for (size_t i = at; i < pattern.size(); ++i) {
        if (pattern[i] == ']' && i > at) {
            end = i + 1;
            return taken != negated;
        }
        char low = pattern[i];
        if (low == '\\' && i + 1 < pattern.size()) low = pattern[++i];
        char high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            high = pattern[i + 2];
            if (high == '\\' && i + 3 < pattern.size()) high = pattern[++i + 2];
            i += 2;
        }
        if (uint8_t(low) <= uint8_t(c) && uint8_t(c) <= uint8_t(high)) taken = true;
    }
    end = std::string::npos;
    return false;
}

bool GlobAt(const std::string& pattern, size_t p, const std::string& text, size_t t,
            bool pathname) {
    while (p < pattern.size()) {
        const char want = pattern[p];
        if (want == '*') {
            while (p < pattern.size() && pattern[p] == '*') ++p;
            if (p == pattern.size()) {
                return !pathname || text.find('/', t) == std::string::npos;
            }
            for (size_t from = t; from <= text.size(); ++from) {
                if (GlobAt(pattern, p, text, from, pathname)) return true;
                if (from < text.size() && pathname && text[from] == '/') return false;
            }
            return false;
        }
        if (t == text.size()) return false;
        const char c = text[t];
        if (want == '?') {
            if (pathname && c == '/') return false;
            ++p;
        } else if (want == '[') {
            size_t end = 0;
            const bool taken = BracketTakes(pattern, p + 1, c, end);
            if (end == std::string::npos) {
                if (c != '[') return false;
                ++p;
            } else {
                if (!taken || (pathname && c == '/')) return false;
                p = end;
            }
        } else {
            const char literal = want == '\\' && p + 1 < pattern.size() ? pattern[++p] : want;
            if (literal != c) return false;
            ++p;
        }
        ++t;
    }
    return t == text.size();
}

}  // namespace

bool MatchesGlob(const std::string& pattern, const std::string& text, bool pathname) {
    return GlobAt(pattern, 0, text, 0, pathname);
}

long ReadLine(FILE* file, char*& buffer, size_t& capacity) {
    _lock_file(file);
    size_t length = 0;
    int c = 0;
    while ((c = _getc_nolock(file)) != EOF) {
        if (length + 2 > capacity) {
            const size_t grown = capacity < 128 ? 128 : capacity * 2;
            auto* bigger = static_cast<char*>(std::realloc(buffer, grown));
            if (bigger == nullptr) {
                errno = ENOMEM;
                break;
            }
            buffer = bigger;
            capacity = grown;
        }
        buffer[length++] = char(c);
        if (c == '\n') break;
    }
    _unlock_file(file);
    if (length == 0) return -1;
    buffer[length] = '\0';
    return long(length);
}

FILE* OpenForReading(const std::string& path) {
    FILE* file = ::_wfopen(FilePath(path).c_str(), L"rb");
    if (file == nullptr && errno == EACCES && LookUpPath(path).kind == PathKind::kDirectory) {
        errno = EISDIR;
    }
    return file;
}

FILE* OpenForWriting(const std::string& path, bool append) {
    return ::_wfopen(FilePath(path).c_str(), append ? L"ab" : L"wb");
}

FILE* OpenScratchFile() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t path[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || ::GetTempFileNameW(folder, L"kvx", 0, path) == 0) {
        errno = ErrnoOf(::GetLastError());
        return nullptr;
    }
    // "D": the file is deleted when it is closed, or when the program ends.
    FILE* file = ::_wfopen(path, L"w+bD");
    if (file == nullptr) ::DeleteFileW(path);
    return file;
}

bool RemoveFile(const std::string& path) {
    if (::DeleteFileW(FilePath(path).c_str()) != 0) return true;
    errno = ErrnoOf(::GetLastError());
    return false;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING, an entry at to makes the call fail.
    if (::MoveFileExW(FilePath(from).c_str(), FilePath(to).c_str(), 0) != 0) return true;
    errno = ErrnoOf(::GetLastError());
    return false;
}

bool MakeDirectory(const std::string& path) {
    if (::CreateDirectoryW(FilePath(path).c_str(), nullptr) != 0) return true;
    errno = ErrnoOf(::GetLastError());
    return false;
}
