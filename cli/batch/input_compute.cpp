// Computing the lines of one input: a file or a text.
#include "batch/input_compute.h"

#include <functional>

#include "batch/messages.h"
#include "line_streams.h"
#include "report_lines.h"

namespace {

void Compute(ChunkSource& source, const std::function<std::string()>& readFailure,
             const std::vector<uint8_t>& key, const std::vector<size_t>& lines, const InputRun& run,
             StreamCheckpoints* checkpoints, InputResult& result) {
    std::vector<const ReportLine*> rows;
    for (size_t index : lines) rows.push_back(&kReportLines[index]);
    StreamSettings settings;
    settings.jobs = run.jobs;
    settings.callerOnly = run.callerOnly;
    settings.callerBuffer = run.buffer;
    settings.chunkSize = kDefaultChunkSize;
    settings.checkpoints = checkpoints;
    std::vector<std::string> texts;
    const ReportStatus status =
        ComputeStreamedLines(source, rows, key.data(), key.size(), settings, texts);
    result.ok = status == ReportStatus::kOk;
    result.hex.assign(kReportLineCount, std::string());
    if (result.ok) {
        for (size_t i = 0; i < lines.size(); ++i) result.hex[lines[i]] = texts[i];
    } else {
        result.reason =
            (status == ReportStatus::kReadFailed ? readFailure() : ReportStatusText(status)) +
            std::string("; no report");
    }
    if (run.progress != nullptr) run.progress->End();
}

// Writes the message of a result that failed; returns whether it did not.
bool Told(const InputResult& result, std::vector<std::string>& hex) {
    hex = result.hex;
    if (!result.ok) PrintError(result.subject, result.reason);
    return result.ok;
}

}  // namespace

InputResult ComputeFileResult(const std::string& path, const std::vector<uint8_t>& key,
                              const std::vector<size_t>& lines, const InputRun& run) {
    InputResult result;
    result.hex.assign(kReportLineCount, std::string());
    result.subject = InputName(path);
    InputReader reader;
    if (run.waitTurn) reader.ReadInTurn(run.order, run.waitTurn);
    if (!run.lend) reader.NeverLend();
    if (!reader.Open(path, result.reason,
                     run.progress != nullptr ? run.progress->BytesRead() : run.bytesRead)) {
        return result;
    }
    if (run.opened) run.opened(reader.Size());
    if (run.progress != nullptr) run.progress->Begin(MessageText(result.subject), reader.Size());
    InputRun actual = run;
    if (reader.TakesTurns()) {
        // Its bytes come one file at a time: its lines spread over the threads meanwhile.
        actual.callerOnly = false;
        actual.jobs = run.jobsInTurn;
    }
    StreamCheckpoints* checkpoints = path != "-" && reader.Size() >= 0 ? run.checkpoints : nullptr;
    Compute(
        reader, [&reader] { return reader.Reason(); }, key, lines, actual, checkpoints, result);
    result.size = reader.Taken();
    return result;
}

InputResult ComputeTextResult(const std::string& text, const std::vector<uint8_t>& key,
                              const std::vector<size_t>& lines, const InputRun& run) {
    InputResult result;
    result.subject = "the text \"" + text + "\"";
    MemorySource source(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (run.progress != nullptr)
        run.progress->Begin(MessageText(result.subject), int64_t(text.size()));
    Compute(
        source, [] { return std::string(ReportStatusText(ReportStatus::kReadFailed)); }, key, lines,
        run, nullptr, result);
    result.size = text.size();
    return result;
}

bool ComputeInput(const std::string& path, const std::vector<uint8_t>& key,
                  const std::vector<size_t>& lines, unsigned jobs, Progress& progress,
                  std::vector<std::string>& hex, uint64_t* size) {
    InputRun run;
    run.jobs = jobs;
    run.progress = &progress;
    const InputResult result = ComputeFileResult(path, key, lines, run);
    if (size != nullptr) *size = result.size;
    return Told(result, hex);
}
