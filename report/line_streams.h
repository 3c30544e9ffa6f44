// Computing report lines over an input read once, in chunks: every chunk feeds every line,
// so an input of any size is hashed in a few buffers' worth of memory.
//
// Line groups may run on several threads.  The calling thread reads the chunks into a few
// shared buffers; each worker runs its lines over every buffer in order, and a buffer is
// filled again once every worker is done with it.  No worker gets a copy of the input, and
// the results do not depend on the number of threads.  A source that lends its bytes in
// place (a mapped file) needs no buffers: its views take their place, and one worker runs
// on the calling thread itself, since there is no copy to overlap with the hashing.
#ifndef KORVADEX_REPORT_LINE_STREAMS_H
#define KORVADEX_REPORT_LINE_STREAMS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "report_text.h"

// The bytes of one input, in order.
class ChunkSource {
public:
    virtual ~ChunkSource() = default;
    // Fills data with the next bytes, at most capacity, and sets length to their number:
    // fewer than capacity only at the end of the input (0 once nothing is left).  Returns
    // false on a failure, which the source describes in its own terms.
    virtual bool Read(uint8_t* data, size_t capacity, size_t& length) = 0;

    // A source whose bytes can be seen where they are (a mapped file) lends them instead of
    // copying them, when Lends() says so; the lines then take every byte from Lend and
    // never call Read.  Lend sets data and length to the next bytes, never fewer than one,
    // and last once they end the input; the bytes stay readable until they are handed back
    // with GiveBack.  At most kMaxLentViews views are out at once, handed back in any
    // order.  GiveBack returns false when the view's bytes turned out not to be the input's
    // (the file shrank under them): the lines' results are then void.
    virtual bool Lends() const { return false; }
    virtual bool Lend(const uint8_t*& data, size_t& length, bool& last);
    virtual bool GiveBack(const uint8_t* data);
};

// The views of a lending source that the lines hold at once, at most.
constexpr size_t kMaxLentViews = 4;

// A source over bytes in memory.
class MemorySource : public ChunkSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Read(uint8_t* data, size_t capacity, size_t& length) override;

private:
    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};

struct StreamSettings {
    unsigned jobs = 1;            // worker threads at most; 0: one per core
    size_t chunkSize = 1u << 20;  // bytes per buffer
    // Every line runs on the calling thread, between its reads, into one buffer: no thread
    // is started (jobs is not looked at).  For callers that run several inputs at once, one
    // per thread.
    bool callerOnly = false;
    // With callerOnly: a buffer the caller keeps for the thread's next inputs, resized to
    // the chunk size as needed; null: the input has one of its own.
    std::vector<uint8_t>* callerBuffer = nullptr;
};

// The default chunk size of the command line.
constexpr size_t kDefaultChunkSize = size_t(1) << 20;

// Computes the given lines (rows of kReportLines, or of a table like it) over the bytes of
// source, keyed (HMAC) when keyLength != 0; hex[i] gets the upper-case text of lines[i].
// On failure (kReadFailed, kEngineRefused or kOutOfMemory) hex is left with empty texts.
ReportStatus ComputeStreamedLines(ChunkSource& source, const std::vector<const ReportLine*>& lines,
                                  const uint8_t* key, size_t keyLength,
                                  const StreamSettings& settings, std::vector<std::string>& hex);

// The inputs that ComputeLanedLines takes at once, at most.
constexpr size_t kMaxLanedSources = 16;

// Whether a line is of an engine that ComputeLanedLines runs as interleaved chains (MD2 and
// Snefru).
bool LanedLine(const ReportLine& line);

// The inputs that ComputeLanedLines should be given at once for these lines: with an MD2
// line among them, the lanes that run MD2 fastest on this processor (Md2ChosenLanes, which
// the first call measures); otherwise 8, where Snefru's lanes gain no more.
size_t LanedSources(const std::vector<const ReportLine*>& lines);

// Computes the given lines, unkeyed, over each of several sources (at most kMaxLanedSources),
// all on the calling thread: the lines of MD2 and Snefru step the chains of every source
// together, interleaved, which runs them several times as fast as one source after another;
// the other lines take each chunk of each source in turn.  The sources are read by turns, a
// chunk of chunkSize bytes of each, into one buffer per source.  status[s] and hex[s] are
// ComputeStreamedLines's status and texts for sources[s].
void ComputeLanedLines(const std::vector<ChunkSource*>& sources,
                       const std::vector<const ReportLine*>& lines, size_t chunkSize,
                       std::vector<ReportStatus>& status,
                       std::vector<std::vector<std::string>>& hex);

// The positions in `lines` dealt to at most `workers` workers: the lines of one engine stay
// together (they share its code and tables in the cache), and each engine's lines go, the
// costliest engine first, to the worker with the least cost so far, so that the workers'
// summed costs come out as even as the engines allow.  Empty workers are left out.
std::vector<std::vector<size_t>> DealLines(const std::vector<const ReportLine*>& lines,
                                           unsigned workers);

#endif
