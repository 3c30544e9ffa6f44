#include <windows.h>

#include "report_text.h"
#include "resource_ids.h"
#include "windows_report.h"

char gFileName[kFileNameSize];
std::string gReportText;

namespace {

constexpr int kKeySize = 512;

// Reads the whole file into a block of global memory.  *block stays null for an empty
// file.  Fails for files that cannot be opened or read in full, and for files of 4 GiB or
// more, whose size the engines' 32-bit lengths cannot carry.
bool LoadFile(const char* path, HGLOBAL* block, DWORD* size) {
    *block = nullptr;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER fileSize;
    bool ok = GetFileSizeEx(file, &fileSize) && fileSize.HighPart == 0;
    *size = ok ? fileSize.LowPart : 0;
    if (ok && *size > 0) {
        *block = GlobalAlloc(GMEM_FIXED, *size);
        DWORD read = 0;
        ok = *block && ReadFile(file, *block, *size, &read, nullptr) && read == *size;
    }
    CloseHandle(file);
    if (!ok && *block) *block = GlobalFree(*block);
    return ok;
}

}  // namespace

void ComputeReport(HWND dialog) noexcept {
    char key[kKeySize] = "";
    GetDlgItemTextA(dialog, IDC_KEY, key, kKeySize);

    HGLOBAL block;
    DWORD size;
    if (!LoadFile(gFileName, &block, &size)) return;
    static const uint8_t kNoBytes[1] = {0};
    const ReportInput input{block ? static_cast<const uint8_t*>(block) : kNoBytes, size,
                            reinterpret_cast<const uint8_t*>(key), uint32_t(lstrlenA(key))};
    std::string report;
    ReportStatus status;
    // An exception must not reach the window procedure: on 32-bit Windows the unwinder
    // cannot cross the platform's frames above it and would end the program.  What can be
    // thrown here is a failed allocation: a failed load.
    try {
        status = BuildReportText(input, report);
    } catch (...) {
        status = ReportStatus::kOutOfMemory;
    }
    if (block) GlobalFree(block);
    if (status != ReportStatus::kOk) return;

    gReportText.swap(report);
    SetDlgItemTextA(dialog, IDC_INPUT, gFileName);
    SetDlgItemTextA(dialog, IDC_OUTPUT, "");
    SetDlgItemTextA(dialog, IDC_OUTPUT, gReportText.c_str());
}
