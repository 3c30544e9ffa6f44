#include "checksums.h"

#include <gtest/gtest.h>

#include "digest_tables.h"
#include "oracle_digests.h"
#include "test_support.h"

#ifdef KORVADEX_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

struct ChecksumCase {
    const char* name;
    DigestFn engine;
    SizeWord size;
    const char* empty;
    const char* a;
    const char* abc;
    const char* check;  // over "123456789"
};

const ChecksumCase kChecksums[] = {
    {"Adler-32", Adler32Digest, kAdler32Size, "00000001", "00620062", "024D0127", "091E01DE"},
    {"CRC-16/ARC", Crc16Digest, kCrc16Size, "0000", "E8C1", "9738", "BB3D"},
    {"CRC-16/IBM-3740", Crc16CcittDigest, kCrc16CcittSize, "FFFF", "9D77", "514A", "29B1"},
    {"CRC-32/ISO-HDLC", Crc32Digest, kCrc32Size, "00000000", "E8B7BE43", "352441C2", "CBF43926"},
    {"CRC-32/BZIP2", Crc32bDigest, kCrc32bSize, "00000000", "19939B6B", "648CBB73", "FC891918"},
};

TEST(Checksums, PublishedValues) {
    for (const auto& c : kChecksums) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DigestHex(c.engine, c.size, ""), c.empty);
        EXPECT_EQ(DigestHex(c.engine, c.size, "a"), c.a);
        EXPECT_EQ(DigestHex(c.engine, c.size, "abc"), c.abc);
        EXPECT_EQ(DigestHex(c.engine, c.size, "123456789"), c.check);
    }
}

TEST(Checksums, CrcTableRows) {
    EXPECT_EQ(kCrc16Table[1], 0xC0C1);
    EXPECT_EQ(kCrc16Table[255], 0x4040);
    EXPECT_EQ(kCrc16CcittTable[1], 0x1021);
    EXPECT_EQ(kCrc16CcittTable[255], 0x1EF0);
    EXPECT_EQ(kCrc32Table[1], 0x77073096u);
    EXPECT_EQ(kCrc32Table[128], 0xEDB88320u);
    EXPECT_EQ(kCrc32Table[255], 0x2D02EF8Du);
    EXPECT_EQ(kCrc32bTable[1], 0x04C11DB7u);
    EXPECT_EQ(kCrc32bTable[255], 0xB1F740B4u);
}

TEST(Checksums, AgreeWithBitwiseCrcs) {
    // Past 16 KiB the CRCs run in lanes that join: lengths on both sides of one and of two
    // groups of lanes, and one that ends in a part group, an odd word and odd bytes.
    for (size_t n : {0,   1,   2,    3,    7,     8,     15,    16,    63,    64,
                     255, 256, 1000, 4097, 16383, 16384, 16385, 32768, 32775, 100003}) {
        auto data = RandomBytes(n, uint32_t(n) + 11);
        const uint8_t* p = data.empty() ? nullptr : data.data();
        SCOPED_TRACE(n);
        EXPECT_EQ(Crc16Digest(p, uint32_t(n), 0, 0), BitwiseCrc(data, 16, 0x8005, true, 0, 0));
        EXPECT_EQ(Crc16CcittDigest(p, uint32_t(n), 0, 0),
                  BitwiseCrc(data, 16, 0x1021, false, 0xFFFF, 0));
        EXPECT_EQ(Crc32Digest(p, uint32_t(n), 0, 0),
                  BitwiseCrc(data, 32, 0x04C11DB7, true, 0xFFFFFFFF, 0xFFFFFFFF));
        EXPECT_EQ(Crc32bDigest(p, uint32_t(n), 0, 0),
                  BitwiseCrc(data, 32, 0x04C11DB7, false, 0xFFFFFFFF, 0xFFFFFFFF));
    }
}

#ifdef KORVADEX_HAVE_ZLIB
TEST(Checksums, AgreeWithZlib) {
    for (size_t n : DifferentialLengths()) {
        auto data = RandomBytes(n, uint32_t(n) * 7 + 1);
        const uint8_t* p = data.empty() ? nullptr : data.data();
        SCOPED_TRACE(n);
        EXPECT_EQ(Adler32Digest(p, uint32_t(n), 0, 0), adler32(1, p, uInt(n)));
        EXPECT_EQ(Crc32Digest(p, uint32_t(n), 0, 0), crc32(0, p, uInt(n)));
    }
}

TEST(Checksums, Adler32AcrossChunkBorder) {
    // All 0xFF drives both sums as high as they go between reductions.
    for (size_t n : {5551, 5552, 5553, 11104, 11105, 20000}) {
        std::vector<uint8_t> ff(n, 0xFF);
        SCOPED_TRACE(n);
        EXPECT_EQ(Adler32Digest(ff.data(), uint32_t(n), 0, 0), adler32(1, ff.data(), uInt(n)));
    }
}
#endif

TEST(Checksums, UpdateContinuesAtEverySplit) {
    auto data = RandomBytes(40000, 5);
    using Update = uint32_t (*)(const uint8_t*, uint32_t, uint32_t);
    struct {
        Update update;
        uint32_t start;
    } const routines[] = {{Adler32Update, 1},
                          {Crc16Update, 0},
                          {Crc16CcittUpdate, 0xFFFF},
                          {Crc32Update, 0},
                          {Crc32bUpdate, 0}};
    for (const auto& r : routines) {
        uint32_t whole = r.update(data.data(), uint32_t(data.size()), r.start);
        for (uint32_t split :
             {0u, 1u, 100u, 5551u, 5552u, 5553u, 6000u, 16383u, 16384u, 23457u, 40000u}) {
            uint32_t head = r.update(data.data(), split, r.start);
            EXPECT_EQ(r.update(data.data() + split, uint32_t(data.size()) - split, head), whole)
                << split;
        }
    }
}

TEST(Checksums, Adler32FromTheHighestSumsStaysExact) {
    // Sums that start at 65520 and take 0xFF bytes reach the most a chunk can hold; the
    // model reduces after every byte and cannot overflow.
    for (size_t n : {1, 2, 3, 8, 9, 5551, 5552, 5553, 11104, 11105, 16661}) {
        std::vector<uint8_t> ff(n, 0xFF);
        uint64_t a = 65520, b = 65520;
        for (uint8_t byte : ff) {
            a = (a + byte) % 65521;
            b = (b + a) % 65521;
        }
        SCOPED_TRACE(n);
        EXPECT_EQ(Adler32Update(ff.data(), uint32_t(n), 0xFFF0FFF0u), uint32_t(b << 16 | a));
    }
}

TEST(Checksums, EmptyUpdateReturnsItsStart) {
    const uint8_t none[1] = {0};
    for (uint32_t start : {0u, 1u, 0x12345678u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Crc32bUpdate(none, 0, start), start);
        EXPECT_EQ(Crc32Update(none, 0, start), start);
        EXPECT_EQ(Adler32Update(none, 0, start & 0xFFF0FFF0u), start & 0xFFF0FFF0u);
    }
}

}  // namespace
