// Helpers of the window tests: scratch folders and files, the main window made modeless
// from the real template, hand-made drops, and steps run from a timer inside the modal
// loops of the platform (open-file dialog, message box, modal dialogs).
#ifndef KORVADEX_TESTS_WIN_WINDOW_TEST_SUPPORT_H
#define KORVADEX_TESTS_WIN_WINDOW_TEST_SUPPORT_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A fresh folder under the working directory, made the current directory for the life of
// the object; the previous current directory is restored afterwards.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    // The full path of name inside the folder.
    std::string Child(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string previous_;
    std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
// The whole content of path, or "<missing>" when it cannot be read.
std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
std::string CurrentDirectory();

// The report the core builds over the bytes (unkeyed when key is empty).
std::string ExpectedReport(const std::string& bytes, const std::string& key = "");

std::string ItemText(HWND dialog, int id);
std::string WindowText(HWND window);

// A drop of the given names as the shell makes it: DROPFILES and the ANSI name list in one
// block of global memory.  The receiver owns the block.
HDROP MakeDrop(const std::vector<std::string>& names);

// The main window from its real template and procedure, modeless, for the life of the
// object.
class MainWindow {
public:
    MainWindow();
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND handle() const { return dialog_; }
    void Drop(const std::vector<std::string>& names);
    void Command(int id);
    std::string Input() const { return ItemText(dialog_, 1001); }
    std::string Output() const { return ItemText(dialog_, 1235); }

private:
    HWND dialog_;
};

// Runs the steps in order from a 10 ms timer of this thread, which fires inside any modal
// loop; a step is repeated until it returns true.  Waits (pumping messages) until every
// step is done.  The steps run while `action` blocks in a modal loop: RunWithSteps calls
// action, then pumps until the steps are done.  A step that has not succeeded within a
// minute fails the test and ends the process, since a modal loop nobody closes would hang.
using Step = std::function<bool()>;
void RunWithSteps(const std::function<void()>& action, std::vector<Step> steps);

// A top-level window of this thread with the given caption, or null.
HWND FindThreadWindow(const char* caption);

// Pumps the messages of this thread for the given time.
void PumpMessages(DWORD milliseconds);

// Sends every call of a platform function to a replacement, for the life of the object,
// by writing a jump over the function's first bytes.  The replacement must have the same
// signature and calling convention; it can reach the original through CallOriginal.
class FunctionPatch {
public:
    FunctionPatch(const char* module, const char* function, void* replacement);
    ~FunctionPatch();
    FunctionPatch(const FunctionPatch&) = delete;
    FunctionPatch& operator=(const FunctionPatch&) = delete;

    // The original entry, to be called through its own type while `suspend` is alive.
    void* original() const { return target_; }
    class Suspend {
    public:
        explicit Suspend(FunctionPatch& patch) : patch_(patch) { patch_.Write(patch_.saved_); }
        ~Suspend() { patch_.Write(patch_.jump_); }

    private:
        FunctionPatch& patch_;
    };

private:
    void Write(const BYTE* bytes);
    BYTE* target_;
    BYTE saved_[5];
    BYTE jump_[5];
};

#endif
