#include "kernels.h"

#ifdef KORVADEX_X86_KERNELS

#include "sha1_sha_ext_rounds.h"

[[gnu::target("sha,sse4.1")]] void Sha1CompressShaExt(uint32_t (&state)[5], const uint8_t* data,
                                                      size_t blocks) {
    Compress<false>(state, data, blocks);
}

#endif
