// What --update and --audit share: the files they look at, each keyed as the entries of a
// list are, so that "tree/a", "./tree/a" and an absolute name of the same file meet; the
// algorithm of a list's untagged values; and a file's values for an entry.
#ifndef KORVADEX_CLI_LIST_UPKEEP_H
#define KORVADEX_CLI_LIST_UPKEEP_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "batch/input_batch.h"
#include "batch/progress.h"
#include "lists/list_document.h"
#include "options.h"
#include "system/system.h"

// A file of the operands.
struct SeenFile {
    std::string path;  // as the walk names it
    std::string key;   // its absolute path (see NameKey)
    PathStatus status;
    FileTime modified;  // its modification time, for a regular file
};

// The files of the operands (walked with -r), in the order found, without the list itself
// (options.keptList) and without repeats.  False, after a message, when the walk met an
// error or an operand is not there or could not be looked at (which is then left out).
bool GatherFiles(const Options& options, std::vector<SeenFile>& files);

// The key of a name of a list: its absolute path.
std::string NameKey(const std::string& name);

// The key of a name of a list's entry: a name with '\\' that is not found is taken with '/'
// in its place.
std::string ListedKey(const std::string& name);

// The entries of document by the key of their names (a name with '\' that is not found
// taken with '/' in its place), leaving out those that --exclude and --include leave out.
// Entries whose names share a key ("a" and "./a", or a name listed twice) are given in the
// order of the list.
std::unordered_map<std::string, std::vector<size_t>> EntriesByKey(const ListDocument& document,
                                                                  const Options& options);

// Gives each untagged value of a list its line: the one of -a of its width, else the one
// the list's name stands for, else the only line of its width, else the first of those lines
// (the likeliest first) that matches the file of one of the first listed entries whose files
// exist (said on standard error).  Checks that the values are keyed when a key is given and
// plain when not.  The lines of the list are taken one by one, in order, then resolved.
class LineResolver {
public:
    LineResolver(const Options& options, const std::vector<uint8_t>& key, Progress& progress);

    // Takes the values of an entry line for the file name.  False, with reason, when a value
    // fits none, or is keyed where no key is given or plain where one is.
    bool Take(const std::string& name, const std::vector<ChecksumLine>& values,
              std::string& reason);

    // After the last line: finds the lines of the values that need it.  False, with reason,
    // for a hashdeep list given a key.
    bool Finish(bool hashdeep, std::string& reason);

    // Gives value, the one at column of its line in the list, its line and whether it is
    // keyed.
    void Resolve(ListValue& value, size_t column) const;

    // Resolves the values of entry, as read from the list.
    void ResolveEntry(ListEntry& entry) const;

    // After Finish: the lines of all the values taken, each once, in order.
    std::vector<size_t> Lines() const;

private:
    // The untagged values of one width in one column of their lines.
    struct Slot {
        std::pair<size_t, size_t> widthAndColumn;
        long line;                                               // -1 while to be inferred
        std::vector<std::pair<std::string, std::string>> tries;  // files and their values
    };
    static std::vector<size_t> Candidates(size_t digits);
    size_t InferLine(const Slot& slot);

    const Options& options_;
    const std::vector<uint8_t>& key_;
    Progress& progress_;
    const long hint_;
    std::vector<Slot> slots_;   // in the order met
    std::vector<bool> tagged_;  // the lines of tagged values met
};

// Resolves the values of document (see LineResolver).  False, with reason, as Take and
// Finish.
bool ResolveLines(ListDocument& document, const Options& options, const std::vector<uint8_t>& key,
                  Progress& progress, std::string& reason);

// The lines of an entry's values, each once.
std::vector<size_t> EntryLines(const ListEntry& entry);

class DigestCache;

// Reads file once for lines; hex gets the upper-case value of each line at its index.
bool HashFile(const std::string& path, const std::vector<size_t>& lines, const Options& options,
              const std::vector<uint8_t>& key, Progress& progress, std::vector<std::string>& hex,
              uint64_t& size);

// Gives file to batch for lines, to be computed as HashFile computes it, or through cache
// when one is given.
void AddFileToHash(InputBatch& batch, const std::string& path, const std::vector<size_t>& lines,
                   const Options& options, const std::vector<uint8_t>& key,
                   InputBatch::Deliver deliver, DigestCache* cache = nullptr);

// The opening lines of a hashdeep list written by this command line in folder.
std::string HashdeepOpening(const Options& options, const std::string& folder);

// The lines of -a in the order of hashdeep's columns.
std::vector<size_t> HashdeepColumns(const Options& options);

#endif
