#include "command_support.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "file_input.h"

std::string InputName(const std::string& path) {
    return path == "-" ? "standard input" : path;
}

void PrintError(const std::string& subject, const std::string& reason) {
    std::fprintf(stderr, "korvadex: %s: %s\n", subject.c_str(), reason.c_str());
}

namespace {

bool Compute(ChunkSource& source, const std::function<std::string()>& readFailure,
             const std::string& name, const std::vector<uint8_t>& key,
             const std::vector<size_t>& lines, unsigned jobs, Progress& progress,
             std::vector<std::string>& hex) {
    std::vector<const ReportLine*> rows;
    for (size_t index : lines) rows.push_back(&kReportLines[index]);
    StreamSettings settings;
    settings.jobs = jobs;
    settings.chunkSize = kDefaultChunkSize;
    std::vector<std::string> texts;
    const ReportStatus status =
        ComputeStreamedLines(source, rows, key.data(), key.size(), settings, texts);
    const bool ok = status == ReportStatus::kOk;
    hex.assign(kReportLineCount, std::string());
    if (ok) {
        for (size_t i = 0; i < lines.size(); ++i) hex[lines[i]] = texts[i];
    }
    const std::string reason =
        status == ReportStatus::kReadFailed ? readFailure() : ReportStatusText(status);
    progress.End();
    if (!ok) PrintError(name, reason + "; no report");
    return ok;
}

}  // namespace

bool ComputeInput(const std::string& path, const std::vector<uint8_t>& key,
                  const std::vector<size_t>& lines, unsigned jobs, Progress& progress,
                  std::vector<std::string>& hex) {
    const std::string name = InputName(path);
    InputReader reader;
    std::string reason;
    if (!reader.Open(path, reason, progress.BytesRead())) {
        PrintError(name, reason);
        return false;
    }
    progress.Begin(name, reader.Size());
    return Compute(
        reader, [&reader] { return reader.Reason(); }, name, key, lines, jobs, progress, hex);
}

bool ComputeText(const std::string& text, const std::vector<uint8_t>& key,
                 const std::vector<size_t>& lines, unsigned jobs, Progress& progress,
                 std::vector<std::string>& hex) {
    const std::string name = "the text \"" + text + "\"";
    MemorySource source(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    progress.Begin(name, int64_t(text.size()));
    return Compute(
        source, [] { return std::string(ReportStatusText(ReportStatus::kReadFailed)); }, name, key,
        lines, jobs, progress, hex);
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
