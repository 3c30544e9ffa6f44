// The list of one shard of a job: a run split over machines (--shard K/N), or a run whose
// output goes through FILE.partial (-o), writes this JSON Lines list, and --merge turns the
// lists back into what one run on one machine writes.
//
//   {"shard_list":1,"job":{"command":"list","arguments":[...],"run_id":"...",
//    "key_check":"..."},"shard":[3,7],"folder":"/data","started":"2026-...Z"}
//   {"list_version":1,"name":"a/b.txt","size":12,...,"digests":{...},"operand":0}
//   {"failed":"b/c.txt","reason":"Permission denied","operand":0}
//   {"audit":"new","order":"/data/a/b.txt","file":{...a record...}}
//   {"update":"hashed","operand":7,"line":12,"file":{...a record...}}
//   {"check":"FAILED","line":9,"name":"a/b.txt","out":"a/b.txt: FAILED\n"}
//   {"known":true,"operand":0,"name":"a/b.txt"}
//   {"shard_end":1,"entries":412,"failed":1}
//
// The first line says which job and which shard the list is of.  "job" is what every shard
// of one job shares: the command, the arguments of the run on one machine (without --shard,
// -o, --output, --resume and --run-id), the --run-id given, and for a keyed run the HMAC of
// a fixed text under the key (never the key).  Then one line for each input: its record as
// a JSON list holds it, with "operand", the place of the input among those given (the FILE
// operands and names of --files-from, then the texts of --string), or the input that could
// not be read (for -c of a bag, with -o, of the bag's files, each at operand 0); or for
// --audit, a verdict; or for --check, the verdict on a line of the list checked; or for
// --known and --unknown, whether an input's digest is in the list; or for --check-embedded
// and --verify-cache, the verdict on an input, as a check's, with the input's operand in
// place of the line.  The last line says the shard is whole.
#ifndef KORVADEX_CLI_SHARD_LISTS_H
#define KORVADEX_CLI_SHARD_LISTS_H

#include <cstdint>
#include <string>
#include <vector>

#include "common/file_record.h"
#include "lists/list_document.h"

// The shard, from 1 to n, of an input named name as the run on one machine lists it: the
// first 8 bytes of the SHA-256 of its bytes, after any leading "./" is dropped, read as a
// big-endian number, modulo n, plus 1.
uint64_t ShardOfName(const std::string& name, uint64_t n);

// The first line of a shard's list.
struct ShardHeader {
    std::string command;                 // "list", "audit", "update", "check", "bag", "known",
                                         // "unknown", "check-embedded", "verify-cache"
    std::vector<std::string> arguments;  // the run's on one machine
    std::string runId;                   // --run-id, or ""
    std::string keyCheck;                // for a keyed run, or ""
    std::string listCheck;               // --update: the SHA-256 of the list read, or ""
    uint64_t k = 1, n = 1;               // shard k of n
    std::string folder;                  // where the shard ran
    FileTime started;                    // when the run (its first try) began
};

std::string ShardHeaderLine(const ShardHeader& header);

// The job of a header as one text: equal for the shards of one job, different otherwise.
std::string ShardJob(const ShardHeader& header);

// Whether line (without its line end) begins a shard's list.
bool StartsShardList(const std::string& line);

// False, with reason, when line is not a header this korvadex reads.
bool ParseShardHeader(const std::string& line, ShardHeader& header, std::string& reason);

// One line of a shard's list after its header.
struct ShardEntry {
    enum class Kind { kRecord, kFailed, kVerdict, kUpdate, kCheck, kKnown, kEnd };
    Kind kind = Kind::kRecord;
    uint64_t operand = 0;  // kRecord, kFailed and kKnown; kCheck: the line of the list, from 1
    FileRecord record;     // kRecord: the input's record; kFailed: its name; kVerdict: the file
    std::string reason;    // kFailed, and kVerdict of a file that could not be read
    uint64_t entries = 0, failed = 0;  // kEnd: the lines of each kind the shard wrote

    // kVerdict, of --audit: the verdict on a file, an entry of the list or both, before
    // files and entries of different shards are paired ("new" and "missing" may become
    // "moved" then).  The file's digests are upper-case, for every line the audit computes.
    std::string verdict;      // "matched", "changed", "unreadable", "new", "missing"
    std::string order;        // the key the verdicts are given in the order of
    bool hasFile = false;     // record is the file
    bool hasEntry = false;    // listed is the entry
    FileRecord listed;        // the entry: its name, size and values as the list holds them
    uint64_t listedLine = 0;  // the entry's line in the list, from 1

    // kUpdate, of --update: what became of a file given ("hashed" for a listed one, "added"
    // for a new one, "failed") or of an entry ("gone": its file is no more), with verdict
    // the word, operand the file's place among the files given, listedLine the line the
    // entry begins on in the list, from 1 (0 for a new file), record the file (its name as the list
    // would take it, its upper-case values, size and time) and reason for a failure.

    // kCheck of --check-embedded and --verify-cache: the verdict on the input at operand,
    // named record.name, with its word ("OK", "FAILED", "no CRC in name", "ok", "outdated",
    // "corrupt", "no cache", "unreadable"), text and reason as below.

    // kCheck, of --check: what became of a line of the list, with verdict the word ("OK",
    // "FAILED", "unreadable" and "missing" for a file that could not be read, "skipped" for
    // one --ignore-missing passes over, "filtered" for an entry --exclude or --include
    // leaves out, "malformed"), record.name the file the line names, text what the check
    // writes of it on standard output, and reason what it writes of it on standard error
    // (the file's failure, or with --warn why the line is malformed).
    std::string text;

    // kKnown, of --known and --unknown: whether the digest of the input named record.name
    // is in the list.
    bool known = false;
};

std::string ShardEntryLine(const ShardEntry& entry);

// False, with reason, when line is not a shard's entry line.
bool ParseShardEntry(const std::string& line, ShardEntry& entry, std::string& reason);

// The entry of a verdict of --audit (hasEntry) as the line of the list it was read from.
ListLine ListedLine(const ShardEntry& entry);

// Whether the walk of -r meets a before b: names compared folder by folder, each folder's
// names in byte order, so that "a/z" comes before "a-b".
bool WalkOrderLess(const std::string& a, const std::string& b);

#endif
