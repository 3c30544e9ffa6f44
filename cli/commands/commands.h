// The commands of korvadex.  Each returns the process's exit status.
#ifndef KORVADEX_CLI_COMMANDS_H
#define KORVADEX_CLI_COMMANDS_H

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "options.h"
#include "report_lines.h"

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCorrupt = 3;  // --verify-cache: a file's value changed, its time did not

// The report of each FILE (and --save).
int RunReport(const Options& options, const std::vector<uint8_t>& key);

// Whether dir is a bag: a folder that holds bagit.txt.
bool IsBag(const std::string& dir);

// -c DIR of a bag: validates it (with --fast, its Payload-Oxum only).
int CheckBag(const Options& options, const std::string& dir);

struct ShardEntry;

// The verdicts and summary (out) and warnings (err) of -c on the bag options name, from the
// records of the files of its shard's list (-o) in place of the files; returns the exit
// status.
int BagVerdicts(const std::vector<ShardEntry>& records, const Options& options, std::string& out,
                std::string& err);

// --make-bag: makes the one FILE, a folder, a bag in place, or adds payload manifests to it.
int RunMakeBag(const Options& options);

// --check: the verdict of each line of a saved report.
int RunCheck(const Options& options, const std::vector<uint8_t>& key);

// --match: the lines whose value equals the one given.
int RunMatch(const Options& options, const std::vector<uint8_t>& key);

// --update: brings a checksum list up to date with the files given (see list_upkeep.h).
int RunUpdate(const Options& options, const std::vector<uint8_t>& key);

// --audit: one verdict for every file given and every entry of a checksum list.
int RunAudit(const Options& options, const std::vector<uint8_t>& key);
// --check-embedded: each file's CRC-32 against the one its name carries.
int RunCheckEmbedded(const Options& options);

// How many verdicts of --check-embedded or --verify-cache there were of each word.
using VerdictCounts = std::map<std::string, size_t>;

// Writes the summary of --check-embedded's verdicts on standard error, as options say;
// returns their exit status.
int CheckEmbeddedSummary(const VerdictCounts& counts, const Options& options);

// --embed-crc: each file renamed to carry its CRC-32.
int RunEmbedCrc(const Options& options);

// --verify-cache: each file read and its digests compared with the cached ones.
int RunVerifyCache(const Options& options);

// The exit status of --verify-cache's verdicts.
int VerifyCacheStatus(const VerdictCounts& counts);

// --tree: one value of each directory, or with --expect the verdict on it.
int RunTree(const Options& options, const std::vector<uint8_t>& key);

// --known, --unknown: the inputs whose digest is, or is not, in a list, names ignored.
int RunKnown(const Options& options, const std::vector<uint8_t>& key);

// --merge: the list the run on one machine would have written, from the lists of its shards.
int RunMerge(const Options& options);

// --list: the exact variant behind each line; with --paths, the way each line computes on
// this processor.
int RunList(bool paths);

// --self-test: runs the known answers of the given lines (kReportLines in the program)
// through their engines, one-shot and streamed, and writes one verdict per engine to out and
// the details of each wrong value to err.  Returns 0 when every value holds and every line
// has at least one, and out took every verdict; 1 otherwise.
int RunSelfTest(const ReportLine* lines, size_t count, FILE* out, FILE* err);

#endif
