// The entries of a list of any size, sorted outside memory by a key of their names, then by
// name: each made of its lines as ReadListDocument makes it, whatever lies between them.
#ifndef KORVADEX_CLI_SORTED_ENTRIES_H
#define KORVADEX_CLI_SORTED_ENTRIES_H

#include <cstdint>
#include <string>

#include "lists/list_document.h"
#include "lists/record_sort.h"

class SortedEntries {
public:
    // Adds an entry line of the list, with key for its name.  False, with Reason(), when the
    // lines cannot be kept.
    bool Add(const std::string& key, const ListLine& line);

    // Starts (again) the reading from the first entry.
    bool Start();

    // The next entry in the order of keys, then names; for entries of one name, in the
    // order of their first lines.  Each value's text is the index of its line (from 0), its
    // hex and written the value as the list writes it; an untagged value's line is -1.
    // False at the end, or when the lines cannot be read: then Reason() is not empty.
    bool Next(std::string& key, ListEntry& entry);

    uint64_t Lines() const { return sort_.Count(); }
    const std::string& Reason() const { return sort_.Reason(); }

private:
    static void Decode(const std::string& record, std::string& key, ListLine& line);

    RecordSort sort_;
    std::string record_;
    bool pending_ = false;  // record_ holds the first line of the next entry
};

#endif
