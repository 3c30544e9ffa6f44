#include "window_test_support.h"

#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "korvadex.h"
#include "report_text.h"
#include "windows_report.h"

namespace {

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace

std::string CurrentDirectory() {
    char buffer[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, buffer);
    return std::string(buffer, n < MAX_PATH ? n : 0);
}

ScratchFolder::ScratchFolder(const std::string& name) : previous_(CurrentDirectory()) {
    path_ = previous_ + "\\" + name;
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
    SetCurrentDirectoryA(path_.c_str());
}

ScratchFolder::~ScratchFolder() {
    SetCurrentDirectoryA(previous_.c_str());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    if (file == INVALID_HANDLE_VALUE || written != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    }
}

std::string ReadBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ExpectedReport(const std::string& bytes, const std::string& key) {
    static const uint8_t kNone[1] = {0};
    const ReportInput input{bytes.empty() ? kNone : reinterpret_cast<const uint8_t*>(bytes.data()),
                            uint32_t(bytes.size()), reinterpret_cast<const uint8_t*>(key.data()),
                            uint32_t(key.size())};
    std::string report;
    if (BuildReportText(input, report) != ReportStatus::kOk) return "<failed>";
    return report;
}

std::string WindowText(HWND window) {
    std::string text(size_t(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(size_t(GetWindowTextA(window, &text[0], int(text.size()))));
    return text;
}

std::string ItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

HDROP MakeDrop(const std::vector<std::string>& names) {
    size_t chars = 1;  // the list ends in an empty name
    for (const auto& name : names) chars += name.size() + 1;
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + chars);
    auto* files = static_cast<DROPFILES*>(GlobalLock(block));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = FALSE;
    char* out = reinterpret_cast<char*>(files + 1);
    for (const auto& name : names) {
        std::memcpy(out, name.c_str(), name.size() + 1);
        out += name.size() + 1;
    }
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

MainWindow::MainWindow() {
    gFileName[0] = '\0';
    gReportText.clear();
    dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                 MainDialogProc, 0);
}

MainWindow::~MainWindow() {
    DestroyWindow(dialog_);
}

void MainWindow::Drop(const std::vector<std::string>& names) {
    SendMessageA(dialog_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(names)), 0);
}

void MainWindow::Command(int id) {
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

namespace {

std::vector<Step> gSteps;
size_t gNextStep;
DWORD gStepStart;
bool gInStep;

void CALLBACK OnStepTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (gInStep || gNextStep >= gSteps.size()) return;
    gInStep = true;
    const bool done = gSteps[gNextStep]();
    gInStep = false;
    if (done) {
        ++gNextStep;
        gStepStart = GetTickCount();
    } else if (GetTickCount() - gStepStart > 60000) {
        std::fprintf(stderr, "step %u of a window test never succeeded\n", unsigned(gNextStep));
        std::fflush(stderr);
        ExitProcess(3);
    }
}

}  // namespace

void RunWithSteps(const std::function<void()>& action, std::vector<Step> steps) {
    gSteps = std::move(steps);
    gNextStep = 0;
    gStepStart = GetTickCount();
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, OnStepTimer);
    action();
    MSG message;
    while (gNextStep < gSteps.size() && GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    KillTimer(nullptr, timer);
    gSteps.clear();
}

namespace {

struct WindowSearch {
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    if (IsWindowVisible(window) && WindowText(window) == search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindThreadWindow(const char* caption) {
    WindowSearch search{caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < milliseconds) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}

FunctionPatch::FunctionPatch(const char* module, const char* function, void* replacement) {
    target_ = reinterpret_cast<BYTE*>(GetProcAddress(LoadLibraryA(module), function));
    std::memcpy(saved_, target_, sizeof saved_);
    const int32_t distance = int32_t(static_cast<BYTE*>(replacement) - (target_ + 5));
    jump_[0] = 0xE9;  // jmp rel32
    std::memcpy(jump_ + 1, &distance, sizeof distance);
    Write(jump_);
}

FunctionPatch::~FunctionPatch() {
    Write(saved_);
}

void FunctionPatch::Write(const BYTE* bytes) {
    DWORD protection;
    VirtualProtect(target_, 5, PAGE_EXECUTE_READWRITE, &protection);
    std::memcpy(target_, bytes, 5);
    VirtualProtect(target_, 5, protection, &protection);
    FlushInstructionCache(GetCurrentProcess(), target_, 5);
}
