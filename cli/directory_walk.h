// The files below a directory, for -r: in sorted order, each named by the path given joined
// with '/' and the names below it.
#ifndef KORVADEX_CLI_DIRECTORY_WALK_H
#define KORVADEX_CLI_DIRECTORY_WALK_H

#include <string>
#include <vector>

// Appends the regular files at and below path to files: path itself when it is not a
// directory, else the files in it and below, names in byte order, directories entered where
// they stand.  Symbolic links below path are skipped, unless follow is set (then a link
// to a directory is entered too, but never one back up to a directory it is in).  Writes a
// message for each directory that cannot be read and, when following, for each link that
// leads nowhere (dangling, or in a loop); returns false when there was one.
bool WalkFiles(const std::string& path, bool follow, std::vector<std::string>& files);

#endif
