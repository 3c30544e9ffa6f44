// Fuzz target: the saved-report reader of --check over arbitrary bytes.
//
// - A refusal comes with a reason that can be shown on a terminal as it is: not empty,
//   printable ASCII only, whatever bytes the file held.
// - What is accepted is consistent: a path without control characters, known lines once
//   each, hex digits of the line's width.
// - What is accepted is the saved-report format itself, up to the leniencies the reader
//   documents: the report written back from what was read equals the input once a byte
//   order mark is dropped, CR LF is taken as LF and one line end after the footer is
//   dropped.
#include <cstdlib>
#include <string>
#include <vector>

#include "report_text.h"
#include "lists/saved_report_reader.h"

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::string Normalised(std::string text) {
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

void CheckRefusal(const std::string& error) {
    if (error.empty()) std::abort();
    for (char c : error) {
        if (c < 0x20 || c > 0x7E) std::abort();
    }
}

void CheckAccepted(const std::string& content, const SavedReport& report) {
    if (report.inputPath.empty() || report.lines.empty()) std::abort();
    for (char c : report.inputPath) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
    }
    std::vector<bool> seen(kReportLineCount, false);
    std::string reportText;
    for (const SavedLine& line : report.lines) {
        if (line.line >= kReportLineCount || seen[line.line]) std::abort();
        seen[line.line] = true;
        if (line.hex.size() != 2 * DigestLength(kReportLines[line.line].size)) std::abort();
        for (char c : line.hex) {
            if (!IsHexDigit(c)) std::abort();
        }
        reportText += kReportLines[line.line].label + line.hex + "\r\n";
    }
    const std::string rewritten = BuildSavedReport(report.inputPath.c_str(), reportText);
    if (Normalised(rewritten) != Normalised(content)) std::abort();

    SavedReport again;
    std::string error;
    if (!ParseSavedReport(rewritten, again, error)) std::abort();
    if (again.inputPath != report.inputPath || again.lines.size() != report.lines.size()) {
        std::abort();
    }
    for (size_t i = 0; i < again.lines.size(); ++i) {
        if (again.lines[i].line != report.lines[i].line ||
            again.lines[i].hex != report.lines[i].hex)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    SavedReport report;
    std::string error;
    if (ParseSavedReport(content, report, error)) {
        CheckAccepted(content, report);
    } else {
        CheckRefusal(error);
    }
    return 0;
}
