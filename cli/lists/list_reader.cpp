#include "lists/list_reader.h"

#include <cerrno>
#include <cstdlib>

#include "common/error_text.h"
#include "system/file_input.h"
#include "system/system.h"

namespace {

void AppendUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

}  // namespace

bool Utf16ToUtf8(const std::string& bytes, bool bigEndian, std::string& out, std::string& reason) {
    out.clear();
    if (bytes.size() % 2 != 0) {
        reason = "malformed UTF-16: an odd number of bytes";
        return false;
    }
    const auto unit = [&](size_t i) {
        const uint32_t a = uint8_t(bytes[i]), b = uint8_t(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    size_t line = 1;
    for (size_t i = 0; i < bytes.size(); i += 2) {
        uint32_t code = unit(i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 2 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            reason = "malformed UTF-16: a lone surrogate on line " + std::to_string(line);
            return false;
        }
        if (code == '\n') ++line;
        AppendUtf8(code, out);
    }
    return true;
}

ListReader::~ListReader() {
    std::free(buffer_);
}

bool ListReader::ConvertUtf16(const std::string& start, bool bigEndian) {
    std::string bytes = start;
    char chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file_)) > 0) bytes.append(chunk, n);
    if (std::ferror(file_)) {
        reason_ = ErrnoText(errno);
        return false;
    }
    converted_ = true;
    if (!Utf16ToUtf8(bytes, bigEndian, text_, reason_)) return false;
    return true;
}

bool ListReader::Next(std::string& line) {
    if (!reason_.empty()) return false;
    if (converted_) {
        if (at_ >= text_.size()) return false;
        const size_t end = text_.find('\n', at_);
        const size_t next = end == std::string::npos ? text_.size() : end + 1;
        line.assign(text_, at_, next - at_);
        at_ = next;
        return true;
    }
    errno = 0;
    const long length = ReadLine(file_, buffer_, capacity_);
    if (length < 0) {
        if (std::ferror(file_)) reason_ = ErrnoText(errno);
        return false;
    }
    line.assign(buffer_, size_t(length));
    if (started_) return true;
    started_ = true;
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        line.erase(0, 3);
    } else if (line.compare(0, 2, "\xFF\xFE") == 0 || line.compare(0, 2, "\xFE\xFF") == 0) {
        if (!ConvertUtf16(line.substr(2), line[0] == '\xFE')) return false;
        return Next(line);
    }
    return true;
}
