// Allocations that fail under the window procedure: each allocation of the report path and
// of the save command is made to fail in turn, through this program's own operator new.  A
// failure is a failed load or save: the screen keeps what it showed, and the program goes on.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <new>
#include <string>

#include "report_text.h"
#include "resource_ids.h"
#include "window_test_support.h"
#include "windows_report.h"

namespace {

// 0: allocations succeed.  n > 0: the n-th allocation from now throws std::bad_alloc.
long gAllocationsBeforeFailure = 0;
bool gAllocationFailed = false;

void FailAllocation(long n) {
    gAllocationsBeforeFailure = n;
    gAllocationFailed = false;
}

// Whether the armed failure happened; disarms it.
bool AllocationFailed() {
    gAllocationsBeforeFailure = 0;
    return gAllocationFailed;
}

}  // namespace

void* operator new(size_t size) {
    if (gAllocationsBeforeFailure > 0 && --gAllocationsBeforeFailure == 0) {
        gAllocationFailed = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

// Longer than any allocation count of one report or save; the sweep stops well before.
constexpr long kSweepLimit = 100000;

struct Screen {
    std::string input, output, report;
};

Screen Showing(const MainWindow& window) {
    return {window.Input(), window.Output(), gReportText};
}

void ExpectUnchanged(const MainWindow& window, const Screen& before) {
    EXPECT_EQ(window.Input(), before.input);
    EXPECT_EQ(window.Output(), before.output);
    EXPECT_EQ(gReportText, before.report);
}

// A failure that the code absorbs (a sort that makes do without its scratch buffer) may
// still give the whole report; anything between the two is a fault.
TEST(AllocationFailure, EachFailedAllocationOfAReportChangesNothing) {
    ScratchFolder folder("allocation_report");
    const std::string a = folder.Child("a.txt"), b = folder.Child("b.txt");
    const std::string bBytes(300, 'b');
    WriteBytes(a, "abc");
    WriteBytes(b, bBytes);
    MainWindow window;
    window.Drop({a});
    const Screen before = Showing(window);
    ASSERT_EQ(before.output, ExpectedReport("abc"));
    const std::string bReport = ExpectedReport(bBytes);

    long refused = 0;
    for (long n = 1; n < kSweepLimit; ++n) {
        HDROP drop = MakeDrop({b});
        FailAllocation(n);
        SendMessageA(window.handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        const bool failed = AllocationFailed();
        SCOPED_TRACE("allocation " + std::to_string(n));
        if (window.Input() == b) {
            EXPECT_EQ(window.Output(), bReport);
            EXPECT_EQ(gReportText, bReport);
            if (!failed) break;  // the report got through all its allocations
            window.Drop({a});
        } else {
            ASSERT_TRUE(failed);
            ++refused;
            ExpectUnchanged(window, before);
        }
        if (HasFailure()) return;
    }
    EXPECT_GT(refused, 0);
    EXPECT_EQ(window.Output(), bReport);
}

TEST(AllocationFailure, EachFailedAllocationOfASaveWritesNothing) {
    ScratchFolder folder("allocation_save");
    WriteBytes(folder.Child("a.txt"), "abc");
    MainWindow window;
    window.Drop({folder.Child("a.txt")});
    const Screen before = Showing(window);
    const std::string saved = BuildSavedReport(folder.Child("a.txt").c_str(), before.output);

    long refused = 0;
    for (long n = 1; n < kSweepLimit; ++n) {
        WriteBytes("saved.txt", "old");
        FailAllocation(n);
        SendMessageA(window.handle(), WM_COMMAND, MAKEWPARAM(IDC_SAVE, 0), 0);
        const bool failed = AllocationFailed();
        SCOPED_TRACE("allocation " + std::to_string(n));
        const std::string written = ReadBytes("saved.txt");
        if (written == "old") {
            EXPECT_TRUE(failed);
            ++refused;
        } else {
            EXPECT_EQ(written, saved);
            if (!failed) break;
        }
        ExpectUnchanged(window, before);
        if (HasFailure()) return;
    }
    EXPECT_GT(refused, 0);
    EXPECT_EQ(ReadBytes("saved.txt"), saved);
}

}  // namespace
