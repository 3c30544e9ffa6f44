#include "commands/shard_output.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <queue>

#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/check_summary.h"
#include "commands/commands.h"
#include "commands/crc_in_name.h"
#include "commands/list_writer.h"
#include "common/algorithm_names.h"
#include "common/error_text.h"
#include "lists/sorted_entries.h"
#include "system/file_input.h"
#include "system/file_output.h"
#include "system/system.h"

bool Emit(OutputFile* file, const std::string& text, std::string& reason) {
    if (file == nullptr) {
        PrintOut(text);
        return true;
    }
    return file->Write(text.data(), text.size(), reason);
}

namespace {

// The text whose keyed SHA-256 tells the shards of a keyed job apart from those of another
// key, without saying anything of the key.
constexpr char kKeyCheckText[] = "korvadex: the key of this job";

std::string KeyCheck(const std::vector<uint8_t>& key) {
    if (key.empty()) return "";
    const size_t line = size_t(FindAlgorithm("sha256"));
    InputRun run;
    run.callerOnly = true;
    return ComputeTextResult(kKeyCheckText, key, {line}, run).hex[line];
}

// Reads a shard's list line by line, each line whole: a last line cut off (a run killed
// while it wrote it) ends the list as its end would.
class ShardListReader {
public:
    ShardListReader() = default;
    ~ShardListReader() {
        if (file_ != nullptr) std::fclose(file_);
        std::free(buffer_);
    }
    ShardListReader(const ShardListReader&) = delete;
    ShardListReader& operator=(const ShardListReader&) = delete;

    // Opens the list at path and reads its header.  False, with Reason(), when it cannot.
    bool Open(const std::string& path) {
        path_ = path;
        file_ = OpenForReading(path);
        if (file_ == nullptr) return Fail(ErrnoText(errno));
        std::string line;
        if (!NextLine(line)) {
            headless_ = !failed_;
            return Fail("empty, or cut off in its first line");
        }
        headerLine_ = line + '\n';
        if (!ParseShardHeader(line, header_, reason_)) return Fail(reason_);
        kept_ = headerLine_.size();
        return true;
    }

    // The next entry; false at the end of the list or on a line that is not an entry (then
    // Failed()).
    bool Next(ShardEntry& entry) {
        std::string line;
        if (whole_ || failed_ || !NextLine(line)) return false;
        if (!ParseShardEntry(line, entry, reason_)) {
            return Fail("line " + std::to_string(lines_) + ": " + reason_);
        }
        if (entry.kind == ShardEntry::Kind::kEnd) {
            whole_ = true;
            return false;
        }
        read_ = line.size() + 1;
        kept_ += read_;
        return true;
    }

    // Leaves the last entry Next gave out of KeptBytes().
    void Unkeep() { kept_ -= read_; }

    const std::string& Path() const { return path_; }
    const ShardHeader& Header() const { return header_; }
    const std::string& HeaderLine() const { return headerLine_; }
    bool Whole() const { return whole_; }
    // Whether Open failed because the list holds no whole first line, as one cut off while
    // its header was written.
    bool Headless() const { return headless_; }
    bool Failed() const { return failed_; }
    const std::string& Reason() const { return reason_; }
    // The bytes of the header and the entries Next gave.
    uint64_t KeptBytes() const { return kept_; }

private:
    bool NextLine(std::string& line) {
        const long length = ReadLine(file_, buffer_, capacity_);
        if (length <= 0 || buffer_[length - 1] != '\n') {
            if (std::ferror(file_) != 0) Fail(ErrnoText(errno));
            return false;
        }
        line.assign(buffer_, size_t(length - 1));
        ++lines_;
        return true;
    }
    bool Fail(const std::string& reason) {
        reason_ = reason;
        failed_ = true;
        return false;
    }

    std::string path_;
    FILE* file_ = nullptr;
    char* buffer_ = nullptr;
    size_t capacity_ = 0;
    ShardHeader header_;
    std::string headerLine_, reason_;
    bool whole_ = false, failed_ = false, headless_ = false;
    uint64_t lines_ = 0, kept_ = 0, read_ = 0;
};

// Whether the input at operand a, named a, comes before b in the run on one machine: the
// operands in the order given, the files of a walk in the walk's order.
bool PlaceLess(uint64_t operandA, const std::string& a, uint64_t operandB, const std::string& b) {
    if (operandA != operandB) return operandA < operandB;
    return WalkOrderLess(a, b);
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
    if (header.listCheck != expected.listCheck) return "a run over another state of the list";
    if (header.n != expected.n) return "a run in " + std::to_string(header.n) + " shards";
    return "";
}

std::string ShardName(const ShardHeader& header) {
    return "shard " + std::to_string(header.k) + "/" + std::to_string(header.n);
}

// Ends what Emit wrote: flushes standard output, or puts the file in place of target when
// all of it was written (else says why not, from reason).  Whether the output is whole.
bool EndEmitted(OutputFile* file, const std::string& target, bool written, std::string& reason) {
    if (file == nullptr) return FlushOut();
    if (written && file->Commit(reason)) return true;
    PrintError(target, "not written: " + reason);
    return false;
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

using Readers = std::vector<std::unique_ptr<ShardListReader>>;

// Opens the lists at paths and checks that they are the shards of one job, each once, and
// all of them.  False, after a message, when they are not.
bool OpenShards(const std::vector<std::string>& paths, Readers& readers) {
    readers.clear();
    std::map<uint64_t, size_t> byShard;
    for (size_t i = 0; i < paths.size(); ++i) {
        readers.push_back(std::make_unique<ShardListReader>());
        ShardListReader& list = *readers.back();
        if (!list.Open(paths[i])) {
            PrintError(paths[i], list.Reason());
            return false;
        }
        const std::string other = OtherJob(list.Header(), readers[0]->Header());
        if (!other.empty()) {
            PrintError(paths[i], "the list of another job than " + paths[0] + ": " + other);
            return false;
        }
        const auto given = byShard.emplace(list.Header().k, i);
        if (!given.second) {
            PrintError(ShardName(list.Header()),
                       "given twice: " + paths[given.first->second] + " and " + paths[i]);
            return false;
        }
    }
    const uint64_t n = readers[0]->Header().n;
    for (uint64_t k = 1; k <= n; ++k) {
        if (byShard.count(k) == 0) {
            PrintError("shard " + std::to_string(k) + "/" + std::to_string(n),
                       "missing: the merge needs the list of every shard");
            return false;
        }
    }
    // Shard 1 first: its folder is the one a hashdeep list names.
    std::stable_partition(readers.begin(), readers.end(),
                          [](const auto& list) { return list->Header().k == 1; });
    return true;
}

// Whether a list ended as a whole list ends; else says why.
bool EndedWhole(const ShardListReader& list) {
    if (list.Failed()) {
        PrintError(list.Path(), list.Reason());
        return false;
    }
    if (!list.Whole()) {
        PrintError(list.Path(), "not whole: the run of its " + ShardName(list.Header()) +
                                    " did not finish (take it up with --resume)");
        return false;
    }
    return true;
}

// Gives take the entries of every list in the order of the run on one machine, each list
// read once as it streams.  False, after a message, when a list is not whole or not in that
// order, or an entry is in two lists, or take returns false.
bool MergeInOrder(Readers& readers, const std::function<bool(const ShardEntry&)>& take) {
    std::vector<ShardEntry> heads(readers.size());
    const auto after = [&](size_t a, size_t b) {
        return PlaceLess(heads[b].operand, heads[b].record.name, heads[a].operand,
                         heads[a].record.name);
    };
    std::priority_queue<size_t, std::vector<size_t>, decltype(after)> next(after);
    for (size_t i = 0; i < readers.size(); ++i) {
        if (readers[i]->Next(heads[i])) {
            next.push(i);
        } else if (!EndedWhole(*readers[i])) {
            return false;
        }
    }
    long previousList = -1;
    ShardEntry previous;
    while (!next.empty()) {
        const size_t i = next.top();
        next.pop();
        if (previousList >= 0 && previous.operand == heads[i].operand &&
            previous.record.name == heads[i].record.name && size_t(previousList) != i) {
            PrintError(heads[i].record.name,
                       "in two shards: " + readers[size_t(previousList)]->Path() + " and " +
                           readers[i]->Path());
            return false;
        }
        if (!take(heads[i])) return false;
        previous = std::move(heads[i]);
        previousList = long(i);
        if (readers[i]->Next(heads[i])) {
            if (PlaceLess(heads[i].operand, heads[i].record.name, previous.operand,
                          previous.record.name)) {
                PrintError(readers[i]->Path(), "not in the order its run writes");
                return false;
            }
            next.push(i);
        } else if (!EndedWhole(*readers[i])) {
            return false;
        }
    }
    return true;
}

// The most lines a list read in a merge may have.
constexpr uint64_t kMostListLines = uint64_t(1) << 34;

// Every entry of every list: an audit's verdicts, whose moves are paired once all are read,
// or an update's records, put into the list.  Those aside takes are not kept in verdicts.
bool WholeEntries(Readers& readers, std::vector<ShardEntry>& verdicts,
                  const std::function<bool(const ShardEntry&)>& aside) {
    std::map<std::string, size_t> files;
    std::vector<uint32_t> entries;  // by the line of each entry, its list's index and 1
    for (size_t index = 0; index < readers.size(); ++index) {
        const ShardListReader& list = *readers[index];
        ShardEntry entry;
        while (readers[index]->Next(entry)) {
            const auto twice = [&](const std::string& name, size_t other) {
                PrintError(name,
                           "in two shards: " + readers[other]->Path() + " and " + list.Path());
                return false;
            };
            if (entry.hasFile) {
                const auto seen = files.emplace(entry.record.name, index);
                if (!seen.second && seen.first->second != index) {
                    return twice(entry.record.name, seen.first->second);
                }
            }
            if (entry.hasEntry) {
                if (entry.listedLine > kMostListLines) {
                    PrintError(list.Path(), "not a shard's list: an entry's line is past any list");
                    return false;
                }
                if (entries.size() <= entry.listedLine) entries.resize(entry.listedLine + 1, 0);
                uint32_t& owner = entries[entry.listedLine];
                if (owner != 0 && owner != index + 1) return twice(entry.listed.name, owner - 1);
                owner = uint32_t(index + 1);
            }
            if (!aside(entry)) verdicts.push_back(std::move(entry));
        }
        if (!EndedWhole(list)) return false;
    }
    return true;
}

// The verdicts of a check from its shards' lists at paths, in the order of the list checked,
// written to out (or standard output when null), the file at target, and its summary;
// returns the exit status.  tellFailures: write the messages of its lines on standard error.
int MergeCheck(const std::vector<std::string>& paths, Readers& readers, const Options& options,
               OutputFile* out, const std::string& target, bool tellFailures, bool& written) {
    if (!OpenShards(paths, readers)) return kExitFailed;
    const std::string name = InputName(options.files[0]);
    CheckTally tally;
    std::string reason;
    written = true;
    MergeInOrder(readers, [&](const ShardEntry& entry) {
        tally.Take(entry.verdict, entry.operand, entry.reason);
        // A malformed line's reason is told with --warn; a file's failure always.
        const bool malformed = entry.verdict == "malformed";
        if (tellFailures && !malformed && !entry.reason.empty()) PrintErrorText(entry.reason);
        if (tellFailures && malformed && options.warn) {
            PrintErrorText(MalformedLineText(name, entry.operand, entry.reason));
        }
        written = Emit(out, entry.text, reason);
        return written;
    });
    written = EndEmitted(out, target, written, reason);
    const int status = CheckListSummary(name, tally, options);
    return written ? status : kExitFailed;
}

// The verdicts of --check-embedded or --verify-cache from their shards' lists at paths, in
// the order of the run on one machine, written to out (or standard output when null), the
// file at target, and the command's summary; returns the exit status.  tellFailures: name
// the inputs that could not be read.
int MergeVerdicts(const std::vector<std::string>& paths, Readers& readers, const Options& options,
                  OutputFile* out, const std::string& target, bool tellFailures, bool& written) {
    if (!OpenShards(paths, readers)) return kExitFailed;
    VerdictCounts counts;
    std::string reason;
    written = true;
    MergeInOrder(readers, [&](const ShardEntry& entry) {
        ++counts[entry.verdict];
        if (tellFailures && !entry.reason.empty()) PrintErrorText(entry.reason);
        written = Emit(out, entry.text, reason);
        return written;
    });
    written = EndEmitted(out, target, written, reason);
    const int status = options.command == Command::kVerifyCache
                           ? VerifyCacheStatus(counts)
                           : CheckEmbeddedSummary(counts, options);
    return written ? status : kExitFailed;
}

// The names --known or --unknown writes, from its shards' lists at paths, written to out (or
// standard output when null), the file at target; returns the exit status: 1 when an input
// could not be read or none is named.  tellFailures: name the inputs that could not be read.
int MergeKnown(const std::vector<std::string>& paths, Readers& readers, const Options& options,
               OutputFile* out, const std::string& target, bool tellFailures, bool& written) {
    if (!OpenShards(paths, readers)) return kExitFailed;
    int status = kExitOk;
    bool named = false;
    std::string reason;
    written = true;
    MergeInOrder(readers, [&](const ShardEntry& entry) {
        if (entry.kind == ShardEntry::Kind::kFailed) {
            if (tellFailures) PrintError(entry.record.name, entry.reason);
            status = kExitFailed;
            return true;
        }
        if (entry.known != options.knownWanted) return true;
        named = true;
        written = Emit(out, ShownName(entry.record.name) + "\n", reason);
        return written;
    });
    written = EndEmitted(out, target, written, reason);
    return written && named ? status : kExitFailed;
}

// The merge of lists (see MergeShardLists), to target or standard output; overrides are
// --merge's options, or null.  tellFailures: name the inputs that could not be read, which
// the run of a single list has named already.  written tells whether the output was.
int MergeLists(const std::vector<std::string>& paths, const Options* overrides,
               const std::string& target, bool tellFailures, bool& written) {
    written = false;
    Readers readers;
    if (!OpenShards(paths, readers)) return kExitFailed;
    const ShardHeader first = readers[0]->Header();
    Options options;
    std::string reason;
    if (!MergedOptions(first, overrides, options, reason)) {
        PrintError(readers[0]->Path(), reason);
        return kExitFailed;
    }
    const bool byPath = first.command == "check-embedded" || first.command == "verify-cache";
    if ((first.command == "check" || first.command == "bag" || byPath) && overrides != nullptr &&
        (overrides->format != OutputFormat::kReport || overrides->zero || overrides->binary ||
         overrides->hexCase != HexCase::kDefault)) {
        PrintError(readers[0]->Path(),
                   "the verdicts of a check are written as its own options say: --merge "
                   "takes only -o for it");
        return kExitFailed;
    }
    std::vector<ShardEntry> verdicts;
    uint64_t inputs = 0;
    // An audit's missing entries are sorted outside memory; an update's entries whose files
    // are gone are kept as the lines they begin on.
    SortedEntries missing;
    std::vector<bool> gone;
    const auto aside = [&](const ShardEntry& entry) {
        if (entry.kind == ShardEntry::Kind::kVerdict && entry.verdict == "missing") {
            if (!missing.Add(entry.order, ListedLine(entry))) reason = missing.Reason();
            return true;
        }
        if (entry.kind != ShardEntry::Kind::kUpdate || entry.verdict != "gone") return false;
        if (entry.listedLine <= kMostListLines) {
            if (gone.size() <= entry.listedLine) gone.resize(entry.listedLine + 1, false);
            gone[entry.listedLine] = true;
        }
        return true;
    };
    // Nothing is written before the lists are known to make a whole merge.
    const bool whole =
        first.command == "audit" || first.command == "update" || first.command == "bag";
    if (whole ? !WholeEntries(readers, verdicts, aside)
              : !MergeInOrder(readers, [&](const ShardEntry&) {
                    ++inputs;
                    return true;
                })) {
        return kExitFailed;
    }
    if (!reason.empty()) {
        PrintError(readers[0]->Path(), reason);
        return kExitFailed;
    }
    OutputFile file;
    OutputFile* out = target.empty() ? nullptr : &file;
    if (out != nullptr && !file.Open(target, reason)) {
        PrintError(target, "not written: " + reason);
        return kExitFailed;
    }
    if (first.command == "audit") return MergeAudit(verdicts, missing, options, out, written);
    if (first.command == "bag") {
        std::string text, warnings;
        const int status = BagVerdicts(verdicts, options, text, warnings);
        written = EndEmitted(out, target, Emit(out, text, reason), reason);
        PrintErrorText(warnings);
        return written ? status : kExitFailed;
    }
    if (first.command == "check") {
        return MergeCheck(paths, readers, options, out, target, tellFailures, written);
    }
    if (byPath) {
        return MergeVerdicts(paths, readers, options, out, target, tellFailures, written);
    }
    if (first.command == "known" || first.command == "unknown") {
        return MergeKnown(paths, readers, options, out, target, tellFailures, written);
    }
    if (first.command == "update") {
        FileTime started = first.started;
        for (const auto& list : readers) {
            const FileTime& time = list->Header().started;
            if (time.seconds < started.seconds ||
                (time.seconds == started.seconds && time.nanoseconds < started.nanoseconds)) {
                started = time;
            }
        }
        return MergeUpdate(verdicts, gone, options, first.listCheck, started, out, target,
                           tellFailures, written);
    }

    ListWriter writer(options, inputs > 1 || options.recursive, first.folder);
    int status = kExitOk;
    written = Emit(out, writer.Opening(), reason);
    std::string text;
    if (!OpenShards(paths, readers)) return kExitFailed;
    MergeInOrder(readers, [&](const ShardEntry& entry) {
        if (entry.kind == ShardEntry::Kind::kFailed) {
            if (tellFailures) PrintError(entry.record.name, entry.reason);
            status = kExitFailed;
            return true;
        }
        const FileRecord& record = entry.record;
        text.clear();
        if (!writer.Append(record.name, record.name, uint64_t(record.size),
                           record.timeKnown ? &record.modified : nullptr, RecordHex(record),
                           text)) {
            status = kExitFailed;
            return true;
        }
        written = Emit(out, text, reason);
        return written;
    });
    written = EndEmitted(out, target, written, reason);
    return written ? status : kExitFailed;
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
                        const char* command, const std::string& listCheck) {
    header_.command = command;
    header_.listCheck = listCheck;
    header_.arguments = options.jobArguments;
    header_.runId = options.runId;
    header_.keyCheck = KeyCheck(key);
    header_.k = options.shardN == 0 ? 1 : options.shardK;
    header_.n = options.shardN == 0 ? 1 : options.shardN;
    header_.folder = CurrentFolder();
    header_.started = TimeNow();
    if (options.outputPath.empty()) {
        PrintOut(ShardHeaderLine(header_));
        return true;
    }
    target_ = options.outputPath;
    partial_ = target_ + ".partial";
    takeUp_ = options.resume;
    const PathStatus status = LookUpPath(partial_);
    uint64_t kept = 0;  // the bytes of the partial list taken up
    if (status.kind != PathKind::kMissing && !options.resume) {
        PrintError(partial_, "the partial list of an earlier try, replaced (--resume takes it up)");
    } else if (status.kind != PathKind::kMissing && !TakeUp(kept)) {
        return false;
    }
    file_ = OpenForWriting(partial_, kept != 0);
    if (file_ == nullptr) {
        PrintError(partial_, "cannot be written: " + ErrnoText(errno));
        return false;
    }
    if (kept == 0) Write(ShardHeaderLine(header_));
    return !writeFailed_;
}

bool ShardOutput::TakeUp(uint64_t& kept) {
    ShardListReader earlier;
    if (!earlier.Open(partial_)) {
        // A try killed before its first line was whole left nothing to take up.
        if (earlier.Headless()) return true;
        PrintError(partial_, "not taken up: " + earlier.Reason());
        return false;
    }
    std::string other = OtherJob(earlier.Header(), header_);
    if (other.empty() && earlier.Header().k != header_.k) other = ShardName(earlier.Header());
    if (!other.empty()) {
        PrintError(partial_, "not taken up: the partial list of " + other +
                                 "; remove it, or run without --resume to replace it");
        return false;
    }
    // The first try's start stays the run's.  Inputs are written in order, so the last one
    // written is where the run goes on; an audit's entries found missing, written at its
    // end, are found again.
    header_.started = earlier.Header().started;
    ShardEntry entry;
    while (earlier.Next(entry)) {
        if ((entry.kind == ShardEntry::Kind::kVerdict && entry.verdict == "missing") ||
            (entry.kind == ShardEntry::Kind::kUpdate && entry.verdict == "gone")) {
            earlier.Unkeep();
            break;
        }
        resumed_ = true;
        lastOperand_ = entry.operand;
        lastName_ = entry.record.name;
        if (entry.kind == ShardEntry::Kind::kFailed || entry.verdict == "unreadable" ||
            (entry.kind == ShardEntry::Kind::kUpdate && entry.verdict == "failed") ||
            (entry.kind == ShardEntry::Kind::kCheck && entry.verdict == "missing")) {
            ++failed_;
        } else {
            ++entries_;
        }
        if (entry.hasEntry) doneLines_.insert(entry.listedLine);
        if ((entry.kind == ShardEntry::Kind::kVerdict && entry.verdict != "matched" &&
             entry.verdict != "unreadable") ||
            (entry.kind == ShardEntry::Kind::kCheck &&
             (entry.verdict == "FAILED" || entry.verdict == "corrupt"))) {
            ++changes_;
        }
    }
    if (earlier.Failed()) {
        PrintError(partial_, "not taken up: " + earlier.Reason());
        return false;
    }
    // A last entry cut off, and the end of a run that finished but was not renamed, go.
    kept = earlier.KeptBytes();
    std::error_code error;
    std::filesystem::resize_file(std::filesystem::u8path(partial_), kept, error);
    if (error) {
        PrintError(partial_, "not taken up: " + error.message());
        return false;
    }
    return true;
}

bool ShardOutput::InShard(const std::string& name) const {
    return header_.n == 1 || ShardOfName(name, header_.n) == header_.k;
}

bool ShardOutput::Takes(uint64_t operand, const std::string& name) const {
    if (!InShard(name)) return false;
    // A walk that meets the list being written leaves it out.
    if (!partial_.empty()) {
        const std::string last = BaseName(name);
        for (const std::string& output : {partial_, target_}) {
            if (last == BaseName(output) && IsSameRegularFile(name, output)) return false;
        }
    }
    if (!resumed_) return true;
    // An audit takes its files in byte order of their paths.
    if (header_.command == "audit") return lastName_ < name;
    return PlaceLess(lastOperand_, lastName_, operand, name);
}

void ShardOutput::Write(const std::string& line) {
    if (file_ == nullptr) {
        PrintOut(line);
        return;
    }
    // Each entry reaches the file whole before the next is begun.
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0) {
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

void ShardOutput::Verdict(uint64_t operand, const std::string& name, const std::string& word,
                          const std::string& text, const std::string& reason) {
    ShardEntry entry;
    entry.kind = ShardEntry::Kind::kCheck;
    entry.verdict = word;
    entry.operand = operand;
    entry.record.name = name;
    entry.text = text;
    entry.reason = reason;
    WriteLines(ShardEntryLine(entry), 1, word == "unreadable" || word == "missing",
               word == "FAILED" || word == "corrupt");
}

bool TakenFiles(const Options& options, const char* command, ShardOutput& shard,
                std::vector<std::string>& files, std::vector<uint64_t>& operands, bool& given) {
    std::vector<std::string> paths;
    std::vector<uint64_t> places;
    given = GivenFiles(options, paths, &places);
    const bool sharded = options.shardN != 0 || !options.outputPath.empty();
    if (sharded && !shard.Begin(options, {}, command)) return false;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (sharded && !shard.Takes(places[i], paths[i])) continue;
        files.push_back(paths[i]);
        operands.push_back(places[i]);
    }
    return true;
}

void ShardOutput::Record(uint64_t operand, const FileRecord& record) {
    ShardEntry entry;
    entry.operand = operand;
    entry.record = record;
    Write(ShardEntryLine(entry));
    ++entries_;
}

void ShardOutput::Known(uint64_t operand, const std::string& name, bool known) {
    ShardEntry entry;
    entry.kind = ShardEntry::Kind::kKnown;
    entry.operand = operand;
    entry.record.name = name;
    entry.known = known;
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

namespace {

// A saved state holds the contexts of the lines, a few KiB; anything far larger is not one.
constexpr uint64_t kMaxStateBytes = uint64_t(1) << 24;

// The bytes between saved states of a large file: 1 GiB, or KORVADEX_CHECKPOINT_BYTES.
uint64_t CheckpointBytes() {
    const char* given = std::getenv("KORVADEX_CHECKPOINT_BYTES");
    if (given != nullptr && *given != '\0') {
        char* end = nullptr;
        const unsigned long long bytes = std::strtoull(given, &end, 10);
        if (*end == '\0' && bytes >= 4096) return bytes;
    }
    return uint64_t(1) << 30;
}

// What a saved state is of: this program, and the file at path as it is now.  "" when the
// file cannot be looked up.
std::string StateHeader(const std::string& path) {
    FileTime modified;
    const std::string identity = FileIdentity(path);
    if (identity.empty() || !ModificationTime(path, modified)) return "";
    return std::string("korvadex-state 1 ") + kVersion + " " +
           std::to_string(LookUpPath(path).size) + " " + std::to_string(modified.seconds) + "." +
           std::to_string(modified.nanoseconds) + " " + identity + "\n";
}

}  // namespace

StreamCheckpoints* ShardOutput::Checkpoints(uint64_t operand, const std::string& path,
                                            const std::string& name, bool keyed,
                                            std::string& statePath) {
    const uint64_t every = CheckpointBytes();
    if (partial_.empty() || keyed || path == "-" || LookUpPath(path).size < every) return nullptr;
    const std::string header = StateHeader(path);
    if (header.empty()) return nullptr;
    InputRun run;
    run.callerOnly = true;
    const size_t sha256 = size_t(FindAlgorithm("sha256"));
    const std::string id = std::to_string(operand) + '\0' + name;
    statePath = partial_ + "." +
                ComputeTextResult(id, {}, {sha256}, run).hex[sha256].substr(0, 16) + ".state";
    auto checkpoints = std::make_unique<StreamCheckpoints>();
    checkpoints->every = every;
    if (takeUp_ && LookUpPath(statePath).kind == PathKind::kRegular) {
        InputBytes saved;
        std::string reason;
        const InputLimit limit{kMaxStateBytes, "too large for a saved state"};
        if (ReadInput(statePath, limit, saved, reason) && saved.size() >= header.size() &&
            std::equal(header.begin(), header.end(), saved.data())) {
            checkpoints->resume.assign(reinterpret_cast<const char*>(saved.data()) + header.size(),
                                       saved.size() - header.size());
        }
    }
    checkpoints->save = [header, statePath](uint64_t, const std::string& state) {
        // Written whole beside the one it replaces, then renamed over it.
        const std::string fresh = statePath + ".new";
        FILE* file = OpenForWriting(fresh, false);
        if (file == nullptr) return;
        const bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                             std::fwrite(state.data(), 1, state.size(), file) == state.size();
        if (std::fclose(file) != 0 || !written) return;
        std::error_code error;
        std::filesystem::rename(std::filesystem::u8path(fresh), std::filesystem::u8path(statePath),
                                error);
    };
    checkpoints_.push_back(std::move(checkpoints));
    return checkpoints_.back().get();
}

void ShardOutput::Abandon() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
    if (!resumed_) RemoveFile(partial_);
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
            if (header_.command != "list" && header_.command != "update") {
                // An audit's, a check's and --known's status is given by their verdicts.
                status = merged;
            }
        }
        if (written) RemoveFile(partial_);
    }
    if (!written) status = kExitFailed;
    // As on one machine, a file of --verify-cache found corrupt outweighs every failure.
    if (options.shardN != 0 && header_.command == "verify-cache" && changes_ != 0) {
        status = kExitCorrupt;
    }
    if (options.shardN != 0) {
        std::string summary = ShardName(header_) + ": " + std::to_string(entries_) + " written";
        if (failed_ != 0) {
            summary +=
                ", " + std::to_string(failed_) + " could not be read (a rerun may mend them)";
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

bool ListDigest(const std::string& path, std::string& digest) {
    digest.clear();
    if (path == "-") return true;
    Progress progress;
    std::vector<std::string> hex;
    const size_t sha256 = size_t(FindAlgorithm("sha256"));
    if (!ComputeInput(path, {}, {sha256}, 1, progress, hex)) return false;
    digest = hex[sha256];
    return true;
}
