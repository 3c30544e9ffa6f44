#include "cli_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "report_text.h"

TempDir::TempDir() {
    char pattern[] = "/tmp/korvadex-cli-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& content) const {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string WriteFile(const std::string& path, const std::string& content) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0) << path;
    EXPECT_EQ(write(fd, content.data(), content.size()), ssize_t(content.size()));
    close(fd);
    return path;
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.insert(name);
        }
        closedir(d);
    }
    return names;
}

std::string LineHex(const ReportLine& line, const std::string& data, const std::string& key) {
    static const uint8_t kNone[1] = {0};
    const ReportInput input{
        data.empty() ? kNone : reinterpret_cast<const uint8_t*>(data.data()), uint32_t(data.size()),
        key.empty() ? nullptr : reinterpret_cast<const uint8_t*>(key.data()), uint32_t(key.size())};
    char hex[2 * kMaxDigestLength + 1];
    if (ComputeLineHex(line, input, hex) != ReportStatus::kOk) return "(failed)";
    return hex;
}

std::string ExpectedReport(const std::string& data, const std::string& key, bool lower) {
    std::string report;
    for (size_t i = 0; i < kReportLineCount; ++i) {
        std::string hex = LineHex(kReportLines[i], data, key);
        if (lower) {
            for (char& c : hex) c = char(std::tolower(static_cast<unsigned char>(c)));
        }
        report += std::string(kReportLines[i].label) + hex + "\n";
    }
    return report;
}

ShellResult Shell(const std::string& command) {
    ShellResult result;
    const std::string full = "bash -c '" + [&] {
        std::string quoted;
        for (char c : command) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted;
    }() + "' 2>&1";
    FILE* pipe = ::popen(full.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
