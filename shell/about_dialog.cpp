// The About window: translucent, dragged by a press anywhere, faded out on closing.
#include <windows.h>

#include "korvadex.h"

namespace {

using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

// Layered windows are looked up at run time, so that the program still starts on systems
// without them (it then shows an opaque window).
SetLayeredWindowAttributesFn LayeredWindowAttributes() {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (!user32) return nullptr;
    // Through the generic function type, which the compiler accepts as a cast to any other.
    return reinterpret_cast<SetLayeredWindowAttributesFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetLayeredWindowAttributes")));
}

INT_PTR OnInitDialog(HWND dialog) {
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SetWindowAlpha(dialog, kAboutAlpha);
    return FALSE;
}

// No control takes the mouse, so a press anywhere arrives here: hand it to the platform as
// a press on the caption, which drags the window.
INT_PTR OnLeftButtonDown(HWND dialog) {
    SendMessageA(dialog, WM_NCLBUTTONDOWN, HTCAPTION, LPARAM(GetMessagePos()));
    return FALSE;
}

INT_PTR OnRightButtonUp(HWND dialog) {
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    ShowWindow(dialog, SW_HIDE);
    return FALSE;
}

INT_PTR OnClose(HWND dialog) {
    FadeOut(dialog);
    EndDialog(dialog, 0);
    return FALSE;
}

}  // namespace

void SetWindowAlpha(HWND window, BYTE alpha) noexcept {
    SetLayeredWindowAttributesFn setAttributes = LayeredWindowAttributes();
    if (!setAttributes) return;
    LONG style = GetWindowLongA(window, GWL_EXSTYLE);
    style = alpha == 255 ? style & ~WS_EX_LAYERED : style | WS_EX_LAYERED;
    SetWindowLongA(window, GWL_EXSTYLE, style);
    if (alpha < 255) setAttributes(window, 0, alpha, LWA_ALPHA);
}

void FadeOut(HWND window) noexcept {
    SetLayeredWindowAttributesFn setAttributes = LayeredWindowAttributes();
    if (!setAttributes) return;
    for (DWORD alpha = 250; alpha != 0; alpha -= 5) {
        setAttributes(window, 0, BYTE(alpha), LWA_ALPHA);
        Sleep(10);
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) noexcept {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog);
        case WM_LBUTTONDOWN:
            return OnLeftButtonDown(dialog);
        case WM_RBUTTONUP:
            return OnRightButtonUp(dialog);
        case WM_CLOSE:
            return OnClose(dialog);
    }
    return FALSE;
}
