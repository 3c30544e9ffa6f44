#include "algorithm_names.h"

#include <algorithm>
#include <cstring>

#include "line_names.h"

namespace {

// Other names of a line: those coreutils, rhash, OpenSSL and PHP use for the same variant,
// and the catalogue names of the CRCs.  names: separated by blanks; tag: what --format bsd
// writes (rhash's or coreutils' tag; null: the line's name); note: how a name that means
// another variant in some tool is taken here.
struct AlgorithmNames {
    const char* label;
    const char* names;
    const char* tag;
    const char* note;
};

const AlgorithmNames kAlgorithmNames[] = {
    {"ADLER32: ", "adler32", nullptr, nullptr},
    {"CRC16: ", "crc-16/arc", nullptr, nullptr},
    {"CRC16CCITT: ", "crc-16/ibm-3740 crc-16/ccitt-false", nullptr,
     "other tools use CRC16CCITT for other CRC-16 variants (KERMIT, XMODEM); here it is "
     "CRC-16/IBM-3740"},
    {"CRC32: ", "crc-32/iso-hdlc", "CRC32",
     "crc32 is this line, as in rhash; PHP's crc32 is another CRC (the BZIP2 one, bytes "
     "reversed) and PHP's crc32b is this line"},
    {"CRC32b: ", "crc-32/bzip2", nullptr,
     "the label wins: crc32b is this BZIP2 CRC-32, while PHP's crc32b is the CRC32 line"},
    {"GOST: ", "gost94 gostr3411-94", "GOST94",
     "the test parameter set: rhash's gost94 and PHP's gost, not gost94-cryptopro or "
     "gost-crypto"},
    {"HAVAL 128 (3 Rounds): ", "haval128,3", nullptr, nullptr},
    {"HAVAL 128 (4 Rounds): ", "haval128,4", nullptr, nullptr},
    {"HAVAL 128 (5 Rounds): ", "haval128,5", nullptr, nullptr},
    {"HAVAL 160 (3 Rounds): ", "haval160,3", nullptr, nullptr},
    {"HAVAL 160 (4 Rounds): ", "haval160,4", nullptr, nullptr},
    {"HAVAL 160 (5 Rounds): ", "haval160,5", nullptr, nullptr},
    {"HAVAL 192 (3 Rounds): ", "haval192,3", nullptr, nullptr},
    {"HAVAL 192 (4 Rounds): ", "haval192,4", nullptr, nullptr},
    {"HAVAL 192 (5 Rounds): ", "haval192,5", nullptr, nullptr},
    {"HAVAL 224 (3 Rounds): ", "haval224,3", nullptr, nullptr},
    {"HAVAL 224 (4 Rounds): ", "haval224,4", nullptr, nullptr},
    {"HAVAL 224 (5 Rounds): ", "haval224,5", nullptr, nullptr},
    {"HAVAL 256 (3 Rounds): ", "haval256,3", nullptr, nullptr},
    {"HAVAL 256 (4 Rounds): ", "haval256,4", nullptr, nullptr},
    {"HAVAL 256 (5 Rounds): ", "haval256,5", nullptr, nullptr},
    {"MD2: ", "", "MD2", nullptr},
    {"MD4: ", "", "MD4", nullptr},
    {"MD5: ", "", "MD5", nullptr},
    {"PANAMA: ", "", nullptr, nullptr},
    {"RIPEMD-128: ", "rmd128", nullptr, nullptr},
    {"RIPEMD-160: ", "rmd160 ripemd", "RMD160", nullptr},
    {"RIPEMD-256: ", "rmd256", nullptr, nullptr},
    {"RIPEMD-320: ", "rmd320", nullptr, nullptr},
    {"SHA-0: ", "", nullptr, nullptr},
    {"SHA-1: ", "", "SHA1", nullptr},
    {"SHA-256: ", "sha2-256", "SHA256", nullptr},
    {"SHA-384: ", "sha2-384", "SHA384", nullptr},
    {"SHA-512: ", "sha2-512", "SHA512", nullptr},
    {"SNEFRU128 (4 Passes): ", "snefru128,4", nullptr, nullptr},
    {"SNEFRU128 (8 Passes): ", "snefru128 snefru128,8", "SNEFRU-128",
     "snefru128 is the 8-pass variant, as in rhash"},
    {"SNEFRU256 (4 Passes): ", "snefru256,4", nullptr, nullptr},
    {"SNEFRU256 (8 Passes): ", "snefru256 snefru snefru256,8", "SNEFRU-256",
     "snefru and snefru256 are the 8-pass variant, as in rhash and PHP"},
    {"TIGER: ", "tiger192,3 tiger192", "TIGER",
     "the 1996 Tiger of rhash and PHP's tiger192,3, not Tiger2 or the 4-pass variants"},
    {"WHIRLPOOL: ", "", "WHIRLPOOL", nullptr},
};

// Names that stand for variants the report does not have, and what to use instead.
struct RefusedName {
    const char* name;
    const char* reason;
};

const RefusedName kRefusedNames[] = {
    {"gost94cryptopro",
     "the CryptoPro parameter set of GOST R 34.11-94 is not in the report; "
     "GOST (gost94) is the test parameter set"},
    {"gostcrypto",
     "the CryptoPro parameter set of GOST R 34.11-94 is not in the report; GOST "
     "(gost94) is the test parameter set"},
    {"crc",
     "cksum's crc is the POSIX cksum CRC, which is not in the report; crc32 is the "
     "common CRC-32"},
    {"sha", "sha names SHA-0 in some tools and SHA-1 in others: say sha0 or sha1"},
    {"haval", "say the output bits and passes, as in haval128,3 or haval256,5"},
    {"haval128", "say the passes too: haval128,3, haval128,4 or haval128,5"},
    {"haval160", "say the passes too: haval160,3, haval160,4 or haval160,5"},
    {"haval192", "say the passes too: haval192,3, haval192,4 or haval192,5"},
    {"haval224", "say the passes too: haval224,3, haval224,4 or haval224,5"},
    {"haval256", "say the passes too: haval256,3, haval256,4 or haval256,5"},
    {"tiger2", "Tiger2 (padding byte 0x80) is not in the report; TIGER is the 1996 Tiger"},
    {"tiger128,3", "truncated Tiger is not in the report; TIGER is the whole 192 bits"},
    {"tiger160,3", "truncated Tiger is not in the report; TIGER is the whole 192 bits"},
    {"tiger192,4", "4-pass Tiger is not in the report; TIGER has 3 passes (tiger192,3)"},
};

// Lower case without blanks, '-', '_' and ',': "SHA-256" and "sha256" compare equal, as do
// "haval128,3" and "haval-128-3".
std::string Normal(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == ' ' || c == '\t' || c == '-' || c == '_' || c == ',') continue;
        out += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    return out;
}

const AlgorithmNames* NamesOf(size_t line) {
    for (const AlgorithmNames& names : kAlgorithmNames) {
        if (std::strcmp(names.label, kReportLines[line].label) == 0) return &names;
    }
    return nullptr;
}

// Every name of the line: its own and the others of the table, as written there.
std::vector<std::string> AllNames(size_t line) {
    std::vector<std::string> out{LineName(kReportLines[line])};
    const AlgorithmNames* names = NamesOf(line);
    if (names == nullptr) return out;
    const std::string list = names->names;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(' ', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) out.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    if (names->tag != nullptr) out.push_back(names->tag);
    return out;
}

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
    const std::string wanted = Normal(name);
    if (wanted.empty()) return -1;
    for (size_t line = 0; line < kReportLineCount; ++line) {
        for (const std::string& known : AllNames(line)) {
            if (Normal(known) == wanted) return long(line);
        }
    }
    for (const RefusedName& refused : kRefusedNames) {
        if (Normal(refused.name) == wanted) {
            if (why != nullptr) *why = refused.reason;
            return -2;
        }
    }
    return -1;
}

std::string NearestAlgorithmNames(const std::string& name) {
    const std::string wanted = Normal(name);
    std::vector<std::pair<size_t, std::string>> scored;
    for (size_t line = 0; line < kReportLineCount; ++line) {
        size_t best = std::string::npos;
        std::string bestName;
        for (const std::string& known : AllNames(line)) {
            size_t d = Distance(wanted, Normal(known));
            // A name the wanted one starts, as "sha" of "sha256", is near too.
            if (Normal(known).compare(0, wanted.size(), wanted) == 0) d = std::min<size_t>(d, 1);
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

std::string BsdTag(size_t line) {
    const AlgorithmNames* names = NamesOf(line);
    return names != nullptr && names->tag != nullptr ? names->tag : LineName(kReportLines[line]);
}

std::string AlgorithmNamesNote(size_t line) {
    std::vector<std::string> names = AllNames(line);
    std::string text;
    const std::string own = Normal(names[0]);
    std::vector<std::string> shown;
    for (size_t i = 1; i < names.size(); ++i) {
        std::string lower = names[i];
        for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        if (Normal(lower) == own || std::find(shown.begin(), shown.end(), lower) != shown.end())
            continue;
        shown.push_back(lower);
        text += (text.empty() ? "; also named " : ", ") + lower;
    }
    const AlgorithmNames* entry = NamesOf(line);
    if (entry != nullptr && entry->note != nullptr) text += std::string("; ") + entry->note;
    return text;
}

long AlgorithmOfListName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string base = Normal(slash == std::string::npos ? path : path.substr(slash + 1));
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
