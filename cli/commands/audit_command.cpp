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
#include "lists/json_lines.h"

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

// The verdict as JSON: the entry's line, name and values where it has an entry, and the
// file's name and values where it was read (for its entry's lines, else for all lines).
EntryVerdict AuditVerdict(const Verdict& verdict, const std::string& listPath,
                          const ListEntry* entry, const SeenFile* file,
                          const std::vector<std::string>* hex, uint64_t size,
                          const std::vector<size_t>& allLines, const Options& options) {
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
    out.actual.size = int64_t(size);
    for (size_t line : entry != nullptr ? EntryLines(*entry) : allLines) {
        out.actual.digests.push_back(
            {line, DisplayHex((*hex)[line], LowerHex(options)), options.keyed});
    }
    return out;
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
    std::vector<SeenFile> files;
    bool ok = GatherFiles(options, files);
    const std::unordered_map<std::string, std::vector<size_t>> byKey =
        EntriesByKey(document, options);
    std::vector<std::string> entryKeys(document.entries.size());
    for (const auto& named : byKey) {
        for (size_t index : named.second) entryKeys[index] = named.first;
    }

    // Every line any entry holds is computed for every file.
    std::vector<size_t> lines;
    for (const ListEntry& entry : document.entries) {
        for (size_t line : EntryLines(entry)) {
            if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(line);
        }
    }
    std::sort(files.begin(), files.end(),
              [](const SeenFile& a, const SeenFile& b) { return a.path < b.path; });
    std::vector<std::vector<std::string>> hex(files.size());
    std::vector<uint64_t> sizes(files.size(), 0);
    std::vector<bool> done(files.size(), false);
    std::vector<bool> entryDone(document.entries.size(), false);
    std::vector<Verdict> verdicts;
    size_t matched = 0, changed = 0, moved = 0, added = 0, missing = 0, unreadable = 0;
    // The signature of an entry, and of a file for the lines of an entry (with its size only
    // where the list records sizes).
    const auto entrySignature = [&](const ListEntry& entry) {
        std::vector<std::string> values(kReportLineCount);
        for (const ListValue& value : entry.values)
            values[size_t(value.line)] = ListUpper(value.hex);
        return Signature(EntryLines(entry), values, entry.size < 0 ? 0 : uint64_t(entry.size));
    };
    const auto fileSignature = [&](size_t file, const ListEntry& entry) {
        return Signature(EntryLines(entry), hex[file], entry.size < 0 ? 0 : sizes[file]);
    };

    uint64_t bytes = 0;
    for (const SeenFile& file : files) bytes += file.status.size;
    progress.BeginJob(files.size(), int64_t(bytes));
    InputBatch batch(options.jobs, options.readOrder, files.size(), progress);
    for (size_t i = 0; i < files.size(); ++i) {
        AddFileToHash(batch, files[i].path, lines, options, key, [&, i](const InputResult& result) {
            auto found = byKey.find(files[i].key);
            if (!result.ok) {
                ok = false;
                done[i] = true;
                ++unreadable;
                // Its entries, if it has any, are neither missing nor matched.
                long entry = -1;
                if (found != byKey.end()) {
                    entry = long(found->second.front());
                    for (size_t index : found->second) entryDone[index] = true;
                }
                verdicts.push_back({long(i), entry, "unreadable", files[i].key});
                return;
            }
            hex[i] = result.hex;
            sizes[i] = result.size;
            if (found == byKey.end()) return;
            done[i] = true;
            // Each entry of its name gets a verdict: one listed twice with other values is
            // changed, whatever the other says.
            for (size_t index : found->second) {
                const ListEntry& entry = document.entries[index];
                entryDone[index] = true;
                const bool same = fileSignature(i, entry) == entrySignature(entry);
                ++(same ? matched : changed);
                verdicts.push_back(
                    {long(i), long(index), same ? "matched" : "changed", files[i].key});
            }
        });
    }
    batch.Finish();
    progress.EndJob();

    // The files left, by signature, in path order, for each set of lines the entries hold.
    std::map<std::vector<size_t>, std::map<std::string, std::vector<size_t>>> bySignature;
    std::vector<size_t> entriesLeft;
    for (const auto& named : byKey) {
        for (size_t index : named.second) {
            if (!entryDone[index]) entriesLeft.push_back(index);
        }
    }
    std::sort(entriesLeft.begin(), entriesLeft.end(), [&](size_t a, size_t b) {
        return document.entries[a].name < document.entries[b].name;
    });
    for (size_t index : entriesLeft) {
        const ListEntry& entry = document.entries[index];
        const std::vector<size_t> entryLines = EntryLines(entry);
        auto& signatures = bySignature[entryLines];
        if (signatures.empty()) {
            for (size_t i = 0; i < files.size(); ++i) {
                if (!done[i]) signatures[fileSignature(i, entry)].push_back(i);
            }
        }
        auto found = signatures.find(entrySignature(entry));
        size_t file = files.size();
        if (found != signatures.end()) {
            for (size_t candidate : found->second) {
                if (!done[candidate]) {
                    file = candidate;
                    break;
                }
            }
        }
        if (file == files.size()) {
            ++missing;
            verdicts.push_back({-1, long(index), "missing", entryKeys[index]});
            continue;
        }
        done[file] = true;
        ++moved;
        verdicts.push_back({long(file), long(index), "moved", files[file].key});
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (done[i]) continue;
        ++added;
        verdicts.push_back({long(i), -1, "new", files[i].key});
    }
    std::stable_sort(verdicts.begin(), verdicts.end(),
                     [](const Verdict& a, const Verdict& b) { return a.order < b.order; });
    const bool passed = ok && changed + moved + added + missing + unreadable == 0;
    if (!options.status) {
        std::string text;
        for (const Verdict& verdict : verdicts) {
            if (options.quiet && std::strcmp(verdict.word, "matched") == 0) continue;
            const ListEntry* entry =
                verdict.entry >= 0 ? &document.entries[size_t(verdict.entry)] : nullptr;
            if (options.format == OutputFormat::kJson) {
                text += JsonVerdictLine(AuditVerdict(
                    verdict, listPath, entry,
                    verdict.file >= 0 ? &files[size_t(verdict.file)] : nullptr,
                    verdict.file >= 0 ? &hex[size_t(verdict.file)] : nullptr,
                    verdict.file >= 0 ? sizes[size_t(verdict.file)] : 0, lines, options));
                continue;
            }
            const bool moved = std::strcmp(verdict.word, "moved") == 0;
            text += Shown(verdict.file >= 0 ? files[size_t(verdict.file)].path : entry->name) +
                    ": " + verdict.word + (moved ? " from " + Shown(entry->name) : "") + "\n";
        }
        PrintOut(text);
    }
    if (!FlushOut()) return kExitFailed;
    if (!options.status) {
        std::string summary =
            std::string(passed ? "audit passed: " : "audit FAILED: ") + std::to_string(matched) +
            " matched, " + std::to_string(changed) + " changed, " + std::to_string(moved) +
            " moved, " + std::to_string(added) + " new, " + std::to_string(missing) + " missing";
        if (unreadable != 0) summary += ", " + std::to_string(unreadable) + " unreadable";
        PrintError(listPath, summary);
    }
    return passed ? kExitOk : kExitFailed;
}
