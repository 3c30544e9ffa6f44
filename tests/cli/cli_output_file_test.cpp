// What --save does to each kind of thing at its path, and to a write stopped by a signal:
// nothing at the path is destroyed, and no temporary file stays behind.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <thread>

#include "cli_test_support.h"
#include "program_runner.h"
#include "report_text.h"
#include "system/file_output.h"

namespace {

struct stat Stat(const std::string& path) {
    struct stat st = {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

constexpr unsigned kNobody = 65534;

// The saved report of "abc" for the input path.
std::string SavedAbc(const std::string& input) {
    std::string text;
    const ReportInput abc{reinterpret_cast<const uint8_t*>("abc"), 3, nullptr, 0};
    EXPECT_EQ(BuildReportText(abc, text), ReportStatus::kOk);
    return BuildSavedReport(input.c_str(), text);
}

struct SaveTarget {
    const char* name;
    // Makes what stands at the save path in the folder dir; returns the path.
    std::function<std::string(const std::string& dir)> make;
    std::string says;  // empty: saved, exit 0; else exit 1 and "not saved: " + says
    // Checks the folder afterwards; report is what a successful save writes.
    std::function<void(const std::string& dir, const std::string& report)> after;
};

// A device node of our own (never the system's); "" where this user may not make one.
std::string Node(const std::string& path, mode_t kind, unsigned major, unsigned minor) {
    if (mknod(path.c_str(), kind | 0644, makedev(major, minor)) == 0) return path;
    EXPECT_EQ(errno, EPERM) << path;
    return "";
}

const SaveTarget kTargets[] = {
    {"ChainOfLinks",
     [](const std::string& dir) {
         WriteFile(dir + "/target", "earlier");
         EXPECT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
         EXPECT_EQ(symlink("../target", (dir + "/sub/up").c_str()), 0);
         EXPECT_EQ(symlink("sub/up", (dir + "/link").c_str()), 0);
         return dir + "/link";
     },
     "",
     [](const std::string& dir, const std::string& report) {
         EXPECT_EQ(ReadFile(dir + "/target"), report);
         EXPECT_TRUE(S_ISLNK(Stat(dir + "/link").st_mode));
         EXPECT_TRUE(S_ISLNK(Stat(dir + "/sub/up").st_mode));
         EXPECT_EQ(Entries(dir + "/sub"), std::set<std::string>{"up"});
     }},
    {"DanglingLink",
     [](const std::string& dir) {
         EXPECT_EQ(symlink("new-report", (dir + "/link").c_str()), 0);
         return dir + "/link";
     },
     "",
     [](const std::string& dir, const std::string& report) {
         EXPECT_EQ(ReadFile(dir + "/new-report"), report);
         EXPECT_TRUE(S_ISLNK(Stat(dir + "/link").st_mode));
     }},
    {"DanglingLinkIntoNoFolder",
     [](const std::string& dir) {
         EXPECT_EQ(symlink("none/new-report", (dir + "/link").c_str()), 0);
         return dir + "/link";
     },
     "cannot create a file beside its target", nullptr},
    {"LinkLoop",
     [](const std::string& dir) {
         EXPECT_EQ(symlink("loop", (dir + "/loop").c_str()), 0);
         return dir + "/loop";
     },
     "too many levels of symbolic links", nullptr},
    {"OwnerGroupAndModeKept",
     [](const std::string& dir) {
         const std::string path = WriteFile(dir + "/owned", "earlier");
         if (geteuid() == 0) {
             EXPECT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
         }
         EXPECT_EQ(chmod(path.c_str(), 0604), 0);
         return path;
     },
     "",
     [](const std::string& dir, const std::string& report) {
         EXPECT_EQ(ReadFile(dir + "/owned"), report);
         const struct stat st = Stat(dir + "/owned");
         EXPECT_EQ(st.st_mode & 07777, 0604u);
         if (geteuid() == 0) {
             EXPECT_EQ(st.st_uid, kNobody);
             EXPECT_EQ(st.st_gid, kNobody);
         }
     }},
    {"NameOf255Bytes", [](const std::string& dir) { return dir + "/" + std::string(255, 'n'); }, "",
     [](const std::string& dir, const std::string& report) {
         EXPECT_EQ(ReadFile(dir + "/" + std::string(255, 'n')), report);
     }},
    {"HardLinks",
     [](const std::string& dir) {
         WriteFile(dir + "/one", "earlier");
         EXPECT_EQ(link((dir + "/one").c_str(), (dir + "/two").c_str()), 0);
         return dir + "/two";
     },
     "has 2 names (hard links)",
     [](const std::string& dir, const std::string&) {
         EXPECT_EQ(ReadFile(dir + "/one"), "earlier");
         EXPECT_EQ(Stat(dir + "/two").st_nlink, 2u);
     }},
    {"TheInputItself", [](const std::string& dir) { return dir + "/in"; }, "it is the input",
     [](const std::string& dir, const std::string&) { EXPECT_EQ(ReadFile(dir + "/in"), "abc"); }},
    {"LinkToTheInput",
     [](const std::string& dir) {
         EXPECT_EQ(symlink("in", (dir + "/link").c_str()), 0);
         return dir + "/link";
     },
     "it is the input",
     [](const std::string& dir, const std::string&) { EXPECT_EQ(ReadFile(dir + "/in"), "abc"); }},
    {"Directory",
     [](const std::string& dir) {
         EXPECT_EQ(mkdir((dir + "/folder").c_str(), 0755), 0);
         return dir + "/folder";
     },
     "is a directory",
     [](const std::string& dir, const std::string&) {
         EXPECT_TRUE(Entries(dir + "/folder").empty());
     }},
    {"NullDevice", [](const std::string& dir) { return Node(dir + "/null", S_IFCHR, 1, 3); }, "",
     [](const std::string& dir, const std::string&) {
         const struct stat st = Stat(dir + "/null");
         EXPECT_TRUE(S_ISCHR(st.st_mode));
         EXPECT_EQ(st.st_rdev, makedev(1, 3));
     }},
    {"FullDevice", [](const std::string& dir) { return Node(dir + "/full", S_IFCHR, 1, 7); },
     "write failed: no space left on device",
     [](const std::string& dir, const std::string&) {
         EXPECT_TRUE(S_ISCHR(Stat(dir + "/full").st_mode));
     }},
    {"BlockDevice", [](const std::string& dir) { return Node(dir + "/disk", S_IFBLK, 7, 0); },
     "is a block device",
     [](const std::string& dir, const std::string&) {
         EXPECT_TRUE(S_ISBLK(Stat(dir + "/disk").st_mode));
     }},
};

void PrintTo(const SaveTarget& t, std::ostream* out) {
    *out << t.name;
}

class CliSaveTarget : public testing::TestWithParam<SaveTarget> {};

TEST_P(CliSaveTarget, IsWrittenThroughOrAsItIsOrRefusedNeverReplaced) {
    const SaveTarget& t = GetParam();
    if (UnderWine() &&
        ((std::string(t.name).find("Link") != std::string::npos &&
          std::string(t.name) != "HardLinks") ||
         std::string(t.name) == "OwnerGroupAndModeKept" || std::string(t.name) == "BlockDevice")) {
        GTEST_SKIP() << "Wine shows the host's symbolic links as the files they name, and has "
                        "no POSIX modes or block devices";
    }
    TempDir dir;
    const std::string input = dir.Write("in", "abc");
    const std::string path = t.make(dir.Path(""));
    if (path.empty()) GTEST_SKIP() << "device nodes cannot be made here";
    const std::string name = path.substr(path.rfind('/') + 1);
    std::set<std::string> before = Entries(dir.Path(""));
    before.erase(name);
    RunResult r = RunKorvadex({"--save", path, input});
    EXPECT_EQ(r.out, ExpectedReport("abc"));
    if (t.says.empty()) {
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.rfind("korvadex: " + path + ": not saved: " + t.says, 0), 0u) << r.err;
    }
    // Only a new report may have appeared, and nothing else.
    std::set<std::string> after = Entries(dir.Path(""));
    after.erase("new-report");
    after.erase(name);
    EXPECT_EQ(after, before);
    if (t.after) t.after(dir.Path(""), SavedAbc(input));
}

INSTANTIATE_TEST_SUITE_P(Targets, CliSaveTarget, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<SaveTarget>& info) {
                             return info.param.name;
                         });

TEST(CliSave, AFifoIsWrittenAsItIs) {
    if (UnderWine()) GTEST_SKIP() << "FIFOs are POSIX";
    TempDir dir;
    const std::string input = dir.Write("in", "abc");
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    // Held open at both ends, the FIFO takes the report without a reader waiting on it, and
    // what it holds afterwards can be read without waiting.
    const int held = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(held, 0);
    RunResult r = RunKorvadex({"--save", fifo, input});
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = read(held, buffer, sizeof buffer)) > 0;)
        received.append(buffer, size_t(n));
    close(held);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(received, SavedAbc(input));
    EXPECT_TRUE(S_ISFIFO(Stat(fifo).st_mode));
    EXPECT_EQ(Entries(dir.Path("")), (std::set<std::string>{"fifo", "in"}));
    // Standard output's own link, whose text names no file for a pipe, leads to the pipe.
    RunResult self = RunKorvadex({"--save", "/proc/self/fd/1", input});
    EXPECT_EQ(self.status, 0);
    EXPECT_EQ(self.err, "");
    EXPECT_NE(self.out.find(SavedAbc(input)), std::string::npos) << self.out;
}

// The signal that mkostemp sends its own process once the file is made, 0: none.  The thread
// that makes the file holds the ending signals back then, so the kernel gives it to
// another thread, as it does when the workers of a batch are running.
volatile sig_atomic_t gSignalWhenMade = 0;

}  // namespace

extern "C" int mkostemp(char* pattern, int flags) {
    using Make = int (*)(char*, int);
    static const Make make = reinterpret_cast<Make>(dlsym(RTLD_NEXT, "mkostemp"));
    const int fd = make(pattern, flags);
    if (fd >= 0 && gSignalWhenMade != 0) {
        kill(getpid(), gSignalWhenMade);
        // Long enough for the other thread to take it while this one still makes the file.
        usleep(200 * 1000);
    }
    return fd;
}

namespace {

TEST(OutputFile, AStopSignalTakenByAnotherThreadWhileTheFileIsMadeRemovesIt) {
    if (UnderWine()) GTEST_SKIP() << "signals are POSIX";
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir dir;
        const std::string saved = dir.Write("saved", "earlier");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::thread([] {
                for (;;) pause();
            }).detach();
            gSignalWhenMade = signal;
            OutputFile file;
            std::string reason;
            if (!file.Open(saved, reason) || !file.Write("half", 4, reason)) _exit(2);
            for (;;) pause();
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(Entries(dir.Path("")), std::set<std::string>{"saved"});
        EXPECT_EQ(ReadFile(saved), "earlier");
    }
}

TEST(OutputFile, AStopSignalRemovesTheTemporaryFileAndStillEndsTheProcess) {
    if (UnderWine()) GTEST_SKIP() << "signals are POSIX";
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir dir;
        const std::string saved = dir.Write("saved", "earlier");
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            OutputFile file;
            std::string reason;
            if (!file.Open(saved, reason) || !file.Write("half", 4, reason)) _exit(2);
            (void)!write(ready[1], "r", 1);
            for (;;) pause();
        }
        close(ready[1]);
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        EXPECT_EQ(Entries(dir.Path("")).size(), 2u) << "the temporary file is there";
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(Entries(dir.Path("")), std::set<std::string>{"saved"});
        EXPECT_EQ(ReadFile(saved), "earlier");
    }
}

}  // namespace
