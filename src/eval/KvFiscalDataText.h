// Small text primitives shared by the two journal text inputs (the native
// export text and the ASCII interface file): blanks, trimming, the two ways
// of reading a decimal integer, and hexadecimal digits (a 256-entry table and
// the decoder of digit pairs). Pure functions on string views; nothing
// allocates or throws.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kv_text {

// A blank is a space or any control byte (what trimming removes).
constexpr bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

constexpr std::string_view TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return s.substr(i);
}

constexpr std::string_view TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return s.substr(0, n);
}

inline std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

// The number of blanks s starts with, as TrimLeft counts them, looked at
// eight bytes at a time: for the indentation of the native text's lines.
inline size_t LeadingBlanks(std::string_view s) {
  constexpr uint64_t kEach = 0x0101010101010101;
  size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, s.data() + i, sizeof word);
    // Bit 7 of a byte set when the byte is above 0x20: its low seven bits
    // plus 0x5F carry into bit 7 from 0x21 on, and bytes from 0x80 have it.
    const uint64_t above = (((word & (0x7F * kEach)) + 0x5F * kEach) | word) & (0x80 * kEach);
    static_assert(std::endian::native == std::endian::little);
    if (above != 0) return i + static_cast<size_t>(std::countr_zero(above)) / 8;
  }
  while (i < s.size() && IsBlank(s[i])) ++i;
  return i;
}

// The lenient integer of the text inputs: an optional sign and the decimal
// digits up to the first other character (or up to the digit that would
// overflow 64 bits); no digit at all gives 0. "12ab" is 12, "x1" is 0.
constexpr int64_t ParseIntLenient(std::string_view s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  uint64_t value = 0;
  for (; i < s.size(); ++i) {
    const unsigned digit = static_cast<unsigned char>(s[i]) - static_cast<unsigned>('0');
    if (digit > 9) break;
    if (value > (limit - digit) / 10) break;
    value = value * 10 + digit;
  }
  return negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
}

// The low 32 bits of the lenient integer, for 32-bit fields.
constexpr int32_t ParseInt32Lenient(std::string_view s) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ParseIntLenient(s))));
}

// A strict 32-bit integer: blanks around it, an optional sign and at least
// one digit, nothing else, within range. False leaves value unchanged.
inline bool ParseInt32Strict(std::string_view s, int32_t& value) {
  s = Trim(s);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  if (i == s.size()) return false;
  const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    const unsigned digit = static_cast<unsigned char>(s[i]) - static_cast<unsigned>('0');
    if (digit > 9) return false;
    v = v * 10 + digit;
    if (v > limit) return false;
  }
  value = static_cast<int32_t>(negative ? -v : v);
  return true;
}

// Value of a hexadecimal digit (either case), kNoHex for any other byte.
inline constexpr uint8_t kNoHex = 0xFF;
inline constexpr std::array<uint8_t, 256> kHexValue = [] {
  std::array<uint8_t, 256> table{};
  for (auto& v : table) v = kNoHex;
  for (int c = 0; c < 10; ++c) table['0' + c] = static_cast<uint8_t>(c);
  for (int c = 0; c < 6; ++c) {
    table['A' + c] = static_cast<uint8_t>(10 + c);
    table['a' + c] = static_cast<uint8_t>(10 + c);
  }
  return table;
}();

// Decodes size / 2 digit pairs of hex into out (which must hold size / 2
// bytes); a last odd digit is ignored. Returns the index of the first byte
// of hex that is not a hexadecimal digit, or hex.size() when all are.
// On failure the contents of out are unspecified. Uses the widest vector
// instructions the processor offers (KvFiscalDataText.cpp).
size_t DecodeHexPairs(std::string_view hex, uint8_t* out);

namespace detail {
// The ways DecodeHexPairs decodes, each with its result; for the tests.
// DecodeHexPairsWide is only called when the processor has AVX2.
size_t DecodeHexPairsNarrow(std::string_view hex, uint8_t* out);
size_t DecodeHexPairsWide(std::string_view hex, uint8_t* out);
bool HasWideDecoder();
}  // namespace detail

}  // namespace kv_text
