// HMAC (RFC 2104) over any engine of the suite, known only through its DigestFn and
// SizeWord: B = BlockLength(size) is the HMAC block size, D = DigestLength(size) the
// digest length.  Checksum results (D <= 4) take part as their low D bytes, most
// significant first.
#ifndef KORVADEX_DIGESTS_HMAC_H
#define KORVADEX_DIGESTS_HMAC_H

#include <cstddef>

#include "digest_types.h"

enum class HmacStatus {
    kOk,
    kEngineRefused,   // the engine returned a null result (parameters out of range)
    kOutOfMemory,     // a scratch block could not be allocated
    kMessageTooLong,  // B + message length does not fit the engines' 32-bit length
    kSizeOutOfRange,  // D above kMaxDigestLength: no result of that length can be held
};

// The result has the form of the engine's own DigestFn result (a value when D <= 4,
// otherwise the address of the engine's digest buffer).  When *status is not kOk the
// result is 0 and means nothing: 0 is also a valid checksum, so the status is the only
// sign of failure.  bits and passes go to every engine call.
DigestResult HmacDigest(DigestFn engine, SizeWord size, const uint8_t* message,
                        uint32_t messageLength, const uint8_t* key, uint32_t keyLength,
                        uint32_t bits, uint32_t passes, HmacStatus* status);

// The allocator of the three scratch blocks (zero-filled, like calloc of n bytes).
// Tests replace it to make an allocation fail; the default is calloc.
using HmacAllocFn = void* (*)(size_t n);
extern HmacAllocFn gHmacAlloc;

// The keyed digest over an engine's streaming form, for a message given in pieces of any
// size and length: the inner hash takes the pieces as they come, nothing of the message is
// copied.  The caller owns the context: HmacStreamContextSize(engine) bytes, aligned as
// kStreamContextAlign.  It holds the engine's own context, used in turn for a key longer
// than B (digested through the same engine), the inner hash and the outer one.
//
// HmacStreamInit begins a message under key (bits and passes go to every init of the
// engine) and returns false when the engine refuses them, or when B is above kMaxBlockLength
// or D above kMaxDigestLength (the pads and the inner digest are held in the context);
// HmacStreamUpdate takes the next piece; HmacStreamFinal writes the D bytes of the result, in print
// order (a checksum's value most significant byte first), and wipes the pads.  The results equal
// HmacDigest's.
size_t HmacStreamContextSize(const StreamingEngine& engine);
bool HmacStreamInit(void* context, const StreamingEngine& engine, SizeWord size, const uint8_t* key,
                    size_t keyLength, uint32_t bits, uint32_t passes);
void HmacStreamUpdate(void* context, const uint8_t* data, size_t length);
void HmacStreamFinal(void* context, uint8_t* digest);

#endif
