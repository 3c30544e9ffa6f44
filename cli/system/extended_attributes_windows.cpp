// Extended attributes on Windows: not kept yet (the command line refuses --cache there).
#include "system/extended_attributes.h"

namespace {

const char kNone[] = "this build keeps no extended attributes on Windows";

}  // namespace

bool HasUserAttributes() {
    return false;
}

AttributeAnswer ReadAttribute(const std::string&, const std::string&, std::string&,
                              std::string& reason) {
    reason = kNone;
    return AttributeAnswer::kUnsupported;
}

AttributeAnswer WriteAttribute(const std::string&, const std::string&, const std::string&,
                               std::string& reason) {
    reason = kNone;
    return AttributeAnswer::kUnsupported;
}

AttributeAnswer ListAttributes(const std::string&, std::vector<std::string>&, std::string& reason) {
    reason = kNone;
    return AttributeAnswer::kUnsupported;
}
