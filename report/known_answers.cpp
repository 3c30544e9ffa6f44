#include "known_answers.h"

#include <cstring>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::vector<uint8_t> ExpandBytes(const VectorBytes& bytes) {
    std::vector<uint8_t> out;
    switch (bytes.kind) {
        case VectorBytes::kNone:
            break;
        case VectorBytes::kText:
            out.assign(bytes.text, bytes.text + std::strlen(bytes.text));
            break;
        case VectorBytes::kRun:
            out.assign(bytes.count, bytes.byte);
            break;
        case VectorBytes::kHex:
            for (const char* p = bytes.text; p[0] != '\0' && p[1] != '\0'; p += 2) {
                out.push_back(uint8_t(HexValue(p[0]) << 4 | HexValue(p[1])));
            }
            break;
    }
    return out;
}
