// Names in any script, paths longer than 260 characters, and the lists PowerShell 5 saves
// (UTF-16 LE with a byte order mark, CR LF): on every build, a list written names each file
// as it is, and its check finds every file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "program_runner.h"

namespace {

const ReportLine& Sha256() {
    return *std::find_if(kReportLines, kReportLines + kReportLineCount, [](const ReportLine& l) {
        return std::strcmp(l.label, "SHA-256: ") == 0;
    });
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// text (UTF-8) as UTF-16 LE.
std::string Utf16Le(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        uint32_t code = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) code = code << 6 | (uint8_t(text[i + k]) & 0x3F);
        i += length;
        const auto unit = [&out](uint32_t u) {
            out += char(u & 0xFF);
            out += char(u >> 8);
        };
        if (code >= 0x10000) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
    }
    return out;
}

TEST(CliWorldNames, ListsOfNamesInEveryScriptAndOfLongPathsCheck) {
    TempDir dir;
    RunOptions here;
    here.directory = dir.Path("");
    // A folder deep enough that the paths below it pass 260 characters.
    std::string deep = "names";
    for (int i = 0; i < 5; ++i) deep += "/" + std::string(50, char('a' + i)) + "Ω";
    ASSERT_EQ(Shell("mkdir -p '" + dir.Path(deep) + "'").status, 0);
    ASSERT_GT(dir.Path(deep).size(), 260u);
    std::vector<std::string> names;
    for (const char* name :
         {"Ελληνικά", "Кириллица", "中文名", "emoji 😀🎉", "all Δ ж 字 🙂.txt"}) {
        names.push_back(std::string("names/") + name);
        names.push_back(deep + "/" + name);
    }
    std::sort(names.begin(), names.end());
    std::string gnu, verdicts;
    for (const std::string& name : names) {
        dir.Write(name, name);
        gnu += Lower(LineHex(Sha256(), name)) + "  " + name + "\n";
        verdicts += name + ": OK\n";
    }

    RunResult made = RunKorvadex({"-r", "--format", "gnu", "-a", "sha256", "names"}, here);
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, gnu);
    dir.Write("list.sha256", made.out);
    RunResult checked = RunKorvadex({"-c", "list.sha256"}, here);
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_EQ(checked.out, verdicts);

    // The report names a long path as given, absolute too.
    const std::string longest = dir.Path(names.back());
    RunResult report = RunKorvadex({"-a", "sha256", longest, names.front()}, here);
    EXPECT_EQ(report.status, 0) << report.err;
    EXPECT_EQ(report.out, "Input: " + longest + "\nSHA-256: " + LineHex(Sha256(), names.back()) +
                              "\n\nInput: " + names.front() +
                              "\nSHA-256: " + LineHex(Sha256(), names.front()) + "\n");

    // The list as PowerShell 5's Out-File saves it, one name with Windows separators.
    std::string powershell = gnu;
    for (size_t at = 0; (at = powershell.find('\n', at)) != std::string::npos; at += 2) {
        powershell.replace(at, 1, "\r\n");
    }
    const size_t slash = powershell.find("names/");
    powershell[slash + 5] = '\\';
    dir.Write("list.txt", "\xFF\xFE" + Utf16Le(powershell));
    checked = RunKorvadex({"-c", "list.txt"}, here);
    EXPECT_EQ(checked.status, 0) << checked.err;
    // Each name is verdicted once, OK (the one with '\\' as each system shows such a name).
    size_t ok = 0;
    for (size_t at = 0; (at = checked.out.find(": OK\n", at)) != std::string::npos; ++at) ++ok;
    EXPECT_EQ(ok, names.size()) << checked.out;
    EXPECT_EQ(checked.out.substr(checked.out.find('\n') + 1),
              verdicts.substr(verdicts.find('\n') + 1));
}

}  // namespace
