// --audit: one verdict for every file given and every entry of a checksum list.
//
// A file and an entry of the same name (as list names are keyed, see list_upkeep.h) are
// paired first: matched when every value (and the size a hashdeep list records) is the
// file's, else changed.  The files and entries left are then paired by their values: such a
// file was moved from that entry's name, which no file given bears.  Where several share
// values (copies, empty files), the entries taken in byte order of their names each take the
// first such file left, in byte order of its path.  A file left is new, an entry left missing.
// A name the list holds twice (or as "a" and "./a") gives a verdict for each of its entries.
//
// The list is not held in memory: the entries of names no file given bears are sorted outside
// it (lists/sorted_entries.h), read once to find those that may have been moved, and once
// more to give the others their verdicts, in order among the rest.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <unordered_set>
#include <utility>

#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "commands/list_upkeep.h"
#include "commands/list_writer.h"
#include "commands/shard_output.h"
#include "lists/json_lines.h"
#include "lists/sorted_entries.h"
#include "system/file_output.h"

namespace {

// The verdicts of the entries left that a shard's list takes at once.
constexpr size_t kShardVerdictsAtOnce = 4096;

// The verdicts written at once.
constexpr size_t kVerdictBytes = size_t(1) << 20;

// A name as a verdict shows it: as --check shows it, escaped after a '\' when it holds a line
// break.
std::string Shown(const std::string& name) {
    if (name.find_first_of("\r\n") == std::string::npos) return name;
    bool needsMark = false;
    const std::string escaped = EscapeName(name, needsMark);
    return "\\" + escaped;
}

// The values of an entry, or a file's for the same lines, as one text.
std::string Signature(const std::vector<size_t>& lines, const std::vector<std::string>& hex,
                      uint64_t size) {
    std::string text = std::to_string(size);
    for (size_t line : lines) text += "," + hex[line];
    return text;
}

struct Verdict {
    long file;          // its file among those given, or -1
    long entry;         // its entry among those held, or -1
    const char* word;   // "matched", "changed", "moved", "new", "missing" or "unreadable"
    std::string order;  // the key of its name: verdicts are given in this order
};

// What an audit found: of one run, or merged from the lists of its shards.
struct Audit {
    std::vector<ListEntry> entries;  // of the names of files given, and those found moved
    std::vector<SeenFile> files;     // in byte order of their paths
    std::vector<std::vector<std::string>> hex;
    std::vector<uint64_t> sizes;
    std::vector<std::string> reasons;  // why a file could not be read
    std::vector<bool> done;
    std::vector<size_t> lines;  // every line any entry holds, computed for every file
    std::vector<Verdict> verdicts;
    SortedEntries* left = nullptr;           // the entries of names no file given bears
    const LineResolver* resolver = nullptr;  // for their values, when they are not resolved
    std::unordered_set<uint64_t> moved;      // the first lines of those found moved
    bool ok = true;

    // The signature of an entry, and of a file for the lines of an entry (with its size
    // only where the list records sizes).
    std::string EntrySignature(const ListEntry& entry) const {
        std::vector<std::string> values(kReportLineCount);
        for (const ListValue& value : entry.values) {
            values[size_t(value.line)] = ListUpper(value.hex);
        }
        return Signature(EntryLines(entry), values, entry.size < 0 ? 0 : uint64_t(entry.size));
    }
    std::string FileSignature(size_t file, const ListEntry& entry) const {
        return Signature(EntryLines(entry), hex[file], entry.size < 0 ? 0 : sizes[file]);
    }

    // The next entry of left, its values resolved.
    bool NextLeft(std::string& key, ListEntry& entry) {
        if (!left->Next(key, entry)) return false;
        if (resolver != nullptr) resolver->ResolveEntry(entry);
        return true;
    }
};

// The verdict as JSON: the entry's line, name and values where it has an entry, and the
// file's name and values where it was read (for its entry's lines, else for all lines).
EntryVerdict AuditVerdict(const Audit& audit, const Verdict& verdict, const ListEntry* entry,
                          const std::string& listPath, const Options& options) {
    const SeenFile* file = verdict.file >= 0 ? &audit.files[size_t(verdict.file)] : nullptr;
    EntryVerdict out;
    out.name = file != nullptr ? file->path : entry->name;
    out.list = listPath;
    out.verdict = verdict.word;
    if (entry != nullptr) {
        out.line = entry->values[0].text + 1;
        if (std::strcmp(verdict.word, "moved") == 0) out.movedFrom = entry->name;
        out.expected.size = entry->size;
        for (const ListValue& value : entry->values) {
            out.expected.digests.push_back({size_t(value.line), value.hex, value.keyed});
        }
    }
    const bool read = file != nullptr && std::strcmp(verdict.word, "unreadable") != 0;
    if (!read) return out;
    out.actual.size = int64_t(audit.sizes[size_t(verdict.file)]);
    for (size_t line : entry != nullptr ? EntryLines(*entry) : audit.lines) {
        out.actual.digests.push_back(
            {line, DisplayHex(audit.hex[size_t(verdict.file)][line], LowerHex(options)),
             options.keyed});
    }
    return out;
}

// The line of a verdict: entry is its entry, if it has one.
std::string VerdictLine(const Audit& audit, const Verdict& verdict, const ListEntry* entry,
                        const std::string& listPath, const Options& options) {
    if (options.format == OutputFormat::kJson) {
        return JsonVerdictLine(AuditVerdict(audit, verdict, entry, listPath, options));
    }
    const bool moved = std::strcmp(verdict.word, "moved") == 0;
    return Shown(verdict.file >= 0 ? audit.files[size_t(verdict.file)].path : entry->name) + ": " +
           verdict.word + (moved ? " from " + Shown(entry->name) : "") + "\n";
}

bool TellSortFailure(const Audit& audit, const std::string& listPath) {
    if (audit.left->Reason().empty()) return false;
    PrintError(listPath, audit.left->Reason());
    return true;
}

// Pairs the entries left with the files left by their values (moved), and gives the files
// still left their verdicts (new).  Of the entries left, only the first of each group of
// equal values, by name, as many as the files left with those values, can take one: only
// they are held.
bool PairMoves(Audit& audit, const std::string& listPath) {
    size_t filesLeft = 0;
    for (size_t i = 0; i < audit.files.size(); ++i) filesLeft += audit.done[i] ? 0 : 1;
    // The files left, by signature, in path order, for each set of lines the entries hold.
    std::map<std::vector<size_t>, std::map<std::string, std::vector<size_t>>> bySignature;
    struct Candidate {
        ListEntry entry;
        const std::vector<size_t>* files;  // those of its values, in path order
    };
    const auto before = [](const Candidate& a, const Candidate& b) {
        return a.entry.name < b.entry.name ||
               (a.entry.name == b.entry.name && a.entry.values[0].text < b.entry.values[0].text);
    };
    // Each group's candidates as a heap, the last by name on top.
    std::map<const std::vector<size_t>*, std::vector<Candidate>> groups;
    Candidate next;
    std::string key;
    if (filesLeft != 0 && !audit.left->Start()) return !TellSortFailure(audit, listPath);
    while (filesLeft != 0 && audit.NextLeft(key, next.entry)) {
        auto& signatures = bySignature[EntryLines(next.entry)];
        if (signatures.empty()) {
            for (size_t i = 0; i < audit.files.size(); ++i) {
                if (!audit.done[i]) signatures[audit.FileSignature(i, next.entry)].push_back(i);
            }
        }
        auto found = signatures.find(audit.EntrySignature(next.entry));
        if (found == signatures.end()) continue;
        next.files = &found->second;
        std::vector<Candidate>& group = groups[next.files];
        if (group.size() == next.files->size()) {
            if (!before(next, group.front())) continue;
            std::pop_heap(group.begin(), group.end(), before);
            group.pop_back();
        }
        group.push_back(std::move(next));
        std::push_heap(group.begin(), group.end(), before);
    }
    if (TellSortFailure(audit, listPath)) return false;
    std::vector<Candidate*> candidates;
    for (auto& group : groups) {
        for (Candidate& candidate : group.second) candidates.push_back(&candidate);
    }
    std::sort(candidates.begin(), candidates.end(),
              [&](const Candidate* a, const Candidate* b) { return before(*a, *b); });
    for (Candidate* candidate : candidates) {
        for (size_t file : *candidate->files) {
            if (audit.done[file]) continue;
            audit.done[file] = true;
            audit.moved.insert(candidate->entry.values[0].text);
            audit.verdicts.push_back(
                {long(file), long(audit.entries.size()), "moved", audit.files[file].key});
            audit.entries.push_back(std::move(candidate->entry));
            break;
        }
    }
    for (size_t i = 0; i < audit.files.size(); ++i) {
        if (!audit.done[i]) audit.verdicts.push_back({long(i), -1, "new", audit.files[i].key});
    }
    return true;
}

// Writes the verdicts in the order of their names, to out or standard output, with those
// of the entries left that were not found moved (missing), and the summary; returns the exit
// status.
int WriteVerdicts(Audit& audit, const std::string& listPath, const Options& options,
                  OutputFile* out, bool& written) {
    std::stable_sort(audit.verdicts.begin(), audit.verdicts.end(),
                     [](const Verdict& a, const Verdict& b) { return a.order < b.order; });
    std::map<std::string, size_t> counts;
    for (const Verdict& verdict : audit.verdicts) ++counts[verdict.word];
    std::string reason;
    std::string text;
    written = true;
    const auto emit = [&](const Verdict& verdict, const ListEntry* entry) {
        if (options.status || (options.quiet && std::strcmp(verdict.word, "matched") == 0)) {
            return;
        }
        text += VerdictLine(audit, verdict, entry, listPath, options);
        if (text.size() < kVerdictBytes) return;
        written = written && Emit(out, text, reason);
        text.clear();
    };
    // The missing, in their place among the others.
    Verdict missing{-1, -1, "missing", ""};
    ListEntry entry;
    const auto nextMissing = [&] {
        while (audit.NextLeft(missing.order, entry)) {
            if (audit.moved.count(entry.values[0].text) == 0) return true;
        }
        return false;
    };
    if (!audit.left->Start()) return TellSortFailure(audit, listPath), kExitFailed;
    bool more = nextMissing();
    for (size_t v = 0; v < audit.verdicts.size() || more;) {
        if (more && (v == audit.verdicts.size() || missing.order < audit.verdicts[v].order)) {
            emit(missing, &entry);
            ++counts["missing"];
            more = nextMissing();
            continue;
        }
        const Verdict& verdict = audit.verdicts[v++];
        emit(verdict, verdict.entry >= 0 ? &audit.entries[size_t(verdict.entry)] : nullptr);
    }
    if (TellSortFailure(audit, listPath)) return kExitFailed;
    written = written && Emit(out, text, reason);
    written = written && (out == nullptr ? FlushOut() : out->Commit(reason));
    if (!written) {
        if (out != nullptr) PrintError(options.outputPath, "not written: " + reason);
        return kExitFailed;
    }
    const size_t total = audit.verdicts.size() + counts["missing"];
    const bool passed = audit.ok && counts["matched"] == total && counts["unreadable"] == 0;
    if (!options.status) {
        std::string summary = std::string(passed ? "audit passed: " : "audit FAILED: ") +
                              std::to_string(counts["matched"]) + " matched, " +
                              std::to_string(counts["changed"]) + " changed, " +
                              std::to_string(counts["moved"]) + " moved, " +
                              std::to_string(counts["new"]) + " new, " +
                              std::to_string(counts["missing"]) + " missing";
        if (counts["unreadable"] != 0) {
            summary += ", " + std::to_string(counts["unreadable"]) + " unreadable";
        }
        PrintError(listPath, summary);
    }
    return passed ? kExitOk : kExitFailed;
}

// The record of a file's digests for every line the audit computes (upper case), or of its
// name only when it could not be read.
FileRecord FileOf(const Audit& audit, size_t file, bool read) {
    FileRecord record;
    record.name = audit.files[file].path;
    if (!read) return record;
    record.size = int64_t(audit.sizes[file]);
    for (size_t line : audit.lines) record.digests.push_back({line, audit.hex[file][line], false});
    return record;
}

// An entry as a shard's list holds it.
FileRecord EntryOf(const ListEntry& entry) {
    FileRecord record;
    record.name = entry.name;
    record.size = entry.size;
    for (const ListValue& value : entry.values) {
        record.digests.push_back({size_t(value.line), value.hex, value.keyed});
    }
    return record;
}

// The verdict of a shard's list for verdict.
ShardEntry ShardVerdict(const Audit& audit, const Verdict& verdict, const ListEntry* entry) {
    ShardEntry line;
    line.kind = ShardEntry::Kind::kVerdict;
    line.verdict = verdict.word;
    line.order = verdict.order;
    if (verdict.file >= 0) {
        line.hasFile = true;
        const bool read = std::strcmp(verdict.word, "unreadable") != 0;
        line.record = FileOf(audit, size_t(verdict.file), read);
        if (!read) line.reason = audit.reasons[size_t(verdict.file)];
    }
    if (entry != nullptr) {
        line.hasEntry = true;
        line.listed = EntryOf(*entry);
        line.listedLine = entry->values[0].text + 1;
    }
    return line;
}

// Reads the list: the entries of names a file given bears (of its shard, not given a verdict
// by an earlier try) into audit.entries, by key into byKey, in the order of their first
// lines; the others into audit.left.  False, after a message, when it cannot be read.
bool ReadEntries(const Options& options, const ShardOutput* shard, Audit& audit,
                 LineResolver& resolver,
                 std::unordered_map<std::string, std::vector<size_t>>& byKey) {
    const std::string& listPath = options.keptList;
    std::unordered_set<std::string> given;
    for (const SeenFile& file : audit.files) given.insert(file.key);
    SortedEntries listed;
    std::string reason, failure;
    // The list's entry lines go to the sorts, not into the document.
    ListDocument document;
    const bool read = ReadListDocument(listPath, document, reason, [&](const ListLine& line) {
        const std::string& name = line.values[0].name;
        if (!failure.empty() || !resolver.Take(name, line.values, failure)) return false;
        if (!options.filter.TakesListed(name) || (shard != nullptr && !shard->InShard(name))) {
            return false;
        }
        const std::string nameKey = ListedKey(name);
        SortedEntries& into = given.count(nameKey) != 0 ? listed : *audit.left;
        if (!into.Add(nameKey, line)) failure = into.Reason();
        return false;
    });
    if (!read || !failure.empty()) {
        PrintError(listPath, read ? failure : reason);
        return false;
    }
    if (!resolver.Finish(document.kind == ListKind::kHashdeep, reason)) {
        PrintError(listPath, reason);
        return false;
    }
    audit.lines = resolver.Lines();
    std::string nameKey;
    ListEntry entry;
    listed.Start();
    while (listed.Next(nameKey, entry)) {
        if (shard != nullptr && shard->EntryDone(entry.values[0].text + 1)) continue;
        resolver.ResolveEntry(entry);
        byKey[nameKey].push_back(audit.entries.size());
        audit.entries.push_back(std::move(entry));
    }
    for (auto& named : byKey) {
        std::sort(named.second.begin(), named.second.end(), [&](size_t a, size_t b) {
            return audit.entries[a].values[0].text < audit.entries[b].values[0].text;
        });
    }
    if (!listed.Reason().empty()) PrintError(listPath, listed.Reason());
    return listed.Reason().empty();
}

}  // namespace

int RunAudit(const Options& options, const std::vector<uint8_t>& key) {
    const std::string& listPath = options.keptList;
    Progress progress;
    // A run split over machines, or one that can be taken up again, writes a shard's list:
    // its verdicts before moves are paired, which the merge does.
    const bool sharded = options.shardN != 0 || !options.outputPath.empty();
    ShardOutput shard;
    if (sharded && !shard.Begin(options, key, "audit")) return kExitFailed;

    Audit audit;
    SortedEntries left;
    audit.left = &left;
    std::vector<SeenFile> given;
    audit.ok = GatherFiles(options, given);
    for (SeenFile& file : given) {
        if (!sharded || shard.Takes(0, file.path)) audit.files.push_back(std::move(file));
    }
    std::sort(audit.files.begin(), audit.files.end(),
              [](const SeenFile& a, const SeenFile& b) { return a.path < b.path; });
    LineResolver resolver(options, key, progress);
    audit.resolver = &resolver;
    std::unordered_map<std::string, std::vector<size_t>> byKey;
    if (!ReadEntries(options, sharded ? &shard : nullptr, audit, resolver, byKey)) {
        if (sharded) shard.Abandon();
        return kExitFailed;
    }
    const size_t count = audit.files.size();
    audit.hex.resize(count);
    audit.sizes.assign(count, 0);
    audit.reasons.resize(count);
    audit.done.assign(count, false);

    uint64_t bytes = 0;
    for (const SeenFile& file : audit.files) bytes += file.status.size;
    progress.BeginJob(count, int64_t(bytes));
    InputBatch batch(options.jobs, options.readOrder, count, progress);
    for (size_t i = 0; i < count; ++i) {
        AddFileToHash(
            batch, audit.files[i].path, audit.lines, options, key,
            [&, i](const InputResult& result) {
                const size_t first = audit.verdicts.size();
                auto found = byKey.find(audit.files[i].key);
                if (!result.ok) {
                    audit.ok = false;
                    audit.done[i] = true;
                    audit.reasons[i] = result.reason;
                    // Its entries, if it has any, are neither missing nor matched.
                    const long entry = found != byKey.end() ? long(found->second.front()) : -1;
                    audit.verdicts.push_back({long(i), entry, "unreadable", audit.files[i].key});
                } else {
                    audit.hex[i] = result.hex;
                    audit.sizes[i] = result.size;
                    if (found != byKey.end()) {
                        audit.done[i] = true;
                        // Each entry of its name gets a verdict: one listed twice
                        // with other values is changed, whatever the other says.
                        for (size_t index : found->second) {
                            const ListEntry& entry = audit.entries[index];
                            const bool same =
                                audit.FileSignature(i, entry) == audit.EntrySignature(entry);
                            audit.verdicts.push_back({long(i), long(index),
                                                      same ? "matched" : "changed",
                                                      audit.files[i].key});
                        }
                    } else if (sharded) {
                        // New here; the merge may find it moved from another shard.
                        audit.verdicts.push_back({long(i), -1, "new", audit.files[i].key});
                    }
                }
                if (!sharded) return;
                std::string lines;
                size_t changes = 0;
                for (size_t v = first; v < audit.verdicts.size(); ++v) {
                    const Verdict& verdict = audit.verdicts[v];
                    const ListEntry* entry =
                        verdict.entry >= 0 ? &audit.entries[size_t(verdict.entry)] : nullptr;
                    lines += ShardEntryLine(ShardVerdict(audit, verdict, entry));
                    if (result.ok && std::strcmp(verdict.word, "matched") != 0) {
                        ++changes;
                    }
                }
                shard.WriteLines(lines, audit.verdicts.size() - first, result.ok ? 0 : 1, changes);
            });
    }
    batch.Finish();
    progress.EndJob();
    if (!sharded) {
        if (!PairMoves(audit, listPath)) return kExitFailed;
        bool written = false;
        return WriteVerdicts(audit, listPath, options, nullptr, written);
    }
    // The entries left are missing here; the merge may find them moved.
    std::string lines;
    size_t missing = 0;
    Verdict verdict{-1, -1, "missing", ""};
    ListEntry entry;
    audit.left->Start();
    while (audit.NextLeft(verdict.order, entry)) {
        if (shard.EntryDone(entry.values[0].text + 1)) continue;
        lines += ShardEntryLine(ShardVerdict(audit, verdict, &entry));
        if (++missing % kShardVerdictsAtOnce != 0) continue;
        shard.WriteLines(lines, missing, 0, missing);
        lines.clear();
        missing = 0;
    }
    if (TellSortFailure(audit, listPath)) {
        shard.Abandon();
        return kExitFailed;
    }
    shard.WriteLines(lines, missing, 0, missing);
    return shard.End(options);
}

int MergeAudit(const std::vector<ShardEntry>& verdicts, SortedEntries& missing,
               const Options& options, OutputFile* out, bool& written) {
    Audit audit;
    audit.left = &missing;
    std::map<std::string, size_t> fileIndex;
    std::vector<const ShardEntry*> sorted;
    for (const ShardEntry& verdict : verdicts) sorted.push_back(&verdict);
    // Files in byte order of their paths, as one run takes them.
    std::stable_sort(sorted.begin(), sorted.end(), [](const ShardEntry* a, const ShardEntry* b) {
        return a->hasFile && (!b->hasFile || a->record.name < b->record.name);
    });
    for (const ShardEntry* verdict : sorted) {
        long file = -1, entry = -1;
        if (verdict->hasFile) {
            const FileRecord& record = verdict->record;
            auto found = fileIndex.emplace(record.name, audit.files.size());
            file = long(found.first->second);
            if (found.second) {
                audit.files.push_back({record.name, verdict->order, PathStatus(), FileTime()});
                audit.hex.push_back(RecordHex(record));
                audit.sizes.push_back(record.size < 0 ? 0 : uint64_t(record.size));
                audit.reasons.push_back(verdict->reason);
                audit.done.push_back(verdict->verdict != "new");
            }
            for (const RecordDigest& digest : record.digests) {
                if (std::find(audit.lines.begin(), audit.lines.end(), digest.line) ==
                    audit.lines.end()) {
                    audit.lines.push_back(digest.line);
                }
            }
        }
        if (verdict->hasEntry) {
            const ListLine line = ListedLine(*verdict);
            ListEntry listed;
            listed.name = verdict->listed.name;
            listed.size = line.size;
            for (const ChecksumLine& value : line.values) {
                listed.values.push_back(
                    {size_t(line.number - 1), value.line, value.keyed, value.hex, value.hex});
            }
            entry = long(audit.entries.size());
            audit.entries.push_back(std::move(listed));
        }
        if (verdict->verdict == "unreadable") audit.ok = false;
        if (verdict->verdict != "new") {
            // The words of a verdict that the merge keeps, in static storage.
            static const char* const kWords[] = {"matched", "changed", "unreadable"};
            const char* word = nullptr;
            for (const char* known : kWords) {
                if (verdict->verdict == known) word = known;
            }
            if (word == nullptr) continue;
            audit.verdicts.push_back({file, entry, word, verdict->order});
        }
    }
    if (!PairMoves(audit, options.keptList)) return kExitFailed;
    return WriteVerdicts(audit, options.keptList, options, out, written);
}
