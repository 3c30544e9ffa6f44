// --verify-cache: every file with cached digests read again, and each cached value whose
// size and time are the file's compared with what the file gives now.
#include <memory>
#include <string>
#include <vector>

#include "batch/input_batch.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "commands/digest_cache.h"
#include "commands/shard_output.h"
#include "common/algorithm_names.h"
#include "system/extended_attributes.h"
#include "system/system.h"

namespace {

// The lines whose records the file at path holds, of those wanted (-a; every line when
// none is named).
std::vector<size_t> CachedLines(const Options& options, DigestCache& cache,
                                const std::string& path) {
    std::vector<std::string> names;
    std::string reason;
    const AttributeAnswer answer = ListAttributes(path, names, reason);
    std::vector<size_t> lines;
    if (answer != AttributeAnswer::kDone) {
        if (answer == AttributeAnswer::kUnsupported) cache.Tell(answer, path, reason);
        return lines;
    }
    for (size_t line = 0; line < kReportLineCount; ++line) {
        bool wanted = options.only.empty();
        for (size_t named : options.only) wanted = wanted || named == line;
        for (const std::string& name : names) {
            if (wanted && name == CacheAttribute(line)) lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace

int VerifyCacheStatus(const VerdictCounts& counts) {
    if (counts.count("corrupt") != 0) return kExitCorrupt;
    return counts.count("unreadable") != 0 ? kExitFailed : kExitOk;
}

int RunVerifyCache(const Options& options) {
    // A run of --shard or -o writes its verdicts as a shard's list, and the merge of that
    // list what the run writes.
    const bool sharded = options.shardN != 0 || !options.outputPath.empty();
    ShardOutput shard;
    std::vector<std::string> files;
    std::vector<uint64_t> operands;
    bool given = true;
    if (!TakenFiles(options, "verify-cache", shard, files, operands, given)) return kExitFailed;
    int status = given ? kExitOk : kExitFailed;
    const std::vector<uint8_t> noKey;
    VerdictCounts counts;
    // The verdict on a file: text goes to standard output, or with the word and the failure
    // already told to the shard's list.
    const auto tell = [&](uint64_t operand, const std::string& file, const char* word,
                          const std::string& text, const std::string& failure) {
        ++counts[word];
        if (sharded) return shard.Verdict(operand, file, word, text, failure);
        PrintOut(text);
    };
    DigestCache cache(true);
    Progress progress;
    if (files.size() > 1) progress.BeginJob(files.size(), 0, files);
    InputBatch batch(options.jobs, options.readOrder, files.size(), progress);
    for (size_t at = 0; at < files.size(); ++at) {
        const std::string& file = files[at];
        const uint64_t operand = operands[at];
        const std::string shown = MessageText(file);
        CacheStamp stamp;
        if (!StampOf(file, stamp)) {
            batch.Then([&, file, operand] {
                const char* reason = "not a regular file, or it cannot be looked up";
                PrintError(file, reason);
                tell(operand, file, "unreadable", "",
                     "korvadex: " + MessageText(file) + ": " + reason + "\n");
            });
            continue;
        }
        const std::vector<size_t> lines = CachedLines(options, cache, file);
        if (lines.empty()) {
            batch.Then([&, file, operand, shown] {
                tell(operand, file, "no cache", shown + ": no cache\n", "");
            });
            continue;
        }
        // The records as they were before the file was read.
        auto records = std::make_shared<std::vector<std::string>>(lines.size());
        for (size_t i = 0; i < lines.size(); ++i) cache.Read(file, lines[i], (*records)[i]);
        const int64_t readAt = DigestCache::Now();
        batch.AddFile(
            file, noKey, lines, options.jobs,
            [&, file, operand, shown, stamp, readAt, lines, records](const InputResult& result) {
                if (!result.ok) {
                    // The batch has written why the file could not be read.
                    tell(operand, file, "unreadable", "",
                         "korvadex: " + MessageText(result.subject) + ": " +
                             MessageText(result.reason) + "\n");
                    return;
                }
                bool wrong = false;
                std::vector<size_t> outdated;
                for (size_t i = 0; i < lines.size(); ++i) {
                    CacheStamp recorded;
                    std::string hex;
                    if (!ParseCacheRecord((*records)[i], lines[i], recorded, hex) ||
                        !(recorded == stamp) || result.size != stamp.size) {
                        outdated.push_back(lines[i]);
                    } else if (hex != result.hex[lines[i]]) {
                        wrong = true;
                    }
                }
                // A corrupt file's records stay as they were: they tell what it held.
                if (!wrong && !outdated.empty() && result.size == stamp.size) {
                    cache.Store(file, stamp, readAt, outdated, result.hex);
                }
                const char* word = wrong ? "corrupt" : outdated.empty() ? "ok" : "outdated";
                tell(operand, file, word, shown + ": " + word + "\n", "");
            });
    }
    batch.Finish();
    progress.EndJob();
    if (sharded) {
        const int ended = shard.End(options);
        return ended == kExitOk ? status : ended;
    }
    if (!FlushOut()) status = kExitFailed;
    const int verdicts = VerifyCacheStatus(counts);
    return verdicts == kExitOk ? status : verdicts;
}
