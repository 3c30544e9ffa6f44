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

// Bit-at-a-time CRCs, written from the catalogue parameters alone.
uint32_t BitwiseCrc(const std::vector<uint8_t>& data, int width, uint32_t poly, bool reflected,
                    uint32_t init, uint32_t xorOut) {
    const uint32_t mask = width == 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    uint32_t r = init;
    for (uint8_t byte : data) {
        for (int bit = 0; bit < 8; ++bit) {
            uint32_t in = reflected ? (byte >> bit) & 1 : (byte >> (7 - bit)) & 1;
            uint32_t top = (r >> (width - 1)) & 1;
            r = (r << 1) & mask;
            if (top ^ in) r ^= poly;
        }
    }
    if (reflected) {
        uint32_t out = 0;
        for (int i = 0; i < width; ++i) out |= ((r >> i) & 1) << (width - 1 - i);
        r = out;
    }
    return (r ^ xorOut) & mask;
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

std::vector<std::string> PhpHmacs(
    const std::string& algo,
    const std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>>& keysAndMessages) {
#ifdef KORVADEX_PHP
    char path[] = "/tmp/korvadex-php-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    {
        std::ofstream f(path);
        for (const auto& km : keysAndMessages) f << Hex(km.first) << ' ' << Hex(km.second) << '\n';
    }
    std::string cmd = std::string(KORVADEX_PHP) +
                      " -r '$a=$argv[1];foreach(file($argv[2],FILE_IGNORE_NEW_LINES) as $l){"
                      "[$k,$m]=explode(\" \",$l);"
                      "echo strtoupper(hash_hmac($a,hex2bin($m),hex2bin($k))),\"\\n\";}' '" +
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
    (void)keysAndMessages;
    return {};
#endif
}
