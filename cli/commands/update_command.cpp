// --update: brings a checksum list up to date with the files given, hashing only what the
// list cannot vouch for.
//
// A listed file is hashed again when its size or time differs from the one the list records
// (hashdeep lists record sizes, JSON and CSV lists both), or when it was modified less than
// kTimestampSlack before the list was last written:
// such a file may have been rewritten after it was hashed, within the same tick of a coarse
// clock.  The list written is stamped with the time the run began, before any file was looked
// at, so that a file changed while the run went on is hashed again by the next one.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <utility>

#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "commands/digest_cache.h"
#include "commands/list_upkeep.h"
#include "commands/list_writer.h"
#include "commands/shard_output.h"
#include "common/algorithm_names.h"
#include "common/error_text.h"
#include "common/line_names.h"
#include "lists/sorted_entries.h"
#include "system/file_input.h"
#include "system/file_output.h"

namespace {

// The widest step of the modification times a file system keeps: FAT's two seconds (ext3,
// HFS+ and many network file systems keep whole seconds, NTFS, exFAT and the others finer).
constexpr int64_t kTimestampSlack = int64_t(2) * 1000000000;

int64_t Nanoseconds(const FileTime& time) {
    return time.seconds * 1000000000 + time.nanoseconds;
}

// The list named by options, read (only the entry lines keep takes, when given) or begun.
// False, after a message, when it can be neither.
bool OpenList(const Options& options, ListDocument& document, PathStatus& status,
              const std::function<bool(const ListLine&)>& keep = nullptr) {
    const std::string& path = options.keptList;
    status = LookUpPath(path);
    std::string reason;
    if (status.kind == PathKind::kRegular) {
        if (!ReadListDocument(path, document, reason, keep)) {
            PrintError(path, "not updated: " + reason);
            return false;
        }
        if (document.utf16) {
            PrintError(path,
                       "not updated: a UTF-16 list, which would be written back in UTF-8; "
                       "convert it first (iconv -f UTF-16 -t UTF-8)");
            return false;
        }
        return true;
    }
    if (status.kind != PathKind::kMissing) {
        PrintError(
            path, status.kind == PathKind::kUnknown ? "cannot be looked at" : "not a regular file");
        return false;
    }
    if (options.format == OutputFormat::kReport) {
        PrintError(path, "no such file; to begin a new list, give its --format");
        return false;
    }
    const bool hashdeep = options.format == OutputFormat::kHashdeep;
    document = NewListDocument(options.format, hashdeep ? HashdeepColumns(options) : options.only,
                               options.keyed, options.binary, LowerHex(options),
                               hashdeep ? HashdeepOpening(options, CurrentFolder()) : "");
    if (document.pattern.empty()) {
        document = NewListDocument(options.format, AllLines(), options.keyed, options.binary,
                                   LowerHex(options), "");
    }
    return true;
}

// Whether --format and -a, where given, fit the list that exists: a list keeps its format
// and its algorithms.
bool FitsList(const Options& options, const ListDocument& document, const std::vector<size_t>& held,
              std::string& reason) {
    if (options.format != OutputFormat::kReport &&
        NewListDocument(options.format, {}, false, false, false, "").kind != document.kind) {
        reason = std::string("it is not a list of --format ") + FormatOf(options.format).name +
                 ", which only a new list takes";
        return false;
    }
    for (size_t line : options.only) {
        if (!options.algorithmsGiven || held.empty() ||
            std::find(held.begin(), held.end(), line) != held.end()) {
            continue;
        }
        reason = "it holds no " + LineName(kReportLines[line]) +
                 " values, which -a names; a list keeps the algorithms it has";
        return false;
    }
    return true;
}

// The check of a key against a list that keeps some of its keyed values (see RunUpdate): the
// entry at vouched (of a file given, kept as it is; -1: none), else the first entry the run
// leaves as it is whose file the list vouches for (of those document holds, then of others)
// is hashed under the key and must give the listed values.  False, after a message, when it
// does not, or when values are kept and no such file is found.  A shard keeps only the values
// of its own entries (owns), but any entry's file may vouch for the key.
template <typename Vouches, typename Owns>
bool CheckListKey(const ListDocument& document, SortedEntries& others, const LineResolver& resolver,
                  const std::vector<bool>& hashed, const std::vector<bool>& seen, long vouched,
                  const std::string& vouchedPath, const Vouches& vouches, const Owns& owns,
                  const Options& options, const std::vector<uint8_t>& key, Progress& progress) {
    std::string path = vouchedPath;
    ListEntry entry;
    if (vouched >= 0) entry = document.entries[size_t(vouched)];
    bool keptValues = vouched >= 0;
    // Whether listed, left as it is, vouches for the key; it keeps values unless pruned.
    const auto takes = [&](const ListEntry& listed) {
        const PathStatus status = LookUpPath(listed.name);
        // An entry whose file is gone, and which --prune drops, keeps nothing.
        if (options.prune && status.kind == PathKind::kMissing &&
            options.filter.TakesListed(listed.name)) {
            return false;
        }
        keptValues = keptValues || owns(listed);
        FileTime modified;
        if (status.kind != PathKind::kRegular || !ModificationTime(listed.name, modified) ||
            !vouches(listed, status, modified)) {
            return false;
        }
        path = listed.name;
        entry = listed;
        return true;
    };
    bool found = vouched >= 0;
    for (size_t i = 0; i < document.entries.size() && !found; ++i) {
        const ListEntry& listed = document.entries[i];
        if (!listed.added && !hashed[i] && !seen[i]) found = takes(listed);
    }
    std::string name;
    ListEntry other;
    const bool sorted = found || others.Start();
    while (!found && sorted && others.Next(name, other)) {
        resolver.ResolveEntry(other);
        found = takes(other);
    }
    if (!others.Reason().empty()) {
        PrintError(options.keptList, "not updated: " + others.Reason());
        return false;
    }
    if (!found) {
        if (!keptValues) return true;
        PrintError(options.keptList,
                   "not updated: the key given cannot be checked, since no listed file is as the "
                   "list records it, and a wrong key would put values under two keys in one "
                   "list (give the listed files too, with --rehash to hash them again under the "
                   "key given)");
        return false;
    }
    std::vector<std::string> hex;
    uint64_t size = 0;
    if (HashFile(path, EntryLines(entry), options, key, progress, hex, size) &&
        !std::all_of(entry.values.begin(), entry.values.end(),
                     [&](const ListValue& v) { return ListUpper(v.hex) == hex[size_t(v.line)]; })) {
        PrintError(options.keptList,
                   "not updated: the key given does not give the listed values of " + path +
                       ", which the list vouches for: a wrong key? (--rehash hashes every "
                       "file given again under the key given)");
        return false;
    }
    return true;
}

std::string Count(size_t count, const char* what) {
    return std::to_string(count) + " " + what;
}

// The SHA-256 of the list at path, which the shards of one update must all have read.
std::string ListCheck(const Options& options, Progress& progress) {
    std::vector<std::string> hex;
    uint64_t size = 0;
    const size_t line = size_t(FindAlgorithm("sha256"));
    if (!HashFile(options.keptList, {line}, options, {}, progress, hex, size)) return "";
    return hex[line];
}

// Puts the values a file gave into its entry (with its size and time, where the list records
// them).  Returns whether they are those the entry held.
bool PutValues(ListDocument& document, ListEntry& entry, const std::vector<std::string>& hex,
               uint64_t size, const FileTime& modified) {
    bool same = uint64_t(entry.size) == size || entry.size < 0;
    for (ListValue& value : entry.values) {
        same = same && ListUpper(value.hex) == hex[size_t(value.line)];
        SetValue(document, value, hex[size_t(value.line)]);
    }
    entry.changed = true;
    if (RecordsSizes(document)) entry.size = int64_t(size);
    if (RecordsTimes(document)) {
        entry.timeKnown = true;
        entry.modified = modified;
    }
    return same;
}

// A list read in part: what it has beyond the entries its document holds (sorted outside
// memory), the number of its last entry line, whether all its names are absolute, and the
// entry lines it drops.
struct ListPart {
    SortedEntries others;
    size_t last = 0;
    bool absolute = false;
    std::vector<bool> dropped;
};

// Opens the list (see OpenList), read in part when it exists: each entry line is taken by
// resolver, those of the list's first name (whose values new entries take) and those keeps
// takes go into document, and the others into part.others.  False, after a message, when it
// can be neither read nor begun; failure then, or after, says why the lines were refused.
bool OpenListPart(const Options& options, LineResolver& resolver,
                  const std::function<bool(const ListLine&)>& keeps, ListDocument& document,
                  PathStatus& status, ListPart& part, std::string& failure) {
    std::string firstName;
    bool absolute = true;
    const bool read = OpenList(options, document, status, [&](const ListLine& line) {
        const std::string& name = line.values[0].name;
        if (!failure.empty() || !resolver.Take(name, line.values, failure)) return false;
        if (part.last == 0) firstName = name;
        part.last = line.number;
        absolute = absolute && name[0] == '/';
        if (name == firstName || keeps(line)) return true;
        if (!part.others.Add("", line)) failure = part.others.Reason();
        return false;
    });
    part.absolute = absolute && part.last != 0;
    return read;
}

// Resolves the values of document: read in part by resolver from a list that exists, else a
// new list's.  reason, when not empty, says why they cannot be.
void ResolveValues(ListDocument& document, bool exists, LineResolver& resolver,
                   const Options& options, const std::vector<uint8_t>& key, Progress& progress,
                   std::string& reason) {
    if (!reason.empty()) return;
    if (!exists) {
        ResolveLines(document, options, key, progress, reason);
    } else if (resolver.Finish(document.kind == ListKind::kHashdeep, reason)) {
        for (ListEntry& entry : document.entries) resolver.ResolveEntry(entry);
    }
}

// Writes the list, in place of the one kept or to out, with the time the run began: document
// as it is, or with part, the list kept with document's lines in their places.
bool WriteList(const ListDocument& document, const Options& options, const FileTime& started,
               OutputFile* out, const std::string& target, bool& ok,
               const ListPart* part = nullptr) {
    std::string reason;
    const std::string& path = out != nullptr ? target : options.keptList;
    bool written;
    if (part != nullptr) {
        OutputFile file;
        OutputFile& into = out != nullptr ? *out : file;
        written = (out != nullptr || file.Open(path, reason)) &&
                  RewriteList(
                      options.keptList, document, part->last,
                      [&](size_t number) { return part->dropped[number]; },
                      [&](const std::string& text, std::string& why) {
                          return into.Write(text.data(), text.size(), why);
                      },
                      reason) &&
                  into.Commit(reason);
    } else {
        const std::string text = WriteListDocument(document);
        written = out != nullptr
                      ? out->Write(text.data(), text.size(), reason) && out->Commit(reason)
                      : WriteOutputFile(path, text, reason);
    }
    if (!written) {
        PrintError(path, "not updated: " + reason);
        return false;
    }
    // A FIFO or a device written as it is keeps its own time.
    if (LookUpPath(path).kind == PathKind::kRegular && !SetModificationTime(path, started)) {
        PrintError(path, "written, but its time cannot be set to when the run began (" +
                             ErrnoText(errno) +
                             "): a file changed while it ran may keep its old value");
        ok = false;
    }
    return true;
}

void PrintSummary(const Options& options, size_t added, size_t rehashed, size_t changed,
                  size_t dropped, size_t kept, size_t gone) {
    std::string summary = Count(added, "added") + ", " + Count(rehashed, "re-hashed") + " (" +
                          Count(changed, "changed") + "), " + Count(dropped, "dropped") + ", " +
                          Count(kept, "kept");
    if (gone > dropped) {
        summary += " (" + std::to_string(gone) +
                   (gone == 1 ? " whose file is gone" : " whose files are gone") +
                   "; --prune drops such entries)";
    }
    PrintError(options.keptList, summary);
}

}  // namespace

int RunUpdate(const Options& options, const std::vector<uint8_t>& key) {
    const FileTime started = TimeNow();
    Progress progress;
    std::vector<SeenFile> files;
    bool ok = GatherFiles(options, files);
    std::unordered_set<std::string> given;
    for (const SeenFile& file : files) given.insert(file.key);
    // A list that exists is read in part: the entries of files given, and the first entry,
    // whose values new entries take.  The others are sorted outside memory, to be counted,
    // looked up and (with --prune) dropped, and are written back as they stand.
    LineResolver resolver(options, key, progress);
    ListPart part;
    std::string reason;
    ListDocument document;
    PathStatus listStatus;
    if (!OpenListPart(
            options, resolver,
            [&](const ListLine& line) { return given.count(ListedKey(line.values[0].name)) != 0; },
            document, listStatus, part, reason)) {
        return kExitFailed;
    }
    const bool exists = listStatus.kind == PathKind::kRegular;
    // New names are written absolute when all of the list's are.
    const bool absolute = part.absolute;
    ResolveValues(document, exists, resolver, options, key, progress, reason);
    if (reason.empty() && exists) FitsList(options, document, resolver.Lines(), reason);
    if (!reason.empty()) {
        PrintError(options.keptList, "not updated: " + reason);
        return kExitFailed;
    }
    // A run split over machines, or one that can be taken up again, writes what it finds
    // in a shard's list, which the merge puts into the list.
    const bool sharded = options.shardN != 0 || !options.outputPath.empty();
    ShardOutput shard;
    if (sharded &&
        !shard.Begin(options, key, "update", exists ? ListCheck(options, progress) : "")) {
        return kExitFailed;
    }
    // The number of the first line of an entry of the list, which a shard's list names it by.
    const auto firstLine = [&](const ListEntry& entry) {
        return entry.added ? 0 : document.numbers[entry.values[0].text];
    };

    // Each entry of a name listed twice is kept or hashed again as one listed once.
    const std::unordered_map<std::string, std::vector<size_t>> byKey =
        EntriesByKey(document, options);
    std::vector<bool> seen(document.entries.size(), false);
    size_t added = 0, rehashed = 0, changed = 0, kept = 0, gone = 0, dropped = 0;
    FileTime listTime;
    const int64_t fresh = exists && ModificationTime(options.keptList, listTime)
                              ? Nanoseconds(listTime) - kTimestampSlack
                              : INT64_MIN;
    // Whether the list vouches for its entry of a file: the file is as old as the list and
    // of the size and time the entry records, so that its values still hold.
    const auto vouches = [&](const ListEntry& entry, const PathStatus& status,
                             const FileTime& modified) {
        return Nanoseconds(modified) < fresh &&
               (entry.size < 0 || uint64_t(entry.size) == status.size) &&
               (!entry.timeKnown || entry.modified == modified);
    };
    // The files to hash, with their entries and their places among the files given: every
    // new one, and those the list cannot vouch for.
    struct Work {
        const SeenFile* file;
        size_t entry;
        size_t place;
    };
    std::vector<Work> work;
    std::vector<bool> hashed(document.entries.size(), false);
    long vouched = -1;  // the entry of the first file given that is kept as it is
    std::string vouchedPath;
    uint64_t bytes = 0;
    for (size_t place = 0; place < files.size(); ++place) {
        const SeenFile& file = files[place];
        if (sharded && !shard.InShard(file.path)) continue;
        // A file an earlier try hashed is not hashed again; its entries are seen.
        const bool taken = !sharded || shard.Takes(place, file.path);
        auto found = byKey.find(file.key);
        if (found == byKey.end()) {
            if (!taken) continue;
            work.push_back(
                {&file, AddEntry(document, ListedName(absolute ? file.key : file.path)), place});
            bytes += file.status.size;
            continue;
        }
        for (size_t index : found->second) {
            seen[index] = true;
            if (!taken) continue;
            if (options.rehash || !vouches(document.entries[index], file.status, file.modified)) {
                work.push_back({&file, index, place});
                hashed[index] = true;
                bytes += file.status.size;
            } else {
                ++kept;
                if (vouched < 0) {
                    vouched = long(index);
                    vouchedPath = file.path;
                }
            }
        }
    }
    // With a key, the values of one listed file that the list vouches for are computed first:
    // a wrong key would otherwise put values under two keys in one list.  When no file given
    // is such a file, one is looked for among the other entries; a run that leaves listed
    // values as they are and finds none is refused.
    if (options.keyed && exists &&
        !CheckListKey(
            document, part.others, resolver, hashed, seen, vouched, vouchedPath, vouches,
            [&](const ListEntry& entry) { return !sharded || shard.InShard(entry.name); }, options,
            key, progress)) {
        return kExitFailed;
    }
    progress.BeginJob(work.size(), int64_t(bytes));
    DigestCache cache(options.cache);  // before the batch, whose last results it may store
    InputBatch batch(options.jobs, options.readOrder, work.size(), progress);
    for (const Work& job : work) {
        const size_t index = job.entry;
        AddFileToHash(
            batch, job.file->path, EntryLines(document.entries[index]), options, key,
            [&, index, place = job.place, &file = *job.file](const InputResult& result) {
                ListEntry& entry = document.entries[index];
                if (sharded) {
                    ShardEntry record;
                    record.kind = ShardEntry::Kind::kUpdate;
                    record.operand = place;
                    record.listedLine = firstLine(entry);
                    record.hasFile = true;
                    record.record.name = entry.added ? entry.name : file.path;
                    if (result.ok) {
                        record.verdict = entry.added ? "added" : "hashed";
                        record.record.size = int64_t(result.size);
                        record.record.timeKnown = true;
                        record.record.modified = file.modified;
                        for (size_t line : EntryLines(entry)) {
                            record.record.digests.push_back(
                                {line, result.hex[line], options.keyed});
                        }
                    } else {
                        ok = false;
                        record.verdict = "failed";
                        record.record.name = file.path;
                        record.reason = result.reason;
                        if (!entry.added) PrintError(file.path, "its entry is kept as it was");
                    }
                    shard.WriteLines(ShardEntryLine(record), 1, result.ok ? 0 : 1, 0);
                    return;
                }
                if (!result.ok) {
                    ok = false;
                    if (entry.added) {
                        entry.dropped = true;
                    } else {
                        PrintError(file.path, "its entry is kept as it was");
                        ++kept;
                    }
                    return;
                }
                const bool same =
                    PutValues(document, entry, result.hex, result.size, file.modified);
                if (entry.added && !CarriesEntry(document, entry, reason)) {
                    PrintError(file.path, "not added: " + reason);
                    entry.dropped = true;
                    ok = false;
                } else if (entry.added) {
                    ++added;
                } else {
                    ++rehashed;
                    if (!same) ++changed;
                }
            },
            &cache);
    }
    batch.Finish();
    progress.EndJob();
    // The entries not seen: those --exclude or --include leave out are kept as they are,
    // and those whose files are gone counted (and with --prune dropped).
    std::string goneLines;
    size_t goneHere = 0;
    part.dropped.assign(part.last + 1, false);
    const auto notSeen = [&](const ListEntry& entry, ListEntry* held) {
        if (sharded && !shard.InShard(entry.name)) return;
        if (!options.filter.TakesListed(entry.name) ||
            LookUpPath(entry.name).kind != PathKind::kMissing) {
            ++kept;
            return;
        }
        ++gone;
        if (sharded) {
            ShardEntry record;
            record.kind = ShardEntry::Kind::kUpdate;
            record.verdict = "gone";
            record.listedLine = held != nullptr ? firstLine(entry) : entry.values[0].text + 1;
            goneLines += ShardEntryLine(record);
            ++goneHere;
        } else if (options.prune && held != nullptr) {
            held->dropped = true;
            ++dropped;
        } else if (options.prune) {
            for (const ListValue& value : entry.values) part.dropped[value.text + 1] = true;
            ++dropped;
        } else {
            ++kept;
        }
    };
    for (size_t i = 0; i < seen.size(); ++i) {
        if (!document.entries[i].added && !seen[i])
            notSeen(document.entries[i], &document.entries[i]);
    }
    std::string name;
    ListEntry other;
    const bool sorted = part.others.Start();
    while (sorted && part.others.Next(name, other)) notSeen(other, nullptr);
    if (!part.others.Reason().empty()) {
        PrintError(options.keptList, "not updated: " + part.others.Reason());
        if (sharded) shard.Abandon();
        return kExitFailed;
    }
    if (sharded) {
        shard.WriteLines(goneLines, goneHere, 0, 0);
        const int status = shard.End(options);
        return ok && status == kExitOk ? kExitOk : kExitFailed;
    }
    bool written = WriteList(document, options, started, nullptr, "", ok, exists ? &part : nullptr);
    if (!written) return kExitFailed;
    PrintSummary(options, added, rehashed, changed, dropped, kept, gone);
    return ok ? kExitOk : kExitFailed;
}

int MergeUpdate(const std::vector<ShardEntry>& records, const std::vector<bool>& goneLines,
                const Options& options, const std::string& listCheck, const FileTime& started,
                OutputFile* out, const std::string& target, bool tellFailures, bool& written) {
    written = false;
    Progress progress;
    // The list is read in part, as by RunUpdate: the entries hashed again (named by the
    // lines they begin on), those of their names after them, and the first entry.
    std::unordered_set<uint64_t> hashedLines;
    for (const ShardEntry& record : records) {
        if (record.verdict == "hashed") hashedLines.insert(record.listedLine);
    }
    LineResolver resolver(options, {}, progress);
    ListPart part;
    std::unordered_set<std::string> keptNames;
    std::string reason;
    ListDocument document;
    PathStatus listStatus;
    if (!OpenListPart(
            options, resolver,
            [&](const ListLine& line) {
                const std::string& name = line.values[0].name;
                if (hashedLines.count(line.number) != 0) keptNames.insert(name);
                return keptNames.count(name) != 0;
            },
            document, listStatus, part, reason)) {
        return kExitFailed;
    }
    const bool exists = listStatus.kind == PathKind::kRegular;
    if (reason.empty() && listCheck != (exists ? ListCheck(options, progress) : "")) {
        PrintError(options.keptList,
                   "not the list the shards read: it changed since; run them again");
        return kExitFailed;
    }
    ResolveValues(document, exists, resolver, options, {}, progress, reason);
    if (!reason.empty()) {
        PrintError(options.keptList, "not updated: " + reason);
        return kExitFailed;
    }
    const auto isGone = [&](uint64_t line) { return line < goneLines.size() && goneLines[line]; };
    const size_t held = document.entries.size();
    size_t listed = held;
    size_t added = 0, rehashed = 0, changed = 0, dropped = 0, gone = 0;
    // The entries by the number of their first lines, which the shards name them by.
    std::unordered_map<uint64_t, size_t> byLine;
    for (size_t i = 0; i < held; ++i) {
        const uint64_t line = document.numbers[document.entries[i].values[0].text];
        byLine[line] = i;
        if (!isGone(line)) continue;
        ++gone;
        if (options.prune) {
            document.entries[i].dropped = true;
            ++dropped;
        }
    }
    const auto entryAt = [&](uint64_t line) {
        const auto found = byLine.find(line);
        return found == byLine.end() ? held : found->second;
    };
    part.dropped.assign(part.last + 1, false);
    std::string name;
    ListEntry other;
    const bool sorted = part.others.Start();
    while (sorted && part.others.Next(name, other)) {
        ++listed;
        if (!isGone(other.values[0].text + 1)) continue;
        ++gone;
        if (!options.prune) continue;
        for (const ListValue& value : other.values) part.dropped[value.text + 1] = true;
        ++dropped;
    }
    if (!part.others.Reason().empty()) {
        PrintError(options.keptList, "not updated: " + part.others.Reason());
        return kExitFailed;
    }
    bool ok = true;
    // New files are added in the order of the files given.
    std::vector<const ShardEntry*> ordered;
    for (const ShardEntry& record : records) ordered.push_back(&record);
    std::stable_sort(ordered.begin(), ordered.end(), [](const ShardEntry* a, const ShardEntry* b) {
        return a->operand < b->operand;
    });
    for (const ShardEntry* record : ordered) {
        if (record->verdict == "failed") {
            ok = false;
            if (tellFailures) {
                PrintError(record->record.name, record->reason);
                if (record->listedLine != 0) {
                    PrintError(record->record.name, "its entry is kept as it was");
                }
            }
            continue;
        }
        const bool isNew = record->verdict == "added";
        if (!isNew && entryAt(record->listedLine) == held) continue;
        const size_t index =
            isNew ? AddEntry(document, record->record.name) : entryAt(record->listedLine);
        ListEntry& entry = document.entries[index];
        const bool same = PutValues(document, entry, RecordHex(record->record),
                                    uint64_t(record->record.size), record->record.modified);
        if (isNew && !CarriesEntry(document, entry, reason)) {
            if (tellFailures) PrintError(record->record.name, "not added: " + reason);
            entry.dropped = true;
            ok = false;
        } else if (isNew) {
            ++added;
        } else {
            ++rehashed;
            if (!same) ++changed;
        }
    }
    written = WriteList(document, options, started, out, target, ok, exists ? &part : nullptr);
    if (!written) return kExitFailed;
    PrintSummary(options, added, rehashed, changed, dropped, listed - rehashed - dropped, gone);
    return ok ? kExitOk : kExitFailed;
}
