// The portable core of the report: one line's hex text, the whole report text and the
// saved-report text.  The Windows program and the command line both build on it.
#ifndef KORVADEX_REPORT_REPORT_TEXT_H
#define KORVADEX_REPORT_REPORT_TEXT_H

#include <string>

#include "hmac.h"
#include "report_lines.h"

// The bytes a report is computed over, and the key (keyLength 0: unkeyed report).
struct ReportInput {
    const uint8_t* data;
    uint32_t length;
    const uint8_t* key;
    uint32_t keyLength;
};

enum class ReportStatus {
    kOk,
    kEngineRefused,
    kOutOfMemory,
    kMessageTooLong,
};

// Human-readable reason for a failed report, e.g. "out of memory".
const char* ReportStatusText(ReportStatus status);

// Computes one line (keyed when input.keyLength != 0) and writes its hex text, at most
// 2 * kMaxDigestLength digits and a NUL, into hex.
ReportStatus ComputeLineHex(const ReportLine& line, const ReportInput& input, char* hex, int upper);

// Appends the whole report to text: per line the label, upper-case hex and "\r\n".  On
// failure text is left as it was.  jobs > 1 (or 0: one per core) computes engine
// families on several threads; the text is the same.
ReportStatus BuildReportText(const ReportInput& input, std::string& text, unsigned jobs = 1);

// The content of a saved report: a ruler of 95 '=', "Input: " and the path, the ruler,
// the report text, an empty line, the ruler and the footer, lines ending in "\r\n" and
// no line end after the footer.
std::string BuildSavedReport(const char* inputPath, const std::string& reportText);

#endif
