// Conversion between Windows-1252, the single-byte code page of every text
// inside the program, and UTF-8 (program constants in the sources, XML DOM).
// Pure functions without state; they never throw (except std::bad_alloc).
// Windows-1252 to UTF-8 maps all 256 byte values; the five bytes Windows-1252
// leaves undefined map to U+0081, U+008D, U+008F, U+0090 and U+009D, as
// Windows does, so the round trip is exact for every byte string.
#pragma once

#include <string>
#include <string_view>

// The byte that stands for a character Windows-1252 cannot represent.
inline constexpr char kWin1252Replacement = '?';

// Appends the UTF-8 form of the Windows-1252 text to out (out is not cleared,
// so a caller can reuse one buffer).
void AppendWin1252AsUtf8(std::string& out, std::string_view win1252);
std::string Win1252ToUtf8(std::string_view win1252);

// Windows-1252 form of a UTF-8 text. Every code point Windows-1252 lacks and
// every byte of a malformed sequence (truncated, overlong, surrogate, above
// U+10FFFF, stray continuation byte) becomes kWin1252Replacement. When
// lossless is given it is set to false if anything was replaced, else true.
std::string Utf8ToWin1252(std::string_view utf8, bool* lossless = nullptr);
