// --check-embedded: the CRC-32 that each file's name carries, checked against the file;
// --embed-crc: each file renamed to carry its CRC-32.
#include <cerrno>
#include <string>
#include <vector>

#include "batch/input_batch.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "commands/crc_in_name.h"
#include "commands/shard_output.h"
#include "common/algorithm_names.h"
#include "common/error_text.h"
#include "lists/checksum_lines.h"
#include "system/system.h"

namespace {

// A name as a verdict shows it: escaped, after a '\', only when it holds a line break.
std::string VerdictName(const std::string& name) {
    if (name.find_first_of("\r\n") == std::string::npos) return name;
    bool needsMark = false;
    const std::string escaped = EscapeName(name, needsMark);
    return (needsMark ? "\\" : "") + escaped;
}

// The line that a name's CRC is, the one SFV lists carry.
size_t CrcLine() {
    return size_t(FindAlgorithm("crc32"));
}

}  // namespace

int CheckEmbeddedSummary(const VerdictCounts& counts, const Options& options) {
    const auto count = [&](const char* word) {
        const auto found = counts.find(word);
        return found == counts.end() ? size_t(0) : found->second;
    };
    const size_t unread = count("unreadable"), failed = count("FAILED"),
                 unnamed = count("no CRC in name");
    if (!options.status) {
        if (unread != 0)
            PrintErrorText("korvadex: WARNING: " + std::to_string(unread) +
                           (unread == 1 ? " file" : " files") + " could not be read\n");
        if (failed != 0)
            PrintErrorText("korvadex: WARNING: " + std::to_string(failed) +
                           (failed == 1 ? " CRC" : " CRCs") + " did NOT match\n");
        if (unnamed != 0)
            PrintErrorText("korvadex: " + std::string(options.strict ? "" : "note: ") +
                           std::to_string(unnamed) +
                           (unnamed == 1 ? " name carries" : " names carry") + " no CRC\n");
    }
    return failed != 0 || unread != 0 || (options.strict && unnamed != 0) ? kExitFailed : kExitOk;
}

int RunCheckEmbedded(const Options& options) {
    // A run of --shard or -o writes its verdicts as a shard's list, and the merge of that
    // list what the run writes.
    const bool sharded = options.shardN != 0 || !options.outputPath.empty();
    ShardOutput shard;
    std::vector<std::string> files;
    std::vector<uint64_t> operands;
    bool given = true;
    if (!TakenFiles(options, "check-embedded", shard, files, operands, given)) return kExitFailed;
    int status = given ? kExitOk : kExitFailed;
    const std::vector<uint8_t> noKey;
    const size_t crc = CrcLine();
    std::vector<size_t> lines = options.only;
    bool named = false;
    for (size_t line : lines) named = named || line == crc;
    if (!named) lines.push_back(crc);
    VerdictCounts counts;
    Progress progress;
    if (files.size() > 1) progress.BeginJob(files.size(), 0, files);
    InputBatch batch(options.jobs, options.readOrder, files.size(), progress);
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        const uint64_t operand = operands[i];
        batch.AddFile(
            file, noKey, lines, options.jobs, [&, file, operand](const InputResult& result) {
                std::string carried;
                const bool hasCrc = CrcInName(file, carried);
                const char* word = !result.ok                   ? "unreadable"
                                   : !hasCrc                    ? "no CRC in name"
                                   : carried != result.hex[crc] ? "FAILED"
                                                                : "OK";
                ++counts[word];
                std::string text;
                if (!options.status && !(options.quiet && word == std::string("OK"))) {
                    text = VerdictName(file) + ": " + (result.ok ? word : "FAILED open or read") +
                           "\n";
                    for (size_t line : options.only) {
                        if (!result.ok) break;
                        text += std::string("  ") + kReportLines[line].label +
                                DisplayHex(result.hex[line], LowerHex(options)) + "\n";
                    }
                }
                if (!sharded) return PrintOut(text);
                // The batch has written why the file could not be read.
                const std::string failure = result.ok
                                                ? ""
                                                : "korvadex: " + MessageText(result.subject) +
                                                      ": " + MessageText(result.reason) + "\n";
                shard.Verdict(operand, file, word, text, failure);
            });
    }
    batch.Finish();
    progress.EndJob();
    if (sharded) {
        const int ended = shard.End(options);
        return ended == kExitOk ? status : ended;
    }
    if (CheckEmbeddedSummary(counts, options) != kExitOk) status = kExitFailed;
    if (!FlushOut()) status = kExitFailed;
    return status;
}

int RunEmbedCrc(const Options& options) {
    std::vector<std::string> files;
    int status = GivenFiles(options, files) ? kExitOk : kExitFailed;
    const size_t crc = CrcLine();
    Progress progress;
    if (files.size() > 1) progress.BeginJob(files.size(), 0, files);
    InputBatch batch(options.jobs, options.readOrder, files.size(), progress);
    const std::vector<uint8_t> noKey;
    for (const std::string& file : files) {
        batch.AddFile(file, noKey, {crc}, 1, [&, file](const InputResult& result) {
            if (!result.ok) {
                status = kExitFailed;
                return;
            }
            const std::string& hex = result.hex[crc];
            std::string carried;
            if (CrcInName(file, carried)) {
                if (carried == hex) {
                    PrintOut(VerdictName(file) + ": already carries its CRC\n");
                    return;
                }
                PrintError(file, "not renamed: the name carries " + carried +
                                     ", and the file's CRC-32 is " + hex);
                status = kExitFailed;
                return;
            }
            const std::string base = BaseName(file);
            const std::string renamed =
                file.substr(0, file.size() - base.size()) + NameWithCrc(base, hex);
            if (!RenameWithoutReplacing(file, renamed)) {
                PrintError(file, "not renamed to " + renamed + ": " +
                                     (errno == EEXIST ? std::string("a file of that name exists")
                                                      : ErrnoText(errno)));
                status = kExitFailed;
                return;
            }
            PrintOut("renamed " + VerdictName(file) + " -> " + VerdictName(renamed) + "\n");
        });
    }
    batch.Finish();
    progress.EndJob();
    if (!FlushOut()) status = kExitFailed;
    return status;
}
