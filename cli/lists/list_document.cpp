#include "lists/list_document.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "common/error_text.h"
#include "lists/csv_lines.h"
#include "lists/json_lines.h"
#include "lists/list_entries.h"
#include "lists/list_reader.h"
#include "system/file_input.h"
#include "system/system.h"

namespace {

// A saved report starts with a ruler of '='.
const char kRuler[] = "==========";

const char kUtf8Mark[] = "\xEF\xBB\xBF";

// The text a list rewritten is written in at once.
constexpr size_t kRewriteBytes = size_t(1) << 20;

std::string WithoutCr(const std::string& text) {
    return !text.empty() && text.back() == '\r' ? text.substr(0, text.size() - 1) : text;
}

bool HasLetters(const std::string& hex) {
    return hex.find_first_of("abcdefABCDEF") != std::string::npos;
}

// The form of an entry line read by ParseChecksumLine: a gnu line starts with its value, an
// SFV line with its name; any other is a bsd line.
ListKind KindOf(const std::string& text, const ChecksumLine& entry) {
    const size_t start = text.find_first_not_of(" \t\\");
    if (start != std::string::npos && text.compare(start, entry.hex.size(), entry.hex) == 0 &&
        entry.line < 0) {
        return ListKind::kGnu;
    }
    if (text.compare(text.find_first_not_of(" \t"), entry.name.size(), entry.name) == 0) {
        return ListKind::kSfv;
    }
    return ListKind::kBsd;
}

// Takes the values of one entry line.
ListEntry& TakeEntry(ListDocument& document, size_t text, const std::vector<ChecksumLine>& values,
                     int64_t size) {
    const std::string& name = values[0].name;
    auto found = document.byName.find(name);
    size_t index;
    if (found != document.byName.end() && AddsTo(document.entries[found->second], values)) {
        index = found->second;
    } else {
        index = document.entries.size();
        document.entries.push_back(ListEntry());
        document.entries.back().name = name;
        document.byName[name] = index;
    }
    ListEntry& entry = document.entries[index];
    for (const ChecksumLine& value : values) {
        entry.values.push_back(ListValue{text, value.line, value.keyed, value.hex, value.hex});
    }
    if (size >= 0) entry.size = size;
    document.owner[text] = long(index);
    return entry;
}

// The record of an entry, with its values on line number (all of them for SIZE_MAX).
FileRecord RecordOf(const ListEntry& entry, size_t number) {
    FileRecord record;
    record.name = entry.name;
    record.size = entry.size;
    record.timeKnown = entry.timeKnown;
    record.modified = entry.modified;
    for (const ListValue& value : entry.values) {
        if (number != SIZE_MAX && value.text != number) continue;
        record.digests.push_back(RecordDigest{size_t(value.line), value.hex, value.keyed});
    }
    return record;
}

// Learns the form of the list's entry lines from its first entry, the values of
// entry line number.
void LearnForm(ListDocument& document, const ListEntries& entries, size_t number,
               const std::vector<ChecksumLine>& values) {
    const std::string& text = document.lines[number];
    const ChecksumLine& first = values[0];
    if (entries.Hashdeep()) {
        document.kind = ListKind::kHashdeep;
    } else if (entries.WholeFile()) {
        document.kind = StartsJsonList(document.lines[0]) ? ListKind::kJson : ListKind::kCsv;
    } else if (values.size() > 1) {
        document.kind = ListKind::kColumns;
        const size_t at = text.rfind(values.back().hex);
        const size_t before = text.find_last_not_of(" \t", at - 1);
        document.columnBlanks = text.substr(before + 1, at - before - 1);
    } else {
        document.kind = KindOf(text, first);
        document.binary = document.kind == ListKind::kGnu &&
                          text.compare(text.find(first.hex) + first.hex.size(), 2, " *") == 0;
    }
    document.lower = !HasLetters(first.hex) ? FormatOf(OutputFormat::kGnu).lowerHex
                                            : first.hex != ListUpper(first.hex);
}

// For a list without entries: its kind and the values a new entry gets from the columns its
// header names (a hashdeep or CSV list); none for another list.
void LearnHeader(ListDocument& document) {
    const std::vector<std::string>& lines = document.lines;
    std::vector<ListValue>& pattern = document.pattern;
    std::string reason;
    std::vector<long> columns;
    std::vector<CsvColumn> csvColumns;
    for (const std::string& line : lines) {
        if (line.compare(0, 10, "%%%% size,") == 0 && ParseHashdeepColumns(line, columns, reason)) {
            for (long column : columns) {
                if (column >= 0) pattern.push_back(ListValue{0, column, false, "", ""});
            }
            document.kind = ListKind::kHashdeep;
            return;
        }
    }
    if (!lines.empty() && StartsCsvList(lines[0]) && ParseCsvHeader(lines[0], csvColumns, reason)) {
        for (const CsvColumn& column : csvColumns) {
            pattern.push_back(ListValue{0, long(column.line), column.keyed, "", ""});
        }
        document.kind = ListKind::kCsv;
    }
}

// The line of a record in a JSON or CSV list, with its line end.
std::string RecordLine(const ListDocument& document, const FileRecord& record) {
    return document.kind == ListKind::kJson ? JsonRecordLine(record) : CsvRecordLine(record);
}

std::string WithoutLineEnd(const std::string& text) {
    return WithoutCr(text.substr(0, text.size() - 1));
}

// The text of line number of an entry read from the list, with its values as they are now.
std::string EntryLine(const ListDocument& document, size_t number) {
    const ListEntry& entry = document.entries[size_t(document.owner[number])];
    std::vector<const ListValue*> values;
    for (const ListValue& value : entry.values) {
        if (value.text == number) values.push_back(&value);
    }
    std::string text = document.lines[number];
    if (!entry.changed) return text;
    if (document.kind == ListKind::kJson || document.kind == ListKind::kCsv) {
        return WithoutLineEnd(RecordLine(document, RecordOf(entry, number)));
    }
    if (document.kind == ListKind::kHashdeep) {
        std::vector<std::string> hex;
        for (const ListValue* value : values) hex.push_back(value->hex);
        std::string line;
        std::string reason;
        // The name was read from such a line, so it can be written again.
        WriteHashdeepLine(entry.name, uint64_t(entry.size), hex, line, reason);
        line.pop_back();
        return line;
    }
    // The values stand at the end of the line, but a gnu line's at its start.
    size_t limit = text.size();
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        const ListValue& value = **it;
        const size_t at = document.kind == ListKind::kGnu ? text.find(value.written)
                                                          : text.rfind(value.written, limit);
        if (at == std::string::npos) continue;
        text.replace(at, value.written.size(), value.hex);
        limit = at == 0 ? 0 : at - 1;
    }
    return text;
}

// The lines of an added entry.
bool AddedLines(const ListDocument& document, const ListEntry& entry,
                std::vector<std::string>& lines, std::string& reason) {
    std::string text;
    if (document.kind == ListKind::kJson || document.kind == ListKind::kCsv) {
        lines.push_back(WithoutLineEnd(RecordLine(document, RecordOf(entry, SIZE_MAX))));
        return true;
    }
    if (document.kind == ListKind::kHashdeep) {
        std::vector<std::string> hex;
        for (const ListValue& value : entry.values) hex.push_back(value.hex);
        if (!WriteHashdeepLine(entry.name, uint64_t(entry.size), hex, text, reason)) return false;
    } else if (document.kind == ListKind::kColumns) {
        if (entry.name.find_first_of("\r\n") != std::string::npos) {
            reason = "a list of this form cannot hold a name with a line break";
            return false;
        }
        text = entry.name;
        for (const ListValue& value : entry.values) text += document.columnBlanks + value.hex;
        text += "\n";
    } else {
        const OutputFormat format = document.kind == ListKind::kGnu   ? OutputFormat::kGnu
                                    : document.kind == ListKind::kBsd ? OutputFormat::kBsd
                                                                      : OutputFormat::kSfv;
        LineStyle style;
        style.binary = document.binary;
        for (const ListValue& value : entry.values) {
            ChecksumLine line;
            line.name = entry.name;
            line.hex = value.hex;
            line.line = value.line;
            line.keyed = value.keyed;
            if (!FormatOf(format).write(line, style, text, reason)) return false;
        }
    }
    for (size_t from = 0, end; from < text.size(); from = end + 1) {
        end = text.find('\n', from);
        lines.push_back(text.substr(from, end - from));
    }
    return true;
}

}  // namespace

bool AddsTo(const ListEntry& entry, const std::vector<ChecksumLine>& values) {
    for (const ChecksumLine& value : values) {
        for (const ListValue& held : entry.values) {
            if (held.line == value.line && (value.line >= 0 || held.hex.size() == value.hex.size()))
                return false;
        }
    }
    return true;
}

std::string ListUpper(std::string hex) {
    for (char& c : hex) {
        if (c >= 'a' && c <= 'f') c = char(c - 'a' + 'A');
    }
    return hex;
}

bool RecordsSizes(const ListDocument& document) {
    return document.kind == ListKind::kHashdeep || RecordsTimes(document);
}

bool RecordsTimes(const ListDocument& document) {
    return document.kind == ListKind::kJson || document.kind == ListKind::kCsv;
}

void SetValue(const ListDocument& document, ListValue& value, const std::string& upperHex) {
    const bool lower =
        HasLetters(value.written) ? value.written != ListUpper(value.written) : document.lower;
    value.hex = upperHex;
    if (!lower) return;
    for (char& c : value.hex) {
        if (c >= 'A' && c <= 'F') c = char(c - 'A' + 'a');
    }
}

bool ReadListDocument(const std::string& path, ListDocument& document, std::string& reason,
                      const std::function<bool(const ListLine&)>& keep) {
    document = ListDocument();
    FILE* file = OpenForReading(path);
    if (file == nullptr) {
        reason = ErrnoText(errno);
        return false;
    }
    char start[3] = {};
    const size_t got = std::fread(start, 1, 3, file);
    document.utf16 = got >= 2 && ((start[0] == '\xFF' && start[1] == '\xFE') ||
                                  (start[0] == '\xFE' && start[1] == '\xFF'));
    document.utf8Mark = got == 3 && std::memcmp(start, kUtf8Mark, 3) == 0;
    std::rewind(file);
    ListReader reader(file);
    ListEntries entries(path);
    bool kindKnown = false;
    std::vector<std::string> raw;  // the lines of a CSV row not yet complete, as read
    std::string text;
    bool entryRead = false;
    for (size_t physical = 1; reader.Next(text); ++physical) {
        if (document.lines.empty() && text.compare(0, sizeof kRuler - 1, kRuler) == 0) {
            std::fclose(file);
            reason = "a saved report, which holds one file, not a checksum list";
            return false;
        }
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (document.lines.empty() && !text.empty() && text.back() == '\r') {
            document.lineEnd = "\r\n";
        }
        raw.push_back(text);
        document.lines.push_back(WithoutCr(text));
        document.owner.push_back(-1);
        document.numbers.push_back(physical);
        size_t number = document.lines.size();
        std::vector<ChecksumLine> values;
        int64_t size = -1;
        const ChecksumLineKind kind = entries.Take(text, number, values, size, reason);
        if (kind == ChecksumLineKind::kMalformed) ++document.malformed;
        if (kind != ChecksumLineKind::kEntry) {
            // Only a CSV row may go on past its line.
            if (!entries.WholeFile() || entries.Hashdeep()) raw.clear();
            continue;
        }
        // A CSV row that spans lines is one line of the list, its line breaks in it.
        const size_t first = number - 1;
        if (first + 1 < document.lines.size()) {
            std::string row;
            for (size_t i = raw.size() - std::min(raw.size(), document.lines.size() - first);
                 i < raw.size(); ++i) {
                row += (row.empty() ? "" : "\n") + raw[i];
            }
            document.lines.resize(first + 1);
            document.owner.resize(first + 1);
            document.numbers.resize(first + 1);
            document.lines[first] = WithoutCr(row);
        }
        raw.clear();
        entryRead = true;
        if (!kindKnown) {
            kindKnown = true;
            LearnForm(document, entries, first, values);
        }
        if (keep) {
            ListLine line;
            line.number = document.numbers[first];
            line.values = std::move(values);
            line.size = size;
            line.timeKnown = entries.Modified(line.modified);
            if (!keep(line)) {
                document.lines.resize(first);
                document.owner.resize(first);
                document.numbers.resize(first);
                continue;
            }
            values = std::move(line.values);
        }
        ListEntry& entry = TakeEntry(document, first, values, size);
        entry.timeKnown = entries.Modified(entry.modified);
    }
    reason.clear();
    std::fclose(file);
    if (reader.Failed()) {
        reason = reader.Reason();
        return false;
    }
    if (!entryRead) LearnHeader(document);
    if (!entryRead && document.pattern.empty()) {
        reason = "no properly formatted checksum lines found";
        return false;
    }
    return true;
}

ListDocument NewListDocument(OutputFormat format, const std::vector<size_t>& lines, bool keyed,
                             bool binary, bool lower, const std::string& header) {
    ListDocument document;
    document.kind = format == OutputFormat::kBsd        ? ListKind::kBsd
                    : format == OutputFormat::kSfv      ? ListKind::kSfv
                    : format == OutputFormat::kHashdeep ? ListKind::kHashdeep
                    : format == OutputFormat::kJson     ? ListKind::kJson
                    : format == OutputFormat::kCsv      ? ListKind::kCsv
                                                        : ListKind::kGnu;
    document.binary = binary;
    document.lower = lower;
    for (size_t from = 0, end; from < header.size(); from = end + 1) {
        end = header.find('\n', from);
        document.lines.push_back(header.substr(from, end - from));
        document.owner.push_back(-1);
    }
    std::vector<CsvColumn> columns;
    for (size_t line : lines) {
        document.pattern.push_back(ListValue{0, long(line), keyed, "", ""});
        columns.push_back(CsvColumn{line, keyed});
    }
    if (document.kind == ListKind::kCsv) {
        document.lineEnd = "\r\n";
        document.lines.push_back(WithoutLineEnd(CsvHeader(columns)));
        document.owner.push_back(-1);
    }
    return document;
}

size_t AddEntry(ListDocument& document, const std::string& name) {
    std::vector<ListValue> values = document.pattern;
    for (const ListEntry& entry : document.entries) {
        if (entry.added) continue;
        values = entry.values;
        break;
    }
    for (ListValue& value : values) {
        value.hex.clear();
        value.written.clear();
    }
    ListEntry entry;
    entry.name = name;
    entry.values = values;
    entry.added = true;
    document.entries.push_back(entry);
    document.byName.emplace(name, document.entries.size() - 1);
    return document.entries.size() - 1;
}

bool CarriesEntry(const ListDocument& document, const ListEntry& entry, std::string& reason) {
    std::vector<std::string> lines;
    return AddedLines(document, entry, lines, reason);
}

std::string WriteListDocument(const ListDocument& document) {
    std::vector<size_t> added;
    for (size_t i = 0; i < document.entries.size(); ++i) {
        if (document.entries[i].added && !document.entries[i].dropped) added.push_back(i);
    }
    std::sort(added.begin(), added.end(), [&](size_t a, size_t b) {
        return document.entries[a].name < document.entries[b].name;
    });
    size_t lastEntryLine = document.lines.size();
    for (size_t i = 0; i < document.lines.size(); ++i) {
        if (document.owner[i] >= 0) lastEntryLine = i;
    }
    std::string text = document.utf8Mark ? kUtf8Mark : "";
    size_t next = 0;  // the first added entry not yet written
    // Writes the added entries whose names sort before bound (all of them when bound is null).
    const auto writeAdded = [&](const std::string* bound) {
        for (; next < added.size(); ++next) {
            const ListEntry& entry = document.entries[added[next]];
            if (bound != nullptr && !(entry.name < *bound)) break;
            std::vector<std::string> lines;
            std::string reason;
            if (!AddedLines(document, entry, lines, reason)) continue;
            for (const std::string& line : lines) text += line + document.lineEnd;
        }
    };
    std::vector<bool> begun(document.entries.size(), false);
    if (lastEntryLine == document.lines.size()) lastEntryLine = document.lines.size() - 1;
    for (size_t i = 0; i < document.lines.size(); ++i) {
        const long owner = document.owner[i];
        if (owner >= 0 && !begun[size_t(owner)]) {
            begun[size_t(owner)] = true;
            writeAdded(&document.entries[size_t(owner)].name);
        }
        if (owner < 0) {
            text += document.lines[i] + document.lineEnd;
        } else if (!document.entries[size_t(owner)].dropped) {
            text += EntryLine(document, i) + document.lineEnd;
        }
        if (i == lastEntryLine) writeAdded(nullptr);
    }
    if (document.lines.empty()) writeAdded(nullptr);
    return text;
}

bool RewriteList(const std::string& path, const ListDocument& part, size_t last,
                 const std::function<bool(size_t number)>& drop,
                 const std::function<bool(const std::string& text, std::string& reason)>& write,
                 std::string& reason) {
    FILE* file = OpenForReading(path);
    if (file == nullptr) {
        reason = ErrnoText(errno);
        return false;
    }
    std::unordered_map<size_t, size_t> partLines;  // by number, those of entries
    for (size_t i = 0; i < part.lines.size(); ++i) {
        if (part.owner[i] >= 0) partLines[part.numbers[i]] = i;
    }
    std::vector<size_t> added;
    for (size_t i = 0; i < part.entries.size(); ++i) {
        if (part.entries[i].added && !part.entries[i].dropped) added.push_back(i);
    }
    std::sort(added.begin(), added.end(),
              [&](size_t a, size_t b) { return part.entries[a].name < part.entries[b].name; });
    std::string out = part.utf8Mark ? kUtf8Mark : "";
    size_t next = 0;  // the first added entry not yet written
    const auto writeAdded = [&](const std::string* bound) {
        for (; next < added.size(); ++next) {
            const ListEntry& entry = part.entries[added[next]];
            if (bound != nullptr && !(entry.name < *bound)) break;
            std::vector<std::string> lines;
            std::string why;
            if (!AddedLines(part, entry, lines, why)) continue;
            for (const std::string& line : lines) out += line + part.lineEnd;
        }
    };
    ListReader reader(file);
    ListEntries entries(path);
    std::vector<std::pair<size_t, std::string>> pending;  // lines a CSV row may yet take
    const auto plain = [&](const std::string& text) { out += WithoutCr(text) + part.lineEnd; };
    bool written = true;
    std::string text, why;
    for (size_t physical = 1; written && reader.Next(text); ++physical) {
        if (!text.empty() && text.back() == '\n') text.pop_back();
        pending.push_back({physical, text});
        size_t number = physical;
        std::vector<ChecksumLine> values;
        int64_t size = -1;
        if (entries.Take(text, number, values, size, why) != ChecksumLineKind::kEntry) {
            if (!entries.WholeFile() || entries.Hashdeep()) {
                for (const auto& line : pending) plain(line.second);
                pending.clear();
            }
            continue;
        }
        // The lines before the entry's first are of no entry; the others make its row.
        std::string row;
        for (const auto& line : pending) {
            if (line.first < number) {
                plain(line.second);
            } else {
                row += (row.empty() ? "" : "\n") + line.second;
            }
        }
        pending.clear();
        writeAdded(&values[0].name);
        const auto found = partLines.find(number);
        if (found != partLines.end()) {
            if (!part.entries[size_t(part.owner[found->second])].dropped) {
                out += EntryLine(part, found->second) + part.lineEnd;
            }
        } else if (!drop(number)) {
            out += WithoutCr(row) + part.lineEnd;
        }
        if (number == last) writeAdded(nullptr);
        if (out.size() >= kRewriteBytes) {
            written = write(out, reason);
            out.clear();
        }
    }
    for (const auto& line : pending) plain(line.second);
    std::fclose(file);
    if (written && reader.Failed()) {
        reason = reader.Reason();
        return false;
    }
    return written && write(out, reason);
}
