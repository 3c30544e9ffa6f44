// The digests of each input, in the format chosen, and the saved report of --save.
#include <algorithm>
#include <string>

#include "batch/input_batch.h"
#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "commands/digest_cache.h"
#include "commands/list_upkeep.h"
#include "commands/list_writer.h"
#include "commands/shard_output.h"
#include "common/line_names.h"
#include "lists/checksum_lines.h"
#include "lists/csv_lines.h"
#include "lists/json_lines.h"
#include "lists/saved_report_reader.h"
#include "report_text.h"
#include "system/directory_walk.h"
#include "system/file_output.h"
#include "system/system.h"

namespace {

// Writes the saved report of one input, whose lines (all of them) are hex.
bool SaveReport(const Options& options, const std::string& path,
                const std::vector<std::string>& hex) {
    if (const char* fault = SavedPathFault(path)) {
        PrintError(options.savePath, std::string("not saved: the input path ") + fault +
                                         ", which a saved report cannot hold");
        return false;
    }
    std::string reportText;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        AppendReportLine(reportText, kReportLines[i], hex[i].c_str(), "\r\n");
    }
    if (IsSameRegularFile(path, options.savePath)) {
        PrintError(options.savePath, "not saved: it is the input, which the report would replace");
        return false;
    }
    std::string reason;
    if (!WriteOutputFile(options.savePath, BuildSavedReport(path.c_str(), reportText), reason)) {
        PrintError(options.savePath, "not saved: " + reason);
        return false;
    }
    return true;
}

// One input: a file (or "-"), or a text of --string.
struct Input {
    std::string path;  // the file, or the text
    bool isText;
    uint64_t operand;  // its place among the operands given (FILEs, then texts)
    std::string Name() const { return isText ? "\"" + path + "\"" : path; }
    // As a list names it.
    std::string Listed() const { return isText ? Name() : ListedName(path); }
};

}  // namespace

int RunReport(const Options& options, const std::vector<uint8_t>& key) {
    const bool saving = !options.savePath.empty();
    // A run split over machines, or one that can be taken up again, writes a shard's list.
    const bool sharded = options.shardN != 0 || !options.outputPath.empty();
    ShardOutput shard;
    if (sharded && !shard.Begin(options, key, "list")) return kExitFailed;

    int status = kExitOk;
    std::vector<Input> inputs;
    // The sizes the walk has seen, and the inputs whose size it has not.
    uint64_t sized = 0;
    std::vector<std::string> unsized;
    Progress progress;
    WalkOptions walk = WalkOf(options);
    if (progress.Enabled() && !sharded) walk.bytes = &sized;
    const auto add = [&](const Input& input) {
        if (!sharded || shard.Takes(input.operand, input.Listed())) inputs.push_back(input);
    };
    for (size_t i = 0; i < options.files.size(); ++i) {
        const std::string& path = options.files[i];
        if (!options.recursive) {
            add({path, false, i});
            unsized.push_back(path);
            continue;
        }
        std::vector<std::string> found;
        if (!WalkFiles(path, walk, found)) status = kExitFailed;
        // An operand that is not a directory comes back as it is.
        if (found.size() == 1 && found[0] == path) unsized.push_back(path);
        for (const std::string& file : found) add({file, false, i});
    }
    for (size_t i = 0; i < options.strings.size(); ++i) {
        add({options.strings[i], true, options.files.size() + i});
        sized += options.strings[i].size();
    }
    if (sharded) unsized.clear();
    ListWriter writer(options, inputs.size() > 1 || options.recursive, CurrentFolder());
    const std::vector<size_t>& computed = writer.Computed();
    const bool records =
        sharded || options.format == OutputFormat::kJson || options.format == OutputFormat::kCsv;

    if (inputs.size() > 1) progress.BeginJob(inputs.size(), int64_t(sized), std::move(unsized));
    if (!sharded) PrintOut(writer.Opening());
    DigestCache cache(options.cache);  // before the batch, whose last results it may store
    InputBatch batch(options.jobs, options.readOrder, inputs.size(), progress);
    for (const Input& input : inputs) {
        // Taken before the file is read: a change while or after it is read shows as a later
        // time than the one recorded.
        FileTime modified;
        const bool timed = records && !input.isText && ModificationTime(input.path, modified) &&
                           TimeWritable(modified);
        auto deliver = [&, input, modified, timed](const InputResult& result) {
            if (!result.ok) {
                status = kExitFailed;
                if (sharded) shard.Failed(input.operand, input.Listed(), result.reason);
                return;
            }
            if (sharded) {
                FileRecord record;
                record.name = input.Listed();
                record.size = int64_t(result.size);
                record.timeKnown = timed;
                record.modified = modified;
                for (size_t line : options.only.empty() ? computed : options.only) {
                    record.digests.push_back({line, result.hex[line], options.keyed});
                }
                shard.Record(input.operand, record);
                return;
            }
            std::string text;
            if (!writer.Append(input.Listed(), input.Name(), result.size,
                               timed ? &modified : nullptr, result.hex, text)) {
                status = kExitFailed;
                return;
            }
            PrintOut(text);
            if (saving && !input.isText && !SaveReport(options, input.path, result.hex)) {
                status = kExitFailed;
            }
        };
        // A large file of a run that can be taken up again saves its lines' states.
        std::string statePath;
        StreamCheckpoints* checkpoints =
            sharded && !input.isText ? shard.Checkpoints(input.operand, input.path, input.Listed(),
                                                         options.keyed, statePath)
                                     : nullptr;
        if (input.isText) {
            batch.AddText(input.path, key, computed, options.jobs, deliver);
        } else if (checkpoints != nullptr) {
            batch.AddSavedFile(input.path, key, computed, options.jobs, checkpoints,
                               [deliver, statePath](const InputResult& result) {
                                   // Gone before the record is written, so that no state
                                   // outlives the run when it is killed in between.
                                   RemoveFile(statePath);
                                   deliver(result);
                               });
        } else {
            cache.AddFile(batch, input.path, key, computed, options.jobs, deliver);
        }
    }
    batch.Finish();
    progress.EndJob();
    if (sharded && shard.End(options) != kExitOk) status = kExitFailed;
    if (!FlushOut()) status = kExitFailed;
    return status;
}
