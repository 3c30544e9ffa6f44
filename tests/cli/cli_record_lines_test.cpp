// The per-file record and its lines: RFC 3339 times, base64 names, and JSON lines that read
// back as the record written, or are refused with a reason.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_test_support.h"
#include "common/algorithm_names.h"
#include "common/file_record.h"
#include "common/text_encoding.h"
#include "lists/csv_lines.h"
#include "lists/json_lines.h"
#include "lists/json_record_scan.h"
#include "program_runner.h"

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

TEST(RecordLines, VerdictsCarryNamesThatAreNotUtf8) {
    EntryVerdict verdict;
    verdict.name = "a\xFF";
    verdict.list = "list\xFE.json";
    verdict.verdict = "unreadable";
    verdict.reason = "cannot read a\xFF";
    const nlohmann::json v = nlohmann::json::parse(JsonVerdictLine(verdict));
    EXPECT_EQ(v["name_base64"], Base64Encode(verdict.name));
    EXPECT_EQ(v["list_base64"], Base64Encode(verdict.list));
    EXPECT_EQ(v["reason"], "cannot read a\xEF\xBF\xBD");
    EXPECT_FALSE(v.contains("line") || v.contains("expected") || v.contains("actual"));
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

// The quick reading of JSON lines takes the plain shape, in any order and with members it
// does not know, and leaves every other line to the full parser; either way a line gives
// what the full parser alone gives.
TEST(RecordLines, QuickJsonReadingAgreesWithTheParser) {
    const std::string md5 = R"("MD5":{"hex":"d41d8cd98f00b204e9800998ecf8427e","names":["md5"]})";
    const std::string sha = R"("SHA-256":{"hmac":"AB","x":[1,-2.5e+3,true,null,{"y":"z"}]})";
    const std::string start = R"({"list_version":1,"name":)";
    const std::pair<std::string, bool> cases[] = {
        {start + R"("a b/c.txt","size":12,"digests":{)" + md5 + "," + sha + "}}", true},
        {R"( { "digests" : { )" + md5 + R"( } , "name" : "q\"\\\/\b\f\n\r\t" ,)" +
             R"( "list_version" : 1 , "operand" : 7 } )",
         true},
        {start + R"("YQ==","modified":"2024-02-29T13:45:07.000000123Z","digests":{)" + md5 + "}}",
         true},
        {R"({"list_version":1,"name_base64":"/w==","digests":{)" + md5 + "}}", true},
        {start + R"("\u00e9","digests":{)" + md5 + "}}", false},
        {start + "\"caf\xC3\xA9\",\"digests\":{" + md5 + "}}", false},
        {start + "\"bad\xFF\",\"digests\":{" + md5 + "}}", false},
        {start + R"("a","name":"b","digests":{)" + md5 + "}}", false},
        {start + R"("a","digests":{)" + md5 + "," + md5 + "}}", false},
        {start + R"("a","size":0123,"digests":{)" + md5 + "}}", false},
        {start + R"("a","size":99999999999999999999,"digests":{)" + md5 + "}}", false},
        {start + R"("a","size":1e3,"digests":{)" + md5 + "}}", false},
        {start + R"("a","digests":{)" + md5 + "}} x", false},
        {start + R"("a","digests":{)" + md5 + "},}", false},
        {start + R"("a","extra":{},"digests":{)" + md5 + "}}", false},
        {start + R"("a","digests":{)" + md5 + "}", false},
        {R"({"list_version":01,"name":"a","digests":{)" + md5 + "}}", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        FileRecord quick, full, record;
        std::string reason, fullReason;
        EXPECT_EQ(ScanJsonRecord(c.first, quick), c.second);
        const ChecksumLineKind kind = ParseJsonRecord(c.first, record, reason);
        EXPECT_EQ(kind, ParseJsonRecordObject(c.first, full, fullReason));
        EXPECT_EQ(reason, fullReason);
        if (kind != ChecksumLineKind::kEntry) continue;
        EXPECT_EQ(record.name, full.name);
        EXPECT_EQ(record.size, full.size);
        EXPECT_EQ(record.timeKnown, full.timeKnown);
        EXPECT_EQ(record.modified, full.modified);
        ASSERT_EQ(record.digests.size(), full.digests.size());
        for (size_t i = 0; i < full.digests.size(); ++i) {
            EXPECT_EQ(record.digests[i].line, full.digests[i].line);
            EXPECT_EQ(record.digests[i].hex, full.digests[i].hex);
            EXPECT_EQ(record.digests[i].keyed, full.digests[i].keyed);
        }
    }
}

TEST(RecordLines, CsvRowsThatDoNotFitTheirHeaderAreRefused) {
    std::vector<CsvColumn> columns;
    std::string reason;
    ASSERT_TRUE(ParseCsvHeader("list_version,name,name_base64,size,modified,MD5,HMAC-SHA-1\r",
                               columns, reason))
        << reason;
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_TRUE(columns[1].keyed && !columns[0].keyed);
    for (const char* bad : {"list_version,name,name_base64,size,modified",
                            "list_version,name,name_base64,size,modified,MD6",
                            "list_version,name,name_base64,size,modified,MD5,md5"}) {
        EXPECT_FALSE(ParseCsvHeader(bad, columns, reason)) << bad;
    }
    ASSERT_TRUE(ParseCsvHeader("list_version,name,name_base64,size,modified,MD5", columns, reason));
    const std::string md5 = ",d41d8cd98f00b204e9800998ecf8427e";
    const std::pair<std::string, const char*> cases[] = {
        {"1,a,,0," + md5 + ",00", "7 fields"},
        {"2,a,,0," + md5, "list version '2'"},
        {"1,,,0," + md5, "neither or both"},
        {"1,a,YQ==,0," + md5, "neither or both"},
        {"1,,Y,0," + md5, "not base64"},
        {"1,a,,-1," + md5, "not a decimal"},
        {"1,a,,0,2024-01-01," + md5.substr(1), "RFC 3339"},
        {"1,a,,0,,xyz", "not hex"},
        {"1,\"a\"b,,0," + md5, "closing quote"},
    };
    for (const auto& c : cases) {
        FileRecord record;
        EXPECT_EQ(ParseCsvRecord(c.first, columns, record, reason), ChecksumLineKind::kMalformed)
            << c.first;
        EXPECT_NE(reason.find(c.second), std::string::npos) << c.first << ": " << reason;
    }
    FileRecord record;
    ASSERT_EQ(ParseCsvRecord("1,\"a,\"\"\nb\",,7,1970-01-01T00:00:01Z" + md5 + "\r", columns,
                             record, reason),
              ChecksumLineKind::kEntry)
        << reason;
    EXPECT_EQ(record.name, "a,\"\nb");
    EXPECT_EQ(record.size, 7);
    EXPECT_EQ(record.modified, (FileTime{1, 0}));
    EXPECT_TRUE(CsvRowOpen("1,\"a,\"\""));
    EXPECT_FALSE(CsvRowOpen("1,\"a,\"\"\""));
}

// korvadex run in a folder of its own.
class RecordLists : public testing::Test {
protected:
    RecordLists() { in.directory = dir.Path(""); }
    TempDir dir;
    RunOptions in;
};

// Lists joined by cat read as the lists they are: each CSV header names the columns of the
// rows after it, and JSON objects stand alone.
TEST_F(RecordLists, JoinedListsAreCheckedWhole) {
    dir.Write("a", "a");
    dir.Write("b", "b");
    for (const char* format : {"csv", "json"}) {
        SCOPED_TRACE(format);
        RunResult first = RunKorvadex({"--format", format, "-a", "md5", "a"}, in);
        RunResult second = RunKorvadex({"--format", format, "-a", "sha1,crc32", "b"}, in);
        dir.Write("joined", first.out + second.out);
        RunResult r = RunKorvadex({"-c", "--strict", "joined"}, in);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "a: OK\nb: OK\n");
    }
}

// -c --format json: one object per entry, with the entry's line, its verdict, and the size
// and digests expected and found; a file of another size is not read, one that is gone is
// missing.
TEST_F(RecordLists, CheckWritesVerdictsAsJson) {
    dir.Write("same", "abc");
    dir.Write("edited", "abc");
    dir.Write("resized", "abc");
    dir.Write("gone", "abc");
    RunResult list =
        RunKorvadex({"--format", "json", "-a", "md5", "same", "edited", "resized", "gone"}, in);
    ASSERT_EQ(list.status, 0) << list.err;
    dir.Write("list.json", list.out);
    dir.Write("edited", "abd");
    dir.Write("resized", "abcd");
    ASSERT_EQ(std::remove(dir.Path("gone").c_str()), 0);
    RunResult r = RunKorvadex({"-c", "--format", "json", "list.json"}, in);
    EXPECT_EQ(r.status, 1);
    const char* const names[] = {"same", "edited", "resized", "gone"};
    const char* const verdicts[] = {"OK", "FAILED", "FAILED", "missing"};
    const char* const actualMd5[] = {"900150983cd24fb0d6963f7d28e17f72",
                                     "4911e516e5aa21d327512e0c8b197616", nullptr, nullptr};
    std::istringstream lines(r.out);
    std::string line;
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(std::getline(lines, line)) << r.out;
        SCOPED_TRACE(line);
        const nlohmann::json v = nlohmann::json::parse(line);
        EXPECT_EQ(v["name"], names[i]);
        EXPECT_EQ(v["list"], "list.json");
        EXPECT_EQ(v["line"], i + 1);
        EXPECT_EQ(v["verdict"], verdicts[i]);
        EXPECT_EQ(v["expected"]["size"], 3);
        EXPECT_EQ(v["expected"]["digests"]["MD5"]["hex"], "900150983cd24fb0d6963f7d28e17f72");
        EXPECT_EQ(v.contains("actual"), i != 3);
        EXPECT_EQ(v.contains("actual") && v["actual"].contains("digests"), actualMd5[i] != nullptr);
        if (actualMd5[i] != nullptr) {
            EXPECT_EQ(v["actual"]["digests"]["MD5"]["hex"], actualMd5[i]);
        }
    }
    EXPECT_FALSE(std::getline(lines, line)) << r.out;
    RunResult quiet = RunKorvadex({"-c", "--format", "json", "--quiet", "list.json"}, in);
    EXPECT_EQ(quiet.out.find("\"same\""), std::string::npos) << quiet.out;
    EXPECT_NE(quiet.out.find("\"gone\""), std::string::npos) << quiet.out;
    // A saved report: one object for each of its lines checked.
    ASSERT_EQ(RunKorvadex({"--save", "saved.txt", "same"}, in).status, 0);
    dir.Write("same", "abd");
    RunResult saved = RunKorvadex({"-c", "--format", "json", "-a", "md5,crc32", "saved.txt"}, in);
    EXPECT_EQ(saved.status, 1);
    std::istringstream savedLines(saved.out);
    for (const char* label : {"CRC32", "MD5"}) {
        ASSERT_TRUE(std::getline(savedLines, line)) << saved.out;
        const nlohmann::json v = nlohmann::json::parse(line);
        EXPECT_EQ(v["name"], "same");
        EXPECT_EQ(v["verdict"], "FAILED");
        EXPECT_TRUE(v["expected"]["digests"].contains(label) &&
                    v["actual"]["digests"].contains(label))
            << line;
    }
    EXPECT_FALSE(std::getline(savedLines, line)) << saved.out;
}

}  // namespace
