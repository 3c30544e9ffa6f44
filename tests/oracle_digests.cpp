#include "oracle_digests.h"

#include <cstring>

#ifdef KORVADEX_HAVE_OPENSSL
#include <openssl/evp.h>
#include <openssl/provider.h>
#endif
#ifdef KORVADEX_HAVE_CRYPTOPP
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/adler32.h>
#include <cryptopp/crc.h>
#include <cryptopp/md2.h>
#include <cryptopp/md4.h>
#include <cryptopp/md5.h>
#include <cryptopp/panama.h>
#include <cryptopp/ripemd.h>
#include <cryptopp/sha.h>
#include <cryptopp/tiger.h>
#include <cryptopp/whrlpool.h>
#endif
#ifdef KORVADEX_HAVE_RHASH
#include <rhash.h>
#endif
#ifdef KORVADEX_HAVE_MHASH
#include <mhash.h>
#endif
#ifdef KORVADEX_HAVE_ZLIB
#include <zlib.h>
#endif
#ifdef KORVADEX_HAVE_BOOST_CRC
#include <boost/crc.hpp>
#endif
#ifdef KORVADEX_HAVE_ISAL
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#endif

namespace {

void StoreValue(uint32_t v, size_t width, uint8_t* out) {
    for (size_t i = 0; i < width; ++i) out[i] = uint8_t(v >> (8 * (width - 1 - i)));
}

#ifdef KORVADEX_HAVE_OPENSSL
const EVP_MD* OpenSslMd(const char* name) {
    static const bool providers = [] {
        OSSL_PROVIDER_load(nullptr, "default");
        OSSL_PROVIDER_load(nullptr, "legacy");
        return true;
    }();
    (void)providers;
    return EVP_MD_fetch(nullptr, name, nullptr);
}

template <const char* kName>
bool OpenSsl(const uint8_t* data, size_t n, uint8_t* out) {
    static const EVP_MD* md = OpenSslMd(kName);
    unsigned int len = 0;
    return md != nullptr && EVP_Digest(data, n, out, &len, md, nullptr) == 1;
}

constexpr char kMd4[] = "MD4", kMd5[] = "MD5", kSha1[] = "SHA1", kSha256[] = "SHA256",
               kSha384[] = "SHA384", kSha512[] = "SHA512", kRipemd160[] = "RIPEMD160",
               kWhirlpool[] = "WHIRLPOOL";
#endif

#ifdef KORVADEX_HAVE_CRYPTOPP
template <class Hash>
bool CryptoPp(const uint8_t* data, size_t n, uint8_t* out) {
    Hash h;
    h.CalculateDigest(out, data, n);
    return true;
}

// Crypto++'s checksums emit their register least significant byte first.
template <class Checksum>
bool CryptoPpChecksum(const uint8_t* data, size_t n, uint8_t* out) {
    uint8_t le[4];
    Checksum c;
    c.CalculateDigest(le, data, n);
    for (int i = 0; i < 4; ++i) out[i] = le[3 - i];
    return true;
}

// Adler-32 comes out most significant byte first already.
bool CryptoPpAdler32(const uint8_t* data, size_t n, uint8_t* out) {
    CryptoPP::Adler32 a;
    a.CalculateDigest(out, data, n);
    return true;
}
#endif

#ifdef KORVADEX_HAVE_RHASH
// LibRHash hands some algorithms (MD5, SHA-1, SHA-2) to OpenSSL when it can load it; the
// mask of 0 keeps every algorithm on LibRHash's own code, which is what this peer stands for.
template <unsigned kId>
bool Rhash(const uint8_t* data, size_t n, uint8_t* out) {
    static const bool initialised = [] {
        rhash_set_openssl_mask(0);
        rhash_library_init();
        return true;
    }();
    (void)initialised;
    return rhash_msg(kId, data, n, out) == 0;
}
#endif

#ifdef KORVADEX_HAVE_MHASH
template <hashid kId>
bool Mhash(const uint8_t* data, size_t n, uint8_t* out) {
    MHASH td = mhash_init(kId);
    if (td == MHASH_FAILED) return false;
    mhash(td, data, mutils_word32(n));
    mhash_deinit(td, out);
    return true;
}

// mhash emits its checksums least significant byte first, and Tiger as three 64-bit words
// each most significant byte first: turn each group of kGroup bytes round.
template <hashid kId, size_t kLength, size_t kGroup>
bool MhashReversed(const uint8_t* data, size_t n, uint8_t* out) {
    uint8_t raw[kLength];
    if (!Mhash<kId>(data, n, raw)) return false;
    for (size_t i = 0; i < kLength; ++i) out[i] = raw[i - i % kGroup + kGroup - 1 - i % kGroup];
    return true;
}
#endif

#ifdef KORVADEX_HAVE_BOOST_CRC
template <class Crc, size_t kWidth>
bool BoostCrc(const uint8_t* data, size_t n, uint8_t* out) {
    Crc crc;
    crc.process_bytes(data, n);
    StoreValue(uint32_t(crc.checksum()), kWidth, out);
    return true;
}

using Crc16Arc = boost::crc_16_type;
using Crc16Ibm3740 = boost::crc_optimal<16, 0x1021, 0xFFFF, 0, false, false>;
using Crc32IsoHdlc = boost::crc_32_type;
using Crc32Bzip2 = boost::crc_optimal<32, 0x04C11DB7, 0xFFFFFFFF, 0xFFFFFFFF, false, false>;
#endif

// The CRCs bit by bit, from their catalogue parameters alone.
template <int kWidth, uint32_t kPoly, bool kReflected, uint32_t kInit, uint32_t kXorOut>
bool Bitwise(const uint8_t* data, size_t n, uint8_t* out) {
    const std::vector<uint8_t> message(data, data + n);
    StoreValue(BitwiseCrc(message, kWidth, kPoly, kReflected, kInit, kXorOut), kWidth / 8, out);
    return true;
}

}  // namespace

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

const char* PhpAlgorithm(const std::string& label) {
    static const struct {
        const char* label;
        const char* php;
    } kNames[] = {
        {"GOST", "gost"},
        {"MD2", "md2"},
        {"MD4", "md4"},
        {"MD5", "md5"},
        {"RIPEMD-128", "ripemd128"},
        {"RIPEMD-160", "ripemd160"},
        {"RIPEMD-256", "ripemd256"},
        {"RIPEMD-320", "ripemd320"},
        {"SHA-1", "sha1"},
        {"SHA-256", "sha256"},
        {"SHA-384", "sha384"},
        {"SHA-512", "sha512"},
        {"SNEFRU256 (8 Passes)", "snefru"},
        {"TIGER", "tiger192,3"},
        {"WHIRLPOOL", "whirlpool"},
        {"HAVAL 128 (3 Rounds)", "haval128,3"},
        {"HAVAL 128 (4 Rounds)", "haval128,4"},
        {"HAVAL 128 (5 Rounds)", "haval128,5"},
        {"HAVAL 160 (3 Rounds)", "haval160,3"},
        {"HAVAL 160 (4 Rounds)", "haval160,4"},
        {"HAVAL 160 (5 Rounds)", "haval160,5"},
        {"HAVAL 192 (3 Rounds)", "haval192,3"},
        {"HAVAL 192 (4 Rounds)", "haval192,4"},
        {"HAVAL 192 (5 Rounds)", "haval192,5"},
        {"HAVAL 224 (3 Rounds)", "haval224,3"},
        {"HAVAL 224 (4 Rounds)", "haval224,4"},
        {"HAVAL 224 (5 Rounds)", "haval224,5"},
        {"HAVAL 256 (3 Rounds)", "haval256,3"},
        {"HAVAL 256 (4 Rounds)", "haval256,4"},
        {"HAVAL 256 (5 Rounds)", "haval256,5"},
    };
    for (const auto& n : kNames)
        if (label == n.label) return n.php;
    return nullptr;
}

std::string MissingOracleLibraries() {
    std::string missing;
#ifndef KORVADEX_HAVE_ZLIB
    missing += " zlib";
#endif
#ifndef KORVADEX_HAVE_OPENSSL
    missing += " OpenSSL";
#endif
#ifndef KORVADEX_HAVE_CRYPTOPP
    missing += " Crypto++";
#endif
#ifndef KORVADEX_HAVE_RHASH
    missing += " rhash";
#endif
#ifndef KORVADEX_HAVE_MHASH
    missing += " mhash";
#endif
#ifndef KORVADEX_PHP
    missing += " PHP";
#endif
    return missing;
}

std::vector<OracleDigest> OracleDigests() {
    std::vector<OracleDigest> peers = {
        {"bitwise", "CRC16", Bitwise<16, 0x8005, true, 0, 0>, false, true},
        {"bitwise", "CRC16CCITT", Bitwise<16, 0x1021, false, 0xFFFF, 0>, false, true},
        {"bitwise", "CRC32", Bitwise<32, 0x04C11DB7, true, 0xFFFFFFFF, 0xFFFFFFFF>, false, true},
        {"bitwise", "CRC32b", Bitwise<32, 0x04C11DB7, false, 0xFFFFFFFF, 0xFFFFFFFF>, false, true},
    };
#ifdef KORVADEX_HAVE_ZLIB
    peers.push_back({"zlib", "ADLER32",
                     [](const uint8_t* d, size_t n, uint8_t* out) {
                         StoreValue(uint32_t(adler32(1, d, uInt(n))), 4, out);
                         return true;
                     },
                     false, false});
    peers.push_back({"zlib", "CRC32",
                     [](const uint8_t* d, size_t n, uint8_t* out) {
                         StoreValue(uint32_t(crc32(0, d, uInt(n))), 4, out);
                         return true;
                     },
                     true, false});
#endif
#ifdef KORVADEX_HAVE_OPENSSL
    peers.push_back({"OpenSSL", "MD4", OpenSsl<kMd4>, false, false});
    peers.push_back({"OpenSSL", "MD5", OpenSsl<kMd5>, false, false});
    peers.push_back({"OpenSSL", "RIPEMD-160", OpenSsl<kRipemd160>, false, false});
    peers.push_back({"OpenSSL", "SHA-1", OpenSsl<kSha1>, true, false});
    peers.push_back({"OpenSSL", "SHA-256", OpenSsl<kSha256>, true, false});
    peers.push_back({"OpenSSL", "SHA-384", OpenSsl<kSha384>, true, false});
    peers.push_back({"OpenSSL", "SHA-512", OpenSsl<kSha512>, true, false});
    peers.push_back({"OpenSSL", "WHIRLPOOL", OpenSsl<kWhirlpool>, false, false});
#endif
#ifdef KORVADEX_HAVE_CRYPTOPP
    using namespace CryptoPP;
    peers.push_back({"Crypto++", "ADLER32", CryptoPpAdler32, false, false});
    peers.push_back({"Crypto++", "CRC32", CryptoPpChecksum<CRC32>, false, false});
    peers.push_back({"Crypto++", "MD2", CryptoPp<Weak::MD2>, false, false});
    peers.push_back({"Crypto++", "MD4", CryptoPp<Weak::MD4>, false, false});
    peers.push_back({"Crypto++", "MD5", CryptoPp<Weak::MD5>, false, false});
    peers.push_back({"Crypto++", "PANAMA", CryptoPp<Weak::PanamaHash<LittleEndian>>, false, false});
    peers.push_back({"Crypto++", "RIPEMD-128", CryptoPp<RIPEMD128>, false, false});
    peers.push_back({"Crypto++", "RIPEMD-160", CryptoPp<RIPEMD160>, false, false});
    peers.push_back({"Crypto++", "RIPEMD-256", CryptoPp<RIPEMD256>, false, false});
    peers.push_back({"Crypto++", "RIPEMD-320", CryptoPp<RIPEMD320>, false, false});
    peers.push_back({"Crypto++", "SHA-1", CryptoPp<SHA1>, true, false});
    peers.push_back({"Crypto++", "SHA-256", CryptoPp<SHA256>, true, false});
    peers.push_back({"Crypto++", "SHA-384", CryptoPp<SHA384>, false, false});
    peers.push_back({"Crypto++", "SHA-512", CryptoPp<SHA512>, false, false});
    peers.push_back({"Crypto++", "TIGER", CryptoPp<Tiger>, false, false});
    peers.push_back({"Crypto++", "WHIRLPOOL", CryptoPp<Whirlpool>, false, false});
#endif
#ifdef KORVADEX_HAVE_RHASH
    peers.push_back({"rhash", "CRC32", Rhash<RHASH_CRC32>, true, false});
    peers.push_back({"rhash", "GOST", Rhash<RHASH_GOST94>, false, false});
    peers.push_back({"rhash", "MD4", Rhash<RHASH_MD4>, false, false});
    peers.push_back({"rhash", "MD5", Rhash<RHASH_MD5>, false, false});
    peers.push_back({"rhash", "RIPEMD-160", Rhash<RHASH_RIPEMD160>, false, false});
    peers.push_back({"rhash", "SHA-1", Rhash<RHASH_SHA1>, false, false});
    peers.push_back({"rhash", "SHA-256", Rhash<RHASH_SHA256>, false, false});
    peers.push_back({"rhash", "SHA-384", Rhash<RHASH_SHA384>, false, false});
    peers.push_back({"rhash", "SHA-512", Rhash<RHASH_SHA512>, false, false});
    peers.push_back({"rhash", "SNEFRU128 (8 Passes)", Rhash<RHASH_SNEFRU128>, false, false});
    peers.push_back({"rhash", "SNEFRU256 (8 Passes)", Rhash<RHASH_SNEFRU256>, false, false});
    peers.push_back({"rhash", "TIGER", Rhash<RHASH_TIGER>, false, false});
    peers.push_back({"rhash", "WHIRLPOOL", Rhash<RHASH_WHIRLPOOL>, false, false});
#endif
#ifdef KORVADEX_HAVE_MHASH
    peers.push_back({"mhash", "ADLER32", MhashReversed<MHASH_ADLER32, 4, 4>, false, false});
    peers.push_back({"mhash", "CRC32", MhashReversed<MHASH_CRC32B, 4, 4>, false, false});
    peers.push_back({"mhash", "CRC32b", MhashReversed<MHASH_CRC32, 4, 4>, false, false});
    peers.push_back({"mhash", "GOST", Mhash<MHASH_GOST>, false, false});
    peers.push_back({"mhash", "HAVAL 128 (3 Rounds)", Mhash<MHASH_HAVAL128>, false, false});
    peers.push_back({"mhash", "HAVAL 160 (3 Rounds)", Mhash<MHASH_HAVAL160>, false, false});
    peers.push_back({"mhash", "HAVAL 192 (3 Rounds)", Mhash<MHASH_HAVAL192>, false, false});
    peers.push_back({"mhash", "HAVAL 224 (3 Rounds)", Mhash<MHASH_HAVAL224>, false, false});
    peers.push_back({"mhash", "HAVAL 256 (3 Rounds)", Mhash<MHASH_HAVAL256>, false, false});
    peers.push_back({"mhash", "MD2", Mhash<MHASH_MD2>, false, false});
    peers.push_back({"mhash", "MD4", Mhash<MHASH_MD4>, false, false});
    peers.push_back({"mhash", "MD5", Mhash<MHASH_MD5>, false, false});
    peers.push_back({"mhash", "RIPEMD-128", Mhash<MHASH_RIPEMD128>, false, false});
    peers.push_back({"mhash", "RIPEMD-160", Mhash<MHASH_RIPEMD160>, false, false});
    peers.push_back({"mhash", "RIPEMD-256", Mhash<MHASH_RIPEMD256>, false, false});
    peers.push_back({"mhash", "RIPEMD-320", Mhash<MHASH_RIPEMD320>, false, false});
    peers.push_back({"mhash", "SHA-1", Mhash<MHASH_SHA1>, false, false});
    peers.push_back({"mhash", "SHA-256", Mhash<MHASH_SHA256>, false, false});
    peers.push_back({"mhash", "SHA-384", Mhash<MHASH_SHA384>, false, false});
    peers.push_back({"mhash", "SHA-512", Mhash<MHASH_SHA512>, false, false});
    peers.push_back({"mhash", "SNEFRU128 (8 Passes)", Mhash<MHASH_SNEFRU128>, false, false});
    peers.push_back({"mhash", "SNEFRU256 (8 Passes)", Mhash<MHASH_SNEFRU256>, false, false});
    peers.push_back({"mhash", "TIGER", MhashReversed<MHASH_TIGER192, 24, 8>, false, false});
    peers.push_back({"mhash", "WHIRLPOOL", Mhash<MHASH_WHIRLPOOL>, false, false});
#endif
#ifdef KORVADEX_HAVE_ISAL
    // ISA-L's crc32_gzip_refl is CRC-32/ISO-HDLC and its crc32_ieee CRC-32/BZIP2, each
    // complementing the value it is given and returns.  Its one CRC-16, crc16_t10dif, has
    // another polynomial (0x8BB7): no report line.
    peers.push_back({"ISA-L", "ADLER32",
                     [](const uint8_t* d, size_t n, uint8_t* out) {
                         StoreValue(isal_adler32(1, d, n), 4, out);
                         return true;
                     },
                     true, false});
    peers.push_back({"ISA-L", "CRC32",
                     [](const uint8_t* d, size_t n, uint8_t* out) {
                         StoreValue(crc32_gzip_refl(0, d, n), 4, out);
                         return true;
                     },
                     true, false});
    peers.push_back({"ISA-L", "CRC32b",
                     [](const uint8_t* d, size_t n, uint8_t* out) {
                         StoreValue(crc32_ieee(0, d, n), 4, out);
                         return true;
                     },
                     true, false});
#endif
#ifdef KORVADEX_HAVE_BOOST_CRC
    peers.push_back({"Boost.CRC", "CRC16", BoostCrc<Crc16Arc, 2>, false, false});
    peers.push_back({"Boost.CRC", "CRC16CCITT", BoostCrc<Crc16Ibm3740, 2>, false, false});
    peers.push_back({"Boost.CRC", "CRC32", BoostCrc<Crc32IsoHdlc, 4>, false, false});
    peers.push_back({"Boost.CRC", "CRC32b", BoostCrc<Crc32Bzip2, 4>, false, false});
#endif
    return peers;
}
