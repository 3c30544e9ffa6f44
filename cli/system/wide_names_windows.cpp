#include <cerrno>

#include "system/wide_names.h"

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0], length);
    return wide;
}

std::string Narrow(const wchar_t* text, size_t length) {
    if (length == 0) return std::string();
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(size_t(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), &narrow[0], size, nullptr, nullptr);
    return narrow;
}

std::wstring FilePath(const std::string& path) {
    std::wstring wide = Widen(path);
    if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return wide;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
    // Below MAX_PATH, less room for a name the system appends (a folder's "\*"), a name
    // passes as given; so does a device ("\\.\NUL").
    if (length == 0 || length >= size || length < 240 || full.compare(0, 4, L"\\\\.\\") == 0) {
        return wide;
    }
    full.resize(length);
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

int ErrnoOfPath(const std::string& path, DWORD error) {
    if (error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY) {
        for (size_t end = path.find_last_of("/\\"); end != std::string::npos && end > 0;
             end = path.find_last_of("/\\", end - 1)) {
            const DWORD attributes = ::GetFileAttributesW(FilePath(path.substr(0, end)).c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES) continue;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ENOTDIR;
            break;
        }
    }
    return ErrnoOf(error);
}

int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_INVALID_NAME:  // a name no file can have
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DIRECTORY:
            return EISDIR;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
            return EPIPE;
        default:
            return EIO;
    }
}
