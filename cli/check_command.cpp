// --check: reads each list, a saved report or a checksum list of another tool, and checks
// the files it names.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "algorithm_names.h"
#include "checksum_lines.h"
#include "command_support.h"
#include "commands.h"
#include "file_input.h"
#include "line_names.h"
#include "saved_report_reader.h"

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

void Warn(const std::string& text) {
    std::fprintf(stderr, "korvadex: WARNING: %s\n", text.c_str());
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
    std::string target = saved.inputPath;
    if (!options.checkInput.empty()) {
        target = options.checkInput;
    } else if (IsWindowsPath(target)) {
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

    Progress progress;
    std::vector<std::string> hex;
    if (!ComputeInput(target, key, lines, options.jobs, progress, hex)) return kExitFailed;

    const bool lower = LowerHex(options);
    size_t failed = 0;
    std::string text;
    for (const SavedLine& line : checked) {
        const std::string want = Upper(line.hex);
        const std::string& got = hex[line.line];
        if (want == got) {
            if (!options.quiet) text += std::string(kReportLines[line.line].label) + "OK\n";
        } else {
            ++failed;
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

// One checksum list of another tool, read line by line.
class ListCheck {
public:
    ListCheck(const std::string& path, const Options& options, const std::vector<uint8_t>& key)
        : name_(InputName(path)),
          options_(options),
          key_(key),
          nameHint_(AlgorithmOfListName(path)),
          sfv_(path.size() > 4 && (path.compare(path.size() - 4, 4, ".sfv") == 0 ||
                                   path.compare(path.size() - 4, 4, ".SFV") == 0)) {}

    // Takes the line with this number (from 1); false when the list must be given up.
    bool Take(const std::string& text, size_t number) {
        ChecksumLine entry;
        std::string reason;
        const ChecksumLineKind kind = ParseChecksumLine(text, sfv_, entry, reason);
        if (kind == ChecksumLineKind::kIgnored) return true;
        if (kind == ChecksumLineKind::kEntry && entry.name.find('\0') != std::string::npos) {
            reason = "a NUL byte in the file name";
        } else if (kind == ChecksumLineKind::kEntry && entry.line < 0) {
            entry.line = Untagged(entry.hex.size(), reason);
            if (entry.line == -2) return false;
        } else if (kind == ChecksumLineKind::kEntry && entry.keyed && !options_.keyed) {
            reason = "an HMAC line: give its key with --key or --key-file";
        } else if (kind == ChecksumLineKind::kEntry && entry.line >= 0 && !entry.keyed &&
                   options_.keyed) {
            reason = "a line of a plain digest, while a key was given";
        } else if (kind == ChecksumLineKind::kEntry && !options_.only.empty() &&
                   std::find(options_.only.begin(), options_.only.end(), size_t(entry.line)) ==
                       options_.only.end()) {
            // As cksum -a does: a line of another algorithm than those asked for is not one
            // of the list's lines.
            reason = "a " + LineName(kReportLines[entry.line]) + " line, not one of -a";
        } else if (kind == ChecksumLineKind::kEntry &&
                   entry.hex.size() != 2 * DigestLength(kReportLines[entry.line].size)) {
            reason = LineName(kReportLines[entry.line]) + " values have " +
                     std::to_string(2 * DigestLength(kReportLines[entry.line].size)) +
                     " hex digits, this one " + std::to_string(entry.hex.size());
        }
        if (kind != ChecksumLineKind::kEntry || !reason.empty()) {
            ++malformed_;
            if (firstReason_.empty()) {
                firstReason_ = "line " + std::to_string(number) + ": " + reason;
            }
            if (options_.warn) {
                std::fprintf(stderr, "korvadex: %s: %zu: improperly formatted checksum line: %s\n",
                             name_.c_str(), number, reason.c_str());
            }
            return true;
        }
        ++wellFormed_;
        if (!group_.empty() && group_[0].name != entry.name) Flush();
        group_.push_back(entry);
        return true;
    }

    // Checks what is left and writes the summary; returns the exit status of the list.
    int Finish() {
        Flush();
        if (!FlushOut()) failedOutput_ = true;
        if (wellFormed_ == 0) {
            PrintError(name_, "no properly formatted checksum lines found" +
                                  (firstReason_.empty() ? "" : " (" + firstReason_ + ")"));
            return kExitFailed;
        }
        if (!options_.status) {
            if (malformed_ != 0) {
                Warn(Plural(malformed_, "line is", "lines are") + " improperly formatted");
            }
            if (unreadable_ != 0) {
                Warn(Plural(unreadable_, "listed file", "listed files") + " could not be read");
            }
            if (mismatched_ != 0) {
                Warn(Plural(mismatched_, "computed checksum", "computed checksums") +
                     " did NOT match");
            }
        }
        if (options_.ignoreMissing && verified_ == 0) {
            PrintError(name_, "no file was verified");
            return kExitFailed;
        }
        const bool ok = mismatched_ == 0 && unreadable_ == 0 &&
                        !(options_.strict && malformed_ != 0) && !failedOutput_;
        return ok ? kExitOk : kExitFailed;
    }

private:
    // The line of an untagged value of this many hex digits: from -a, else from the list's
    // name, else from the width alone.  -1 (with reason) when the value fits none; -2, after
    // a message, when it fits several and nothing says which.
    long Untagged(size_t digits, std::string& reason) {
        std::vector<size_t> fits;
        for (size_t line : options_.only) {
            if (2 * DigestLength(kReportLines[line].size) == digits) fits.push_back(line);
        }
        if (!options_.only.empty() && fits.empty()) {
            reason = "a value of " + std::to_string(digits) + " hex digits fits no algorithm of -a";
            return -1;
        }
        if (fits.empty() && nameHint_ >= 0) {
            if (2 * DigestLength(kReportLines[nameHint_].size) == digits) return nameHint_;
            reason = "the list's name says " + LineName(kReportLines[nameHint_]) +
                     ", whose values have " +
                     std::to_string(2 * DigestLength(kReportLines[nameHint_].size)) +
                     " hex digits, this one " + std::to_string(digits);
            return -1;
        }
        if (fits.empty()) {
            for (size_t line = 0; line < kReportLineCount; ++line) {
                if (2 * DigestLength(kReportLines[line].size) == digits) fits.push_back(line);
            }
        }
        if (fits.size() == 1) return long(fits[0]);
        std::string names;
        for (size_t line : fits)
            names += (names.empty() ? "" : ", ") + LineName(kReportLines[line]);
        PrintError(name_, "cannot tell which algorithm made its values of " +
                              std::to_string(digits) + " hex digits (" + names +
                              " all have that width): name it with -a, for example -a " +
                              SuggestedName(fits) +
                              ", or name the list after it, as in SHA256SUMS or list.md5");
        return -2;
    }

    // A name for the example of a message: the commonest algorithm among those that fit.
    static std::string SuggestedName(const std::vector<size_t>& fits) {
        for (const char* common : {"sha256", "sha1", "md5", "sha512", "crc32", "tiger"}) {
            for (size_t line : fits) {
                if (FindAlgorithm(common) == long(line)) return common;
            }
        }
        return LineName(kReportLines[fits[0]]);
    }

    // The entries gathered for one file, hashed once for all their lines.
    struct Pending {
        std::vector<ChecksumLine> entries;
        std::vector<size_t> lines;
        bool read = false;
        std::vector<std::string> hex;
    };

    // Checks the group of entries for one file.
    void Flush() {
        if (group_.empty()) return;
        const std::string& file = group_[0].name;
        struct stat st;
        if (options_.ignoreMissing && file != "-" && ::stat(file.c_str(), &st) != 0 &&
            errno == ENOENT) {
            group_.clear();
            return;
        }
        Pending pending;
        for (const ChecksumLine& entry : group_) {
            bool seen = false;
            for (size_t line : pending.lines) seen = seen || line == size_t(entry.line);
            if (!seen) pending.lines.push_back(size_t(entry.line));
        }
        pending.entries.swap(group_);
        // One line is one job: more threads for it would only cost their start.
        const unsigned jobs = pending.lines.size() == 1 ? 1 : options_.jobs;
        pending.read = ComputeInput(pending.entries[0].name, key_, pending.lines, jobs, progress_,
                                    pending.hex);
        Report(pending);
    }

    void Report(const Pending& pending) {
        // As coreutils does, a name is escaped in a verdict only when it holds a line break.
        const std::string& name = pending.entries[0].name;
        bool needsMark = false;
        const std::string shown =
            name.find_first_of("\r\n") == std::string::npos ? name : EscapeName(name, needsMark);
        std::string text;
        for (const ChecksumLine& entry : pending.entries) {
            const char* verdict = "OK";
            if (!pending.read) {
                ++unreadable_;
                verdict = "FAILED open or read";
            } else if (Upper(entry.hex) != pending.hex[size_t(entry.line)]) {
                ++mismatched_;
                verdict = "FAILED";
            } else {
                ++verified_;
                if (options_.quiet) continue;
            }
            if (!options_.status) text += (needsMark ? "\\" : "") + shown + ": " + verdict + "\n";
        }
        PrintOut(text);
    }

    const std::string name_;
    const Options& options_;
    const std::vector<uint8_t>& key_;
    const long nameHint_;
    const bool sfv_;
    Progress progress_;
    std::vector<ChecksumLine> group_;  // consecutive entries for one file
    size_t wellFormed_ = 0;
    size_t malformed_ = 0;
    size_t unreadable_ = 0;
    size_t mismatched_ = 0;
    size_t verified_ = 0;
    std::string firstReason_;  // why the first malformed line was refused, for the message
                               // of a list with no line taken
    bool failedOutput_ = false;
};

// A saved report starts with a ruler of '='; a line that starts with ten of them is taken for
// one, so that a damaged report is refused with its reader's reason.
const char kRuler[] = "==========";

int CheckList(const std::string& path, const Options& options, const std::vector<uint8_t>& key) {
    const std::string name = InputName(path);
    FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        PrintError(name, ErrnoText(errno));
        return kExitFailed;
    }
    char* buffer = nullptr;
    size_t capacity = 0;
    int status = kExitOk;
    size_t number = 0;
    ssize_t length;
    errno = 0;
    ListCheck check(path, options, key);
    bool givenUp = false;
    while ((length = ::getline(&buffer, &capacity, file)) >= 0) {
        std::string text(buffer, size_t(length));
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (++number == 1) {
            const std::string bom = "\xEF\xBB\xBF";
            const size_t skip = text.compare(0, 3, bom) == 0 ? 3 : 0;
            if (text.compare(skip, sizeof kRuler - 1, kRuler) == 0) {
                // A saved report: read it whole, as its reader wants.
                std::string content(buffer, size_t(length));
                while ((length = ::getline(&buffer, &capacity, file)) >= 0 &&
                       content.size() <= kMaxSavedReportBytes) {
                    content.append(buffer, size_t(length));
                }
                const bool failed = std::ferror(file) != 0;
                std::free(buffer);
                if (file != stdin) std::fclose(file);
                if (failed) {
                    PrintError(name, ErrnoText(errno));
                    return kExitFailed;
                }
                return CheckSavedReport(path, content, options, key);
            }
        }
        if (!check.Take(text, number)) {
            givenUp = true;
            break;
        }
    }
    const bool readFailed = !givenUp && std::ferror(file) != 0;
    const int readError = errno;
    std::free(buffer);
    if (file != stdin) std::fclose(file);
    if (givenUp) return kExitFailed;
    if (readFailed) {
        PrintError(name, ErrnoText(readError));
        status = kExitFailed;
        if (number == 0) return status;
    }
    const int result = check.Finish();
    return result != kExitOk ? result : status;
}

}  // namespace

int RunCheck(const Options& options, const std::vector<uint8_t>& key) {
    int status = kExitOk;
    for (const std::string& list : options.files) {
        if (CheckList(list, options, key) != kExitOk) status = kExitFailed;
    }
    return status;
}
