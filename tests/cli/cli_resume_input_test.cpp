// A named file hashed from a saved state: the file reader skips to an offset, read or lent in
// mapped windows, and a file's lines go on from a state to the digests of an uninterrupted
// run; texts are hashed without states.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/input_compute.h"
#include "cli_test_support.h"
#include "system/file_input.h"
#include "test_support.h"

TEST(InputReader, SkipsToAnOffsetReadOrLentAndRefusesOnePastTheEnd) {
    TempDir dir;
    const std::vector<uint8_t> bytes = RandomBytes((size_t(9) << 20) + 4321, 23);
    const std::string path = WriteFile(dir.Path("big"), std::string(bytes.begin(), bytes.end()));
    for (bool mapped : {false, true}) {
        for (uint64_t offset : {uint64_t(0), uint64_t(5000), uint64_t(4) << 20,
                                (uint64_t(6) << 20) + 123, uint64_t(bytes.size())}) {
            SCOPED_TRACE(std::string(mapped ? "lent" : "read") + " from " + std::to_string(offset));
            InputReader reader;
            std::string reason;
            ASSERT_TRUE(reader.Open(path, reason, nullptr, mapped));
            ASSERT_TRUE(reader.Skip(offset));
            std::vector<uint8_t> seen;
            if (reader.Lends()) {
                for (bool last = false; !last;) {
                    const uint8_t* data = nullptr;
                    size_t length = 0;
                    ASSERT_TRUE(reader.Lend(data, length, last));
                    seen.insert(seen.end(), data, data + length);
                    ASSERT_TRUE(reader.GiveBack(data));
                }
            } else {
                // At the end, a mapped file is read: nothing is left to lend.
                std::vector<uint8_t> chunk(1 << 20);
                size_t length = 0;
                do {
                    ASSERT_TRUE(reader.Read(chunk.data(), chunk.size(), length)) << reader.Reason();
                    seen.insert(seen.end(), chunk.begin(), chunk.begin() + length);
                } while (length == chunk.size());
            }
            EXPECT_TRUE(seen == std::vector<uint8_t>(bytes.begin() + offset, bytes.end()));
            EXPECT_EQ(reader.Taken(), bytes.size());
        }
        InputReader reader;
        std::string reason;
        ASSERT_TRUE(reader.Open(path, reason, nullptr, mapped));
        EXPECT_FALSE(reader.Skip(bytes.size() + 1));
        EXPECT_EQ(reader.Reason(), "the file is shorter than the offset");
    }
}

TEST(InputCompute, AFileGoesOnFromASavedStateAndATextSavesNone) {
    TempDir dir;
    const std::vector<uint8_t> bytes = RandomBytes((size_t(3) << 20) + 77, 29);
    const std::string path = WriteFile(dir.Path("file"), std::string(bytes.begin(), bytes.end()));
    std::vector<size_t> lines;
    for (const char* name : {"crc32", "md5", "sha256", "whirlpool"})
        lines.push_back(size_t(FindReportLine(name) - kReportLines));
    InputRun plainRun;
    plainRun.jobs = 2;
    const InputResult expected = ComputeFileResult(path, {}, lines, plainRun);
    ASSERT_TRUE(expected.ok) << expected.reason;

    std::vector<std::pair<uint64_t, std::string>> saved;
    StreamCheckpoints checkpoints;
    checkpoints.every = 1 << 20;
    checkpoints.save = [&](uint64_t offset, const std::string& state) {
        saved.emplace_back(offset, state);
    };
    InputRun run = plainRun;
    run.checkpoints = &checkpoints;
    const InputResult first = ComputeFileResult(path, {}, lines, run);
    ASSERT_TRUE(first.ok) << first.reason;
    EXPECT_EQ(first.hex, expected.hex);
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[2].first, uint64_t(3) << 20);

    checkpoints.resume = saved[1].second;
    const InputResult resumed = ComputeFileResult(path, {}, lines, run);
    ASSERT_TRUE(resumed.ok) << resumed.reason;
    EXPECT_EQ(checkpoints.outcome, ResumeOutcome::kResumed);
    EXPECT_EQ(resumed.hex, expected.hex);
    EXPECT_EQ(resumed.size, bytes.size());

    saved.clear();
    checkpoints.resume.clear();
    checkpoints.every = 1;
    const InputResult text = ComputeTextResult("some text", {}, lines, run);
    EXPECT_TRUE(text.ok);
    EXPECT_TRUE(saved.empty());
}
