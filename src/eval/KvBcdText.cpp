#include "eval/KvBcdText.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "platform/RegionalSettings.h"

namespace {

constexpr size_t kExactMax = tBcdTextPlaces::kMaxSize;

// The text of value with at least minFraction fraction digits, as tKvBcd
// writes it (compact: "." and no grouping), written to text, for the values
// that need no rounding to maxFraction places: normalised, at most 18
// integer digits. Returns the text's size, or 0 (a text is never empty)
// for any other value.
// REQUIRES: minFraction and maxFraction at most 18.
size_t PutExact(char (&text)[kExactMax], const tKvBcd& value, bool compact, int minFraction,
                int maxFraction) {
  assert(minFraction <= tKvBcd::kDigits && maxFraction <= tKvBcd::kDigits);
  const auto& reg = platform::Regional();
  const char decimal = compact || reg.DecimalSeparator == '\0' ? '.' : reg.DecimalSeparator;
  // 0.d1..d18 * 10^exponent, two digits a byte, d1 in the high nibble of
  // the last byte; the digits up to the last non-zero one.
  // The byte of the last non-zero digit (10 when there is none), found by
  // a bit scan over bytes 1 to 8 (little-endian: byte 1 lowest).
  static_assert(std::endian::native == std::endian::little);
  uint64_t low;
  std::memcpy(&low, &value.Bytes[1], sizeof low);
  size_t first = low != 0 ? 1 + static_cast<size_t>(std::countr_zero(low)) / 8
                 : value.Bytes[9] != 0 ? 9
                                       : 10;
  char digits[tKvBcd::kDigits];
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
  } else if (significant == 0 || digits[0] == '0' || exponent > tKvBcd::kDigits ||
             exponent < -tKvBcd::kDigits) {
    return 0;
  }
  const int fraction = std::max(significant - exponent, 0);
  if (fraction > maxFraction) return 0;
  char* p = text;
  if (value.IsNegative()) *p++ = '-';
  if (exponent <= 0) {
    *p++ = '0';
  } else {
    const bool group = !compact && reg.DigitGrouping > 0 && reg.ThousandSeparator != '\0' &&
                       reg.ThousandSeparator != decimal;
    // A separator before every digit (but the first) that has a multiple of
    // DigitGrouping digits after it: counted down instead of divided.
    int untilGroup = group ? exponent % reg.DigitGrouping : -1;
    if (untilGroup == 0) untilGroup = reg.DigitGrouping;
    for (int i = 0; i < exponent; ++i) {
      if (untilGroup == 0) {
        *p++ = reg.ThousandSeparator;
        untilGroup = reg.DigitGrouping;
      }
      *p++ = i < significant ? digits[i] : '0';
      if (untilGroup > 0) --untilGroup;
    }
  }
  const int width = std::max(fraction, minFraction);
  if (width > 0) {
    *p++ = decimal;
    for (int i = 0; i < width; ++i) {
      const int at = exponent + i;
      *p++ = at >= 0 && at < significant ? digits[at] : '0';
    }
  }
  return static_cast<size_t>(p - text);
}

}  // namespace

void AppendBcdText(std::string& out, const tKvBcd& value, bool compact) {
  char text[kExactMax];
  if (size_t size = PutExact(text, value, compact, 0, tKvBcd::kDigits); size != 0) {
    out.append(text, size);
  } else {
    tKvBcd::AppendText(out, value, compact);
  }
}

tBcdTextPlaces::tBcdTextPlaces(const tKvBcd& value, int places) {
  assert(places >= 0 && places <= tKvBcd::kDigits);
  size_ = PutExact(text_, value, false, places, places);
  if (size_ == 0) rounded_ = tKvBcd::ToTextPlaces(value, places);
}
