// The walk of -r on Windows: FindFirstFileW and FindNextFileW, names joined with '/' as on
// every system.  Links and junctions count as the symbolic links of the walk.
#include <windows.h>

#include <algorithm>
#include <tuple>

#include "common/error_text.h"
#include "system/directory_walk.h"
#include "system/file_input.h"
#include "system/wide_names.h"

namespace {

// A directory as the system knows it: its volume and its index there.
using DirectoryId = std::tuple<DWORD, DWORD, DWORD>;

struct EntryState {
    bool directory = false;
    uint64_t size = 0;
    DirectoryId id{};
};

// What is at path once its links are followed; false, with the error, when nothing is.
bool Follow(const std::string& path, EntryState& state, DWORD& error) {
    const HANDLE handle = ::CreateFileW(
        FilePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = handle != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(handle, &info);
    error = ok ? 0 : ::GetLastError();
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    if (!ok) return false;
    state.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    state.size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    state.id = DirectoryId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

struct Entry {
    std::string name;
    DWORD attributes;
    uint64_t size;
};

// Appends the files below dir to files, and when tree is given, every entry to it.
bool Walk(const std::string& dir, const std::string& relative, long depth, const WalkOptions& walk,
          std::vector<DirectoryId>& ancestors, std::vector<std::string>& files,
          std::vector<TreeEntry>* tree) {
    const std::string prefix = dir.back() == '/' || dir.back() == '\\' ? dir : dir + "/";
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileExW(FilePath(prefix + "*").c_str(), FindExInfoBasic,
                                             &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        walk.complain(dir, ErrnoText(ErrnoOf(::GetLastError())));
        return false;
    }
    std::vector<Entry> entries;
    do {
        const std::string name = Narrow(found.cFileName, wcslen(found.cFileName));
        if (name == "." || name == "..") continue;
        entries.push_back(Entry{name, found.dwFileAttributes,
                                uint64_t(found.nFileSizeHigh) << 32 | found.nFileSizeLow});
    } while (::FindNextFileW(search, &found) != 0);
    const DWORD readError = ::GetLastError();
    ::FindClose(search);
    if (readError != ERROR_NO_MORE_FILES) {
        walk.complain(dir, ErrnoText(ErrnoOf(readError)));
        return false;
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    bool ok = true;
    for (const Entry& entry : entries) {
        const std::string path = prefix + entry.name;
        const std::string below = relative.empty() ? entry.name : relative + "/" + entry.name;
        EntryState state;
        state.directory = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        state.size = entry.size;
        const bool link = (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (link && !walk.follow) {
            // The target text of a link is not read here: a tree that holds one has no value
            // unless its links are followed or left out.
            if (tree != nullptr && (!walk.takes || walk.takes(below, false))) {
                tree->push_back({TreeEntry::Kind::kOther, path, below, "",
                                 "a link or junction, whose target Windows builds do not read "
                                 "(--follow takes what it leads to)"});
            }
            continue;
        }
        if (link || state.directory) {
            DWORD error = 0;
            if (!Follow(path, state, error)) {
                // What the patterns leave out is not looked at, even where it leads nowhere.
                if (walk.takes && !walk.takes(below, false)) continue;
                const bool nowhere =
                    link && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
                walk.complain(path, nowhere ? "a dangling symbolic link: what it names is not there"
                                            : ErrnoText(ErrnoOf(error)));
                ok = false;
                continue;
            }
        }
        if (walk.takes && !walk.takes(below, state.directory)) continue;
        if (!state.directory) {
            files.push_back(path);
            if (tree != nullptr) tree->push_back({TreeEntry::Kind::kFile, path, below, "", ""});
            if (walk.bytes != nullptr) *walk.bytes += state.size;
            continue;
        }
        if (tree != nullptr) tree->push_back({TreeEntry::Kind::kDirectory, path, below, "", ""});
        if ((walk.maxDepth >= 0 && depth + 1 >= walk.maxDepth) ||
            (walk.oneFileSystem && std::get<0>(state.id) != std::get<0>(ancestors[0]))) {
            continue;
        }
        if (std::find(ancestors.begin(), ancestors.end(), state.id) != ancestors.end()) {
            walk.complain(path, "a link to a directory above it; not entered again");
            ok = false;
            continue;
        }
        ancestors.push_back(state.id);
        ok = Walk(path, below, depth + 1, walk, ancestors, files, tree) && ok;
        ancestors.pop_back();
    }
    return ok;
}

}  // namespace

bool WalkFiles(const std::string& path, const WalkOptions& walk, std::vector<std::string>& files) {
    EntryState state;
    DWORD error = 0;
    if (path == "-" || !Follow(path, state, error) || !state.directory) {
        files.push_back(path);  // hashing it says what is wrong, if anything
        return true;
    }
    if (walk.maxDepth == 0) return true;
    std::vector<DirectoryId> ancestors{state.id};
    return Walk(path, "", 0, walk, ancestors, files, nullptr);
}

bool WalkTree(const std::string& path, const WalkOptions& walk, std::vector<TreeEntry>& entries) {
    EntryState state;
    DWORD error = 0;
    if (!Follow(path, state, error)) {
        walk.complain(path, ErrnoText(ErrnoOfPath(path, error)));
        return false;
    }
    if (!state.directory) {
        walk.complain(path, "not a directory");
        return false;
    }
    if (walk.maxDepth == 0) return true;
    std::vector<DirectoryId> ancestors{state.id};
    std::vector<std::string> files;
    return Walk(path, "", 0, walk, ancestors, files, &entries);
}
