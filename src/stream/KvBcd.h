// tKvBcd: the journal's 10-byte decimal floating-point number (amounts,
// prices, quantities) and its decimal arithmetic, so that sums and texts
// give the digits the terminal printed. A plain value type without owned
// resources; operations raise EStBCDError (81 bad text, 82 exponent
// overflow) and never return a partial result. Underflow yields zero.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/KvErrors.h"

// Base of the arithmetic exceptions. Part of the EKvRoot family so that the
// single catch point of a run also reports a malformed amount.
class EStException : public EKvRoot {
 public:
  using EKvRoot::EKvRoot;
};

// A BCD operation failed; Code() is one of the codes below, the message is
// the code's text.
class EStBCDError : public EStException {
 public:
  static constexpr int32_t kBadFormat = 81;  //!< "Bad BCD format": text is not a number
  static constexpr int32_t kOverflow = 82;   //!< "BCD larger than 10**64": exponent above 127

  explicit EStBCDError(int32_t code);
  int32_t Code() const { return code_; }

  // The text of a BCD error code ("" for unknown codes).
  static const char* CodeText(int32_t code);

 private:
  int32_t code_;
};

// Stored form, ten bytes:
//   byte 0     bit 7 sign (set = negative), bits 0-6 exponent e biased by 63;
//              e = 0 means zero whatever the other bytes hold
//   bytes 1-9  18 packed digits d1..d18, least significant byte first:
//              byte 9 = d1 (high nibble) d2 (low nibble), byte 1 = d17 d18
// value = 0.d1d2..d18 * 10^(e - 63); non-zero values keep d1 != 0.
// Example: 100 is 0x42, eight bytes 0x00, 0x10.
// Intentionally copyable; trivially copyable, so it can sit in fixed records.
struct tKvBcd {
  static constexpr int kDigits = 18;
  static constexpr int kBias = 63;
  static constexpr int kMaxExponent = 127;

  std::array<uint8_t, 10> Bytes{};

  // Biased exponent (bits 0-6 of byte 0).
  constexpr int Exponent() const { return Bytes[0] & 0x7F; }
  constexpr bool IsNegative() const { return (Bytes[0] & 0x80) != 0 && Exponent() != 0; }
  // Zero is every value whose exponent is 0 (a stray sign bit included).
  constexpr bool IsZero() const { return Exponent() == 0; }

  // The value with its sign inverted (zero stays zero).
  tKvBcd Negated() const;

  // Text, as an element renders it. compact: plain decimal with "." and at
  // most 50 fractional digits, trailing zeros and a trailing "." removed
  // ("12.5", "3", "-0.05"). long: the compact text with the regional decimal
  // separator ("." when none is set) and the integer digits grouped by the
  // regional thousands separator and grouping (none when that separator is
  // unset or equals the decimal one).
  std::string Text(bool compact) const { return ToText(*this, compact); }
  // The normalised mantissa digits d1..d18 as characters '0'-'9' and the
  // decimal exponent x, so that |value| = 0.d1d2..d18 * 10^x; d1 is not '0'
  // unless the value is zero (then every digit is '0' and x is 0). Returns
  // the number of digits up to the last one that is not '0' (0 for zero).
  int Decompose(char (&digits)[kDigits], int& exponent10) const;
  // The decimal digits of |value| * 10^scale rounded half away from zero to
  // an integer, with '0's in front up to minDigits digits (zero gives
  // minDigits '0's); returns their count. The sign is the caller's.
  // REQUIRES: scale >= 0, minDigits >= 0; out holds
  // max(minDigits, kMaxExponent - kBias + scale) + 1 characters.
  int PutRoundedDigits(char* out, int scale, int minDigits) const;

  // --- The arithmetic; a and b are never changed. ---
  static bool IsZero(const tKvBcd& a) { return a.IsZero(); }
  // Negative, 0 or positive as a <, =, > b (numeric order).
  static int Compare(const tKvBcd& a, const tKvBcd& b);
  static tKvBcd Add(const tKvBcd& a, const tKvBcd& b);
  static tKvBcd Subtract(const tKvBcd& a, const tKvBcd& b);
  static tKvBcd Multiply(const tKvBcd& a, const tKvBcd& b);
  // Blanks, optional sign, digits, optional "." and fraction, optional
  // exponent "E"/"e" with optional sign and digits. "." is the separator
  // regardless of the regional settings. At most 18 significant digits are
  // kept; the 19th rounds half up. Raises EStBCDError 81 or 82.
  static tKvBcd FromText(std::string_view text);
  // The converter for program constants: optional "-", integer digits, a
  // mandatory ".", fraction digits ("12.50", "-0.5"). Raises EStBCDError 81.
  static tKvBcd FromTextPlain(std::string_view text);
  static tKvBcd FromInteger(int64_t value);
  static std::string ToText(const tKvBcd& a, bool compact);
  // ToText appended to out, without allocating when out has room.
  static void AppendText(std::string& out, const tKvBcd& a, bool compact);
  // Longest text: sign, 64 integer digits with 21 separators, the decimal
  // separator and 50 fraction digits.
  static constexpr size_t kMaxTextLength = 1 + 64 + 21 + 1 + 50;
  // ToText written to out; returns its length.
  static size_t PutText(char* out, const tKvBcd& a, bool compact);
  // The long text with exactly places fraction digits (0 to 50): rounded
  // half away from zero on the first dropped digit, zeros appended.
  static std::string ToTextPlaces(const tKvBcd& a, int places);
  // Nearest binary floating-point value.
  static long double ToFloat(const tKvBcd& a);

  // Convenience operators over the operations above.
  friend bool operator==(const tKvBcd& a, const tKvBcd& b) { return Compare(a, b) == 0; }
  friend std::strong_ordering operator<=>(const tKvBcd& a, const tKvBcd& b) {
    return Compare(a, b) <=> 0;
  }
  friend tKvBcd operator+(const tKvBcd& a, const tKvBcd& b) { return Add(a, b); }
  friend tKvBcd operator-(const tKvBcd& a, const tKvBcd& b) { return Subtract(a, b); }
  friend tKvBcd operator*(const tKvBcd& a, const tKvBcd& b) { return Multiply(a, b); }
  tKvBcd& operator+=(const tKvBcd& b) { return *this = Add(*this, b); }
  tKvBcd& operator-=(const tKvBcd& b) { return *this = Subtract(*this, b); }
};
