#include "commands/list_upkeep.h"

#include <algorithm>
#include <set>
#include <utility>

#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/digest_cache.h"
#include "common/algorithm_names.h"
#include "common/line_names.h"
#include "system/system.h"

namespace {

// The listed files tried, at most, for the algorithm of untagged values of a width that
// several lines share.
constexpr size_t kInferenceTries = 8;

size_t Digits(size_t line) {
    return 2 * DigestLength(kReportLines[line].size);
}

// The place of a value among those of its line: the column of rhash's lines.
size_t ColumnOf(const ListEntry& entry, size_t index) {
    size_t column = 0;
    for (size_t i = 0; i < index; ++i) {
        if (entry.values[i].text == entry.values[index].text) ++column;
    }
    return column;
}

// The line of untagged values of this width in this column, when only one can be meant.
long NamedLine(size_t digits, const Options& options, long hint, std::string& reason) {
    std::vector<size_t> fits;
    for (size_t line : options.only) {
        if (Digits(line) == digits) fits.push_back(line);
    }
    if (!options.only.empty() && fits.empty()) {
        reason = "a value of " + std::to_string(digits) + " hex digits fits no algorithm of -a";
        return -1;
    }
    if (fits.empty() && hint >= 0 && Digits(size_t(hint)) == digits) return hint;
    if (fits.empty()) {
        for (size_t line = 0; line < kReportLineCount; ++line) {
            if (Digits(line) == digits) fits.push_back(line);
        }
    }
    return fits.size() == 1 ? long(fits[0]) : -1;
}

// The first of candidates whose value over one of the first listed files that exist is the
// listed one, or the first candidate when none matches.
size_t InferLine(const ListDocument& document, size_t digits, size_t column,
                 const std::vector<size_t>& candidates, const Options& options,
                 const std::vector<uint8_t>& key, Progress& progress) {
    size_t tried = 0;
    for (const ListEntry& entry : document.entries) {
        if (tried == kInferenceTries) break;
        for (size_t i = 0; i < entry.values.size(); ++i) {
            const ListValue& value = entry.values[i];
            if (value.line >= 0 || value.hex.size() != digits || ColumnOf(entry, i) != column) {
                continue;
            }
            if (LookUpPath(entry.name).kind != PathKind::kRegular) break;
            ++tried;
            std::vector<std::string> hex;
            uint64_t size = 0;
            if (!HashFile(entry.name, candidates, options, key, progress, hex, size)) break;
            for (size_t line : candidates) {
                if (hex[line] != ListUpper(value.hex)) continue;
                PrintError(options.keptList,
                           "its values of " + std::to_string(digits) + " hex digits are taken as " +
                               LineName(kReportLines[line]) +
                               ", the first algorithm that matched (" + entry.name + ")");
                return line;
            }
            break;
        }
    }
    PrintError(options.keptList, "no listed file matched its values of " + std::to_string(digits) +
                                     " hex digits; they are taken as " +
                                     LineName(kReportLines[candidates[0]]) +
                                     " (name the algorithm with -a)");
    return candidates[0];
}

// path made absolute against folder (the current folder), and written plainly: no "." or
// empty components, ".." taken back against the component before it (links are not looked
// at), no trailing '/'.  Where '\\' separates folders it reads as '/', and a drive ("C:") or
// a "//server" start makes a path absolute as a leading '/' does.  Two names of one file
// found by a walk or written in a list compare equal so.
std::string AbsolutePath(const std::string& path, const std::string& folder) {
    std::string joined = path;
    std::string base = folder;
    if (kBackslashSeparates) {
        std::replace(joined.begin(), joined.end(), '\\', '/');
        std::replace(base.begin(), base.end(), '\\', '/');
    }
    const auto drive = [](const std::string& name) {
        return kBackslashSeparates && name.size() >= 2 && name[1] == ':';
    };
    if (!drive(joined) && (joined.empty() || joined[0] != '/')) joined = base + "/" + joined;
    std::string start;
    if (drive(joined)) {
        start = joined.substr(0, 2);
        joined.erase(0, 2);
    } else if (kBackslashSeparates && joined.compare(0, 2, "//") == 0) {
        start = "/";
    }
    std::vector<std::string> parts;
    for (size_t at = 0, end; at <= joined.size(); at = end + 1) {
        end = std::min(joined.find('/', at), joined.size());
        const std::string part = joined.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
    }
    std::string out = start;
    for (const std::string& part : parts) out += "/" + part;
    return out == start ? start + "/" : out;
}

}  // namespace

std::string NameKey(const std::string& name) {
    // The current folder does not change while korvadex runs.
    static const std::string folder = CurrentFolder();
    return AbsolutePath(name, folder);
}

bool GatherFiles(const Options& options, std::vector<SeenFile>& files) {
    std::vector<std::string> paths;
    bool ok = GivenFiles(options, paths);
    const PathStatus list = LookUpPath(options.keptList);
    std::set<std::string> keys;
    for (const std::string& path : paths) {
        SeenFile file{path, NameKey(path), LookUpPath(path), FileTime()};
        ModificationTime(path, file.modified);
        if (file.status.kind == PathKind::kMissing || file.status.kind == PathKind::kUnknown) {
            PrintError(path, file.status.kind == PathKind::kMissing ? "no such file"
                                                                    : "cannot be looked at");
            ok = false;
            continue;
        }
        // Only a file of the list's size can be the list.
        if (list.kind == PathKind::kRegular && file.status.size == list.size &&
            IsSameRegularFile(options.keptList, path)) {
            continue;
        }
        if (keys.insert(file.key).second) files.push_back(file);
    }
    return ok;
}

std::unordered_map<std::string, std::vector<size_t>> EntriesByKey(const ListDocument& document,
                                                                  const Options& options) {
    std::unordered_map<std::string, std::vector<size_t>> byKey;
    for (size_t i = 0; i < document.entries.size(); ++i) {
        const ListEntry& entry = document.entries[i];
        if (!entry.added && !options.filter.TakesListed(entry.name)) continue;
        // A name written on Windows, with '\' between folders, is taken with '/' unless it
        // is found as it is.
        std::string name = entry.name;
        if (name.find('\\') != std::string::npos && LookUpPath(name).kind == PathKind::kMissing) {
            std::replace(name.begin(), name.end(), '\\', '/');
        }
        byKey[NameKey(name)].push_back(i);
    }
    return byKey;
}

bool ResolveLines(ListDocument& document, const Options& options, const std::vector<uint8_t>& key,
                  Progress& progress, std::string& reason) {
    const long hint = AlgorithmOfListName(options.keptList);
    // The line found for the values of each width and column.
    std::vector<std::pair<std::pair<size_t, size_t>, size_t>> found;
    for (ListEntry& entry : document.entries) {
        for (size_t i = 0; i < entry.values.size(); ++i) {
            ListValue& value = entry.values[i];
            if (value.line >= 0) {
                if (value.keyed != options.keyed) {
                    reason = value.keyed ? "it holds HMAC values: give their key with --key or "
                                           "--key-file"
                                         : "it holds plain digests, while a key was given";
                    return false;
                }
                continue;
            }
            value.keyed = options.keyed;
            const std::pair<size_t, size_t> slot{value.hex.size(), ColumnOf(entry, i)};
            auto known = std::find_if(found.begin(), found.end(),
                                      [&](const auto& f) { return f.first == slot; });
            if (known != found.end()) {
                value.line = long(known->second);
                continue;
            }
            long line = NamedLine(slot.first, options, hint, reason);
            if (!reason.empty()) return false;
            if (line < 0) {
                std::vector<size_t> candidates;
                for (size_t l = 0; l < kReportLineCount; ++l) {
                    if (Digits(l) == slot.first) candidates.push_back(l);
                }
                if (candidates.empty()) {
                    reason = "a value of " + std::to_string(slot.first) +
                             " hex digits, which no algorithm has";
                    return false;
                }
                line = long(InferLine(document, slot.first, slot.second, LikeliestFirst(candidates),
                                      options, key, progress));
            }
            found.push_back({slot, size_t(line)});
            value.line = line;
        }
    }
    if (document.kind == ListKind::kHashdeep && options.keyed) {
        reason = "a hashdeep list holds plain digests only; leave out the key";
        return false;
    }
    return true;
}

std::vector<size_t> EntryLines(const ListEntry& entry) {
    std::vector<size_t> lines;
    for (const ListValue& value : entry.values) {
        if (std::find(lines.begin(), lines.end(), size_t(value.line)) == lines.end()) {
            lines.push_back(size_t(value.line));
        }
    }
    return lines;
}

namespace {

// The threads of an input's lines: one line is one job, and more threads for it would only
// cost their start.
unsigned LineJobs(const std::vector<size_t>& lines, const Options& options) {
    return lines.size() == 1 ? 1 : options.jobs;
}

}  // namespace

bool HashFile(const std::string& path, const std::vector<size_t>& lines, const Options& options,
              const std::vector<uint8_t>& key, Progress& progress, std::vector<std::string>& hex,
              uint64_t& size) {
    return ComputeInput(path, key, lines, LineJobs(lines, options), progress, hex, &size);
}

void AddFileToHash(InputBatch& batch, const std::string& path, const std::vector<size_t>& lines,
                   const Options& options, const std::vector<uint8_t>& key,
                   InputBatch::Deliver deliver, DigestCache* cache) {
    if (cache != nullptr) {
        cache->AddFile(batch, path, key, lines, LineJobs(lines, options), std::move(deliver));
        return;
    }
    batch.AddFile(path, key, lines, LineJobs(lines, options), std::move(deliver));
}

std::vector<size_t> HashdeepColumns(const Options& options) {
    std::vector<size_t> lines;
    for (size_t line : HashdeepLines()) {
        if (std::find(options.only.begin(), options.only.end(), line) != options.only.end()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::string HashdeepOpening(const Options& options, const std::string& folder) {
    std::string commandLine = "korvadex";
    for (const std::string& argument : options.arguments) {
        commandLine += " " + MessageText(argument);
    }
    return HashdeepHeader(HashdeepColumns(options), MessageText(folder), commandLine);
}
