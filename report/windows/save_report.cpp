#include <windows.h>

#include "report_text.h"
#include "resource_ids.h"
#include "windows_report.h"

const char kSavedReportName[] = "saved.txt";

void SaveReport(HWND dialog) noexcept {
    if (GetDlgItemTextA(dialog, IDC_INPUT, gFileName, kFileNameSize) == 0) {
        MessageBoxA(dialog, "It seems like input is empty! :) ", "No Input",
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // Built before the file is touched, so that a failed allocation, caught here because no
    // exception may reach the window procedure, leaves an earlier saved report as it was.
    std::string saved;
    try {
        saved = BuildSavedReport(gFileName, gReportText);
    } catch (...) {
        return;
    }
    HANDLE file = CreateFileA(kSavedReportName, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    const bool whole = WriteFile(file, saved.data(), DWORD(saved.size()), &written, nullptr) &&
                       written == saved.size();
    CloseHandle(file);
    if (!whole) DeleteFileA(kSavedReportName);
}
