// The files below a directory, for -r, and every entry below one, for --tree: in sorted
// order, each named by the path given joined with '/' and the names below it.
#ifndef KORVADEX_CLI_DIRECTORY_WALK_H
#define KORVADEX_CLI_DIRECTORY_WALK_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// How the walk goes.
struct WalkOptions {
    bool follow = false;         // enter symbolic links too
    bool oneFileSystem = false;  // do not enter directories on other file systems
    long maxDepth = -1;          // take nothing deeper (1: the entries of path), -1: any
    uint64_t* bytes = nullptr;   // adds the sizes of the files found below a directory
    // Whether the entry at relative (the path below the one given) is taken: a file hashed,
    // or a directory entered.  Empty: every entry.
    std::function<bool(const std::string& relative, bool directory)> takes;
    // Tells of a path that could not be walked, and why.
    std::function<void(const std::string& path, const std::string& reason)> complain;
};

// Appends the regular files at and below path to files: path itself when it is not a
// directory, else the files in it and below, names in byte order, directories entered where
// they stand.  Hidden names are taken as any other.  Symbolic links below path are skipped,
// unless walk.follow is set (then a link to a directory is entered too, but never one back up
// to a directory it is in).  walk.takes is asked of the path below path; path itself is always
// taken.  Complains of each directory that cannot be read and, when
// following, for each link that leads nowhere (dangling, or in a loop); returns false when
// there was one.
bool WalkFiles(const std::string& path, const WalkOptions& walk, std::vector<std::string>& files);

// An entry below a directory, as WalkTree finds it.
struct TreeEntry {
    enum class Kind { kFile, kDirectory, kLink, kOther };
    Kind kind;
    std::string path;      // the directory given joined with '/' and the names below it
    std::string relative;  // the names below the directory given, joined with '/'
    std::string target;    // a symbolic link's target, as it is stored
    std::string what;      // kOther: what it is ("a FIFO", "a socket", "a device")
};

// Appends every entry below the directory path to entries, in the order WalkFiles takes
// the files, each directory before the entries in it: regular files, directories, symbolic
// links (not followed unless walk.follow is set; followed, each is the entry it leads to),
// and other kinds.  walk.takes takes an entry as WalkFiles takes it (a link as a file); a
// directory that walk.maxDepth or walk.oneFileSystem keeps the walk out of is an entry, but
// nothing in it is.  Complains as WalkFiles does, and when path is not a
// directory; returns false when there was one.
bool WalkTree(const std::string& path, const WalkOptions& walk, std::vector<TreeEntry>& entries);

#endif
