// --known and --unknown: the inputs whose digest a list holds, whatever names it gives them,
// in every list format; the set itself holds each digest once and finds it among many.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "cli_test_support.h"
#include "lists/known_set.h"
#include "program_runner.h"

namespace {

TEST(KnownSet, HoldsEachDigestOnceAndFindsItAmongMany) {
    DigestSet set(4);
    char hex[9];
    for (uint32_t i = 0; i < 100000; ++i) {
        std::snprintf(hex, sizeof hex, "%08X", i * 2654435761u);
        ASSERT_TRUE(set.AddHex(hex));
    }
    EXPECT_TRUE(set.AddHex("00000000"));  // i = 0, again
    set.Finish();
    EXPECT_EQ(set.Count(), 100000u);
    for (uint32_t i = 0; i < 1000; ++i) {
        std::snprintf(hex, sizeof hex, "%08x", i * 2654435761u);
        EXPECT_TRUE(set.ContainsHex(hex)) << hex;
        std::snprintf(hex, sizeof hex, "%08x", i * 2654435761u + 1);
        EXPECT_FALSE(set.ContainsHex(hex)) << hex;
    }
    for (const char* bad : {"0000000", "000000000", "0000000g"}) {
        EXPECT_FALSE(set.AddHex(bad)) << bad;
        EXPECT_FALSE(set.ContainsHex(bad)) << bad;
    }
}

// Sets added in orders that a sort may take badly: ascending, descending, one value
// repeated, values that differ only in their last byte, and none at all.
TEST(KnownSet, FindsEveryDigestWhateverTheOrderAndRepeatsItWasAddedIn) {
    struct Case {
        const char* what;
        size_t width;
        size_t count;
        std::function<uint64_t(size_t)> value;  // the i-th value added, in its low bytes
        size_t distinct;
    };
    const Case cases[] = {
        {"ascending", 16, 50000, [](size_t i) { return uint64_t(i); }, 50000},
        {"descending", 4, 50000, [](size_t i) { return uint64_t(50000 - i); }, 50000},
        {"each thrice", 32, 30000, [](size_t i) { return uint64_t(i % 10000) * 977; }, 10000},
        {"one value", 20, 5000, [](size_t) { return uint64_t(7); }, 1},
        {"last byte only", 16, 256, [](size_t i) { return uint64_t(255 - i); }, 256},
        {"none", 16, 0, [](size_t i) { return uint64_t(i); }, 0},
    };
    // The value as hex of width bytes: a fixed prefix, then its 8 bytes big-endian.
    const auto hex = [](size_t width, uint64_t value) {
        std::string text(2 * width, 'a');
        char tail[17];
        std::snprintf(tail, sizeof tail, "%016llx", static_cast<unsigned long long>(value));
        const size_t digits = std::min<size_t>(16, 2 * width);
        text.replace(2 * width - digits, digits, tail + 16 - digits);
        return text;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DigestSet set(c.width);
        for (size_t i = 0; i < c.count; ++i) ASSERT_TRUE(set.AddHex(hex(c.width, c.value(i))));
        set.Finish();
        EXPECT_EQ(set.Count(), c.distinct);
        for (size_t i = 0; i < c.count; ++i) {
            ASSERT_TRUE(set.ContainsHex(hex(c.width, c.value(i)))) << i;
        }
        EXPECT_FALSE(set.ContainsHex(hex(c.width, 1000000007)));
        EXPECT_FALSE(set.ContainsHex(std::string(2 * c.width, 'f')));
        EXPECT_FALSE(set.ContainsHex(std::string(2 * c.width, '0')));
    }
}

TEST(CliKnown, PrintsTheInputsWhoseDigestTheListHoldsInEveryFormat) {
    TempDir dir;
    RunOptions in;
    in.directory = dir.Path("");
    ASSERT_EQ(Shell("mkdir -p '" + dir.Path("set") + "' '" + dir.Path("tree/sub") + "'").status, 0);
    for (const char* name : {"set/one", "tree/sub/one renamed"}) dir.Write(name, "one\n");
    for (const char* name : {"set/two", "tree/two"}) dir.Write(name, "two\n");
    dir.Write("set/three", "three\n");
    dir.Write("tree/three", "three, changed\n");
    dir.Write("tree/new", "new\n");
    const std::vector<std::string> set{"set/one", "set/two", "set/three"};
    struct Form {
        const char* list;
        std::vector<std::string> write;  // the options that write it
        std::vector<std::string> known;  // the options that read it
    };
    const Form forms[] = {
        {"SHA1SUMS", {"--format", "gnu", "-a", "sha1"}, {}},
        {"md5.txt", {"--format", "gnu", "-a", "md5"}, {"-a", "md5"}},
        {"tags.txt", {"--tag", "-a", "md5,sha256"}, {}},
        {"list.json", {"--format", "json", "-a", "crc32,rmd160"}, {}},
        {"list.csv", {"--format", "csv", "-a", "tiger"}, {}},
        {"list.hashdeep", {"--format", "hashdeep"}, {}},
        {"keyed.json", {"--format", "json", "--key", "k", "-a", "sha256"}, {"--key", "k"}},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.list);
        std::vector<std::string> write = form.write;
        write.insert(write.end(), set.begin(), set.end());
        RunResult list = RunKorvadex(write, in);
        ASSERT_EQ(list.status, 0) << list.err;
        dir.Write(form.list, list.out);
        for (bool known : {true, false}) {
            std::vector<std::string> args = form.known;
            for (const char* more : {known ? "--known" : "--unknown", form.list, "-r", "tree"}) {
                args.push_back(more);
            }
            RunResult r = RunKorvadex(args, in);
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, known ? "tree/sub/one renamed\ntree/two\n" : "tree/new\ntree/three\n");
        }
    }
    // Nothing printed: exit status 1, as grep gives.
    RunResult none = RunKorvadex({"--known", "SHA1SUMS", "tree/new"}, in);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
}

TEST(CliKnown, ListsThatCannotBeTakenWhollyAreRefused) {
    TempDir dir;
    RunOptions in;
    in.directory = dir.Path("");
    dir.Write("file", "x");
    ASSERT_EQ(RunKorvadex({"--save", "saved.txt", "file"}, in).status, 0);
    dir.Write("list.txt", "d41d8cd98f00b204e9800998ecf8427e  a\n");
    dir.Write("bad.txt", "SHA256 (a) = e3b0c44298fc1c149afbf4c8996fb924\n");
    dir.Write("hmac.txt", "HMAC-MD5 (a) = d41d8cd98f00b204e9800998ecf8427e\n");
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--known", "saved.txt", "file"}, "a saved report"},
        {{"--known", "list.txt", "file"}, "name the algorithm with -a"},
        {{"--known", "bad.txt", "file"}, "line 1: "},
        {{"--known", "hmac.txt", "file"}, "give its key"},
        {{"--known", "hmac.txt", "-a", "sha1", "file"}, "no digest of an algorithm of -a"},
        {{"--unknown", "missing.txt", "file"}, "no such file"},
    };
    for (const auto& c : cases) {
        RunResult r = RunKorvadex(c.first, in);
        EXPECT_EQ(r.status, 1) << c.second;
        EXPECT_EQ(r.out, "") << c.second;
        EXPECT_NE(r.err.find(c.second), std::string::npos) << c.second << ": " << r.err;
    }
}

}  // namespace
