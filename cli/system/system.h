// The few facilities of the system that the commands use beside reading, writing and walking
// files: the arguments, the standard streams, the current folder and what a path names.
// system.cpp implements them for POSIX systems, windows/system_windows.cpp for Windows.
// Names are UTF-8 on every system.
#ifndef KORVADEX_CLI_SYSTEM_H
#define KORVADEX_CLI_SYSTEM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/file_record.h"

// Whether '\\' separates folders in names as '/' does (Windows), rather than being a
// character of a name.
#ifdef _WIN32
constexpr bool kBackslashSeparates = true;
#else
constexpr bool kBackslashSeparates = false;
#endif

// The arguments after the program's name, in UTF-8.  Call once, first: it also readies the
// standard streams to carry bytes as they are.
std::vector<std::string> ProgramArguments(int argc, char** argv);

enum class StandardStream { kInput, kOutput, kError };

// Whether the stream is a terminal (a console on Windows).
bool IsTerminal(StandardStream stream);

// The width of the terminal that standard error shows, in columns; 80 when it is not known.
size_t TerminalColumns();

// Writes text to the terminal on standard error at once, unbuffered (the progress line).
void WriteToTerminal(const std::string& text);

// Writes text (UTF-8) to the stream as characters when it is a console that takes them so
// (Windows), whatever its code page; returns false, writing nothing, when the stream takes
// bytes (a file, a pipe, a terminal of a POSIX system).
bool WriteToConsole(StandardStream stream, const std::string& text);

// The current folder, "." when it cannot be told.
std::string CurrentFolder();

// What a path names, links followed.
enum class PathKind {
    kMissing,    // nothing is there
    kUnknown,    // it could not be looked up (no permission, a loop of links, ...)
    kRegular,    // a regular file
    kDirectory,  // a directory
    kOther,      // a device, a FIFO, a socket
};
struct PathStatus {
    PathKind kind = PathKind::kUnknown;
    uint64_t size = 0;  // the size of a regular file
};
PathStatus LookUpPath(const std::string& path);

// The modification time of the regular file at path (links followed).  False for standard
// input ("-"), anything but a regular file, and a path that cannot be looked up.
bool ModificationTime(const std::string& path, FileTime& time);

// What tells the regular file at path (links followed) from any other on the system: its
// device and file number, as text; "" when it cannot be looked up.
std::string FileIdentity(const std::string& path);

// Sets the modification time of the regular file at path (links followed); false, with
// errno set, when it cannot.
bool SetModificationTime(const std::string& path, const FileTime& time);

// Makes the folder at path; false, with errno set (EEXIST when something is there), when it
// cannot.
bool MakeDirectory(const std::string& path);

// Renames the file or folder at from to to, which must not exist: an entry already at to is
// never replaced.  False, with errno set (EEXIST when to exists), when it cannot.
bool RenameWithoutReplacing(const std::string& from, const std::string& to);

// Whether other names a regular file that is the input at path ("-": standard input)
// itself, under this or another name.
bool IsSameRegularFile(const std::string& path, const std::string& other);

// name as UTF-8: as it is when it is UTF-8 or the system has no ANSI code page (POSIX), else
// read in the ANSI code page (Windows), in which the Windows program writes names.
std::string FromAnsiCodePage(const std::string& name);

// Whether text matches the shell glob pattern ('*', '?', "[...]" and '\\' escapes), as
// POSIX fnmatch matches it; with pathname set, no wildcard matches a '/'.
bool MatchesGlob(const std::string& pattern, const std::string& text, bool pathname);

// Reads the next line of file into buffer (grown with std::realloc as needed), its '\n'
// included when it has one, as POSIX getline does; returns its length, or -1 at the end of
// the file or on an error.
long ReadLine(FILE* file, char*& buffer, size_t& capacity);

// Opens the file at path for reading bytes, as std::fopen(path, "rb") does; on failure
// returns nullptr with errno set.
FILE* OpenForReading(const std::string& path);

// Opens the file at path for writing bytes, as std::fopen(path, "wb") does, or with append
// set as std::fopen(path, "ab"); on failure returns nullptr with errno set.
FILE* OpenForWriting(const std::string& path, bool append);

// Removes the file at path; false, with errno set, when it cannot.
bool RemoveFile(const std::string& path);

// A new file for scratch data, open for reading and writing bytes, in the folder TMPDIR names
// (TMP or TEMP on Windows), else the system's; it has no name left and goes when closed.  On
// failure returns nullptr with errno set.
FILE* OpenScratchFile();

#endif
