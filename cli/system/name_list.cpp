#include "system/name_list.h"

#include <cerrno>
#include <cstdio>

#include "common/error_text.h"
#include "system/file_input.h"
#include "system/system.h"

bool ReadNameList(const std::string& path, bool nul, std::vector<std::string>& names,
                  std::string& reason) {
    FILE* file = path == "-" ? stdin : OpenForReading(path);
    if (file == nullptr) {
        reason = ErrnoText(errno);
        return false;
    }
    const char end = nul ? '\0' : '\n';
    std::string name;
    auto take = [&] {
        if (!name.empty()) names.push_back(name == "-" ? "./-" : name);
        name.clear();
    };
    char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        for (size_t i = 0; i < got; ++i) {
            if (buffer[i] == end) {
                take();
            } else {
                name += buffer[i];
            }
        }
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    if (file != stdin) std::fclose(file);
    if (failed) {
        reason = ErrnoText(error);
        return false;
    }
    take();
    return true;
}
