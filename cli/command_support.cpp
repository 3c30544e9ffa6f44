#include "command_support.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "file_input.h"
#include "system.h"

std::string InputName(const std::string& path) {
    return path == "-" ? "standard input" : path;
}

namespace {

// The length of the UTF-8 character at text[at], or 0 when the bytes there are not one (a
// stray continuation byte, an overlong or surrogate form, a character past U+10FFFF, or
// the name's end in the middle).
size_t Utf8Length(const std::string& text, size_t at) {
    const unsigned char first = static_cast<unsigned char>(text[at]);
    if (first < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        if (first == 0xE0) low = 0xA0;
        if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char byte = static_cast<unsigned char>(text[at + k]);
        if (byte < (k == 1 ? low : 0x80) || byte > (k == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

// Whether the character of length bytes at text[at] is a control: C0, DEL, or one of the
// controls U+0080 to U+009F (bytes C2 80 to C2 9F), which some terminals obey.
bool IsControl(const std::string& text, size_t at, size_t length) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    return length == 1
               ? c < 0x20 || c == 0x7F
               : length == 2 && c == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
}

// Whether text holds nothing a terminal could take for a command: UTF-8 without control
// characters.
bool IsPlainText(const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8Length(text, at);
        if (length == 0 || IsControl(text, at, length)) return false;
        at += length;
    }
    return true;
}

}  // namespace

std::string ShownName(const std::string& name) {
    // Where '\' separates folders, a name shows it as the user wrote it.
    if (kBackslashSeparates && IsPlainText(name)) return name;
    std::string shown = "\\";
    bool escaped = false;
    for (size_t at = 0; at < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[at]);
        const size_t length = Utf8Length(name, at);
        if (length != 0 && !IsControl(name, at, length) && c != '\\') {
            shown.append(name, at, length);
            at += length;
            continue;
        }
        ++at;
        escaped = true;
        if (c == '\\') {
            shown += "\\\\";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else {
            static const char kDigits[] = "0123456789ABCDEF";
            shown += {'\\', 'x', kDigits[c >> 4], kDigits[c & 15]};
        }
    }
    return escaped ? shown : name;
}

std::string MessageText(const std::string& text) {
    return IsPlainText(text) ? text : ShownName(text);
}

std::string ListedName(const std::string& name) {
    std::string listed = name;
    if (kBackslashSeparates) std::replace(listed.begin(), listed.end(), '\\', '/');
    return listed;
}

void PrintErrorText(const std::string& text) {
    Progress::Hold([&] {
        if (!WriteToConsole(StandardStream::kError, text)) std::fputs(text.c_str(), stderr);
    });
}

void PrintError(const std::string& subject, const std::string& reason) {
    PrintErrorText("korvadex: " + MessageText(subject) + ": " + MessageText(reason) + "\n");
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
                  std::vector<std::string>& hex, uint64_t* size) {
    const std::string name = InputName(path);
    InputReader reader;
    std::string reason;
    if (!reader.Open(path, reason, progress.BytesRead())) {
        PrintError(name, reason);
        return false;
    }
    progress.Begin(MessageText(name), reader.Size());
    const bool ok = Compute(
        reader, [&reader] { return reader.Reason(); }, name, key, lines, jobs, progress, hex);
    if (size != nullptr) *size = reader.Taken();
    return ok;
}

bool ComputeText(const std::string& text, const std::vector<uint8_t>& key,
                 const std::vector<size_t>& lines, unsigned jobs, Progress& progress,
                 std::vector<std::string>& hex) {
    const std::string name = "the text \"" + text + "\"";
    MemorySource source(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    progress.Begin(MessageText(name), int64_t(text.size()));
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
    const auto write = [&text] {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() && gOutputError == 0) {
            gOutputError = errno != 0 ? errno : EIO;
        }
    };
    // On a terminal, the output must not share the line of a progress indicator.
    static const bool terminal = IsTerminal(StandardStream::kOutput);
    if (!terminal) return write();
    Progress::Hold([&] {
        std::fflush(stdout);
        if (WriteToConsole(StandardStream::kOutput, text)) return;
        write();
        std::fflush(stdout);
    });
}

bool FlushOut() {
    if (std::fflush(stdout) != 0 && gOutputError == 0) gOutputError = errno != 0 ? errno : EIO;
    if (gOutputError == 0 && !std::ferror(stdout)) return true;
    PrintError("standard output", std::strerror(gOutputError != 0 ? gOutputError : EIO));
    return false;
}
