// --verify-cache: every file with cached digests read again, and each cached value whose
// size and time are the file's compared with what the file gives now.
#include <memory>
#include <string>
#include <vector>

#include "batch/input_batch.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "commands/digest_cache.h"
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

int RunVerifyCache(const Options& options) {
    std::vector<std::string> files;
    int status = GivenFiles(options, files) ? kExitOk : kExitFailed;
    bool corrupt = false;
    DigestCache cache(true);
    Progress progress;
    if (files.size() > 1) progress.BeginJob(files.size(), 0, files);
    InputBatch batch(options.jobs, options.readOrder, files.size(), progress);
    const std::vector<uint8_t> noKey;
    for (const std::string& file : files) {
        const std::string shown = MessageText(file);
        CacheStamp stamp;
        if (!StampOf(file, stamp)) {
            batch.Then([&, file] {
                PrintError(file, "not a regular file, or it cannot be looked up");
                status = kExitFailed;
            });
            continue;
        }
        const std::vector<size_t> lines = CachedLines(options, cache, file);
        if (lines.empty()) {
            batch.Then([shown] { PrintOut(shown + ": no cache\n"); });
            continue;
        }
        // The records as they were before the file was read.
        auto records = std::make_shared<std::vector<std::string>>(lines.size());
        for (size_t i = 0; i < lines.size(); ++i) cache.Read(file, lines[i], (*records)[i]);
        const int64_t readAt = DigestCache::Now();
        batch.AddFile(file, noKey, lines, options.jobs,
                      [&, file, shown, stamp, readAt, lines, records](const InputResult& result) {
                          if (!result.ok) {
                              status = kExitFailed;
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
                          if (wrong) {
                              corrupt = true;
                          } else if (!outdated.empty() && result.size == stamp.size) {
                              cache.Store(file, stamp, readAt, outdated, result.hex);
                          }
                          PrintOut(shown + ": " +
                                   (wrong              ? "corrupt"
                                    : outdated.empty() ? "ok"
                                                       : "outdated") +
                                   "\n");
                      });
    }
    batch.Finish();
    progress.EndJob();
    if (!FlushOut()) status = kExitFailed;
    return corrupt ? kExitCorrupt : status;
}
