// The registry of the report's lines, in report order: everything the report, the streamed
// lines, the command line's names and lists, --list, --self-test and the tests need to know
// of each line.  Adding a line means adding one row (and its known answers).
#ifndef KORVADEX_REPORT_REPORT_LINES_H
#define KORVADEX_REPORT_REPORT_LINES_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "digest_types.h"
#include "known_answers.h"

struct ReportLine {
    const char* label;  // ends in ": "
    DigestFn engine;
    uint32_t bits;    // HAVAL and Snefru only, 0 elsewhere
    uint32_t passes;  // HAVAL and Snefru only, 0 elsewhere
    SizeWord size;
    const StreamingEngine* stream;  // the same engine over a context of the caller's
    const char* family;             // the engine's name, e.g. "HAVAL" or "CRC-16/ARC"
    const char* variant;            // the exact algorithm variant, for --list
    // The names other tools (coreutils, rhash, OpenSSL, PHP) and the catalogue of CRCs give
    // the same variant, separated by blanks; the line answers to them beside its label.
    const char* names;
    // What --format bsd writes before " (NAME) = ": coreutils' or rhash's tag, or null for
    // the label without ": ".  The line answers to it too.
    const char* bsdTag;
    // How a name that means another variant in some tool is taken here, for --list; or null.
    const char* namesNote;
    // Time per byte of input relative to an MD5 line (x86-64, on the processor's fastest
    // path; see docs/tuning.md, "Line costs"): the streamed lines balance their workers by
    // it, and lines that cost little altogether are hashed on the thread that reads.
    double cost;
    const KnownAnswerList* answers;  // the line's known answers, in known_answers.cpp
};

extern const ReportLine kReportLines[];
extern const size_t kReportLineCount;

// Lower case without blanks, '-', '_' and ',': the form in which the names of lines compare,
// so that "SHA-256" and "sha256", or "haval128,3" and "HAVAL-128-3", are the same name.
std::string NormalName(std::string_view name);

// Every name of the line: its label without ": ", then its other names and its BSD tag, as
// the row writes them.
std::vector<std::string> NamesOf(const ReportLine& line);

// The line named name: its label, with or without the closing ": ", one of its names or its
// BSD tag, compared in NormalName form (labels first); null if there is none.
const ReportLine* FindReportLine(std::string_view name);

// Why a name that other tools give a variant the report does not have (gost94cryptopro,
// tiger2, a HAVAL length without its passes...) is refused, and what to use instead; null
// for any other name.
const char* RefusedNameReason(std::string_view name);

#endif
