// The streaming form of every engine of the suite (see StreamingEngine in digest_types.h),
// each over its engine's own context type, seeded with the published initial value.  The
// HAVAL and Snefru forms take their output bits and passes at init and refuse what their
// one-shot entries refuse; every other form ignores them.  Each family's unit defines its
// forms beside its engine (stream_adapters.h).
#ifndef KORVADEX_DIGESTS_STREAMING_ENGINES_H
#define KORVADEX_DIGESTS_STREAMING_ENGINES_H

#include "digest_types.h"

extern const StreamingEngine kAdler32Stream;
extern const StreamingEngine kCrc16Stream;
extern const StreamingEngine kCrc16CcittStream;
extern const StreamingEngine kCrc32Stream;
extern const StreamingEngine kCrc32bStream;
extern const StreamingEngine kGostStream;
extern const StreamingEngine kHavalStream;
extern const StreamingEngine kMd2Stream;
extern const StreamingEngine kMd4Stream;
extern const StreamingEngine kMd5Stream;
extern const StreamingEngine kPanamaStream;
extern const StreamingEngine kRipemd128Stream;
extern const StreamingEngine kRipemd160Stream;
extern const StreamingEngine kRipemd256Stream;
extern const StreamingEngine kRipemd320Stream;
extern const StreamingEngine kSha0Stream;
extern const StreamingEngine kSha1Stream;
extern const StreamingEngine kSha256Stream;
extern const StreamingEngine kSha384Stream;
extern const StreamingEngine kSha512Stream;
extern const StreamingEngine kSnefruStream;
extern const StreamingEngine kTigerStream;
extern const StreamingEngine kWhirlpoolStream;

#endif
