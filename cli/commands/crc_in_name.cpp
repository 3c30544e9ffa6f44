#include "commands/crc_in_name.h"

#include <cctype>

#include "system/system.h"

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of(kBackslashSeparates ? "/\\" : "/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool CrcInName(const std::string& path, std::string& hex) {
    const std::string base = BaseName(path);
    constexpr size_t kDigits = 8;
    bool found = false;
    for (size_t at = 0; at + kDigits + 1 < base.size(); ++at) {
        const char open = base[at];
        const char close = open == '[' ? ']' : open == '(' ? ')' : 0;
        if (close == 0 || base[at + kDigits + 1] != close) continue;
        std::string digits;
        for (size_t i = at + 1; i <= at + kDigits; ++i) {
            const unsigned char c = static_cast<unsigned char>(base[i]);
            if (!std::isxdigit(c)) break;
            digits += char(std::toupper(c));
        }
        if (digits.size() != kDigits) continue;
        hex = digits;
        found = true;
    }
    return found;
}

std::string NameWithCrc(const std::string& base, const std::string& hex) {
    const size_t dot = base.rfind('.');
    const std::string mark = " [" + hex + "]";
    if (dot == std::string::npos || dot == 0) return base + mark;
    return base.substr(0, dot) + mark + base.substr(dot);
}
