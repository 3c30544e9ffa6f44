// The report of the Windows program: the file to hash, the last report, and the two
// operations of the main window that read and write them.
#ifndef KORVADEX_REPORT_WINDOWS_WINDOWS_REPORT_H
#define KORVADEX_REPORT_WINDOWS_WINDOWS_REPORT_H

#include <windows.h>

#include <string>

// The path of the file to hash: written by Browse and by a drop, refilled from the input
// box by a save.  Never cleared: it keeps the last path until the next one replaces it.
constexpr int kFileNameSize = 512;
extern char gFileName[kFileNameSize];

// The report text that the report box shows, "" before the first report.  Replaced only
// when a new report is complete, so a save always writes what the screen shows.
extern std::string gReportText;

// The name of the saved report, in the current directory.
extern const char kSavedReportName[];

// Reads the file named in gFileName whole, computes the report (keyed by the text of the
// dialog's item IDC_KEY, when the dialog has one and it is not empty) and shows the path
// in IDC_INPUT and the report in IDC_OUTPUT.  When the file cannot be read, is 4 GiB or
// larger, or the report cannot be computed (memory included), nothing changes.  Called
// from a window procedure, so it lets no exception out.
void ComputeReport(HWND dialog) noexcept;

// Writes the framed report of the path in IDC_INPUT to kSavedReportName; before the first
// report, shows the "No Input" box instead.  A file that cannot be written whole is removed;
// when the text cannot be built (no memory), nothing is written.  Lets no exception out.
void SaveReport(HWND dialog) noexcept;

#endif
