#include "base/KvCodepage.h"

#include <array>
#include <cstdint>

namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of Windows-1252 is Latin-1.
// The five undefined bytes keep their own value, as Windows maps them.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t CodePointOf(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHigh[byte - 0x80] : byte;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    // Windows-1252 reaches no further than U+2122.
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// The Windows-1252 byte of a code point, or -1 when it has none.
int Win1252Of(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == cp) return 0x80 + i;
  }
  return -1;
}

// One UTF-8 sequence starting at text[pos]: its code point and length, or
// a length of the maximal ill-formed prefix and Ok false. The range of the
// second byte rules out overlong forms, surrogates and values above U+10FFFF.
struct Decoded {
  char32_t CodePoint = 0;
  size_t Length = 1;
  bool Ok = false;
};

Decoded DecodeOne(std::string_view text, size_t pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  Decoded result;
  if (lead < 0x80) return {lead, 1, true};
  int need;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
    result.CodePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    result.CodePoint = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    result.CodePoint = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return result;  // stray continuation byte, C0, C1 or F5 to FF
  }
  for (int k = 1; k <= need; ++k) {
    if (pos + k >= text.size()) {
      result.Length = k;
      return result;
    }
    const unsigned char next = byte(pos + k);
    if (next < low || next > high) {
      result.Length = k;
      return result;
    }
    low = 0x80;
    high = 0xBF;
    result.CodePoint = (result.CodePoint << 6) | (next & 0x3F);
  }
  result.Length = need + 1;
  result.Ok = true;
  return result;
}

}  // namespace

void AppendWin1252AsUtf8(std::string& out, std::string_view win1252) {
  for (char c : win1252) AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
}

std::string Win1252ToUtf8(std::string_view win1252) {
  std::string out;
  out.reserve(win1252.size());
  AppendWin1252AsUtf8(out, win1252);
  return out;
}

std::string Utf8ToWin1252(std::string_view utf8, bool* lossless) {
  std::string out;
  out.reserve(utf8.size());
  bool exact = true;
  for (size_t pos = 0; pos < utf8.size();) {
    const Decoded d = DecodeOne(utf8, pos);
    pos += d.Length;
    const int byte = d.Ok ? Win1252Of(d.CodePoint) : -1;
    if (byte < 0) {
      out.push_back(kWin1252Replacement);
      exact = false;
    } else {
      out.push_back(static_cast<char>(byte));
    }
  }
  if (lossless != nullptr) *lossless = exact;
  return out;
}
