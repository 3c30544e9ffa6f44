// The digests of a list, for --known and --unknown: every value of each algorithm the list
// holds, as raw bytes in one block per algorithm with a table of open addressing over it,
// so that a million digests take little more than their bytes and each look-up a few probes.
#ifndef KORVADEX_CLI_KNOWN_SET_H
#define KORVADEX_CLI_KNOWN_SET_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Digests of one width, each held once.
class DigestSet {
public:
    explicit DigestSet(size_t width) : width_(width) {}

    size_t Width() const { return width_; }
    size_t Count() const { return count_; }
    // The bytes the set holds, its table included.
    size_t Bytes() const { return bytes_.capacity() + slots_.capacity() * sizeof(uint32_t); }

    // Adds the digest written in hex (either case); false when it is not 2 * Width() hex
    // digits, or the set is full (2^32 - 1 digests).
    bool AddHex(const std::string& hex);
    // Whether the digest written in hex is in the set.
    bool ContainsHex(const std::string& hex) const;

private:
    bool Decode(const std::string& hex, uint8_t* digest) const;
    uint64_t Hash(const uint8_t* digest) const;
    // The slot of digest: where it is, or the empty slot where it would go.
    size_t Find(const uint8_t* digest) const;
    void Grow();

    size_t width_;
    size_t count_ = 0;
    std::vector<uint8_t> bytes_;   // count_ digests of width_ bytes, in the order added
    std::vector<uint32_t> slots_;  // 1 + the index of a digest, 0 for an empty slot
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
// when the list cannot be read, holds a line that cannot be taken, or no digest.
bool LoadKnownSet(const std::string& path, const std::vector<size_t>& only, bool keyed,
                  KnownSet& known, std::string& reason);

#endif
