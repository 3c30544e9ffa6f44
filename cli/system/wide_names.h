// Names between the command line's UTF-8 and the UTF-16 of the Windows file calls.
#ifndef KORVADEX_CLI_WINDOWS_WIDE_NAMES_H
#define KORVADEX_CLI_WINDOWS_WIDE_NAMES_H

#include <windows.h>

#include <string>

// text (UTF-8) as UTF-16; a byte that is not UTF-8 becomes U+FFFD.
std::wstring Widen(const std::string& text);

// text (UTF-16) as UTF-8; a lone surrogate becomes U+FFFD.
std::string Narrow(const wchar_t* text, size_t length);
inline std::string Narrow(const std::wstring& text) {
    return Narrow(text.data(), text.size());
}

// The name the wide file calls take for path: as it is while its full form is short, else
// in full with the "\\?\" start that lifts the limit of 260 characters.
std::wstring FilePath(const std::string& path);

// The errno value nearest to a Windows error code, for ErrnoText.
int ErrnoOf(DWORD error);

// The errno value of error met opening path: as ErrnoOf, but ENOTDIR where a path is not
// found because a folder on it is a file.
int ErrnoOfPath(const std::string& path, DWORD error);

#endif
