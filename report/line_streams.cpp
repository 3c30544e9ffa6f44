#include "line_streams.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "bytes_to_hex.h"
#include "checksums.h"
#include "hmac.h"
#include "md2.h"
#include "md2_lanes.h"
#include "snefru.h"
#include "snefru_lanes.h"

namespace {

// Buffers (or lent views) shared by the reader and the workers: enough for the reader to
// fill one while the workers are busy with the others, and for a fast worker to run a
// little ahead.
constexpr size_t kBufferCount = kMaxLentViews;

// The summed cost (ReportLine::cost) of lines that hash a chunk in a fraction of the time
// its copy from the system takes: up to three checksums (with five, the worker is ahead).
constexpr double kCopyBoundCost = 0.07;

// C++17's aligned operator new rather than std::aligned_alloc, which the 32-bit Windows
// runtime does not have.
struct AlignedDeleter {
    void operator()(void* p) const { ::operator delete(p, std::align_val_t(kStreamContextAlign)); }
};
using AlignedBlock = std::unique_ptr<uint8_t, AlignedDeleter>;

size_t Rounded(size_t size) {
    return (size + kStreamContextAlign - 1) / kStreamContextAlign * kStreamContextAlign;
}

AlignedBlock AllocateAligned(size_t size) {
    return AlignedBlock(static_cast<uint8_t*>(
        ::operator new(Rounded(size), std::align_val_t(kStreamContextAlign), std::nothrow)));
}

// One line's computation over a context of its own: the engine over the message, or HMAC
// of it.
class LineStream {
public:
    // The bytes of context the line needs, keyed or not.
    static size_t ContextSize(const ReportLine& line, bool keyed) {
        return Rounded(keyed ? HmacStreamContextSize(*line.stream) : line.stream->contextSize);
    }

    // Seeds the computation in context; false when the engine refuses the line's bits and
    // passes.
    bool Begin(const ReportLine& line, void* context, const uint8_t* key, size_t keyLength) {
        line_ = &line;
        context_ = context;
        keyed_ = keyLength != 0;
        if (keyed_) {
            return HmacStreamInit(context, *line.stream, line.size, key, keyLength, line.bits,
                                  line.passes);
        }
        return line.stream->init(context, line.bits, line.passes);
    }

    void Update(const uint8_t* data, size_t length) {
        if (keyed_) {
            HmacStreamUpdate(context_, data, length);
        } else {
            line_->stream->update(context_, data, length);
        }
    }

    std::string Finish() {
        uint8_t digest[kMaxDigestLength];
        if (keyed_) {
            HmacStreamFinal(context_, digest);
        } else {
            line_->stream->final(context_, digest);
        }
        return DigestText(*line_, digest);
    }

    // The upper-case text of a digest of line, its bytes in order.
    static std::string DigestText(const ReportLine& line, const uint8_t* digest) {
        const size_t length = DigestLength(line.size);
        DigestResult result = DigestAddress(digest);
        if (length <= 4) {
            // A checksum: BytesToHex takes its value.
            result = 0;
            for (size_t i = 0; i < length; ++i) result = result << 8 | digest[i];
        }
        char text[2 * kMaxDigestLength + 1];
        BytesToHex(result, line.size, text, 1);
        return text;
    }

private:
    const ReportLine* line_ = nullptr;
    void* context_ = nullptr;
    bool keyed_ = false;
};

// The chunks in the workers' hands, and what the reader and the workers tell each other
// about them.  Chunk `sequence` takes slot sequence % kBufferCount.
class ChunkRing {
public:
    // Before the first chunk is published: the number of workers that take every chunk.
    void SetWorkers(unsigned workers) { workers_ = workers; }

    // Reader: waits until every worker is done with what the slot of chunk `sequence` held.
    void WaitFree(uint64_t sequence) {
        Buffer& buffer = buffers_[sequence % kBufferCount];
        std::unique_lock<std::mutex> lock(mutex_);
        freed_.wait(lock, [&] { return buffer.pending == 0; });
    }

    // Reader: chunk `sequence` is the length bytes at data; last when the input ends with it.
    void Publish(uint64_t sequence, const uint8_t* data, size_t length, bool last) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Buffer& buffer = buffers_[sequence % kBufferCount];
            buffer.data = data;
            buffer.length = length;
            buffer.pending = workers_;
            published_ = sequence + 1;
            ended_ = last;
        }
        filled_.notify_all();
    }

    // Reader: no more chunks (the input ended with the last one published, or failed).
    void End() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ended_ = true;
        }
        filled_.notify_all();
    }

    // Worker: waits for chunk `sequence`; false when the input ended before it.
    bool Take(uint64_t sequence, const uint8_t*& data, size_t& length) {
        std::unique_lock<std::mutex> lock(mutex_);
        filled_.wait(lock, [&] { return published_ > sequence || ended_; });
        if (published_ <= sequence) return false;
        const Buffer& buffer = buffers_[sequence % kBufferCount];
        data = buffer.data;
        length = buffer.length;
        return true;
    }

    // Worker: done with chunk `sequence`; the last worker on it frees its buffer.
    void Release(uint64_t sequence) {
        bool freed;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            freed = --buffers_[sequence % kBufferCount].pending == 0;
        }
        if (freed) freed_.notify_one();
    }

private:
    struct Buffer {
        const uint8_t* data = nullptr;
        size_t length = 0;
        unsigned pending = 0;  // workers yet to run over it
    };
    unsigned workers_ = 0;
    Buffer buffers_[kBufferCount];
    std::mutex mutex_;
    std::condition_variable filled_;
    std::condition_variable freed_;
    uint64_t published_ = 0;
    bool ended_ = false;
};

// A saved state of the lines, in the byte order of the machine that saves it:
//   magic (8 bytes), byte order mark, word size, version (32 bits each);
//   the lines: their count (32 bits), then for each its label's length (32 bits), its label,
//   its bits and passes (32 bits each) and its context size (64 bits);
//   the offset (64 bits); the contexts' bytes, line after line;
//   CRC-32 of everything before it (32 bits).
constexpr char kStateMagic[8] = {'K', 'V', 'X', 'S', 'T', 'A', 'T', 'E'};
constexpr uint32_t kByteOrderMark = 0x01020304;
constexpr uint32_t kStateVersion = 1;
constexpr size_t kStateHeadLength = sizeof kStateMagic + 3 * sizeof(uint32_t);

class StateWriter {
public:
    void Put(const void* data, size_t length) {
        bytes_.append(static_cast<const char*>(data), length);
    }
    template <typename T>
    void PutValue(T value) {
        Put(&value, sizeof value);
    }
    std::string& Bytes() { return bytes_; }

private:
    std::string bytes_;
};

uint32_t StateChecksum(const char* data, size_t length) {
    uint32_t crc = 0;
    while (length != 0) {
        const size_t part = std::min<size_t>(length, size_t(1) << 30);
        crc = Crc32Update(reinterpret_cast<const uint8_t*>(data), uint32_t(part), crc);
        data += part;
        length -= part;
    }
    return crc;
}

// The part of a state that names the lines and their context sizes.
std::string LinesDescription(const std::vector<const ReportLine*>& lines) {
    StateWriter writer;
    writer.PutValue(uint32_t(lines.size()));
    for (const ReportLine* line : lines) {
        const size_t length = std::strlen(line->label);
        writer.PutValue(uint32_t(length));
        writer.Put(line->label, length);
        writer.PutValue(line->bits);
        writer.PutValue(line->passes);
        writer.PutValue(uint64_t(line->stream->contextSize));
    }
    return std::move(writer.Bytes());
}

// The state of the lines, whose contexts are at offsets in contexts, once they have taken
// `offset` bytes.
std::string SaveState(const std::vector<const ReportLine*>& lines, const uint8_t* contexts,
                      const std::vector<size_t>& offsets, uint64_t offset) {
    StateWriter writer;
    writer.Put(kStateMagic, sizeof kStateMagic);
    writer.PutValue(kByteOrderMark);
    writer.PutValue(uint32_t(sizeof(void*)));
    writer.PutValue(kStateVersion);
    const std::string description = LinesDescription(lines);
    writer.Put(description.data(), description.size());
    writer.PutValue(offset);
    for (size_t i = 0; i < lines.size(); ++i)
        writer.Put(contexts + offsets[i], lines[i]->stream->contextSize);
    writer.PutValue(StateChecksum(writer.Bytes().data(), writer.Bytes().size()));
    return std::move(writer.Bytes());
}

// Whether state is one of these lines, saved on a machine of this kind and whole: then offset
// gets its offset and saved the address of its contexts' bytes in it.
ResumeOutcome ReadState(const std::string& state, const std::vector<const ReportLine*>& lines,
                        uint64_t& offset, const char*& saved) {
    uint32_t head[3];
    if (state.size() < kStateHeadLength + sizeof(uint32_t) ||
        std::memcmp(state.data(), kStateMagic, sizeof kStateMagic) != 0) {
        return ResumeOutcome::kDamaged;
    }
    std::memcpy(head, state.data() + sizeof kStateMagic, sizeof head);
    if (head[0] != kByteOrderMark || head[1] != sizeof(void*)) return ResumeOutcome::kOtherMachine;
    const size_t body = state.size() - sizeof(uint32_t);
    uint32_t checksum;
    std::memcpy(&checksum, state.data() + body, sizeof checksum);
    if (head[2] != kStateVersion || checksum != StateChecksum(state.data(), body))
        return ResumeOutcome::kDamaged;
    const std::string description = LinesDescription(lines);
    const size_t shared = std::min(body - kStateHeadLength, description.size());
    if (state.compare(kStateHeadLength, shared, description, 0, shared) != 0)
        return ResumeOutcome::kOtherLines;
    if (shared < description.size()) return ResumeOutcome::kDamaged;
    size_t contextBytes = 0;
    for (const ReportLine* line : lines) contextBytes += line->stream->contextSize;
    const size_t at = kStateHeadLength + description.size();
    if (body - at != sizeof offset + contextBytes) return ResumeOutcome::kDamaged;
    std::memcpy(&offset, state.data() + at, sizeof offset);
    saved = state.data() + at + sizeof offset;
    return ResumeOutcome::kResumed;
}

}  // namespace

const char* ResumeOutcomeText(ResumeOutcome outcome) {
    switch (outcome) {
        case ResumeOutcome::kNone:
            return "no saved state";
        case ResumeOutcome::kResumed:
            return "went on from the saved state";
        case ResumeOutcome::kDamaged:
            return "the saved state is damaged";
        case ResumeOutcome::kOtherMachine:
            return "the saved state is of another kind of machine";
        case ResumeOutcome::kOtherLines:
            return "the saved state is of other lines or another build";
        case ResumeOutcome::kKeyed:
            return "keyed lines do not go on from a saved state";
    }
    return "";
}

bool ChunkSource::Skip(uint64_t bytes) {
    const size_t most = size_t(std::min<uint64_t>(bytes, kDefaultChunkSize));
    std::unique_ptr<uint8_t[]> dropped(new (std::nothrow) uint8_t[std::max<size_t>(most, 1)]);
    if (!dropped) return false;
    while (bytes != 0) {
        const size_t capacity = size_t(std::min<uint64_t>(bytes, most));
        size_t length = 0;
        if (!Read(dropped.get(), capacity, length) || length < capacity) return false;
        bytes -= length;
    }
    return true;
}

bool ChunkSource::Lend(const uint8_t*&, size_t&, bool&) {
    return false;
}

bool ChunkSource::GiveBack(const uint8_t*) {
    return false;
}

bool MemorySource::Read(uint8_t* data, size_t capacity, size_t& length) {
    length = std::min(capacity, size_ - offset_);
    if (length != 0) std::memcpy(data, data_ + offset_, length);
    offset_ += length;
    return true;
}

bool MemorySource::Skip(uint64_t bytes) {
    if (bytes > size_ - offset_) return false;
    offset_ += size_t(bytes);
    return true;
}

bool LanedLine(const ReportLine& line) {
    return line.engine == Md2Digest || line.engine == SnefruDigest;
}

size_t LanedSources(const std::vector<const ReportLine*>& lines) {
    const bool md2 = std::any_of(lines.begin(), lines.end(),
                                 [](const ReportLine* line) { return line->engine == Md2Digest; });
    return md2 ? Md2ChosenLanes().count : 8;
}

void ComputeLanedLines(const std::vector<ChunkSource*>& sources,
                       const std::vector<const ReportLine*>& lines, size_t chunkSize,
                       std::vector<ReportStatus>& status,
                       std::vector<std::vector<std::string>>& hex) {
    const size_t count = std::min(sources.size(), kMaxLanedSources);
    status.assign(sources.size(), ReportStatus::kOutOfMemory);
    hex.assign(sources.size(), std::vector<std::string>(lines.size()));
    chunkSize = std::max<size_t>(chunkSize, 64);

    // The laned lines: one set of lanes each, a lane per source.  The others: a context per
    // line and source.
    std::vector<size_t> laned, plain;
    for (size_t i = 0; i < lines.size(); ++i) (LanedLine(*lines[i]) ? laned : plain).push_back(i);
    std::vector<std::unique_ptr<Md2Lanes>> md2(lines.size());
    std::vector<std::unique_ptr<SnefruLanes>> snefru(lines.size());
    size_t contextBytes = 0;
    for (size_t i : plain) contextBytes += LineStream::ContextSize(*lines[i], false);
    AlignedBlock contexts = AllocateAligned(std::max<size_t>(contextBytes * count, 1));
    AlignedBlock buffers = AllocateAligned(chunkSize * count);
    if (!contexts || !buffers) return;
    std::vector<LineStream> streams(plain.size() * count);
    std::vector<bool> open(count, true);
    for (size_t s = 0; s < count; ++s) {
        status[s] = ReportStatus::kOk;
        size_t offset = contextBytes * s;
        for (size_t k = 0; k < plain.size(); ++k) {
            const ReportLine& line = *lines[plain[k]];
            if (!streams[s * plain.size() + k].Begin(line, contexts.get() + offset, nullptr, 0))
                status[s] = ReportStatus::kEngineRefused;
            offset += LineStream::ContextSize(line, false);
        }
    }
    for (size_t i : laned) {
        if (lines[i]->engine == Md2Digest) {
            md2[i].reset(new (std::nothrow) Md2Lanes(count));
            if (!md2[i]) return;
            for (size_t s = 0; s < count; ++s) md2[i]->Start(s);
            continue;
        }
        snefru[i].reset(new (std::nothrow) SnefruLanes(count));
        if (!snefru[i]) return;
        for (size_t s = 0; s < count; ++s) {
            if (!snefru[i]->Start(s, lines[i]->bits, lines[i]->passes))
                status[s] = ReportStatus::kEngineRefused;
        }
    }
    for (size_t s = 0; s < count; ++s) open[s] = status[s] == ReportStatus::kOk;

    // Round after round, a chunk of every source still open, then the lanes step together.
    for (bool any = true; any;) {
        any = false;
        for (size_t s = 0; s < count; ++s) {
            if (!open[s]) continue;
            uint8_t* data = buffers.get() + s * chunkSize;
            size_t length = 0;
            if (!sources[s]->Read(data, chunkSize, length)) {
                status[s] = ReportStatus::kReadFailed;
                open[s] = false;
                continue;
            }
            const bool last = length < chunkSize;
            for (size_t k = 0; k < plain.size(); ++k)
                streams[s * plain.size() + k].Update(data, length);
            for (size_t i : laned) {
                if (md2[i]) {
                    md2[i]->Feed(s, data, length);
                    if (last) md2[i]->End(s);
                } else {
                    snefru[i]->Feed(s, data, length);
                    if (last) snefru[i]->End(s);
                }
            }
            open[s] = !last;
            any = any || !last;
        }
        // The buffers are filled again only after this: the lanes read the blocks in place.
        for (size_t i : laned) {
            if (md2[i]) {
                md2[i]->Compress();
            } else {
                snefru[i]->Compress();
            }
        }
    }
    for (size_t s = 0; s < count; ++s) {
        if (status[s] != ReportStatus::kOk) {
            hex[s].assign(lines.size(), std::string());
            continue;
        }
        for (size_t k = 0; k < plain.size(); ++k)
            hex[s][plain[k]] = streams[s * plain.size() + k].Finish();
        for (size_t i : laned) {
            const uint8_t* digest = md2[i] ? md2[i]->Digest(s) : snefru[i]->Digest(s);
            hex[s][i] = LineStream::DigestText(*lines[i], digest);
        }
    }
}

std::vector<std::vector<size_t>> DealLines(const std::vector<const ReportLine*>& lines,
                                           unsigned workers) {
    struct Group {
        DigestFn engine;
        std::vector<size_t> positions;
        double cost;
    };
    std::vector<Group> groups;
    for (size_t i = 0; i < lines.size(); ++i) {
        auto same = std::find_if(groups.begin(), groups.end(),
                                 [&](const Group& g) { return g.engine == lines[i]->engine; });
        if (same == groups.end())
            same = groups.insert(groups.end(), Group{lines[i]->engine, {}, 0});
        same->positions.push_back(i);
        same->cost += lines[i]->cost;
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const Group& a, const Group& b) { return a.cost > b.cost; });
    std::vector<std::vector<size_t>> dealt(std::max(1u, workers));
    std::vector<double> load(dealt.size(), 0);
    for (const Group& group : groups) {
        const size_t least = size_t(std::min_element(load.begin(), load.end()) - load.begin());
        dealt[least].insert(dealt[least].end(), group.positions.begin(), group.positions.end());
        load[least] += group.cost;
    }
    dealt.erase(std::remove_if(dealt.begin(), dealt.end(),
                               [](const std::vector<size_t>& d) { return d.empty(); }),
                dealt.end());
    return dealt;
}

ReportStatus ComputeStreamedLines(ChunkSource& source, const std::vector<const ReportLine*>& lines,
                                  const uint8_t* key, size_t keyLength,
                                  const StreamSettings& settings, std::vector<std::string>& hex) {
    hex.assign(lines.size(), std::string());
    const bool keyed = keyLength != 0;

    // One context per line, side by side in one block.
    std::vector<size_t> offsets;
    size_t contextBytes = 0;
    for (const ReportLine* line : lines) {
        offsets.push_back(contextBytes);
        contextBytes += LineStream::ContextSize(*line, keyed);
    }

    // The bytes the chunks handed out reach, and the next offset to save a state at.
    StreamCheckpoints* const checkpoints = settings.checkpoints;
    uint64_t position = 0;
    const char* saved = nullptr;
    if (checkpoints != nullptr) {
        ResumeOutcome& outcome = checkpoints->outcome;
        outcome = ResumeOutcome::kNone;
        if (!checkpoints->resume.empty()) {
            outcome = keyed ? ResumeOutcome::kKeyed
                            : ReadState(checkpoints->resume, lines, position, saved);
        }
        if (outcome != ResumeOutcome::kResumed) {
            position = 0;
            saved = nullptr;
        } else if (!source.Skip(position)) {
            return ReportStatus::kReadFailed;
        }
    }
    const uint64_t every =
        checkpoints != nullptr && checkpoints->save && !keyed ? checkpoints->every : 0;
    uint64_t mark = every != 0 ? (position / every + 1) * every : UINT64_MAX;

    const bool lending = source.Lends();
    const size_t chunkSize = std::max<size_t>(settings.chunkSize, 64);
    AlignedBlock contexts = AllocateAligned(std::max<size_t>(contextBytes, 1));
    // A lending source needs no buffers; the calling thread alone needs one, the caller's
    // where it keeps one.  (Not a thread_local: the destructors of those run too late on some
    // systems' threads.)
    AlignedBlock buffers;
    uint8_t* memory = nullptr;
    if (!lending && settings.callerOnly && settings.callerBuffer != nullptr) {
        try {
            settings.callerBuffer->resize(chunkSize);
            memory = settings.callerBuffer->data();
        } catch (const std::bad_alloc&) {
            return ReportStatus::kOutOfMemory;
        }
    } else if (!lending) {
        buffers = AllocateAligned((settings.callerOnly ? 1 : kBufferCount) * chunkSize);
        memory = buffers.get();
    }
    if (!contexts || (!lending && memory == nullptr)) return ReportStatus::kOutOfMemory;

    std::vector<LineStream> streams(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!streams[i].Begin(*lines[i], contexts.get() + offsets[i], key, keyLength))
            return ReportStatus::kEngineRefused;
    }
    // Seeded first all the same: an engine may build its tables on its first seeding.
    for (size_t i = 0; saved != nullptr && i < lines.size(); ++i) {
        std::memcpy(contexts.get() + offsets[i], saved, lines[i]->stream->contextSize);
        saved += lines[i]->stream->contextSize;
    }
    auto finish = [&] {
        for (size_t i = 0; i < lines.size(); ++i) hex[i] = streams[i].Finish();
        return ReportStatus::kOk;
    };
    // Every line has taken the bytes up to the mark: their state goes out.  (A state there is
    // no memory to build is not saved; the next one may be.)
    auto save = [&] {
        try {
            checkpoints->save(position, SaveState(lines, contexts.get(), offsets, position));
        } catch (const std::bad_alloc&) {
        }
        mark += every;
    };
    // The view lent last, and what of it the chunks have yet to take: a view is cut at the
    // marks.
    const uint8_t* view = nullptr;
    const uint8_t* rest = nullptr;
    size_t restLength = 0;
    bool restLast = false;
    // The next chunk, into the buffer of `slot` or lent, up to the mark at most; last when the
    // input ends with it; back: the view to hand back once the chunk is done, or null when
    // the chunk does not end one.
    auto next = [&](size_t slot, const uint8_t*& data, size_t& length, bool& last,
                    const uint8_t*& back) {
        const uint64_t room = mark - position;
        if (lending) {
            if (restLength == 0) {
                if (!source.Lend(view, restLength, restLast)) return false;
                rest = view;
            }
            data = rest;
            length = size_t(std::min<uint64_t>(restLength, room));
            rest += length;
            restLength -= length;
            last = restLast && restLength == 0;
            back = restLength == 0 ? view : nullptr;
        } else {
            const size_t capacity = size_t(std::min<uint64_t>(chunkSize, room));
            uint8_t* buffer = memory + slot * chunkSize;
            data = buffer;
            back = nullptr;
            if (!source.Read(buffer, capacity, length)) return false;
            last = length < capacity;
        }
        position += length;
        return true;
    };
    // This thread alone runs every line over each chunk, from `data` on.
    auto alone = [&](const uint8_t* data, size_t length, bool last, const uint8_t* back) {
        for (;;) {
            for (LineStream& stream : streams) stream.Update(data, length);
            if (back != nullptr && !source.GiveBack(back)) return ReportStatus::kReadFailed;
            if (last) return finish();
            if (position == mark) save();
            if (!next(0, data, length, last, back)) return ReportStatus::kReadFailed;
        }
    };

    // An input that ends within the first chunk is hashed here, without threads.
    const uint8_t* data = nullptr;
    const uint8_t* back = nullptr;
    size_t length = 0;
    bool last = false;
    if (!next(0, data, length, last, back)) return ReportStatus::kReadFailed;
    if (last || settings.callerOnly) return alone(data, length, last, back);

    // Lines that hash far faster than the chunks are copied in (the checksums) finish sooner
    // in this thread between reads, on a chunk that the copy has just left in the cache, than
    // on a worker beside the reader: a busy second thread slows the copy, and waking the
    // worker for each chunk costs the reader more time than the hashing.
    double cost = 0;
    for (const ReportLine* line : lines) cost += line->cost;
    if (!lending && cost <= kCopyBoundCost) return alone(data, length, last, back);

    const unsigned jobs =
        settings.jobs != 0 ? settings.jobs : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::vector<size_t>> dealt = DealLines(lines, jobs);
    // One worker over lent views: no copy to wait for, so no thread to hand them to.
    if (dealt.size() == 1 && lending) return alone(data, length, last, back);
    ChunkRing ring;
    // A worker reads its list of lines only once the first chunk is published.
    auto work = [&](size_t worker) {
        const uint8_t* bytes;
        size_t size;
        for (uint64_t sequence = 0; ring.Take(sequence, bytes, size); ++sequence) {
            for (size_t i : dealt[worker]) streams[i].Update(bytes, size);
            ring.Release(sequence);
        }
    };
    std::vector<std::thread> threads;
    try {
        for (size_t w = 0; w < dealt.size(); ++w) threads.emplace_back(work, w);
    } catch (const std::system_error&) {
        // No room for another thread: the ones started share the lines of the others.
    }
    // Not even one: this thread reads and hashes by turns.
    if (threads.empty()) return alone(data, length, last, back);
    for (size_t w = threads.size(); w < dealt.size(); ++w) {
        std::vector<size_t>& to = dealt[w % threads.size()];
        to.insert(to.end(), dealt[w].begin(), dealt[w].end());
    }
    ring.SetWorkers(unsigned(threads.size()));
    // The views to hand back once the chunk of a slot is done.
    const uint8_t* held[kBufferCount] = {};
    auto giveBack = [&](const uint8_t*& before) {
        const bool good = before == nullptr || source.GiveBack(before);
        before = nullptr;
        return good;
    };
    // Chunk `sequence` ends at the mark: once every worker is done with it (and so with all
    // before it), the views are handed back, which tells that their bytes were the input's,
    // and the state goes out.  The workers meanwhile wait for the next chunk.
    auto checkpoint = [&](uint64_t sequence) {
        ring.WaitFree(sequence);
        bool good = true;
        for (const uint8_t*& before : held) good = giveBack(before) && good;
        if (good) save();
        return good;
    };
    held[0] = back;
    ring.Publish(0, data, length, false);
    bool failed = position == mark && !checkpoint(0);

    // A lent view is counted in the process's memory (a mapped window of the file, say)
    // while it is out: two out at once keep the workers busy.
    const uint64_t ahead = lending ? 2 : kBufferCount;
    for (uint64_t sequence = 1; !last && !failed; ++sequence) {
        const size_t slot = size_t(sequence % kBufferCount);
        // Workers take the chunks in order: once the chunk `ahead` before this one is done
        // with, so is the one that held this slot.
        if (sequence >= ahead) {
            const uint64_t done = sequence - ahead;
            ring.WaitFree(done);
            if (!giveBack(held[done % kBufferCount])) {
                failed = true;
                break;
            }
        }
        if (!next(slot, data, length, last, back)) {
            failed = true;
            break;
        }
        if (length == 0) break;
        held[slot] = back;
        ring.Publish(sequence, data, length, last);
        if (!last && position == mark && !checkpoint(sequence)) failed = true;
    }
    ring.End();
    for (std::thread& t : threads) t.join();
    for (const uint8_t*& before : held) {
        if (!giveBack(before)) failed = true;
    }
    // A view cut short by a failure.
    if (restLength != 0) source.GiveBack(view);
    if (failed) return ReportStatus::kReadFailed;
    return finish();
}
