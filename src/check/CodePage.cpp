#include "check/CodePage.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "base/KvCodepage.h"

namespace check {

namespace {

using tHighHalf = std::array<std::string, 128>;  // UTF-8 of the bytes 0x80..0xFF

// Decodes the upper half of a single-byte page through the C library's
// converter; a byte it cannot convert stays U+FFFD (never happens for the
// pages asked for, which define every byte).
tHighHalf BuildHighHalf(const char* iconvName) {
  tHighHalf half;
  half.fill("\xEF\xBF\xBD");
  const iconv_t cd = iconv_open("UTF-8", iconvName);
  if (cd == reinterpret_cast<iconv_t>(-1)) return half;
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    char in = static_cast<char>(byte);
    char out[8];
    char* inPtr = &in;
    char* outPtr = out;
    size_t inLeft = 1;
    size_t outLeft = sizeof out;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) {
      half[byte - 0x80].assign(out, outPtr);
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return half;
}

const tHighHalf& HighHalf(tEncoding encoding) {
  static const tHighHalf oem = BuildHighHalf("CP850");
  static const tHighHalf mac = BuildHighHalf("MACINTOSH");
  return encoding == tEncoding::kOem ? oem : mac;
}

bool IsUndefinedAnsi(unsigned char byte) {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

// Length of the well-formed UTF-8 sequence at text[pos], 0 when malformed.
size_t Utf8SequenceLength(std::string_view text, size_t pos) {
  const auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = at(pos);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() - pos < length) return 0;
  if (at(pos + 1) < low || at(pos + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if ((at(pos + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Offset of the first byte at or after pos that is not ASCII; eight at a time.
size_t SkipAscii(std::string_view text, size_t pos) {
  while (pos + 8 <= text.size()) {
    uint64_t word;
    std::memcpy(&word, text.data() + pos, 8);
    if (word & 0x8080808080808080ULL) break;
    pos += 8;
  }
  while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80) ++pos;
  return pos;
}

}  // namespace

bool IsAscii(std::string_view text) { return SkipAscii(text, 0) == text.size(); }

bool IsDecodable(tEncoding encoding) {
  return encoding == tEncoding::kAnsi || encoding == tEncoding::kOem ||
         encoding == tEncoding::kMacintosh || encoding == tEncoding::kUtf8;
}

size_t FindUndefined(tEncoding encoding, std::string_view text) {
  if (encoding == tEncoding::kAnsi) {
    for (size_t i = SkipAscii(text, 0); i < text.size(); ++i) {
      if (IsUndefinedAnsi(static_cast<unsigned char>(text[i]))) [[unlikely]]
        return i;
    }
    return std::string_view::npos;
  }
  if (encoding != tEncoding::kUtf8) return std::string_view::npos;
  for (size_t pos = SkipAscii(text, 0); pos < text.size(); pos = SkipAscii(text, pos)) {
    const size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) return pos;
    pos += length;
  }
  return std::string_view::npos;
}

size_t CharacterCount(tEncoding encoding, std::string_view text) {
  if (encoding != tEncoding::kUtf8) return text.size();
  size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

void AppendUtf8(tEncoding encoding, std::string_view text, std::string& out) {
  switch (encoding) {
    case tEncoding::kAnsi:
      AppendWin1252AsUtf8(out, text);
      return;
    case tEncoding::kOem:
    case tEncoding::kMacintosh: {
      const tHighHalf& half = HighHalf(encoding);
      for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
          out += c;
        } else {
          out += half[byte - 0x80];
        }
      }
      return;
    }
    default:
      for (size_t pos = 0; pos < text.size();) {
        const size_t length = Utf8SequenceLength(text, pos);
        if (length == 0) {
          out += "\xEF\xBF\xBD";
          ++pos;
        } else {
          out.append(text.substr(pos, length));
          pos += length;
        }
      }
      return;
  }
}

std::optional<std::string> FromUtf8(tEncoding encoding, std::string_view utf8) {
  if (IsAscii(utf8) || encoding == tEncoding::kUtf8) return std::string(utf8);
  if (encoding == tEncoding::kAnsi) {
    bool lossless = false;
    std::string text = Utf8ToWin1252(utf8, &lossless);
    if (lossless) return text;
    return std::nullopt;
  }
  if (encoding != tEncoding::kOem && encoding != tEncoding::kMacintosh) return std::nullopt;
  // Greedy match against the decoded upper half: every character is one byte.
  const tHighHalf& half = HighHalf(encoding);
  std::string text;
  for (size_t pos = 0; pos < utf8.size();) {
    if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
      text += utf8[pos++];
      continue;
    }
    size_t found = half.size();
    for (size_t i = 0; i < half.size(); ++i) {
      if (utf8.substr(pos).starts_with(half[i])) {
        found = i;
        break;
      }
    }
    if (found == half.size()) return std::nullopt;
    text += static_cast<char>(0x80 + found);
    pos += half[found].size();
  }
  return text;
}

}  // namespace check
