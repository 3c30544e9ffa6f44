// --self-test: the known answers of the report lines, run through the engines.
#include <cstring>
#include <string>

#include "commands.h"
#include "line_descriptions.h"
#include "line_names.h"
#include "report_text.h"

namespace {

struct EngineTally {
    size_t unkeyed = 0;
    size_t keyed = 0;
    size_t wrong = 0;
    size_t uncovered = 0;  // lines without a known answer
};

// Checks one known answer; on a wrong value writes the details to err.
bool Holds(const ReportLine& line, const KnownAnswer& answer, FILE* err) {
    static const uint8_t kNoBytes[1] = {0};
    const std::vector<uint8_t> key = ExpandBytes(answer.key);
    const std::vector<uint8_t> message = ExpandBytes(answer.message);
    const ReportInput input{message.empty() ? kNoBytes : message.data(), uint32_t(message.size()),
                            key.empty() ? nullptr : key.data(), uint32_t(key.size())};
    char hex[2 * kMaxDigestLength + 1];
    ReportStatus status = ComputeLineHex(line, input, hex, 1);
    if (status == ReportStatus::kOk && std::strcmp(hex, answer.hex) == 0) return true;
    std::fprintf(err, "korvadex: %s, %s%s: expected %s, computed %s\n", LineName(line).c_str(),
                 key.empty() ? "" : "keyed, ", answer.name, answer.hex,
                 status == ReportStatus::kOk ? hex : ReportStatusText(status));
    return false;
}

}  // namespace

int RunSelfTest(const KnownAnswer* answers, size_t count, FILE* out, FILE* err) {
    // One verdict per engine: the lines of HAVAL and of Snefru share theirs.
    std::vector<bool> done(kReportLineCount, false);
    bool allHold = true;
    for (size_t first = 0; first < kReportLineCount; ++first) {
        if (done[first]) continue;
        EngineTally tally;
        for (size_t i = first; i < kReportLineCount; ++i) {
            const ReportLine& line = kReportLines[i];
            if (line.engine != kReportLines[first].engine) continue;
            done[i] = true;
            size_t found = 0;
            for (size_t a = 0; a < count; ++a) {
                if (std::strcmp(answers[a].label, line.label) != 0) continue;
                ++found;
                if (answers[a].key.kind == VectorBytes::kNone) {
                    ++tally.unkeyed;
                } else {
                    ++tally.keyed;
                }
                if (!Holds(line, answers[a], err)) ++tally.wrong;
            }
            if (found == 0) {
                ++tally.uncovered;
                std::fprintf(err, "korvadex: %s: no known answer to check it against\n",
                             LineName(line).c_str());
            }
        }
        const LineDescription* description = FindLineDescription(kReportLines[first].label);
        const std::string engine =
            description != nullptr ? description->engine : LineName(kReportLines[first]);
        std::string counts = std::to_string(tally.unkeyed + tally.keyed) + " known answers";
        if (tally.keyed != 0) counts += ", " + std::to_string(tally.keyed) + " of them keyed";
        if (tally.wrong == 0 && tally.uncovered == 0) {
            std::fprintf(out, "%s: ok (%s)\n", engine.c_str(), counts.c_str());
        } else {
            allHold = false;
            std::fprintf(out, "%s: FAILED (%s; %zu wrong, %zu lines unchecked)\n", engine.c_str(),
                         counts.c_str(), tally.wrong, tally.uncovered);
        }
    }
    std::fflush(out);
    return allHold ? 0 : 1;
}
