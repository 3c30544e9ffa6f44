// The main window with its real template and procedure: drops, the report, the save
// command, the real open-file dialog, and the commands that close it or do not.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hmac.h"
#include "korvadex.h"
#include "report_lines.h"
#include "report_text.h"
#include "window_test_support.h"
#include "windows_report.h"

namespace {

const std::string kRuler(95, '=');

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

// What the screen shows, and the report a save would write.
struct Shown {
    std::string input, output, report;
    bool operator==(const Shown& o) const {
        return input == o.input && output == o.output && report == o.report;
    }
};

Shown Showing(const MainWindow& window) {
    return {window.Input(), window.Output(), gReportText};
}

TEST(Drop, HashesTheFirstOfThreeFiles) {
    ScratchFolder folder("drop_three");
    WriteBytes(folder.Child("a.txt"), "abc");
    WriteBytes(folder.Child("b.txt"), "second");
    WriteBytes(folder.Child("c.txt"), "third");
    MainWindow window;
    window.Drop({folder.Child("a.txt"), folder.Child("b.txt"), folder.Child("c.txt")});
    EXPECT_EQ(window.Input(), folder.Child("a.txt"));
    EXPECT_EQ(window.Output(), ExpectedReport("abc"));
    EXPECT_EQ(gReportText, window.Output());
    EXPECT_EQ(SplitLines(window.Output()).size(), kReportLineCount + 1);  // all end in CR LF
    EXPECT_NE(window.Output().find("ADLER32: 024D0127\r\n"), std::string::npos);

    // The same file again gives the same report: every engine starts afresh.
    window.Drop({folder.Child("a.txt")});
    EXPECT_EQ(window.Output(), ExpectedReport("abc"));
}

TEST(Drop, EmptyFileGivesTheReportOfTheEmptyMessage) {
    ScratchFolder folder("drop_empty");
    WriteBytes(folder.Child("empty.bin"), "");
    MainWindow window;
    window.Drop({folder.Child("empty.bin")});
    EXPECT_EQ(window.Input(), folder.Child("empty.bin"));
    EXPECT_EQ(window.Output(), ExpectedReport(""));
    EXPECT_EQ(SplitLines(window.Output()).size(), kReportLineCount + 1);
    EXPECT_NE(window.Output().find("ADLER32: 00000001\r\n"), std::string::npos);
}

// A file that cannot be read leaves the screen and the report as they were, while the
// file-name buffer keeps the path that failed.
TEST(Drop, UnreadableFilesChangeNothing) {
    ScratchFolder folder("drop_unreadable");
    WriteBytes(folder.Child("shown.txt"), "shown");
    WriteBytes(folder.Child("busy.txt"), "busy");
    CreateDirectoryA(folder.Child("folder").c_str(), nullptr);
    MainWindow window;
    window.Drop({folder.Child("shown.txt")});
    const Shown before = Showing(window);
    ASSERT_EQ(before.output, ExpectedReport("shown"));

    // Held open for writing elsewhere: the report asks to share reading only.
    HANDLE writer =
        CreateFileA(folder.Child("busy.txt").c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    for (const std::string& path :
         {folder.Child("missing.txt"), folder.Child("folder"), folder.Child("busy.txt")}) {
        SCOPED_TRACE(path);
        window.Drop({path, folder.Child("shown.txt")});  // only the first name counts
        EXPECT_TRUE(Showing(window) == before);
        EXPECT_EQ(std::string(gFileName), path);
    }
    CloseHandle(writer);
}

TEST(Drop, NameLongerThanTheBufferIsIgnored) {
    ScratchFolder folder("drop_long");
    WriteBytes(folder.Child("shown.txt"), "shown");
    MainWindow window;
    window.Drop({folder.Child("shown.txt")});
    const Shown before = Showing(window);

    // 511 characters fit the 512-byte buffer: the name is taken (and names no file).
    const std::string fits = "C:\\" + std::string(511 - 3, 'f');
    window.Drop({fits});
    EXPECT_EQ(std::string(gFileName), fits);
    EXPECT_TRUE(Showing(window) == before);

    // 512 and more would be cut into some other name: the drop is ignored.
    for (size_t length : {512u, 600u}) {
        const std::string name = folder.Child("shown.txt") + std::string(length, 'x');
        window.Drop({name.substr(0, length)});
        EXPECT_EQ(std::string(gFileName), fits) << length;
        EXPECT_TRUE(Showing(window) == before) << length;
    }
}

TEST(Drop, ReleasesTheDropHandle) {
    ScratchFolder folder("drop_release");
    WriteBytes(folder.Child("a.txt"), "abc");
    MainWindow window;
    HDROP drop = MakeDrop({folder.Child("a.txt")});
    ASSERT_NE(GlobalSize(drop), 0u);
    SendMessageA(window.handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_EQ(window.Input(), folder.Child("a.txt"));
    EXPECT_EQ(GlobalSize(drop), 0u);  // freed

    SendMessageA(window.handle(), WM_DROPFILES, 0, 0);  // no drop handle: nothing happens
    EXPECT_EQ(window.Input(), folder.Child("a.txt"));
}

// The engines take 32-bit lengths: a file of 4 GiB + 3 bytes must not be shown as the
// report of its first 3 bytes.
TEST(Drop, FileOf4GiBOrMoreIsRefused) {
    ScratchFolder folder("drop_huge");
    const std::string huge = folder.Child("huge.bin");
    HANDLE file = CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written;
    WriteFile(file, "abc", 3, &written, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = (1LL << 32) + 3;  // sparse: no disk space is used
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    if (!sized) {
        DeleteFileA(huge.c_str());
        GTEST_SKIP() << "the file system cannot hold a 4 GiB file";
    }
    WriteBytes(folder.Child("shown.txt"), "shown");
    MainWindow window;
    window.Drop({folder.Child("shown.txt")});
    const Shown before = Showing(window);
    window.Drop({huge});
    EXPECT_TRUE(Showing(window) == before);
    EXPECT_NE(window.Output(), ExpectedReport("abc"));
    DeleteFileA(huge.c_str());
}

TEST(Save, WritesTheFramedReportAndReplacesAnOldFile) {
    ScratchFolder folder("save");
    WriteBytes(folder.Child("a.txt"), "abc");
    WriteBytes("saved.txt", std::string(5000, 'x'));  // longer than the report: replaced
    MainWindow window;
    window.Drop({folder.Child("a.txt")});
    window.Command(IDC_SAVE);

    const std::string saved = ReadBytes("saved.txt");
    EXPECT_EQ(saved, BuildSavedReport(folder.Child("a.txt").c_str(), window.Output()));
    const std::vector<std::string> lines = SplitLines(saved);
    ASSERT_EQ(lines.size(), kReportLineCount + 6);
    if (kReportLineCount == 40) {
        EXPECT_EQ(lines.size(), 46u);
    }
    EXPECT_EQ(lines[0], kRuler);
    EXPECT_EQ(lines[1], "Input: " + folder.Child("a.txt"));
    EXPECT_EQ(lines[2], kRuler);
    const std::vector<std::string> report = SplitLines(window.Output());
    for (size_t i = 0; i < kReportLineCount; ++i) EXPECT_EQ(lines[3 + i], report[i]);
    EXPECT_EQ(lines[kReportLineCount + 3], "");
    EXPECT_EQ(lines[kReportLineCount + 4], kRuler);
    EXPECT_EQ(lines[kReportLineCount + 5], "- Generated by KORV -");  // and no line end
    EXPECT_EQ(window.Output(), gReportText);                          // the save changes nothing
}

TEST(Save, BeforeAnyReportShowsTheNoInputBox) {
    ScratchFolder folder("save_no_input");
    MainWindow window;
    std::vector<std::string> texts;
    HWND owner = nullptr;
    HICON icon = nullptr;
    RunWithSteps([&] { window.Command(IDC_SAVE); }, {[&] {
                     HWND box = FindThreadWindow("No Input");
                     if (!box) return false;
                     owner = GetWindow(box, GW_OWNER);
                     for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                         texts.push_back(WindowText(c));
                         if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                             icon = reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0));
                         }
                     }
                     PostMessageA(box, WM_COMMAND, IDOK, 0);
                     return true;
                 }});
    EXPECT_EQ(owner, window.handle());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "It seems like input is empty! :) "),
              texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "OK"), texts.end());
    EXPECT_EQ(icon, LoadIconA(nullptr, IDI_EXCLAMATION));
    EXPECT_FALSE(FileExists("saved.txt"));
}

// After a failed load the screen still shows the earlier report; the save writes that
// report, never the earlier path over an empty report.
TEST(Save, AfterAFailedLoadWritesWhatTheScreenShows) {
    ScratchFolder folder("save_after_failure");
    WriteBytes(folder.Child("a.txt"), "abc");
    MainWindow window;
    window.Drop({folder.Child("a.txt")});
    window.Drop({folder.Child("missing.txt")});
    window.Command(IDC_SAVE);
    EXPECT_EQ(ReadBytes("saved.txt"),
              BuildSavedReport(folder.Child("a.txt").c_str(), ExpectedReport("abc")));
    EXPECT_EQ(std::string(gFileName), folder.Child("a.txt"));  // refilled from the input box
}

TEST(Save, FileThatCannotBeCreatedIsLeftAlone) {
    ScratchFolder folder("save_blocked");
    WriteBytes(folder.Child("a.txt"), "abc");
    CreateDirectoryA("saved.txt", nullptr);
    MainWindow window;
    window.Drop({folder.Child("a.txt")});
    window.Command(IDC_SAVE);
    EXPECT_TRUE(GetFileAttributesA("saved.txt") & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(window.Output(), ExpectedReport("abc"));
}

// A write that stops part way (a full disk) must not leave a truncated saved.txt behind.
using WriteFileFn = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
FunctionPatch* gWritePatch;

BOOL WINAPI WriteHalf(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    FunctionPatch::Suspend original(*gWritePatch);
    return reinterpret_cast<WriteFileFn>(gWritePatch->original())(file, data, size / 2, written,
                                                                  overlapped);
}

TEST(Save, ShortWriteLeavesNoTruncatedFile) {
    ScratchFolder folder("save_short");
    WriteBytes(folder.Child("a.txt"), "abc");
    WriteBytes("saved.txt", "old");
    MainWindow window;
    window.Drop({folder.Child("a.txt")});
    {
        FunctionPatch patch("kernel32.dll", "WriteFile", reinterpret_cast<void*>(WriteHalf));
        gWritePatch = &patch;
        window.Command(IDC_SAVE);
    }
    EXPECT_FALSE(FileExists("saved.txt"));
    window.Command(IDC_SAVE);  // and the next save writes the whole file
    EXPECT_EQ(ReadBytes("saved.txt"),
              BuildSavedReport(folder.Child("a.txt").c_str(), ExpectedReport("abc")));
}

HWND AddKeyItem(HWND dialog, const char* key) {
    return CreateWindowExA(0, "EDIT", key, WS_CHILD, 0, 0, 10, 10, dialog,
                           reinterpret_cast<HMENU>(IDC_KEY), GetModuleHandleA(nullptr), nullptr);
}

TEST(KeyedReport, KeyItemMakesEveryLineHmac) {
    ScratchFolder folder("keyed");
    WriteBytes(folder.Child("a.txt"), "abc");
    MainWindow window;
    AddKeyItem(window.handle(), "secret");
    window.Drop({folder.Child("a.txt")});
    EXPECT_EQ(window.Output(), ExpectedReport("abc", "secret"));
    EXPECT_NE(window.Output(), ExpectedReport("abc"));
}

void* FailAllocation(size_t) {
    return nullptr;
}

TEST(KeyedReport, FailedComputationChangesNothing) {
    ScratchFolder folder("keyed_failure");
    WriteBytes(folder.Child("a.txt"), "abc");
    WriteBytes(folder.Child("b.txt"), "other");
    MainWindow window;
    HWND key = AddKeyItem(window.handle(), "secret");
    window.Drop({folder.Child("a.txt")});
    const Shown before = Showing(window);
    const HmacAllocFn allocate = gHmacAlloc;
    gHmacAlloc = FailAllocation;
    window.Drop({folder.Child("b.txt")});
    gHmacAlloc = allocate;
    EXPECT_TRUE(Showing(window) == before);
    SetWindowTextA(key, "");  // unkeyed reports allocate nothing of their own
    gHmacAlloc = FailAllocation;
    window.Drop({folder.Child("b.txt")});
    gHmacAlloc = allocate;
    EXPECT_EQ(window.Output(), ExpectedReport("other"));
}

TEST(MainDialogProc, ReturnValues) {
    MainWindow window;
    EXPECT_EQ(MainDialogProc(window.handle(), WM_INITDIALOG, 0, 0), 0);
    EXPECT_EQ(MainDialogProc(window.handle(), WM_COMMAND, MAKEWPARAM(IDC_EXIT + 100, 0), 0), 0);
    EXPECT_EQ(MainDialogProc(window.handle(), WM_CLOSE, 0, 0), 1);
}

INT_PTR RunMainDialog() {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                           MainDialogProc, 0);
}

TEST(MainCommands, EscapeLeavesTheWindowOpenAndExitEndsItWithZero) {
    INT_PTR result = -1;
    HWND dialog = nullptr;
    bool openAfterEscape = false;
    RunWithSteps([&] { result = RunMainDialog(); },
                 {[&] {
                      dialog = FindThreadWindow("kORv");
                      if (!dialog) return false;
                      PostMessageA(GetDlgItem(dialog, IDC_BROWSE), WM_KEYDOWN, VK_ESCAPE, 0x10001);
                      PostMessageA(GetDlgItem(dialog, IDC_BROWSE), WM_KEYUP, VK_ESCAPE, 0xC0010001);
                      return true;
                  },
                  [&] {
                      openAfterEscape = IsWindowVisible(dialog);
                      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_EXIT, BN_CLICKED), 0);
                      return true;
                  }});
    EXPECT_TRUE(openAfterEscape);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST(MainCommands, CloseMessageEndsTheDialogWithZero) {
    INT_PTR result = -1;
    RunWithSteps([&] { result = RunMainDialog(); }, {[&] {
                     HWND dialog = FindThreadWindow("kORv");
                     if (!dialog) return false;
                     PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);  // the caption's button
                     return true;
                 }});
    EXPECT_EQ(result, 0);
}

// The file name box of the open-file dialog (cmb13).
constexpr int kFileNameBox = 1148;

// The real open-file dialog, run by Browse and answered by a step: the step reads the
// name the dialog starts with, then types `answer` and presses Open, or cancels when
// `answer` is empty.
std::string Browse(MainWindow& window, const std::string& answer) {
    std::string offered;
    RunWithSteps([&] { window.Command(IDC_BROWSE); }, {[&] {
                     HWND open = FindThreadWindow("Open");
                     if (!open || !GetDlgItem(open, kFileNameBox)) return false;
                     offered = ItemText(open, kFileNameBox);
                     if (answer.empty()) {
                         PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
                     } else {
                         SetDlgItemTextA(open, kFileNameBox, answer.c_str());
                         PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                      reinterpret_cast<LPARAM>(GetDlgItem(open, IDOK)));
                     }
                     return true;
                 }});
    return offered;
}

TEST(Browse, HashesTheChosenFileAndOffersItNextTime) {
    ScratchFolder folder("browse");
    WriteBytes(folder.Child("a.txt"), "abc");
    MainWindow window;
    Browse(window, folder.Child("a.txt"));
    EXPECT_EQ(window.Input(), folder.Child("a.txt"));
    EXPECT_EQ(window.Output(), ExpectedReport("abc"));

    const Shown before = Showing(window);
    const std::string offered = Browse(window, "");  // cancelled
    EXPECT_NE(offered.find("a.txt"), std::string::npos) << offered;
    EXPECT_TRUE(Showing(window) == before);
    EXPECT_EQ(std::string(gFileName), folder.Child("a.txt"));

    // A name of no file is accepted by the dialog and then changes nothing.
    Browse(window, folder.Child("missing.txt"));
    EXPECT_TRUE(Showing(window) == before);
    EXPECT_EQ(std::string(gFileName), folder.Child("missing.txt"));
}

// The dialog moves the current directory to the folder it showed; the saved report must
// still go to the folder the program started in, and never over the hashed file.
TEST(Browse, PutsTheCurrentDirectoryBack) {
    ScratchFolder folder("browse_directory");
    CreateDirectoryA("sub", nullptr);
    WriteBytes(folder.Child("sub\\saved.txt"), "precious");
    MainWindow window;
    Browse(window, folder.Child("sub\\saved.txt"));
    EXPECT_EQ(window.Input(), folder.Child("sub\\saved.txt"));
    EXPECT_EQ(CurrentDirectory(), folder.path());
    window.Command(IDC_SAVE);
    EXPECT_EQ(ReadBytes(folder.Child("sub\\saved.txt")), "precious");
    EXPECT_EQ(ReadBytes(folder.Child("saved.txt")),
              BuildSavedReport(folder.Child("sub\\saved.txt").c_str(), ExpectedReport("precious")));
}

// A dialog whose chosen path does not fit the buffer: it fails and writes the size the
// path needs into the buffer's first two bytes, as the platform documents.
BOOL WINAPI OpenDialogWithTooLongPath(OPENFILENAMEA* request) {
    request->lpstrFile[0] = char(600 & 0xFF);
    request->lpstrFile[1] = char(600 >> 8);
    return FALSE;
}

TEST(Browse, FailedDialogKeepsThePreviousName) {
    ScratchFolder folder("browse_too_long");
    WriteBytes(folder.Child("a.txt"), "abc");
    MainWindow window;
    window.Drop({folder.Child("a.txt")});
    const Shown before = Showing(window);
    {
        FunctionPatch dialog("comdlg32.dll", "GetOpenFileNameA",
                             reinterpret_cast<void*>(OpenDialogWithTooLongPath));
        window.Command(IDC_BROWSE);
    }
    EXPECT_EQ(std::string(gFileName), folder.Child("a.txt"));
    EXPECT_TRUE(Showing(window) == before);
}

}  // namespace
