// The Windows program: the window procedures, and the About window's opacity.  The
// identifiers of resources and controls are in resource_ids.h, shared with the resource
// script.
#ifndef KORVADEX_SHELL_KORVADEX_H
#define KORVADEX_SHELL_KORVADEX_H

#include <windows.h>

#include "resource_ids.h"

// The opacity the About window opens with.
constexpr BYTE kAboutAlpha = 230;

// No exception leaves a window procedure: the unwinder cannot cross the platform's frames
// between the dialog manager and the procedure.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// Makes the window layered with the constant opacity alpha (0 transparent, 255 opaque);
// 255 makes it an ordinary, unlayered window again.  Does nothing where the platform has
// no layered windows.
void SetWindowAlpha(HWND window, BYTE alpha) noexcept;

// Lowers the window's opacity from 250 to 5 in steps of 5, 10 ms apart; returns after the
// last step.
void FadeOut(HWND window) noexcept;

#endif
