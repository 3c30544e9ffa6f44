// The bad-input matrix: every kind of awkward input, given to every command that reads an
// input (the plain report, a keyed report, --save, --check through the path a saved report
// names, --match) and as the key file of --key-file.  Each input either gives the report of
// exactly its bytes, or is refused with a message that names it and says why, with no
// report, exit status 1 and an earlier saved report left as it was.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

#include "cli_test_support.h"
#include "system/file_input.h"
#include "program_runner.h"
#include "report_text.h"
#include "test_support.h"

namespace {

// What korvadex is given, and what it must make of it.
struct Input {
    std::string path;               // as given on the command line
    std::string content;            // the bytes of the report, when refusal is empty
    std::string refusal;            // the reason of "korvadex: PATH: REASON"; empty: a report
    std::string fifoFeed;           // path is a FIFO: this is written into it for each run
    unsigned user = 0;              // run as this user (for permissions to apply to root)
    std::string saveRefusal;        // --save prints the report but refuses to save, saying this
    std::string checkRefusal;       // --check refuses the saved report of this path, saying this
    std::string keyFileRefusal;     // the reason as a key file, when it differs from refusal
    std::string keyFileUsageError;  // as a key file, a usage error saying this
    std::string skip;               // why this system cannot offer the input
    std::function<void()> cleanUp;  // what the folder's own removal cannot remove
};

Input Readable(const std::string& path, const std::string& content) {
    Input input;
    input.path = path;
    input.content = content;
    return input;
}

Input Refused(const std::string& path, const std::string& reason) {
    Input input;
    input.path = path;
    input.refusal = reason;
    return input;
}

constexpr unsigned kNobody = 65534;
const std::string kKey = "k";

// A chain of folders under top, each name at most 200 characters, ending in a file whose
// absolute path has exactly length characters.  Every step is relative to the folder
// before, so the chain may go past the longest path the system accepts.
std::string DeepFile(const std::string& top, size_t length, const std::string& content) {
    std::string path = top + "/";
    int fd = open(top.c_str(), O_DIRECTORY | O_RDONLY);
    EXPECT_GE(fd, 0);
    while (length - path.size() > 250) {
        const std::string name(200, 'd');
        EXPECT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
        int next = openat(fd, name.c_str(), O_DIRECTORY | O_RDONLY);
        EXPECT_GE(next, 0);
        close(fd);
        fd = next;
        path += name + "/";
    }
    const std::string name(length - path.size(), 'f');
    int file = openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(file, 0);
    EXPECT_EQ(write(file, content.data(), content.size()), ssize_t(content.size()));
    close(file);
    close(fd);
    return path + name;
}

// Removes the entry name of the folder parent and everything below it, at any depth.
void RemoveTreeAt(int parent, const char* name) {
    int fd = openat(parent, name, O_DIRECTORY | O_RDONLY | O_NOFOLLOW);
    if (fd < 0) {
        unlinkat(parent, name, 0);
        return;
    }
    if (DIR* d = fdopendir(fd)) {
        while (dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
                RemoveTreeAt(dirfd(d), e->d_name);
            }
        }
        closedir(d);
    }
    unlinkat(parent, name, AT_REMOVEDIR);
}

struct Case {
    const char* name;
    // Builds the input in the folder in (a folder anyone may enter).
    std::function<Input(const std::string& in)> make;
};

std::string Random(size_t n, uint32_t seed) {
    const std::vector<uint8_t> bytes = RandomBytes(n, seed);
    return std::string(bytes.begin(), bytes.end());
}

const Case kCases[] = {
    {"MissingFile",
     [](const std::string& in) { return Refused(in + "/nothing-here", "no such file"); }},
    {"Directory",
     [](const std::string& in) {
         EXPECT_EQ(mkdir((in + "/folder").c_str(), 0755), 0);
         return Refused(in + "/folder", "is a directory");
     }},
    {"FileUsedAsFolder",
     [](const std::string& in) {
         WriteFile(in + "/plain", "x");
         return Refused(in + "/plain/below", "not a directory");
     }},
    {"PermissionDenied",
     [](const std::string& in) {
         const std::string path = WriteFile(in + "/secret", "abc");
         EXPECT_EQ(chmod(path.c_str(), 0), 0);
         Input input = Refused(path, "permission denied");
         if (geteuid() == 0) input.user = kNobody;
         return input;
     }},
    {"SymlinkLoop",
     [](const std::string& in) {
         EXPECT_EQ(symlink("loop", (in + "/loop").c_str()), 0);
         return Refused(in + "/loop", "too many levels of symbolic links");
     }},
    {"Socket",
     [](const std::string& in) {
         const std::string path = in + "/socket";
         int fd = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         EXPECT_LT(path.size(), sizeof address.sun_path);
         path.copy(address.sun_path, sizeof address.sun_path - 1);
         EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
         Input input = Refused(path, "no such device or address");
         input.cleanUp = [fd] { close(fd); };
         return input;
     }},
    {"EmptyPath",
     [](const std::string&) {
         Input input = Refused("", "no such file");
         input.checkRefusal = "names no file";
         input.keyFileUsageError = "--key-file: no file named";
         return input;
     }},
    {"Fifo",
     [](const std::string& in) {
         Input input = Readable(in + "/fifo", Random(100000, 21));
         EXPECT_EQ(mkfifo(input.path.c_str(), 0644), 0);
         input.fifoFeed = input.content;
         return input;
     }},
    {"EmptyFile", [](const std::string& in) { return Readable(WriteFile(in + "/empty", ""), ""); }},
    {"ProcFileOfSizeZero",
     [](const std::string&) {
         // Reports a size of 0 but has content: it must be read, not trusted.
         const std::string content = ReadFile("/proc/version");
         EXPECT_FALSE(content.empty());
         return Readable("/proc/version", content);
     }},
    {"SysfsFileSmallerThanItsSize",
     [](const std::string&) {
         // Reports a size of a whole page but holds a few bytes.
         const std::string path = "/sys/class/net/lo/address";
         Input input = Readable(path, ReadFile(path));
         if (input.content.empty()) input.skip = path + " cannot be read here";
         return input;
     }},
    {"PathOf511Characters",
     [](const std::string& in) {
         const std::string path = DeepFile(in, 511, "five hundred and eleven");
         EXPECT_EQ(path.size(), 511u);
         return Readable(path, "five hundred and eleven");
     }},
    {"PathOf512Characters",
     [](const std::string& in) {
         const std::string path = DeepFile(in, 512, "five hundred and twelve");
         EXPECT_EQ(path.size(), 512u);
         return Readable(path, "five hundred and twelve");
     }},
    {"PathOf4095Characters",
     [](const std::string& in) {
         // The longest path the system takes (PATH_MAX is 4096 with the NUL).
         const std::string path = DeepFile(in, 4095, "longest");
         Input input = Readable(path, "longest");
         input.cleanUp = [in] {
             RemoveTreeAt(AT_FDCWD, (in + "/" + std::string(200, 'd')).c_str());
         };
         return input;
     }},
    {"PathOf4096Characters",
     [](const std::string& in) {
         // The file exists, but its path is one character too long to be opened.
         const std::string path = DeepFile(in, 4096, "too long");
         Input input = Refused(path, "file name too long");
         input.cleanUp = [in] {
             RemoveTreeAt(AT_FDCWD, (in + "/" + std::string(200, 'd')).c_str());
         };
         return input;
     }},
    {"NameOf256Characters",
     [](const std::string& in) {
         return Refused(in + "/" + std::string(256, 'n'), "file name too long");
     }},
    {"NonAsciiName",
     [](const std::string& in) {
         // "donnees" with an e acute, sharp s, two CJK characters and an emoji, in UTF-8.
         const std::string name =
             "donn\xC3\xA9"
             "es-\xC3\x9F-\xE6\x97\xA5\xE6\x9C\xAC-\xF0\x9F\x98\x80";
         return Readable(WriteFile(in + "/" + name, "caf\xC3\xA9"), "caf\xC3\xA9");
     }},
    {"NameThatIsNotUtf8",
     [](const std::string& in) {
         return Readable(WriteFile(in + "/latin1-\xE9\xFF.bin", "bytes"), "bytes");
     }},
    {"SpacesAroundName",
     [](const std::string& in) {
         return Readable(WriteFile(in + "/ spaced name ", "spaces"), "spaces");
     }},
    {"LineBreakInName",
     [](const std::string& in) {
         Input input = Readable(WriteFile(in + "/line\nbreak", "abc"), "abc");
         input.saveRefusal = "not saved: the input path holds a line break";
         input.checkRefusal = "not a valid saved report";
         return input;
     }},
    {"TabInName",
     [](const std::string& in) {
         // A saved report cannot hold a control character in its path: --check refuses
         // one, so --save must not write one.
         Input input = Readable(WriteFile(in + "/tab\there", "abc"), "abc");
         input.saveRefusal = "not saved: the input path holds a control character";
         input.checkRefusal = "the input path holds a control character";
         return input;
     }},
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class CliBadInput : public testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        const std::string name = GetParam().name;
        for (const char* posix :
             {"PermissionDenied", "SymlinkLoop", "Socket", "Fifo", "ProcFileOfSizeZero",
              "SysfsFileSmallerThanItsSize", "NameThatIsNotUtf8", "LineBreakInName", "TabInName",
              "SpacesAroundName", "NameOf256Characters", "PathOf4095Characters",
              "PathOf4096Characters"}) {
            if (UnderWine() && name == posix) {
                GTEST_SKIP() << "the input is of a POSIX system: another user, a link, a "
                                "socket, a FIFO, /proc, /sys, POSIX limits of names and paths, "
                                "or a name no Windows name can be";
            }
        }
        // Folders anyone may enter, so that a run as another user meets only the
        // permissions under test.
        ASSERT_EQ(chmod(dir_.Path("").c_str(), 0755), 0);
        ASSERT_EQ(mkdir(in_.c_str(), 0755), 0);
        ASSERT_EQ(mkdir(out_.c_str(), 0755), 0);
        input_ = GetParam().make(in_);
        if (!input_.skip.empty()) GTEST_SKIP() << input_.skip;
    }
    void TearDown() override {
        if (input_.cleanUp) input_.cleanUp();
    }

    RunResult Run(const std::vector<std::string>& args) {
        RunOptions options;
        options.user = input_.user;
        std::thread feeder;
        if (!input_.fifoFeed.empty()) {
            feeder = std::thread([this] {
                int fd = open(input_.path.c_str(), O_WRONLY);
                if (fd < 0) return;
                size_t done = 0;
                while (done < input_.fifoFeed.size()) {
                    ssize_t n =
                        write(fd, input_.fifoFeed.data() + done, input_.fifoFeed.size() - done);
                    if (n <= 0) break;
                    done += size_t(n);
                }
                close(fd);
            });
        }
        RunResult r = RunKorvadex(args, options);
        if (feeder.joinable()) feeder.join();
        return r;
    }

    // A refusal: the input named with the reason, no output, status 1.
    void ExpectRefused(const RunResult& r, const std::string& reason,
                       const std::string& role = "") {
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "korvadex: " + role + input_.path + ": " + reason + "\n");
    }

    std::string CoreReport(const std::string& data) {
        static const uint8_t kNone[1] = {0};
        const ReportInput report{
            data.empty() ? kNone : reinterpret_cast<const uint8_t*>(data.data()),
            uint32_t(data.size()), nullptr, 0};
        std::string text;
        EXPECT_EQ(BuildReportText(report, text), ReportStatus::kOk);
        return text;
    }

    TempDir dir_;
    const std::string in_ = dir_.Path("in");
    const std::string out_ = dir_.Path("out");
    Input input_;
};

TEST_P(CliBadInput, EveryCommandReportsOrRefusesClearly) {
    const Input& in = input_;
    const bool readable = in.refusal.empty();
    {
        SCOPED_TRACE("plain report");
        RunResult r = Run({in.path});
        if (r.status == kCannotSwitchUser) GTEST_SKIP() << "cannot run as another user here";
        if (readable) {
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out, ExpectedReport(in.content));
        } else {
            ExpectRefused(r, in.refusal);
        }
    }
    {
        SCOPED_TRACE("keyed report");
        RunResult r = Run({"--key", kKey, in.path});
        if (readable) {
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out, ExpectedReport(in.content, kKey));
        } else {
            ExpectRefused(r, in.refusal);
        }
    }
    {
        SCOPED_TRACE("--save over an earlier saved report");
        const std::string saved = WriteFile(out_ + "/saved.txt", "the earlier report");
        RunResult r = Run({"--save", saved, in.path});
        if (!readable) {
            ExpectRefused(r, in.refusal);
            EXPECT_EQ(ReadFile(saved), "the earlier report");
        } else if (!in.saveRefusal.empty()) {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, ExpectedReport(in.content));
            EXPECT_NE(r.err.find(in.saveRefusal), std::string::npos) << r.err;
            EXPECT_EQ(ReadFile(saved), "the earlier report");
        } else {
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(ReadFile(saved), BuildSavedReport(in.path.c_str(), CoreReport(in.content)));
        }
        EXPECT_EQ(Entries(out_), std::set<std::string>{"saved.txt"});
    }
    {
        SCOPED_TRACE("--check of a report saved for this path");
        const std::string saved = WriteFile(
            out_ + "/check.txt", BuildSavedReport(in.path.c_str(), CoreReport(in.content)));
        RunResult r = Run({"--check", saved});
        if (!in.checkRefusal.empty()) {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_NE(r.err.find(in.checkRefusal), std::string::npos) << r.err;
        } else if (readable) {
            std::string allOk;
            for (size_t i = 0; i < kReportLineCount; ++i)
                allOk += kReportLines[i].label + std::string("OK\n");
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out, allOk);
        } else {
            ExpectRefused(r, in.refusal);
        }
    }
    {
        SCOPED_TRACE("--match of the CRC-32");
        const std::string crc32 = LineHex(kReportLines[3], in.content);
        ASSERT_EQ(std::string(kReportLines[3].label), "CRC32: ");
        RunResult r = Run({"--match", crc32, in.path});
        if (readable) {
            EXPECT_EQ(r.status, 0);
            EXPECT_NE(r.out.find("CRC32: " + crc32 + "\n"), std::string::npos) << r.out;
        } else {
            ExpectRefused(r, in.refusal);
        }
    }
    {
        SCOPED_TRACE("as the key file of a keyed report");
        const std::string message = WriteFile(out_ + "/message", "abc");
        RunResult r = Run({"--key-file", in.path, message});
        if (!in.keyFileUsageError.empty()) {
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.out, "");
            EXPECT_NE(r.err.find(in.keyFileUsageError), std::string::npos) << r.err;
        } else if (!readable) {
            ExpectRefused(r, in.keyFileRefusal.empty() ? in.refusal : in.keyFileRefusal,
                          "key file ");
        } else if (in.content.empty()) {
            ExpectRefused(r, "empty; a key needs at least one byte", "key file ");
        } else {
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out, ExpectedReport("abc", in.content));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, CliBadInput, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(CliLargeInput, InputsOf4GiBAndMoreAreHashedWholePlainAndKeyed) {
    // 2^32 zero bytes (a sparse file) and "abc": a 32-bit size would see only "abc".
    TempDir dir;
    const std::string path = dir.Path("4GiB+3");
    int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, "abc", 3, off_t(1) << 32), 3);
    close(fd);
    // The values of zlib's crc32 and adler32 over the same bytes, and HMAC over crc32.
    RunResult r = RunKorvadex({"--only", "CRC32,ADLER32", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "ADLER32: 032E0127\nCRC32: EB2147CC\n");
    RunOptions redirected;
    redirected.inputFile = path;
    r = RunKorvadex({"--key", "k", "--only", "CRC32", "-"}, redirected);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "CRC32: 4FBD970B\n");
}

TEST(CliReadError, NamesTheInputAndGivesNoReport) {
    // The process's own memory at offset 0 is unmapped: reading it fails.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/proc/self/mem"},
          std::vector<std::string>{"--key", "k", "--jobs", "2", "/proc/self/mem"}}) {
        RunResult r = RunKorvadex(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "korvadex: /proc/self/mem: input/output error; no report\n");
    }
}

TEST(CliMessages, ANameWithControlsIsEscapedSoTheTerminalDoesNotObeyIt) {
    RunResult r = RunKorvadex({"missing\x1b[2J\x07"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "korvadex: \\missing\\x1B[2J\\x07: no such file\n");
}

// The ways the tests below change a file of 10000 bytes while it is read, each with the
// reason the reader gives for it.
struct FileChange {
    const char* name;
    std::function<void()> change;
    const char* reason;
};

std::vector<FileChange> ChangesOf(const std::string& path) {
    return {
        {"appended", [path] { std::ofstream(path, std::ios::app) << "more"; },
         "the file grew while it was being read"},
        {"truncated", [path] { ASSERT_EQ(truncate(path.c_str(), 5000), 0); },
         "the file shrank while it was being read"},
        {"rewritten with another time",
         [path] {
             std::fstream(path, std::ios::in | std::ios::out) << "y";
             const struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
             ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
         },
         "the file changed while it was being read"},
    };
}

// A regular file read in chunks whose size or time changes between its opening and its end.
TEST(InputReader, AFileThatChangesWhileItIsReadIsAFailureThatSaysSo) {
    TempDir dir;
    const std::string path = dir.Path("changing");
    const std::string content(10000, 'x');
    std::vector<uint8_t> chunk(4096);
    size_t length = 0;
    std::string reason;
    for (const FileChange& c : ChangesOf(path)) {
        SCOPED_TRACE(c.name);
        WriteFile(path, content);
        InputReader reader;
        ASSERT_TRUE(reader.Open(path, reason));
        EXPECT_EQ(reader.Size(), 10000);
        ASSERT_TRUE(reader.Read(chunk.data(), chunk.size(), length));
        EXPECT_EQ(length, chunk.size());
        c.change();
        bool ok = true;
        do {
            ok = reader.Read(chunk.data(), chunk.size(), length);
        } while (ok && length == chunk.size());
        EXPECT_FALSE(ok);
        EXPECT_EQ(reader.Reason(), c.reason);
    }
    // Unchanged, the file reads to its end in full chunks and a short last one.
    WriteFile(path, content);
    InputReader reader;
    ASSERT_TRUE(reader.Open(path, reason));
    size_t total = 0;
    do {
        ASSERT_TRUE(reader.Read(chunk.data(), chunk.size(), length));
        total += length;
    } while (length == chunk.size());
    EXPECT_EQ(total, content.size());
}

// The same file lent in mapped windows: a change under a window is found when the window is
// given back; bytes past a new end read as zeros, not as a crash.
TEST(InputReader, AFileThatChangesUnderALentWindowIsAFailureThatSaysSo) {
    TempDir dir;
    const std::string path = dir.Path("changing");
    const std::string content(10000, 'x');
    std::string reason;
    for (const FileChange& c : ChangesOf(path)) {
        SCOPED_TRACE(c.name);
        WriteFile(path, content);
        InputReader reader;
        ASSERT_TRUE(reader.Open(path, reason, nullptr, true));
        ASSERT_TRUE(reader.Lends());
        const uint8_t* data = nullptr;
        size_t length = 0;
        bool last = false;
        ASSERT_TRUE(reader.Lend(data, length, last));
        ASSERT_EQ(length, content.size());
        EXPECT_TRUE(last);
        c.change();
        size_t xs = 0;
        for (size_t i = 0; i < length; ++i) xs += data[i] == 'x';
        EXPECT_GE(xs, 4999u);
        EXPECT_FALSE(reader.GiveBack(data));
        EXPECT_EQ(reader.Reason(), c.reason);
    }
    // Unchanged, a file of several windows is lent whole, each byte once, in order.
    const std::vector<uint8_t> big = RandomBytes((size_t(9) << 20) + 4321, 19);
    WriteFile(path, std::string(big.begin(), big.end()));
    InputReader reader;
    ASSERT_TRUE(reader.Open(path, reason, nullptr, true));
    std::vector<uint8_t> seen;
    size_t views = 0;
    for (bool last = false; !last; ++views) {
        const uint8_t* data = nullptr;
        size_t length = 0;
        ASSERT_TRUE(reader.Lend(data, length, last));
        seen.insert(seen.end(), data, data + length);
        ASSERT_TRUE(reader.GiveBack(data));
    }
    EXPECT_GT(views, 1u);
    EXPECT_TRUE(seen == big);
}

}  // namespace
