#include "lists/json_record_scan.h"

#include <cstdint>
#include <cstring>

#include "common/text_encoding.h"
#include "lists/json_lines.h"

namespace {

// Reads one record a byte at a time.  Every method returns false where the text leaves the
// plain shape this reader knows; the caller then hands the line to the full parser, which
// takes or refuses it and says why.
class RecordScan {
public:
    explicit RecordScan(const std::string& text) : at_(text.data()), end_(at_ + text.size()) {}

    bool Record(FileRecord& record) {
        bool version = false, name = false, digests = false;
        if (!Open('{')) return false;
        do {
            std::string key;
            if (!String(key) || !Expect(':')) return false;
            if (key == "list_version") {
                uint64_t value = 0;
                if (version || !Unsigned(value) || value != uint64_t(kRecordListVersion)) {
                    return false;
                }
                version = true;
            } else if (key == "name" || key == "name_base64") {
                if (name || !String(record.name)) return false;
                if (key == "name_base64") {
                    const std::string text = record.name;
                    if (!Base64Decode(text, record.name)) return false;
                }
                if (record.name.empty()) return false;
                name = true;
            } else if (key == "size") {
                uint64_t value = 0;
                if (record.size >= 0 || !Unsigned(value) || value > uint64_t(INT64_MAX)) {
                    return false;
                }
                record.size = int64_t(value);
            } else if (key == "modified") {
                std::string text;
                if (record.timeKnown || !String(text) || !ParseTimeText(text, record.modified)) {
                    return false;
                }
                record.timeKnown = true;
            } else if (key == "digests") {
                if (digests || !Digests(record)) return false;
                digests = true;
            } else if (!Skip(0)) {
                return false;
            }
        } while (Next('}'));
        Blanks();
        return ended_ && at_ == end_ && version && name && digests;
    }

private:
    // The digests, in the order given: each labelled with a line and holding one of "hex"
    // and "hmac" as hex digits.
    bool Digests(FileRecord& record) {
        if (!Open('{')) return false;
        do {
            std::string label;
            if (!String(label) || !Expect(':')) return false;
            RecordDigest digest;
            const long line = LineOfJsonLabel(label);
            if (line < 0) return false;
            digest.line = size_t(line);
            for (const RecordDigest& other : record.digests) {
                if (other.line == digest.line) return false;
            }
            bool value = false;
            if (!Open('{')) return false;
            do {
                std::string key;
                if (!String(key) || !Expect(':')) return false;
                if (key == "hex" || key == "hmac") {
                    if (value || !String(digest.hex) || digest.hex.empty() ||
                        digest.hex.find_first_not_of("0123456789abcdefABCDEF") !=
                            std::string::npos) {
                        return false;
                    }
                    digest.keyed = key == "hmac";
                    value = true;
                } else if (!Skip(0)) {
                    return false;
                }
            } while (Next('}'));
            if (!ended_ || !value) return false;
            record.digests.push_back(std::move(digest));
        } while (Next('}'));
        return ended_ && !record.digests.empty();
    }

    void Blanks() {
        while (at_ != end_ && (*at_ == ' ' || *at_ == '\t' || *at_ == '\n' || *at_ == '\r')) {
            ++at_;
        }
    }
    bool Expect(char c) {
        Blanks();
        if (at_ == end_ || *at_ != c) return false;
        ++at_;
        return true;
    }
    // An object's '{' and its first key's place; an empty object is left to the parser.
    bool Open(char c) {
        if (!Expect(c)) return false;
        Blanks();
        return at_ != end_ && *at_ == '"';
    }
    // After a member: true for a ',' (another member follows), false at close (then ended_)
    // or at anything else.
    bool Next(char close) {
        ended_ = false;
        Blanks();
        if (at_ == end_) return false;
        if (*at_ == ',') {
            ++at_;
            return true;
        }
        ended_ = *at_ == close;
        if (ended_) ++at_;
        return false;
    }
    // A string of printable ASCII with the short escapes; \u, control characters and other
    // bytes are left to the parser.
    bool String(std::string& text) {
        if (!Expect('"')) return false;
        text.clear();
        const char* run = at_;
        while (at_ != end_) {
            const unsigned char c = static_cast<unsigned char>(*at_);
            if (c == '"') {
                text.append(run, at_);
                ++at_;
                return true;
            }
            if (c < 0x20 || c >= 0x80) return false;
            if (c != '\\') {
                ++at_;
                continue;
            }
            text.append(run, at_);
            if (++at_ == end_) return false;
            static const char kFrom[] = "\"\\/bfnrt";
            static const char kTo[] = "\"\\/\b\f\n\r\t";
            const char* found = std::strchr(kFrom, *at_);
            if (found == nullptr || *at_ == '\0') return false;
            text += kTo[found - kFrom];
            run = ++at_;
        }
        return false;
    }
    // A whole number without sign, fraction or exponent, as JSON writes it.
    bool Unsigned(uint64_t& value) {
        Blanks();
        const char* start = at_;
        value = 0;
        while (at_ != end_ && *at_ >= '0' && *at_ <= '9' && at_ - start < 19) {
            value = value * 10 + uint64_t(*at_ - '0');
            ++at_;
        }
        const bool leadingZero = at_ - start > 1 && *start == '0';
        return at_ != start && !leadingZero &&
               (at_ == end_ || std::strchr("0123456789.eE", *at_) == nullptr);
    }
    // Any value, nested at most a few levels.
    bool Skip(int depth) {
        Blanks();
        if (at_ == end_ || depth > 8) return false;
        std::string text;
        switch (*at_) {
            case '"':
                return String(text);
            case '{':
                if (!Open('{')) return false;
                do {
                    if (!String(text) || !Expect(':') || !Skip(depth + 1)) return false;
                } while (Next('}'));
                return ended_;
            case '[':
                ++at_;
                do {
                    if (!Skip(depth + 1)) return false;
                } while (Next(']'));
                return ended_;
            default:
                break;
        }
        for (const char* literal : {"true", "false", "null"}) {
            const size_t length = std::strlen(literal);
            if (size_t(end_ - at_) >= length && std::memcmp(at_, literal, length) == 0) {
                at_ += length;
                return true;
            }
        }
        return Number();
    }
    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    bool Number() {
        if (at_ != end_ && *at_ == '-') ++at_;
        const auto digits = [&] {
            const char* start = at_;
            while (at_ != end_ && *at_ >= '0' && *at_ <= '9') ++at_;
            return at_ - start;
        };
        const char* first = at_;
        const auto whole = digits();
        if (whole == 0 || (whole > 1 && *first == '0')) return false;
        if (at_ != end_ && *at_ == '.') {
            ++at_;
            if (digits() == 0) return false;
        }
        if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
            ++at_;
            if (at_ != end_ && (*at_ == '+' || *at_ == '-')) ++at_;
            if (digits() == 0) return false;
        }
        return true;
    }

    const char* at_;
    const char* end_;
    bool ended_ = false;  // the last Next met its closing bracket
};

}  // namespace

bool ScanJsonRecord(const std::string& text, FileRecord& record) {
    record = FileRecord();
    return RecordScan(text).Record(record);
}
