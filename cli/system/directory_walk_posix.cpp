#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "common/error_text.h"
#include "system/directory_walk.h"
#include "system/file_input.h"

namespace {

using DirectoryId = std::pair<dev_t, ino_t>;

// Where the walk puts what it finds: the paths of the files, or every entry.
struct Found {
    std::vector<std::string>* files;
    std::vector<TreeEntry>* entries;
};

// The target of the symbolic link at path; false, with errno set, when it cannot be read.
bool ReadLinkTarget(const std::string& path, std::string& target) {
    std::vector<char> buffer(256);
    while (true) {
        const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0) return false;
        if (size_t(length) < buffer.size()) {
            target.assign(buffer.data(), size_t(length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// What an entry that is neither a file, a directory nor a link is, for a message.
const char* OtherKind(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "neither a file, a directory nor a link";
}

// dir, named relative below the operand ("" for the operand itself), at depth below it.
// ancestors: the directories from the top down to dir, so that a link back up is not
// entered again; ancestors[0] is the operand's.
bool Walk(const std::string& dir, const std::string& relative, long depth, const WalkOptions& walk,
          std::vector<DirectoryId>& ancestors, const Found& found) {
    DIR* handle = ::opendir(dir.c_str());
    if (handle == nullptr) {
        walk.complain(dir, std::strerror(errno));
        return false;
    }
    // Each name, and whether the directory says it is a regular file.
    std::vector<std::pair<std::string, bool>> names;
    errno = 0;
    while (const dirent* entry = ::readdir(handle)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
#ifdef _DIRENT_HAVE_D_TYPE
        names.emplace_back(name, entry->d_type == DT_REG);
#else
        names.emplace_back(name, false);
#endif
    }
    const int readError = errno;
    ::closedir(handle);
    if (readError != 0) {
        walk.complain(dir, std::strerror(readError));
        return false;
    }
    std::sort(names.begin(), names.end());
    const std::string prefix = dir.back() == '/' ? dir : dir + "/";
    bool ok = true;
    for (const auto& [name, regular] : names) {
        const std::string path = prefix + name;
        const std::string below = relative.empty() ? name : relative + "/" + name;
        struct stat st;
        if (regular && walk.bytes == nullptr) {
            // Nothing of a file but its type is needed, and the directory gave it: no lookup,
            // which over many small files costs as much as hashing them.
            st.st_mode = S_IFREG;
        } else if (::lstat(path.c_str(), &st) != 0) {
            walk.complain(path, std::strerror(errno));
            ok = false;
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            if (!walk.follow) {
                if (found.entries == nullptr || (walk.takes && !walk.takes(below, false))) {
                    continue;
                }
                TreeEntry link{TreeEntry::Kind::kLink, path, below, "", ""};
                if (!ReadLinkTarget(path, link.target)) {
                    walk.complain(path, ErrnoText(errno));
                    ok = false;
                    continue;
                }
                found.entries->push_back(std::move(link));
                continue;
            }
            if (::stat(path.c_str(), &st) != 0) {
                // What the patterns leave out is not looked at, even where it leads nowhere.
                if (walk.takes && !walk.takes(below, false)) continue;
                walk.complain(path, errno == ENOENT
                                        ? "a dangling symbolic link: what it names is not there"
                                        : ErrnoText(errno));
                ok = false;
                continue;
            }
        }
        const bool directory = S_ISDIR(st.st_mode);
        if (walk.takes && !walk.takes(below, directory)) continue;
        if (!directory && !S_ISREG(st.st_mode)) {
            if (found.entries != nullptr) {
                found.entries->push_back(
                    {TreeEntry::Kind::kOther, path, below, "", OtherKind(st.st_mode)});
            }
            continue;
        }
        if (!directory) {
            if (found.entries != nullptr) {
                found.entries->push_back({TreeEntry::Kind::kFile, path, below, "", ""});
            } else {
                found.files->push_back(path);
            }
            if (walk.bytes != nullptr) *walk.bytes += uint64_t(st.st_size);
            continue;
        }
        if (found.entries != nullptr) {
            found.entries->push_back({TreeEntry::Kind::kDirectory, path, below, "", ""});
        }
        if ((walk.maxDepth >= 0 && depth + 1 >= walk.maxDepth) ||
            (walk.oneFileSystem && st.st_dev != ancestors[0].first)) {
            continue;
        }
        const DirectoryId id{st.st_dev, st.st_ino};
        if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
            walk.complain(path, "a link to a directory above it; not entered again");
            ok = false;
            continue;
        }
        ancestors.push_back(id);
        ok = Walk(path, below, depth + 1, walk, ancestors, found) && ok;
        ancestors.pop_back();
    }
    return ok;
}

}  // namespace

bool WalkFiles(const std::string& path, const WalkOptions& walk, std::vector<std::string>& files) {
    struct stat st;
    if (path == "-" || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        files.push_back(path);  // hashing it says what is wrong, if anything
        return true;
    }
    if (walk.maxDepth == 0) return true;
    std::vector<DirectoryId> ancestors{{st.st_dev, st.st_ino}};
    return Walk(path, "", 0, walk, ancestors, {&files, nullptr});
}

bool WalkTree(const std::string& path, const WalkOptions& walk, std::vector<TreeEntry>& entries) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        walk.complain(path, ErrnoText(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        walk.complain(path, "not a directory");
        return false;
    }
    if (walk.maxDepth == 0) return true;
    std::vector<DirectoryId> ancestors{{st.st_dev, st.st_ino}};
    return Walk(path, "", 0, walk, ancestors, {nullptr, &entries});
}
