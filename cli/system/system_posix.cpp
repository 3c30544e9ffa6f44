// The system facilities of system.h on POSIX systems.
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "system/system.h"

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

bool IsTerminal(StandardStream stream) {
    switch (stream) {
        case StandardStream::kInput:
            return ::isatty(STDIN_FILENO) == 1;
        case StandardStream::kOutput:
            return ::isatty(STDOUT_FILENO) == 1;
        case StandardStream::kError:
            return ::isatty(STDERR_FILENO) == 1;
    }
    return false;
}

size_t TerminalColumns() {
    struct winsize size;
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void WriteToTerminal(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += size_t(n);
    }
}

bool WriteToConsole(StandardStream, const std::string&) {
    return false;
}

std::string CurrentFolder() {
    char* folder = ::getcwd(nullptr, 0);
    const std::string text = folder != nullptr ? folder : ".";
    std::free(folder);
    return text;
}

PathStatus LookUpPath(const std::string& path) {
    PathStatus status;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        status.kind = errno == ENOENT ? PathKind::kMissing : PathKind::kUnknown;
    } else if (S_ISREG(st.st_mode)) {
        status.kind = PathKind::kRegular;
        status.size = uint64_t(st.st_size);
    } else {
        status.kind = S_ISDIR(st.st_mode) ? PathKind::kDirectory : PathKind::kOther;
    }
    return status;
}

bool ModificationTime(const std::string& path, FileTime& time) {
    struct stat st;
    if (path == "-" || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    time.seconds = int64_t(st.st_mtim.tv_sec);
    time.nanoseconds = uint32_t(st.st_mtim.tv_nsec);
    return true;
}

std::string FileIdentity(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
    return std::to_string(uint64_t(st.st_dev)) + ":" + std::to_string(uint64_t(st.st_ino));
}

bool SetModificationTime(const std::string& path, const FileTime& time) {
    const struct timespec times[2] = {{0, UTIME_OMIT},
                                      {time_t(time.seconds), long(time.nanoseconds)}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool IsSameRegularFile(const std::string& path, const std::string& other) {
    struct stat input, st;
    return (path == "-" ? ::fstat(STDIN_FILENO, &input) : ::stat(path.c_str(), &input)) == 0 &&
           ::stat(other.c_str(), &st) == 0 && input.st_dev == st.st_dev &&
           input.st_ino == st.st_ino && S_ISREG(st.st_mode);
}

std::string FromAnsiCodePage(const std::string& name) {
    return name;
}

bool MatchesGlob(const std::string& pattern, const std::string& text, bool pathname) {
    return ::fnmatch(pattern.c_str(), text.c_str(), pathname ? FNM_PATHNAME : 0) == 0;
}

long ReadLine(FILE* file, char*& buffer, size_t& capacity) {
    return long(::getline(&buffer, &capacity, file));
}

FILE* OpenForReading(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

FILE* OpenScratchFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    pattern += "/korvadex.XXXXXX";
    const int fd = ::mkstemp(&pattern[0]);
    if (fd < 0) return nullptr;
    ::unlink(pattern.c_str());
    FILE* file = ::fdopen(fd, "w+b");
    if (file == nullptr) ::close(fd);
    return file;
}

FILE* OpenForWriting(const std::string& path, bool append) {
    return std::fopen(path.c_str(), append ? "ab" : "wb");
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system that cannot rename so: a second name, which link never puts over another,
    // and then the first one gone.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    if (::unlink(from.c_str()) == 0) return true;
    const int err = errno;
    ::unlink(to.c_str());
    errno = err;
    return false;
}

bool MakeDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}
