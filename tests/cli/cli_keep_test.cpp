// Lists that are kept: --audit gives each file and each entry of a list of a changed tree one
// verdict, the right one, whatever tool wrote the list; --update hashes only what the list
// cannot vouch for, keeps the list's format, order and style, and ends with the list a fresh
// run writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "program_runner.h"

namespace {

std::string K() {
    return std::string("'") + KorvadexPath() + "'";
}

// The lines of text that hold entries (not hashdeep's header or comments), sorted.
std::vector<std::string> EntryLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 1, "#") != 0 && line.compare(0, 4, "%%%%") != 0) lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Runs korvadex in folder.
RunResult RunIn(const std::string& folder, const std::vector<std::string>& args) {
    RunOptions here;
    here.directory = folder;
    return RunKorvadex(args, here);
}

// text with the first from in it replaced by to.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// A JSON list of MD5 and SHA-256 written by Python of the tree given ("tree" by default), or
// with --normal LIST, one line "NAME SIZE TIME HEX..." per object of a JSON list.
const char kJsonLister[] = R"(
import datetime, hashlib, json, os, sys
def stamp(ns):
    when = datetime.datetime.fromtimestamp(ns // 10**9, datetime.timezone.utc)
    return when.strftime("%Y-%m-%dT%H:%M:%S") + ".%09dZ" % (ns % 10**9)
if sys.argv[1:2] == ["--normal"]:
    for line in open(sys.argv[2]):
        o = json.loads(line)
        print(o["name"], o["size"], o["modified"], *[o["digests"][k]["hex"] for k in sorted(o["digests"])])
    sys.exit(0)
for root, dirs, files in os.walk(sys.argv[1] if sys.argv[1:] else "tree"):
    for f in files:
        p = os.path.join(root, f)
        data = open(p, "rb").read()
        digests = {"MD5": {"hex": hashlib.md5(data).hexdigest()},
                   "SHA-256": {"hex": hashlib.sha256(data).hexdigest()}}
        print(json.dumps({"list_version": 1, "name": p, "size": len(data),
                          "modified": stamp(os.stat(p).st_mtime_ns), "digests": digests}))
)";

// A tree of files, each an hour old; names in byte order are a, b, c, d, empty1, empty2, sub/e.
void MakeTree(const TempDir& dir) {
    ASSERT_EQ(Shell("mkdir -p '" + dir.Path("tree/sub") + "'").status, 0);
    for (const char* name : {"a", "b", "c", "d", "sub/e"}) {
        dir.Write(std::string("tree/") + name, std::string("content of ") + name);
    }
    dir.Write("tree/empty1", "");
    dir.Write("tree/empty2", "");
    dir.Write("json_lister.py", kJsonLister);
    ASSERT_EQ(
        Shell("cd '" + dir.Path("") + "' && find tree -type f -exec touch -d '1 hour ago' {} +")
            .status,
        0);
}

TEST(CliKeep, AuditGivesEachFileAndEntryOneVerdictInEveryListFormat) {
    if (UnderWine())
        GTEST_SKIP() << "it makes its lists with korvadex inside shell pipelines, which the "
                        "Windows program cannot join";
    TempDir dir;
    MakeTree(dir);
    const std::string d = dir.Path("");
    const std::string abs = d + "tree/";
    const struct {
        const char* list;
        std::string maker;   // run in the folder above the tree
        std::string listed;  // how the list names tree/
    } lists[] = {
        {"list.hd", K() + " --format hashdeep -a md5,sha1 -r tree", "tree/"},
        {"SHA256SUMS", K() + " --format gnu -a sha256 -r tree", "tree/"},
        {"tagged", K() + " --tag -a md5,crc32 -r tree", "tree/"},
        {"list.sfv", K() + " --format sfv -r tree", "tree/"},
        {"columns", "rhash --md5 --sha1 -r tree", "tree/"},
        {"utf16", K() + " --format gnu -a sha1 -r tree | iconv -t UTF-16", "tree/"},
        {"relative.hd", "hashdeep -j0 -l -r tree", "tree/"},
        {"absolute.hd", "hashdeep -j0 -r tree", abs},
        {"list.json", "python3 json_lister.py", "tree/"},
        {"k.json", K() + " --format json -a sha1 -r tree", "tree/"},
        {"k.csv", K() + " --format csv -a md5,sha256 -r tree", "tree/"},
        {"windows.md5", K() + " --format gnu -a md5 -r tree | sed 's#/#\\\\#g'", "tree\\"},
    };
    for (const auto& l : lists) {
        ASSERT_EQ(Shell("cd '" + d + "' && " + l.maker + " > " + l.list).status, 0) << l.maker;
        RunResult audit = RunIn(d, {"--audit", l.list, "--quiet", "-r", "tree"});
        EXPECT_EQ(audit.status, 0) << l.list << audit.out << audit.err;
        EXPECT_EQ(audit.out, "") << l.list;
    }
    // b changes at its size, c moves, d goes, f and a copy of a come, the two empty files
    // go and three others come: the first two are taken for them, in name order.
    ASSERT_EQ(Shell("cd '" + d +
                    "tree' && echo changed > b && mv c sub/c2 && rm d empty1 empty2 && "
                    "echo new > f && cp a a-copy && : > z1 && : > z2 && : > z3")
                  .status,
              0);
    for (const auto& l : lists) {
        SCOPED_TRACE(l.list);
        RunResult audit = RunIn(d, {"--audit", l.list, "-r", "tree"});
        const std::string& n = l.listed;
        EXPECT_EQ(audit.out,
                  "tree/a: matched\n"
                  "tree/a-copy: new\n"
                  "tree/b: changed\n" +
                      n + "d: missing\n" +
                      "tree/f: new\n"
                      "tree/sub/c2: moved from " +
                      n + "c\ntree/sub/e: matched\ntree/z1: moved from " + n +
                      "empty1\ntree/z2: moved from " + n + "empty2\ntree/z3: new\n");
        EXPECT_NE(audit.err.find("audit FAILED: 2 matched, 1 changed, 3 moved, 3 new, 1 missing"),
                  std::string::npos)
            << audit.err;
        EXPECT_EQ(audit.status, 1);
    }
    RunResult silent =
        RunKorvadex({"--audit", dir.Path("list.hd"), "--status", "-r", dir.Path("tree")});
    EXPECT_EQ(silent.out + silent.err, "");
    EXPECT_EQ(silent.status, 1);
    // The same verdicts as JSON, as Python reads them, with the lines of their entries.
    ShellResult json = Shell(
        "cd '" + d + "' && " + K() +
        " --audit list.hd --format json --quiet -r tree 2>/dev/null | python3 -c 'import json, "
        "sys\nfor o in map(json.loads, sys.stdin): print(o[\"name\"], o[\"verdict\"], "
        "o.get(\"moved_from\", \"-\"), o.get(\"line\", 0), \"actual\" in o)'");
    EXPECT_EQ(json.out,
              "tree/a-copy new - 0 True\ntree/b changed - 7 True\ntree/d missing - 9 False\n"
              "tree/f new - 0 True\ntree/sub/c2 moved tree/c 8 True\n"
              "tree/z1 moved tree/empty1 10 True\ntree/z2 moved tree/empty2 11 True\n"
              "tree/z3 new - 0 True\n");
}

TEST(CliKeep, UpdateHashesWhatTheListCannotVouchForAndKeepsItsForm) {
    if (UnderWine())
        GTEST_SKIP() << "it makes its lists with korvadex inside shell pipelines, which the "
                        "Windows program cannot join";
    TempDir dir;
    MakeTree(dir);
    const std::string d = dir.Path("");
    struct Row {
        const char* list;
        std::string writes;      // korvadex's options that write it, or empty
        const char* firstRun;    // the summary of the first update
        std::string maker = "";  // a fresh list of tree, run in the folder above it
    };
    Row lists[] = {
        {"list.hd", "--format hashdeep -a md5,sha1",
         "1 added, 2 re-hashed (2 changed), 0 dropped, 5 kept (1 whose file is gone", ""},
        {"SHA256SUMS", "--format gnu -a sha256",
         "1 added, 1 re-hashed (1 changed), 0 dropped, 6 kept (1 whose file is gone", ""},
        {"tagged", "--tag -a md5,crc32",
         "1 added, 1 re-hashed (1 changed), 0 dropped, 6 kept (1 whose file is gone", ""},
        {"list.sfv", "--format sfv",
         "1 added, 1 re-hashed (1 changed), 0 dropped, 6 kept (1 whose file is gone", ""},
        {"columns", "", "1 added, 1 re-hashed (1 changed), 0 dropped, 6 kept (1 whose file is gone",
         "rhash --md5 --sha1 -r tree"},
        // Their times tell that b changed too.
        {"list.json", "",
         "1 added, 3 re-hashed (3 changed), 0 dropped, 4 kept (1 whose file is gone",
         "python3 json_lister.py"},
        {"k.json", "--format json -a md5,sha256",
         "1 added, 3 re-hashed (3 changed), 0 dropped, 4 kept (1 whose file is gone", ""},
        {"k.csv", "--format csv -a sha1",
         "1 added, 3 re-hashed (3 changed), 0 dropped, 4 kept (1 whose file is gone", ""},
    };
    for (auto& l : lists) {
        if (l.maker.empty()) l.maker = K() + " " + l.writes + " -r tree";
    }
    for (const auto& l : lists) {
        ASSERT_EQ(Shell("cd '" + d + "' && " + l.maker + " > " + l.list).status, 0) << l.maker;
    }
    // b changes an hour ago at its size (no list can tell), c now at its size (rewritten in the
    // second its list was written), e an hour ago at another size (a hashdeep list tells); d
    // goes, f comes.
    ASSERT_EQ(Shell("cd '" + d +
                    "tree' && printf 'CONTENT of b' > b && touch -d '1 hour ago' b && "
                    "printf 'CONTENT of c' > c && echo longer > sub/e && "
                    "touch -d '1 hour ago' sub/e && rm d && echo new > f")
                  .status,
              0);
    for (const auto& l : lists) {
        SCOPED_TRACE(l.list);
        const std::string before = ReadFile(dir.Path(l.list));
        RunResult update = RunIn(d, {"--update", l.list, "-r", "tree"});
        EXPECT_EQ(update.status, 0) << update.err;
        EXPECT_NE(update.err.find(l.firstRun), std::string::npos) << update.err;
        // The entries of b (and of e, but in the hashdeep list) still hold their old values.
        RunResult audit = RunIn(d, {"--audit", l.list, "-r", "tree"});
        const bool python = std::string(l.list) == "list.json";
        const bool hashdeep = std::string(l.list) == "list.hd";
        const bool timed =
            python || l.writes.find("--format json") == 0 || l.writes.find("--format csv") == 0;
        const bool sized = timed || hashdeep;
        EXPECT_EQ(audit.out,
                  std::string("tree/a: matched\ntree/b: ") + (timed ? "matched\n" : "changed\n") +
                      "tree/c: matched\n" +
                      "tree/d: missing\ntree/empty1: matched\ntree/empty2: matched\n" +
                      "tree/f: matched\ntree/sub/e: " + (sized ? "matched\n" : "changed\n"));
        // With --rehash and --prune, the list holds what a fresh list of the tree holds, in
        // the order it had.
        update = RunIn(d, {"--update", l.list, "--rehash", "--prune", "-r", "tree"});
        EXPECT_NE(update.err.find("0 added, 7 re-hashed"), std::string::npos) << update.err;
        EXPECT_NE(update.err.find("1 dropped, 0 kept"), std::string::npos) << update.err;
        const std::string after = ReadFile(dir.Path(l.list));
        ShellResult fresh = Shell("cd '" + d + "' && " + l.maker + " 2>/dev/null");
        if (python) {
            dir.Write("fresh.json", fresh.out);
            const std::string normal = "cd '" + d + "' && python3 json_lister.py --normal ";
            const std::vector<std::string> kept = EntryLines(Shell(normal + l.list).out);
            EXPECT_EQ(kept, EntryLines(Shell(normal + "fresh.json").out));
            EXPECT_EQ(kept.size(), 7u);
        } else {
            EXPECT_EQ(EntryLines(after), EntryLines(fresh.out));
        }
        // (Python's objects are written anew in korvadex's style.)
        if (!python) {
            EXPECT_EQ(after.substr(0, after.find("tree/")), before.substr(0, before.find("tree/")))
                << "the header";
        }
        if (l.writes.empty()) continue;
        // A list begun by --update is the list the maker writes (but for hashdeep's comment
        // that names the command).
        ASSERT_EQ(Shell("cd '" + d + "' && " + K() + " --update new-" + l.list + " " + l.writes +
                        " -r tree")
                      .status,
                  0);
        EXPECT_EQ(EntryLines(ReadFile(dir.Path(std::string("new-") + l.list))),
                  EntryLines(fresh.out));
        if (hashdeep) {
            ShellResult audit =
                Shell("cd '" + d + "' && hashdeep -j0 -c md5,sha1 -a -l -k " + l.list +
                      " -r tree && hashdeep -j0 -c md5,sha1 -a -l -k new-" + l.list + " -r tree");
            EXPECT_EQ(audit.status, 0) << audit.out;
        } else {
            EXPECT_EQ(after, fresh.out);
        }
    }
}

// The lines a list holds besides its entries, its line ends, byte order mark, order and
// style are kept: an update that finds nothing to do writes the list as it was, and one that
// hashes a file again changes its value alone; a new file comes before the first entry whose
// name sorts after it.
TEST(CliKeep, UpdateKeepsEachLineItDoesNotChange) {
    if (UnderWine())
        GTEST_SKIP() << "it makes its lists with korvadex inside shell pipelines, which the "
                        "Windows program cannot join";
    TempDir dir;
    MakeTree(dir);
    const std::string d = dir.Path("");
    const ReportLine& md5 =
        *std::find_if(kReportLines, kReportLines + kReportLineCount,
                      [](const ReportLine& l) { return l.label == std::string("MD5: "); });
    const std::string md5c = LineHex(md5, "content of c");
    const std::string list =
        std::string("\xEF\xBB\xBF# made by hand\r\n") + "MD5(tree/c)= " + md5c + "\r\n" +
        "MD5(tree/a)= " + LineHex(md5, "content of a") + "\r\n" +
        "MD5(tree/sub/e)= " + LineHex(md5, "content of sub/e") + "\r\n; trailing\r\n";
    dir.Write("hand.md5", list);
    // Files an hour old, a list that has been there a while: nothing is hashed.
    ASSERT_EQ(Shell("cd '" + d + "' && touch -d '10 minutes ago' hand.md5").status, 0);
    const std::vector<std::string> files = {"tree/a", "tree/c", "tree/sub/e"};
    std::vector<std::string> args = {"--update", "hand.md5"};
    args.insert(args.end(), files.begin(), files.end());
    RunResult update = RunIn(d, args);
    EXPECT_NE(update.err.find("0 added, 0 re-hashed (0 changed), 0 dropped, 3 kept"),
              std::string::npos)
        << update.err;
    EXPECT_EQ(ReadFile(dir.Path("hand.md5")), list);
    // A keyed list is not updated with another key.
    ASSERT_EQ(Shell("cd '" + d + "' && " + K() + " --tag --key k -a md5 tree/a > keyed").status, 0);
    const std::string keyed = ReadFile(dir.Path("keyed"));
    EXPECT_EQ(RunIn(d, {"--update", "keyed", "--key", "other", "tree/a", "tree/b"}).status, 1);
    EXPECT_EQ(ReadFile(dir.Path("keyed")), keyed);
    EXPECT_EQ(RunIn(d, {"--update", "keyed", "--key", "k", "tree/a", "tree/b"}).status, 0);
    // A list keeps its format and algorithms.
    for (const char* other : {"--format=hashdeep", "-asha1"}) {
        EXPECT_EQ(RunIn(d, {"--update", "hand.md5", other, "tree/a"}).status, 1) << other;
    }
    EXPECT_EQ(ReadFile(dir.Path("hand.md5")), list);
    dir.Write("tree/c", "changed");
    args.push_back("tree/b");
    update = RunIn(d, args);
    EXPECT_NE(update.err.find("1 added, 1 re-hashed (1 changed), 0 dropped, 2 kept"),
              std::string::npos)
        << update.err;
    EXPECT_EQ(ReadFile(dir.Path("hand.md5")),
              Replaced(Replaced(list, md5c, LineHex(md5, "changed")), "MD5(tree/c)",
                       "MD5 (tree/b) = " + LineHex(md5, "content of b") + "\r\nMD5(tree/c)"));
}

}  // namespace

namespace {

// Given only new files, --update checks the key on a listed file that the list vouches for,
// or refuses when there is none: a wrong key never adds values under a second key.
TEST(CliKeep, UpdateChecksAKeyOnAListedFileWhenTheFilesGivenAreNew) {
    TempDir dir;
    MakeTree(dir);
    const std::string d = dir.Path("");
    for (const char* format : {"--tag", "--format=json"}) {
        SCOPED_TRACE(format);
        RunResult made = RunIn(d, {format, "--key", "k1", "-a", "md5", "tree/a", "tree/b"});
        ASSERT_EQ(made.status, 0) << made.err;
        dir.Write("keyed", made.out);
        ASSERT_EQ(Shell("cd '" + d + "' && touch -d '10 minutes ago' keyed").status, 0);
        const auto update = [&](const char* key) {
            return RunIn(d, {"--update", "keyed", "--key", key, "-r", "tree/sub"});
        };
        RunResult wrong = update("k2");
        EXPECT_EQ(wrong.status, 1);
        EXPECT_NE(wrong.err.find("does not give the listed values of tree/a"), std::string::npos)
            << wrong.err;
        EXPECT_EQ(ReadFile(dir.Path("keyed")), made.out);
        // With the listed files gone, nothing can vouch for the key.
        ASSERT_EQ(Shell("cd '" + d + "' && mv tree/a a.away && mv tree/b b.away").status, 0);
        RunResult unchecked = update("k1");
        EXPECT_EQ(unchecked.status, 1);
        EXPECT_NE(unchecked.err.find("the key given cannot be checked"), std::string::npos)
            << unchecked.err;
        EXPECT_EQ(ReadFile(dir.Path("keyed")), made.out);
        ASSERT_EQ(Shell("cd '" + d + "' && mv a.away tree/a && mv b.away tree/b").status, 0);
        RunResult right = update("k1");
        EXPECT_EQ(right.status, 0) << right.err;
        EXPECT_NE(ReadFile(dir.Path("keyed")).find("tree/sub/e"), std::string::npos);
    }
}

// Every entry of a name listed twice, as "tree/a" or as "./tree/a", gets a verdict of its own,
// and one that does not match fails the audit.
TEST(CliKeep, AuditGivesEachEntryOfANameListedTwiceItsVerdict) {
    TempDir dir;
    MakeTree(dir);
    const std::string d = dir.Path("");
    for (const char* format : {"--format=gnu", "--format=json"}) {
        SCOPED_TRACE(format);
        const std::string a = RunIn(d, {format, "-a", "md5", "tree/a"}).out;
        const std::string b = RunIn(d, {format, "-a", "md5", "tree/b"}).out;
        for (const char* name : {"tree/a", "./tree/a"}) {
            SCOPED_TRACE(name);
            // The first entry of tree/a holds the values of tree/b.
            dir.Write("twice", Replaced(b, "tree/b", name) + a + b);
            RunResult audit = RunIn(d, {"--audit", "twice", "tree/a", "tree/b"});
            EXPECT_EQ(audit.out, "tree/a: changed\ntree/a: matched\ntree/b: matched\n");
            EXPECT_NE(audit.err.find("audit FAILED: 2 matched, 1 changed, 0 moved, 0 new, "
                                     "0 missing"),
                      std::string::npos)
                << audit.err;
            EXPECT_EQ(audit.status, 1);
            // Two entries that agree both match.
            dir.Write("twice", Replaced(a, "tree/a", name) + a + b);
            audit = RunIn(d, {"--audit", "twice", "tree/a", "tree/b"});
            EXPECT_EQ(audit.out, "tree/a: matched\ntree/a: matched\ntree/b: matched\n");
            EXPECT_EQ(audit.status, 0) << audit.err;
        }
        // --update gives each entry of the name the file's new values.
        dir.Write("tree/a", std::string("changed with ") + format);
        EXPECT_EQ(RunIn(d, {"--update", "twice", "tree/a", "tree/b"}).status, 0);
        RunResult audit = RunIn(d, {"--audit", "twice", "tree/a", "tree/b"});
        EXPECT_EQ(audit.out, "tree/a: matched\ntree/a: matched\ntree/b: matched\n");
        EXPECT_EQ(audit.status, 0) << audit.err;
    }
}

}  // namespace
