// --check: reads each list, a saved report or a checksum list of another tool, and checks
// the files it names.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "batch/input_batch.h"
#include "batch/input_compute.h"
#include "batch/messages.h"
#include "commands/check_summary.h"
#include "commands/commands.h"
#include "commands/shard_output.h"
#include "common/algorithm_names.h"
#include "common/error_text.h"
#include "common/line_names.h"
#include "lists/checksum_lines.h"
#include "lists/json_lines.h"
#include "lists/list_entries.h"
#include "lists/list_reader.h"
#include "lists/saved_report_reader.h"
#include "system/file_input.h"
#include "system/system.h"

namespace {

std::string Upper(std::string hex) {
    for (char& c : hex) {
        if (c >= 'a' && c <= 'f') c = char(c - 'a' + 'A');
    }
    return hex;
}

std::string Plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Checks one saved report, whose whole text is content.
int CheckSavedReport(const std::string& listPath, const std::string& content,
                     const Options& options, const std::vector<uint8_t>& key) {
    const std::string listName = InputName(listPath);
    SavedReport saved;
    std::string reason;
    if (!ParseSavedReport(content, saved, reason)) {
        PrintError(listName, "not a valid saved report: " + reason);
        return kExitFailed;
    }
    // The Windows program writes the path in the ANSI code page.
    std::string target = FromAnsiCodePage(saved.inputPath);
    if (!options.filter.TakesListed(saved.inputPath)) {
        PrintError(listName, "nothing checked: --exclude and --include leave out its input, " +
                                 saved.inputPath);
        return kExitFailed;
    }
    if (!options.checkInput.empty()) {
        target = options.checkInput;
    } else if (!kBackslashSeparates && IsWindowsPath(target)) {
        PrintError(listName, "the report was saved for '" + target +
                                 "', a Windows path that cannot be opened here; name the file "
                                 "to check with --input: korvadex --check " +
                                 listPath + " --input FILE");
        return kExitFailed;
    }
    if (target == "-" && (listPath == "-" || options.keyFile == "-")) {
        PrintError(listName,
                   "names standard input, which was already read; name the file to check "
                   "with --input FILE");
        return kExitFailed;
    }

    // --save and the Windows program write every line, so a report that lacks one was cut
    // or edited: it is not checked, even where the lines it holds would pass.
    const std::vector<size_t> wanted = options.only.empty() ? AllLines() : options.only;
    std::vector<SavedLine> checked;
    std::string missing;
    size_t missingCount = 0;
    for (size_t line : wanted) {
        auto found = std::find_if(saved.lines.begin(), saved.lines.end(),
                                  [line](const SavedLine& s) { return s.line == line; });
        if (found != saved.lines.end()) {
            checked.push_back(*found);
            continue;
        }
        ++missingCount;
        missing += (missing.empty() ? "" : ", ") + LineName(kReportLines[line]);
    }
    if (missingCount != 0) {
        PrintError(listName, "not checked: the saved report lacks " +
                                 Plural(missingCount, "line", "lines") + " of " +
                                 std::to_string(wanted.size()) +
                                 (options.only.empty() ? "" : " named by -a") + " (" + missing +
                                 "); --save writes every line, so it was cut short or edited");
        return kExitFailed;
    }
    std::vector<size_t> lines;
    for (const SavedLine& line : checked) lines.push_back(line.line);

    // As for a list, --ignore-missing passes over a file that is not there, which leaves
    // nothing verified.
    if (options.ignoreMissing && target != "-" && LookUpPath(target).kind == PathKind::kMissing) {
        if (!options.status) PrintError(listName, "no file was verified");
        return kExitFailed;
    }
    Progress progress;
    std::vector<std::string> hex;
    if (!ComputeInput(target, key, lines, options.jobs, progress, hex)) return kExitFailed;

    const bool lower = LowerHex(options);
    size_t failed = 0;
    std::string text;
    const bool json = options.format == OutputFormat::kJson;
    for (const SavedLine& line : checked) {
        const std::string want = Upper(line.hex);
        const std::string& got = hex[line.line];
        const bool ok = want == got;
        failed += !ok;
        if (ok && options.quiet) continue;
        if (json) {
            EntryVerdict verdict;
            verdict.name = target;
            verdict.list = listPath;
            verdict.verdict = ok ? "OK" : "FAILED";
            verdict.expected.digests = {{line.line, DisplayHex(want, lower), options.keyed}};
            verdict.actual.digests = {{line.line, DisplayHex(got, lower), options.keyed}};
            text += JsonVerdictLine(verdict);
        } else if (ok) {
            text += std::string(kReportLines[line.line].label) + "OK\n";
        } else {
            text += std::string(kReportLines[line.line].label) + "FAILED (saved " +
                    DisplayHex(want, lower) + ", computed " + DisplayHex(got, lower) + ")\n";
        }
    }
    if (!options.status) PrintOut(text);
    if (!FlushOut()) return kExitFailed;
    if (failed == 0) return kExitOk;
    if (!options.status) {
        std::string message = std::to_string(failed) + " of " + std::to_string(checked.size()) +
                              " lines FAILED against " + listPath;
        if (failed == checked.size() && checked.size() > 1) {
            message += options.keyed
                           ? "; every line failed: a wrong key, or a report saved without a "
                             "key, may be the cause"
                           : "; every line failed: if the report was saved with a key, give "
                             "it with --key or --key-file";
        }
        PrintError(InputName(target), message);
    }
    return kExitFailed;
}

// The algorithms rhash writes, of those the report has: the columns of its lines for several
// algorithms are among these.
const char* const kRhashAlgorithms[] = {"crc32",     "md4",       "md5",      "sha1",   "tiger",
                                        "whirlpool", "rmd160",    "gost94",   "sha256", "sha384",
                                        "sha512",    "snefru128", "snefru256"};

size_t Digits(size_t line) {
    return 2 * DigestLength(kReportLines[line].size);
}

std::string Names(const std::vector<size_t>& lines) {
    std::string names;
    for (size_t line : lines) names += (names.empty() ? "" : ", ") + LineName(kReportLines[line]);
    return names;
}

// One checksum list of another tool, read line by line.
//
// The values of an untagged list whose algorithm neither -a nor the list's name gives, and
// whose width several lines share, are tried under each of those lines in turn, file by
// file, until one matches: that algorithm then holds for every value of the width (in a list
// of rhash's columns, of the column).  A file is read at most twice: for the likeliest line
// alone, then for all the others at once.  A value that matches none of them fails whichever is
// taken, so each verdict is known as soon as its file is read.
class ListCheck {
public:
    // shard: where the verdicts go, as entries of a shard's list (--shard, -o), or null for
    // standard output.
    ListCheck(const std::string& path, const Options& options, const std::vector<uint8_t>& key,
              ShardOutput* shard)
        : path_(path),
          name_(InputName(path)),
          options_(options),
          key_(key),
          nameHint_(AlgorithmOfListName(path)),
          standardInput_(path == "-"),
          shard_(shard),
          list_(path),
          batch_(options.jobs, options.readOrder, 0, progress_) {}

    // Takes the line with this number (from 1).
    void Take(const std::string& text, size_t number) {
        // The list is read as it is checked: the number of its files is not known ahead.
        if (number == 1) progress_.BeginJob(0, -1);
        std::vector<ChecksumLine> lines;
        std::string reason;
        int64_t size = -1;
        const ChecksumLineKind kind = list_.Take(text, number, lines, size, reason);
        if (kind == ChecksumLineKind::kIgnored) return;
        const std::string named = kind == ChecksumLineKind::kEntry ? lines[0].name : "";
        // A shard checks the lines of the names of its share (a line that names no file is of
        // the empty name's), after the last one an earlier try wrote.
        if (shard_ != nullptr && (!shard_->InShard(named) || !shard_->LineAhead(number))) return;
        const bool wholeFile = list_.WholeFile();
        // An entry that --exclude or --include leaves out is neither checked nor reported.
        if (kind == ChecksumLineKind::kEntry && !options_.filter.TakesListed(lines[0].name)) {
            ++tally_.filteredOut;
            if (shard_ != nullptr) Flush();
            Written("filtered", number, named);
            return;
        }
        std::vector<Entry> entries;
        for (size_t column = 0;
             kind == ChecksumLineKind::kEntry && reason.empty() && column < lines.size();
             ++column) {
            // With -a, the columns of other algorithms are left out, as the lines of other
            // algorithms are.
            if ((lines.size() > 1 || wholeFile) && !FitsOnly(lines[column])) continue;
            entries.push_back(Entry{lines[column].name, lines[column].hex, lines[column].line, -1,
                                    !entries.empty(), size, number});
            reason = Check(lines[column], lines.size() > 1 ? long(column) : -1, entries.back());
        }
        if (kind == ChecksumLineKind::kEntry && entries.empty()) {
            reason = list_.Hashdeep() ? "none of its columns is of an algorithm of -a"
                     : wholeFile      ? "none of its digests is of an algorithm of -a"
                                      : "none of its columns has the width of an algorithm of -a";
        }
        if (refused_) return;
        if (kind != ChecksumLineKind::kEntry || !reason.empty()) {
            return Malformed(number, named, reason);
        }
        ++tally_.wellFormed;
        if (!group_.empty() && group_[0].name != entries[0].name) Flush();
        group_.insert(group_.end(), entries.begin(), entries.end());
    }

    // Whether the list cannot be checked in shards: the algorithm of its values is inferred
    // from the files, which every shard would do on files of its own.
    bool Refused() const { return refused_; }

    // Checks what is left and writes the summary (to the shard's list, which its merge
    // writes the summary of); returns the exit status of the list.
    int Finish() {
        size_t number;
        std::string reason;
        if (list_.Unfinished(number, reason) &&
            (shard_ == nullptr || (shard_->InShard("") && shard_->LineAhead(number)))) {
            Malformed(number, "", reason);
        }
        Flush();
        batch_.Finish();
        progress_.EndJob();
        for (const Slot& slot : slots_) {
            if (slot.taken >= 0 || !slot.tried || options_.status) continue;
            PrintError(name_, "no listed file matched its values of " +
                                  std::to_string(slot.digits) + " hex digits" + Column(slot) +
                                  " under any algorithm of that width (" + Names(slot.candidates) +
                                  "): every such line FAILED");
        }
        if (!FlushOut()) failedOutput_ = true;
        if (shard_ != nullptr) return kExitOk;
        const int status = CheckListSummary(name_, tally_, options_);
        return failedOutput_ ? kExitFailed : status;
    }

private:
    void Malformed(size_t number, const std::string& named, const std::string& reason) {
        tally_.Malformed(number, reason);
        // A shard's entries are written in the list's order: the file of the lines before
        // is read first.
        if (shard_ != nullptr) Flush();
        if (shard_ == nullptr && !options_.warn) return;
        batch_.Then([this, number, named, reason] {
            // After the verdicts of the lines before it.
            if (options_.warn) PrintErrorText(MalformedLineText(name_, number, reason));
            if (shard_ != nullptr) Write("malformed", number, named, "", reason);
        });
    }

    // Writes the verdict word on the line at number of the list, naming named, as an entry
    // of the shard's list: text, what it writes on standard output, and reason, on standard
    // error.
    void Write(const char* word, size_t number, const std::string& named, const std::string& text,
               const std::string& reason) {
        shard_->Verdict(number, named, word, text, reason);
    }

    // Writes, after the verdicts of the lines before, a line that gets no verdict.
    void Written(const char* word, size_t number, const std::string& named) {
        if (shard_ == nullptr) return;
        batch_.Then([this, word, number, named] { Write(word, number, named, "", ""); });
    }

    // One value to check: its line, or while that is not known, the slot it is inferred in.
    struct Entry {
        std::string name;
        std::string hex;
        long line;
        long slot = -1;
        bool joined = false;  // a later column of the same line of rhash's or hashdeep's
        int64_t size = -1;    // the file's size, as a hashdeep, JSON or CSV list gives it, or -1
        size_t number = 0;    // its line in the list, from 1
    };

    // The values of one width (and column) whose algorithm is inferred.
    struct Slot {
        size_t digits;
        long column;                     // the column of rhash's lines, -1 for other lines
        std::vector<size_t> candidates;  // in the order they are tried
        long taken = -1;                 // the line that matched first, -1 while none has
        bool tried = false;              // a file was read for its candidates
    };

    // Whether a column may be of an algorithm of -a: by its algorithm where the list names
    // it, else by its width.
    bool FitsOnly(const ChecksumLine& column) const {
        return options_.only.empty() ||
               std::any_of(options_.only.begin(), options_.only.end(), [&](size_t line) {
                   return column.line >= 0 ? long(line) == column.line
                                           : Digits(line) == column.hex.size();
               });
    }

    static std::string Column(const Slot& slot) {
        return slot.column < 0 ? "" : " in column " + std::to_string(slot.column + 1);
    }

    // Finds the line of an entry, or why it cannot be checked.
    std::string Check(const ChecksumLine& line, long column, Entry& entry) {
        if (line.name.find('\0') != std::string::npos) return "a NUL byte in the file name";
        // As coreutils does: the list is standard input, which cannot also be a file of it.
        if (standardInput_ && line.name == "-") {
            return "the file '-' is standard input, which holds the list";
        }
        if (line.line < 0) return Untagged(line.hex.size(), column, entry);
        if (line.keyed && !options_.keyed) {
            return "an HMAC line: give its key with --key or --key-file";
        }
        if (!line.keyed && options_.keyed) return "a line of a plain digest, while a key was given";
        if (!options_.only.empty() && std::find(options_.only.begin(), options_.only.end(),
                                                size_t(line.line)) == options_.only.end()) {
            // As cksum -a does: a line of another algorithm than those asked for is not one
            // of the list's lines.
            return "a " + LineName(kReportLines[line.line]) + " line, not one of -a";
        }
        if (line.hex.size() != Digits(size_t(line.line))) {
            return LineName(kReportLines[line.line]) + " values have " +
                   std::to_string(Digits(size_t(line.line))) + " hex digits, this one " +
                   std::to_string(line.hex.size());
        }
        return "";
    }

    // The line of an untagged value of this many hex digits: from -a, else from the list's
    // name, else from the width alone; else the value is inferred in a slot.
    std::string Untagged(size_t digits, long column, Entry& entry) {
        std::vector<size_t> fits;
        for (size_t line : options_.only) {
            if (Digits(line) == digits) fits.push_back(line);
        }
        if (!options_.only.empty() && fits.empty()) {
            return "a value of " + std::to_string(digits) + " hex digits fits no algorithm of -a";
        }
        if (fits.empty() && nameHint_ >= 0 && column < 0) {
            if (Digits(size_t(nameHint_)) == digits) {
                entry.line = nameHint_;
                return "";
            }
            return "the list's name says " + LineName(kReportLines[nameHint_]) +
                   ", whose values have " + std::to_string(Digits(size_t(nameHint_))) +
                   " hex digits, this one " + std::to_string(digits);
        }
        if (fits.empty() && column >= 0) {
            for (const char* name : kRhashAlgorithms) {
                const long line = FindAlgorithm(name);
                if (Digits(size_t(line)) == digits) fits.push_back(size_t(line));
            }
        }
        if (fits.empty()) {
            for (size_t line = 0; line < kReportLineCount; ++line) {
                if (Digits(line) == digits) fits.push_back(line);
            }
        }
        if (fits.size() == 1) {
            entry.line = long(fits[0]);
            return "";
        }
        for (size_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i].digits == digits && slots_[i].column == column) entry.slot = long(i);
        }
        if (entry.slot < 0 && shard_ != nullptr) {
            refused_ = true;
            PrintError(name_, "line " + std::to_string(entry.number) + ": values of " +
                                  std::to_string(digits) +
                                  " hex digits, whose algorithm is the first that a file "
                                  "matches, which each shard of --shard and each try of -o "
                                  "would find apart: name it with -a");
            return "";
        }
        if (entry.slot < 0) {
            entry.slot = long(slots_.size());
            slots_.push_back(Slot{digits, column, LikeliestFirst(fits)});
        }
        entry.line = slots_[size_t(entry.slot)].taken;
        return "";
    }

    // The file an entry names: as written, else, when that is not found and the name holds
    // a '\' (a list made on Windows), with '/' in its place when that is found.
    static std::string FileOf(const std::string& name) {
        if (name == "-" || name.find('\\') == std::string::npos ||
            LookUpPath(name).kind != PathKind::kMissing) {
            return name;
        }
        std::string slashed = name;
        std::replace(slashed.begin(), slashed.end(), '\\', '/');
        const PathKind kind = LookUpPath(slashed).kind;
        return kind != PathKind::kMissing && kind != PathKind::kUnknown ? slashed : name;
    }

    // Reads the file of the group of entries once for all their lines, and tries the
    // candidates of the slots not yet decided.
    void Flush() {
        if (group_.empty()) return;
        const std::string file = FileOf(group_[0].name);
        const PathStatus status = file == "-" ? PathStatus{} : LookUpPath(file);
        const bool missing = file != "-" && status.kind == PathKind::kMissing;
        if (options_.ignoreMissing && missing) {
            for (const Entry& entry : group_) {
                if (!entry.joined) Written("skipped", entry.number, entry.name);
            }
            group_.clear();
            return;
        }
        // A regular file can be read again: it is read first for the likeliest candidate
        // of each undecided slot alone, and only when that does not match, once more for
        // all the others, so that a list of the commonest algorithm costs one cheap pass.
        // Any other input is read once for every candidate.
        const bool again = status.kind == PathKind::kRegular;
        // A file whose size is not the one its hashdeep line gives fails without being read.
        if (again && std::all_of(group_.begin(), group_.end(), [&](const Entry& e) {
                return e.size >= 0 && uint64_t(e.size) != status.size;
            })) {
            const uint64_t size = status.size;
            batch_.Then([this, entries = std::move(group_), size] {
                Report(entries, true, std::vector<std::string>(kReportLineCount), size);
            });
            group_.clear();
            return;
        }
        std::vector<size_t> lines;
        std::vector<size_t> later;
        for (Entry& entry : group_) {
            if (entry.line < 0) entry.line = slots_[size_t(entry.slot)].taken;
            const std::vector<size_t> tried = entry.line >= 0
                                                  ? std::vector<size_t>{size_t(entry.line)}
                                                  : slots_[size_t(entry.slot)].candidates;
            for (size_t i = 0; i < tried.size(); ++i) {
                std::vector<size_t>& pass = again && i > 0 ? later : lines;
                if (std::find(pass.begin(), pass.end(), tried[i]) == pass.end()) {
                    pass.push_back(tried[i]);
                }
            }
        }
        std::vector<Entry> entries;
        entries.swap(group_);
        // Values whose algorithm is known are checked beside the files before and after
        // them; a value still to be inferred needs the verdicts before it.
        if (std::all_of(entries.begin(), entries.end(),
                        [](const Entry& e) { return e.line >= 0; })) {
            batch_.AddFile(
                file, key_, lines, Jobs(lines),
                [this, entries = std::move(entries), missing](const InputResult& result) {
                    // The batch has written why the file could not be read.
                    const std::string failure = result.ok
                                                    ? ""
                                                    : "korvadex: " + MessageText(result.subject) +
                                                          ": " + MessageText(result.reason) + "\n";
                    Report(entries, result.ok, result.hex, result.size, missing, failure);
                });
            return;
        }
        batch_.Finish();
        std::vector<std::string> hex;
        uint64_t size = 0;
        bool read = Compute(file, lines, hex, size);
        const bool firstMatched = std::all_of(entries.begin(), entries.end(), [&](const Entry& e) {
            return e.line >= 0 || Upper(e.hex) == hex[slots_[size_t(e.slot)].candidates[0]];
        });
        if (read && !firstMatched && !later.empty()) {
            std::vector<std::string> others;
            progress_.Again();
            read = Compute(file, later, others, size);
            for (size_t line : later) hex[line] = others[line];
        }
        for (Entry& entry : entries) {
            if (!read || entry.line >= 0) continue;
            Slot& slot = slots_[size_t(entry.slot)];
            slot.tried = true;
            for (size_t i = 0; slot.taken < 0 && i < slot.candidates.size(); ++i) {
                if (Upper(entry.hex) != hex[slot.candidates[i]]) continue;
                slot.taken = long(slot.candidates[i]);
                if (!options_.status) {
                    PrintError(name_, "its values of " + std::to_string(slot.digits) +
                                          " hex digits" + Column(slot) + " are taken as " +
                                          LineName(kReportLines[slot.taken]) +
                                          ", the first algorithm that matched (" + entry.name +
                                          ")");
                }
            }
            // A value that matched no candidate fails under whichever is taken.
            entry.line = slot.taken;
        }
        Report(entries, read, hex, size, missing);
    }

    // Reads file once for the lines, into hex (indexed by line), and its size.
    bool Compute(const std::string& file, const std::vector<size_t>& lines,
                 std::vector<std::string>& hex, uint64_t& size) {
        return ComputeInput(file, key_, lines, Jobs(lines), progress_, hex, &size);
    }

    // The threads for lines of one file read alone.
    unsigned Jobs(const std::vector<size_t>& lines) const {
        // One line is one job: more threads for it would only cost their start.
        return lines.size() == 1 ? 1 : options_.jobs;
    }

    // The verdicts of the entries of one file, read (or not), whose bytes gave hex and size;
    // failure: what was written of a file that could not be read.
    void Report(const std::vector<Entry>& entries, bool read, const std::vector<std::string>& hex,
                uint64_t size, bool missing = false, std::string failure = "") {
        // As coreutils does, a name is escaped in a verdict only when it holds a line break.
        const std::string& name = entries[0].name;
        bool needsMark = false;
        const std::string shown =
            name.find_first_of("\r\n") == std::string::npos ? name : EscapeName(name, needsMark);
        std::string text;
        // The columns of one of rhash's lines share one verdict, as rhash gives it.
        for (size_t i = 0, next; i < entries.size(); i = next) {
            const size_t before = text.size();
            bool matched = true;
            for (next = i; next < entries.size() && (next == i || entries[next].joined); ++next) {
                const Entry& entry = entries[next];
                matched = matched && read && (entry.size < 0 || uint64_t(entry.size) == size) &&
                          entry.line >= 0 && Upper(entry.hex) == hex[size_t(entry.line)];
            }
            const char* verdict = "OK";
            if (!read) {
                ++tally_.unreadable;
                verdict = "FAILED open or read";
            } else if (!matched) {
                ++tally_.mismatched;
                verdict = "FAILED";
            } else {
                ++tally_.verified;
            }
            const char* word = read ? verdict : missing ? "missing" : "unreadable";
            const bool told = !options_.status && !(read && matched && options_.quiet);
            if (told && options_.format == OutputFormat::kJson) {
                text += JsonVerdictLine(Verdict(entries, i, next, word, read, hex, size));
            } else if (told) {
                text += (needsMark ? "\\" : "") + shown + ": " + verdict + "\n";
            }
            if (shard_ == nullptr) continue;
            // The file's failure goes with the first of its verdicts, as it is written once.
            Write(word, entries[i].number, name, text.substr(before), failure);
            failure.clear();
        }
        if (shard_ == nullptr) PrintOut(text);
    }

    // The verdict of entries[from] to entries[to - 1], which share one, for JSON: what they
    // expect, and what the file gave where it was read.
    EntryVerdict Verdict(const std::vector<Entry>& entries, size_t from, size_t to,
                         const char* word, bool read, const std::vector<std::string>& hex,
                         uint64_t size) const {
        EntryVerdict verdict;
        verdict.name = entries[from].name;
        verdict.list = path_;
        verdict.line = entries[from].number;
        verdict.verdict = word;
        verdict.expected.size = entries[from].size;
        if (read) verdict.actual.size = int64_t(size);
        for (size_t i = from; i < to; ++i) {
            const Entry& entry = entries[i];
            // A value whose algorithm no file showed fails under the likeliest one.
            const long line = entry.line >= 0   ? entry.line
                              : entry.slot >= 0 ? long(slots_[size_t(entry.slot)].candidates[0])
                                                : -1;
            if (line < 0) continue;
            verdict.expected.digests.push_back({size_t(line), entry.hex, options_.keyed});
            if (read && !hex[size_t(line)].empty()) {
                verdict.actual.digests.push_back({size_t(line),
                                                  DisplayHex(hex[size_t(line)], LowerHex(options_)),
                                                  options_.keyed});
            }
        }
        return verdict;
    }

    const std::string path_;
    const std::string name_;
    const Options& options_;
    const std::vector<uint8_t>& key_;
    const long nameHint_;
    const bool standardInput_;
    ShardOutput* const shard_;
    ListEntries list_;
    Progress progress_;
    std::vector<Entry> group_;  // consecutive entries for one file
    std::vector<Slot> slots_;
    CheckTally tally_;
    bool refused_ = false;  // see Refused()
    bool failedOutput_ = false;
    InputBatch batch_;  // last: its threads end before the fields they use
};

// A saved report starts with a ruler of '='; a line that starts with ten of them is taken for
// one, so that a damaged report is refused with its reader's reason.
const char kRuler[] = "==========";

// Begins the shard's list of the check of the list at path.  False, after a message, when
// it cannot.
bool BeginShard(ShardOutput& shard, const std::string& path, const Options& options,
                const std::vector<uint8_t>& key) {
    // The shards of one job, and the tries of one run, must all read the same list.
    std::string listCheck;
    return ListDigest(path, listCheck) && shard.Begin(options, key, "check", listCheck);
}

// Checks the list at path; with shard, its shard's lines, into the shard's list.
int CheckList(const std::string& path, const Options& options, const std::vector<uint8_t>& key,
              ShardOutput* shard) {
    const std::string name = InputName(path);
    FILE* file = path == "-" ? stdin : OpenForReading(path);
    if (file == nullptr) {
        PrintError(name, ErrnoText(errno));
        return kExitFailed;
    }
    const auto close = [&] {
        if (file != stdin) std::fclose(file);
    };
    ListReader reader(file);
    size_t number = 0;
    ListCheck check(path, options, key, shard);
    std::string text;
    while (reader.Next(text)) {
        if (++number == 1 && text.compare(0, sizeof kRuler - 1, kRuler) == 0) {
            if (shard != nullptr) {
                close();
                PrintError(name,
                           "a saved report, the values of one file: --shard and -o take a "
                           "checksum list");
                return kExitFailed;
            }
            // A saved report: read it whole, as its reader wants.
            std::string content = text;
            while (content.size() <= kMaxSavedReportBytes && reader.Next(text)) content += text;
            close();
            if (reader.Failed()) {
                PrintError(name, reader.Reason());
                return kExitFailed;
            }
            return CheckSavedReport(path, content, options, key);
        }
        if (number == 1 && !options.checkInput.empty()) break;
        if (number == 1 && shard != nullptr && !BeginShard(*shard, path, options, key)) {
            close();
            return kExitFailed;
        }
        if (!text.empty() && text.back() == '\n') text.pop_back();
        check.Take(text, number);
        if (check.Refused()) {
            close();
            shard->Abandon();
            return kExitFailed;
        }
    }
    close();
    if (!options.checkInput.empty()) {
        PrintError(name,
                   "not a saved report: --input names the file a saved report is "
                   "checked against, and a checksum list names its own files");
        return kExitFailed;
    }
    if (reader.Failed()) {
        PrintError(name, reader.Reason());
        // A list refused whole, or cut short: what was read of it is still checked.
        if (number == 0) return kExitFailed;
        // A shard's list is left without its end: the merge refuses it.
        check.Finish();
        return kExitFailed;
    }
    if (number == 0 && shard != nullptr && !BeginShard(*shard, path, options, key)) {
        return kExitFailed;
    }
    const int status = check.Finish();
    return shard == nullptr ? status : shard->End(options);
}

}  // namespace

int RunCheck(const Options& options, const std::vector<uint8_t>& key) {
    // A run of --shard or -o checks one list (the options see to it) into a shard's list.
    if (options.shardN != 0 || !options.outputPath.empty()) {
        const std::string& list = options.files[0];
        if (IsBag(list) && (options.shardN != 0 || options.fast)) {
            PrintError(list, options.fast ? "--fast reads no file: it takes no -o"
                                          : "a bag: --shard takes a checksum list");
            return kExitFailed;
        }
        if (IsBag(list)) return CheckBag(options, list);
        ShardOutput shard;
        return CheckList(list, options, key, &shard);
    }
    int status = kExitOk;
    for (const std::string& list : options.files) {
        const bool bag = IsBag(list);
        if (options.fast && !bag) {
            PrintError(list, "--fast checks the Payload-Oxum of bags, and this is none");
            status = kExitFailed;
            continue;
        }
        if ((bag ? CheckBag(options, list) : CheckList(list, options, key, nullptr)) != kExitOk) {
            status = kExitFailed;
        }
    }
    return status;
}
