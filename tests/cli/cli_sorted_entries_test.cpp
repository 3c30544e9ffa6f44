// Records sorted outside memory come back in byte order, every time they are read, over more
// runs than are merged at once; and a list's entries sorted so are those its reader makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "cli_test_support.h"
#include "lists/list_document.h"
#include "lists/record_sort.h"
#include "lists/sorted_entries.h"

namespace {

// Sets KORVADEX_SORT_BYTES for the life of the object.
class SmallRuns {
public:
    SmallRuns() { Set("4096"); }
    ~SmallRuns() { Set(""); }

private:
    static void Set(const char* value) {
#ifdef _WIN32
        _putenv_s("KORVADEX_SORT_BYTES", value);
#else
        setenv("KORVADEX_SORT_BYTES", value, 1);
#endif
    }
};

TEST(RecordSort, GivesEveryRecordInByteOrderOnEachReading) {
    std::mt19937 random(7);
    std::vector<std::string> records = {"", "a", "ab", std::string("a\0b", 3), "\xff", "b"};
    for (int i = 0; i < 20000; ++i) {
        std::string record(random() % 40, '\0');
        for (char& c : record) c = char("ab\0\xff/"[random() % 5]);
        records.push_back(record);
    }
    for (bool small : {false, true}) {
        std::optional<SmallRuns> runs;
        if (small) runs.emplace();
        RecordSort sort;  // small: well over the runs merged at once
        for (const std::string& record : records) ASSERT_TRUE(sort.Add(record)) << sort.Reason();
        std::vector<std::string> expected = records;
        std::sort(expected.begin(), expected.end());
        for (int reading = 0; reading < 2; ++reading) {
            ASSERT_TRUE(sort.Start()) << sort.Reason();
            std::vector<std::string> got;
            for (std::string record; sort.Next(record);) got.push_back(record);
            EXPECT_EQ(sort.Reason(), "");
            EXPECT_TRUE(got == expected) << "small runs " << small << ", reading " << reading;
        }
    }
}

TEST(SortedEntries, MakesTheEntriesTheListReaderMakesWhereverTheirLinesLie) {
    TempDir dir;
    // Lines of one name apart, a name listed twice, a line that adds an algorithm to the
    // second entry of its name, and untagged lines.
    const std::string md5a(32, 'a'), md5b(32, 'b'), sha1(40, 'c');
    const std::string list = "MD5 (x) = " + md5a + "\nMD5 (y) = " + md5b + "\nSHA1 (z) = " + sha1 +
                             "\nSHA1 (x) = " + sha1 + "\nMD5 (x) = " + md5b +
                             "\nMD5 (z) = " + md5a + "\nSHA256 (x) = " + std::string(64, 'd') +
                             "\nMD5 (y) = " + md5a + "\n";
    const std::string path = dir.Write("list.txt", list);
    SmallRuns runs;
    ListDocument document;
    std::string reason;
    ASSERT_TRUE(ReadListDocument(path, document, reason)) << reason;
    SortedEntries sorted;
    ListDocument rest;  // its lines of no entry
    ASSERT_TRUE(ReadListDocument(path, rest, reason, [&](const ListLine& line) {
        EXPECT_TRUE(sorted.Add("key", line));
        return false;
    })) << reason;
    EXPECT_TRUE(rest.entries.empty());
    // Each entry as its name, first line and values.
    using Shape = std::tuple<std::string, size_t, std::vector<std::pair<long, std::string>>>;
    const auto shape = [](const ListEntry& entry) {
        std::vector<std::pair<long, std::string>> values;
        for (const ListValue& value : entry.values) values.push_back({value.line, value.hex});
        return Shape{entry.name, entry.values[0].text, values};
    };
    std::vector<Shape> expected, got;
    for (const ListEntry& entry : document.entries) expected.push_back(shape(entry));
    std::sort(expected.begin(), expected.end());
    ASSERT_TRUE(sorted.Start());
    std::string key;
    ListEntry entry;
    while (sorted.Next(key, entry)) got.push_back(shape(entry));
    EXPECT_EQ(sorted.Reason(), "");
    EXPECT_EQ(got, expected);
    EXPECT_EQ(got.size(), 5u);
}

}  // namespace
