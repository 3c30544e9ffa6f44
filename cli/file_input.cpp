#include "file_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string ErrnoText(int err) {
    switch (err) {
        case ENOENT:
            return "no such file";
        case EACCES:
            return "permission denied";
        case EISDIR:
            return "is a directory";
        default:
            return std::strerror(err);
    }
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = ErrnoText(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        reason = ErrnoText(errno);
        ::close(fd);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        reason = ErrnoText(EISDIR);
        ::close(fd);
        return false;
    }
    if (S_ISREG(st.st_mode) && uint64_t(st.st_size) > kMaxInputBytes) {
        reason = "too large (4 GiB or more)";
        ::close(fd);
        return false;
    }
    bytes.clear();
    if (S_ISREG(st.st_mode)) bytes.reserve(size_t(st.st_size));
    uint8_t chunk[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            reason = ErrnoText(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        if (bytes.size() + size_t(n) > kMaxInputBytes) {
            reason = "too large (4 GiB or more)";
            ::close(fd);
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    ::close(fd);
    return true;
}
