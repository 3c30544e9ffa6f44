#include "lists/sorted_entries.h"

namespace {

void PutNumber(std::string& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out += char(uint8_t(value >> (8 * i)));
}

uint64_t GetNumber(const std::string& in, size_t& at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes && at < in.size(); ++i) value = value << 8 | uint8_t(in[at++]);
    return value;
}

std::string GetText(const std::string& in, size_t& at, size_t length) {
    const std::string text = in.substr(at, length);
    at += length;
    return text;
}

}  // namespace

// A line's record: its key and name, each ended by a NUL, and its number, which make its
// place in byte order; then its size, time and values; last the lengths of the key and name.
bool SortedEntries::Add(const std::string& key, const ListLine& line) {
    std::string record = key;
    record += '\0';
    record += line.values[0].name;
    record += '\0';
    PutNumber(record, line.number, 8);
    PutNumber(record, uint64_t(line.size), 8);
    record += char(line.timeKnown);
    PutNumber(record, uint64_t(line.modified.seconds), 8);
    PutNumber(record, line.modified.nanoseconds, 4);
    PutNumber(record, line.values.size(), 4);
    for (const ChecksumLine& value : line.values) {
        PutNumber(record, uint64_t(value.line), 8);
        record += char(value.keyed);
        PutNumber(record, value.hex.size(), 4);
        record += value.hex;
    }
    PutNumber(record, key.size(), 4);
    PutNumber(record, line.values[0].name.size(), 4);
    return sort_.Add(record);
}

void SortedEntries::Decode(const std::string& record, std::string& key, ListLine& line) {
    size_t at = record.size() - 8;
    const size_t keyLength = size_t(GetNumber(record, at, 4));
    const size_t nameLength = size_t(GetNumber(record, at, 4));
    at = 0;
    key = GetText(record, at, keyLength);
    const std::string name = GetText(record, ++at, nameLength);
    ++at;
    line.number = size_t(GetNumber(record, at, 8));
    line.size = int64_t(GetNumber(record, at, 8));
    line.timeKnown = record[at++] != 0;
    line.modified.seconds = int64_t(GetNumber(record, at, 8));
    line.modified.nanoseconds = uint32_t(GetNumber(record, at, 4));
    line.values.resize(size_t(GetNumber(record, at, 4)));
    for (ChecksumLine& value : line.values) {
        value.name = name;
        value.line = long(int64_t(GetNumber(record, at, 8)));
        value.keyed = record[at++] != 0;
        value.hex = GetText(record, at, size_t(GetNumber(record, at, 4)));
    }
}

bool SortedEntries::Start() {
    pending_ = false;
    return sort_.Start();
}

bool SortedEntries::Next(std::string& key, ListEntry& entry) {
    entry = ListEntry();
    ListLine line;
    std::string lineKey;
    for (;;) {
        if (!pending_ && !sort_.Next(record_)) return !entry.values.empty() && Reason().empty();
        pending_ = true;
        Decode(record_, lineKey, line);
        const bool begun = !entry.values.empty();
        // The lines of one name make one entry as long as each gives values it lacks.
        if (begun &&
            (lineKey != key || line.values[0].name != entry.name || !AddsTo(entry, line.values))) {
            return true;
        }
        pending_ = false;
        if (!begun) {
            key = lineKey;
            entry.name = line.values[0].name;
        }
        for (const ChecksumLine& value : line.values) {
            entry.values.push_back(
                ListValue{line.number - 1, value.line, value.keyed, value.hex, value.hex});
        }
        if (line.size >= 0) entry.size = line.size;
        entry.timeKnown = line.timeKnown;
        if (line.timeKnown) entry.modified = line.modified;
    }
}
