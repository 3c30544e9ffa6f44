#include "file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

std::string Reason(const char* what, int err) {
    return std::string(what) + ": " + std::strerror(err);
}

// The permissions of the file that path replaces, or those a new file gets.
mode_t ModeFor(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool WriteAll(int fd, const std::string& content, int& err) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const std::string& content, std::string& reason) {
    std::string pattern = path + ".partial-XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        reason = Reason("cannot create a file there", errno);
        return false;
    }
    int err = 0;
    const char* step = nullptr;
    if (::fchmod(fd, ModeFor(path)) != 0) {
        err = errno;
        step = "cannot set its permissions";
    } else if (!WriteAll(fd, content, err)) {
        step = "write failed";
    } else if (::fsync(fd) != 0) {
        err = errno;
        step = "write failed";
    }
    if (::close(fd) != 0 && step == nullptr) {
        err = errno;
        step = "write failed";
    }
    if (step == nullptr && ::rename(temp.data(), path.c_str()) != 0) {
        err = errno;
        step = "cannot replace it";
    }
    if (step != nullptr) {
        ::unlink(temp.data());
        reason = Reason(step, err);
        return false;
    }
    return true;
}
