// The digests of a list, for --known and --unknown: every value of each algorithm the list
// holds, as raw bytes, sorted once the list is read and searched by halves, so that ten
// million digests take their bytes and little more, whatever the list's order.
#ifndef KORVADEX_CLI_KNOWN_SET_H
#define KORVADEX_CLI_KNOWN_SET_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Digests of one width, each held once: added in any order, then sorted by Finish, after
// which they are looked up.
class DigestSet {
public:
    explicit DigestSet(size_t width) : width_(width) {}

    size_t Width() const { return width_; }
    // The digests added, or after Finish, the different ones.
    size_t Count() const { return count_; }

    // Adds the digest written in hex (either case); false when it is not 2 * Width() hex
    // digits.
    bool AddHex(const std::string& hex);
    // Sorts the digests added into one block and drops the repeated ones.  The blocks they
    // were added in are freed one by one as they are moved, so that the bytes are held
    // about once throughout.
    void Finish();
    // Whether the digest written in hex is in the set; only after Finish.
    bool ContainsHex(const std::string& hex) const;

private:
    bool Decode(const std::string& hex, uint8_t* digest) const;

    size_t width_;
    size_t count_ = 0;
    std::vector<std::vector<uint8_t>> added_;  // the digests added, in blocks of a fixed size
    std::vector<uint8_t> sorted_;              // after Finish: count_ digests, in byte order
};

// The known digests of one list, per report line.
struct KnownSet {
    std::vector<size_t> lines;    // the lines with digests, in report order
    std::vector<DigestSet> sets;  // the digests of each
    std::vector<size_t> named;    // of each, the files of the list that have a digest of it
    size_t files = 0;             // the files the list names (its consecutive entries of one
                                  // name count once)
};

// Reads the list at path ("-": standard input) in any format that -c reads.  Keyed values
// are taken with a key (keyed set) and plain ones without.  only: the lines of -a, or empty
// for all.  The values of untagged lines take their line from -a, else from the list's name
// (SHA256SUMS), else from their width where only one line has it.  False, with reason set,
// when the list cannot be read, holds a line that cannot be taken, or no digest.  The sets
// are finished.
bool LoadKnownSet(const std::string& path, const std::vector<size_t>& only, bool keyed,
                  KnownSet& known, std::string& reason);

#endif
