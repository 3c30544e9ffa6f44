// The report of files, standard input, FIFOs and devices; failures; --only and --lower;
// usage errors, help and version; the documents that name the options.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include "cli_test_support.h"
#include "common/algorithm_names.h"
#include "common/line_names.h"
#include "lists/checksum_lines.h"
#include "options.h"
#include "program_runner.h"
#include "test_support.h"

namespace {

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(CliReport, OneFileGivesThePlainReport) {
    TempDir dir;
    RunResult r = RunKorvadex({dir.Write("abc.txt", "abc")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ExpectedReport("abc"));
    // Published values, so that the comparison above is not between two wrong reports.
    EXPECT_NE(r.out.find("ADLER32: 024D0127\nCRC16: 9738\n"), std::string::npos);
    EXPECT_NE(r.out.find("CRC32: 352441C2\nCRC32b: 648CBB73\n"), std::string::npos);

    RunResult empty = RunKorvadex({dir.Write("empty", "")});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, ExpectedReport(""));
    EXPECT_NE(empty.out.find("CRC16CCITT: FFFF\n"), std::string::npos);
}

// A text of --string gives the report of a file holding it, plain and keyed.
TEST(CliReport, TextGivesTheReportOfAFileHoldingIt) {
    TempDir dir;
    for (const std::string& text : {std::string(), std::string("abc"), std::string(300, 'x')}) {
        const std::string file = dir.Write("text", text);
        for (const std::vector<std::string>& key :
             {std::vector<std::string>{}, std::vector<std::string>{"--key", "k"}}) {
            SCOPED_TRACE(std::to_string(text.size()) + (key.empty() ? " plain" : " keyed"));
            std::vector<std::string> ofText = key, ofFile = key;
            ofText.insert(ofText.end(), {"--string", text});
            ofFile.push_back(file);
            const RunResult fromText = RunKorvadex(ofText);
            EXPECT_EQ(fromText.status, 0) << fromText.err;
            EXPECT_EQ(fromText.out, RunKorvadex(ofFile).out);
        }
    }
    EXPECT_EQ(RunKorvadex({"--string", "abc"}).out, ExpectedReport("abc"));
}

// The processor's extensions and the portable code give the same reports, byte for byte:
// lengths around the borders of the blocks, the kernels' block groups and the chunks.
TEST(CliReport, PortableCodeGivesTheSameReports) {
    TempDir dir;
    std::vector<std::string> files;
    uint32_t seed = 40;
    for (size_t n : {0,    1,    3,    31,    55,    56,    63,    64,    65,    111,  112,
                     127,  128,  129,  191,   255,   256,   257,   1023,  1024,  1025, 2047,
                     4095, 4096, 4097, 16383, 16384, 16385, 65535, 65537, 262147}) {
        files.push_back(dir.Write("f" + std::to_string(n), Text(RandomBytes(n, seed++))));
    }
    const std::string longKey = Text(RandomBytes(200, 7));
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, std::vector<std::string>{"--key", "k"},
          std::vector<std::string>{"--key", longKey}}) {
        SCOPED_TRACE(options.empty() ? "plain" : "keyed, " + std::to_string(options[1].size()));
        std::vector<std::string> args = options;
        args.insert(args.end(), files.begin(), files.end());
        RunOptions portable;
        portable.environment = {"KORVADEX_PORTABLE=1"};
        const RunResult fast = RunKorvadex(args);
        const RunResult slow = RunKorvadex(args, portable);
        ASSERT_EQ(fast.status, 0) << fast.err;
        EXPECT_EQ(slow.status, 0) << slow.err;
        EXPECT_GT(fast.out.size(), 40 * files.size() * 10);
        EXPECT_EQ(slow.out, fast.out);
    }
}

TEST(CliReport, SeveralFilesWithOneMissingReportTheOthers) {
    TempDir dir;
    const std::string data = Text(RandomBytes(100000, 7));
    const std::string a = dir.Write("a", "abc");
    const std::string b = dir.Write("b", data);
    const std::string missing = dir.Path("missing");
    RunResult r = RunKorvadex({a, missing, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Input: " + a + "\n" + ExpectedReport("abc") + "\nInput: " + b + "\n" +
                         ExpectedReport(data));
    EXPECT_EQ(r.err, "korvadex: " + missing + ": no such file\n");

    RunResult all = RunKorvadex({a, b});
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.err, "");
}

TEST(CliReport, StandardInputIsReadToItsEnd) {
    TempDir dir;
    const std::string data = Text(RandomBytes(1 << 20, 11));  // more than a pipe holds
    RunOptions piped;
    piped.input = data;
    RunResult r = RunKorvadex({"-"}, piped);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ExpectedReport(data));

    RunOptions redirected;
    redirected.inputFile = dir.Write("data", data);
    RunResult fromFile = RunKorvadex({"-"}, redirected);
    EXPECT_EQ(fromFile.status, 0);
    EXPECT_EQ(fromFile.out, ExpectedReport(data));

    RunOptions none;
    none.closedInput = true;
    const std::string a = dir.Write("a", "abc");
    RunResult mixed = RunKorvadex({a, "-"}, none);
    EXPECT_EQ(mixed.status, 0);
    EXPECT_EQ(mixed.out,
              "Input: " + a + "\n" + ExpectedReport("abc") + "\nInput: -\n" + ExpectedReport(""));
}

TEST(CliReport, FifoIsReadToItsEnd) {
    if (UnderWine()) GTEST_SKIP() << "FIFOs are POSIX";
    TempDir dir;
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string data = Text(RandomBytes(200000, 3));
    std::thread writer([&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        if (fd < 0) return;
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = write(fd, data.data() + done, data.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        close(fd);
    });
    RunResult r = RunKorvadex({fifo});
    writer.join();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ExpectedReport(data));
}

TEST(CliReport, CharacterDeviceIsReadToItsEnd) {
    if (UnderWine()) GTEST_SKIP() << "the devices of /dev are POSIX";
    RunResult r = RunKorvadex({"/dev/null"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ExpectedReport(""));
}

TEST(CliReport, InputsThatCannotBeReportedAreNamedWithTheReason) {
    TempDir dir;
    struct Case {
        std::string path;
        std::string reason;
    };
    dir.Write("plain", "x");
    const Case cases[] = {
        {dir.Path("nothing-here"), "no such file"},
        {dir.Path(""), "is a directory"},
        {dir.Path("plain/below"), "not a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        RunResult r = RunKorvadex({c.path});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "korvadex: " + c.path + ": " + c.reason + "\n");
    }
}

TEST(CliReport, UnreadableFileIsRefused) {
    TempDir dir;
    const std::string path = dir.Write("secret", "abc");
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    int fd = open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        close(fd);
        GTEST_SKIP() << "permission bits do not stop this user's reads (running as root)";
    }
    RunResult r = RunKorvadex({path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "korvadex: " + path + ": permission denied\n");
}

// The target of a symbolic link, "" when it cannot be read.
std::string LinkTarget(const std::string& link) {
    char target[4096];
    const ssize_t n = readlink(link.c_str(), target, sizeof target);
    return n > 0 ? std::string(target, size_t(n)) : std::string();
}

// Whether another program than this one (not a child of it that has not yet started its
// program) holds path open (Linux: the links of /proc/PID/fd).
bool OpenElsewhere(const std::string& path) {
    DIR* processes = opendir("/proc");
    if (processes == nullptr) return false;
    const std::string self = LinkTarget("/proc/self/exe");
    bool found = false;
    while (dirent* process = readdir(processes)) {
        const std::string pid = process->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos ||
            LinkTarget("/proc/" + pid + "/exe") == self) {
            continue;
        }
        const std::string fds = "/proc/" + pid + "/fd";
        DIR* links = opendir(fds.c_str());
        if (links == nullptr) continue;
        while (dirent* link = readdir(links)) {
            found = found || LinkTarget(fds + "/" + link->d_name) == path;
        }
        closedir(links);
        if (found) break;
    }
    closedir(processes);
    return found;
}

TEST(CliReport, AFileThatShrinksWhileHashedIsAnErrorNotACrash) {
    if (UnderWine()) GTEST_SKIP() << "Wine may start the program after the file is cut";
    TempDir dir;
    const std::string path = dir.Path("shrinking");
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(1) << 30), 0);
    // Cut once korvadex has it open (a loaded machine may start it late), and has read a
    // little of it.
    std::thread shrink([fd, path] {
        const auto start = std::chrono::steady_clock::now();
        while (!OpenElsewhere(path) &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(ftruncate(fd, 0), 0);
    });
    RunResult r = RunKorvadex({path});
    shrink.join();
    close(fd);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("korvadex: " + path + ": the file shrank while it was being read"),
              std::string::npos)
        << r.err;
}

TEST(CliReport, OnlyAndLowerChooseLinesAndCase) {
    TempDir dir;
    const std::string path = dir.Write("abc.txt", "abc");
    struct Case {
        std::vector<std::string> options;
        std::string out;
    };
    const Case cases[] = {
        {{"--only", "CRC32,ADLER32"}, "ADLER32: 024D0127\nCRC32: 352441C2\n"},
        {{"--only=crc16 , CRC32b"}, "CRC16: 9738\nCRC32b: 648CBB73\n"},
        {{"--only", "CRC32b,crc32b"}, "CRC32b: 648CBB73\n"},
        {{"--lower", "--only", "ADLER32,CRC16CCITT"}, "ADLER32: 024d0127\nCRC16CCITT: 514a\n"},
        {{"--lower"}, ExpectedReport("abc", "", true)},
        {{"-a", "crc32", "--only", "adler-32", "-acrc32b"},
         "ADLER32: 024D0127\nCRC32: 352441C2\nCRC32b: 648CBB73\n"},
        {{"--lower", "--upper", "-a", "CRC16CCITT"}, "CRC16CCITT: 514A\n"},
        {{"--upper", "--lower", "--lower", "-a", "CRC16CCITT"}, "CRC16CCITT: 514a\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.options;
        args.push_back(path);
        SCOPED_TRACE(args[0]);
        RunResult r = RunKorvadex(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(CliReport, UsageErrorsExitWith2AndSayWhy) {
    TempDir dir;
    const std::string f = dir.Write("f", "abc");
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"--bogus", f}, "unknown option '--bogus'"},
        {{"-y", f}, "unknown option '-y'"},
        {{f, "--only"}, "--only needs a value"},
        {{f, "-a"}, "-a needs a value"},
        {{"--only", "CRC32,NOPE", f}, "unknown algorithm 'NOPE'"},
        {{"-a", "sha2", f}, "unknown algorithm 'sha2'; did you mean SHA-0, SHA-1, SHA-256"},
        {{"-a", "gost94-cryptopro", f}, "the CryptoPro parameter set"},
        {{"-a", "haval128", f}, "say the passes too: haval128,3"},
        {{"--only", "CRC32,", f}, "an empty algorithm name"},
        {{"--lower=yes", f}, "--lower takes no value"},
        {{"--save", dir.Path("s"), f, f}, "--save takes exactly one FILE"},
        {{"--save", dir.Path("s"), "--tag", f}, "--save writes a report"},
        {{"--match", "xyz", f}, "not a hex value"},
        {{"--match", "abc", f}, "odd number of hex digits"},
        {{"--match", "abcd"}, "at least one FILE"},
        {{"--check", f, "--match", "00", f}, "--check and --match cannot be used together"},
        {{"--check", f, "--save", dir.Path("s")}, "--save cannot be used with --check"},
        {{"--check", "--tag", f}, "--check takes no --format"},
        {{"--quiet", f}, "--quiet option is meaningful only when verifying"},
        {{"--input", f, f}, "--input option is meaningful only when verifying"},
        {{"--format", "xml", f}, "'xml' is not a format"},
        {{"--format", "gnu", f}, "exactly one with -a"},
        {{"--format=gnu", "-a", "md5,sha1", f}, "exactly one with -a"},
        {{"--format", "sfv", "-a", "md5", f}, "holds CRC32 (crc32) only"},
        {{"--format", "sfv", "--key", "k", f}, "--format sfv cannot hold keyed values"},
        {{"--follow", f}, "--follow works with -r"},
        {{"-r", "--string", "abc"}, "-r (--recursive) walks the FILEs given, and none is"},
        {{"--exclude", "*.o", f}, "--exclude and --include choose the files of -r"},
        {{"--match", "00", "--include", "x", f}, "--exclude and --include choose"},
        {{"-r", "--exclude=", f}, "--exclude: the pattern is empty"},
        {{"--max-depth", "1", f}, "steer the walk of -r"},
        {{"-x", f}, "steer the walk of -r"},
        {{"-r", "--max-depth", "-1", f}, "'-1' is not a depth"},
        {{"-0", f}, "-0 (--null) tells how the names of --files-from end"},
        {{"-c", "--files-from", f}, "--check takes no --max-depth, -x, --files-from"},
        {{"--files-from", "-", "-"}, "standard input (-) can be read only once"},
        {{"--save", dir.Path("s"), "--files-from", f, f}, "--save takes exactly one FILE"},
        {{"--list", "--null"}, "--list takes no other options"},
        {{"-z", f}, "-z (--zero) ends the lines of --format gnu, bsd or sfv"},
        {{"--format", "gnu", "-a", "md5", "--format", "report", "-z", f}, "the report takes none"},
        {{"-b", f}, "-b (--binary) and -t (--text) mark the names of --format gnu only"},
        {{"--tag", "-a", "md5", "-t", f}, "of --format gnu only"},
        {{"--format", "sfv", "-b", f}, "of --format gnu only"},
        {{"--list", "--quiet"}, "--quiet option is meaningful only when verifying"},
        {{"--self-test", "--strict"}, "--strict option is meaningful only when verifying"},
        {{"--version", "-w"}, "--warn option is meaningful only when verifying"},
        {{"--list", "--input", f}, "--input option is meaningful only when verifying"},
        {{"--key", "", f}, "the key is empty"},
        {{"--key", "k", "--key-file", f, f}, "cannot be used together"},
        {{"--key", "k", "--key", "k", f}, "--key is given twice"},
        {{"--list", f}, "--list takes no FILE"},
        {{"--self-test", "--lower"}, "--self-test takes no other options"},
        {{"-", "-"}, "standard input (-) can be read only once"},
        {{"--key-file", "-", "-"}, "standard input (-) can be read only once"},
        {{"--check", "-", "-"}, "standard input (-) can be read only once"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(no arguments)" : c.args[0]);
        RunResult r = RunKorvadex(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
}

TEST(CliReport, HelpShowsEveryOptionWithAnExample) {
    RunResult r = RunKorvadex({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const struct {
        const char* option;
        const char* shortForm;  // or "", for the example
    } options[] = {{"--algorithm", "-a"}, {"--format", ""},   {"--tag", ""},   {"--lower", ""},
                   {"--recursive", "-r"}, {"--string", ""},   {"--key", ""},   {"--key-file", ""},
                   {"--save", ""},        {"--check", "-c"},  {"--input", ""}, {"--match", ""},
                   {"--list", ""},        {"--self-test", ""}};
    for (const auto& o : options) {
        SCOPED_TRACE(o.option);
        EXPECT_NE(r.out.find(std::string(" ") + o.option + " "), std::string::npos);
        const bool example = r.out.find(std::string("korvadex ") + o.option) != std::string::npos;
        const bool shortExample =
            *o.shortForm != 0 &&
            r.out.find(std::string("korvadex ") + o.shortForm + " ") != std::string::npos;
        EXPECT_TRUE(example || shortExample);
    }
    for (const char* option :
         {"--only", "--upper", "--zero", "--binary", "--follow", "--quiet", "--status", "--strict",
          "--warn", "--ignore-missing", "--jobs", "--version", "--help"}) {
        EXPECT_NE(r.out.find(std::string(" ") + option), std::string::npos) << option;
    }
    size_t start = 0;
    while (start < r.out.size()) {
        size_t end = r.out.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 80u) << r.out.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_EQ(RunKorvadex({"-h"}).out, r.out);
}

// Whether text holds word with neither a letter, a digit nor a '-' on either side.
bool HasWord(const std::string& text, const std::string& word) {
    auto inWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; };
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const size_t end = at + word.size();
        if ((at == 0 || !inWord(text[at - 1])) && (end == text.size() || !inWord(text[end]))) {
            return true;
        }
    }
    return false;
}

// What the bash completion offers for the last of words.
std::set<std::string> Completed(const std::string& words, const TempDir& dir) {
    const std::string script =
        dir.Write("complete.sh", ". '" KORVADEX_SOURCE_DIR
                                 "/cli/completion/korvadex.bash'\n"
                                 "COMP_WORDS=(" +
                                     words +
                                     ")\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                                     "_korvadex\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n");
    std::set<std::string> offered;
    FILE* pipe = popen(("bash '" + script + "'").c_str(), "r");
    char buffer[4096];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        std::string word = buffer;
        if (!word.empty() && word.back() == '\n') word.pop_back();
        offered.insert(word);
    }
    if (pipe != nullptr) pclose(pipe);
    return offered;
}

// The help text, the manual page and the bash completion each name every option of the
// option table and every format; the completion offers every name of every line.
TEST(CliDocuments, NameEveryOptionFormatAndAlgorithm) {
    std::string manual = ReadFile(KORVADEX_SOURCE_DIR "/docs/korvadex.1");
    for (size_t at; (at = manual.find("\\-")) != std::string::npos;) manual.erase(at, 1);
    TempDir dir;
    const std::set<std::string> options = Completed("korvadex -", dir);
    const std::set<std::string> formats = Completed("korvadex --format ''", dir);
    const std::set<std::string> names = Completed("korvadex -a ''", dir);
    std::vector<std::string> spellings;
    for (size_t i = 0; i < kOptionSpecCount; ++i) {
        spellings.push_back(kOptionSpecs[i].name);
        if (kOptionSpecs[i].shortName != 0) {
            spellings.push_back(std::string("-") + kOptionSpecs[i].shortName);
        }
    }
    for (const std::string& option : spellings) {
        EXPECT_TRUE(HasWord(kHelpText, option)) << "help: " << option;
        EXPECT_TRUE(HasWord(manual, option)) << "manual: " << option;
        EXPECT_EQ(options.count(option), 1u) << "completion: " << option;
    }
    EXPECT_EQ(options.size(), spellings.size());
    for (size_t i = 0; i < kListFormatCount; ++i) {
        const std::string format = kListFormats[i].name;
        EXPECT_TRUE(HasWord(kHelpText, format)) << "help: " << format;
        EXPECT_TRUE(HasWord(manual, format)) << "manual: " << format;
        EXPECT_EQ(formats.count(format), 1u) << "completion: " << format;
    }
    EXPECT_EQ(formats.size(), kListFormatCount);
    // Each line's own name, where it is one word, and those --list gives after "also named".
    std::set<std::string> every;
    for (size_t line = 0; line < kReportLineCount; ++line) {
        std::string own;
        for (char c : LineName(kReportLines[line])) {
            if (c != ' ' && c != '-') own += char(std::tolower(static_cast<unsigned char>(c)));
        }
        if (own.find('(') == std::string::npos) every.insert(own);
        const std::string note = AlgorithmNamesNote(line);
        const size_t start = note.find("also named ");
        if (start == std::string::npos) continue;
        const std::string list = note.substr(start + 11, note.find(';', start) - start - 11);
        for (size_t from = 0, comma; from < list.size(); from = comma + 2) {
            comma = list.find(", ", from);
            if (comma == std::string::npos) comma = list.size();
            every.insert(list.substr(from, comma - from));
        }
    }
    for (const std::string& name : every) {
        EXPECT_EQ(names.count(name), 1u) << "completion: " << name;
    }
    for (const std::string& name : names) EXPECT_GE(FindAlgorithm(name), 0) << name;
}

TEST(CliReport, VersionIsTheProjectVersion) {
    RunResult r = RunKorvadex({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("korvadex ") + KORVADEX_VERSION + "\n");
    EXPECT_EQ(RunKorvadex({"-V"}).out, r.out);
}

TEST(CliReport, NamesTheInputLineCannotCarryAreShownEscaped) {
    if (UnderWine())
        GTEST_SKIP() << "no Windows name holds a control character or bytes that are not UTF-8";
    TempDir dir;
    const struct {
        std::string name;
        std::string shown;  // after "Input: "
    } cases[] = {
        {"plain name", "plain name"},
        {"donn\xC3\xA9"
         "es-\xF0\x9F\x98\x80",
         "donn\xC3\xA9"
         "es-\xF0\x9F\x98\x80"},
        {"line\nbreak", "\\line\\nbreak"},
        {"carriage\rreturn", "\\carriage\\rreturn"},
        {"tab\there", "\\tab\\there"},
        {"escape\x1B[31m", "\\escape\\x1B[31m"},
        {"c1-\xC2\x9B"
         "31m",
         "\\c1-\\xC2\\x9B"
         "31m"},
        {"back\\slash", "\\back\\\\slash"},
        {"latin1-\xE9", "\\latin1-\\xE9"},
        {"cut-\xE2\x82", "\\cut-\\xE2\\x82"},
        {"surrogate-\xED\xA0\x80", "\\surrogate-\\xED\\xA0\\x80"},
    };
    std::vector<std::string> args = {"-a", "crc32"};
    for (const auto& c : cases) args.push_back(dir.Write(c.name, "abc"));
    RunResult r = RunKorvadex(args);
    EXPECT_EQ(r.status, 0);
    std::string report;
    for (const auto& c : cases) {
        const bool escaped = c.shown[0] == '\\';
        report += std::string(report.empty() ? "" : "\n") + "Input: " + (escaped ? "\\" : "") +
                  dir.Path("") + c.shown.substr(escaped ? 1 : 0) + "\nCRC32: 352441C2\n";
    }
    EXPECT_EQ(r.out, report);
    // --match names each file alike.
    RunResult m = RunKorvadex({"--match", "352441C2", args[2], args[4]});
    EXPECT_EQ(m.out, "Input: " + args[2] + "\nCRC32: 352441C2\n\nInput: \\" + dir.Path("") +
                         "line\\nbreak\nCRC32: 352441C2\n");
}

TEST(CliReport, EveryCommandFailsWhenItsOutputCannotBeWritten) {
    if (UnderWine()) GTEST_SKIP() << "it writes to /dev/full, a Linux device";
    TempDir dir;
    const std::string file = dir.Write("f", "abc");
    const std::string list = dir.Write("f.md5", "900150983cd24fb0d6963f7d28e17f72  " + file + "\n");
    const std::string saved = dir.Path("saved.txt");
    ASSERT_EQ(RunKorvadex({"--save", saved, file}).status, 0);
    const std::vector<std::vector<std::string>> commands = {
        {"--self-test"},
        {"--list"},
        {"--help"},  // longer than the output buffer: the failure comes before the flush
        {"--version"},
        {file},
        {"--string", "abc"},
        {"--tag", "-a", "md5,sha1", file},
        {"--format", "sfv", file},
        {"--match", "352441C2", file},
        {"--match", "00", file},  // nothing matches, and saying so fails too
        {"-c", list},
        {"-c", saved},
    };
    RunOptions full;
    full.outputFile = "/dev/full";
    for (const std::vector<std::string>& args : commands) {
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
        RunResult r = RunKorvadex(args, full);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("korvadex: standard output: No space left on device\n"),
                  std::string::npos)
            << r.err;
    }
}

}  // namespace
