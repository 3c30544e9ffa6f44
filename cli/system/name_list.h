// The input names of --files-from.
#ifndef KORVADEX_CLI_NAME_LIST_H
#define KORVADEX_CLI_NAME_LIST_H

#include <string>
#include <vector>

// Appends the names in the file at path ("-": standard input) to names, in the order they
// stand: each ends in a newline, or in a NUL when nul is set (then a name may hold a line
// break); the last may lack its end.  Empty names are skipped, and a name "-" is the file of
// that name, not standard input.  Returns false with reason when the file cannot be read.
bool ReadNameList(const std::string& path, bool nul, std::vector<std::string>& names,
                  std::string& reason);

#endif
