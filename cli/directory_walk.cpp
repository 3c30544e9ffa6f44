#include "directory_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "command_support.h"
#include "file_input.h"

namespace {

using DirectoryId = std::pair<dev_t, ino_t>;

// ancestors: the directories from the top down to dir, so that a link back up is not
// entered again.
bool Walk(const std::string& dir, bool follow, std::vector<DirectoryId>& ancestors,
          std::vector<std::string>& files) {
    DIR* handle = ::opendir(dir.c_str());
    if (handle == nullptr) {
        PrintError(dir, std::strerror(errno));
        return false;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(handle)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    const int readError = errno;
    ::closedir(handle);
    if (readError != 0) {
        PrintError(dir, std::strerror(readError));
        return false;
    }
    std::sort(names.begin(), names.end());
    const std::string prefix = dir.back() == '/' ? dir : dir + "/";
    bool ok = true;
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) {
            PrintError(path, std::strerror(errno));
            ok = false;
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            if (!follow) continue;
            if (::stat(path.c_str(), &st) != 0) {
                PrintError(path, errno == ENOENT
                                     ? "a dangling symbolic link: what it names is not there"
                                     : ErrnoText(errno));
                ok = false;
                continue;
            }
        }
        if (S_ISDIR(st.st_mode)) {
            const DirectoryId id{st.st_dev, st.st_ino};
            if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
                PrintError(path, "a link to a directory above it; not entered again");
                ok = false;
                continue;
            }
            ancestors.push_back(id);
            ok = Walk(path, follow, ancestors, files) && ok;
            ancestors.pop_back();
        } else if (S_ISREG(st.st_mode)) {
            files.push_back(path);
        }
    }
    return ok;
}

}  // namespace

bool WalkFiles(const std::string& path, bool follow, std::vector<std::string>& files) {
    struct stat st;
    if (path == "-" || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        files.push_back(path);  // hashing it says what is wrong, if anything
        return true;
    }
    std::vector<DirectoryId> ancestors{{st.st_dev, st.st_ino}};
    return Walk(path, follow, ancestors, files);
}
