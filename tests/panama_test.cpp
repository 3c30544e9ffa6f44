#include "panama.h"

#include <gtest/gtest.h>

#include <cstring>

#include "test_support.h"

namespace {

bool AllZero(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i] != 0) return false;
    return true;
}

TEST(Panama, PublishedValues) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "AA0CC954D757D7AC7779CA3342334CA471ABD47D5952AC91ED837ECD5B16922B"},
        {"a", "6604CA6420AEB684418846D02A9005A57477C8DECD46BDBDFAF0C8E23BE268FD"},
        {"abc", "A2A70386B81FB918BE17F00FF3E3B376A0462C4DC2EEC7F2C63202C8874C037D"},
        {"message digest", "6D0AD9E9844386ADD2101AABDB85DFE253E518A10AA7507B863735B999FAE5E8"},
        {std::string(32, 'a'), "FCE094C23E8FB6E08F6DB5E116C791F24DDF5CA2F172EC67C5D27C30F32F15A1"},
        {std::string(1000, 'a'),
         "645E9A6FF11FA8DD1CF96C7CA422F330C5DC2C282ED169027DE43AEEC5EAAFBC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.size());
        EXPECT_EQ(DigestHex(PanamaDigest, kPanamaSize, c.message), c.digest);
        // The wipe after Final: only the result (and the last block) keep data.
        const PanamaContextType& ctx = PanamaContext;
        EXPECT_TRUE(AllZero(ctx.state, sizeof ctx.state));
        EXPECT_TRUE(AllZero(ctx.mix, sizeof ctx.mix));
        EXPECT_TRUE(AllZero(ctx.buffer, sizeof ctx.buffer));
        EXPECT_EQ(ctx.tap, 0u);
        EXPECT_EQ(ctx.nextTap, 0u);
        EXPECT_EQ(ctx.byteCount, 0u);
        EXPECT_EQ(Hex(ctx.result, 32), c.digest);
        // A context full of junk must not leak into the next one-shot.
        std::memset(&PanamaContext, 0xA5, sizeof PanamaContext);
        EXPECT_EQ(DigestHex(PanamaDigest, kPanamaSize, c.message), c.digest);
    }
}

TEST(Panama, PaddingPatternComesFromTheOneShot) {
    // An empty message is followed by the whole pattern: the pattern "abc" 0x01 0 ... 0
    // makes the one block that "abc" makes with the standard pattern.
    EXPECT_EQ(ResultHex(PanamaDigestEx(nullptr, 0, 0x01636261, 0, 0, 0, 0, 0, 0, 0), kPanamaSize),
              "A2A70386B81FB918BE17F00FF3E3B376A0462C4DC2EEC7F2C63202C8874C037D");
}

TEST(Panama, StreamingInUnevenPiecesMatchesOneShot) {
    const auto data = RandomBytes(1000, 45);
    const std::string whole = DigestHex(PanamaDigest, kPanamaSize, data);
    // Pieces that start inside a partly filled block and run past its end, fill it
    // exactly, or stay inside it; empty pieces between them.
    const std::vector<std::vector<size_t>> splits = {
        {1000},           {5, 100, 895},    {5, 27, 968},         {1, 1, 1, 0, 997},
        {31, 2, 63, 904}, {32, 0, 32, 936}, {17, 14, 1, 64, 904}, {3, 996, 1}};
    for (const auto& pieces : splits) {
        const uint8_t pattern[32] = {0x01};
        std::memcpy(PanamaContext.padTemplate, pattern, 32);
        PanamaInit();
        size_t at = 0;
        for (size_t n : pieces) {
            PanamaUpdate(data.data() + at, uint32_t(n));
            at += n;
        }
        ASSERT_EQ(at, data.size());
        EXPECT_EQ(Hex(PanamaFinal(), 32), whole);
    }
}

}  // namespace
