#include "common/text_encoding.h"

#include <cstdint>

namespace {

const char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

size_t Utf8Length(const std::string& text, size_t at) {
    const unsigned char first = static_cast<unsigned char>(text[at]);
    if (first < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        if (first == 0xE0) low = 0xA0;
        if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char byte = static_cast<unsigned char>(text[at + k]);
        if (byte < (k == 1 ? low : 0x80) || byte > (k == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

bool IsUtf8(const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8Length(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

std::string Base64Encode(const std::string& bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k) {
            group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        }
        for (size_t k = 0; k < 4; ++k) {
            text += k <= n ? kBase64Digits[(group >> (18 - 6 * k)) & 63] : '=';
        }
    }
    return text;
}

bool Base64Decode(const std::string& text, std::string& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0) return false;
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        size_t pad = 0;
        while (last && pad < 2 && text[i + 3 - pad] == '=') ++pad;
        uint32_t group = 0;
        for (size_t k = 0; k < 4; ++k) {
            const int value = k < 4 - pad ? Base64Value(text[i + k]) : 0;
            if (value < 0) return false;
            group = group << 6 | uint32_t(value);
        }
        // The bits a padded group leaves over are zero, so that each text has one form.
        if ((pad == 1 && (group & 0xFF) != 0) || (pad == 2 && (group & 0xFFFF) != 0)) {
            return false;
        }
        for (size_t k = 0; k < 3 - pad; ++k) bytes += char((group >> (16 - 8 * k)) & 0xFF);
    }
    return true;
}
