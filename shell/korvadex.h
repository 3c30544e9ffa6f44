// The Windows program: resource and control identifiers, and the window procedures.
// The resource script includes this file too, so everything but the identifiers stands
// behind RC_INVOKED.
#ifndef KORVADEX_SHELL_KORVADEX_H
#define KORVADEX_SHELL_KORVADEX_H

// Resources
#define IDD_MAIN 1000
#define IDD_ABOUT 1221
#define IDI_MAIN 9999
#define IDB_ABOUT 8888

// Main window
#define IDC_INPUT_LABEL 1101
#define IDC_INPUT 1001
#define IDC_OUTPUT 1235
#define IDC_BROWSE 1213
#define IDC_ABOUT 1215
#define IDC_EXIT 1220
// Read by the report as the HMAC key; no control of the main window has this id.
#define IDC_KEY 1099
// The save command; no control issues it, another program sends it.
#define IDC_SAVE 1216

// About window
#define IDC_ABOUT_FRAME 1237
#define IDC_ABOUT_PICTURE 1224
#define IDC_ABOUT_PRODUCT 1238
#define IDC_ABOUT_AUTHOR 1239
#define IDC_ABOUT_SUITE_AUTHOR 1240

#ifndef RC_INVOKED

#include <windows.h>

// The opacity the About window opens with.
constexpr BYTE kAboutAlpha = 230;

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Makes the window layered with the constant opacity alpha (0 transparent, 255 opaque);
// 255 makes it an ordinary, unlayered window again.  Does nothing where the platform has
// no layered windows.
void SetWindowAlpha(HWND window, BYTE alpha);

// Lowers the window's opacity from 250 to 5 in steps of 5, 10 ms apart; returns after the
// last step.
void FadeOut(HWND window);

#endif
#endif
