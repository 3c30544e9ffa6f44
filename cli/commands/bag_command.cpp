// Bags (RFC 8493 and the versions before it): -c DIR validates the bag DIR, and --make-bag
// makes DIR a bag in place, or adds payload manifests to the bag it is.
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "batch/input_batch.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "commands/list_writer.h"
#include "commands/shard_output.h"
#include "common/algorithm_names.h"
#include "common/error_text.h"
#include "lists/bag_files.h"
#include "system/directory_walk.h"
#include "system/file_input.h"
#include "system/file_output.h"
#include "system/system.h"

namespace {

// Where --make-bag gathers the payload before it becomes data/: a run that is killed leaves
// it, and the next run goes on from it.
const char kStaging[] = ".korvadex-payload";

// A tag file of a few MiB is already absurd; this only keeps a wrong file out of memory.
constexpr uint64_t kMaxTagBytes = uint64_t(64) << 20;

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

std::string Join(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The algorithm of a manifest's file name ("manifest-sha256.txt", prefix "manifest-"), or "".
std::string ManifestAlgorithm(const std::string& name, const std::string& prefix) {
    const std::string suffix = ".txt";
    if (!StartsWith(name, prefix) || name.size() <= prefix.size() + suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return "";
    }
    return name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
}

// A name folded so that names a case-insensitive file system, or one that keeps names
// decomposed, takes for one are equal: ASCII letters in lower case, and the accented letters
// of Latin-1 (U+00C0 to U+00FF) decomposed into their letter and combining mark, as
// normalisation form D has them.  Other scripts' normalisation is not folded.
std::string Folded(const std::string& name) {
    // For U+00C0 + i: the letter, or '-' for none, and the combining mark U+0300 + mark.
    static const char kLetters[] =
        "AAAAAA-CEEEEIIII-NOOOOO--UUUUY--aaaaaa-ceeeeiiii-nooooo--uuuuy-y";
    static const unsigned char kMarks[] = {0x00, 0x01, 0x02, 0x03, 0x08, 0x0A, 0,    0x27,
                                           0x00, 0x01, 0x02, 0x08, 0x00, 0x01, 0x02, 0x08,
                                           0,    0x03, 0x00, 0x01, 0x02, 0x03, 0x08, 0,
                                           0,    0x00, 0x01, 0x02, 0x08, 0x01, 0,    0x08};
    std::string folded;
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const unsigned char next =
            i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        const size_t at = c == 0xC3 && next >= 0x80 && next <= 0xBF ? size_t(next - 0x80) : 64;
        if (at < 64 && kLetters[at] != '-') {
            folded += char(std::tolower(static_cast<unsigned char>(kLetters[at])));
            folded += '\xCC';
            folded += char(0x80 + kMarks[at % 32]);
            ++i;
            continue;
        }
        folded += char(std::tolower(c));
    }
    return folded;
}

struct Manifest {
    std::string file;                           // "manifest-sha256.txt"
    size_t line = 0;                            // its algorithm's line
    bool tag = false;                           // a tag manifest
    std::map<std::string, std::string> values;  // path -> hex in upper case
};

// What the bag says of one file, and what was found.
struct BagEntry {
    bool present = false;  // a regular file on disk
    bool payload = false;  // under data/
    std::vector<std::string> failedIn, missingIn, unlistedIn;
    std::string fetchUrl;
    bool unreadable = false;
    std::vector<std::string> hex;  // computed, at the index of each line
    uint64_t size = 0;
};

class Bag {
public:
    Bag(const std::string& dir, const Options& options) : dir_(dir), options_(options) {}

    // Reads the tag files and looks at what is on disk; the problems found are kept.
    void Load();
    // Reads every file the manifests name, and the payload files for the lines of extra,
    // and compares.  With shard (a check with -o), writes each file's record, or why it
    // could not be read, to the shard's list, and reads only the files an earlier try has
    // no record of.
    void Verify(const std::vector<size_t>& extra, ShardOutput* shard = nullptr);
    // Compares what the records of a shard's list of this check give, in place of reading
    // the files.
    void Take(const std::vector<ShardEntry>& records);
    // Writes the verdicts and the summary, and the warnings; returns the exit status.
    int Report() const;
    // The verdicts and the summary (out) and the warnings (err) that Report writes.
    int Verdicts(std::string& out, std::string& err) const;
    void Warnings() const { PrintErrorText(WarningText()); }
    std::string WarningText() const {
        std::string text;
        for (const std::string& warning : warnings_) {
            text +=
                "korvadex: " + MessageText(dir_) + ": " + MessageText("WARNING: " + warning) + "\n";
        }
        return text;
    }
    // The SHA-256 of what the manifests hold, which the tries of one check must share.
    std::string ManifestsCheck() const;

    bool Declared() const { return declared_; }
    bool Problems() const { return incomplete_ + invalid_ != 0; }
    bool OnlyWithoutManifests() const {
        return invalid_ == 0 && incomplete_ == 1 && payloadManifests_ == 0;
    }
    const std::vector<Manifest>& Manifests() const { return manifests_; }
    const std::map<std::string, BagEntry>& Entries() const { return entries_; }
    bool HasInfo() const { return hasInfo_; }
    const std::string& Oxum() const { return oxum_; }
    std::string Path(const std::string& relative) const { return dir_ + "/" + relative; }
    // The files of the bag that are not payload or tag manifests, for the tag manifests.
    std::vector<std::string> TagFiles() const;
    // The payload's bytes and files.
    uint64_t PayloadOctets() const;
    uint64_t PayloadFiles() const;

private:
    void Problem(const std::string& name, const std::string& what, bool invalid);
    void Warn(const std::string& what) { warnings_.push_back(what); }
    bool ReadTag(const std::string& name, std::string& text);
    void LoadManifest(const std::string& name, const std::string& algorithm, bool tag);
    void LoadFetch();
    void LoadInfo();
    void CrossCheck();
    // The lines a file of the bag is read for, the payload's with those of extra: none when
    // it is not there or no manifest names it.
    std::vector<size_t> LinesOf(const std::string& path, const BagEntry& entry,
                                const std::vector<size_t>& extra) const;
    // Compares the values a file gave, read whole (ok) or not, with the manifests.
    void Compare(const std::string& path, BagEntry& entry, bool ok,
                 const std::vector<std::string>& hex, uint64_t size);

    std::string dir_;
    const Options& options_;
    BagDeclaration declaration_;
    bool declared_ = false;
    bool hasInfo_ = false;
    size_t payloadManifests_ = 0;
    std::vector<Manifest> manifests_;
    std::map<std::string, BagEntry> entries_;  // by path in the bag
    std::vector<std::string> tagFiles_;        // on disk, outside data/
    std::string oxum_;
    std::vector<std::pair<std::string, std::string>> problems_;  // name, what
    std::vector<std::string> warnings_;
    size_t incomplete_ = 0, invalid_ = 0;
};

void Bag::Problem(const std::string& name, const std::string& what, bool invalid) {
    problems_.push_back({name, what});
    ++(invalid ? invalid_ : incomplete_);
}

bool Bag::ReadTag(const std::string& name, std::string& text) {
    InputBytes bytes;
    std::string reason;
    const InputLimit limit{kMaxTagBytes, "too large for a tag file"};
    if (!ReadInput(Path(name), limit, bytes, reason)) {
        Problem(name, "unreadable: " + reason, true);
        return false;
    }
    const std::string raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (name == "bagit.txt") {
        text = raw;
        return true;
    }
    if (!DecodeTagFile(raw, declaration_.encoding, text, reason)) {
        Problem(name, reason, true);
        return false;
    }
    return true;
}

void Bag::Load() {
    std::string text, fault;
    const PathStatus bagit = LookUpPath(Path("bagit.txt"));
    if (bagit.kind != PathKind::kRegular) {
        Problem("bagit.txt", "missing", false);
        return;
    }
    if (!ReadTag("bagit.txt", text)) return;
    if (!ParseBagDeclaration(text, declaration_, fault)) {
        Problem("bagit.txt", fault, true);
        return;
    }
    declared_ = true;
    if (declaration_.old) {
        Warn("BagIt version " + declaration_.version +
             " is old: read as its layout was, without percent-encoding");
    }
    if (Folded(declaration_.encoding) != "utf-8") {
        Warn("the tag files are in " + declaration_.encoding + "; UTF-8 is the rule");
    }
    WalkOptions walk;
    walk.complain = [this](const std::string& path, const std::string& reason) {
        Problem(path.substr(dir_.size() + 1), "unreadable: " + reason, true);
    };
    std::vector<TreeEntry> found;
    WalkTree(dir_, walk, found);
    bool payloadDir = false;
    for (size_t i = 0; i < found.size(); ++i) {
        const TreeEntry& entry = found[i];
        const bool payload = StartsWith(entry.relative, "data/");
        if (entry.relative == "data") payloadDir = entry.kind == TreeEntry::Kind::kDirectory;
        switch (entry.kind) {
            case TreeEntry::Kind::kFile:
                if (payload) {
                    BagEntry& file = entries_[entry.relative];
                    file.present = file.payload = true;
                    const std::string base = entry.relative.substr(entry.relative.rfind('/') + 1);
                    if (base == ".DS_Store" || base == "Thumbs.db") {
                        Warn(entry.relative +
                             ": a file the system made on its own, in the payload");
                    }
                } else {
                    tagFiles_.push_back(entry.relative);
                    entries_[entry.relative].present = true;
                }
                break;
            case TreeEntry::Kind::kLink:
                Warn(entry.relative + ": a symbolic link, which a bag cannot hold; not checked");
                break;
            case TreeEntry::Kind::kOther:
                Warn(entry.relative + ": " + entry.what + ", which a bag cannot hold");
                break;
            case TreeEntry::Kind::kDirectory:
                if (payload && (i + 1 == found.size() ||
                                !StartsWith(found[i + 1].relative, entry.relative + "/"))) {
                    Warn(entry.relative + ": an empty folder, which a bag cannot hold");
                }
                break;
        }
    }
    if (!payloadDir) Problem("data/", "missing: a bag holds its payload in data/", false);
    for (const std::string& name : tagFiles_) {
        if (name.find('/') != std::string::npos) continue;
        for (bool tag : {false, true}) {
            const std::string algorithm =
                ManifestAlgorithm(name, tag ? "tagmanifest-" : "manifest-");
            if (algorithm.empty()) continue;
            if (BagAlgorithm(algorithm) < 0) {
                Warn(name + ": " + algorithm +
                     " is not an algorithm korvadex checks in bags "
                     "(md5, sha1, sha256, sha384, sha512); not checked");
                continue;
            }
            LoadManifest(name, algorithm, tag);
        }
    }
    if (payloadManifests_ == 0) Problem("manifest-*.txt", "missing: no payload manifest", false);
    LoadFetch();
    LoadInfo();
    CrossCheck();
}

void Bag::LoadManifest(const std::string& name, const std::string& algorithm, bool tag) {
    std::string text;
    if (!ReadTag(name, text)) return;
    Manifest manifest;
    manifest.file = name;
    manifest.line = size_t(BagAlgorithm(algorithm));
    manifest.tag = tag;
    const size_t width = 2 * DigestLength(kReportLines[manifest.line].size);
    size_t number = 0;
    for (const std::string& line : TagLines(text)) {
        ++number;
        if (line.empty()) continue;
        const std::string where = name + ":" + std::to_string(number);
        ManifestEntry entry;
        std::string fault;
        if (!ParseManifestLine(line, declaration_.percentEncoded, entry, fault)) {
            Problem(where, fault, true);
            continue;
        }
        if (const char* outside = BagPathFault(entry.path)) {
            Problem(where, MessageText(entry.path) + " refused: " + outside, true);
            continue;
        }
        if (entry.hex.size() != width) {
            Problem(where, "the checksum is not " + std::to_string(width) + " hex digits", true);
            continue;
        }
        if (StartsWith(entry.path, "data/") == tag) {
            Problem(where,
                    entry.path + (tag ? ": a payload file in a tag manifest"
                                      : ": not a payload file, in a payload manifest"),
                    true);
            continue;
        }
        if (entry.starred) Warn(where + ": '*' before the name, as md5sum writes; read without it");
        std::string hex = entry.hex;
        for (char& c : hex) c = char(std::toupper(static_cast<unsigned char>(c)));
        const auto known = manifest.values.find(entry.path);
        if (known != manifest.values.end()) {
            if (known->second != hex) {
                Problem(where, entry.path + ": listed twice with different values", true);
            } else {
                Warn(where + ": " + entry.path + " listed twice");
            }
            continue;
        }
        manifest.values[entry.path] = hex;
        entries_[entry.path];  // named by the bag, whether present or not
    }
    if (!tag) ++payloadManifests_;
    manifests_.push_back(std::move(manifest));
}

void Bag::LoadFetch() {
    if (LookUpPath(Path("fetch.txt")).kind != PathKind::kRegular) return;
    std::string text;
    if (!ReadTag("fetch.txt", text)) return;
    size_t number = 0;
    for (const std::string& line : TagLines(text)) {
        ++number;
        if (line.empty()) continue;
        FetchEntry entry;
        const std::string where = "fetch.txt:" + std::to_string(number);
        if (!ParseFetchLine(line, declaration_.percentEncoded, entry)) {
            Problem(where, "not a line \"URL LENGTH PATH\"", true);
        } else if (const char* outside = BagPathFault(entry.path)) {
            Problem(where, MessageText(entry.path) + " refused: " + outside, true);
        } else if (!StartsWith(entry.path, "data/")) {
            Problem(where, entry.path + ": not a payload file", true);
        } else if (std::any_of(manifests_.begin(), manifests_.end(), [&](const Manifest& m) {
                       return !m.tag && m.values.count(entry.path) == 0;
                   })) {
            Problem(where, entry.path + ": not in every payload manifest", true);
        } else {
            entries_[entry.path].fetchUrl = entry.url;
        }
    }
}

void Bag::LoadInfo() {
    const std::string name = declaration_.infoIsPackage ? "package-info.txt" : "bag-info.txt";
    if (LookUpPath(Path(name)).kind != PathKind::kRegular) return;
    hasInfo_ = true;
    std::string text;
    if (!ReadTag(name, text)) return;
    size_t malformed = 0;
    std::map<std::string, size_t> seen;
    for (const BagInfoField& field : ParseBagInfo(text, malformed)) {
        const size_t count = ++seen[field.label];
        if (field.label == "Payload-Oxum") oxum_ = field.value;
        if (count == 2 && (field.label == "Payload-Oxum" || field.label == "Bagging-Date" ||
                           field.label == "Bag-Size" || field.label == "Bag-Count")) {
            Warn(name + ": " + field.label + " is given more than once");
        }
    }
    if (malformed != 0) {
        Warn(name + ": " + std::to_string(malformed) + " lines are not \"Label: Value\"");
    }
}

void Bag::CrossCheck() {
    std::map<std::string, std::string> folded;
    for (auto& [path, entry] : entries_) {
        const std::string key = Folded(path);
        const auto other = folded.find(key);
        if (other != folded.end()) {
            Warn(other->second + " and " + path + " differ only in case or Unicode normalisation");
        } else {
            folded[key] = path;
        }
        bool listed = false;
        for (const Manifest& manifest : manifests_) {
            const bool named = manifest.values.count(path) != 0;
            listed = listed || (named && !manifest.tag);
            if (named && !entry.present) entry.missingIn.push_back(manifest.file);
            if (!named && entry.present && entry.payload && !manifest.tag &&
                declaration_.everyManifest) {
                entry.unlistedIn.push_back(manifest.file);
            }
        }
        if (entry.present && entry.payload && !listed && payloadManifests_ != 0 &&
            entry.unlistedIn.empty()) {
            entry.unlistedIn.push_back("every payload manifest");
        }
        if (!entry.missingIn.empty() || !entry.unlistedIn.empty()) ++incomplete_;
    }
    for (const Manifest& manifest : manifests_) {
        if (!manifest.tag) continue;
        for (const Manifest& payload : manifests_) {
            if (!payload.tag && manifest.values.count(payload.file) == 0) {
                Warn(manifest.file + " does not list " + payload.file);
            }
        }
    }
}

std::vector<size_t> Bag::LinesOf(const std::string& path, const BagEntry& entry,
                                 const std::vector<size_t>& extra) const {
    if (!entry.present) return {};
    std::vector<size_t> lines = entry.payload ? extra : std::vector<size_t>();
    for (const Manifest& manifest : manifests_) {
        if (manifest.values.count(path) != 0) lines.push_back(manifest.line);
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

void Bag::Compare(const std::string& path, BagEntry& entry, bool ok,
                  const std::vector<std::string>& hex, uint64_t size) {
    if (!ok) {
        entry.unreadable = true;
        ++invalid_;
        return;
    }
    entry.hex = hex;
    entry.size = size;
    for (const Manifest& manifest : manifests_) {
        const auto value = manifest.values.find(path);
        if (value != manifest.values.end() && value->second != hex[manifest.line]) {
            entry.failedIn.push_back(manifest.file);
        }
    }
    if (!entry.failedIn.empty()) ++invalid_;
}

void Bag::Verify(const std::vector<size_t>& extra, ShardOutput* shard) {
    // In the walk's order, the one a shard's list is written in.
    std::vector<std::pair<const std::string, BagEntry>*> files;
    for (auto& file : entries_) files.push_back(&file);
    std::sort(files.begin(), files.end(),
              [](const auto* a, const auto* b) { return WalkOrderLess(a->first, b->first); });
    Progress progress;
    InputBatch batch(options_.jobs, options_.readOrder, files.size(), progress);
    const std::vector<uint8_t> noKey;
    for (auto* file : files) {
        const std::string& path = file->first;
        const std::vector<size_t> lines = LinesOf(path, file->second, extra);
        if (lines.empty() || (shard != nullptr && !shard->Takes(0, path))) continue;
        BagEntry* target = &file->second;
        batch.AddFile(Path(path), noKey, lines, options_.jobs,
                      [this, target, path, lines, shard](const InputResult& result) {
                          if (shard == nullptr) {
                              return Compare(path, *target, result.ok, result.hex, result.size);
                          }
                          if (!result.ok) return shard->Failed(0, path, result.reason);
                          FileRecord record;
                          record.name = path;
                          record.size = int64_t(result.size);
                          for (size_t line : lines)
                              record.digests.push_back({line, result.hex[line]});
                          shard->Record(0, record);
                      });
    }
    batch.Finish();
}

void Bag::Take(const std::vector<ShardEntry>& records) {
    std::set<std::string> taken;
    for (const ShardEntry& record : records) {
        const auto found = entries_.find(record.record.name);
        if (found == entries_.end() || LinesOf(found->first, found->second, {}).empty()) continue;
        Compare(found->first, found->second, record.kind == ShardEntry::Kind::kRecord,
                RecordHex(record.record), uint64_t(record.record.size));
        taken.insert(found->first);
    }
    // A file that came after the run taken up had passed its place.
    for (const auto& [path, entry] : entries_) {
        if (taken.count(path) == 0 && !LinesOf(path, entry, {}).empty()) {
            Problem(path, "not checked: it was not there when the check taken up began", true);
        }
    }
}

std::string Bag::ManifestsCheck() const {
    std::string text;
    for (const Manifest& manifest : manifests_) {
        text += manifest.file + "\n";
        for (const auto& [path, hex] : manifest.values) text += path + '\0' + hex + "\n";
    }
    const size_t sha256 = size_t(FindAlgorithm("sha256"));
    InputRun run;
    run.callerOnly = true;
    return ComputeTextResult(text, {}, {sha256}, run).hex[sha256];
}

int Bag::Report() const {
    std::string out, err;
    const int status = Verdicts(out, err);
    PrintOut(out);
    PrintErrorText(err);
    return status;
}

int Bag::Verdicts(std::string& out, std::string& err) const {
    const bool json = options_.format == OutputFormat::kJson;
    auto line = [&](const std::string& name, const std::string& verdict,
                    const std::vector<std::string>& manifests) {
        if (options_.status) return;
        if (json) {
            nlohmann::json object = {{"bag", dir_}, {"name", name}, {"verdict", verdict}};
            if (!manifests.empty()) object["manifests"] = manifests;
            out += object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
            return;
        }
        out += MessageText(name) + ": " + verdict +
               (manifests.empty() ? "" : " (" + Join(manifests) + ")") + "\n";
    };
    for (const auto& [path, entry] : entries_) {
        if (!entry.present && !entry.fetchUrl.empty()) {
            line(path, "to fetch from " + entry.fetchUrl, entry.missingIn);
        } else if (!entry.missingIn.empty()) {
            line(path, "missing", entry.missingIn);
        }
        if (entry.unreadable) line(path, "FAILED open or read", {});
        if (!entry.failedIn.empty()) line(path, "FAILED", entry.failedIn);
        if (!entry.unlistedIn.empty()) line(path, "not listed", entry.unlistedIn);
        if (entry.present && !entry.hex.empty() && entry.failedIn.empty() && !options_.quiet) {
            line(path, "OK", {});
        }
    }
    for (const auto& [name, what] : problems_) line(name, what, {});
    const size_t problems = incomplete_ + invalid_;
    const std::string verdict = invalid_ != 0      ? "invalid"
                                : incomplete_ != 0 ? "incomplete"
                                                   : "valid";
    if (!options_.status) {
        if (json) {
            nlohmann::json summary = {{"bag", dir_},
                                      {"verdict", verdict},
                                      {"problems", problems},
                                      {"warnings", warnings_}};
            out += summary.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
        } else {
            out += MessageText(dir_) + ": " + verdict +
                   (problems == 0 ? ""
                                  : " (" + std::to_string(problems) +
                                        (problems == 1 ? " problem)" : " problems)")) +
                   "\n";
        }
    }
    if (!options_.status) err = WarningText();
    return problems == 0 ? kExitOk : kExitFailed;
}

std::vector<std::string> Bag::TagFiles() const {
    std::vector<std::string> files;
    for (const std::string& name : tagFiles_) {
        if (ManifestAlgorithm(name, "tagmanifest-").empty()) files.push_back(name);
    }
    return files;
}

uint64_t Bag::PayloadOctets() const {
    uint64_t octets = 0;
    for (const auto& [path, entry] : entries_) {
        if (entry.present && entry.payload) octets += LookUpPath(Path(path)).size;
    }
    return octets;
}

uint64_t Bag::PayloadFiles() const {
    uint64_t files = 0;
    for (const auto& entry : entries_) files += entry.second.present && entry.second.payload;
    return files;
}

// --fast: the payload's size and count against Payload-Oxum alone.
int FastCheck(const std::string& dir, Bag& bag, const std::string& oxum) {
    const std::string actual =
        std::to_string(bag.PayloadOctets()) + "." + std::to_string(bag.PayloadFiles());
    if (oxum.empty()) {
        PrintError(dir, "--fast: the bag has no Payload-Oxum to check");
        return kExitFailed;
    }
    PrintOut(MessageText(dir) + ": Payload-Oxum " + oxum +
             (oxum == actual ? " matches (the checksums were not read)\n"
                             : ", the payload holds " + actual + ": invalid\n"));
    return oxum == actual ? kExitOk : kExitFailed;
}

std::string Today() {
    const std::time_t now = std::time(nullptr);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", std::localtime(&now));
    return text;
}

bool Write(const std::string& path, const std::string& text) {
    std::string reason;
    if (WriteOutputFile(path, text, reason)) return true;
    PrintError(path, "not written: " + reason);
    return false;
}

// Whether the file at path is the whole bagit.txt that a run killed while writing it left
// under the temporary name of a write.
bool LeftBagDeclaration(const TreeEntry& entry) {
    if (entry.kind != TreeEntry::Kind::kFile || entry.relative.size() != 16 ||
        !StartsWith(entry.relative, ".korvadex-")) {
        return false;
    }
    InputBytes bytes;
    std::string reason;
    const std::string text = BagDeclarationText();
    if (!ReadInput(entry.path, InputLimit{text.size(), "too large"}, bytes, reason)) return false;
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()) == text;
}

// Moves every entry of dir into the staging folder, made unless a run before was killed
// with it there; a bagit.txt that such a run left under a temporary name is put in place.
bool StagePayload(const std::string& dir) {
    const std::string staging = dir + "/" + kStaging;
    const bool resumed = !MakeDirectory(staging);
    if (resumed && errno != EEXIST) {
        PrintError(staging, "not made: " + ErrnoText(errno));
        return false;
    }
    WalkOptions walk;
    walk.maxDepth = 1;
    walk.complain = PrintError;
    std::vector<TreeEntry> entries;
    if (!WalkTree(dir, walk, entries)) return false;
    for (const TreeEntry& entry : entries) {
        if (entry.relative == kStaging) continue;
        const bool declaration = resumed && LeftBagDeclaration(entry);
        const std::string target =
            declaration ? dir + "/bagit.txt" : staging + "/" + entry.relative;
        if (!RenameWithoutReplacing(entry.path, target)) {
            PrintError(entry.path, "not moved to " + target + ": " + ErrnoText(errno));
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsBag(const std::string& dir) {
    return LookUpPath(dir).kind == PathKind::kDirectory &&
           LookUpPath(dir + "/bagit.txt").kind == PathKind::kRegular;
}

int CheckBag(const Options& options, const std::string& dir) {
    Bag bag(dir, options);
    bag.Load();
    if (options.fast) {
        return FastCheck(dir, bag, bag.Oxum());
    }
    // With -o, the files' records go to a shard's list, and the merge of that list, which
    // reads the bag again, writes the verdicts.
    if (!options.outputPath.empty()) {
        ShardOutput shard;
        if (!shard.Begin(options, {}, "bag", bag.ManifestsCheck())) return kExitFailed;
        if (bag.Declared()) bag.Verify({}, &shard);
        return shard.End(options);
    }
    if (bag.Declared()) bag.Verify({});
    const int status = bag.Report();
    return FlushOut() ? status : kExitFailed;
}

int BagVerdicts(const std::vector<ShardEntry>& records, const Options& options, std::string& out,
                std::string& err) {
    Bag bag(options.files[0], options);
    bag.Load();
    bag.Take(records);
    return bag.Verdicts(out, err);
}

int RunMakeBag(const Options& options) {
    std::vector<size_t> wanted = options.only;
    if (wanted.empty()) wanted.push_back(size_t(FindAlgorithm("sha512")));
    const std::string dir = options.files[0];
    if (LookUpPath(dir).kind != PathKind::kDirectory) {
        PrintError(dir, "not a folder");
        return kExitFailed;
    }
    // The order that loses nothing when the run is killed anywhere: every entry into the
    // staging folder, bagit.txt, the staging folder renamed to data/, then the manifests,
    // bag-info.txt and the tag manifests.  A bagit.txt beside the staging folder can only be
    // this order's, so a run after a kill goes on from where it stopped.
    const std::string staging = dir + "/" + kStaging;
    const bool fresh = LookUpPath(dir + "/bagit.txt").kind == PathKind::kMissing;
    if (fresh && !StagePayload(dir)) return kExitFailed;
    if (LookUpPath(dir + "/bagit.txt").kind == PathKind::kMissing &&
        !Write(dir + "/bagit.txt", BagDeclarationText())) {
        return kExitFailed;
    }
    if (LookUpPath(staging).kind == PathKind::kDirectory &&
        LookUpPath(dir + "/data").kind == PathKind::kMissing &&
        !RenameWithoutReplacing(staging, dir + "/data")) {
        PrintError(staging, "not renamed to data: " + ErrnoText(errno));
        return kExitFailed;
    }
    Bag bag(dir, options);
    bag.Load();
    // A bag of this run, killed before its manifests, has none yet: nothing to verify.
    if (bag.Problems() && !bag.OnlyWithoutManifests()) {
        bag.Verify({});
        bag.Report();
        PrintError(dir, "not changed: the bag does not verify");
        return kExitFailed;
    }
    std::vector<size_t> added;
    for (size_t line : wanted) {
        bool held = false;
        for (const Manifest& manifest : bag.Manifests())
            held = held || (!manifest.tag && manifest.line == line);
        if (!held) added.push_back(line);
    }
    bag.Verify(added);
    if (bag.Problems() && !bag.OnlyWithoutManifests()) {
        bag.Report();
        PrintError(dir, "not changed: the bag does not verify");
        return kExitFailed;
    }
    for (size_t line : added) {
        std::string text;
        for (const auto& [path, entry] : bag.Entries()) {
            if (entry.present && entry.payload)
                text += ManifestLine(DisplayHex(entry.hex[line], true), path);
        }
        if (!Write(dir + "/manifest-" + PlainName(line) + ".txt", text)) return kExitFailed;
    }
    if (!bag.HasInfo() && !Write(dir + "/bag-info.txt",
                                 BagInfoText(Today(), bag.PayloadOctets(), bag.PayloadFiles()))) {
        return kExitFailed;
    }
    // The tag manifests, of every algorithm the bag now has, over the tag files as they are.
    Bag tags(dir, options);
    tags.Load();
    std::set<size_t> algorithms;
    for (const Manifest& manifest : tags.Manifests()) algorithms.insert(manifest.line);
    const std::vector<size_t> lines(algorithms.begin(), algorithms.end());
    std::map<size_t, std::string> texts;
    Progress progress;
    for (const std::string& name : tags.TagFiles()) {
        std::vector<std::string> hex;
        if (!ComputeInput(dir + "/" + name, {}, lines, 1, progress, hex)) return kExitFailed;
        for (size_t line : lines) texts[line] += ManifestLine(DisplayHex(hex[line], true), name);
    }
    for (size_t line : lines) {
        if (!Write(dir + "/tagmanifest-" + PlainName(line) + ".txt", texts[line]))
            return kExitFailed;
    }
    bag.Warnings();
    std::string names;
    for (size_t line : added) names += " manifest-" + PlainName(line) + ".txt";
    PrintOut(MessageText(dir) + ": " + (fresh ? "made a bag of " : "bag of ") +
             std::to_string(bag.PayloadFiles()) + " payload files" +
             (added.empty() ? ", no manifest added" : ";" + names + " added") + "\n");
    return FlushOut() ? kExitOk : kExitFailed;
}
