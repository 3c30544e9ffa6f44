// The same algorithms in the peer libraries installed on this machine, for measuring our
// engines beside them.  Each peer is named by the report line it computes.
#ifndef KORVADEX_BENCH_PEER_DIGESTS_H
#define KORVADEX_BENCH_PEER_DIGESTS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PeerDigest {
    std::string library;
    std::string label;  // the report label without ": "
    // Digest of n bytes into out (at most 64 bytes, checksums most significant byte first).
    void (*digest)(const uint8_t* data, size_t n, uint8_t* out);
    // True when the peer uses a path plain scalar code cannot (SHA extensions, AVX2,
    // carry-less multiplication, or a CRC that takes several bytes per table step).
    bool accelerated;
};

// Every peer compiled into this benchmark.
std::vector<PeerDigest> PeerDigests();

#endif
