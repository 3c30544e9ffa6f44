// --known and --unknown: the inputs whose digest is, or is not, in a list of known digests,
// whatever names the list gives them.
#include <algorithm>
#include <string>

#include "batch/input_batch.h"
#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "commands/shard_output.h"
#include "common/line_names.h"
#include "lists/known_set.h"
#include "system/directory_walk.h"

namespace {

// The lines to compute: those of -a that the list holds; else the strongest it holds (the
// longest value, the cheapest of equal ones) when every file of the list has a digest of
// it; else all of them, an input being known when any of its digests is.
std::vector<size_t> ChosenLines(const KnownSet& known, const Options& options) {
    if (!options.only.empty()) return known.lines;
    size_t best = 0;
    for (size_t i = 1; i < known.lines.size(); ++i) {
        const ReportLine& line = kReportLines[known.lines[i]];
        const ReportLine& chosen = kReportLines[known.lines[best]];
        const size_t length = DigestLength(line.size), chosenLength = DigestLength(chosen.size);
        if (length > chosenLength || (length == chosenLength && line.cost < chosen.cost)) {
            best = i;
        }
    }
    if (known.named[best] == known.files) return {known.lines[best]};
    return known.lines;
}

std::string Names(const std::vector<size_t>& lines) {
    std::string names;
    for (size_t line : lines) names += (names.empty() ? "" : ", ") + LineName(kReportLines[line]);
    return names;
}

}  // namespace

int RunKnown(const Options& options, const std::vector<uint8_t>& key) {
    const std::string listName = InputName(options.knownList);
    KnownSet known;
    std::string reason;
    if (!LoadKnownSet(options.knownList, options.only, options.keyed, known, reason)) {
        PrintError(listName, reason);
        return kExitFailed;
    }
    const std::vector<size_t> lines = ChosenLines(known, options);
    // The digests of the lines not computed are never looked up.
    for (size_t i = 0; i < known.lines.size(); ++i) {
        if (std::find(lines.begin(), lines.end(), known.lines[i]) == lines.end()) {
            known.sets[i] = DigestSet(known.sets[i].Width());
        }
    }
    if (known.lines.size() > 1) {
        PrintError(listName, "holds " + Names(known.lines) + "; compared by " + Names(lines) +
                                 (lines.size() > 1 ? " (an input is known when any matches)"
                                                   : ", which every file of it has"));
    }

    // A run split over machines, or one that can be taken up again, writes a shard's list,
    // and its merge the names.
    const bool sharded = options.shardN != 0 || !options.outputPath.empty();
    ShardOutput shard;
    // The list was read whole above; one that cannot be read again is marked "".
    std::string listCheck;
    if (sharded) ListDigest(options.knownList, listCheck);
    if (sharded &&
        !shard.Begin(options, key, options.knownWanted ? "known" : "unknown", listCheck)) {
        return kExitFailed;
    }
    // The files with their place among the operands, as the shard's list gives them.
    std::vector<std::pair<uint64_t, std::string>> inputs;
    int status = kExitOk;
    const WalkOptions walk = WalkOf(options);
    for (size_t i = 0; i < options.files.size(); ++i) {
        std::vector<std::string> found;
        if (!options.recursive) {
            found.push_back(options.files[i]);
        } else if (!WalkFiles(options.files[i], walk, found)) {
            status = kExitFailed;
        }
        for (const std::string& path : found) {
            if (!sharded || shard.Takes(i, path)) inputs.emplace_back(i, path);
        }
    }
    std::vector<std::pair<uint64_t, std::string>> texts;
    for (size_t i = 0; i < options.strings.size(); ++i) {
        const uint64_t operand = options.files.size() + i;
        const std::string name = "\"" + options.strings[i] + "\"";
        if (!sharded || shard.Takes(operand, name)) texts.emplace_back(operand, options.strings[i]);
    }
    Progress progress;
    if (inputs.size() + texts.size() > 1) progress.BeginJob(inputs.size() + texts.size(), -1);
    bool printed = false;
    const auto take = [&](uint64_t operand, const std::string& name, const InputResult& result) {
        if (!result.ok) {
            if (sharded) shard.Failed(operand, name, result.reason);
            status = kExitFailed;
            return;
        }
        bool found = false;
        for (size_t i = 0; i < known.lines.size(); ++i) {
            const std::string& value = result.hex[known.lines[i]];
            found = found || (!value.empty() && known.sets[i].ContainsHex(value));
        }
        if (sharded) return shard.Known(operand, name, found);
        if (found != options.knownWanted) return;
        printed = true;
        PrintOut(ShownName(name) + "\n");
    };
    InputBatch batch(options.jobs, options.readOrder, inputs.size() + texts.size(), progress);
    for (const auto& [operand, path] : inputs) {
        batch.AddFile(path, key, lines, options.jobs,
                      [&, operand = operand, path = path](const InputResult& result) {
                          take(operand, path, result);
                      });
    }
    for (const auto& [operand, text] : texts) {
        batch.AddText(text, key, lines, options.jobs,
                      [&, operand = operand, text = text](const InputResult& result) {
                          take(operand, "\"" + text + "\"", result);
                      });
    }
    batch.Finish();
    progress.EndJob();
    if (sharded) return shard.End(options) == kExitOk ? status : kExitFailed;
    if (!FlushOut()) return kExitFailed;
    return printed ? status : kExitFailed;
}
