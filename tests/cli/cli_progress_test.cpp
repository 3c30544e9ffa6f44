// The progress indicator: on a terminal, after a second, erased when done; never when
// standard error is not a terminal; what it says.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "cli_test_support.h"
#include "program_runner.h"
#include "batch/progress.h"

namespace {

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(n));
    return text;
}

// What korvadex, run with args and standard error on a terminal, writes there and on
// standard output (or there too, when outputOnTerminal is set), when its input (standard
// input, or the FIFO at fifo) gives "ab", then after 1.7 s "c".
struct TerminalRun {
    std::string shown;
    std::string out;
    int status = -1;
};

TerminalRun RunOnTerminal(std::vector<const char*> args, const char* fifo = nullptr,
                          bool outputOnTerminal = false) {
    TerminalRun run;
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return run;
    int terminal = -1;
    pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0) return run;
    if (pid == 0) {
        dup2(in[0], 0);
        if (!outputOnTerminal) dup2(out[1], 1);
        for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
        args.insert(args.begin(), "korvadex");
        args.push_back(nullptr);
        execv(KorvadexPath(), const_cast<char* const*>(args.data()));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    int feed = in[1];
    if (fifo != nullptr) {
        close(in[1]);
        feed = open(fifo, O_WRONLY);  // waits for korvadex to open it
    }
    bool written = write(feed, "ab", 2) == 2;
    usleep(1700 * 1000);
    written = write(feed, "c", 1) == 1 && written;
    close(feed);
    run.shown = ReadAll(terminal);  // ends when the program has exited
    run.out = ReadAll(out[0]);
    close(terminal);
    close(out[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status) && written) {
        run.status = WEXITSTATUS(status);
    }
    return run;
}

TEST(CliProgress, ShownOnATerminalWhileASlowInputIsReadAndErasedWhenDone) {
    if (UnderWine()) GTEST_SKIP() << "it needs a POSIX terminal (a pseudo-terminal)";
    const TerminalRun run = RunOnTerminal({"-"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, ExpectedReport("abc"));
    // The rate depends on the timing: only its unit is certain.
    EXPECT_EQ(run.shown.rfind("\rkorvadex: reading standard input: 2 bytes, ", 0), 0u) << run.shown;
    EXPECT_NE(run.shown.find(" bytes/s\033[K"), std::string::npos) << run.shown;
    ASSERT_GE(run.shown.size(), 4u);
    EXPECT_EQ(run.shown.substr(run.shown.size() - 4), "\r\033[K") << run.shown;
}

// A name is shown as messages show it, so that it cannot give the terminal commands.
TEST(CliProgress, ANameWithControlCharactersIsShownEscaped) {
    if (UnderWine()) GTEST_SKIP() << "it needs a POSIX terminal (a pseudo-terminal)";
    TempDir dir;
    const std::string fifo = dir.Path("in\033]0;title\a");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const TerminalRun run = RunOnTerminal({"-a", "md5", fifo.c_str()}, fifo.c_str());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.shown.find('\a'), std::string::npos) << run.shown;
    EXPECT_NE(run.shown.find("\\x1B]0;title\\x07: 2 bytes, "), std::string::npos) << run.shown;
}

// A job of several inputs: one line for the whole job, off the lines of messages and of
// output to the same terminal, erased when done.
TEST(CliProgress, AJobOfSeveralInputsShowsOneLineAndKeepsItOffTheMessages) {
    if (UnderWine()) GTEST_SKIP() << "it needs a POSIX terminal (a pseudo-terminal)";
    const TerminalRun run = RunOnTerminal({"-a", "md5", "-", "no-such-input"}, nullptr, true);
    EXPECT_EQ(run.status, 1);
    // Standard input has no size, so the job's total is not known.  The missing input, run
    // beside it, may be done (and counted) before the line is first drawn.
    EXPECT_TRUE(run.shown.rfind("\rkorvadex: 0 of 2 files, 2 bytes, ", 0) == 0 ||
                run.shown.rfind("\rkorvadex: 1 of 2 files, 2 bytes, ", 0) == 0)
        << run.shown;
    EXPECT_NE(run.shown.find("\r\033[KInput: -\r\nMD5: "
                             "900150983CD24FB0D6963F7D28E17F72\r\n\rkorvadex: "),
              std::string::npos)
        << run.shown;
    EXPECT_NE(run.shown.find("\r\033[Kkorvadex: no-such-input: no such file\r\n\rkorvadex: "),
              std::string::npos)
        << run.shown;
    ASSERT_GE(run.shown.size(), 4u);
    EXPECT_EQ(run.shown.substr(run.shown.size() - 4), "\r\033[K") << run.shown;
}

TEST(CliProgress, TheTextGivesTheBytesReadOfTheSizeThePercentageAndTheRate) {
    const int64_t size = int64_t(5) << 30;
    EXPECT_EQ(Progress::Text("big", size, uint64_t(1536) << 20, 2.0),
              "korvadex: reading big: 1536 MiB of 5120 MiB, 30%, 768 MiB/s");
    EXPECT_EQ(Progress::Text("big", size, uint64_t(size), 8.0),
              "korvadex: reading big: 5120 MiB of 5120 MiB, 100%, 640 MiB/s");
    EXPECT_EQ(Progress::Text("standard input", -1, 20000, 0.5),
              "korvadex: reading standard input: 19 KiB, 39 KiB/s");
}

TEST(CliProgress, TheJobTextGivesTheFilesTheBytesTheRateAndTheTimeLeft) {
    const struct {
        size_t done, files;
        uint64_t bytes;
        int64_t total;
        double seconds;
        const char* text;
        int64_t size = -1;  // of the input being read
        uint64_t read = 0;
    } cases[] = {
        {12, 64, uint64_t(48) << 20, int64_t(256) << 20, 2.0,
         "korvadex: 12 of 64 files, 48 MiB of 256 MiB, 18%, 24 MiB/s, 9 s left"},
        {1, 3, uint64_t(1) << 30, int64_t(100) << 30, 10.0,
         "korvadex: 1 of 3 files, 1024 MiB of 102400 MiB, 1%, 102 MiB/s, 16 min 30 s left"},
        {0, 2, 20000, int64_t(200000000), 1.0,
         "korvadex: 0 of 2 files, 19 KiB of 190 MiB, 0%, 19 KiB/s, 2 h 46 min left"},
        {5, 5, 4096, 4096, 2.0,
         "korvadex: 5 of 5 files, 4096 bytes of 4096 bytes, 100%, 2048 bytes/s"},
        {1, 1, 0, 0, 1.5, "korvadex: 1 of 1 file, 0 bytes, 0 bytes/s"},
        {3, 0, uint64_t(12) << 20, -1, 4.0, "korvadex: 3 files, 12 MiB, 3072 KiB/s"},
        {1, 0, 100, -1, 0.0, "korvadex: 1 file, 100 bytes"},
        // A list being checked: the share read of the input being read.
        {2, 0, uint64_t(1536) << 20, -1, 2.0, "korvadex: 2 files, 1536 MiB, 768 MiB/s; 30% of big",
         int64_t(5) << 30, uint64_t(1536) << 20},
        {2, 0, uint64_t(1536) << 20, -1, 2.0, "korvadex: 2 files, 1536 MiB, 768 MiB/s", -1, 5},
        {2, 4, 3000, 9000, 1.0,
         "korvadex: 2 of 4 files, 3000 bytes of 9000 bytes, 33%, 3000 bytes/s, 2 s left", 5000,
         1000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            Progress::JobText(c.done, c.files, c.bytes, c.total, c.seconds, "big", c.size, c.read),
            c.text);
    }
}

TEST(CliProgress, NeverShownWhenStandardErrorIsNotATerminal) {
    RunOptions slow;
    slow.input = "abc";
    slow.inputDelayMs = 1500;
    RunResult r = RunKorvadex({"-"}, slow);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ExpectedReport("abc"));
    r = RunKorvadex({"-a", "md5", "--format", "gnu", "-", "--string", "abc"}, slow);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

}  // namespace
