#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <random>
#include <vector>

#include "md2.h"
#include "md2_lanes.h"
#include "snefru.h"
#include "snefru_lanes.h"
#include "test_support.h"

namespace {

// Message lengths around the block sizes (16, 32 and 48 bytes) and a few longer ones.
std::vector<size_t> LaneLengths() {
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 100; ++n) lengths.push_back(n);
    for (size_t n : {127, 128, 129, 191, 192, 193, 1000, 4095, 4096, 4097, 20000})
        lengths.push_back(n);
    return lengths;
}

// Runs every message through lanes as a scheduler might: each free lane starts the next
// message, lanes take their bytes in pieces of random sizes (blocks and parts of blocks),
// Compress runs after most rounds of feeding but not all, and a lane ends, and its digest
// is read, in a round of its own; so lanes of different lengths start and finish at
// different times, and feeding a lane whose blocks wait is covered too.  Each digest must
// equal expected(message index).
template <typename Lanes, typename StartFn, typename ExpectFn>
void RunThroughLanes(Lanes& lanes, const std::vector<std::vector<uint8_t>>& messages, uint32_t seed,
                     StartFn start, ExpectFn expected) {
    std::mt19937 random(seed);
    struct Slot {
        bool busy = false;
        size_t message = 0;
        size_t fed = 0;
    };
    std::vector<Slot> slots(lanes.Count());
    size_t next = 0;
    size_t finished = 0;
    while (finished < messages.size()) {
        for (size_t i = 0; i < slots.size(); ++i) {
            Slot& slot = slots[i];
            if (!slot.busy) {
                if (next == messages.size()) continue;
                slot = {true, next++, 0};
                ASSERT_TRUE(start(lanes, i, slot.message));
            }
            const std::vector<uint8_t>& m = messages[slot.message];
            if (slot.fed < m.size()) {
                const size_t piece = random() % 4 == 0 ? random() % 17 : random() % 600;
                const size_t n = std::min(piece, m.size() - slot.fed);
                lanes.Feed(i, m.data() + slot.fed, n);
                slot.fed += n;
            } else if (lanes.Phase(i) == LanePhase::kOpen) {
                lanes.End(i);
            } else {
                SCOPED_TRACE(slot.message);
                EXPECT_EQ(Hex(lanes.Digest(i), expected.size(slot.message)),
                          expected.hex(slot.message));
                EXPECT_EQ(lanes.Phase(i), LanePhase::kFree);
                slot.busy = false;
                ++finished;
            }
        }
        if (random() % 5 != 0) lanes.Compress();
    }
}

struct Expected {
    std::vector<std::string> digests;
    size_t size(size_t i) const { return digests[i].size() / 2; }
    const std::string& hex(size_t i) const { return digests[i]; }
};

std::vector<std::vector<uint8_t>> Messages(uint32_t seed) {
    std::vector<std::vector<uint8_t>> messages;
    for (size_t n : LaneLengths()) messages.push_back(RandomBytes(n, seed + uint32_t(n)));
    std::shuffle(messages.begin(), messages.end(), std::mt19937(seed));
    return messages;
}

TEST(InterleavedLanes, Md2DigestsEqualTheSingleEngine) {
    const auto messages = Messages(11);
    Expected expected;
    for (const auto& m : messages) expected.digests.push_back(DigestHex(Md2Digest, kMd2Size, m));
    // Every count, in every stepping: each count has its own compression, and lanes that
    // run short of blocks run those of smaller counts.
    for (Md2Stepping stepping : kMd2Steppings) {
        for (size_t count = 1; count <= kMd2MaxLanes; ++count) {
            SCOPED_TRACE(std::to_string(count) + ":" + Md2SteppingName(stepping));
            Md2Lanes lanes(count, stepping);
            ASSERT_EQ(lanes.Count(), count);
            RunThroughLanes(
                lanes, messages, uint32_t(count),
                [](Md2Lanes& l, size_t i, size_t) {
                    l.Start(i);
                    return true;
                },
                expected);
        }
    }
}

TEST(InterleavedLanes, Md2ChoiceIsACandidateOrTheForcedOne) {
    const Md2LaneChoice chosen = Md2ChosenLanes();
    const char* forced = std::getenv("KORVADEX_MD2_LANES");
    Md2LaneChoice parsed{};
    if (forced == nullptr || !Md2ParseLanes(forced, parsed)) {
        EXPECT_NE(
            std::find(std::begin(kMd2CandidateLanes), std::end(kMd2CandidateLanes), chosen.count),
            std::end(kMd2CandidateLanes));
    } else {
        EXPECT_EQ(chosen.count, parsed.count);
        EXPECT_EQ(chosen.stepping, parsed.stepping);
    }
    EXPECT_EQ(chosen.stepping, chosen.byCount[chosen.count - 1]);
    // Lanes made without a stepping take the one chosen for their count.
    for (size_t count = 1; count <= kMd2MaxLanes; ++count) {
        SCOPED_TRACE(count);
        EXPECT_EQ(Md2Lanes(count).Stepping(), chosen.byCount[count - 1]);
        if (forced != nullptr && Md2ParseLanes(forced, parsed)) {
            EXPECT_EQ(chosen.byCount[count - 1], parsed.stepping);
        }
    }
}

TEST(InterleavedLanes, Md2ForcedLanesParse) {
    struct Case {
        const char* text;
        bool ok;
        size_t count;
        Md2Stepping stepping;
    };
    const Case cases[] = {
        {"1", true, 1, Md2Stepping::kSingle},
        {"8", true, 8, Md2Stepping::kSingle},
        {"16:pairs", true, 16, Md2Stepping::kPairs},
        {"12:single", true, 12, Md2Stepping::kSingle},
        {"8:mixed", true, 8, Md2Stepping::kMixed},
        {"8:mix", false, 0, {}},
        {"0", false, 0, {}},
        {"17", false, 0, {}},
        {"100000000000000000000", false, 0, {}},
        {"", false, 0, {}},
        {"8:", false, 0, {}},
        {"8:pair", false, 0, {}},
        {"8 ", false, 0, {}},
        {"-8", false, 0, {}},
        {"pairs", false, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Md2LaneChoice choice{5, Md2Stepping::kPairs, {}};
        EXPECT_EQ(Md2ParseLanes(c.text, choice), c.ok);
        EXPECT_EQ(choice.count, c.ok ? c.count : 5u);
        EXPECT_EQ(choice.stepping, c.ok ? c.stepping : Md2Stepping::kPairs);
        // A forced stepping holds for every count of lanes.
        for (Md2Stepping s : choice.byCount) EXPECT_EQ(s, c.ok ? c.stepping : Md2Stepping::kSingle);
    }
}

TEST(InterleavedLanes, BytesAndEndsOutsideAnOpenLaneAreIgnored) {
    // A lane never started takes no bytes; a second End and bytes after End change nothing.
    const uint8_t abc[] = {'a', 'b', 'c'};
    Md2Lanes md2(2);
    md2.Feed(1, abc, 3);
    md2.End(1);
    EXPECT_EQ(md2.Phase(1), LanePhase::kFree);
    md2.Start(0);
    md2.Feed(0, abc, 3);
    md2.End(0);
    md2.End(0);
    md2.Feed(0, abc, 3);
    md2.Compress();
    EXPECT_EQ(md2.Phase(0), LanePhase::kDone);
    EXPECT_EQ(Hex(md2.Digest(0), 16), "DA853B0D3F88D99B30283A69E6DED6BB");

    SnefruLanes snefru(2);
    snefru.Feed(1, abc, 3);
    ASSERT_TRUE(snefru.Start(0, 128, 8));
    snefru.Feed(0, abc, 3);
    snefru.End(0);
    snefru.End(0);
    snefru.Feed(0, abc, 3);
    EXPECT_EQ(Hex(snefru.Digest(0), 16), "553D0648928299A0F22A275A02C83B10");
}

TEST(InterleavedLanes, SnefruDigestsEqualTheSingleEngine) {
    // The four lines of the report and two other pass counts, mixed in the same lanes.
    const uint32_t kVariants[][2] = {{128, 4}, {256, 8}, {128, 8}, {256, 4}, {128, 1}, {256, 5}};
    const auto messages = Messages(23);
    Expected expected;
    for (size_t i = 0; i < messages.size(); ++i) {
        const uint32_t* v = kVariants[i % 6];
        expected.digests.push_back(DigestHex(
            SnefruDigest, v[0] == 128 ? kSnefru128Size : kSnefru256Size, messages[i], v[0], v[1]));
    }
    for (size_t count : {size_t(1), size_t(4), kSnefruDefaultLanes, kSnefruMaxLanes}) {
        SCOPED_TRACE(count);
        SnefruLanes lanes(count);
        ASSERT_EQ(lanes.Count(), count);
        RunThroughLanes(
            lanes, messages, uint32_t(count),
            [&](SnefruLanes& l, size_t i, size_t message) {
                return l.Start(i, kVariants[message % 6][0], kVariants[message % 6][1]);
            },
            expected);
    }

    // What SnefruDigest refuses, a lane refuses, and it stays free.
    SnefruLanes lanes(2);
    const uint32_t kRefused[][2] = {{160, 8}, {128, 0}, {256, 9}};
    for (const auto& r : kRefused) {
        EXPECT_FALSE(lanes.Start(1, r[0], r[1]));
        EXPECT_EQ(lanes.Phase(1), LanePhase::kFree);
    }
}

}  // namespace
