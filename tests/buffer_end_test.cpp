// Every report line over messages that end where readable memory ends: the page after the
// last byte may not be touched.  An engine that read past its input would crash here, and so
// would a prefetch hint that faulted (the block engines ask for the memory 2 KiB ahead of
// the block they take, which near the end of a buffer lies beyond it).  The results must
// equal those of the same bytes in an ordinary buffer.
#include <gtest/gtest.h>

#if defined(__unix__)

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "report_lines.h"
#include "test_support.h"

TEST(BufferEnd, NoLineReadsPastTheEndOfItsInput) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    // Two readable pages, then one that may not be touched.
    void* map = mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    uint8_t* const base = static_cast<uint8_t*>(map);
    ASSERT_EQ(mprotect(base + 2 * page, page, PROT_NONE), 0);
    uint8_t* const end = base + 2 * page;

    for (size_t n : {size_t(0), size_t(1), size_t(31), size_t(63), size_t(64), size_t(127),
                     size_t(128), size_t(1000), 2 * page}) {
        SCOPED_TRACE("length " + std::to_string(n));
        const std::vector<uint8_t> data = RandomBytes(n, uint32_t(n) + 11);
        uint8_t* const at = end - n;
        if (n != 0) std::memcpy(at, data.data(), n);
        for (size_t i = 0; i < kReportLineCount; ++i) {
            const ReportLine& line = kReportLines[i];
            SCOPED_TRACE(line.label);
            const std::string atEnd =
                ResultHex(line.engine(at, uint32_t(n), line.bits, line.passes), line.size);
            EXPECT_EQ(atEnd, DigestHex(line.engine, line.size, data, line.bits, line.passes));
        }
    }
    munmap(map, 3 * page);
}

#endif
