#include "gen/GenBinary.h"

#include <cassert>
#include <charconv>

namespace jgen {
namespace {

void PutByte(std::string& out, unsigned v) { out += static_cast<char>(static_cast<uint8_t>(v)); }

// Bytes needed for an item number in the long framing forms (1 to 4).
int NumberBytes(uint32_t n) {
  if (n <= 0xFF) return 1;
  if (n <= 0xFFFF) return 2;
  if (n <= 0xFFFFFF) return 3;
  return 4;
}

void PutFrame(std::string& out, uint32_t number, unsigned shortBase, unsigned longBase) {
  if (number <= 16) {
    PutByte(out, shortBase + number);
    return;
  }
  const int n = NumberBytes(number);
  PutByte(out, longBase + static_cast<unsigned>(n) - 1);
  for (int i = 0; i < n; ++i) PutByte(out, (number >> (8 * i)) & 0xFF);
}

}  // namespace

void PutLE32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) PutByte(out, (v >> (8 * i)) & 0xFF);
}

void PutInt(std::string& out, int64_t v) {
  assert(v >= INT32_MIN && v <= static_cast<int64_t>(UINT32_MAX));
  if (v >= 0 && v <= 16) {
    PutByte(out, static_cast<unsigned>(v) + 1);
  } else if (v > 16 && v <= 0xFF) {
    PutByte(out, 18);
    PutByte(out, static_cast<unsigned>(v));
  } else if (v > 0xFF && v <= 0xFFFF) {
    PutByte(out, 19);
    PutByte(out, v & 0xFF);
    PutByte(out, (v >> 8) & 0xFF);
  } else {
    PutByte(out, 21);
    PutLE32(out, static_cast<uint32_t>(v));
  }
}

// The 10-byte BCD real: byte 0 is sign (bit 7) and exponent biased by 63;
// bytes 9 down to 1 hold 18 packed digits, the most significant in byte 9's
// high nibble; value = 0.d1d2…d18 × 10^(exponent − 63). The element keeps
// byte 0 and the mantissa from its first non-zero byte up to byte 9.
void PutBcd(std::string& out, Decimal d) {
  if (d.Mantissa == 0) {
    PutByte(out, kIdBcdZero);
    return;
  }
  const bool negative = d.Mantissa < 0;
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(d.Mantissa) : static_cast<uint64_t>(d.Mantissa);
  char digits[24];
  const auto res = std::to_chars(digits, digits + sizeof digits, magnitude);
  int count = static_cast<int>(res.ptr - digits);
  const int exponent = count - d.Scale + 63;
  while (count > 0 && digits[count - 1] == '0') --count;
  assert(count <= 18 && exponent >= 1 && exponent <= 127);

  uint8_t bytes[10] = {};
  bytes[0] = static_cast<uint8_t>((negative ? 0x80 : 0) | exponent);
  for (int k = 0; k < count; ++k) {
    const auto nibble = static_cast<uint8_t>(digits[k] - '0');
    uint8_t& b = bytes[9 - k / 2];
    b = static_cast<uint8_t>(b | (k % 2 == 0 ? nibble << 4 : nibble));
  }
  int first = 1;
  while (first <= 9 && bytes[first] == 0) ++first;
  PutByte(out, 21 + 1 + (10 - first));
  PutByte(out, bytes[0]);
  for (int i = first; i <= 9; ++i) PutByte(out, bytes[i]);
}

void PutBcdFix(std::string& out, std::string_view digits) {
  assert(digits.size() <= 20);
  uint8_t bytes[10] = {};
  const size_t offset = 20 - digits.size();
  for (size_t i = 0; i < digits.size(); ++i) {
    const char c = digits[i];
    assert((c >= '0' && c <= '9') || c == '/');
    const auto nibble = static_cast<uint8_t>(c == '/' ? 15 : c - '0');
    const size_t pos = offset + i;
    uint8_t& b = bytes[pos / 2];
    b = static_cast<uint8_t>(b | (pos % 2 == 0 ? nibble << 4 : nibble));
  }
  int first = 0;
  while (first < 10 && bytes[first] == 0) ++first;
  PutByte(out, kIdBcdFixZero + static_cast<unsigned>(10 - first));
  for (int i = first; i < 10; ++i) PutByte(out, bytes[i]);
}

void PutText(std::string& out, std::string_view text) {
  assert(text.size() <= 0xFFFF);
  if (text.empty()) {
    PutByte(out, kIdStrEmpty);
    return;
  }
  if (text.size() <= 0xFF) {
    PutByte(out, kIdStr8);
    PutByte(out, static_cast<unsigned>(text.size()));
  } else {
    PutByte(out, kIdStr16);
    PutByte(out, text.size() & 0xFF);
    PutByte(out, (text.size() >> 8) & 0xFF);
  }
  out += text;
}

void PutTime(std::string& out, DateTime dt) {
  if (dt == 0) {
    PutByte(out, kIdTimeZero);
    return;
  }
  assert(dt >= 86400 && dt <= kLastDateTime);
  PutByte(out, kIdTime);
  PutLE32(out, static_cast<uint32_t>(dt + kUnixOffset));
}

void PutBinary(std::string& out, std::string_view bytes) {
  assert(bytes.size() <= 0xFFFF);
  if (bytes.empty()) {
    PutByte(out, kIdBinaryEmpty);
    return;
  }
  if (bytes.size() <= 0xFF) {
    PutByte(out, kIdBinary8);
    PutByte(out, static_cast<unsigned>(bytes.size()));
  } else {
    PutByte(out, kIdBinary16);
    PutByte(out, bytes.size() & 0xFF);
    PutByte(out, (bytes.size() >> 8) & 0xFF);
  }
  out += bytes;
}

void PutValue(std::string& out, const Value& v) {
  switch (v.Kind) {
    case ValueKind::Int: PutInt(out, v.Num); return;
    case ValueKind::Bcd: PutBcd(out, v.Dec); return;
    case ValueKind::BcdFix: PutBcdFix(out, v.Str); return;
    case ValueKind::Text: PutText(out, v.Str); return;
    case ValueKind::Time: PutTime(out, v.Num); return;
    case ValueKind::Binary: PutBinary(out, v.Str); return;
  }
}

void PutItem(std::string& out, uint32_t number) { PutFrame(out, number, 116, 133); }
void PutItemNoValue(std::string& out, uint32_t number) { PutFrame(out, number, 137, 154); }
void PutSubItem(std::string& out, uint32_t number) { PutFrame(out, number, 158, 175); }

}  // namespace jgen
