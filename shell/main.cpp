// Entry of the Windows program: the main window, run modally, is the whole program.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "korvadex.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    InitCommonControls();
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    ExitProcess(0);
}
