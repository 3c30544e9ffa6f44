// --list --paths: the way each line computes on this processor, the row of its engine's path
// table; the portable row for every line with KORVADEX_PORTABLE=1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/line_names.h"
#include "program_runner.h"
#include "report_lines.h"

namespace {

// The lines of --list --paths, each the line's name, blanks and the row's name.
void ExpectPaths(const std::string& out, bool portable) {
    size_t start = 0;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        const size_t end = out.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = out.substr(start, end - start);
        const std::string name = LineName(kReportLines[i]);
        ASSERT_EQ(line.rfind(name + "  ", 0), 0u) << line;
        const std::string path = line.substr(line.find_first_not_of(' ', name.size()));
        if (portable) {
            // The CRCs' portable row is their table loops.
            EXPECT_TRUE(path == "portable" || path == "table") << line;
        } else {
            EXPECT_EQ(path, kReportLines[i].stream->path()) << line;
        }
        start = end + 1;
    }
    EXPECT_EQ(start, out.size());
}

TEST(ListPaths, NamesTheRowEachLineRuns) {
    if (UnderWine())
        GTEST_SKIP() << "it compares with the rows of this build, and the Windows build lacks the "
                        "System V assembly";
    RunResult r = RunKorvadex({"--list", "--paths"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    ExpectPaths(r.out, false);

    setenv("KORVADEX_PORTABLE", "1", 1);
    r = RunKorvadex({"--paths", "--list"});
    unsetenv("KORVADEX_PORTABLE");
    EXPECT_EQ(r.status, 0);
    ExpectPaths(r.out, true);
}

TEST(ListPaths, GoesWithListOnly) {
    for (const auto& args :
         {std::vector<std::string>{"--paths"}, std::vector<std::string>{"--self-test", "--paths"},
          std::vector<std::string>{"--paths", "--string", "abc"}}) {
        const RunResult r = RunKorvadex(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("--paths goes with --list only"), std::string::npos) << r.err;
    }
}

}  // namespace
