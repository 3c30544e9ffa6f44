#include "command_support.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "file_input.h"
#include "report_runner.h"

std::string InputName(const std::string& path) {
    return path == "-" ? "standard input" : path;
}

void PrintError(const std::string& subject, const std::string& reason) {
    std::fprintf(stderr, "korvadex: %s: %s\n", subject.c_str(), reason.c_str());
}

bool ComputeInput(const std::string& path, const std::vector<uint8_t>& key,
                  const std::vector<size_t>& lines, unsigned jobs, Progress& progress,
                  std::vector<std::string>& hex) {
    const std::string name = InputName(path);
    progress.Begin(name);
    InputBytes bytes;
    std::string reason;
    if (!ReadInput(path, kReportInputLimit, bytes, reason, progress.BytesRead())) {
        progress.End();
        PrintError(name, reason);
        return false;
    }
    const ReportInput input{bytes.data(), uint32_t(bytes.size()),
                            key.empty() ? nullptr : key.data(), uint32_t(key.size())};
    progress.Computing(lines.size());
    ReportStatus status = ComputeReportLines(
        input, lines, jobs, hex, [&progress](size_t line) { progress.LineStarted(line); });
    progress.End();
    if (status != ReportStatus::kOk) {
        PrintError(name, std::string(ReportStatusText(status)) + "; no report");
        return false;
    }
    return true;
}

std::string DisplayHex(const std::string& hex, bool lower) {
    if (!lower) return hex;
    std::string text = hex;
    for (char& c : text) {
        if (c >= 'A' && c <= 'F') c = char(c - 'A' + 'a');
    }
    return text;
}

namespace {

// The error of the first write to standard output that failed, 0 while all succeeded.
int gOutputError = 0;

}  // namespace

void PrintOut(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() && gOutputError == 0) {
        gOutputError = errno != 0 ? errno : EIO;
    }
}

bool FlushOut() {
    if (std::fflush(stdout) != 0 && gOutputError == 0) gOutputError = errno != 0 ? errno : EIO;
    if (gOutputError == 0 && !std::ferror(stdout)) return true;
    PrintError("standard output", std::strerror(gOutputError != 0 ? gOutputError : EIO));
    return false;
}
