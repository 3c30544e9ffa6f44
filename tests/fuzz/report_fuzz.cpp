// Fuzz target: the report of any input has one line per table row, in order, each the
// label, upper-case hex of the line's digest width and "\r\n"; the forty lines total 2605
// characters.  The same lines computed over the input in chunks (their size taken from the
// input's first byte) on two threads give the same values.
#include <cstdlib>
#include <cstring>
#include <string>

#include "line_streams.h"
#include "report_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const uint8_t kNone[1] = {0};
    ReportInput input{size ? data : kNone, uint32_t(size), nullptr, 0};
    std::string text;
    if (BuildReportText(input, text) != ReportStatus::kOk) std::abort();
    std::vector<const ReportLine*> rows;
    for (size_t i = 0; i < kReportLineCount; ++i) rows.push_back(&kReportLines[i]);
    MemorySource source(data, size);
    StreamSettings settings;
    settings.jobs = 2;
    settings.chunkSize = 64 + (size != 0 ? data[0] : 0);
    std::vector<std::string> streamed;
    if (ComputeStreamedLines(source, rows, nullptr, 0, settings, streamed) != ReportStatus::kOk)
        std::abort();
    size_t pos = 0;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const char* label = kReportLines[i].label;
        size_t n = std::strlen(label);
        if (text.compare(pos, n, label) != 0) std::abort();
        pos += n;
        if (text.compare(pos, streamed[i].size(), streamed[i]) != 0) std::abort();
        for (uint32_t d = 0; d < 2 * DigestLength(kReportLines[i].size); ++d, ++pos) {
            char c = text[pos];
            if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) std::abort();
        }
        if (text.compare(pos, 2, "\r\n") != 0) std::abort();
        pos += 2;
    }
    if (pos != text.size()) std::abort();
    if (kReportLineCount == 40 && text.size() != 2605) std::abort();
    return 0;
}
