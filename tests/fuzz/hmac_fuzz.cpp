// Fuzz target: HmacDigest over every report line equals RFC 2104 built here from the
// line's own one-shot engine, for fuzzer-chosen keys and messages.
//
// Input: byte 0 picks the line, byte 1 and 2 give the key length (little-endian), then
// the key, then the message.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hmac.h"
#include "report_lines.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes OneShot(const ReportLine& line, const Bytes& m) {
    static const uint8_t kNone[1] = {0};
    DigestResult r =
        line.engine(m.empty() ? kNone : m.data(), uint32_t(m.size()), line.bits, line.passes);
    Bytes out(DigestLength(line.size));
    ResultBytes(r, line.size, out.data());
    return out;
}

Bytes Rfc2104(const ReportLine& line, Bytes key, const Bytes& message) {
    const size_t b = BlockLength(line.size);
    if (key.size() > b) key = OneShot(line, key);
    key.resize(b, 0);
    Bytes inner(key), outer(key);
    for (auto& x : inner) x ^= 0x36;
    for (auto& x : outer) x ^= 0x5C;
    inner.insert(inner.end(), message.begin(), message.end());
    Bytes innerDigest = OneShot(line, inner);
    outer.insert(outer.end(), innerDigest.begin(), innerDigest.end());
    return OneShot(line, outer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3 || kReportLineCount == 0) return 0;
    const ReportLine& line = kReportLines[data[0] % kReportLineCount];
    size_t keyLength = std::min<size_t>(data[1] | data[2] << 8, size - 3);
    Bytes key(data + 3, data + 3 + keyLength);
    Bytes message(data + 3 + keyLength, data + size);

    Bytes expected = Rfc2104(line, key, message);
    static const uint8_t kNone[1] = {0};
    HmacStatus status;
    DigestResult r = HmacDigest(line.engine, line.size, message.empty() ? kNone : message.data(),
                                uint32_t(message.size()), key.empty() ? kNone : key.data(),
                                uint32_t(key.size()), line.bits, line.passes, &status);
    if (status != HmacStatus::kOk) std::abort();
    Bytes got(DigestLength(line.size));
    ResultBytes(r, line.size, got.data());
    if (got != expected) std::abort();
    return 0;
}
