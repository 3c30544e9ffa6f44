// --tree: one value of each directory, the digest of the manifest of what is below it, as
// docs/tree-digest.md defines it.
#include <string>
#include <vector>

#include "batch/input_batch.h"
#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "common/algorithm_names.h"
#include "line_streams.h"
#include "lists/checksum_lines.h"
#include "system/directory_walk.h"

namespace {

// The first bytes of every manifest: what it is, and the version of its layout.
constexpr char kManifestHead[] = "korvadex tree 1\n";

// value as count bytes, most significant first.
void AppendNumber(std::string& out, uint64_t value, int count) {
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8) out += char((value >> shift) & 0xFF);
}

// A length-prefixed text: its length in four bytes, then its bytes.
void AppendText(std::string& out, const std::string& text) {
    AppendNumber(out, text.size(), 4);
    out += text;
}

// The bytes whose upper-case hex is hex.
std::string HexBytes(const std::string& hex) {
    const auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += char(nibble(hex[i]) << 4 | nibble(hex[i + 1]));
    }
    return bytes;
}

// An entry of the manifest of each line, without a file's size and digest.
void AppendEntry(const TreeEntry& entry, std::vector<std::string>& manifests) {
    char type = 'F';
    if (entry.kind == TreeEntry::Kind::kDirectory) type = 'D';
    if (entry.kind == TreeEntry::Kind::kLink) type = 'L';
    for (std::string& manifest : manifests) {
        manifest += type;
        AppendText(manifest, entry.relative);
        if (entry.kind == TreeEntry::Kind::kLink) AppendText(manifest, entry.target);
    }
}

// The manifest of each chosen line of the tree at dir, or false after a message for each
// entry that cannot be read or covered.
bool BuildManifests(const Options& options, const std::string& dir, const std::vector<uint8_t>& key,
                    std::vector<std::string>& manifests) {
    Progress progress;
    WalkOptions walk = WalkOf(options);
    uint64_t bytes = 0;
    if (progress.Enabled()) walk.bytes = &bytes;
    std::vector<TreeEntry> entries;
    bool ok = WalkTree(dir, walk, entries);
    size_t files = 0;
    for (const TreeEntry& entry : entries) {
        if (entry.kind == TreeEntry::Kind::kFile) ++files;
        if (entry.kind == TreeEntry::Kind::kOther) {
            PrintError(entry.path, entry.what +
                                       ", which a tree's value cannot cover; leave it out "
                                       "with --exclude");
            ok = false;
        }
    }
    if (!ok) return false;

    manifests.assign(options.only.size(), kManifestHead);
    if (files > 1) progress.BeginJob(files, int64_t(bytes), {});
    // Each file's entry is written when its value comes, after the entries before it.
    size_t written = 0;
    const auto writeUpTo = [&](size_t end) {
        for (; written < end; ++written) AppendEntry(entries[written], manifests);
    };
    InputBatch batch(options.jobs, options.readOrder, files, progress);
    for (size_t e = 0; e < entries.size(); ++e) {
        if (entries[e].kind != TreeEntry::Kind::kFile) continue;
        batch.AddFile(entries[e].path, key, options.only, options.jobs,
                      [&, e](const InputResult& result) {
                          writeUpTo(e + 1);
                          if (!result.ok) {
                              ok = false;
                              return;
                          }
                          for (size_t i = 0; i < options.only.size(); ++i) {
                              AppendNumber(manifests[i], result.size, 8);
                              manifests[i] += HexBytes(result.hex[options.only[i]]);
                          }
                      });
    }
    batch.Finish();
    writeUpTo(entries.size());
    progress.EndJob();
    return ok;
}

// The value of the line over manifest, in upper-case hex, or "" after a message naming dir.
std::string ManifestValue(const std::string& dir, size_t line, const std::string& manifest,
                          const std::vector<uint8_t>& key) {
    MemorySource source(reinterpret_cast<const uint8_t*>(manifest.data()), manifest.size());
    StreamSettings settings;
    std::vector<std::string> hex;
    const ReportStatus status =
        ComputeStreamedLines(source, {&kReportLines[line]}, key.data(), key.size(), settings, hex);
    if (status != ReportStatus::kOk) {
        PrintError(dir, std::string(ReportStatusText(status)) + "; no value");
        return "";
    }
    return hex[0];
}

// The lines that give the values of the tree at dir (hex, in the order of options.only).
std::string TreeText(const Options& options, const std::string& dir,
                     const std::vector<std::string>& hex) {
    std::string text;
    if (options.format == OutputFormat::kReport) {
        text = "Tree: " + ShownName(dir) + '\n';
        for (size_t i = 0; i < hex.size(); ++i) {
            text +=
                kReportLines[options.only[i]].label + DisplayHex(hex[i], LowerHex(options)) + '\n';
        }
        return text;
    }
    bool needsMark = false;
    const std::string name = options.zero ? dir : EscapeName(dir, needsMark);
    for (size_t i = 0; i < hex.size(); ++i) {
        text += std::string(needsMark ? "\\" : "") + (options.keyed ? "HMAC-" : "") +
                BsdTag(options.only[i]) + "-TREE (" + name +
                ") = " + DisplayHex(hex[i], LowerHex(options)) + (options.zero ? '\0' : '\n');
    }
    return text;
}

}  // namespace

int RunTree(const Options& options, const std::vector<uint8_t>& key) {
    int status = kExitOk;
    bool first = true;
    for (const std::string& dir : options.files) {
        std::vector<std::string> manifests;
        if (!BuildManifests(options, dir, key, manifests)) {
            status = kExitFailed;
            continue;
        }
        std::vector<std::string> hex;
        for (size_t i = 0; i < manifests.size(); ++i) {
            hex.push_back(ManifestValue(dir, options.only[i], manifests[i], key));
            if (hex.back().empty()) break;
        }
        if (hex.back().empty()) {
            status = kExitFailed;
            continue;
        }
        if (!options.expectHex.empty()) {
            const bool same = hex[0] == options.expectHex;
            PrintOut(ShownName(dir) + (same ? ": OK\n" : ": FAILED\n"));
            if (!same) status = kExitFailed;
            continue;
        }
        const bool blank = !first && options.format == OutputFormat::kReport;
        PrintOut((blank ? "\n" : "") + TreeText(options, dir, hex));
        first = false;
    }
    if (!FlushOut()) status = kExitFailed;
    return status;
}
