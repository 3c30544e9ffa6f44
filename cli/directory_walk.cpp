#include "directory_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "command_support.h"

namespace {

using DirectoryId = std::pair<dev_t, ino_t>;

bool Walk(const std::string& dir, bool follow, std::set<DirectoryId>& entered,
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
            if (::stat(path.c_str(), &st) != 0) continue;  // a dangling link names no file
        }
        if (S_ISDIR(st.st_mode)) {
            if (!entered.insert({st.st_dev, st.st_ino}).second) continue;
            ok = Walk(path, follow, entered, files) && ok;
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
    std::set<DirectoryId> entered{{st.st_dev, st.st_ino}};
    return Walk(path, follow, entered, files);
}
