// --tree: what changes a tree's value and what does not, what it refuses, and --expect.
// tests/tree_digest_test.py checks the values themselves against the definition.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "program_runner.h"

namespace {

// A tree with a file, a nested one, an empty directory, a link inside the tree, and links to
// a file and a directory beside it, which are not in the tree unless followed.
void MakeTree(const std::string& parent) {
    ASSERT_EQ(Shell("cd '" + parent +
                    "' && mkdir -p t/b t/e outside && printf abc > t/a.txt && "
                    "printf x > t/b/c.txt && printf out > outside/o.txt && ln -s a.txt t/l && "
                    "ln -s ../outside/o.txt t/to-file && ln -s ../outside t/to-dir")
                  .status,
              0);
}

RunResult Tree(const std::vector<std::string>& options, const std::string& dir) {
    std::vector<std::string> args{"--tree", "--tag", "-a", "md5,sha256"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(dir);
    return RunKorvadex(args);
}

TEST(CliTree, ValueFollowsContentNamesAndKindsOnly) {
    if (UnderWine()) GTEST_SKIP() << "its tree holds symbolic links, which Wine shows as the files they lead to";
    const struct {
        const char* change;  // run in the folder that holds t and outside
        std::vector<std::string> options;
        bool changes;
    } cases[] = {
        {"touch -d 2001-01-01 t/a.txt t/b", {}, false},
        {"chmod 700 t/a.txt t/b", {}, false},
        {"cp -a t t2 && rm -r t && mv t2 t", {}, false},
        {"printf abd > t/a.txt", {}, true},
        {"printf abcd > t/a.txt", {}, true},
        {"mv t/b/c.txt t/b/d.txt", {}, true},
        {"mv t/e t/f", {}, true},
        {"mkdir t/b/new", {}, true},
        {"rmdir t/e", {}, true},
        {"ln -sfn b t/l", {}, true},
        {"rm t/l && cp t/a.txt t/l", {}, true},
        // Links are not followed unless asked.
        {"printf changed > outside/o.txt", {}, false},
        {"printf changed > outside/new.txt", {}, false},
        {"printf changed > outside/o.txt", {"--follow"}, true},
        {"printf changed > outside/new.txt", {"--follow"}, true},
        // What the filters leave out is not in the tree.
        {"printf y > t/b/x.log", {"--exclude", "*.log"}, false},
        {"printf y > t/b/x.log", {"--exclude", "*.txt"}, true},
        {"printf y > t/b/c.txt", {"--exclude", "b/"}, false},
        {"mkdir t/b/new", {"--include", "*.txt"}, true},
        {"printf y > t/b/c.txt", {"--max-depth", "1"}, false},
        {"mkdir t/b/new", {"--max-depth", "1"}, false},
        {"mkdir t/new", {"--max-depth", "1"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        TempDir dir;
        MakeTree(dir.Path(""));
        const RunResult before = Tree(c.options, dir.Path("t"));
        ASSERT_EQ(before.status, 0) << before.err;
        ASSERT_EQ(Shell("cd '" + dir.Path("") + "' && " + c.change).status, 0);
        const RunResult after = Tree(c.options, dir.Path("t"));
        ASSERT_EQ(after.status, 0) << after.err;
        // Each algorithm's line changes with the tree, or neither does.
        const size_t split = before.out.find('\n') + 1;
        EXPECT_EQ(before.out.substr(0, split) != after.out.substr(0, split), c.changes);
        EXPECT_EQ(before.out.substr(split) != after.out.substr(split), c.changes);
    }
}

TEST(CliTree, RefusesWhatItCannotCoverAndChecksExpectedValues) {
    if (UnderWine()) GTEST_SKIP() << "its tree holds symbolic links and a FIFO, which Wine shows otherwise";
    TempDir dir;
    MakeTree(dir.Path(""));
    const std::string t = dir.Path("t");
    const RunResult value = RunKorvadex({"--tree", "--tag", t});
    ASSERT_EQ(value.status, 0) << value.err;
    ASSERT_EQ(value.out.rfind("SHA256-TREE (" + t + ") = ", 0), 0u) << value.out;
    const std::string hex = value.out.substr(value.out.size() - 65, 64);
    std::string upper = hex;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(RunKorvadex({"--tree", t}).out, "Tree: " + t + "\nSHA-256: " + upper + "\n");

    const struct {
        std::vector<std::string> args;
        int status;
        const char* out;  // standard output, "" for none
        const char* err;  // in standard error
    } cases[] = {
        {{"--tree", t, "--expect", hex}, 0, ": OK\n", ""},
        {{"--tree", t, "--expect", "00" + hex.substr(2)}, 1, ": FAILED\n", ""},
        {{"--tree", "--follow", t, "--expect", hex}, 1, ": FAILED\n", ""},
        {{"--tree", t, "--expect", hex, "-a", "md5,sha256"}, 2, "", "one algorithm"},
        {{"--tree", t, t, "--expect", hex}, 2, "", "one DIR"},
        {{"--tree", "--format", "gnu", "-a", "md5", t}, 2, "", "not of trees"},
        {{"--tree", "-"}, 2, "", "standard input"},
        {{"--tree"}, 2, "", "at least one DIR"},
        {{"--expect", hex, t}, 2, "", "--expect"},
        {{"--tree", t + "/a.txt"}, 1, "", "not a directory"},
        {{"--tree", dir.Path("none")}, 1, "", "no such file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const RunResult result = RunKorvadex(c.args);
        EXPECT_EQ(result.status, c.status) << result.err;
        if (*c.out == '\0') {
            EXPECT_EQ(result.out, "");
        } else {
            EXPECT_EQ(result.out, t + c.out);
        }
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    }

    // No value of a part of a tree: a FIFO or a dangling link followed fails the whole tree,
    // and the other trees still get theirs.
    const struct {
        const char* make;
        std::vector<std::string> options;
        const char* err;
    } faults[] = {
        {"mkfifo t/b/fifo", {}, "t/b/fifo: a FIFO"},
        {"ln -s missing t/b/dangling", {"--follow"}, "t/b/dangling: a dangling symbolic link"},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.make);
        TempDir other;
        MakeTree(other.Path(""));
        ASSERT_EQ(Shell("cd '" + other.Path("") + "' && " + f.make).status, 0);
        std::vector<std::string> args{"--tree", "--tag"};
        args.insert(args.end(), f.options.begin(), f.options.end());
        args.push_back(other.Path("t"));
        args.push_back(other.Path("outside"));
        const RunResult result = RunKorvadex(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out.find(other.Path("t") + ")"), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("(" + other.Path("outside") + ")"), std::string::npos);
        EXPECT_NE(result.err.find(f.err), std::string::npos) << result.err;
        args.insert(args.begin() + 2, {"--exclude", "b/"});
        EXPECT_EQ(RunKorvadex(args).status, 0);
    }
}

}  // namespace
