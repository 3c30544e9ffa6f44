#include "cli_test_support.h"

#include <unistd.h>

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
