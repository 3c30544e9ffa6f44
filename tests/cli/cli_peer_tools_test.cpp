// korvadex among the other checksum tools: it checks the lists they write, they check the
// lists it writes, and it reads standard input and walks directories as they do.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "cli_test_support.h"
#include "program_runner.h"

namespace {

std::string K() {
    return KorvadexCommand();
}

std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(CliPeerTools, ChecksTheListsOtherToolsWrite) {
    TempDir dir;
    const std::string d = dir.Path("");
    dir.Write("one", "abc");
    dir.Write("two words", std::string(100000, 'x'));
    dir.Write("three", "");
    const std::string files = "one 'two words' three";
    const struct {
        const char* list;
        const char* command;
    } cases[] = {
        {"SHA256SUMS", "sha256sum"},
        {"MD5SUMS", "md5sum"},
        {"list.sha1", "sha1sum -b"},
        {"tagged", "sha512sum --tag"},
        {"cksum384", "cksum -a sha384"},
        {"files.sfv", "rhash --sfv"},
        {"rhash-bsd", "rhash --bsd --whirlpool --gost94 --snefru256"},
        {"rhash-bsd-more", "rhash --bsd --md4 --tiger --ripemd160 --crc32 --sha1"},
        {"dgst", "openssl dgst -sha256"},
        {"dgst-r.sha1", "openssl dgst -sha1 -r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        ShellResult made = Shell("cd '" + d + "' && " + c.command + " " + files + " > " + c.list);
        ASSERT_EQ(made.status, 0) << made.out;
        ShellResult checked = Shell("cd '" + d + "' && " + K() + " -c " + c.list);
        EXPECT_EQ(checked.status, 0) << checked.out;
        EXPECT_NE(checked.out.find("one: OK\n"), std::string::npos) << checked.out;
        EXPECT_NE(checked.out.find("two words: OK\n"), std::string::npos) << checked.out;
        EXPECT_NE(checked.out.find("three: OK\n"), std::string::npos) << checked.out;
        EXPECT_EQ(checked.out.find("FAILED"), std::string::npos) << checked.out;
    }
    dir.Write("two words", std::string(100000, 'y'));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        ShellResult checked = Shell("cd '" + d + "' && " + K() + " -c " + c.list);
        EXPECT_EQ(checked.status, 1);
        EXPECT_NE(checked.out.find("two words: FAILED\n"), std::string::npos) << checked.out;
        EXPECT_NE(checked.out.find("one: OK\n"), std::string::npos) << checked.out;
        EXPECT_NE(checked.out.find("did NOT match"), std::string::npos) << checked.out;
    }
    // With -a, the lines of other algorithms are improperly formatted, as cksum -a says.
    const std::string mixed =
        "cd '" + d + "' && md5sum --tag one > mixed && sha256sum --tag " + "one >> mixed && ";
    EXPECT_EQ(Shell(mixed + K() + " -c -a sha256 mixed 2>&1 | sed s/^korvadex:/cksum:/").out,
              Shell(mixed + "cksum -c -a sha256 mixed").out);
    // Keyed values are tagged as openssl dgst -hmac tags them, and need their key.
    const std::string hmac = "cd '" + d + "' && openssl dgst -sha256 -hmac k one > hmac && " + K() +
                             " --key k --tag -a md5 one >> hmac && ";
    EXPECT_EQ(Shell(hmac + K() + " -c --key k hmac").out, "one: OK\none: OK\n");
    ShellResult noKey = Shell(hmac + K() + " -c hmac");
    EXPECT_EQ(noKey.status, 1);
    EXPECT_NE(noKey.out.find("(line 1: an HMAC line: give its key with --key"), std::string::npos)
        << noKey.out;
    // Several lists at once, each checked.
    ShellResult both = Shell("cd '" + d + "' && " + K() + " -c --quiet MD5SUMS files.sfv");
    EXPECT_EQ(both.status, 1);
    EXPECT_EQ(std::count(both.out.begin(), both.out.end(), '\n'), 4) << both.out;
}

TEST(CliPeerTools, OtherToolsCheckWhatItWrites) {
    if (UnderWine())
        GTEST_SKIP() << "its names hold a line break and a backslash, which no Windows name can";
    TempDir dir;
    const std::string d = dir.Path("");
    dir.Write("one", "abc");
    dir.Write("two words", std::string(5000, 'x'));
    dir.Write("new\nline", "line break");
    dir.Write("back\\slash", "backslash");
    const std::string files = "one 'two words' $'new\\nline' 'back\\slash'";
    const struct {
        const char* korvadex;
        const char* checker;
        const char* list;  // the list's extension
    } cases[] = {
        {"-a sha256 --format gnu", "sha256sum -c --strict", "sha256"},
        {"-a SHA-1 -b --format gnu", "sha1sum -c --strict", "sha1"},
        {"--tag -a md5,sha1,sha256,sha512", "cksum -c --strict", "tag"},
        {"--tag -a sha384", "sha384sum -c --strict", "tag"},
        {"--format sfv", "rhash -c", "sfv"},
        {"--tag -a md4,crc32,tiger,rmd160,whirlpool,gost94,snefru256", "rhash -c", "bsd"},
        {"-a md5 --format gnu", "md5sum -c --strict", "md5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.korvadex);
        const bool rhash = std::string(c.checker) == "rhash -c";
        // SFV has no way of writing a line break in a name, nor has rhash a way of reading one.
        const std::string names = rhash ? "one 'two words'" : files;
        // An untagged list says its algorithm by its name, as SHA256SUMS does.
        const std::string list = std::string("list.") + c.list;
        ShellResult made =
            Shell("cd '" + d + "' && " + K() + " " + c.korvadex + " " + names + " > " + list);
        ASSERT_EQ(made.status, 0) << made.out;
        ShellResult checked = Shell("cd '" + d + "' && " + c.checker + " " + list);
        EXPECT_EQ(checked.status, 0) << checked.out;
        // And back: korvadex reads what it wrote.
        ShellResult back = Shell("cd '" + d + "' && " + K() + " -c --strict " + list);
        EXPECT_EQ(back.status, 0) << back.out;
    }
    ShellResult lineBreak =
        Shell("cd '" + d + "' && " + K() + " -a md5 --format gnu $'new\\nline' | md5sum -c");
    EXPECT_EQ(lineBreak.status, 0);
    EXPECT_EQ(lineBreak.out, "\\new\\nline: OK\n");
    ShellResult fromMd5sum =
        Shell("cd '" + d + "' && md5sum $'new\\nline' 'back\\slash' | " + K() + " -c -a md5");
    EXPECT_EQ(fromMd5sum.status, 0);
    // As md5sum -c says it: a name is escaped only when it holds a line break.
    EXPECT_EQ(fromMd5sum.out, "\\new\\nline: OK\nback\\slash: OK\n");
    // -z: NUL after each line and names as they are, as sha256sum -z writes them.
    ShellResult zero =
        Shell("cd '" + d + "' && " + K() + " -z -a sha256 --format gnu $'new\\nline' one | od -c");
    ShellResult peerZero = Shell("cd '" + d + "' && sha256sum -z $'new\\nline' one | od -c");
    EXPECT_EQ(zero.out, peerZero.out);
    ShellResult tagZero =
        Shell("cd '" + d + "' && " + K() + " -z --tag -a sha256 $'new\\nline' one | od -c");
    EXPECT_EQ(tagZero.out,
              Shell("cd '" + d + "' && sha256sum -z --tag $'new\\nline' one | od -c").out);
}

TEST(CliPeerTools, StandardInputAndDirectoriesAsCoreutilsReadThem) {
    if (UnderWine()) GTEST_SKIP() << "it needs a POSIX terminal and symbolic links";
    RunOptions abc;
    abc.input = "abc";
    RunResult r = RunKorvadex({"-a", "md5", "--format", "gnu"}, abc);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "900150983cd24fb0d6963f7d28e17f72  -\n");
    // A terminal on standard input and nothing else to read: the usage, as a usage error.
    ShellResult terminal = Shell("script -qec " + K() + " /dev/null");
    EXPECT_NE(terminal.out.find("usage: korvadex"), std::string::npos) << terminal.out;
    EXPECT_EQ(Shell("script -qec '" + std::string(KorvadexPath()) + " -a md5' /dev/null; echo $?")
                  .out.substr(0, 6),
              "usage:");
    RunResult text = RunKorvadex({"--string", "abc", "--string", "", "-a", "md5", "--tag"});
    EXPECT_EQ(text.out,
              "MD5 (\"abc\") = 900150983cd24fb0d6963f7d28e17f72\n"
              "MD5 (\"\") = d41d8cd98f00b204e9800998ecf8427e\n");

    TempDir dir;
    const std::string d = dir.Path("tree");
    ASSERT_EQ(Shell("mkdir -p '" + d + "/b/c' '" + d + "/a' '" + d + "/empty' && cd '" + d +
                    "' && printf 1 > z && printf 2 > a/x && printf 3 > b/c/y && printf 4 > "
                    "'b/sp ace' && ln -s ../z a/link && ln -s ../b a/dirlink")
                  .status,
              0);
    RunResult walked = RunKorvadex({"-r", "-a", "md5", "--format", "gnu", d});
    EXPECT_EQ(walked.status, 0) << walked.err;
    ShellResult found = Shell("find '" + d + "' -type f | xargs -d '\\n' md5sum");
    EXPECT_EQ(SortedLines(walked.out), SortedLines(found.out));
    // Sorted by name, the way given kept.
    EXPECT_EQ(walked.out.substr(34, d.size() + 4), d + "/a/x");
    RunResult slash = RunKorvadex({"-r", "-a", "md5", "--format", "gnu", d + "/"});
    EXPECT_EQ(SortedLines(slash.out),
              SortedLines(Shell("find '" + d + "/' -type f | xargs -d '\\n' md5sum").out));
    RunResult followed = RunKorvadex({"-r", "--follow", "-a", "md5", "--format", "gnu", d});
    EXPECT_EQ(SortedLines(followed.out),
              SortedLines(Shell("find -L '" + d + "' -type f | xargs -d '\\n' md5sum").out));
    RunResult notWalked = RunKorvadex({"-a", "md5", "--format", "gnu", d});
    EXPECT_EQ(notWalked.status, 1);
    EXPECT_NE(notWalked.err.find("is a directory"), std::string::npos) << notWalked.err;
}

TEST(CliPeerTools, FollowingLinksReportsThoseThatLeadNowhereAsRhashDoes) {
    if (UnderWine()) GTEST_SKIP() << "Wine shows the host's symbolic links as the files they name";
    TempDir dir;
    const std::string d = dir.Path("tree");
    ASSERT_EQ(Shell("mkdir '" + d + "' && cd '" + d +
                    "' && printf 1 > file && ln -s nowhere dangling && ln -s loop loop")
                  .status,
              0);
    const std::string fileLine = "c4ca4238a0b923820dcc509a6f75849b  " + d + "/file\n";
    RunResult followed = RunKorvadex({"-r", "--follow", "-a", "md5", "--format", "gnu", d});
    EXPECT_EQ(followed.status, 1);
    EXPECT_EQ(followed.out, fileLine);
    EXPECT_EQ(followed.err, "korvadex: " + d +
                                "/dangling: a dangling symbolic link: what it names is not there\n"
                                "korvadex: " +
                                d + "/loop: too many levels of symbolic links\n");
    // Not following, links are not files of the walk.
    RunResult walked = RunKorvadex({"-r", "-a", "md5", "--format", "gnu", d});
    EXPECT_EQ(walked.status, 0);
    EXPECT_EQ(walked.err, "");
    EXPECT_EQ(walked.out, fileLine);
}

// The summary lines on standard error, with the program's name taken out.
std::vector<std::string> Warnings(const std::string& text, const std::string& program) {
    std::vector<std::string> out;
    for (const std::string& line : SortedLines(text)) {
        if (line.compare(0, program.size() + 11, program + ": WARNING: ") == 0) {
            out.push_back(line.substr(program.size()));
        }
    }
    return out;
}

TEST(CliPeerTools, BadListsAreReportedAsCoreutilsDoesAndTheRestIsChecked) {
    TempDir dir;
    const std::string d = dir.Path("");
    dir.Write("good", "abc");
    dir.Write("changed", "abc");
    ASSERT_EQ(Shell("mkdir '" + d + "/adir'").status, 0);
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const std::string list = abc + "  good\n" + "not a checksum line\n" + abc + "  missing\n" +
                             abc + "  adir\n" + std::string(abc, 0, 60) + "  short\n" +
                             abc.substr(0, 63) + "g  good\n" + "\n# comment\n" +
                             std::string("\x01\xff\x00garbage\x00\n", 12) + abc + "  changed\n";
    dir.Write("changed", "abd");
    dir.Write("SHA256SUMS", list);
    for (const char* options : {"", "--warn", "--strict", "--quiet", "--status", "-w --strict"}) {
        SCOPED_TRACE(options);
        const std::string args = std::string(" -c ") + options + " SHA256SUMS";
        ShellResult ours = Shell("cd '" + d + "' && " + K() + args + " 2>/dev/null");
        ShellResult peer = Shell("cd '" + d + "' && sha256sum" + args + " 2>/dev/null");
        EXPECT_EQ(ours.out, peer.out);
        EXPECT_EQ(ours.status, peer.status);
        ShellResult ourErr = Shell("cd '" + d + "' && " + K() + args + " 2>&1 >/dev/null");
        ShellResult peerErr = Shell("cd '" + d + "' && sha256sum" + args + " 2>&1 >/dev/null");
        EXPECT_EQ(Warnings(ourErr.out, "korvadex"), Warnings(peerErr.out, "sha256sum"));
        const size_t malformed = std::string(options).find('w') != std::string::npos ? 4 : 0;
        EXPECT_EQ(size_t(std::count(ourErr.out.begin(), ourErr.out.end(), '\n')),
                  malformed + (std::string(options) == "--status" ? 2 : 5))
            << ourErr.out;
    }
    ShellResult ignoring = Shell("cd '" + d + "' && " + K() + " -c --ignore-missing SHA256SUMS");
    EXPECT_EQ(ignoring.out.find("missing"), std::string::npos) << ignoring.out;

    // Huge lists and lines: every line still read, and what follows still checked.
    std::string many;
    for (int i = 0; i < 100000; ++i) many += abc + (i % 2 ? "  good\n" : " *good\n");
    many += std::string(10 << 20, 'x') + "\n" + abc + "  good\n";
    dir.Write("big.sha256", many);
    ShellResult big = Shell("cd '" + d + "' && " + K() + " -c --quiet -w big.sha256");
    EXPECT_EQ(big.status, 0);
    EXPECT_NE(big.out.find("big.sha256: 100001: improperly formatted"), std::string::npos)
        << big.out.substr(0, 400);
    ShellResult count =
        Shell("cd '" + d + "' && " + K() + " -c big.sha256 2>/dev/null | grep -c ': OK$'");
    EXPECT_EQ(count.out, "100001\n");

    // An untagged list whose algorithm nothing names: -a decides, else the first algorithm
    // of the width that matches a file.
    dir.Write("list.txt", abc + "  good\n");
    ShellResult inferred = Shell("cd '" + d + "' && " + K() + " -c list.txt");
    EXPECT_EQ(inferred.status, 0);
    EXPECT_NE(inferred.out.find("taken as SHA-256"), std::string::npos) << inferred.out;
    EXPECT_EQ(Shell("cd '" + d + "' && " + K() + " -c -a sha256 list.txt").status, 0);
    EXPECT_EQ(Shell("cd '" + d + "' && " + K() + " -c list.txt < /dev/null -a md5").status, 1);
    ShellResult dirList = Shell("cd '" + d + "' && " + K() + " -c adir no-list");
    EXPECT_EQ(dirList.status, 1);
    EXPECT_NE(dirList.out.find("adir: is a directory"), std::string::npos) << dirList.out;
    EXPECT_NE(dirList.out.find("no-list: no such file"), std::string::npos) << dirList.out;
}

}  // namespace

namespace {

// What comes before the first blank: the value of "hex  NAME" or "hex NAME".
std::string FirstWord(const std::string& text) {
    return text.substr(0, text.find_first_of(" \n"));
}

TEST(CliPeerTools, NamesOfPhpAndRhashGiveTheirValues) {
    TempDir dir;
    const std::string path = dir.Write("data", std::string(1000, 'q') + "\x01\xfe" + "tail");
    ShellResult algos = Shell("php -r 'echo implode(\"\\n\", hash_algos());'");
    ASSERT_EQ(algos.status, 0) << algos.out;
    size_t compared = 0;
    for (const std::string& name : SortedLines(algos.out)) {
        RunResult ours = RunKorvadex({"-a", name, "--format", "gnu", path});
        if (ours.status == 2) continue;  // a variant the report does not have
        SCOPED_TRACE(name);
        ShellResult php =
            Shell("php -r 'echo hash(\"" + name + "\", file_get_contents(\"" + path + "\"));'");
        if (name == "crc32" || name == "crc32b") {
            // The names PHP gives other variants: crc32b is PHP's name for the CRC32 line,
            // and PHP's crc32 is the BZIP2 CRC with its bytes reversed.
            const std::string other = name == "crc32" ? "crc32b" : "crc32";
            const std::string swapped =
                FirstWord(RunKorvadex({"-a", other, "--format", "gnu", path}).out);
            if (name == "crc32b") {
                EXPECT_EQ(php.out, swapped);
            } else {
                EXPECT_EQ(php.out, swapped.substr(6, 2) + swapped.substr(4, 2) +
                                       swapped.substr(2, 2) + swapped.substr(0, 2));
            }
            continue;
        }
        EXPECT_EQ(FirstWord(ours.out), php.out);
        ++compared;
    }
    EXPECT_GE(compared, 30u);
    for (const char* name : {"crc32", "md4", "md5", "sha1", "tiger", "whirlpool", "ripemd160",
                             "gost94", "snefru128", "snefru256", "sha256", "sha384", "sha512"}) {
        SCOPED_TRACE(name);
        ShellResult rhash = Shell(std::string("rhash --simple --") + name + " '" + path + "'");
        RunResult ours = RunKorvadex({"-a", name, "--format", "gnu", path});
        EXPECT_EQ(FirstWord(ours.out), FirstWord(rhash.out));
    }
}

}  // namespace

namespace {

// hashdeep audits the lists korvadex writes of a tree, and korvadex checks the lists hashdeep
// writes of it, relative (-l) and absolute; after a file changes, at its size or another,
// every one of them fails.
TEST(CliPeerTools, HashdeepAndKorvadexCheckEachOthersLists) {
    if (UnderWine()) GTEST_SKIP() << "a name holds '\"', which no Windows name can";
    TempDir dir;
    const std::string d = dir.Path("");
    ASSERT_EQ(Shell("mkdir -p '" + d + "tree/sub'").status, 0);
    dir.Write("tree/one", "abc");
    dir.Write("tree/two words", std::string(5000, 'x'));
    dir.Write("tree/sub/co,mma \"q\"", "comma");
    dir.Write("tree/sub/empty", "");
    const std::string all = " -c md5,sha1,sha256,tiger,whirlpool";
    const struct {
        const char* list;
        std::string maker;    // run in the folder above the tree
        std::string auditor;  // hashdeep's audit of a list of korvadex's, or empty
        bool absolute;        // its names are absolute: it is checked from another folder
    } lists[] = {
        {"all.hd", K() + " --format hashdeep -a whirlpool,tiger,sha256,sha1,md5 -r tree",
         "hashdeep -j0" + all + " -a -l -k all.hd -r tree", false},
        {"default.hd", K() + " --format hashdeep -r tree",
         "hashdeep -j0 -a -l -k default.hd -r tree", false},
        {"relative.hd", "hashdeep -j0 -l -r tree", "", false},
        {"absolute.hd", "hashdeep -j0" + all + " -r tree", "", true},
    };
    for (const auto& l : lists) {
        ASSERT_EQ(Shell("cd '" + d + "' && " + l.maker + " > " + l.list).status, 0) << l.maker;
    }
    for (const std::string& change :
         {std::string(), std::string(5000, 'y'), std::string(4999, 'x')}) {
        if (!change.empty()) dir.Write("tree/two words", change);
        for (const auto& l : lists) {
            SCOPED_TRACE(l.maker + ", changed to " + std::to_string(change.size()) + " bytes");
            if (!l.auditor.empty()) {
                ShellResult audit = Shell("cd '" + d + "' && " + l.auditor);
                EXPECT_EQ(audit.status == 0, change.empty()) << audit.out;
                EXPECT_NE(audit.out.find(change.empty() ? "Audit passed" : "Audit failed"),
                          std::string::npos)
                    << audit.out;
            }
            ShellResult checked =
                Shell("cd '" + (l.absolute ? "/" : d) + "' && " + K() + " -c '" + d + l.list + "'");
            EXPECT_EQ(checked.status, change.empty() ? 0 : 1) << checked.out;
            EXPECT_NE(checked.out.find(std::string("two words: ") +
                                       (change.empty() ? "OK\n" : "FAILED\n")),
                      std::string::npos)
                << checked.out;
            EXPECT_EQ(std::count(checked.out.begin(), checked.out.end(), '\n'),
                      change.empty() ? 4 : 5)
                << checked.out;
            EXPECT_NE(checked.out.find("sub/co,mma \"q\": OK\n"), std::string::npos) << checked.out;
        }
    }
}

}  // namespace
