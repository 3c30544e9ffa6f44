// korvadex: prints the digest report of a file.
#include <cstdio>
#include <string>
#include <vector>

#include "file_input.h"
#include "report_text.h"

namespace {

const char kUsage[] =
    "usage: korvadex FILE\n"
    "Prints the forty digests and checksums of FILE, one per line.\n";

int ReportFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadWholeFile(path, bytes, reason)) {
        std::fprintf(stderr, "korvadex: %s: %s\n", path.c_str(), reason.c_str());
        return 1;
    }
    static const uint8_t kNoBytes[1] = {0};
    ReportInput input{bytes.empty() ? kNoBytes : bytes.data(), uint32_t(bytes.size()), nullptr, 0};
    std::string out;
    char hex[2 * kMaxDigestLength + 1];
    for (size_t i = 0; i < kReportLineCount; ++i) {
        ReportStatus status = ComputeLineHex(kReportLines[i], input, hex, 1);
        if (status != ReportStatus::kOk) {
            std::fprintf(stderr, "korvadex: %s: %s\n", path.c_str(), ReportStatusText(status));
            return 1;
        }
        out += kReportLines[i].label;
        out += hex;
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    return ReportFile(argv[1]);
}
