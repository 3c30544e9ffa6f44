#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "common/error_text.h"
#include "system/file_input.h"
#include "system/file_output.h"

namespace {

// The temporary files that exist now, for the signal handler: a path is complete before its
// flag is set, and the flag is cleared before the path is reused.  The handler may run on
// any thread, while the thread that writes holds the ending signals back, so the flags and
// gMaking are atomic.
constexpr int kTempSlots = 4;
char gTempPaths[kTempSlots][PATH_MAX];
std::atomic<int> gTempArmed[kTempSlots];
// Set while a temporary file is being made, before its flag can tell of it.
std::atomic<int> gMaking{0};
int gArmedCount = 0;
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads them");

// The signals that end a process by default and that a user sends to stop it.
constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kEndSignalCount = sizeof kEndSignals / sizeof kEndSignals[0];
struct sigaction gPreviousActions[kEndSignalCount];
bool gHandled[kEndSignalCount];

extern "C" void RemoveTempFilesAndStop(int signal) {
    // On another thread than the one making a file, wait until its flag tells of it: that
    // thread holds the signal back, so it runs on to there.
    while (gMaking.load(std::memory_order_acquire) != 0) {
    }
    for (int i = 0; i < kTempSlots; ++i) {
        if (gTempArmed[i].load(std::memory_order_acquire) != 0) ::unlink(gTempPaths[i]);
    }
    // Then the signal is raised again with the action there was before in place: for the
    // default, the process dies of it.
    for (int i = 0; i < kEndSignalCount; ++i) {
        if (kEndSignals[i] == signal) ::sigaction(signal, &gPreviousActions[i], nullptr);
    }
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
}

// Holds the ending signals back on this thread while the list of temporary files changes.
class EndSignalsHeld {
public:
    EndSignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kEndSignals) sigaddset(&set, signal);
        ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~EndSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    EndSignalsHeld(const EndSignalsHeld&) = delete;
    EndSignalsHeld& operator=(const EndSignalsHeld&) = delete;

private:
    sigset_t previous_;
};

// Puts the handler in place of each ending signal's action, which a signal ignored before
// (as under nohup) keeps; RestoreEndSignals puts the actions back.
void HandleEndSignals() {
    for (int i = 0; i < kEndSignalCount; ++i) {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = RemoveTempFilesAndStop;
        sigemptyset(&action.sa_mask);
        ::sigaction(kEndSignals[i], nullptr, &gPreviousActions[i]);
        gHandled[i] = gPreviousActions[i].sa_handler != SIG_IGN;
        if (gHandled[i]) ::sigaction(kEndSignals[i], &action, nullptr);
    }
}

void RestoreEndSignals() {
    for (int i = 0; i < kEndSignalCount; ++i) {
        if (gHandled[i]) ::sigaction(kEndSignals[i], &gPreviousActions[i], nullptr);
    }
}

// Makes the temporary file from pattern (ending in XXXXXX) in a free slot, with the ending
// signals held on this thread.  The handler is in place before the file exists, for a
// signal that another thread takes.  Returns the descriptor, or -1 with errno set.
int CreateArmedTemp(const std::string& pattern, int& slot) {
    if (pattern.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return -1;
    }
    slot = -1;
    for (int i = 0; i < kTempSlots && slot < 0; ++i) {
        if (gTempArmed[i].load(std::memory_order_relaxed) == 0) slot = i;
    }
    if (slot < 0) {
        errno = EMFILE;
        return -1;
    }
    if (gArmedCount == 0) HandleEndSignals();
    gMaking.store(1, std::memory_order_release);
    std::memcpy(gTempPaths[slot], pattern.c_str(), pattern.size() + 1);
    const int fd = ::mkostemp(gTempPaths[slot], O_CLOEXEC);
    const int error = errno;
    if (fd >= 0) {
        gTempArmed[slot].store(1, std::memory_order_release);
        ++gArmedCount;
    }
    gMaking.store(0, std::memory_order_release);
    if (fd < 0 && gArmedCount == 0) RestoreEndSignals();
    errno = error;
    return fd;
}

void Disarm(int slot) {
    gTempArmed[slot].store(0, std::memory_order_release);
    if (--gArmedCount == 0) RestoreEndSignals();
}

// The folder part of path with its last '/', or "" for a bare name.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows path through every symbolic link; exists tells whether the last name is there
// (st then describes it).
bool Resolve(const std::string& path, std::string& target, struct stat& st, bool& exists,
             std::string& reason) {
    constexpr int kMaxLinks = 40;
    target = path;
    for (int links = 0;; ++links) {
        if (::lstat(target.c_str(), &st) != 0) {
            exists = false;
            if (errno == ENOENT) return true;
            reason = ErrnoText(errno);
            return false;
        }
        exists = true;
        if (!S_ISLNK(st.st_mode)) return true;
        if (links == kMaxLinks) {
            reason = ErrnoText(ELOOP);
            return false;
        }
        char next[PATH_MAX];
        const ssize_t length = ::readlink(target.c_str(), next, sizeof next);
        if (length < 0 || size_t(length) == sizeof next) {
            reason = ErrnoText(length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        const std::string linked(next, size_t(length));
        target = linked[0] == '/' ? linked : FolderOf(target) + linked;
    }
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size != 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Gives a new file the owner, group and mode of the file it replaces, as far as the system
// lets this process; a file of a new name gets the mode the umask leaves.
bool TakeOver(int fd, bool replacing, const struct stat& old) {
    if (!replacing) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return ::fchmod(fd, 0666 & ~mask) == 0;
    }
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not the owner's to give: keep at least the group where it is one of ours.
        (void)!::fchown(fd, uid_t(-1), old.st_gid);
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// Opens what is at path, described by st and not a regular file, to be written as it is: a
// FIFO or a character device; anything else is refused.  Returns the descriptor, or -1.
int OpenAsItIs(const std::string& path, const struct stat& st, std::string& reason) {
    if (S_ISDIR(st.st_mode)) {
        reason = "is a directory";
    } else if (S_ISBLK(st.st_mode)) {
        reason = "is a block device, which is not written over";
    } else if (S_ISSOCK(st.st_mode)) {
        reason = "is a socket";
    } else {
        const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) reason = ErrnoText(errno);
        return fd;
    }
    return -1;
}

}  // namespace

void OutputFile::Abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (slot_ >= 0) {
        EndSignalsHeld held;
        ::unlink(temp_.c_str());
        Disarm(slot_);
        slot_ = -1;
    }
    temp_.clear();
}

bool OutputFile::Open(const std::string& path, std::string& reason) {
    Abandon();
    struct stat st;
    bool exists = false;
    // What is not a regular file is opened through the path as given, so that the links of
    // /proc/self/fd, whose text names no path for a pipe, lead there too.
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        fd_ = OpenAsItIs(path, st, reason);
        return fd_ >= 0;
    }
    if (!Resolve(path, target_, st, exists, reason)) return false;
    if (exists && !S_ISREG(st.st_mode)) {
        fd_ = OpenAsItIs(target_, st, reason);
        return fd_ >= 0;
    }
    if (exists && st.st_nlink > 1) {
        reason = "has " + std::to_string(st.st_nlink) +
                 " names (hard links); replacing it would part it from the others, and writing "
                 "into it could leave them all half written";
        return false;
    }
    {
        EndSignalsHeld held;
        fd_ = CreateArmedTemp(FolderOf(target_) + ".korvadex-XXXXXX", slot_);
        if (fd_ >= 0) temp_ = gTempPaths[slot_];
    }
    if (fd_ < 0) {
        reason = "cannot create a file " +
                 (target_ == path ? std::string("there") : "beside its target " + target_) + ": " +
                 ErrnoText(errno);
        return false;
    }
    if (!TakeOver(fd_, exists, st))
        return Fail("cannot set its permissions: " + ErrnoText(errno), reason);
    return true;
}

bool OutputFile::Write(const char* data, size_t size, std::string& reason) {
    if (fd_ < 0) return Fail("not open", reason);
    if (!WriteAll(fd_, data, size)) return Fail("write failed: " + ErrnoText(errno), reason);
    return true;
}

bool OutputFile::Commit(std::string& reason) {
    if (fd_ < 0) return Fail("not open", reason);
    if ((slot_ >= 0 && ::fsync(fd_) != 0) || ::close(fd_) != 0) {
        fd_ = -1;
        return Fail("write failed: " + ErrnoText(errno), reason);
    }
    fd_ = -1;
    if (slot_ < 0) return true;
    bool renamed = false;
    {
        EndSignalsHeld held;
        renamed = ::rename(temp_.c_str(), target_.c_str()) == 0;
        if (!renamed) {
            reason = "cannot replace it: " + ErrnoText(errno);
            ::unlink(temp_.c_str());
        }
        Disarm(slot_);
        slot_ = -1;
        temp_.clear();
    }
    if (!renamed) return false;
    // The new name is on disk too, not only the bytes.
    const std::string folder = FolderOf(target_);
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
