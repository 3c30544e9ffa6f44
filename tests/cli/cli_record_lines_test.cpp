// The per-file record and its lines: RFC 3339 times, base64 names, and JSON lines that read
// back as the record written, or are refused with a reason.
#include <gtest/gtest.h>

#include "algorithm_names.h"
#include "file_record.h"
#include "json_lines.h"
#include "text_encoding.h"

namespace {

TEST(RecordLines, TimesInRfc3339) {
    struct Case {
        int64_t seconds;
        uint32_t nanoseconds;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "1970-01-01T00:00:00.000000000Z"},
        {951782400, 5, "2000-02-29T00:00:00.000000005Z"},
        {1709214307, 123456789, "2024-02-29T13:45:07.123456789Z"},
        {-1, 999999999, "1969-12-31T23:59:59.999999999Z"},
        {-62167219200, 0, "0000-01-01T00:00:00.000000000Z"},
        {253402300799, 0, "9999-12-31T23:59:59.000000000Z"},
        {4107542399, 0, "2100-02-28T23:59:59.000000000Z"},
    };
    for (const Case& c : cases) {
        const FileTime time{c.seconds, c.nanoseconds};
        EXPECT_TRUE(TimeWritable(time)) << c.text;
        EXPECT_EQ(TimeText(time), c.text);
        FileTime back;
        ASSERT_TRUE(ParseTimeText(c.text, back)) << c.text;
        EXPECT_EQ(back, time) << c.text;
    }
    EXPECT_FALSE(TimeWritable(FileTime{253402300800, 0}));
    FileTime back;
    ASSERT_TRUE(ParseTimeText("2024-02-29T13:45:07.5+00:00", back));
    EXPECT_EQ(back, (FileTime{1709214307, 500000000}));
    for (const char* bad :
         {"2023-02-29T00:00:00Z", "2100-02-29T00:00:00Z", "2024-13-01T00:00:00Z",
          "2024-01-01T24:00:00Z", "2024-01-01T00:00:00", "2024-01-01T00:00:00.Z",
          "2024-01-01T00:00:00.1234567890Z", "2024-01-01T00:00:00+01:00", "2024-01-01 00:00:00Z"}) {
        EXPECT_FALSE(ParseTimeText(bad, back)) << bad;
    }
}

TEST(RecordLines, Base64AndUtf8) {
    // RFC 4648, section 10.
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(Base64Encode(v.first), v.second);
        std::string bytes;
        ASSERT_TRUE(Base64Decode(v.second, bytes)) << v.second;
        EXPECT_EQ(bytes, v.first);
    }
    std::string bytes;
    for (const char* bad : {"Zg=", "Zh==", "Zm9=", "Z===", "Zm 9", "Zg==Zg=="}) {
        EXPECT_FALSE(Base64Decode(bad, bytes)) << bad;
    }
    EXPECT_TRUE(IsUtf8("caf\xC3\xA9 \xF0\x9F\x93\xB7"));
    for (const char* bad : {"\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"}) {
        EXPECT_FALSE(IsUtf8(bad)) << bad;
    }
}

TEST(RecordLines, JsonRecordsReadBackAsWritten) {
    const size_t md5 = size_t(FindAlgorithm("md5"));
    const size_t haval = size_t(FindAlgorithm("haval128,3"));
    const std::string names[] = {"plain.txt",       "line\nbreak\r", "quote\"back\\slash",
                                 "latin1-\xE9\xFF", "\x01\x7F",      "caf\xC3\xA9/\xED\xA0\x80"};
    for (const std::string& name : names) {
        for (bool keyed : {false, true}) {
            FileRecord record;
            record.name = name;
            record.size = keyed ? -1 : 1234;
            record.timeKnown = !keyed;
            record.modified = FileTime{-86399, 7};
            record.digests = {{haval, "0CD40739683E15F01CA5DBCEEF4059F1", keyed},
                              {md5, "d41d8cd98f00b204e9800998ecf8427e", keyed}};
            const std::string line = JsonRecordLine(record);
            SCOPED_TRACE(line);
            ASSERT_EQ(line.find('\n'), line.size() - 1);
            EXPECT_EQ(line.find("\"name_base64\"") != std::string::npos, !IsUtf8(name));
            EXPECT_EQ(line.find("\"hmac\"") != std::string::npos, keyed);
            EXPECT_EQ(line.find("\"hex\"") != std::string::npos, !keyed);
            EXPECT_TRUE(StartsJsonList(line));
            FileRecord back;
            std::string reason;
            ASSERT_EQ(ParseJsonRecord(line.substr(0, line.size() - 1), back, reason),
                      ChecksumLineKind::kEntry)
                << reason;
            EXPECT_EQ(back.name, name);
            EXPECT_EQ(back.size, record.size);
            EXPECT_EQ(back.timeKnown, record.timeKnown);
            if (record.timeKnown) {
                EXPECT_EQ(back.modified, record.modified);
            }
            ASSERT_EQ(back.digests.size(), 2u);
            for (size_t i = 0; i < 2; ++i) {
                EXPECT_EQ(back.digests[i].line, record.digests[i].line);
                EXPECT_EQ(back.digests[i].hex, record.digests[i].hex);
                EXPECT_EQ(back.digests[i].keyed, keyed);
            }
        }
    }
}

TEST(RecordLines, JsonLinesThatAreNotRecordsAreRefused) {
    const std::string digests = R"("digests":{"MD5":{"hex":"d41d8cd98f00b204e9800998ecf8427e"}})";
    const std::pair<std::string, const char*> cases[] = {
        {"[1]", "not a JSON object"},
        {"{\"list_version\":1,\"name\":\"a\"," + digests, "not a JSON object"},
        {"{\"name\":\"a\"," + digests + "}", "without \"list_version\""},
        {"{\"list_version\":2,\"name\":\"a\"," + digests + "}", "list version 2"},
        {"{\"list_version\":1," + digests + "}", "neither or both"},
        {"{\"list_version\":1,\"name\":\"a\",\"name_base64\":\"YQ==\"," + digests + "}",
         "neither or both"},
        {"{\"list_version\":1,\"name_base64\":\"Y\"," + digests + "}", "not base64"},
        {"{\"list_version\":1,\"name\":\"\"," + digests + "}", "no file name"},
        {"{\"list_version\":1,\"name\":\"a\",\"size\":-1," + digests + "}", "\"size\""},
        {"{\"list_version\":1,\"name\":\"a\",\"size\":1.5," + digests + "}", "\"size\""},
        {"{\"list_version\":1,\"name\":\"a\",\"modified\":\"yesterday\"," + digests + "}",
         "\"modified\""},
        {R"({"list_version":1,"name":"a"})", "without \"digests\""},
        {R"({"list_version":1,"name":"a","digests":{}})", "at least one digest"},
        {R"({"list_version":1,"name":"a","digests":{"MD6":{"hex":"00"}}})", "'MD6'"},
        {R"({"list_version":1,"name":"a","digests":{"MD5":{"hex":"00","hmac":"00"}}})",
         "neither or both"},
        {R"({"list_version":1,"name":"a","digests":{"MD5":{"hex":"0x1"}}})", "hex digits"},
    };
    for (const auto& c : cases) {
        FileRecord record;
        std::string reason;
        EXPECT_EQ(ParseJsonRecord(c.first, record, reason), ChecksumLineKind::kMalformed)
            << c.first;
        EXPECT_NE(reason.find(c.second), std::string::npos) << c.first << ": " << reason;
    }
    FileRecord record;
    std::string reason;
    EXPECT_EQ(ParseJsonRecord(" \t", record, reason), ChecksumLineKind::kIgnored);
    EXPECT_FALSE(StartsJsonList("{\"name\":\"a\"}"));
}

}  // namespace
