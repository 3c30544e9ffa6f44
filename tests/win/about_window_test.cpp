// The About window: opacity, the fade-out on closing, the caption drag, and SetWindowAlpha.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "korvadex.h"
#include "window_test_support.h"

namespace {

using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

// Records the constant opacity of every SetLayeredWindowAttributes call, then makes it.
FunctionPatch* gLayeredPatch;
std::vector<int> gAlphas;

BOOL WINAPI RecordLayeredAttributes(HWND window, COLORREF key, BYTE alpha, DWORD flags) {
    gAlphas.push_back(flags & LWA_ALPHA ? alpha : -1);
    FunctionPatch::Suspend original(*gLayeredPatch);
    return reinterpret_cast<SetLayeredWindowAttributesFn>(gLayeredPatch->original())(window, key,
                                                                                     alpha, flags);
}

class LayeredAlphaRecorder {
public:
    LayeredAlphaRecorder()
        : patch_("user32.dll", "SetLayeredWindowAttributes",
                 reinterpret_cast<void*>(RecordLayeredAttributes)) {
        gLayeredPatch = &patch_;
        gAlphas.clear();
    }
    ~LayeredAlphaRecorder() { gLayeredPatch = nullptr; }

private:
    FunctionPatch patch_;
};

std::vector<int> FadeValues() {
    std::vector<int> values;
    for (int alpha = 250; alpha >= 5; alpha -= 5) values.push_back(alpha);
    return values;
}

HWND OpenAbout(HWND owner) {
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), owner,
                              AboutDialogProc, 0);
}

BYTE Alpha(HWND window) {
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) {
        return 0;
    }
    return alpha;
}

bool Layered(HWND window) {
    return GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED;
}

// The About command runs the window modally over the main window: it opens at opacity 230
// every time, and a right-button release anywhere on it (no control takes the mouse)
// closes it.
TEST(AboutWindow, OpensAtOpacity230EachTimeAndClosesOnRightClick) {
    MainWindow window;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        HWND about = nullptr, owner = nullptr;
        BYTE alpha = 0;
        std::vector<HWND> underPointer;
        RunWithSteps([&] { window.Command(IDC_ABOUT); }, {[&] {
                         about = FindThreadWindow("About");
                         if (!about) return false;
                         owner = GetWindow(about, GW_OWNER);
                         alpha = Alpha(about);
                         for (int id : {IDC_ABOUT_FRAME, IDC_ABOUT_PICTURE, IDC_ABOUT_PRODUCT,
                                        IDC_ABOUT_AUTHOR, IDC_ABOUT_SUITE_AUTHOR}) {
                             RECT r;
                             GetWindowRect(GetDlgItem(about, id), &r);
                             // Inside the frame, clear of its line, and inside the control.
                             const POINT p = {r.left + 6, r.top + (r.bottom - r.top) / 2};
                             underPointer.push_back(WindowFromPoint(p));
                         }
                         PostMessageA(about, WM_RBUTTONUP, 0, MAKELPARAM(40, 40));
                         return true;
                     }});
        EXPECT_EQ(owner, window.handle());
        EXPECT_EQ(alpha, kAboutAlpha);
        for (HWND hit : underPointer) EXPECT_EQ(hit, about);
        EXPECT_FALSE(IsWindow(about));  // the modal dialog ended
    }
}

TEST(AboutWindow, CloseFadesOutFrom250To5) {
    LayeredAlphaRecorder recorder;
    HWND about = OpenAbout(nullptr);
    EXPECT_EQ(gAlphas, std::vector<int>{kAboutAlpha});
    EXPECT_TRUE(Layered(about));
    gAlphas.clear();
    SendMessageA(about, WM_CLOSE, 0, 0);
    EXPECT_EQ(gAlphas, FadeValues());
    EXPECT_EQ(Alpha(about), 5);  // never fully transparent
    EXPECT_FALSE(IsWindowVisible(about));
    DestroyWindow(about);
}

TEST(AboutWindow, RightButtonReleaseFadesOutAndHides) {
    LayeredAlphaRecorder recorder;
    HWND about = OpenAbout(nullptr);
    gAlphas.clear();
    SendMessageA(about, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(gAlphas, FadeValues());
    EXPECT_FALSE(IsWindowVisible(about));
    DestroyWindow(about);
}

// A press anywhere is handed to the platform as a press on the caption, which starts the
// drag.  The test keeps the press from starting the platform's move loop.
WNDPROC gAboutProc;
WPARAM gNonClientHit;
LPARAM gNonClientPoint;

LRESULT CALLBACK WatchNonClientPress(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCLBUTTONDOWN) {
        gNonClientHit = wParam;
        gNonClientPoint = lParam;
        return 0;
    }
    return CallWindowProcA(gAboutProc, window, message, wParam, lParam);
}

TEST(AboutWindow, LeftButtonPressStartsACaptionDrag) {
    HWND about = OpenAbout(nullptr);
    gNonClientHit = HTNOWHERE;
    gAboutProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(about, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchNonClientPress)));
    SendMessageA(about, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 40));
    EXPECT_EQ(gNonClientHit, WPARAM(HTCAPTION));
    EXPECT_EQ(DWORD(gNonClientPoint), GetMessagePos());  // where the press happened
    SetWindowLongPtrA(about, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gAboutProc));
    EXPECT_TRUE(IsWindowVisible(about));
    DestroyWindow(about);
}

// 255 makes a window opaque and unlayered; it never leaves a layered window without an
// opacity (which the platform does not draw).
TEST(SetWindowAlpha, TranslucentThenOpaque) {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowAlpha(window, 255);
    EXPECT_FALSE(Layered(window));
    SetWindowAlpha(window, 230);
    EXPECT_TRUE(Layered(window));
    EXPECT_EQ(Alpha(window), 230);
    SetWindowAlpha(window, 255);
    EXPECT_FALSE(Layered(window));
    SetWindowAlpha(window, 255);
    EXPECT_FALSE(Layered(window));
    DestroyWindow(window);
}

}  // namespace
