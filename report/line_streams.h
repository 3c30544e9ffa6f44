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
#include <functional>
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

    // Passes over the next `bytes` bytes without handing them out, before the first Read or
    // Lend: the lines go on from a saved state.  False when the input holds fewer bytes or
    // fails (the source is then spent).  A lending source may stop lending once nothing is
    // left to lend.  By default the bytes are read and dropped; a lending source must
    // override it.
    virtual bool Skip(uint64_t bytes);
};

// The views of a lending source that the lines hold at once, at most.
constexpr size_t kMaxLentViews = 4;

// A source over bytes in memory.
class MemorySource : public ChunkSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Read(uint8_t* data, size_t capacity, size_t& length) override;
    bool Skip(uint64_t bytes) override;

private:
    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};

// What became of a state given to go on from.
enum class ResumeOutcome {
    kNone,          // none was given
    kResumed,       // the lines went on from the state's offset
    kDamaged,       // not a state, another version, truncated, or its checksum fails
    kOtherMachine,  // saved on a machine of another byte order or word size
    kOtherLines,    // saved for other lines, or contexts of other sizes (another build)
    kKeyed,         // keyed lines never go on from a state
};

// A short text of an outcome, for messages ("the saved state is damaged", ...).
const char* ResumeOutcomeText(ResumeOutcome outcome);

// Saved states of the lines, from which a later process can go on without reading the input
// again from its start.  A state is the lines' contexts as bytes: it fits only a process of
// the same build on a machine of the same kind, and says so (magic, version, byte order, word
// size, the lines and their context sizes, a CRC-32 over the whole), so that any other is
// refused and the lines start over.  Keyed (HMAC) states hold what the key does: they are
// never saved.
//
// Every engine's streaming context (digests/stream_adapters.h and each family's context type)
// is plain bytes, numbers and arrays, without pointers: a copy is valid in another process.
// An engine whose context came to hold an address would have to be kept out of states.
struct StreamCheckpoints {
    uint64_t every = 0;  // bytes between saved states; 0: none saved
    // Called on the calling thread each time every line has taken exactly `offset` bytes (a
    // multiple of every) and the input is not yet known to end there, with a state from which
    // the lines can go on.  The chunks are cut at those offsets.
    std::function<void(uint64_t offset, const std::string& state)> save;
    // A state saved before, to go on from; empty: from the start.  The source skips to its
    // offset (ChunkSource::Skip).
    std::string resume;
    // Set by ComputeStreamedLines: what became of resume; when it is refused, the lines
    // start from the start of the input.
    ResumeOutcome outcome = ResumeOutcome::kNone;
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
    // States to save and one to go on from; null: none.
    StreamCheckpoints* checkpoints = nullptr;
};

// The default chunk size of the command line.
constexpr size_t kDefaultChunkSize = size_t(1) << 20;

// Computes the given lines (rows of kReportLines, or of a table like it) over the bytes of
// source, keyed (HMAC) when keyLength != 0; hex[i] gets the upper-case text of lines[i].
// On failure (kReadFailed, kEngineRefused or kOutOfMemory) hex is left with empty texts.
// With settings.checkpoints, states are saved as it says, and the lines go on from its
// resume state when it fits them (a source that cannot skip to its offset is kReadFailed).
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
// without saved states: the command line hashes the files large enough to save states for
// with ComputeStreamedLines, one at a time, and interleaves only smaller ones here.
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
