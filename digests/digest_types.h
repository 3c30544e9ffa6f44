// Conventions shared by every engine of the digest suite.
//
// Every engine has one one-shot entry of type DigestFn.  Its result takes one of two
// forms, told apart by the digest length in the engine's SizeWord alone:
//   - digest length above 4 bytes: the address of the engine's static digest buffer,
//     valid until the next call of any entry of the same engine;
//   - digest length of 4 bytes or less (the checksums): the checksum value itself, whose
//     low digest-length bytes, most significant first, are the digest.
// A null address is a refusal (parameters out of range); checksums never refuse.
#ifndef KORVADEX_DIGESTS_DIGEST_TYPES_H
#define KORVADEX_DIGESTS_DIGEST_TYPES_H

#include <cstddef>
#include <cstdint>

// One machine word: a checksum value or the address of a digest buffer.
using DigestResult = uintptr_t;

// data and length are the message (length 0 never reads data); bits and passes are the
// parameters of HAVAL and Snefru and are ignored by every other engine.  One signature
// for all engines, so that each is called through the type it was defined with.
using DigestFn = DigestResult (*)(const uint8_t* data, uint32_t length, uint32_t bits,
                                  uint32_t passes);

// (block length in bytes << 16) | digest length in bytes.
using SizeWord = uint32_t;

constexpr SizeWord MakeSizeWord(uint32_t blockLength, uint32_t digestLength) {
    return (blockLength << 16) | digestLength;
}
constexpr uint32_t BlockLength(SizeWord size) {
    return size >> 16;
}
constexpr uint32_t DigestLength(SizeWord size) {
    return size & 0xFFFF;
}

// The longest digest of the suite (SHA-512, Whirlpool) and the longest block (HAVAL,
// SHA-384, SHA-512).
constexpr size_t kMaxDigestLength = 64;
constexpr size_t kMaxBlockLength = 128;

// Writes the digest bytes of a result in print order into out (DigestLength(size)
// bytes): the value's low bytes, most significant first, or a copy of the buffer.  The
// result must not be a refusal.  A digest length above kMaxDigestLength is refused: nothing
// is written, since callers size out as kMaxDigestLength bytes.
void ResultBytes(DigestResult result, SizeWord size, uint8_t* out);

inline DigestResult DigestAddress(const void* digest) {
    return reinterpret_cast<DigestResult>(digest);
}

// The streaming form of an engine, for callers that run any number of computations side by
// side (all fifteen HAVAL lines over the same piece of a file, say) and take a message in
// pieces of any size.  The caller owns the context: contextSize bytes, aligned as
// kStreamContextAlign.  init seeds it for a new message and returns false when bits or
// passes are out of range (HAVAL, Snefru); update takes in the next piece (length 0 never
// reads data); final pads, finishes and writes the DigestLength bytes of the digest, in print
// order, to digest.  After final the context holds nothing that can be continued.
struct StreamingEngine {
    size_t contextSize;
    bool (*init)(void* context, uint32_t bits, uint32_t passes);
    void (*update)(void* context, const uint8_t* data, size_t length);
    void (*final)(void* context, uint8_t* digest);
    // The name of the way this processor compresses: the row of the engine's path table
    // (compress_paths.h) it runs, "portable" for an engine with one compression.
    const char* (*path)() = nullptr;
};

constexpr size_t kStreamContextAlign = 64;

#endif
