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

std::string ListedKey(const std::string& listed) {
    std::string name = listed;
    if (name.find('\\') != std::string::npos && LookUpPath(name).kind == PathKind::kMissing) {
        std::replace(name.begin(), name.end(), '\\', '/');
    }
    return NameKey(name);
}

std::unordered_map<std::string, std::vector<size_t>> EntriesByKey(const ListDocument& document,
                                                                  const Options& options) {
    std::unordered_map<std::string, std::vector<size_t>> byKey;
    for (size_t i = 0; i < document.entries.size(); ++i) {
        const ListEntry& entry = document.entries[i];
        if (!entry.added && !options.filter.TakesListed(entry.name)) continue;
        byKey[ListedKey(entry.name)].push_back(i);
    }
    return byKey;
}

LineResolver::LineResolver(const Options& options, const std::vector<uint8_t>& key,
                           Progress& progress)
    : options_(options),
      key_(key),
      progress_(progress),
      hint_(AlgorithmOfListName(options.keptList)),
      tagged_(kReportLineCount, false) {}

bool LineResolver::Take(const std::string& name, const std::vector<ChecksumLine>& values,
                        std::string& reason) {
    for (size_t column = 0; column < values.size(); ++column) {
        const ChecksumLine& value = values[column];
        if (value.line >= 0) {
            tagged_[size_t(value.line)] = true;
            if (value.keyed == options_.keyed) continue;
            reason = value.keyed ? "it holds HMAC values: give their key with --key or --key-file"
                                 : "it holds plain digests, while a key was given";
            return false;
        }
        const std::pair<size_t, size_t> slot{value.hex.size(), column};
        auto known = std::find_if(slots_.begin(), slots_.end(),
                                  [&](const Slot& s) { return s.widthAndColumn == slot; });
        if (known == slots_.end()) {
            const long line = NamedLine(slot.first, options_, hint_, reason);
            if (!reason.empty()) return false;
            if (line < 0 && LikeliestFirst(Candidates(slot.first)).empty()) {
                reason = "a value of " + std::to_string(slot.first) +
                         " hex digits, which no algorithm has";
                return false;
            }
            slots_.push_back(Slot{slot, line, {}});
            known = slots_.end() - 1;
        }
        // The files of the first lines of such values that exist are tried, as many as
        // inference takes.
        if (known->line < 0 && known->tries.size() < kInferenceTries &&
            LookUpPath(name).kind == PathKind::kRegular) {
            known->tries.push_back({name, value.hex});
        }
    }
    return true;
}

bool LineResolver::Finish(bool hashdeep, std::string& reason) {
    for (Slot& slot : slots_) {
        if (slot.line < 0) slot.line = long(InferLine(slot));
    }
    if (hashdeep && options_.keyed) {
        reason = "a hashdeep list holds plain digests only; leave out the key";
        return false;
    }
    return true;
}

void LineResolver::Resolve(ListValue& value, size_t column) const {
    if (value.line >= 0) return;
    value.keyed = options_.keyed;
    const std::pair<size_t, size_t> slot{value.hex.size(), column};
    for (const Slot& known : slots_) {
        if (known.widthAndColumn == slot) value.line = known.line;
    }
}

std::vector<size_t> LineResolver::Lines() const {
    std::vector<bool> held = tagged_;
    for (const Slot& slot : slots_) held[size_t(slot.line)] = true;
    std::vector<size_t> lines;
    for (size_t line = 0; line < kReportLineCount; ++line) {
        if (held[line]) lines.push_back(line);
    }
    return lines;
}

void LineResolver::ResolveEntry(ListEntry& entry) const {
    for (size_t i = 0; i < entry.values.size(); ++i) Resolve(entry.values[i], ColumnOf(entry, i));
}

std::vector<size_t> LineResolver::Candidates(size_t digits) {
    std::vector<size_t> lines;
    for (size_t line = 0; line < kReportLineCount; ++line) {
        if (Digits(line) == digits) lines.push_back(line);
    }
    return lines;
}

// The first of the lines of the slot's width whose value over one of the files tried is the
// listed one, or the likeliest of them when none matches.
size_t LineResolver::InferLine(const Slot& slot) {
    const size_t digits = slot.widthAndColumn.first;
    const std::vector<size_t> candidates = LikeliestFirst(Candidates(digits));
    for (const auto& tried : slot.tries) {
        std::vector<std::string> hex;
        uint64_t size = 0;
        if (!HashFile(tried.first, candidates, options_, key_, progress_, hex, size)) continue;
        for (size_t line : candidates) {
            if (hex[line] != ListUpper(tried.second)) continue;
            PrintError(options_.keptList,
                       "its values of " + std::to_string(digits) + " hex digits are taken as " +
                           LineName(kReportLines[line]) + ", the first algorithm that matched (" +
                           tried.first + ")");
            return line;
        }
    }
    PrintError(options_.keptList, "no listed file matched its values of " + std::to_string(digits) +
                                      " hex digits; they are taken as " +
                                      LineName(kReportLines[candidates[0]]) +
                                      " (name the algorithm with -a)");
    return candidates[0];
}

bool ResolveLines(ListDocument& document, const Options& options, const std::vector<uint8_t>& key,
                  Progress& progress, std::string& reason) {
    LineResolver resolver(options, key, progress);
    for (const ListEntry& entry : document.entries) {
        // The values of each of its lines, in order.
        for (size_t i = 0; i < entry.values.size();) {
            std::vector<ChecksumLine> values;
            const size_t text = entry.values[i].text;
            for (; i < entry.values.size() && entry.values[i].text == text; ++i) {
                const ListValue& value = entry.values[i];
                values.push_back(ChecksumLine{entry.name, value.hex, value.line, value.keyed});
            }
            if (!resolver.Take(entry.name, values, reason)) return false;
        }
    }
    if (!resolver.Finish(document.kind == ListKind::kHashdeep, reason)) return false;
    for (ListEntry& entry : document.entries) resolver.ResolveEntry(entry);
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
