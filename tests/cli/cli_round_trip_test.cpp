// What korvadex writes, korvadex checks: every list format, all forty lines, plain and keyed,
// over names that lists find hard to carry.  Each written entry checks as OK; after one byte
// of one file changes, exactly that file fails.  A name that a format cannot carry is refused
// when the list is written, and the other files are still written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "lists/checksum_lines.h"
#include "cli_test_support.h"
#include "batch/input_compute.h"
#include "batch/messages.h"
#include "common/line_names.h"
#include "program_runner.h"

namespace {

// The ways of writing a list, as bits of a mask.
enum FormatBit : unsigned {
    kSave = 1,
    kGnu = 2,
    kBsd = 4,
    kSfv = 8,
    kHashdeep = 16,
    kJson = 32,
    kCsv = 64
};

struct HostileName {
    std::string name;
    unsigned refusedBy;     // the formats that must refuse it
    unsigned mayBeRefused;  // the formats that may refuse it, as their readers see it
};

const HostileName kNames[] = {
    {"plain.txt", 0, 0},
    {" lead", kSfv, 0},
    {"trail ", kSfv, 0},
    {"a  b", 0, 0},
    {";semicolon", kSfv, 0},
    {"#hash", kSfv, 0},
    {"*star", 0, 0},
    {"open(paren", 0, 0},
    {"x) = y", 0, 0},
    {"back\\slash", kSfv, 0},
    {"\\n", kSfv, 0},
    {"line\nbreak", kSfv | kSave | kHashdeep, 0},
    {"carriage\rreturn", kSfv | kSave, 0},
    {"ends in CR\r", kSfv | kSave | kHashdeep, 0},
    {"tab\tname", kSfv | kSave, 0},
    {"latin1-\xE9\xFF", 0, 0},
    {"long-" + std::string(250, 'n'), 0, 0},
    {"0123abcd", 0, kSfv},
    {"d41d8cd98f00b204e9800998ecf8427e", 0, kSfv},
    {"MD5 (x) = d41d8cd98f00b204e9800998ecf8427e", 0, 0},
    {"HMAC-SNEFRU256 (4 Passes) (x) = 00", 0, 0},
    {"CRC32: 352441C2", kSfv, 0},
    {"==========ruler", kSfv, 0},
    {"\xEF\xBB\xBF"
     "bom",
     kSfv, 0},
};

// How a format's lists are made.
enum class Shape {
    kOneList,        // one run writes one list of every file and every line it holds
    kListPerLine,    // one run and one list per line (a list holds one algorithm)
    kReportPerFile,  // one run and one saved report per file
};

struct FormatRow {
    const char* name;
    FormatBit bit;
    std::vector<std::string> args;
    Shape shape;
    size_t linesPerFile;  // in the lists of one run
    bool keyed;           // it can hold keyed values
};

const FormatRow kRows[] = {
    {"save", kSave, {}, Shape::kReportPerFile, kReportLineCount, true},
    {"gnu", kGnu, {"--format", "gnu"}, Shape::kListPerLine, 1, true},
    {"bsd", kBsd, {"--tag"}, Shape::kOneList, kReportLineCount, true},
    {"sfv", kSfv, {"--format", "sfv"}, Shape::kOneList, 1, false},
    // One verdict per file for all its columns and its size.
    {"hashdeep",
     kHashdeep,
     {"--format", "hashdeep", "-a", "md5,sha1,sha256,tiger,whirlpool"},
     Shape::kOneList,
     1,
     false},
    // One object or row per file, one verdict for all its digests and its size.
    {"json", kJson, {"--format", "json"}, Shape::kOneList, 1, true},
    {"csv", kCsv, {"--format", "csv"}, Shape::kOneList, 1, true},
};

std::string Escaped(const std::string& name) {
    bool mark = false;
    return EscapeName(name, mark);
}

// The name as a verdict of --check shows it: escaped, after a '\', when it holds a line break.
std::string Shown(const std::string& name) {
    return name.find_first_of("\r\n") == std::string::npos ? name : "\\" + Escaped(name);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// How many lines of text hold part: the whole line, or at its end, or anywhere.
enum class Where { kWhole, kEnd, kAnywhere };
size_t Count(const std::string& text, const std::string& part, Where where) {
    size_t count = 0;
    for (const std::string& line : Lines(text)) {
        const size_t at = line.rfind(part);
        count += at != std::string::npos &&
                 (where == Where::kAnywhere || at + part.size() == line.size()) &&
                 (where != Where::kWhole || at == 0);
    }
    return count;
}

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

class RoundTrip {
public:
    RoundTrip(const FormatRow& row, bool keyed) : row_(row), keyed_(keyed) {
        files_ = dir_.Path("files");
        lists_ = dir_.Path("lists");
        EXPECT_EQ(mkdir(files_.c_str(), 0700), 0);
        EXPECT_EQ(mkdir(lists_.c_str(), 0700), 0);
        for (size_t i = 0; i < std::size(kNames); ++i) {
            const HostileName& n = kNames[i];
            WriteFile(i, Content(i));
            refused_.push_back(-1);
            if (n.refusedBy & row.bit) refused_[i] = 1;
            if (!(n.refusedBy & row.bit) && !(n.mayBeRefused & row.bit)) refused_[i] = 0;
        }
        in_.directory = files_;
    }

    // Writes the lists; every name is written or refused as its row says.
    void Write() {
        std::vector<std::string> names{"--"};
        for (const HostileName& n : kNames) names.push_back(n.name);
        switch (row_.shape) {
            case Shape::kOneList:
                WriteList("list." + std::string(row_.name), With(Args(row_.args), names));
                break;
            case Shape::kListPerLine:
                for (size_t line = 0; line < kReportLineCount; ++line) {
                    const std::string name = LineName(kReportLines[line]);
                    // The list's name says its algorithm, as SHA256SUMS does.
                    WriteList("list." + name, With(Args(row_.args), With({"-a", name}, names)));
                }
                break;
            case Shape::kReportPerFile:
                for (size_t i = 0; i < std::size(kNames); ++i) {
                    const std::string list = "../lists/" + std::to_string(i) + ".txt";
                    RunResult r = RunKorvadex(Args({"--save", list, "--", kNames[i].name}), in_);
                    Settle(i, r.status == 0, r.err);
                    if (r.status == 0) lists_written_.push_back(list);
                }
                break;
        }
    }

    // Checks every list: each name written is OK, or, with changed the index of a changed
    // file, exactly that file is FAILED.
    void Check(long changed) {
        SCOPED_TRACE(changed < 0 ? "no file changed" : "changed " + Shown(kNames[changed].name));
        RunResult r = RunKorvadex(Args(With({"-c"}, lists_written_)), in_);
        EXPECT_EQ(r.status, changed < 0 ? 0 : 1) << r.err;
        const size_t lists = row_.shape == Shape::kListPerLine ? kReportLineCount : 1;
        const size_t perFile = lists * row_.linesPerFile;
        size_t written = 0;
        for (size_t i = 0; i < std::size(kNames); ++i) {
            if (refused_[i] != 0) continue;
            ++written;
            const bool failed = long(i) == changed;
            if (row_.shape == Shape::kReportPerFile) {
                EXPECT_EQ(r.err.find("korvadex: " + MessageText(kNames[i].name) + ": "),
                          failed ? 0 : std::string::npos)
                    << r.err;
                continue;
            }
            const std::string verdict = Shown(kNames[i].name) + (failed ? ": FAILED" : ": OK");
            EXPECT_EQ(Count(r.out, verdict, Where::kWhole), perFile)
                << Shown(kNames[i].name) << "\n"
                << r.out;
        }
        EXPECT_EQ(Count(r.out, ": FAILED", Where::kAnywhere), changed < 0 ? 0 : perFile) << r.out;
        EXPECT_EQ(Count(r.out, ": OK", Where::kEnd), (written - (changed < 0 ? 0 : 1)) * perFile)
            << r.out;
    }

    void CheckEachChange() {
        for (size_t i = 0; i < std::size(kNames); ++i) {
            if (refused_[i] != 0) continue;
            std::string changed = Content(i);
            changed[3] ^= 1;
            WriteFile(i, changed);
            Check(long(i));
            WriteFile(i, Content(i));
        }
    }

private:
    static std::string Content(size_t i) { return "the bytes of file " + std::to_string(i); }

    void WriteFile(size_t i, const std::string& content) {
        FILE* f = std::fopen((files_ + "/" + kNames[i].name).c_str(), "wb");
        ASSERT_NE(f, nullptr) << kNames[i].name;
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }

    std::vector<std::string> Args(const std::vector<std::string>& more) const {
        return With(keyed_ ? std::vector<std::string>{"--key", "k3y"} : std::vector<std::string>{},
                    more);
    }

    // One run that writes a list of every file to lists/name.
    void WriteList(const std::string& name, const std::vector<std::string>& args) {
        SCOPED_TRACE(name);
        RunResult r = RunKorvadex(args, in_);
        bool anyRefused = false;
        for (size_t i = 0; i < std::size(kNames); ++i) {
            const bool refused = r.err.find("korvadex: " + MessageText(kNames[i].name) +
                                            ": not written: ") != std::string::npos;
            Settle(i, !refused, r.err);
            anyRefused = anyRefused || refused;
        }
        EXPECT_EQ(r.status, anyRefused ? 1 : 0) << r.err;
        const std::string path = lists_ + "/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(r.out.data(), 1, r.out.size(), f);
        std::fclose(f);
        lists_written_.push_back("../lists/" + name);
    }

    // Records whether name i was written, which its row must allow.
    void Settle(size_t i, bool written, const std::string& err) {
        const int expected = refused_[i];
        refused_[i] = written ? 0 : 1;
        if (expected >= 0) {
            EXPECT_EQ(refused_[i], expected) << Shown(kNames[i].name) << ": " << err;
        }
    }

    const FormatRow& row_;
    const bool keyed_;
    TempDir dir_;
    std::string files_;
    std::string lists_;
    RunOptions in_;
    std::vector<int> refused_;  // per name: 1 refused, 0 written, -1 either, until written
    std::vector<std::string> lists_written_;
};

TEST(CliRoundTrip, EveryFormatChecksWhatItWritesAndFailsExactlyTheChangedFile) {
    if (UnderWine()) {
        GTEST_SKIP() << "most of its names (control characters, bytes that are not UTF-8, '\\', "
                        "'*', ':', a trailing blank) are no Windows name";
    }
    for (const FormatRow& row : kRows) {
        for (bool keyed : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (keyed ? ", keyed" : ", plain"));
            if (keyed && !row.keyed) {
                RunResult r = RunKorvadex(With({"--key", "k"}, With(row.args, {"x"})));
                EXPECT_EQ(r.status, 2);
                EXPECT_NE(r.err.find("cannot hold keyed values"), std::string::npos) << r.err;
                continue;
            }
            RoundTrip trip(row, keyed);
            trip.Write();
            trip.Check(-1);
            trip.CheckEachChange();
        }
    }
}

// Python's json and csv modules read every name back from korvadex's JSON and CSV lists, the
// JSON strictly (no lone surrogates, valid UTF-8 throughout), the bytes of a name that is not
// UTF-8 from its base64 field.
TEST(CliRoundTrip, PythonReadsEveryNameOfJsonAndCsvLists) {
    if (UnderWine()) GTEST_SKIP() << "its names include bytes and characters that no Windows name can hold";
    const char* const readers[][2] = {
        {"json",
         "import base64, json, sys\n"
         "for line in open(sys.argv[1], encoding='utf-8', errors='strict'):\n"
         "    o = json.loads(line)\n"
         "    assert o['list_version'] == 1 and len(o['digests']) == 2\n"
         "    n = base64.b64decode(o['name_base64']) if 'name_base64' in o else "
         "o['name'].encode('utf-8')\n"
         "    print(n.hex())\n"},
        {"csv",
         "import base64, csv, sys\n"
         "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8', newline='')))\n"
         "assert rows[0] == ['list_version', 'name', 'name_base64', 'size', 'modified', "
         "'MD5', 'SHA-256']\n"
         "for r in rows[1:]:\n"
         "    n = base64.b64decode(r[2]) if r[2] else r[1].encode('utf-8')\n"
         "    print(n.hex())\n"},
    };
    TempDir dir;
    RunOptions in;
    in.directory = dir.Path("");
    std::vector<std::string> args{"-a", "md5,sha256", "--"};
    std::string expected;
    for (const HostileName& n : kNames) {
        dir.Write(n.name, "x");
        args.push_back(n.name);
        for (unsigned char c : n.name) {
            static const char kDigits[] = "0123456789abcdef";
            expected += {kDigits[c >> 4], kDigits[c & 15]};
        }
        expected += "\n";
    }
    for (const auto& reader : readers) {
        SCOPED_TRACE(reader[0]);
        RunResult r = RunKorvadex(With({"--format", reader[0]}, args), in);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string list = dir.Write(std::string("list.") + reader[0], r.out);
        const std::string script = dir.Write(std::string("read_") + reader[0] + ".py", reader[1]);
        ShellResult python = Shell("python3 '" + script + "' '" + list + "'");
        EXPECT_EQ(python.status, 0) << python.out;
        EXPECT_EQ(python.out, expected);
    }
}

}  // namespace
