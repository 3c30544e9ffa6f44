#include "test_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

std::string Hex(const uint8_t* bytes, size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += kDigits[bytes[i] >> 4];
        s += kDigits[bytes[i] & 15];
    }
    return s;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    return Hex(bytes.data(), bytes.size());
}

std::string ResultHex(DigestResult result, SizeWord size) {
    uint8_t bytes[kMaxDigestLength];
    ResultBytes(result, size, bytes);
    return Hex(bytes, DigestLength(size));
}

std::string DigestHex(DigestFn engine, SizeWord size, const std::vector<uint8_t>& data,
                      uint32_t bits, uint32_t passes) {
    static const uint8_t kNone[1] = {0};
    DigestResult r =
        engine(data.empty() ? kNone : data.data(), uint32_t(data.size()), bits, passes);
    if (DigestLength(size) > 4 && r == 0) return "(refused)";
    return ResultHex(r, size);
}

std::string DigestHex(DigestFn engine, SizeWord size, const std::string& text, uint32_t bits,
                      uint32_t passes) {
    return DigestHex(engine, size, Bytes(text), bits, passes);
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(gen() >> 24);
    return v;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<size_t> DifferentialLengths() {
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
    for (size_t n : {1000, 4097, 5000, 65536 + 17, 300007, 1 << 20}) lengths.push_back(n);
    return lengths;
}

#ifdef KORVADEX_PHP
namespace {

// Runs PHP code over a file of input lines ($argv[2]) with $argv[1] = algo; the code
// prints one upper-case hex digest a line.
std::vector<std::string> RunPhp(const std::string& code, const std::string& algo,
                                const std::vector<std::string>& lines) {
    char path[] = "/tmp/korvadex-php-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    {
        std::ofstream f(path);
        for (const auto& line : lines) f << line << '\n';
    }
    std::string cmd = std::string(KORVADEX_PHP) + " -r '$a=$argv[1];foreach(file($argv[2]," +
                      "FILE_IGNORE_NEW_LINES) as $l){" + code + "}' '" + algo + "' " + path;
    std::vector<std::string> out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, p)) {
            std::string s(line);
            while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
            out.push_back(s);
        }
        pclose(p);
    }
    std::remove(path);
    return out;
}

}  // namespace
#endif

std::vector<std::string> PhpHashes(const std::string& algo,
                                   const std::vector<std::vector<uint8_t>>& messages) {
#ifdef KORVADEX_PHP
    std::vector<std::string> lines;
    for (const auto& m : messages) lines.push_back(Hex(m));
    return RunPhp("echo strtoupper(hash($a,hex2bin($l))),\"\\n\";", algo, lines);
#else
    (void)algo;
    (void)messages;
    return {};
#endif
}

std::vector<std::string> PhpHmacs(
    const std::string& algo,
    const std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>>& keysAndMessages) {
#ifdef KORVADEX_PHP
    std::vector<std::string> lines;
    for (const auto& km : keysAndMessages) lines.push_back(Hex(km.first) + ' ' + Hex(km.second));
    return RunPhp(
        "[$k,$m]=explode(\" \",$l);echo strtoupper(hash_hmac($a,hex2bin($m),hex2bin($k))),"
        "\"\\n\";",
        algo, lines);
#else
    (void)algo;
    (void)keysAndMessages;
    return {};
#endif
}
