// The main window: Browse, a dropped file, About, the save command and closing.
#include <windows.h>  // with the open-file dialog and dropped files

#include <cstddef>

#include "korvadex.h"
#include "windows_report.h"

namespace {

// The size of the platform's ANSI open-file record of Windows 95 and NT 4, which every
// version accepts.
constexpr DWORD kOpenFileRecordSize = 76;
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == kOpenFileRecordSize,
              "the open-file record has its classic layout");

INT_PTR OnInitDialog(HWND dialog) {
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    return FALSE;  // the dialog manager sets no initial focus
}

// Runs the open-file dialog over gFileName, which offers the last path as the start, and
// reports the file chosen; only a click (notification 0) browses.  The dialog moves the
// current directory to the folder it showed: the directory is put back, so that the saved
// report stays where the program started.  A dialog that fails (a path longer than the
// buffer) may leave a length in the buffer's first bytes, so the previous name is put back
// unless a file was chosen.
INT_PTR OnBrowse(HWND dialog, WORD notification) {
    if (notification != 0) return FALSE;
    char previousName[kFileNameSize];
    CopyMemory(previousName, gFileName, kFileNameSize);
    char directory[MAX_PATH];
    const DWORD directoryLength = GetCurrentDirectoryA(MAX_PATH, directory);

    OPENFILENAMEA request = {};
    request.lStructSize = kOpenFileRecordSize;
    request.lpstrFile = gFileName;
    request.nMaxFile = kFileNameSize;
    const BOOL chosen = GetOpenFileNameA(&request);

    if (directoryLength > 0 && directoryLength < MAX_PATH) SetCurrentDirectoryA(directory);
    if (chosen) {
        ComputeReport(dialog);
    } else {
        CopyMemory(gFileName, previousName, kFileNameSize);
    }
    return FALSE;
}

INT_PTR OnAbout(HWND dialog) {
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), dialog, AboutDialogProc,
                    0);
    return FALSE;
}

INT_PTR OnSave(HWND dialog) {
    SaveReport(dialog);
    return FALSE;
}

INT_PTR OnExit(HWND dialog) {
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    return FALSE;
}

INT_PTR OnCommand(HWND dialog, WORD id, WORD notification) {
    switch (id) {
        case IDC_BROWSE:
            return OnBrowse(dialog, notification);
        case IDC_ABOUT:
            return OnAbout(dialog);
        case IDC_SAVE:
            return OnSave(dialog);
        case IDC_EXIT:
            return OnExit(dialog);
    }
    return FALSE;
}

// Takes the first dropped file.  A name that does not fit gFileName would be cut into the
// name of some other file, so such a drop is ignored.
INT_PTR OnDropFiles(HWND dialog, HDROP drop) {
    if (!drop) return FALSE;
    const UINT length = DragQueryFileA(drop, 0, nullptr, 0);
    const bool fits = length > 0 && length < kFileNameSize;
    if (fits) DragQueryFileA(drop, 0, gFileName, kFileNameSize);
    DragFinish(drop);
    if (fits) ComputeReport(dialog);
    return FALSE;
}

INT_PTR OnClose(HWND dialog) {
    EndDialog(dialog, 0);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) noexcept {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog);
        case WM_COMMAND:
            return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        case WM_DROPFILES:
            return OnDropFiles(dialog, reinterpret_cast<HDROP>(wParam));
        case WM_CLOSE:
            return OnClose(dialog);
    }
    return FALSE;
}
