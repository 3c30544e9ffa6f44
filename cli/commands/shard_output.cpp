#include "commands/shard_output.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>

#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/commands.h"
#include "commands/list_writer.h"
#include "common/algorithm_names.h"
#include "common/error_text.h"
#include "system/file_output.h"
#include "system/system.h"

namespace {

// The text whose keyed SHA-256 tells the shards of a keyed job apart from those of another
// key, without saying anything of the key.
constexpr char kKeyCheckText[] = "korvadex: the key of this job";

FileTime Now() {
    const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    FileTime time;
    time.seconds = ns / 1000000000;
    time.nanoseconds = uint32_t(ns % 1000000000);
    return time;
}

std::string KeyCheck(const std::vector<uint8_t>& key) {
    if (key.empty()) return "";
    const size_t line = size_t(FindAlgorithm("sha256"));
    InputRun run;
    run.callerOnly = true;
    return ComputeTextResult(kKeyCheckText, key, {line}, run).hex[line];
}

// Reads the lines of a file one by one; false at its end or on an error (then failed).
class LineReader {
public:
    explicit LineReader(FILE* file) : file_(file) {}
    ~LineReader() { std::free(buffer_); }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line, with its '\n' if it has one.
    bool Next(std::string& line) {
        const long length = ReadLine(file_, buffer_, capacity_);
        if (length < 0) return false;
        line.assign(buffer_, size_t(length));
        return true;
    }
    bool Failed() const { return std::ferror(file_) != 0; }

private:
    FILE* file_;
    char* buffer_ = nullptr;
    size_t capacity_ = 0;
};

// A shard's list as read.
struct ShardList {
    std::string path;
    ShardHeader header;
    std::string headerLine;          // as written
    std::vector<ShardEntry> inputs;  // records and inputs that failed, in the list's order
    std::vector<std::string> lines;  // their lines as written, when kept
    bool whole = false;              // it ends with its last line
};

// Reads the list at path.  A list cut off (torn) ends at its last whole line; a line that is
// not an entry fails the read.  keepLines keeps the lines as written.
bool ReadShardList(const std::string& path, bool keepLines, ShardList& list,
                   std::string& reason) {
    list = ShardList();
    list.path = path;
    FILE* file = OpenForReading(path);
    if (file == nullptr) {
        reason = ErrnoText(errno);
        return false;
    }
    LineReader reader(file);
    std::string line;
    bool ok = reader.Next(line) && line.back() == '\n';
    if (ok) {
        list.headerLine = line;
        line.pop_back();
        ok = ParseShardHeader(line, list.header, reason);
    } else {
        reason = "empty, or cut off in its first line";
    }
    while (ok && !list.whole && reader.Next(line)) {
        if (line.back() != '\n') break;  // torn: the run was cut off while it wrote this line
        const std::string text = line.substr(0, line.size() - 1);
        ShardEntry entry;
        if (!ParseShardEntry(text, entry, reason)) {
            reason = "line " + std::to_string(list.inputs.size() + 2) + ": " + reason;
            ok = false;
            break;
        }
        if (entry.kind == ShardEntry::Kind::kEnd) {
            list.whole = true;
            break;
        }
        list.inputs.push_back(std::move(entry));
        if (keepLines) list.lines.push_back(line);
    }
    if (ok && reader.Failed()) {
        reason = ErrnoText(errno);
        ok = false;
    }
    std::fclose(file);
    return ok;
}

// Why header is not of the job of expected, or "" when it is.
std::string OtherJob(const ShardHeader& header, const ShardHeader& expected) {
    if (header.command != expected.command) {
        return "a run of " + header.command + ", not of " + expected.command;
    }
    if (header.arguments != expected.arguments) return "a run of other arguments";
    if (header.runId != expected.runId) {
        return header.runId.empty() ? "a run without --run-id"
                                    : "the run with --run-id " + header.runId;
    }
    if (header.keyCheck != expected.keyCheck) {
        return header.keyCheck.empty() ? "a run without a key" : "a run under another key";
    }
    if (header.n != expected.n) return "a run in " + std::to_string(header.n) + " shards";
    return "";
}

std::string ShardName(const ShardHeader& header) {
    return "shard " + std::to_string(header.k) + "/" + std::to_string(header.n);
}

// Writes text to the output file, or to standard output when there is none.
bool Emit(OutputFile* file, const std::string& text, std::string& reason) {
    if (file == nullptr) {
        PrintOut(text);
        return true;
    }
    return file->Write(text.data(), text.size(), reason);
}

// The options the lists were written with, as --merge's own options change them.
bool MergedOptions(const ShardHeader& header, const Options* overrides, Options& options,
                   std::string& reason) {
    std::vector<std::string> arguments = header.arguments;
    if (overrides != nullptr) {
        std::vector<std::string> changes;
        if (overrides->format != OutputFormat::kReport) {
            changes.push_back(std::string("--format=") + FormatOf(overrides->format).name);
        }
        if (overrides->zero) changes.push_back("--zero");
        if (overrides->binary) changes.push_back("--binary");
        if (overrides->hexCase != HexCase::kDefault) {
            changes.push_back(overrides->hexCase == HexCase::kLower ? "--lower" : "--upper");
        }
        // Before any "--", after which they would be operands.
        const auto end = std::find(arguments.begin(), arguments.end(), "--");
        arguments.insert(end, changes.begin(), changes.end());
    }
    if (!ParseOptions(arguments, options, reason)) {
        reason = "the lists cannot be written so: " + reason;
        return false;
    }
    return true;
}

// The merge of lists (see MergeShardLists), to target or standard output; overrides are
// --merge's options, or null.  tellFailures: name the inputs that could not be read, which
// the run of a single list has named already.  written tells whether the output was.
int MergeLists(const std::vector<std::string>& paths, const Options* overrides,
               const std::string& target, bool tellFailures, bool& written) {
    written = false;
    std::vector<ShardList> lists(paths.size());
    std::map<uint64_t, size_t> byShard;
    for (size_t i = 0; i < paths.size(); ++i) {
        ShardList& list = lists[i];
        std::string reason;
        if (!ReadShardList(paths[i], false, list, reason)) {
            PrintError(paths[i], reason);
            return kExitFailed;
        }
        if (!list.whole) {
            PrintError(paths[i], "not whole: the run of its " + ShardName(list.header) +
                                     " did not finish (take it up with --resume)");
            return kExitFailed;
        }
        const std::string other = OtherJob(list.header, lists[0].header);
        if (!other.empty()) {
            PrintError(paths[i], "the list of another job than " + paths[0] + ": " + other);
            return kExitFailed;
        }
        const auto given = byShard.emplace(list.header.k, i);
        if (!given.second) {
            PrintError(ShardName(list.header),
                       "given twice: " + paths[given.first->second] + " and " + paths[i]);
            return kExitFailed;
        }
    }
    const uint64_t n = lists[0].header.n;
    for (uint64_t k = 1; k <= n; ++k) {
        if (byShard.count(k) == 0) {
            PrintError("shard " + std::to_string(k) + "/" + std::to_string(n),
                       "missing: the merge needs the list of every shard");
            return kExitFailed;
        }
    }

    // Every input in the order of the run on one machine: operands in the order given, the
    // files of a walk in the walk's order.  An audit's verdicts are ordered when written.
    struct Placed {
        const ShardEntry* entry;
        size_t list;
    };
    std::vector<Placed> placed;
    std::map<std::string, size_t> auditedFiles;
    std::map<uint64_t, size_t> auditedEntries;
    for (size_t i = 0; i < lists.size(); ++i) {
        for (const ShardEntry& entry : lists[i].inputs) {
            if (entry.kind != ShardEntry::Kind::kVerdict) {
                placed.push_back({&entry, i});
                continue;
            }
            const auto twice = [&](const std::string& name, size_t other) {
                PrintError(name, "in two shards: " + paths[other] + " and " + paths[i]);
            };
            if (entry.hasFile) {
                const auto seen = auditedFiles.emplace(entry.record.name, i);
                if (!seen.second && seen.first->second != i) {
                    twice(entry.record.name, seen.first->second);
                    return kExitFailed;
                }
            }
            if (entry.hasEntry) {
                const auto seen = auditedEntries.emplace(entry.listedLine, i);
                if (!seen.second && seen.first->second != i) {
                    twice(entry.listed.name, seen.first->second);
                    return kExitFailed;
                }
            }
        }
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
        if (a.entry->operand != b.entry->operand) return a.entry->operand < b.entry->operand;
        return WalkOrderLess(a.entry->record.name, b.entry->record.name);
    });
    for (size_t i = 1; i < placed.size(); ++i) {
        const ShardEntry& a = *placed[i - 1].entry;
        const ShardEntry& b = *placed[i].entry;
        if (a.operand == b.operand && a.record.name == b.record.name &&
            placed[i - 1].list != placed[i].list) {
            PrintError(b.record.name, "in two shards: " + paths[placed[i - 1].list] + " and " +
                                          paths[placed[i].list]);
            return kExitFailed;
        }
    }

    const ShardHeader& first = lists[byShard[1]].header;
    Options options;
    std::string reason;
    if (!MergedOptions(first, overrides, options, reason)) {
        PrintError(paths[byShard[1]], reason);
        return kExitFailed;
    }
    OutputFile file;
    OutputFile* out = target.empty() ? nullptr : &file;
    if (out != nullptr && !file.Open(target, reason)) {
        PrintError(target, "not written: " + reason);
        return kExitFailed;
    }
    if (first.command == "audit") {
        std::vector<ShardEntry> verdicts;
        for (const ShardList& list : lists) {
            for (const ShardEntry& entry : list.inputs) verdicts.push_back(entry);
        }
        return MergeAudit(verdicts, options, out, written);
    }
    ListWriter writer(options, placed.size() > 1 || options.recursive, first.folder);
    int status = kExitOk;
    written = Emit(out, writer.Opening(), reason);
    std::string text;
    for (size_t i = 0; written && i < placed.size(); ++i) {
        const ShardEntry& entry = *placed[i].entry;
        if (entry.kind == ShardEntry::Kind::kFailed) {
            if (tellFailures) PrintError(entry.record.name, entry.reason);
            status = kExitFailed;
            continue;
        }
        const FileRecord& record = entry.record;
        text.clear();
        if (!writer.Append(record.name, record.name, uint64_t(record.size),
                           record.timeKnown ? &record.modified : nullptr, RecordHex(record),
                           text)) {
            status = kExitFailed;
            continue;
        }
        written = Emit(out, text, reason);
    }
    if (out == nullptr) {
        written = FlushOut();
        return written ? status : kExitFailed;
    }
    if (!written || !file.Commit(reason)) {
        written = false;
        PrintError(target, "not written: " + reason);
        return kExitFailed;
    }
    return status;
}

// Writes the list at from to the path to, as every output file is written.
bool CopyList(const std::string& from, const std::string& to) {
    FILE* source = OpenForReading(from);
    if (source == nullptr) {
        PrintError(from, ErrnoText(errno));
        return false;
    }
    OutputFile file;
    std::string reason;
    bool ok = file.Open(to, reason);
    char buffer[1 << 16];
    size_t got = 0;
    while (ok && (got = std::fread(buffer, 1, sizeof buffer, source)) > 0) {
        ok = file.Write(buffer, got, reason);
    }
    if (ok && std::ferror(source) != 0) {
        reason = "reading " + from + ": " + ErrnoText(errno);
        ok = false;
    }
    std::fclose(source);
    ok = ok && file.Commit(reason);
    if (!ok) PrintError(to, "not written: " + reason);
    return ok;
}

}  // namespace

ShardOutput::~ShardOutput() {
    if (file_ != nullptr) std::fclose(file_);
}

bool ShardOutput::Begin(const Options& options, const std::vector<uint8_t>& key,
                        const char* command) {
    header_.command = command;
    header_.arguments = options.jobArguments;
    header_.runId = options.runId;
    header_.keyCheck = KeyCheck(key);
    header_.k = options.shardN == 0 ? 1 : options.shardK;
    header_.n = options.shardN == 0 ? 1 : options.shardN;
    header_.folder = CurrentFolder();
    header_.started = Now();
    if (options.outputPath.empty()) {
        PrintOut(ShardHeaderLine(header_));
        return true;
    }
    partial_ = options.outputPath + ".partial";
    std::string headerLine = ShardHeaderLine(header_);
    std::vector<std::string> kept;
    const PathStatus status = LookUpPath(partial_);
    if (status.kind != PathKind::kMissing && !options.resume) {
        PrintError(partial_, "the partial list of an earlier try, replaced (--resume takes it up)");
    } else if (status.kind != PathKind::kMissing) {
        ShardList earlier;
        std::string reason;
        if (!ReadShardList(partial_, true, earlier, reason)) {
            PrintError(partial_, "not taken up: " + reason);
            return false;
        }
        std::string other = OtherJob(earlier.header, header_);
        if (other.empty() && earlier.header.k != header_.k) other = ShardName(earlier.header);
        if (!other.empty()) {
            PrintError(partial_, "not taken up: the partial list of " + other +
                                     "; remove it, or run without --resume to replace it");
            return false;
        }
        // The first try's start stays the run's; inputs that failed are tried again.
        header_.started = earlier.header.started;
        headerLine = earlier.headerLine;
        for (size_t i = 0; i < earlier.inputs.size(); ++i) {
            const ShardEntry& entry = earlier.inputs[i];
            // Entries found missing are found again at the end of the run.
            const bool verdict = entry.kind == ShardEntry::Kind::kVerdict &&
                                 entry.verdict != "unreadable" && entry.verdict != "missing";
            if (entry.kind != ShardEntry::Kind::kRecord && !verdict) continue;
            done_.emplace(entry.operand, entry.record.name);
            if (entry.hasEntry) doneLines_.insert(entry.listedLine);
            if (verdict && entry.verdict != "matched") ++changes_;
            kept.push_back(earlier.lines[i]);
        }
    }
    file_ = OpenForWriting(partial_, false);
    if (file_ == nullptr) {
        PrintError(partial_, "cannot be written: " + ErrnoText(errno));
        return false;
    }
    Write(headerLine);
    for (const std::string& line : kept) Write(line);
    entries_ = kept.size();
    return !writeFailed_;
}

bool ShardOutput::Takes(uint64_t operand, const std::string& name) const {
    if (header_.n > 1 && ShardOfName(name, header_.n) != header_.k) return false;
    return done_.count({operand, name}) == 0;
}

void ShardOutput::Write(const std::string& line) {
    if (file_ == nullptr) {
        PrintOut(line);
        return;
    }
    // Each entry reaches the file whole before the next is begun.
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
        std::fflush(file_) != 0) {
        writeFailed_ = true;
    }
}

void ShardOutput::WriteLines(const std::string& lines, size_t count, size_t unreadable,
                             size_t changes) {
    if (!lines.empty()) Write(lines);
    entries_ += count - unreadable;
    failed_ += unreadable;
    changes_ += changes;
}

void ShardOutput::Record(uint64_t operand, const FileRecord& record) {
    ShardEntry entry;
    entry.operand = operand;
    entry.record = record;
    Write(ShardEntryLine(entry));
    ++entries_;
}

void ShardOutput::Failed(uint64_t operand, const std::string& name, const std::string& reason) {
    ShardEntry entry;
    entry.kind = ShardEntry::Kind::kFailed;
    entry.operand = operand;
    entry.record.name = name;
    entry.reason = reason;
    Write(ShardEntryLine(entry));
    ++failed_;
}

int ShardOutput::End(const Options& options) {
    ShardEntry end;
    end.kind = ShardEntry::Kind::kEnd;
    end.entries = entries_;
    end.failed = failed_;
    Write(ShardEntryLine(end));
    bool written = true;
    if (file_ != nullptr) {
        const int closed = std::fclose(file_);
        file_ = nullptr;
        if (writeFailed_ || closed != 0) {
            PrintError(partial_, "could not be written: " + ErrnoText(errno));
            written = false;
        }
    }
    int status = written && failed_ == 0 && changes_ == 0 ? kExitOk : kExitFailed;
    if (written && !partial_.empty()) {
        if (options.shardN != 0) {
            // A shard's -o FILE is its list.
            written = CopyList(partial_, options.outputPath);
        } else {
            // A whole run's verdicts are given, and its exit status, by the merge of its list.
            const int merged = MergeLists({partial_}, nullptr, options.outputPath, false, written);
            if (header_.command == "audit") status = merged;
        }
        if (written) RemoveFile(partial_);
    }
    if (!written) status = kExitFailed;
    if (options.shardN != 0) {
        std::string summary = ShardName(header_) + ": " + std::to_string(entries_) + " written";
        if (failed_ != 0) {
            summary += ", " + std::to_string(failed_) +
                       " could not be read (a rerun may mend them)";
        }
        if (changes_ != 0) {
            summary += ", " + std::to_string(changes_) +
                       " verdicts of change (a rerun will not change them)";
        }
        if (!written) summary += "; the list was not written (a rerun may mend it)";
        PrintErrorText("korvadex: " + summary + "\n");
    }
    return status;
}

int MergeShardLists(const std::vector<std::string>& paths, const Options& options) {
    bool written = false;
    return MergeLists(paths, &options, options.outputPath, true, written);
}
