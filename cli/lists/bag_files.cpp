#include "lists/bag_files.h"

#include <cctype>

#include "common/algorithm_names.h"
#include "lists/list_reader.h"

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

// path with "%0D", "%0A" and "%25" decoded, in either case; nothing else is encoded.
std::string PercentDecoded(const std::string& path) {
    std::string decoded;
    for (size_t i = 0; i < path.size(); ++i) {
        const std::string code = path[i] == '%' ? Upper(path.substr(i, 3)) : "";
        if (code == "%0D" || code == "%0A" || code == "%25") {
            decoded += code == "%0D" ? '\r' : code == "%0A" ? '\n' : '%';
            i += 2;
        } else {
            decoded += path[i];
        }
    }
    return decoded;
}

}  // namespace

long BagAlgorithm(const std::string& name) {
    for (const char* known : {"md5", "sha1", "sha256", "sha384", "sha512"}) {
        if (name == known) return FindAlgorithm(name);
    }
    return -1;
}

bool ParseBagDeclaration(const std::string& bytes, BagDeclaration& declaration,
                         std::string& fault) {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        fault = "bagit.txt starts with a byte-order mark, which it must not";
        return false;
    }
    const std::vector<std::string> lines = TagLines(bytes);
    const std::string versionLabel = "BagIt-Version: ";
    const std::string encodingLabel = "Tag-File-Character-Encoding: ";
    if (lines.size() != 2 || lines[0].compare(0, versionLabel.size(), versionLabel) != 0 ||
        lines[1].compare(0, encodingLabel.size(), encodingLabel) != 0) {
        fault =
            "bagit.txt is not the two lines \"BagIt-Version: V\" and "
            "\"Tag-File-Character-Encoding: E\"";
        return false;
    }
    declaration.version = lines[0].substr(versionLabel.size());
    declaration.encoding = lines[1].substr(encodingLabel.size());
    const std::string& v = declaration.version;
    if (v != "1.0" && v != "0.97" && v != "0.96" && v != "0.95" && v != "0.94" && v != "0.93") {
        fault = "bagit.txt: version '" + v + "' is none of 0.93 to 0.97 and 1.0";
        return false;
    }
    declaration.old = v != "1.0" && v != "0.97";
    declaration.infoIsPackage = v == "0.93" || v == "0.94" || v == "0.95";
    declaration.percentEncoded = v == "1.0";
    declaration.everyManifest = v == "1.0";
    return true;
}

std::string BagDeclarationText() {
    return "BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-8\n";
}

bool DecodeTagFile(const std::string& bytes, const std::string& encoding, std::string& text,
                   std::string& reason) {
    const std::string name = Upper(encoding);
    if (name == "UTF-8") {
        text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
        return true;
    }
    if (name == "ISO-8859-1" || name == "LATIN1" || name == "ISO_8859-1") {
        text.clear();
        for (unsigned char c : bytes) {
            if (c < 0x80) {
                text += char(c);
            } else {
                text += char(0xC0 | (c >> 6));
                text += char(0x80 | (c & 0x3F));
            }
        }
        return true;
    }
    if (name == "UTF-16" || name == "UTF-16LE" || name == "UTF-16BE") {
        bool big = name == "UTF-16BE" || name == "UTF-16";  // without a mark, big endian
        std::string body = bytes;
        if (body.compare(0, 2, "\xFF\xFE") == 0 || body.compare(0, 2, "\xFE\xFF") == 0) {
            big = body[0] == '\xFE';
            body = body.substr(2);
        }
        return Utf16ToUtf8(body, big, text, reason);
    }
    reason = "the tag-file encoding '" + encoding +
             "' is not one korvadex reads (UTF-8, "
             "ISO-8859-1, UTF-16)";
    return false;
}

std::vector<std::string> TagLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lines.push_back(line);
        line.clear();
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

bool ParseManifestLine(const std::string& line, bool percentEncoded, ManifestEntry& entry,
                       std::string& fault) {
    size_t at = 0;
    while (at < line.size() && !Blank(line[at])) ++at;
    entry.hex = line.substr(0, at);
    while (at < line.size() && Blank(line[at])) ++at;
    std::string path = line.substr(at);
    if (entry.hex.empty() || path.empty()) {
        fault = "not a line \"CHECKSUM PATH\"";
        return false;
    }
    for (char c : entry.hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            fault = "the checksum '" + entry.hex + "' is not hex";
            return false;
        }
    }
    entry.starred = path[0] == '*';
    if (entry.starred) path = path.substr(1);
    if (percentEncoded) path = PercentDecoded(path);
    while (path.compare(0, 2, "./") == 0) path = path.substr(2);
    entry.path = path;
    return true;
}

const char* BagPathFault(const std::string& path) {
    if (path.empty()) return "an empty path";
    if (path[0] == '/' || path[0] == '\\') return "an absolute path leads outside the bag";
    if (path.compare(0, 2, "\\\\") == 0) return "a UNC path leads outside the bag";
    if (path[0] == '~') return "a path starting with '~' leads outside the bag";
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        return "a drive letter leads outside the bag";
    }
    size_t start = 0;
    for (;;) {
        const size_t end = path.find_first_of("/\\", start);
        if (path.substr(start, end - start) == "..") return "'..' leads outside the bag";
        if (end == std::string::npos) return nullptr;
        start = end + 1;
    }
}

std::string ManifestLine(const std::string& hex, const std::string& path) {
    std::string encoded;
    for (char c : path) {
        encoded += c == '%'    ? std::string("%25")
                   : c == '\r' ? "%0D"
                   : c == '\n' ? "%0A"
                               : std::string(1, c);
    }
    return hex + "  " + encoded + "\n";
}

std::vector<BagInfoField> ParseBagInfo(const std::string& text, size_t& malformed) {
    std::vector<BagInfoField> fields;
    malformed = 0;
    for (const std::string& line : TagLines(text)) {
        if (!line.empty() && Blank(line[0])) {
            if (fields.empty()) {
                ++malformed;
                continue;
            }
            size_t at = 0;
            while (at < line.size() && Blank(line[at])) ++at;
            fields.back().value += " " + line.substr(at);
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) {
            ++malformed;
            continue;
        }
        size_t at = colon + 1;
        while (at < line.size() && Blank(line[at])) ++at;
        std::string label = line.substr(0, colon);
        while (!label.empty() && Blank(label.back())) label.pop_back();
        fields.push_back({label, line.substr(at)});
    }
    return fields;
}

std::string BagInfoText(const std::string& date, uint64_t octets, uint64_t files) {
    return "Bagging-Date: " + date + "\nPayload-Oxum: " + std::to_string(octets) + "." +
           std::to_string(files) + "\nBag-Software-Agent: korvadex " KORVADEX_VERSION "\n";
}

bool ParseFetchLine(const std::string& line, bool percentEncoded, FetchEntry& entry) {
    size_t first = line.find_first_of(" \t");
    if (first == std::string::npos) return false;
    entry.url = line.substr(0, first);
    while (first < line.size() && Blank(line[first])) ++first;
    size_t second = line.find_first_of(" \t", first);
    if (second == std::string::npos) return false;
    entry.length = line.substr(first, second - first);
    while (second < line.size() && Blank(line[second])) ++second;
    entry.path = percentEncoded ? PercentDecoded(line.substr(second)) : line.substr(second);
    const bool number = entry.length.find_first_not_of("0123456789") == std::string::npos;
    return !entry.path.empty() && (entry.length == "-" || number);
}
