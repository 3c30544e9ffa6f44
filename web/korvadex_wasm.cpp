// The C interface of the WebAssembly module: the report's lines, each line's streaming
// computation (plain or keyed), and the report text, for the JavaScript host in
// web/package/.  Every pointer is an offset into the module's memory; the host copies bytes
// in and out through buffers it takes with kx_alloc.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "bytes_to_hex.h"
#include "hmac.h"
#include "report_lines.h"
#include "report_text.h"

#define KX_EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

// A computation in flight: its line, whether it is keyed, and the engine's (or HMAC's)
// context after the header, aligned as the engines want.
struct Computation {
    const ReportLine* line;
    bool keyed;
};
constexpr size_t kHeaderSize = kStreamContextAlign;
static_assert(sizeof(Computation) <= kHeaderSize, "the header fits before the context");

void* ContextOf(Computation* computation) {
    return reinterpret_cast<uint8_t*>(computation) + kHeaderSize;
}

// A checksum's value from its digest bytes, most significant first, as BytesToHex takes it.
DigestResult ResultOf(const uint8_t* digest, SizeWord size) {
    const uint32_t length = DigestLength(size);
    if (length > 4) return DigestAddress(digest);
    DigestResult value = 0;
    for (uint32_t i = 0; i < length; ++i) value = (value << 8) | digest[i];
    return value;
}

char* CopyOut(const std::string& text) {
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (out != nullptr) std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

}  // namespace

KX_EXPORT(kx_alloc) void* kx_alloc(size_t size) {
    return std::malloc(size == 0 ? 1 : size);
}

KX_EXPORT(kx_free) void kx_free(void* data) {
    std::free(data);
}

KX_EXPORT(kx_line_count) uint32_t kx_line_count() {
    return uint32_t(kReportLineCount);
}

// The label as the report writes it, ": " included.
KX_EXPORT(kx_line_label) const char* kx_line_label(uint32_t line) {
    return line < kReportLineCount ? kReportLines[line].label : nullptr;
}

// The other names the line answers to (those --list shows), separated by blanks.
KX_EXPORT(kx_line_names) const char* kx_line_names(uint32_t line) {
    if (line >= kReportLineCount) return nullptr;
    return kReportLines[line].names != nullptr ? kReportLines[line].names : "";
}

KX_EXPORT(kx_line_family) const char* kx_line_family(uint32_t line) {
    return line < kReportLineCount ? kReportLines[line].family : nullptr;
}

KX_EXPORT(kx_line_digest_length) uint32_t kx_line_digest_length(uint32_t line) {
    return line < kReportLineCount ? DigestLength(kReportLines[line].size) : 0;
}

KX_EXPORT(kx_line_block_length) uint32_t kx_line_block_length(uint32_t line) {
    return line < kReportLineCount ? BlockLength(kReportLines[line].size) : 0;
}

// The line's time per byte relative to MD5, by which workers are given their lines.
KX_EXPORT(kx_line_cost) double kx_line_cost(uint32_t line) {
    return line < kReportLineCount ? kReportLines[line].cost : 0;
}

// The line a name means, as the command line's -a takes it: its index, -1 for no line, -2
// for a name refused on purpose (kx_refused_reason says why).
KX_EXPORT(kx_find_line) int32_t kx_find_line(const char* name) {
    const ReportLine* line = FindReportLine(name);
    if (line != nullptr) return int32_t(line - kReportLines);
    return RefusedNameReason(name) != nullptr ? -2 : -1;
}

KX_EXPORT(kx_refused_reason) const char* kx_refused_reason(const char* name) {
    return RefusedNameReason(name);
}

// Begins a computation of the line, keyed (HMAC) when keyLength != 0.  Null when the line
// does not exist or memory is short.
KX_EXPORT(kx_init) void* kx_init(uint32_t line, const uint8_t* key, size_t keyLength) {
    if (line >= kReportLineCount) return nullptr;
    const ReportLine& row = kReportLines[line];
    const bool keyed = keyLength != 0;
    const size_t contextSize = keyed ? HmacStreamContextSize(*row.stream) : row.stream->contextSize;
    const size_t total = (kHeaderSize + contextSize + kStreamContextAlign - 1) /
                         kStreamContextAlign * kStreamContextAlign;
    void* memory = std::aligned_alloc(kStreamContextAlign, total);
    if (memory == nullptr) return nullptr;
    auto* computation = new (memory) Computation{&row, keyed};
    const bool seeded = keyed ? HmacStreamInit(ContextOf(computation), *row.stream, row.size, key,
                                               keyLength, row.bits, row.passes)
                              : row.stream->init(ContextOf(computation), row.bits, row.passes);
    if (!seeded) {
        std::free(memory);
        return nullptr;
    }
    return computation;
}

KX_EXPORT(kx_update) void kx_update(Computation* computation, const uint8_t* data, size_t length) {
    if (computation->keyed) {
        HmacStreamUpdate(ContextOf(computation), data, length);
    } else {
        computation->line->stream->update(ContextOf(computation), data, length);
    }
}

// Ends the computation: writes its digest bytes, in print order, to digest, frees it, and
// returns their number.
KX_EXPORT(kx_final) uint32_t kx_final(Computation* computation, uint8_t* digest) {
    if (computation->keyed) {
        HmacStreamFinal(ContextOf(computation), digest);
    } else {
        computation->line->stream->final(ContextOf(computation), digest);
    }
    const uint32_t length = DigestLength(computation->line->size);
    std::free(computation);
    return length;
}

// Drops a computation without a result.
KX_EXPORT(kx_abandon) void kx_abandon(Computation* computation) {
    std::free(computation);
}

// The report of count lines (indices in report order), whose digests follow one another in
// digests: each line its label, its hex and "\n", as the command line prints it (lower-case
// hex when lower != 0).  With savedPath, the saved report of that input instead, in the form
// `-c` reads back.  A text to release with kx_free; null when memory is short.
KX_EXPORT(kx_report_text)
char* kx_report_text(const uint32_t* lines, uint32_t count, const uint8_t* digests, int lower,
                     const char* savedPath) {
    std::string text;
    char hex[2 * kMaxDigestLength + 1];
    const char* lineEnd = savedPath != nullptr ? "\r\n" : "\n";
    for (uint32_t i = 0; i < count; ++i) {
        if (lines[i] >= kReportLineCount) return nullptr;
        const ReportLine& row = kReportLines[lines[i]];
        BytesToHex(ResultOf(digests, row.size), row.size, hex, savedPath != nullptr || lower == 0);
        digests += DigestLength(row.size);
        AppendReportLine(text, row, hex, lineEnd);
    }
    return CopyOut(savedPath != nullptr ? BuildSavedReport(savedPath, text) : text);
}
