// The ways an engine can compress, one short table per engine with more than one: each row
// names the way, what the processor needs for it, the test of those needs, and the routine.
// The rows stand fastest first and the portable code is always the last row, which every
// processor runs.  The engine takes the first row whose test passes on Cpu(), once; with
// KORVADEX_PORTABLE=1 every feature reads false and that is the portable row.
//
// The tables are declared beside their engines (sha0_sha1.h, sha256.h, ...): the tests set
// every row against the portable one, and `korvadex --list --paths` shows the row each line
// runs.
#ifndef KORVADEX_DIGESTS_COMPRESS_PATHS_H
#define KORVADEX_DIGESTS_COMPRESS_PATHS_H

#include <cstddef>

#include "cpu_features.h"

template <typename Routine>
struct CompressPath {
    const char* name;   // e.g. "SHA extensions"; the last row's is "portable"
    const char* needs;  // what the processor needs, e.g. "SHA extensions and SSE4.1"
    bool (*runs)(const CpuFeatures& cpu);
    Routine* routine;
};

template <typename Routine>
struct PathTable {
    const CompressPath<Routine>* rows;
    size_t count;

    const CompressPath<Routine>* begin() const { return rows; }
    const CompressPath<Routine>* end() const { return rows + count; }
    const CompressPath<Routine>& Portable() const { return rows[count - 1]; }

    // The first row whose test passes with the features.
    const CompressPath<Routine>& FirstThatRuns(const CpuFeatures& cpu) const {
        for (const CompressPath<Routine>& row : *this) {
            if (row.runs(cpu)) return row;
        }
        return Portable();
    }
};

template <typename Routine, size_t N>
constexpr PathTable<Routine> MakePathTable(const CompressPath<Routine> (&rows)[N]) {
    return {rows, N};
}

// The portable row's test.
inline bool RunsAnywhere(const CpuFeatures&) {
    return true;
}

// The row of the table that this processor runs, looked up once, and its routine.
template <const auto& kTable>
const auto& PathHere() {
    static const auto& row = kTable.FirstThatRuns(Cpu());
    return row;
}
template <const auto& kTable>
auto* RoutineHere() {
    static auto* const routine = PathHere<kTable>().routine;
    return routine;
}

#endif
