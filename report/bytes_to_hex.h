#ifndef KORVADEX_REPORT_BYTES_TO_HEX_H
#define KORVADEX_REPORT_BYTES_TO_HEX_H

#include "digest_types.h"

// Renders a DigestFn result as hex text.  n = DigestLength(size): for n <= 4, data is the
// value and its low n bytes are written most significant first; otherwise data is the
// address of n digest bytes, written first to last.  Two characters per byte, high nibble
// first, 'A'-'F' when upper is non-zero, 'a'-'f' otherwise; then a NUL.  out must hold
// 2n + 1 bytes.  A length above kMaxDigestLength, which no engine has, gives an empty text.
void BytesToHex(DigestResult data, SizeWord size, char* out, int upper);

#endif
