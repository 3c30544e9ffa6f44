// Records of bytes sorted in byte order outside memory: a list of any size is read in a few
// MiB.  Records are gathered into runs of at most a set number of bytes, each sorted and
// written to a scratch file (see OpenScratchFile), and the runs are merged as they are read.
// A record that is a prefix of another sorts first.
#ifndef KORVADEX_CLI_RECORD_SORT_H
#define KORVADEX_CLI_RECORD_SORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class RecordSort {
public:
    // Holds at most 48 MiB of records in memory before a run is written, or the bytes
    // KORVADEX_SORT_BYTES gives (at least 4096).
    RecordSort();
    ~RecordSort();
    RecordSort(const RecordSort&) = delete;
    RecordSort& operator=(const RecordSort&) = delete;

    // Adds a record.  False, with Reason(), when a run cannot be written.
    bool Add(const std::string& record);

    // Ends the adding and starts the reading, from the first record in byte order; called
    // again, reads them all again.  False, with Reason(), when the runs cannot be read.
    bool Start();

    // The next record in byte order.  False at the end, or when a run cannot be read: then
    // Reason() is not empty.
    bool Next(std::string& record);

    uint64_t Count() const { return count_; }
    const std::string& Reason() const { return reason_; }

private:
    class Run;
    void SortHeld();
    bool HeadAfter(size_t run, size_t other) const;
    bool WriteRun();
    bool Merge(size_t first, size_t count);
    bool Pull(size_t run);

    const size_t runBytes_;
    std::string arena_;                            // the records not yet in a run
    std::vector<std::pair<size_t, size_t>> held_;  // each one's start and length
    size_t heldAt_ = 0;                            // the next held record to read
    bool sorted_ = false;                          // the held records are sorted
    std::vector<std::unique_ptr<Run>> runs_;
    std::vector<std::string> heads_;  // each run's next record
    std::vector<size_t> heap_;        // the runs with a head, least first
    uint64_t count_ = 0;
    std::string reason_;
};

#endif
