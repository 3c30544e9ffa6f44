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
    kReadFailed,      // the input could not be read: no line has a result
    kEngineRefused,   // a line's engine refused its bits and passes
    kOutOfMemory,     // the buffers or contexts could not be allocated
    kMessageTooLong,  // a keyed one-shot line over 4 GiB or more
};

// Human-readable reason for a failed report, e.g. "out of memory".
const char* ReportStatusText(ReportStatus status);

// Computes one line (keyed when input.keyLength != 0) with its one-shot entry and writes its
// upper-case hex text, at most 2 * kMaxDigestLength digits and a NUL, into hex.
ReportStatus ComputeLineHex(const ReportLine& line, const ReportInput& input, char* hex);

// Appends one line of a report to text: its label, hex and lineEnd ("\r\n" in the report
// box and saved reports, "\n" where the command line prints it).  Every writer of report
// lines goes through it.
void AppendReportLine(std::string& text, const ReportLine& line, const char* hex,
                      const char* lineEnd);

// Appends the whole report to text: each line in report order, one after the other, its
// label, upper-case hex and "\r\n".  On failure text is left as it was.
ReportStatus BuildReportText(const ReportInput& input, std::string& text);

// The content of a saved report: a ruler of 95 '=', "Input: " and the path, the ruler,
// the report text, an empty line, the ruler and the footer, lines ending in "\r\n" and
// no line end after the footer.
std::string BuildSavedReport(const char* inputPath, const std::string& reportText);

#endif
