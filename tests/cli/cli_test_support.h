// Helpers of the command-line tests: scratch folders, files, and the expected output
// computed through the report core.
#ifndef KORVADEX_TESTS_CLI_CLI_TEST_SUPPORT_H
#define KORVADEX_TESTS_CLI_CLI_TEST_SUPPORT_H

#include <set>
#include <string>

#include "report_lines.h"

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path(const std::string& name) const { return path_ + "/" + name; }
    // Writes content to the file name in the folder and returns its path.
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);

// Writes content to the file at path, made with mode 0644, and returns path.
std::string WriteFile(const std::string& path, const std::string& content);

// The names in folder, without "." and "..".
std::set<std::string> Entries(const std::string& folder);

// The upper-case hex of one line over data, keyed when key is not empty, from the core.
std::string LineHex(const ReportLine& line, const std::string& data, const std::string& key = "");

// The report of data as korvadex prints it: label, hex and "\n" per line.
std::string ExpectedReport(const std::string& data, const std::string& key = "",
                           bool lower = false);

struct ShellResult {
    std::string out;
    int status = -1;
};

// Runs command with bash, standard error joined to standard output.
ShellResult Shell(const std::string& command);

#endif
