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

// dir, named relative below the operand ("" for the operand itself), at depth below it.
// ancestors: the directories from the top down to dir, so that a link back up is not
// entered again; ancestors[0] is the operand's.
bool Walk(const std::string& dir, const std::string& relative, long depth, const WalkOptions& walk,
          std::vector<DirectoryId>& ancestors, std::vector<std::string>& files) {
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
        const std::string below = relative.empty() ? name : relative + "/" + name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) {
            PrintError(path, std::strerror(errno));
            ok = false;
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            if (!walk.follow) continue;
            if (::stat(path.c_str(), &st) != 0) {
                // What the patterns leave out is not looked at, even where it leads nowhere.
                if (walk.filter != nullptr && !walk.filter->Takes(below, false)) continue;
                PrintError(path, errno == ENOENT
                                     ? "a dangling symbolic link: what it names is not there"
                                     : ErrnoText(errno));
                ok = false;
                continue;
            }
        }
        const bool directory = S_ISDIR(st.st_mode);
        if ((!directory && !S_ISREG(st.st_mode)) ||
            (walk.filter != nullptr && !walk.filter->Takes(below, directory))) {
            continue;
        }
        if (!directory) {
            files.push_back(path);
            if (walk.bytes != nullptr) *walk.bytes += uint64_t(st.st_size);
            continue;
        }
        if ((walk.maxDepth >= 0 && depth + 1 >= walk.maxDepth) ||
            (walk.oneFileSystem && st.st_dev != ancestors[0].first)) {
            continue;
        }
        const DirectoryId id{st.st_dev, st.st_ino};
        if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
            PrintError(path, "a link to a directory above it; not entered again");
            ok = false;
            continue;
        }
        ancestors.push_back(id);
        ok = Walk(path, below, depth + 1, walk, ancestors, files) && ok;
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
    return Walk(path, "", 0, walk, ancestors, files);
}

std::string AbsolutePath(const std::string& path, const std::string& folder) {
    const std::string joined = !path.empty() && path[0] == '/' ? path : folder + "/" + path;
    std::vector<std::string> parts;
    for (size_t start = 0, end; start <= joined.size(); start = end + 1) {
        end = std::min(joined.find('/', start), joined.size());
        const std::string part = joined.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
    }
    std::string out;
    for (const std::string& part : parts) out += "/" + part;
    return out.empty() ? "/" : out;
}
