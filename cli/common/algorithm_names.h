// The names by which a report line may be chosen: its label, and the names other checksum
// tools give the same variant; the tags written and read in BSD-style lines; and the
// algorithm a list's file name stands for (SHA256SUMS, *.md5).
#ifndef KORVADEX_CLI_ALGORITHM_NAMES_H
#define KORVADEX_CLI_ALGORITHM_NAMES_H

#include <cstddef>
#include <string>
#include <vector>

// The index in kReportLines of the line named name (a label without its ": ", or another
// tool's name for the same variant; case, blanks, '-' and '_' do not matter).  Returns -1
// for an unknown name, -2 for a name that is refused because it stands for a variant the
// report does not have; why is then set to the reason.
long FindAlgorithm(const std::string& name, std::string* why = nullptr);

// The known names closest to name, for a message: "sha256, sha384", or "" when none is close.
std::string NearestAlgorithmNames(const std::string& name);

// Parses a -a value: names separated by commas ("md5,sha1"); a piece that is only digits
// belongs to the name before it, as in haval128,3.  Appends the lines found to lines (kept in
// report order without repeats) or returns false with error set.
bool ParseAlgorithmList(const std::string& value, std::vector<size_t>& lines, std::string& error);

// The line's name in --list as one word: in lower case, without blanks and hyphens, and a
// count in parentheses after a comma ("sha256", "haval128,3"); FindAlgorithm takes it.
std::string PlainName(size_t line);

// The tag that --format bsd writes before " (NAME) = ": the one coreutils or rhash write
// for the line, else the line's name.
std::string BsdTag(size_t line);

// The other names of the line, and how a name that means another variant elsewhere is
// taken here, for --list: "; also: sha256, sha2-256" or "".
std::string AlgorithmNamesNote(size_t line);

// The line that a list named path is for, from its base name (SHA256SUMS, x.sha1, MD5SUMS,
// x.sfv); -1 when the name says nothing.
long AlgorithmOfListName(const std::string& path);

// lines in the order they are tried on the files of an untagged list whose algorithm
// nothing names: the commonest and cheapest first; the others follow in report order.
std::vector<size_t> LikeliestFirst(std::vector<size_t> lines);

#endif
