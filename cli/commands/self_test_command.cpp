// --self-test: the known answers of the report lines, run through the engines.
#include <cerrno>
#include <cstring>
#include <string>

#include "commands/commands.h"
#include "common/line_names.h"
#include "line_streams.h"
#include "report_text.h"

namespace {

struct EngineTally {
    size_t unkeyed = 0;
    size_t keyed = 0;
    size_t wrong = 0;
    size_t uncovered = 0;  // lines without a known answer
};

// Checks one known answer, through the one-shot entry and the streaming form; on a wrong
// value writes the details to err.
bool Holds(const ReportLine& line, const KnownAnswer& answer, FILE* err) {
    static const uint8_t kNoBytes[1] = {0};
    const std::vector<uint8_t> key = ExpandBytes(answer.key);
    const std::vector<uint8_t> message = ExpandBytes(answer.message);
    const ReportInput input{message.empty() ? kNoBytes : message.data(), uint32_t(message.size()),
                            key.empty() ? nullptr : key.data(), uint32_t(key.size())};
    char hex[2 * kMaxDigestLength + 1];
    ReportStatus status = ComputeLineHex(line, input, hex);
    if (status != ReportStatus::kOk || std::strcmp(hex, answer.hex) != 0) {
        std::fprintf(err, "korvadex: %s, %s%s: expected %s, computed %s\n", LineName(line).c_str(),
                     key.empty() ? "" : "keyed, ", answer.name, answer.hex,
                     status == ReportStatus::kOk ? hex : ReportStatusText(status));
        return false;
    }
    MemorySource source(message.data(), message.size());
    std::vector<std::string> streamed;
    if (ComputeStreamedLines(source, {&line}, key.data(), key.size(), StreamSettings(), streamed) !=
            ReportStatus::kOk ||
        streamed[0] != answer.hex) {
        std::fprintf(err, "korvadex: %s, %s%s, streamed: expected %s, computed %s\n",
                     LineName(line).c_str(), key.empty() ? "" : "keyed, ", answer.name, answer.hex,
                     streamed.empty() ? "nothing" : streamed[0].c_str());
        return false;
    }
    return true;
}

}  // namespace

int RunSelfTest(const ReportLine* lines, size_t count, FILE* out, FILE* err) {
    // One verdict per engine: the lines of HAVAL and of Snefru share theirs.
    std::vector<bool> done(count, false);
    bool allHold = true;
    for (size_t first = 0; first < count; ++first) {
        if (done[first]) continue;
        EngineTally tally;
        for (size_t i = first; i < count; ++i) {
            const ReportLine& line = lines[i];
            if (line.engine != lines[first].engine) continue;
            done[i] = true;
            for (size_t a = 0; a < line.answers->count; ++a) {
                const KnownAnswer& answer = line.answers->answers[a];
                if (answer.key.kind == VectorBytes::kNone) {
                    ++tally.unkeyed;
                } else {
                    ++tally.keyed;
                }
                if (!Holds(line, answer, err)) ++tally.wrong;
            }
            if (line.answers->count == 0) {
                ++tally.uncovered;
                std::fprintf(err, "korvadex: %s: no known answer to check it against\n",
                             LineName(line).c_str());
            }
        }
        const char* engine = lines[first].family;
        std::string counts = std::to_string(tally.unkeyed + tally.keyed) + " known answers";
        if (tally.keyed != 0) counts += ", " + std::to_string(tally.keyed) + " of them keyed";
        if (tally.wrong == 0 && tally.uncovered == 0) {
            std::fprintf(out, "%s: ok (%s)\n", engine, counts.c_str());
        } else {
            allHold = false;
            std::fprintf(out, "%s: FAILED (%s; %zu wrong, %zu lines unchecked)\n", engine,
                         counts.c_str(), tally.wrong, tally.uncovered);
        }
    }
    errno = 0;
    if (std::fflush(out) != 0 || std::ferror(out) != 0) {
        std::fprintf(err, "korvadex: standard output: %s\n",
                     std::strerror(errno != 0 ? errno : EIO));
        return 1;
    }
    return allHold ? 0 : 1;
}
