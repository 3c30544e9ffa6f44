// The shard of a name (the test vectors of docs/scale.md, computed with Python's hashlib),
// the walk's order, and the lines of a shard's list read back as they were written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lists/shard_lists.h"

namespace {

struct ShardVector {
    const char* name;
    unsigned shards[4];  // of 2, 7, 64 and 1000 shards
};

const ShardVector kVectors[] = {
    {"a", {1, 5, 11, 251}},
    {"./a", {1, 5, 11, 251}},  // a leading "./" is not part of the name
    {"photos/2024/img 001.jpg", {2, 3, 30, 54}},
    {"line\nbreak", {1, 5, 29, 357}},
    {"tree/d1/f1", {2, 1, 62, 830}},
    {"\xc3\xa9t\xc3\xa9.txt", {1, 2, 59, 67}},
};

TEST(ShardLists, ShardOfNameGivesTheVectors) {
    const uint64_t counts[] = {2, 7, 64, 1000};
    for (const ShardVector& vector : kVectors) {
        EXPECT_EQ(ShardOfName(vector.name, 1), 1u) << vector.name;
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(ShardOfName(vector.name, counts[i]), vector.shards[i])
                << vector.name << " of " << counts[i];
        }
    }
}

TEST(ShardLists, WalkOrderComparesFolderByFolder) {
    // In the order -r walks: each folder's names in byte order, a folder entered in place.
    const std::vector<std::string> walked = {"t/a/z", "t/a-b", "t/a.c/d", "t/ab", "t/\xc3\xa9"};
    for (size_t i = 0; i < walked.size(); ++i) {
        for (size_t j = 0; j < walked.size(); ++j) {
            EXPECT_EQ(WalkOrderLess(walked[i], walked[j]), i < j) << walked[i] << " " << walked[j];
        }
    }
}

TEST(ShardLists, LinesReadBackAsWritten) {
    ShardHeader header;
    header.command = "list";
    header.arguments = {"-r", "--key-file", "k", "photos"};
    header.runId = "nightly";
    header.keyCheck = "00FF";
    header.k = 3;
    header.n = 8;
    header.folder = "/data";
    header.started.seconds = 1700000000;
    ShardHeader read;
    std::string reason, line = ShardHeaderLine(header);
    line.pop_back();
    ASSERT_TRUE(StartsShardList(line));
    ASSERT_TRUE(ParseShardHeader(line, read, reason)) << reason;
    EXPECT_EQ(ShardJob(read), ShardJob(header));
    EXPECT_EQ(read.k, 3u);
    EXPECT_EQ(read.folder, "/data");
    header.runId = "other";
    EXPECT_NE(ShardJob(read), ShardJob(header));

    ShardEntry record, failed, verdict, back;
    record.operand = 4;
    record.record.name = "a\nb";
    record.record.size = 12;
    record.record.digests = {{0, "ABCD", false}};
    failed.kind = ShardEntry::Kind::kFailed;
    failed.record.name = "gone";
    failed.reason = "no such file";
    verdict.kind = ShardEntry::Kind::kVerdict;
    verdict.verdict = "missing";
    verdict.order = "/data/x";
    verdict.hasEntry = true;
    verdict.listed = record.record;
    verdict.listedLine = 7;
    // A check's verdict on a name that is not UTF-8, and a malformed line's, with no name.
    ShardEntry checked, malformed;
    checked.kind = ShardEntry::Kind::kCheck;
    checked.verdict = "missing";
    checked.operand = 9;
    checked.record.name = "caf\xe9";
    checked.text = "caf\xe9: FAILED open or read\n";
    checked.reason = "korvadex: caf\xe9: no such file\n";
    malformed = checked;
    malformed.verdict = "malformed";
    malformed.record.name.clear();
    malformed.text.clear();
    for (const ShardEntry* entry : {&record, &failed, &verdict, &checked, &malformed}) {
        line = ShardEntryLine(*entry);
        line.pop_back();
        ASSERT_TRUE(ParseShardEntry(line, back, reason)) << line << ": " << reason;
        EXPECT_EQ(back.kind, entry->kind);
        EXPECT_EQ(back.operand, entry->operand);
        EXPECT_EQ(back.reason, entry->reason);
        EXPECT_EQ(back.listedLine, entry->listedLine);
        EXPECT_EQ(back.record.name, entry->record.name);
        EXPECT_EQ(back.text, entry->text);
        EXPECT_EQ(ShardEntryLine(back), ShardEntryLine(*entry));
    }
    EXPECT_FALSE(ParseShardHeader("{\"list_version\":1}", read, reason));
    EXPECT_FALSE(ParseShardEntry("{\"name\":\"a\"}", back, reason));
    EXPECT_FALSE(ParseShardEntry("{\"check\":\"OK\",\"name\":\"a\"}", back, reason));
}

}  // namespace
