// Extended attributes on Linux, through the calls that take a path.
#include <sys/xattr.h>

#include <cerrno>

#include "common/error_text.h"
#include "system/extended_attributes.h"

namespace {

AttributeAnswer Failure(std::string& reason) {
    const int err = errno;
    reason = ErrnoText(err);
    if (err == ENODATA) return AttributeAnswer::kAbsent;
    if (err == ENOTSUP) return AttributeAnswer::kUnsupported;
    if (err == ENOSPC || err == E2BIG || err == EDQUOT) return AttributeAnswer::kNoRoom;
    return AttributeAnswer::kFailed;
}

}  // namespace

bool HasUserAttributes() {
    return true;
}

AttributeAnswer ReadAttribute(const std::string& path, const std::string& name, std::string& value,
                              std::string& reason) {
    // A record of the cache is short; a longer value is read at its own size.
    value.resize(256);
    for (;;) {
        const ssize_t n = ::getxattr(path.c_str(), name.c_str(), &value[0], value.size());
        if (n >= 0) {
            value.resize(size_t(n));
            return AttributeAnswer::kDone;
        }
        if (errno != ERANGE) return Failure(reason);
        const ssize_t size = ::getxattr(path.c_str(), name.c_str(), nullptr, 0);
        if (size < 0) return Failure(reason);
        value.resize(size_t(size) + 1);
    }
}

AttributeAnswer WriteAttribute(const std::string& path, const std::string& name,
                               const std::string& value, std::string& reason) {
    if (::setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) == 0) {
        return AttributeAnswer::kDone;
    }
    return Failure(reason);
}

AttributeAnswer ListAttributes(const std::string& path, std::vector<std::string>& names,
                               std::string& reason) {
    std::string list(1024, '\0');
    for (;;) {
        const ssize_t n = ::listxattr(path.c_str(), &list[0], list.size());
        if (n >= 0) {
            list.resize(size_t(n));
            break;
        }
        if (errno != ERANGE) return Failure(reason);
        const ssize_t size = ::listxattr(path.c_str(), nullptr, 0);
        if (size < 0) return Failure(reason);
        list.resize(size_t(size) + 1);
    }
    names.clear();
    for (size_t at = 0; at < list.size();) {
        const size_t end = list.find('\0', at);
        names.push_back(list.substr(at, end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return AttributeAnswer::kDone;
}
