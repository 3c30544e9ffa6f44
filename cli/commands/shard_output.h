// The lists of runs split over machines (--shard K/N) and of runs that can be taken up again
// (-o FILE, --resume), and their merge (--merge).
//
// Such a run writes its inputs as a shard's list (lists/shard_lists.h): to standard output,
// or with -o to FILE.partial, one whole entry at a time, flushed as it goes, so that a run cut
// off at any point leaves a list that --resume takes up.  At its end the run writes FILE
// atomically: a shard its list, a whole run (no --shard) what it would have written to
// standard output, in its --format; then FILE.partial is removed.
#ifndef KORVADEX_CLI_COMMANDS_SHARD_OUTPUT_H
#define KORVADEX_CLI_COMMANDS_SHARD_OUTPUT_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "line_streams.h"
#include "lists/shard_lists.h"
#include "options.h"

class ShardOutput {
public:
    ShardOutput() = default;
    ~ShardOutput();
    ShardOutput(const ShardOutput&) = delete;
    ShardOutput& operator=(const ShardOutput&) = delete;

    // Begins the list of a run of command ("list", "audit", "update", "check", "bag",
    // "known", "unknown", "check-embedded", "verify-cache"): with -o in FILE.partial, taking
    // up the one an earlier try left with --resume, else on standard output.  listCheck: for
    // --update, --check, --known and --unknown, the SHA-256 of the list it reads, and for
    // -c of a bag, of what its manifests hold.  False, after a message, when it cannot.
    bool Begin(const Options& options, const std::vector<uint8_t>& key, const char* command,
               const std::string& listCheck = "");

    // Whether an input or entry named name is of this run's shard.
    bool InShard(const std::string& name) const;

    // Whether the input at operand (its place among those given; 0 for the files of an
    // audit), listed as name, is this run's to compute: of its shard, and after the last
    // input an earlier try wrote.
    bool Takes(uint64_t operand, const std::string& name) const;

    // Whether the line of a checked list comes after the last one an earlier try wrote.
    bool LineAhead(uint64_t line) const { return !resumed_ || line > lastOperand_; }

    // Whether an earlier try gave the entry at line of an audited list its verdict.
    bool EntryDone(uint64_t line) const { return doneLines_.count(line) != 0; }

    // Writes the record of an input, or that it could not be read.
    void Record(uint64_t operand, const FileRecord& record);
    void Failed(uint64_t operand, const std::string& name, const std::string& reason);
    // Writes whether the digest of an input, named name, is in the list of --known.
    void Known(uint64_t operand, const std::string& name, bool known);

    // Writes the verdict of -c, --check-embedded or --verify-cache on the input at operand
    // (for -c, the line of the list), named name: its word, text, what the run writes of it
    // on standard output, and reason, on standard error.
    void Verdict(uint64_t operand, const std::string& name, const std::string& word,
                 const std::string& text, const std::string& reason);

    // Writes lines, whole entries of the list: count of them, of which unreadable are of
    // inputs that could not be read and changes are verdicts of change.
    void WriteLines(const std::string& lines, size_t count, size_t unreadable, size_t changes);

    // The checkpoints of a file of a run with -o and no key, when it is large (see
    // docs/scale.md): its lines' states are saved at statePath, beside FILE.partial, as it is
    // hashed, and the state an earlier try saved of the same file, unchanged since, is taken
    // up.  Null for any other input.  They live as long as this ShardOutput.
    StreamCheckpoints* Checkpoints(uint64_t operand, const std::string& path,
                                   const std::string& name, bool keyed, std::string& statePath);

    // Gives up the list begun, of a run refused after Begin: FILE.partial goes, unless it
    // holds entries of an earlier try.
    void Abandon();

    // Ends the list and, with -o, writes FILE.  Says on standard error, for a shard, how it
    // went.  Returns the exit status: 1, after a message, when something could not be
    // written, an input could not be read, or (of --audit and --check) a verdict finds a
    // change; a whole check's, that of its verdicts, and a whole --known's, 1 also when it
    // names no input.
    int End(const Options& options);

private:
    void Write(const std::string& line);
    // Takes up the partial list of an earlier try; kept gets the bytes of it kept.  False,
    // after a message, when it is of another job or cannot be read.
    bool TakeUp(uint64_t& kept);

    ShardHeader header_;
    std::string target_;   // -o FILE
    std::string partial_;  // FILE.partial, or "" for standard output
    FILE* file_ = nullptr;
    bool writeFailed_ = false;
    bool takeUp_ = false;           // --resume
    bool resumed_ = false;          // an earlier try wrote inputs, the last of them:
    uint64_t lastOperand_ = 0;      // at this operand,
    std::string lastName_;          // of this name
    std::set<uint64_t> doneLines_;  // the audited entries of an earlier try
    std::vector<std::unique_ptr<StreamCheckpoints>> checkpoints_;
    uint64_t entries_ = 0, failed_ = 0, changes_ = 0;
};

// Writes what the run on one machine would have written from the shards' lists at paths:
// to options.outputPath (atomically) or to standard output, in the shards' --format, or in
// the one options give.  Returns the exit status: 1 (after a message naming it) for lists of
// different jobs, a shard missing or given twice, an entry in two shards, or an input that
// a shard could not read.
int MergeShardLists(const std::vector<std::string>& paths, const Options& options);

// Sets digest to the SHA-256 of the list at path, which the shards of one job, and the tries
// of one run, must all have read ("" for standard input).  False when it cannot be read.
bool ListDigest(const std::string& path, std::string& digest);

// The files given to a command that gives each its verdict (command, as Begin takes it), and
// their places among the operands: with --shard or -o, those this run takes (see Takes), its
// list begun in shard.  False, after a message, when that list cannot be begun; given is false
// when an operand could not be looked at.
bool TakenFiles(const Options& options, const char* command, ShardOutput& shard,
                std::vector<std::string>& files, std::vector<uint64_t>& operands, bool& given);

class OutputFile;

// Writes text to file, or to standard output when it is null.  False, with reason, when the
// file cannot be written.
bool Emit(OutputFile* file, const std::string& text, std::string& reason);

class SortedEntries;

// The verdicts of an audit from the verdicts of its shards' lists, those of files and the
// missing entries (sorted by the keys of their verdicts, outside memory), written to out (or
// standard output when null) as options say, and the summary; returns the exit status.
// written tells whether the verdicts were written.
int MergeAudit(const std::vector<ShardEntry>& verdicts, SortedEntries& missing,
               const Options& options, OutputFile* out, bool& written);

// The list of an update from the records of its shards' lists: the list options name, read
// again (it must still be the one whose SHA-256 is listCheck), with every record's values
// put in and the entries whose files are gone (by the lines they begin on) counted and with
// --prune dropped, written to out (or standard output when null) with the summary, the time
// started given to target, the file out writes.  tellFailures: name the files that could not
// be read.  Returns the exit status; written tells whether the list was written.
int MergeUpdate(const std::vector<ShardEntry>& records, const std::vector<bool>& gone,
                const Options& options, const std::string& listCheck, const FileTime& started,
                OutputFile* out, const std::string& target, bool tellFailures, bool& written);

#endif
