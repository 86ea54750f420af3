// The code pages a table may be written in, as the check needs them: where
// a text holds bytes its code page does not define, its length in
// characters, and its UTF-8 form (for excerpts and for comparing keys across
// tables). Single-byte pages: Windows-1252 (ANSI, five bytes undefined),
// CP850 (OEM) and Mac Roman (Macintosh) define every other byte. UTF-16 and
// UTF-7 are not decoded here (the table check reports such tables as
// unreadable). Pure functions; the decoding tables are built once on first
// use and only read after that, so any thread may call them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "check/ExportIndex.h"

namespace check {

// True for the encodings these functions handle.
bool IsDecodable(tEncoding encoding);

// True when every byte of text is below 0x80 (defined the same in every
// page handled here); eight bytes at a time.
bool IsAscii(std::string_view text);

// Offset of the first byte of text that encoding does not define (for
// UTF-8: the first byte of a malformed, overlong, surrogate or out-of-range
// sequence), or std::string_view::npos when all of it decodes.
size_t FindUndefined(tEncoding encoding, std::string_view text);

// Characters in text (UTF-8: lead bytes; single-byte pages: bytes).
size_t CharacterCount(tEncoding encoding, std::string_view text);

// Appends the UTF-8 form of text to out. Undefined bytes: Windows-1252's
// five map as Windows does (U+0081 ...), malformed UTF-8 bytes become U+FFFD.
void AppendUtf8(tEncoding encoding, std::string_view text, std::string& out);

// The text in encoding of a UTF-8 text (a declared delimiter, column name or
// map value); nullopt when encoding cannot represent it.
std::optional<std::string> FromUtf8(tEncoding encoding, std::string_view utf8);

}  // namespace check
