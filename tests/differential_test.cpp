// Every report line against every independent implementation of it (tests/oracle_digests.h):
// the libraries built in and PHP's hash extension, over DifferentialLengths() and 1000 bytes
// of the letter a, each message one byte into its buffer.  A failure names the line, the
// oracle and the length.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oracle_digests.h"
#include "report_lines.h"
#include "test_support.h"

namespace {

// The lines no library carries: SHA-0 is checked against its model (sha0_sha1_test.cpp),
// the 4-pass Snefru lines against a plain transcription (snefru_test.cpp).
bool WithoutOracle(const std::string& label) {
    return label == "SHA-0" || label.find("(4 Passes)") != std::string::npos;
}

TEST(Differential, EveryLineAgreesWithEveryOracle) {
    const std::string missing = MissingOracleLibraries();
    if (!missing.empty()) GTEST_SKIP() << "oracles missing from this build:" << missing;

    std::vector<std::vector<uint8_t>> buffers;  // each message from its second byte on
    for (size_t n : DifferentialLengths()) buffers.push_back(RandomBytes(n + 1, uint32_t(n) + 11));
    buffers.push_back(std::vector<uint8_t>(1001, 'a'));
    std::vector<std::vector<uint8_t>> messages;
    for (const auto& b : buffers) messages.emplace_back(b.begin() + 1, b.end());
    const std::vector<OracleDigest> oracles = OracleDigests();

    for (size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        std::string label(line.label);
        label.resize(label.size() - 2);
        SCOPED_TRACE(label);
        std::vector<std::string> ours;
        for (const auto& b : buffers)
            ours.push_back(
                ResultHex(line.engine(b.data() + 1, uint32_t(b.size() - 1), line.bits, line.passes),
                          line.size));

        int checked = 0;
        for (const OracleDigest& oracle : oracles) {
            if (oracle.label != label) continue;
            for (size_t k = 0; k < buffers.size(); ++k) {
                uint8_t out[64];
                ASSERT_TRUE(oracle.digest(buffers[k].data() + 1, buffers[k].size() - 1, out))
                    << oracle.library << " cannot compute it here";
                ASSERT_EQ(ours[k], Hex(out, DigestLength(line.size)))
                    << oracle.library << ", " << buffers[k].size() - 1 << " bytes";
            }
            ++checked;
        }
        if (const char* algo = PhpAlgorithm(label)) {
            const std::vector<std::string> php = PhpHashes(algo, messages);
            ASSERT_EQ(php.size(), messages.size()) << "PHP " << algo;
            for (size_t k = 0; k < messages.size(); ++k)
                ASSERT_EQ(ours[k], php[k])
                    << "PHP " << algo << ", " << messages[k].size() << " bytes";
            ++checked;
        }
        EXPECT_TRUE(checked > 0 || WithoutOracle(label)) << "no independent implementation";
    }
}

}  // namespace
