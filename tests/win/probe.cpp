// probe: reads and drives the window of another process, for the end-to-end test.
//   probe wait MS           waits up to MS milliseconds for the window
//   probe get ID            prints the text of control ID (0: the window itself)
//   probe waittext ID TEXT MS
//                           waits up to MS milliseconds until control ID shows TEXT, then
//                           prints the milliseconds it waited
//   probe cmd ID            sends the command ID and returns when it has been handled
//   probe center ID         prints the screen position of the centre of control ID
//   probe close             asks the window to close
// The window is the one captioned "kORv", or $PROBE_TITLE.  Exit codes: 0 done, 1 usage or
// timeout, 2 no window, 3 no such control.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND FindTarget() {
    const char* title = std::getenv("PROBE_TITLE");
    return FindWindowA(nullptr, title && *title ? title : "kORv");
}

HWND Control(HWND window, int id) {
    return id == 0 ? window : GetDlgItem(window, id);
}

// WM_GETTEXT is marshalled between processes; GetWindowText would not read another
// process's edit box.
std::string Text(HWND control) {
    const LRESULT n = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    std::string text(size_t(n) + 1, '\0');
    const LRESULT got = SendMessageA(control, WM_GETTEXT, WPARAM(n + 1), LPARAM(&text[0]));
    text.resize(size_t(got));
    return text;
}

int Usage() {
    std::fputs("usage: probe wait MS | get ID | waittext ID TEXT MS | cmd ID | center ID | close\n",
               stderr);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // keep the controls' CR LF as they are
    if (argc < 2) return Usage();
    const std::string verb = argv[1];
    if (verb == "wait" && argc == 3) {
        const DWORD start = GetTickCount(), limit = DWORD(std::atoi(argv[2]));
        while (!FindTarget()) {
            if (GetTickCount() - start > limit) return 1;
            Sleep(20);
        }
        return 0;
    }
    HWND window = FindTarget();
    if (!window) return 2;
    if (verb == "close" && argc == 2) {
        PostMessageA(window, WM_CLOSE, 0, 0);  // posted: a modal box cannot hang the probe
        return 0;
    }
    if (argc < 3) return Usage();
    if (verb == "cmd" && argc == 3) {
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(std::atoi(argv[2]), BN_CLICKED), 0);
        return 0;
    }
    HWND control = Control(window, std::atoi(argv[2]));
    if (!control) return 3;
    if (verb == "get" && argc == 3) {
        const std::string text = Text(control);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    if (verb == "waittext" && argc == 5) {
        const DWORD start = GetTickCount(), limit = DWORD(std::atoi(argv[4]));
        while (Text(control) != argv[3]) {
            if (GetTickCount() - start > limit) return 1;
            Sleep(5);
        }
        std::printf("%lu\n", static_cast<unsigned long>(GetTickCount() - start));
        return 0;
    }
    if (verb == "center" && argc == 3) {
        RECT r;
        GetWindowRect(control, &r);
        std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return 0;
    }
    return Usage();
}
