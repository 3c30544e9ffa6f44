#include "lists/checksum_lines.h"

#include <algorithm>
#include <cstring>

#include "common/algorithm_names.h"
#include "common/line_names.h"

namespace {

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

size_t HexRun(const std::string& text, size_t from) {
    size_t end = from;
    while (end < text.size() && IsHex(text[end])) ++end;
    return end - from;
}

// Whether some report line's value has this many hex digits.
bool IsDigestWidth(size_t digits) {
    for (size_t i = 0; i < kReportLineCount; ++i) {
        if (2 * DigestLength(kReportLines[i].size) == digits) return true;
    }
    return false;
}

bool Unescape(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return false;
        }
    }
    return true;
}

bool TakeName(const std::string& raw, bool escaped, ChecksumLine& entry, std::string& reason) {
    if (raw.empty()) {
        reason = "no file name";
        return false;
    }
    if (!escaped) {
        entry.name = raw;
        return true;
    }
    if (!Unescape(raw, entry.name)) {
        reason = "a '\\' in the name that is not \\\\, \\n or \\r";
        return false;
    }
    return true;
}

char LineEnd(const LineStyle& style) {
    return style.zero ? '\0' : '\n';
}

// The name as a gnu or bsd line writes it, with the mark that its line then starts with.
std::string WrittenName(const std::string& name, const LineStyle& style, std::string& mark) {
    bool needsMark = false;
    const std::string shown = style.zero ? name : EscapeName(name, needsMark);
    mark = needsMark ? "\\" : "";
    return shown;
}

bool ParseSfv(const std::string& text, ChecksumLine& entry);

// gnu ------------------------------------------------------------------------------------

bool WriteGnu(const ChecksumLine& entry, const LineStyle& style, std::string& text, std::string&) {
    std::string mark;
    const std::string name = WrittenName(entry.name, style, mark);
    text += mark + entry.hex + (style.binary ? " *" : "  ") + name + LineEnd(style);
    return true;
}

// "hex  NAME" or "hex *NAME", and "hex NAME" or "hex<TAB>NAME" (see ListForm).
bool ParseGnu(const std::string& text, bool escaped, ChecksumLine& entry, std::string& reason,
              ListForm& form) {
    const size_t digits = HexRun(text, 0);
    if (digits == 0 || digits + 1 >= text.size() || (text[digits] != ' ' && text[digits] != '\t') ||
        !IsDigestWidth(digits)) {
        return false;
    }
    size_t name = digits + 1;
    // "hex  " and "hex *" have lost their name (coreutils would check a file named ' ').
    const bool mark = text[name] == ' ' || text[name] == '*';
    if (text.size() - name == 1 && mark) {
        reason = "no file name";
        return false;
    }
    const bool single = !mark;
    ListForm::Separator seen = ListForm::Separator::kTwo;
    // A line of words such as "face the music" is no CRC-16 line of a file "the music".
    if (single && digits < 8) return false;
    if (single) {
        ChecksumLine sfv;
        if (form.separator != ListForm::Separator::kOne && ParseSfv(text, sfv)) return false;
        if (form.separator == ListForm::Separator::kTwo) {
            reason =
                "one blank between the value and the name, where the list's first line has two";
            return false;
        }
        seen = ListForm::Separator::kOne;
    } else if (form.separator == ListForm::Separator::kOne) {
        seen = ListForm::Separator::kOne;  // the ' ' or '*' starts the name
    } else {
        ++name;
    }
    entry.hex = text.substr(0, digits);
    entry.line = -1;
    entry.keyed = false;
    if (!TakeName(text.substr(name), escaped, entry, reason)) return false;
    form.separator = seen;
    return true;
}

// bsd ------------------------------------------------------------------------------------

// A keyed value is tagged as openssl dgst -hmac tags it, so that no tool takes it for the
// plain digest.
bool WriteBsd(const ChecksumLine& entry, const LineStyle& style, std::string& text, std::string&) {
    std::string mark;
    const std::string name = WrittenName(entry.name, style, mark);
    text += mark + (entry.keyed ? "HMAC-" : "") + BsdTag(size_t(entry.line)) + " (" + name +
            ") = " + entry.hex + LineEnd(style);
    return true;
}

// "TAG (NAME) = hex", "TAG   (NAME) = hex" and "TAG(NAME)= hex"; "HMAC-TAG" before any of
// them for a keyed value.
bool ParseBsd(const std::string& text, bool escaped, ChecksumLine& entry, std::string& reason) {
    const bool keyed = text.compare(0, 5, "HMAC-") == 0 || text.compare(0, 5, "hmac-") == 0;
    const size_t from = keyed ? 5 : 0;
    // Labels that hold " (", such as "HAVAL 128 (3 Rounds)", are tags of their own.
    size_t open = std::string::npos;
    std::string tag;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const std::string name = LineName(kReportLines[i]);
        if (name.find('(') != std::string::npos && text.compare(from, name.size(), name) == 0 &&
            text.compare(from + name.size(), 2, " (") == 0) {
            tag = name;
            open = from + name.size() + 1;
        }
    }
    if (open == std::string::npos) {
        open = text.find('(', from);
        if (open == std::string::npos) return false;
        size_t end = open;
        while (end > from && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
        tag = text.substr(from, end - from);
        if (tag.empty()) return false;
    }
    // The value runs to the end of the line; the name ends at the ") = " or ")= " before it.
    size_t start = text.size();
    while (start > 0 && IsHex(text[start - 1])) --start;
    if (start == text.size()) return false;
    size_t close;
    if (start >= 4 && text.compare(start - 4, 4, ") = ") == 0) {
        close = start - 4;
    } else if (start >= 3 && text.compare(start - 3, 3, ")= ") == 0) {
        close = start - 3;
    } else {
        return false;
    }
    if (close <= open) return false;
    entry.keyed = keyed;
    const long line = FindAlgorithm(tag);
    if (line < 0) {
        reason = "no report line is tagged '" + text.substr(0, from) + tag + "'";
        return false;
    }
    entry.line = line;
    entry.hex = text.substr(start);
    return TakeName(text.substr(open + 1, close - open - 1), escaped, entry, reason);
}

// sfv ------------------------------------------------------------------------------------

// Why an SFV line cannot carry name, or null when it can.  SFV has no escapes: the name runs
// from the start of the line to the blank before the value.
const char* SfvRefusal(const std::string& name) {
    if (name.empty()) return "an empty name";
    if (name[0] == ';' || name[0] == '#') {
        return "a name that starts with ';' or '#': its line would be read as a comment";
    }
    if (name[0] == ' ' || name.back() == ' ') {
        return "a name that starts or ends with a blank: readers drop the blank";
    }
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return "a name with a line break, a tab or another control character";
        }
    }
    if (name.find('\\') != std::string::npos) {
        return "a name with a backslash: readers take it for a folder separator";
    }
    // The starts by which a reader tells a list's encoding, and a saved report from a list
    // (a ruler of '=').
    for (const char* start : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "=========="}) {
        if (name.compare(0, std::strlen(start), start) == 0) {
            return "a name that starts with a byte-order mark or a ruler of '=': a reader "
                   "would take the list for another kind of file";
        }
    }
    return nullptr;
}

// Whether line reads back as entry, whether or not its list is known to be an SFV file.
bool SfvReadsBack(const std::string& line, const ChecksumLine& entry) {
    for (bool sfvFirst : {true, false}) {
        ChecksumLine back;
        std::string reason;
        if (ParseChecksumLine(line, sfvFirst, back, reason) != ChecksumLineKind::kEntry ||
            back.name != entry.name || back.hex != entry.hex || back.line != entry.line) {
            return false;
        }
    }
    return true;
}

bool WriteSfv(const ChecksumLine& entry, const LineStyle& style, std::string& text,
              std::string& reason) {
    const std::string line = entry.name + " " + entry.hex;
    const char* refusal = SfvRefusal(entry.name);
    if (refusal == nullptr && !SfvReadsBack(line, entry)) {
        refusal = "a name that makes its line read as another kind of checksum line";
    }
    if (refusal != nullptr) {
        reason = std::string("an SFV list cannot hold ") + refusal;
        return false;
    }
    text += line + LineEnd(style);
    return true;
}

// "NAME CRC32".
bool ParseSfv(const std::string& text, ChecksumLine& entry) {
    const size_t space = text.find_last_of(" \t");
    if (space == std::string::npos || text.size() - space - 1 != 8 ||
        HexRun(text, space + 1) != 8) {
        return false;
    }
    size_t end = space;
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    if (end == 0) return false;
    entry.name = text.substr(0, end);
    entry.hex = text.substr(space + 1);
    entry.line = FindAlgorithm("crc32");
    entry.keyed = false;
    return true;
}

// hashdeep -------------------------------------------------------------------------------

struct HashdeepColumnName {
    const char* algorithm;  // as FindAlgorithm takes it
    const char* column;     // as the header names it
};

// In the order hashdeep writes its columns, whatever order -c gives.
const HashdeepColumnName kHashdeepColumns[] = {
    {"md5", "md5"},     {"sha1", "sha1"},           {"sha256", "sha256"},
    {"tiger", "tiger"}, {"whirlpool", "whirlpool"},
};

// The text of a hashdeep line without its carriage return.
std::string WithoutCr(const std::string& text) {
    return !text.empty() && text.back() == '\r' ? text.substr(0, text.size() - 1) : text;
}

}  // namespace

const ListFormat kListFormats[] = {
    {"report", OutputFormat::kReport, false, nullptr, false, true, nullptr},
    {"gnu", OutputFormat::kGnu, true, nullptr, true, true, WriteGnu},
    {"bsd", OutputFormat::kBsd, true, nullptr, false, true, WriteBsd},
    // An SFV line has no tag, so its readers take every value for the plain CRC-32.
    {"sfv", OutputFormat::kSfv, false, "crc32", false, false, WriteSfv},
    // hashdeep's lines hold plain digests only; its columns are written by WriteHashdeepLine.
    {"hashdeep", OutputFormat::kHashdeep, true, nullptr, false, false, nullptr},
    // A whole file per line, its keyed values marked as such (JsonRecordLine, CsvRecordLine).
    {"json", OutputFormat::kJson, true, nullptr, false, true, nullptr},
    {"csv", OutputFormat::kCsv, true, nullptr, false, true, nullptr},
};
const size_t kListFormatCount = sizeof kListFormats / sizeof kListFormats[0];

const ListFormat& FormatOf(OutputFormat format) {
    for (const ListFormat& f : kListFormats) {
        if (f.format == format) return f;
    }
    return kListFormats[0];
}

const ListFormat* FindFormat(const std::string& name) {
    for (const ListFormat& f : kListFormats) {
        if (name == f.name) return &f;
    }
    return nullptr;
}

std::string EscapeName(const std::string& name, bool& needsMark) {
    needsMark = name.find_first_of("\\\n\r") != std::string::npos;
    if (!needsMark) return name;
    std::string out;
    for (char c : name) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

ChecksumLineKind ParseChecksumLine(const std::string& line, bool sfvFirst, ChecksumLine& entry,
                                   std::string& reason, ListForm* form) {
    reason.clear();
    ListForm own;
    ListForm& listForm = form != nullptr ? *form : own;
    size_t end = line.size();
    if (end > 0 && line[end - 1] == '\r') --end;
    if (end == 0) return ChecksumLineKind::kIgnored;
    if (line[0] == '#' || line[0] == ';') return ChecksumLineKind::kIgnored;
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || start >= end) {
        reason = "a line of blanks";
        return ChecksumLineKind::kMalformed;
    }
    std::string text = line.substr(start, end - start);
    if (sfvFirst && ParseSfv(text, entry)) return ChecksumLineKind::kEntry;
    const bool escaped = text[0] == '\\';
    const std::string body = escaped ? text.substr(1) : text;
    if (ParseGnu(body, escaped, entry, reason, listForm) ||
        (reason.empty() && ParseBsd(body, escaped, entry, reason))) {
        return ChecksumLineKind::kEntry;
    }
    if (reason.empty() && !sfvFirst) {
        // "CRC32: 352441C2", a line of a printed report, would pass for an SFV line.
        for (size_t i = 0; i < kReportLineCount; ++i) {
            const std::string label = kReportLines[i].label;
            if (text.compare(0, label.size(), label) == 0) {
                reason =
                    "a line of a printed report, not of a checksum list (--save writes a "
                    "report that --check reads)";
                return ChecksumLineKind::kMalformed;
            }
        }
        if (ParseSfv(text, entry)) return ChecksumLineKind::kEntry;
    }
    if (reason.empty()) reason = "not a checksum line";
    return ChecksumLineKind::kMalformed;
}

bool ParseDigestColumns(const std::string& line, std::vector<ChecksumLine>& entries) {
    size_t lineEnd = line.size();
    if (lineEnd > 0 && line[lineEnd - 1] == '\r') --lineEnd;
    // Two blanks before each column in rhash's own lines, one in its SFV lines.
    for (const std::string separator : {"  ", " "}) {
        size_t end = lineEnd;
        std::vector<std::string> columns;
        for (;;) {
            size_t start = end;
            while (start > 0 && IsHex(line[start - 1])) --start;
            if (start == end || start <= separator.size() ||
                line.compare(start - separator.size(), separator.size(), separator) != 0 ||
                !IsDigestWidth(end - start)) {
                break;
            }
            columns.insert(columns.begin(), line.substr(start, end - start));
            end = start - separator.size();
        }
        if (columns.size() < 2) continue;
        entries.clear();
        for (const std::string& hex : columns) {
            ChecksumLine entry;
            entry.name = line.substr(0, end);
            entry.hex = hex;
            entries.push_back(entry);
        }
        return true;
    }
    return false;
}

const char kHashdeepMagic[] = "%%%% HASHDEEP-1.0";

std::vector<size_t> HashdeepLines() {
    std::vector<size_t> lines;
    for (const HashdeepColumnName& c : kHashdeepColumns) {
        lines.push_back(size_t(FindAlgorithm(c.algorithm)));
    }
    return lines;
}

const char* HashdeepColumn(size_t line) {
    for (const HashdeepColumnName& c : kHashdeepColumns) {
        if (FindAlgorithm(c.algorithm) == long(line)) return c.column;
    }
    return nullptr;
}

std::string HashdeepHeader(const std::vector<size_t>& lines, const std::string& folder,
                           const std::string& commandLine) {
    std::string text = std::string(kHashdeepMagic) + "\n%%%% size,";
    for (size_t line : lines) text += std::string(HashdeepColumn(line)) + ",";
    return text + "filename\n## Invoked from: " + folder + "\n## # " + commandLine + "\n## \n";
}

bool WriteHashdeepLine(const std::string& name, uint64_t size, const std::vector<std::string>& hex,
                       std::string& text, std::string& reason) {
    // hashdeep reads a line to its line feed and drops a carriage return before it.
    if (name.find('\n') != std::string::npos || name.back() == '\r') {
        reason =
            "a hashdeep list cannot hold a name with a line feed, nor one that ends in a "
            "carriage return";
        return false;
    }
    text += std::to_string(size);
    for (const std::string& value : hex) text += "," + value;
    text += "," + name + "\n";
    return true;
}

bool ParseHashdeepColumns(const std::string& text, std::vector<long>& columns,
                          std::string& reason) {
    const std::string line = WithoutCr(text);
    columns.clear();
    bool algorithm = false;
    for (size_t start = 5, end; start <= line.size(); start = end + 1) {
        end = std::min(line.find(',', start), line.size());
        const std::string name = line.substr(start, end - start);
        if (name == "filename" && end == line.size()) {
            if (algorithm) return true;
            reason = "a hashdeep header that names no algorithm";
            return false;
        }
        long column = -1;
        if (name != "size") {
            for (size_t line : HashdeepLines()) {
                if (name == HashdeepColumn(line)) column = long(line);
            }
            if (column < 0) {
                reason = "a hashdeep column '" + name +
                         "' that is not size, md5, sha1, sha256, "
                         "tiger, whirlpool or filename (last)";
                return false;
            }
        }
        if (std::find(columns.begin(), columns.end(), column) != columns.end()) {
            reason = "a hashdeep header that names the column '" + name + "' twice";
            return false;
        }
        algorithm = algorithm || column >= 0;
        columns.push_back(column);
    }
    reason = "a hashdeep header whose last column is not filename";
    return false;
}

bool ParseHashdeepLine(const std::string& text, const std::vector<long>& columns, int64_t& size,
                       std::vector<ChecksumLine>& entries, std::string& reason) {
    const std::string line = WithoutCr(text);
    size = -1;
    entries.clear();
    size_t start = 0;
    for (long column : columns) {
        const size_t end = line.find(',', start);
        if (end == std::string::npos) {
            reason = "fewer columns than the hashdeep header names";
            return false;
        }
        const std::string value = line.substr(start, end - start);
        start = end + 1;
        if (column < 0) {
            // At most 18 digits: any file size, and no overflow.
            if (value.empty() || value.size() > 18 ||
                value.find_first_not_of("0123456789") != std::string::npos) {
                reason = "a size that is not a decimal number";
                return false;
            }
            size = int64_t(std::stoll(value));
            continue;
        }
        if (value.empty() || HexRun(value, 0) != value.size()) {
            reason = std::string("a ") + HashdeepColumn(size_t(column)) + " value that is not hex";
            return false;
        }
        ChecksumLine entry;
        entry.hex = value;
        entry.line = column;
        entries.push_back(entry);
    }
    if (start == line.size()) {
        reason = "no file name";
        return false;
    }
    for (ChecksumLine& entry : entries) entry.name = line.substr(start);
    return true;
}
