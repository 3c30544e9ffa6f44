// Messages and output on the standard streams, and names as they show there.
#include "batch/messages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "batch/progress.h"
#include "common/text_encoding.h"
#include "system/system.h"

std::string InputName(const std::string& path) {
    return path == "-" ? "standard input" : path;
}

namespace {

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
