// The walk the user steers: each filter takes the files the find command that says the same
// selects, and --check leaves out the same entries of a list.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "program_runner.h"

namespace {

std::vector<std::string> SplitNul(const std::string& text) {
    std::vector<std::string> parts;
    for (size_t from = 0, end; from < text.size(); from = end + 1) {
        end = text.find('\0', from);
        if (end == std::string::npos) end = text.size();
        parts.push_back(text.substr(from, end - from));
    }
    return parts;
}

// The names of the lines of "--format gnu -z", in the order written.
std::vector<std::string> HashedNames(const std::string& out) {
    std::vector<std::string> names;
    for (const std::string& line : SplitNul(out)) names.push_back(line.substr(line.find("  ") + 2));
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// A name as a verdict of --check shows it.
std::string Verdict(const std::string& name) {
    if (name.find('\n') == std::string::npos) return name + ": OK\n";
    std::string escaped = "\\";
    for (char c : name) escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    return escaped + ": OK\n";
}

// A tree with hidden files, nested directories, a directory with a file's suffix, names with
// blanks and line breaks, and links (which the walk skips, as find -type f does, unless it
// follows them).
void MakeTree(const std::string& root) {
    ASSERT_EQ(Shell("mkdir -p '" + root + "' && cd '" + root +
                    "' && mkdir -p sub/.hid sub/deep sub/build build dir.log && "
                    "for f in a.txt .hidden 'sp ace.log' \"$(printf 'line\\nbreak.txt')\" "
                    "sub/b.txt sub/.hid/c.txt sub/deep/d.log build/e.txt sub/build/f.txt "
                    "dir.log/g.txt; do printf '%s' \"$f\" > \"$f\"; done && ln -s a.txt link && "
                    "ln -s sub/deep linked && ln -s missing nowhere")
                  .status,
              0);
}

TEST(CliWalk, EachFilterTakesWhatFindSelects) {
    if (UnderWine()) GTEST_SKIP() << "a name holds a line break, which no Windows name can";
    TempDir dir;
    const std::string root = dir.Path("tree");
    MakeTree(root);
    RunOptions here;
    here.directory = root;
    const struct {
        std::vector<std::string> args;
        const char* find;  // the arguments of find
        bool checks;       // the same options choose the entries of -c
    } cases[] = {
        {{}, ". -type f -print0", true},
        {{"--exclude", "*.log"}, ". -name '*.log' -prune -o -type f -print0", true},
        {{"--exclude", "build/"}, ". -type d -name build -prune -o -type f -print0", true},
        {{"--exclude", "sub/build"}, ". -path ./sub/build -prune -o -type f -print0", true},
        {{"--exclude", "/sub/*/"}, ". -type d -path './sub/*' -prune -o -type f -print0", true},
        {{"--exclude", ".*"}, ". -name '.*' ! -name . -prune -o -type f -print0", true},
        {{"--include", "*.txt"}, ". -type f -name '*.txt' -print0", true},
        {{"--include", "sub/*.txt"},
         ". -type f -path './sub/*.txt' ! -path './sub/*/*' -print0",
         true},
        {{"--include", "d.log", "--exclude", "*.log"},
         ". -name '*.log' ! -name d.log -prune -o -type f -print0",
         true},
        {{"--exclude", "deep", "--include", "*.log"},
         ". -name deep -prune -o -type f -name '*.log' -print0",
         true},
        {{"--follow", "--exclude", "nowhere"},
         "-L . -name nowhere -prune -o -type f -print0",
         false},
        {{"--max-depth", "0"}, ". -maxdepth 0 -type f -print0", false},
        {{"--max-depth", "1"}, ". -maxdepth 1 -type f -print0", false},
        {{"--max-depth", "2", "--exclude", "build/"},
         ". -maxdepth 2 -type d -name build -prune -o -maxdepth 2 -type f -print0",
         false},
    };
    const std::vector<std::string> common = {"-a", "crc32", "--format", "gnu", "-z"};
    RunResult list = RunKorvadex({"-a", "crc32", "--format", "gnu", "-r", "."}, here);
    ASSERT_EQ(list.status, 0) << list.err;
    WriteFile(dir.Path("LIST"), list.out);
    for (const auto& c : cases) {
        std::vector<std::string> args = common;
        args.push_back("-r");
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(".");
        SCOPED_TRACE(c.find);
        RunResult walked = RunKorvadex(args, here);
        EXPECT_EQ(walked.status, 0) << walked.err;
        const std::vector<std::string> found =
            SplitNul(Shell("cd '" + root + "' && find " + c.find).out);
        const std::vector<std::string> names = HashedNames(walked.out);
        EXPECT_EQ(names, Sorted(names));
        EXPECT_EQ(names, Sorted(found));
        if (!c.checks) continue;
        std::vector<std::string> checkArgs = c.args;
        checkArgs.insert(checkArgs.end(), {"-a", "crc32", "-c", dir.Path("LIST")});
        RunResult checked = RunKorvadex(checkArgs, here);
        std::string verdicts;
        for (const std::string& name : names) verdicts += Verdict(name);
        EXPECT_EQ(checked.status, 0) << checked.err;
        EXPECT_EQ(checked.out, verdicts);
    }
    // Names from find -print0, line breaks and all, are hashed in the order given.
    const std::string files = Shell("cd '" + root + "' && find . -type f -print0").out;
    RunOptions piped = here;
    piped.input = files;
    RunResult named =
        RunKorvadex({"-a", "crc32", "--format", "gnu", "-z", "--files-from", "-", "-0"}, piped);
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(HashedNames(named.out), SplitNul(files));
    // A list that --exclude empties checks nothing, which is no success.
    RunResult none = RunKorvadex({"-a", "crc32", "-c", "--exclude", "*", dir.Path("LIST")}, here);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("leave out every entry"), std::string::npos) << none.err;
}

TEST(CliWalk, OneFileSystemStaysOnTheFileSystemOfTheDirectoryGiven) {
    if (UnderWine()) GTEST_SKIP() << "Wine shows the host's file systems as one volume";
    TempDir dir;
    const std::string root = dir.Path("tree");
    ASSERT_EQ(Shell("mkdir -p '" + root + "/mnt' && printf 1 > '" + root + "/top'").status, 0);
    if (::geteuid() != 0 || ::mount("none", (root + "/mnt").c_str(), "tmpfs", 0, nullptr) != 0) {
        GTEST_SKIP() << "cannot mount a file system here";
    }
    WriteFile(root + "/mnt/inside", "2");
    const std::vector<std::string> args = {"-a", "crc32", "--format", "gnu", "-z", "-r"};
    for (bool oneFileSystem : {false, true}) {
        std::vector<std::string> walk = args;
        if (oneFileSystem) walk.push_back("-x");
        walk.push_back(root);
        const std::string find =
            "find '" + root + "' " + (oneFileSystem ? "-xdev " : "") + "-type f -print0";
        EXPECT_EQ(Sorted(HashedNames(RunKorvadex(walk).out)), Sorted(SplitNul(Shell(find).out)))
            << find;
    }
    ::umount((root + "/mnt").c_str());
}

}  // namespace
