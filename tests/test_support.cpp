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

std::vector<std::string> PhpHashes(const std::string& algo,
                                   const std::vector<std::vector<uint8_t>>& messages) {
#ifdef KORVADEX_PHP
    // The messages go to PHP as one file of hex lines; PHP answers one digest a line.
    char path[] = "/tmp/korvadex-php-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    {
        std::ofstream f(path);
        for (const auto& m : messages) f << Hex(m) << '\n';
    }
    std::string cmd = std::string(KORVADEX_PHP) +
                      " -r '$a=$argv[1];foreach(file($argv[2],FILE_IGNORE_NEW_LINES) as $l)"
                      "echo strtoupper(hash($a,hex2bin($l))),\"\\n\";' '" +
                      algo + "' " + path;
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
#else
    (void)algo;
    (void)messages;
    return {};
#endif
}
