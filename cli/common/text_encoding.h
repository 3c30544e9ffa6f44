// Byte strings in text: whether they are UTF-8, and base64 (RFC 4648) for those that are not.
#ifndef KORVADEX_CLI_TEXT_ENCODING_H
#define KORVADEX_CLI_TEXT_ENCODING_H

#include <cstddef>
#include <string>

// The length of the UTF-8 character at text[at], or 0 when the bytes there are not one (a
// stray continuation byte, an overlong or surrogate form, a character past U+10FFFF, or
// the text's end in the middle).
size_t Utf8Length(const std::string& text, size_t at);

// Whether text is UTF-8 throughout (RFC 3629: no overlong forms, no surrogates).
bool IsUtf8(const std::string& text);

// bytes in base64 with the standard alphabet and '=' padding.
std::string Base64Encode(const std::string& bytes);

// Decodes base64 as Base64Encode writes it (padding required, no blanks).  False for any
// other text.
bool Base64Decode(const std::string& text, std::string& bytes);

#endif
