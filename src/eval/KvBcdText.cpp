#include "eval/KvBcdText.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "platform/RegionalSettings.h"

namespace {

constexpr size_t kExactMax = tBcdTextPlaces::kMaxSize;
// PutExact's fixed-size copies of kDigits stay within the text: the last
// one starts at most after a sign, 18 digits with 17 separators and the
// decimal separator.
static_assert(kExactMax >= 1 + (2 * tKvBcd::kDigits - 1) + 1 + tKvBcd::kDigits);

// The text of value with at least minFraction fraction digits, as tKvBcd
// writes it (compact: "." and no grouping), written to text, for the values
// that need no rounding to maxFraction places: normalised, at most 18
// integer digits. Returns the text's size, or 0 (a text is never empty)
// for any other value.
// REQUIRES: minFraction and maxFraction at most 18.
size_t PutExact(char (&text)[kExactMax], const tKvBcd& value, bool compact, int minFraction,
                int maxFraction) {
  assert(minFraction <= tKvBcd::kDigits && maxFraction <= tKvBcd::kDigits);
  // Copied first: the text's bytes could alias the settings.
  const auto& reg = platform::Regional();
  const char decimal = compact || reg.DecimalSeparator == '\0' ? '.' : reg.DecimalSeparator;
  const char thousands = reg.ThousandSeparator;
  const int grouping = reg.DigitGrouping;
  // 0.d1..d18 * 10^exponent, two digits a byte, d1 in the high nibble of
  // the last byte; the digits up to the last non-zero one, padded with '0'
  // so that kDigits bytes copied from any position up to kDigits are
  // digits or padding.
  // The byte of the last non-zero digit (10 when there is none), found by
  // a bit scan over bytes 1 to 8 (little-endian: byte 1 lowest).
  static_assert(std::endian::native == std::endian::little);
  uint64_t low;
  std::memcpy(&low, &value.Bytes[1], sizeof low);
  size_t first = low != 0 ? 1 + static_cast<size_t>(std::countr_zero(low)) / 8
                 : value.Bytes[9] != 0 ? 9
                                       : 10;
  char digits[2 * tKvBcd::kDigits];
  std::memset(digits, '0', sizeof digits);
  int significant = 0;
  for (size_t b = value.Bytes.size() - 1; b >= first; --b) {
    const int high = value.Bytes[b] >> 4;
    const int low = value.Bytes[b] & 0x0F;
    if (high > 9 || low > 9) return 0;
    digits[significant++] = static_cast<char>('0' + high);
    digits[significant++] = static_cast<char>('0' + low);
  }
  if (significant > 0 && digits[significant - 1] == '0') --significant;
  int exponent = value.Exponent() - tKvBcd::kBias;
  if (value.IsZero()) {
    significant = 0;
    exponent = 0;
    std::memset(digits, '0', tKvBcd::kDigits);
  } else if (significant == 0 || digits[0] == '0' || exponent > tKvBcd::kDigits ||
             exponent < -tKvBcd::kDigits) {
    return 0;
  }
  const int fraction = std::max(significant - exponent, 0);
  if (fraction > maxFraction) return 0;
  // Digits are copied kDigits at a time (fixed-size copies, done inline)
  // and the text's end set after them: text has room for the excess.
  char* p = text;
  if (value.IsNegative()) *p++ = '-';
  if (exponent <= 0) {
    *p++ = '0';
  } else if (compact || grouping <= 0 || thousands == '\0' || thousands == decimal ||
             exponent <= grouping) {
    std::memcpy(p, digits, tKvBcd::kDigits);
    p += exponent;
  } else {
    // A separator before every digit (but the first) that has a multiple of
    // grouping digits after it: counted down instead of divided.
    int untilGroup = exponent % grouping;
    if (untilGroup == 0) untilGroup = grouping;
    for (int i = 0; i < exponent; ++i) {
      if (untilGroup == 0) {
        *p++ = thousands;
        untilGroup = grouping;
      }
      *p++ = digits[i];
      --untilGroup;
    }
  }
  const int width = std::max(fraction, minFraction);
  if (width > 0) {
    *p++ = decimal;
    if (exponent >= 0) {
      std::memcpy(p, digits + exponent, tKvBcd::kDigits);
      p += width;
    } else {
      for (int at = exponent; at < exponent + width; ++at) *p++ = at >= 0 ? digits[at] : '0';
    }
  }
  return static_cast<size_t>(p - text);
}

// The exact text, or tKvBcd's own for any value PutExact leaves out,
// appended to out (a string or a byte line).
template <typename Out>
void AppendText(Out& out, const tKvBcd& value, bool compact) {
  char text[kExactMax];
  if (size_t size = PutExact(text, value, compact, 0, tKvBcd::kDigits); size != 0) {
    out.append(text, size);
  } else {
    out.append(tKvBcd::ToText(value, compact));
  }
}

}  // namespace

void AppendBcdText(std::string& out, const tKvBcd& value, bool compact) {
  AppendText(out, value, compact);
}

void AppendBcdText(tKvByteLine& out, const tKvBcd& value, bool compact) {
  AppendText(out, value, compact);
}

tBcdTextPlaces::tBcdTextPlaces(const tKvBcd& value, int places) {
  assert(places >= 0 && places <= tKvBcd::kDigits);
  size_ = PutExact(text_, value, false, places, places);
  if (size_ == 0) rounded_ = tKvBcd::ToTextPlaces(value, places);
}
