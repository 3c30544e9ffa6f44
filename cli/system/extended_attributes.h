// The extended attributes of files, in the "user." namespace of Linux: what the digest cache
// keeps beside each file.  Every call names the file by its path and follows links; none
// opens the file.
#ifndef KORVADEX_CLI_SYSTEM_EXTENDED_ATTRIBUTES_H
#define KORVADEX_CLI_SYSTEM_EXTENDED_ATTRIBUTES_H

#include <string>
#include <vector>

// Whether this system has user attributes at all; where it has none (Windows), every call
// below answers kUnsupported.
bool HasUserAttributes();

enum class AttributeAnswer {
    kDone,         // read, listed or written
    kAbsent,       // the file has no such attribute
    kUnsupported,  // the file system keeps no user attributes
    kNoRoom,       // the file system has no room for it (full, or too small for the value)
    kFailed,       // anything else (no permission, the file is gone); reason says what
};

// Reads the attribute name ("user.korvadex.sha256") of the file at path into value.
AttributeAnswer ReadAttribute(const std::string& path, const std::string& name, std::string& value,
                              std::string& reason);

// Writes value as the attribute name of the file at path.
AttributeAnswer WriteAttribute(const std::string& path, const std::string& name,
                               const std::string& value, std::string& reason);

// The names of the attributes of the file at path.
AttributeAnswer ListAttributes(const std::string& path, std::vector<std::string>& names,
                               std::string& reason);

#endif
