#include "common/algorithm_names.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/line_names.h"

namespace {

size_t Distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

long FindAlgorithm(const std::string& name, std::string* why) {
    const ReportLine* line = FindReportLine(name);
    if (line != nullptr) return long(line - kReportLines);
    const char* refused = RefusedNameReason(name);
    if (refused == nullptr) return -1;
    if (why != nullptr) *why = refused;
    return -2;
}

std::string NearestAlgorithmNames(const std::string& name) {
    const std::string wanted = NormalName(name);
    std::vector<std::pair<size_t, std::string>> scored;
    for (size_t line = 0; line < kReportLineCount; ++line) {
        size_t best = std::string::npos;
        std::string bestName;
        for (const std::string& known : NamesOf(kReportLines[line])) {
            size_t d = Distance(wanted, NormalName(known));
            // A name the wanted one starts, as "sha" of "sha256", is near too.
            if (NormalName(known).compare(0, wanted.size(), wanted) == 0)
                d = std::min<size_t>(d, 1);
            if (d < best) {
                best = d;
                bestName = known;
            }
        }
        scored.emplace_back(best, bestName);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const size_t limit = std::max<size_t>(2, wanted.size() / 3);
    std::string out;
    for (size_t i = 0; i < scored.size() && i < 5 && scored[i].first <= limit; ++i) {
        out += (out.empty() ? "" : ", ") + scored[i].second;
    }
    return out;
}

bool ParseAlgorithmList(const std::string& value, std::vector<size_t>& lines, std::string& error) {
    std::vector<std::string> names;
    size_t start = 0;
    for (;;) {
        const size_t comma = value.find(',', start);
        std::string piece =
            value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const size_t first = piece.find_first_not_of(" \t");
        piece = first == std::string::npos
                    ? ""
                    : piece.substr(first, piece.find_last_not_of(" \t") - first + 1);
        const bool digits =
            !piece.empty() && piece.find_first_not_of("0123456789") == std::string::npos;
        if (digits && !names.empty()) {
            names.back() += "," + piece;
        } else {
            names.push_back(piece);
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    for (const std::string& name : names) {
        if (name.empty()) {
            error = "an empty algorithm name in '" + value + "'";
            return false;
        }
        std::string why;
        const long line = FindAlgorithm(name, &why);
        if (line == -2) {
            error = "'" + name + "' is not taken: " + why;
            return false;
        }
        if (line < 0) {
            const std::string near = NearestAlgorithmNames(name);
            error = "unknown algorithm '" + name + "'" +
                    (near.empty() ? "" : "; did you mean " + near + "?") +
                    " (korvadex --list shows every name)";
            return false;
        }
        lines.push_back(size_t(line));
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return true;
}

std::string PlainName(size_t line) {
    std::string plain;
    const std::string name = LineName(kReportLines[line]);
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == '(') {
            plain += ',';
            for (++i; i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])); ++i) {
                plain += name[i];
            }
            break;
        }
        if (std::isalnum(c)) plain += char(std::tolower(c));
    }
    return plain;
}

std::string BsdTag(size_t line) {
    const ReportLine& row = kReportLines[line];
    return row.bsdTag != nullptr ? row.bsdTag : LineName(row);
}

std::string AlgorithmNamesNote(size_t line) {
    std::vector<std::string> names = NamesOf(kReportLines[line]);
    std::string text;
    const std::string own = NormalName(names[0]);
    std::vector<std::string> shown;
    for (size_t i = 1; i < names.size(); ++i) {
        std::string lower = names[i];
        for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        if (NormalName(lower) == own || std::find(shown.begin(), shown.end(), lower) != shown.end())
            continue;
        shown.push_back(lower);
        text += (text.empty() ? "; also named " : ", ") + lower;
    }
    const char* note = kReportLines[line].namesNote;
    if (note != nullptr) text += std::string("; ") + note;
    return text;
}

long AlgorithmOfListName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string base = NormalName(slash == std::string::npos ? path : path.substr(slash + 1));
    std::vector<std::string> candidates;
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos) {
        candidates.push_back(base.substr(dot + 1));
        candidates.push_back(base.substr(0, dot));
    }
    candidates.push_back(base);
    for (std::string candidate : candidates) {
        if (candidate == "sfv") return FindAlgorithm("crc32");
        for (const char* suffix : {"sums", "sum"}) {
            const size_t n = std::strlen(suffix);
            if (candidate.size() > n && candidate.compare(candidate.size() - n, n, suffix) == 0) {
                candidate.resize(candidate.size() - n);
                break;
            }
        }
        const long line = FindAlgorithm(candidate);
        if (line >= 0) return line;
    }
    return -1;
}

namespace {

// The lines tried first, in this order, for an untagged value: the commonest and cheapest.
const char* const kLikelyAlgorithms[] = {
    "sha256", "sha1",      "md5",    "sha512",    "crc32",     "sha384", "md4",        "rmd160",
    "tiger",  "whirlpool", "gost94", "adler32",   "crc32b",    "crc16",  "crc16ccitt", "rmd128",
    "rmd256", "rmd320",    "sha0",   "snefru256", "snefru128", "md2",    "panama",
};

}  // namespace

std::vector<size_t> LikeliestFirst(std::vector<size_t> lines) {
    const auto rank = [](size_t line) {
        size_t i = 0;
        for (const char* name : kLikelyAlgorithms) {
            if (FindAlgorithm(name) == long(line)) return i;
            ++i;
        }
        return i + line;
    };
    std::stable_sort(lines.begin(), lines.end(),
                     [&](size_t a, size_t b) { return rank(a) < rank(b); });
    return lines;
}
