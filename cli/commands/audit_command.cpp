// --audit: one verdict for every file given and every entry of a checksum list.
//
// A file and an entry of the same name (as list names are keyed, see list_upkeep.h) are
// paired first: matched when every value (and the size a hashdeep list records) is the
// file's, else changed.  The files and entries left are then paired by their values: such a
// file was moved from that entry's name, which no file given bears.  Where several share
// values (copies, empty files), the entries taken in byte order of their names each take the
// first such file left, in byte order of its path.  A file left is new, an entry left missing.
// A name the list holds twice (or as "a" and "./a") gives a verdict for each of its entries.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "commands/list_upkeep.h"
#include "commands/list_writer.h"
#include "commands/shard_output.h"
#include "lists/json_lines.h"
#include "system/file_output.h"

namespace {

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
    long entry;         // its entry of the list, or -1
    const char* word;   // "matched", "changed", "moved", "new", "missing" or "unreadable"
    std::string order;  // the key of its name: verdicts are given in this order
};

// What an audit found: of one run, or merged from the lists of its shards.
struct Audit {
    std::vector<ListEntry> entries;
    std::vector<SeenFile> files;  // in byte order of their paths
    std::vector<std::vector<std::string>> hex;
    std::vector<uint64_t> sizes;
    std::vector<std::string> reasons;  // why a file could not be read
    std::vector<bool> done, entryDone;
    std::vector<std::string> entryKeys;
    std::vector<size_t> lines;  // every line any entry holds, computed for every file
    std::vector<Verdict> verdicts;
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
};

// The verdict as JSON: the entry's line, name and values where it has an entry, and the
// file's name and values where it was read (for its entry's lines, else for all lines).
EntryVerdict AuditVerdict(const Audit& audit, const Verdict& verdict, const std::string& listPath,
                          const Options& options) {
    const ListEntry* entry = verdict.entry >= 0 ? &audit.entries[size_t(verdict.entry)] : nullptr;
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

// Pairs the entries left with the files left by their values (moved), and gives the rest
// their verdicts (missing, new).
void PairMoves(Audit& audit) {
    // The files left, by signature, in path order, for each set of lines the entries hold.
    std::map<std::vector<size_t>, std::map<std::string, std::vector<size_t>>> bySignature;
    std::vector<size_t> entriesLeft;
    for (size_t index = 0; index < audit.entries.size(); ++index) {
        if (!audit.entryDone[index] && !audit.entryKeys[index].empty()) {
            entriesLeft.push_back(index);
        }
    }
    std::sort(entriesLeft.begin(), entriesLeft.end(),
              [&](size_t a, size_t b) { return audit.entries[a].name < audit.entries[b].name; });
    for (size_t index : entriesLeft) {
        const ListEntry& entry = audit.entries[index];
        auto& signatures = bySignature[EntryLines(entry)];
        if (signatures.empty()) {
            for (size_t i = 0; i < audit.files.size(); ++i) {
                if (!audit.done[i]) signatures[audit.FileSignature(i, entry)].push_back(i);
            }
        }
        auto found = signatures.find(audit.EntrySignature(entry));
        size_t file = audit.files.size();
        if (found != signatures.end()) {
            for (size_t candidate : found->second) {
                if (!audit.done[candidate]) {
                    file = candidate;
                    break;
                }
            }
        }
        if (file == audit.files.size()) {
            audit.verdicts.push_back({-1, long(index), "missing", audit.entryKeys[index]});
            continue;
        }
        audit.done[file] = true;
        audit.verdicts.push_back({long(file), long(index), "moved", audit.files[file].key});
    }
    for (size_t i = 0; i < audit.files.size(); ++i) {
        if (!audit.done[i]) audit.verdicts.push_back({long(i), -1, "new", audit.files[i].key});
    }
}

// Writes the verdicts in the order of their names, to out or standard output, and the
// summary; returns the exit status.
int WriteVerdicts(Audit& audit, const std::string& listPath, const Options& options,
                  OutputFile* out, bool& written) {
    std::stable_sort(audit.verdicts.begin(), audit.verdicts.end(),
                     [](const Verdict& a, const Verdict& b) { return a.order < b.order; });
    std::map<std::string, size_t> counts;
    for (const Verdict& verdict : audit.verdicts) ++counts[verdict.word];
    const bool passed =
        audit.ok && counts["matched"] == audit.verdicts.size() && counts["unreadable"] == 0;
    std::string reason;
    written = true;
    if (!options.status) {
        std::string text;
        for (const Verdict& verdict : audit.verdicts) {
            if (options.quiet && std::strcmp(verdict.word, "matched") == 0) continue;
            if (options.format == OutputFormat::kJson) {
                text += JsonVerdictLine(AuditVerdict(audit, verdict, listPath, options));
                continue;
            }
            const ListEntry* entry =
                verdict.entry >= 0 ? &audit.entries[size_t(verdict.entry)] : nullptr;
            const bool moved = std::strcmp(verdict.word, "moved") == 0;
            text +=
                Shown(verdict.file >= 0 ? audit.files[size_t(verdict.file)].path : entry->name) +
                ": " + verdict.word + (moved ? " from " + Shown(entry->name) : "") + "\n";
        }
        if (out == nullptr) {
            PrintOut(text);
        } else {
            written = out->Write(text.data(), text.size(), reason);
        }
    }
    written = written && (out == nullptr ? FlushOut() : out->Commit(reason));
    if (!written) {
        if (out != nullptr) PrintError(options.outputPath, "not written: " + reason);
        return kExitFailed;
    }
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
ShardEntry ShardVerdict(const Audit& audit, const Verdict& verdict) {
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
    if (verdict.entry >= 0) {
        const ListEntry& entry = audit.entries[size_t(verdict.entry)];
        line.hasEntry = true;
        line.listed = EntryOf(entry);
        line.listedLine = entry.values[0].text + 1;
    }
    return line;
}

}  // namespace

int RunAudit(const Options& options, const std::vector<uint8_t>& key) {
    const std::string& listPath = options.keptList;
    ListDocument document;
    std::string reason;
    if (!ReadListDocument(listPath, document, reason)) {
        PrintError(listPath, reason);
        return kExitFailed;
    }
    Progress progress;
    if (!ResolveLines(document, options, key, progress, reason)) {
        PrintError(listPath, reason);
        return kExitFailed;
    }
    // A run split over machines, or one that can be taken up again, writes a shard's list:
    // its verdicts before moves are paired, which the merge does.
    const bool sharded = options.shardN != 0 || !options.outputPath.empty();
    ShardOutput shard;
    if (sharded && !shard.Begin(options, key, "audit")) return kExitFailed;

    Audit audit;
    audit.entries = std::move(document.entries);
    std::vector<SeenFile> given;
    audit.ok = GatherFiles(options, given);
    for (SeenFile& file : given) {
        if (!sharded || shard.Takes(0, file.path)) audit.files.push_back(std::move(file));
    }
    document.entries = audit.entries;  // EntriesByKey reads them there
    std::unordered_map<std::string, std::vector<size_t>> byKey = EntriesByKey(document, options);
    audit.entryKeys.assign(audit.entries.size(), "");
    for (auto named = byKey.begin(); named != byKey.end();) {
        // A shard takes the entries of its names that an earlier try has not given a verdict.
        auto& indexes = named->second;
        indexes.erase(std::remove_if(indexes.begin(), indexes.end(),
                                     [&](size_t index) {
                                         const ListEntry& entry = audit.entries[index];
                                         return sharded &&
                                                (!shard.InShard(entry.name) ||
                                                 shard.EntryDone(entry.values[0].text + 1));
                                     }),
                      indexes.end());
        for (size_t index : indexes) audit.entryKeys[index] = named->first;
        named = indexes.empty() ? byKey.erase(named) : std::next(named);
    }
    for (const ListEntry& entry : audit.entries) {
        for (size_t line : EntryLines(entry)) {
            if (std::find(audit.lines.begin(), audit.lines.end(), line) == audit.lines.end()) {
                audit.lines.push_back(line);
            }
        }
    }
    std::sort(audit.files.begin(), audit.files.end(),
              [](const SeenFile& a, const SeenFile& b) { return a.path < b.path; });
    const size_t count = audit.files.size();
    audit.hex.resize(count);
    audit.sizes.assign(count, 0);
    audit.reasons.resize(count);
    audit.done.assign(count, false);
    audit.entryDone.assign(audit.entries.size(), false);

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
                    long entry = -1;
                    if (found != byKey.end()) {
                        entry = long(found->second.front());
                        for (size_t index : found->second) audit.entryDone[index] = true;
                    }
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
                            audit.entryDone[index] = true;
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
                    lines += ShardEntryLine(ShardVerdict(audit, verdict));
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
        PairMoves(audit);
        bool written = false;
        return WriteVerdicts(audit, listPath, options, nullptr, written);
    }
    // The entries left are missing here; the merge may find them moved.
    std::string lines;
    size_t missing = 0;
    for (size_t index = 0; index < audit.entries.size(); ++index) {
        if (audit.entryDone[index] || audit.entryKeys[index].empty()) continue;
        lines += ShardEntryLine(
            ShardVerdict(audit, {-1, long(index), "missing", audit.entryKeys[index]}));
        ++missing;
    }
    shard.WriteLines(lines, missing, 0, missing);
    return shard.End(options);
}

int MergeAudit(const std::vector<ShardEntry>& verdicts, const Options& options, OutputFile* out,
               bool& written) {
    Audit audit;
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
            ListEntry listed;
            listed.name = verdict->listed.name;
            listed.size = verdict->listed.size;
            for (const RecordDigest& digest : verdict->listed.digests) {
                listed.values.push_back({size_t(verdict->listedLine - 1), long(digest.line),
                                         digest.keyed, digest.hex, digest.hex});
            }
            entry = long(audit.entries.size());
            audit.entries.push_back(std::move(listed));
            audit.entryKeys.push_back(verdict->order);
            audit.entryDone.push_back(verdict->verdict != "missing");
        }
        if (verdict->verdict == "unreadable") audit.ok = false;
        if (verdict->verdict != "new" && verdict->verdict != "missing") {
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
    PairMoves(audit);
    return WriteVerdicts(audit, options.keptList, options, out, written);
}
