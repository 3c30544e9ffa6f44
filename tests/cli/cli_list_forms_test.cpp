// Checksum lists as people have them: saved by editors (byte order marks, UTF-16, CR LF),
// written by other tools (one blank or a tab after the value, Windows separators, rhash's
// columns, several algorithms in one list), or untagged with nothing to name the algorithm.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cli_test_support.h"
#include "lists/list_reader.h"
#include "program_runner.h"

namespace {

std::string K() {
    return KorvadexCommand();
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(CliListForms, ListsAsPeopleHaveThemCheckWhereTheirPeersCheckThem) {
    TempDir dir;
    const std::string d = dir.Path("");
    dir.Write("one", "abc");
    dir.Write("two words", std::string(100000, 'x'));
    ASSERT_EQ(Shell("mkdir '" + d + "sub' && printf xyz > '" + d + "sub/four'").status, 0);
    const std::string files = " one 'two words' sub/four";
    const struct {
        const char* list;
        std::string make;  // writes the list to standard output
        const char* peer;  // the peer that checks it, or "" when none reads it
    } cases[] = {
        {"bom.sha256", "{ printf '\\xef\\xbb\\xbf'; sha256sum" + files + "; }", "rhash -c"},
        {"bom.sfv", "{ printf '\\xef\\xbb\\xbf'; rhash --sfv" + files + "; }", "rhash -c"},
        {"le.sha256", "sha256sum" + files + " | iconv -t UTF-16", ""},
        {"be.sha256", "{ printf '\\xfe\\xff'; sha256sum" + files + " | iconv -t UTF-16BE; }", ""},
        // PowerShell 5: upper-case values, CR LF and UTF-16 LE, under a name that says nothing.
        {"hashes.txt",
         "sha256sum" + files + " | sed 's/^[0-9a-f]*/\\U&/; s/$/\\r/' | iconv -t UTF-16", ""},
        {"crlf.md5", "md5sum" + files + " | sed 's/$/\\r/'", "md5sum -c --strict"},
        {"blank.sha1", "sha1sum" + files + " | sed 's/  / /'", "sha1sum -c --strict"},
        {"tab.sha1", "sha1sum" + files + " | sed 's/  /\\t/'", "sha1sum -c --strict"},
        {"win.sfv", "rhash --sfv" + files + " | sed 's#/#\\\\#'", "rhash -c"},
        {"win.sha256", "sha256sum" + files + " | sed 's#/#\\\\#'", "rhash -c"},
        {"columns.txt", "rhash --md5 --sha1" + files, "rhash -c"},
        {"columns.sfv", "rhash --sfv --crc32 --md5 --sha1" + files, "rhash -c"},
        {"widths.txt", "rhash --sha256 --gost94 --snefru256 --whirlpool --sha512" + files,
         "rhash -c"},
        {"mixed", "{ md5sum one; sha256sum 'two words'; sha1sum sub/four; }", "rhash -c"},
        {"sums", "sha256sum" + files, "sha256sum -c --strict"},
        {"list.sha1sum-binary", "sha1sum -b" + files, "sha1sum -c --strict"},
        {"crlf.hd", "hashdeep -j0 -l" + files + " | sed 's/$/\\r/' | iconv -t UTF-16", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        const std::string in = "cd '" + d + "' && ";
        ASSERT_EQ(Shell(in + c.make + " > " + c.list).status, 0);
        if (*c.peer != '\0') {
            ShellResult peer = Shell(in + c.peer + " " + c.list);
            EXPECT_EQ(peer.status, 0) << peer.out;
        }
        ShellResult ours = Shell(in + K() + " -c --strict " + c.list + " 2>/dev/null");
        EXPECT_EQ(ours.status, 0) << Shell(in + K() + " -c " + c.list).out;
        EXPECT_EQ(Count(ours.out, ": OK\n"), 3u) << ours.out;
        EXPECT_NE(ours.out.find("two words: OK\n"), std::string::npos) << ours.out;
    }
    // With -a, the columns of other algorithms are left out, as the lines of others are.
    ShellResult md5 = Shell("cd '" + d + "' && " + K() + " -c --strict -a md5 columns.txt");
    EXPECT_EQ(md5.status, 0);
    EXPECT_EQ(md5.out, "one: OK\ntwo words: OK\nsub/four: OK\n");
    dir.Write("two words", std::string(100000, 'y'));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        ShellResult ours = Shell("cd '" + d + "' && " + K() + " -c " + c.list + " 2>/dev/null");
        EXPECT_EQ(ours.status, 1);
        EXPECT_EQ(Count(ours.out, ": OK\n"), 2u) << ours.out;
        EXPECT_NE(ours.out.find("two words: FAILED\n"), std::string::npos) << ours.out;
    }
}

// hashdeep's lists as its header shapes them: each file line against every column and the
// size, with one verdict; what does not fit the header is refused with the reason.
TEST(CliListForms, HashdeepListsFollowTheirHeader) {
    TempDir dir;
    dir.Write("a", "abc");
    const std::string md5 = "900150983cd24fb0d6963f7d28e17f72";
    const std::string sha1 = "a9993e364706816aba3e25717850c26c9cd0d89d";
    const std::string head = "%%%% HASHDEEP-1.0\n## comment\n";
    const struct {
        std::string list;
        const char* options;
        int status;
        const char* says;
    } cases[] = {
        {head + "%%%% size,md5,sha1,filename\n3," + md5 + "," + sha1 + ",a\n", "", 0, "a: OK\n"},
        {head + "%%%% md5,filename\n\n" + md5 + ",a\n", "", 0, "a: OK\n"},
        {head + "%%%% sha1,size,md5,filename\n" + sha1 + ",3," + md5 + ",a\n", "-a md5", 0,
         "a: OK\n"},
        // The digests match, the size does not.
        {head + "%%%% size,md5,filename\n4," + md5 + ",a\n", "", 1, "a: FAILED\n"},
        {head + "%%%% size,md5,sha1,filename\n3," + md5 + "," + md5 + ",a\n", "", 1,
         "SHA-1 values have 40 hex digits, this one 32"},
        {head + "%%%% size,md5,filename\n3," + md5 + "\n", "", 1,
         "fewer columns than the hashdeep header names"},
        {head + "3," + md5 + ",a\n", "", 1, "before its \"%%%% size,...,filename\" line"},
        {head + "%%%% size,crc32,filename\n", "", 1, "a hashdeep column 'crc32'"},
        {head + "%%%% size,md5,md5,filename\n", "", 1, "names the column 'md5' twice"},
        {head + "%%%% size,filename\n", "", 1, "names no algorithm"},
        {head + "%%%% size,md5\n", "", 1, "whose last column is not filename"},
        {head + "%%%% size,md5,filename\n-3," + md5 + ",a\n", "", 1, "not a decimal number"},
        {head + "%%%% size,md5,filename\n3," + md5 + ",a\n", "-a sha1", 1,
         "none of its columns is of an algorithm of -a"},
        {head + "%%%% size,md5,filename\n3," + md5 + ",a\n", "--key k", 1,
         "a line of a plain digest, while a key was given"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        dir.Write("list", c.list);
        ShellResult r = Shell("cd '" + dir.Path("") + "' && " + K() + " -c " + c.options + " list");
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
    }
}

TEST(CliListForms, AnUntaggedListTakesTheFirstAlgorithmThatMatchesAFile) {
    if (UnderWine()) GTEST_SKIP() << "one of its inputs is a FIFO, which needs a POSIX system";
    TempDir dir;
    const std::string d = dir.Path("");
    dir.Write("a", "abc");
    dir.Write("b", "xyz");
    dir.Write("c", "123");
    // SNEFRU256 (8 Passes) values, of a width that eight other lines share.
    ASSERT_EQ(Shell("cd '" + d + "' && rhash --simple --snefru256 a b c > sums").status, 0);
    const std::string check = "cd '" + d + "' && " + K() + " -c sums";
    ShellResult all = Shell(check);
    EXPECT_EQ(all.status, 0) << all.out;
    EXPECT_NE(all.out.find("taken as SNEFRU256 (8 Passes), the first algorithm that matched (a)"),
              std::string::npos)
        << all.out;
    EXPECT_EQ(Shell(check + " --status").out, "");
    // A changed first file does not decide: the next one does.
    dir.Write("a", "abd");
    ShellResult first = Shell(check + " 2>&1");
    EXPECT_EQ(first.status, 1);
    EXPECT_NE(first.out.find("matched (b)"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("a: FAILED\nb: OK\nc: OK\n"), std::string::npos) << first.out;
    // Nothing matches: every entry fails, and the message names what was tried.
    dir.Write("b", "xyy");
    dir.Write("c", "12");
    ShellResult none = Shell(check);
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("a: FAILED\nb: FAILED\nc: FAILED\n"), std::string::npos) << none.out;
    EXPECT_NE(none.out.find("(SHA-256, GOST, "), std::string::npos) << none.out;
    EXPECT_NE(none.out.find("SNEFRU256 (4 Passes)): every such line FAILED"), std::string::npos)
        << none.out;
    EXPECT_EQ(Shell(check + " --status").out, "");
    // Each file is read once for all the algorithms tried, so a FIFO can be checked.
    ShellResult fifo =
        Shell("cd '" + d + "' && mkfifo fifo && rhash --simple --snefru256 b | " +
              "sed 's/b$/fifo/' > fifo.list && { timeout 20 sh -c 'printf xyy > fifo' " +
              ">/dev/null 2>&1 & } && " + K() + " -c fifo.list");
    EXPECT_EQ(fifo.status, 0);
    EXPECT_NE(fifo.out.find("fifo: OK\n"), std::string::npos) << fifo.out;
    // -a still decides, and so does the list's name.
    EXPECT_EQ(Shell(check + " -a sha256").status, 1);
    ASSERT_EQ(Shell("cd '" + d + "' && sha256sum a b c > sha.sha256").status, 0);
    EXPECT_EQ(Shell("cd '" + d + "' && " + K() + " -c sha.sha256").out, "a: OK\nb: OK\nc: OK\n");
}

// The reading faults of lists, each against coreutils' sha256sum where it reads the list.
TEST(CliListForms, ReadsAsCoreutilsDoesWhereListsAreOdd) {
    TempDir dir;
    const std::string d = dir.Path("");
    dir.Write("one", "abc");
    const std::string h = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const struct {
        const char* what;
        std::string list;
        const char* options;
        bool standardInput;
    } cases[] = {
        {"a line of blanks", h + "  one\n \t\n", "--strict", false},
        {"an empty line", h + "  one\n\n\r\n", "--strict", false},
        {"a comment after blanks", "  # made by hand\n" + h + "  one\n", "--strict", false},
        {"one blank, then two", h + " one\n" + h + "  one\n", "-w", false},
        {"two blanks, then one", h + "  one\n" + h + " one\n", "--strict -w", false},
        {"'-' on a list read from standard input", h + "  -\n" + h + "  one\n", "-w", true},
        {"the same, strict", h + "  -\n" + h + "  one\n", "--strict", true},
        {"nothing verified, quietly", h + "  missing\n", "--status --ignore-missing", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dir.Write("list.sha256", c.list);
        const std::string args = std::string(" -c ") + c.options + (c.standardInput ? " -" : "") +
                                 (c.standardInput ? " < " : " ") + "list.sha256";
        const std::string in = "cd '" + d + "' && ";
        ShellResult ours = Shell(in + K() + args + " 2>/dev/null");
        ShellResult peer = Shell(in + "sha256sum" + args + " 2>/dev/null");
        EXPECT_EQ(ours.status, peer.status);
        EXPECT_EQ(ours.out, peer.out);
        ShellResult ourErr = Shell(in + K() + args + " 2>&1 >/dev/null");
        ShellResult peerErr = Shell(in + "sha256sum" + args + " 2>&1 >/dev/null");
        EXPECT_EQ(Count(ourErr.out, "improperly formatted"),
                  Count(peerErr.out, "improperly formatted"))
            << ourErr.out;
        EXPECT_EQ(ourErr.out.empty(), peerErr.out.empty()) << ourErr.out;
    }
    // --input names the file of a saved report: with a checksum list it is refused.
    dir.Write("list.sha256", h + "  one\n");
    RunResult input = RunKorvadex({"-c", "--input", dir.Path("one"), dir.Path("list.sha256")});
    EXPECT_EQ(input.status, 1);
    EXPECT_EQ(input.out, "");
    EXPECT_NE(input.err.find("not a saved report"), std::string::npos) << input.err;
    // A list that is not UTF-16 after its mark is refused whole, saying why.
    dir.Write("odd.sha256", std::string("\xff\xfe"
                                        "a\0"
                                        "\x00\xd8"
                                        "b\0",
                                        8));
    RunResult odd = RunKorvadex({"-c", dir.Path("odd.sha256")});
    EXPECT_EQ(odd.status, 1);
    EXPECT_EQ(odd.err, "korvadex: " + dir.Path("odd.sha256") +
                           ": malformed UTF-16: a lone surrogate on line 1\n");
}

TEST(ListReader, ConvertsUtf16AsIconvDoesAndRefusesWhatIsNotUtf16) {
    // ASCII, two-byte, three-byte and four-byte (surrogate pair) characters.
    const std::string text = "a \xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80\r\n";
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big endian" : "little endian");
        const ShellResult utf16 = Shell(std::string("printf '") + text + "' | iconv -t UTF-16" +
                                        (bigEndian ? "BE" : "LE"));
        std::string out;
        std::string reason;
        ASSERT_TRUE(Utf16ToUtf8(utf16.out, bigEndian, out, reason)) << reason;
        EXPECT_EQ(out, text);
    }
    const struct {
        std::string bytes;
        const char* reason;
    } bad[] = {
        {std::string("a\0b", 3), "malformed UTF-16: an odd number of bytes"},
        {std::string("\n\0\x00\xDC", 4), "malformed UTF-16: a lone surrogate on line 2"},
        {std::string("a\0\x00\xD8", 4), "malformed UTF-16: a lone surrogate on line 1"},
        {std::string("\x00\xD8\x00\xD8\x00\xDC", 6),
         "malformed UTF-16: a lone surrogate on line 1"},
    };
    for (const auto& b : bad) {
        std::string out;
        std::string reason;
        EXPECT_FALSE(Utf16ToUtf8(b.bytes, false, out, reason));
        EXPECT_EQ(reason, b.reason);
    }
}

}  // namespace
