// --known and --unknown: the inputs whose digest is, or is not, in a list of known digests,
// whatever names the list gives them.
#include <algorithm>
#include <string>

#include "batch/input_batch.h"
#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "common/line_names.h"
#include "lists/known_set.h"

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

    std::vector<std::string> inputs;
    int status = GivenFiles(options, inputs) ? kExitOk : kExitFailed;
    Progress progress;
    if (inputs.size() + options.strings.size() > 1) {
        progress.BeginJob(inputs.size() + options.strings.size(), -1);
    }
    bool printed = false;
    const auto take = [&](const std::string& name, const std::vector<std::string>& hex) {
        bool found = false;
        for (size_t i = 0; i < known.lines.size(); ++i) {
            const std::string& value = hex[known.lines[i]];
            found = found || (!value.empty() && known.sets[i].ContainsHex(value));
        }
        if (found != options.knownWanted) return;
        printed = true;
        PrintOut(ShownName(name) + "\n");
    };
    InputBatch batch(options.jobs, options.readOrder, inputs.size() + options.strings.size(),
                     progress);
    for (const std::string& path : inputs) {
        batch.AddFile(path, key, lines, options.jobs, [&, path](const InputResult& result) {
            if (result.ok) {
                take(path, result.hex);
            } else {
                status = kExitFailed;
            }
        });
    }
    for (const std::string& text : options.strings) {
        batch.AddText(text, key, lines, options.jobs, [&, text](const InputResult& result) {
            if (result.ok) {
                take("\"" + text + "\"", result.hex);
            } else {
                status = kExitFailed;
            }
        });
    }
    batch.Finish();
    progress.EndJob();
    if (!FlushOut()) return kExitFailed;
    return printed ? status : kExitFailed;
}
