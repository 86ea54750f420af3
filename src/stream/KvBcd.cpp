#include "stream/KvBcd.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <system_error>

#include "platform/RegionalSettings.h"

// Every operation unpacks its operands into a working form (sign, exponent,
// 20 digit positions), computes there and packs the result:
//   position 0      guard digit
//   positions 1-18  the 18 digits, 1 least significant, 18 = d1
//   position 19     carry
// Byte i (1..9) holds position 2i - 1 in its low and 2i in its high nibble.

namespace {

constexpr int kPositions = 20;

struct Work {
  bool Negative = false;
  int Exponent = 0;
  uint8_t Digits[kPositions] = {};
};

[[noreturn]] void Fail(int32_t code) { throw EStBCDError(code); }

void SetZero(Work& w) {
  w.Negative = false;
  w.Exponent = 0;
  std::memset(w.Digits, 0, sizeof w.Digits);
}

// Moves the highest non-zero digit to position 18, lowering the exponent;
// a value that cannot be normalised (no digit, or the exponent would drop
// to 0 or below) becomes zero.
void Normalise(Work& w) {
  int p = 18;
  while (p >= 0 && w.Digits[p] == 0) --p;
  if (p < 0) {
    SetZero(w);
    return;
  }
  const int s = 18 - p;
  if (s == 0) return;
  if (s >= w.Exponent) {
    SetZero(w);
    return;
  }
  w.Exponent -= s;
  for (int i = 18; i >= 0; --i) w.Digits[i] = i - s >= 0 ? w.Digits[i - s] : 0;
}

// Zero (e = 0) unpacks as positive zero; non-zero values are normalised so
// that hand-made or foreign unnormalised values compute correctly too.
Work Unpack(const tKvBcd& a) {
  Work w;
  w.Exponent = a.Exponent();
  if (w.Exponent == 0) return w;
  w.Negative = (a.Bytes[0] & 0x80) != 0;
  for (int i = 1; i <= 9; ++i) {
    w.Digits[2 * i - 1] = a.Bytes[i] & 0x0F;
    w.Digits[2 * i] = a.Bytes[i] >> 4;
  }
  Normalise(w);
  return w;
}

tKvBcd Pack(const Work& w) {
  tKvBcd r;
  if (w.Exponent <= 0) return r;
  r.Bytes[0] = static_cast<uint8_t>(w.Exponent | (w.Negative ? 0x80 : 0));
  for (int i = 1; i <= 9; ++i) {
    r.Bytes[i] = static_cast<uint8_t>((w.Digits[2 * i] << 4) | w.Digits[2 * i - 1]);
  }
  return r;
}

// Adds 1 at position k and carries upward through position 19.
void Increment(Work& w, int k) {
  for (int i = k; i < kPositions; ++i) {
    if (w.Digits[i] < 9) {
      ++w.Digits[i];
      return;
    }
    w.Digits[i] = 0;
  }
}

// Rounds half away from zero at position k (0..18): the digit at k decides,
// positions 1..k are cleared.
void RoundAt(Work& w, int k) {
  const uint8_t r = w.Digits[k];
  for (int i = 1; i <= k; ++i) w.Digits[i] = 0;
  if (r >= 5) Increment(w, k + 1);
}

void ShiftDown(Work& w, int k) {
  if (k <= 0) return;
  for (int i = 0; i < kPositions; ++i) w.Digits[i] = i + k < kPositions ? w.Digits[i + k] : 0;
}

// After rounding a carry may have reached position 19: move everything down
// one position and raise the exponent.
void AbsorbCarry(Work& w) {
  if (w.Digits[19] == 0) return;
  ShiftDown(w, 1);
  ++w.Exponent;
  if (w.Exponent > tKvBcd::kMaxExponent) Fail(EStBCDError::kOverflow);
}

}  // namespace

EStBCDError::EStBCDError(int32_t code) : EStException(CodeText(code)), code_(code) {}

const char* EStBCDError::CodeText(int32_t code) {
  switch (code) {
    case kBadFormat:
      return "Bad BCD format";
    case kOverflow:
      return "BCD larger than 10**64";
    default:
      return "";
  }
}

tKvBcd tKvBcd::Negated() const {
  if (IsZero()) return tKvBcd{};
  tKvBcd r = *this;
  r.Bytes[0] ^= 0x80;
  return r;
}

int tKvBcd::Compare(const tKvBcd& a, const tKvBcd& b) {
  const Work x = Unpack(a);
  const Work y = Unpack(b);
  if (x.Negative != y.Negative) return (y.Negative ? 128 : 0) - (x.Negative ? 128 : 0);
  int result = 0;
  if (x.Exponent != y.Exponent) {
    result = x.Exponent - y.Exponent;
  } else if (x.Exponent != 0) {
    for (int i = 18; i >= 1 && result == 0; --i) result = x.Digits[i] - y.Digits[i];
  }
  return x.Negative ? -result : result;
}

tKvBcd tKvBcd::Add(const tKvBcd& a, const tKvBcd& b) {
  if (a.IsZero()) return b;
  if (b.IsZero()) return a;
  Work x = Unpack(a);
  Work y = Unpack(b);
  // Align the operand with the smaller exponent to the larger one.
  const int k = x.Exponent - y.Exponent;
  if (k > 0) {
    if (k <= 19) RoundAt(y, k - 1 <= 18 ? k - 1 : 18);
    ShiftDown(y, k);
    y.Exponent = x.Exponent;
  } else if (k < 0) {
    if (-k <= 19) RoundAt(x, -k - 1 <= 18 ? -k - 1 : 18);
    ShiftDown(x, -k);
    x.Exponent = y.Exponent;
  }
  Work r;
  r.Exponent = x.Exponent;
  if (x.Negative == y.Negative) {
    r.Negative = x.Negative;
    int carry = 0;
    for (int i = 0; i <= 18; ++i) {
      int s = x.Digits[i] + y.Digits[i] + carry;
      carry = s >= 10 ? 1 : 0;
      r.Digits[i] = static_cast<uint8_t>(s - 10 * carry);
    }
    r.Digits[19] = static_cast<uint8_t>(x.Digits[19] + y.Digits[19] + carry);
    if (r.Digits[19] == 0) {
      RoundAt(r, 0);
    } else {
      RoundAt(r, 1);
      ShiftDown(r, 1);
      ++r.Exponent;
      if (r.Exponent > kMaxExponent) Fail(EStBCDError::kOverflow);
    }
    // Rounding may carry out of the top digit (999..9 plus a rounded-up
    // guard); keep that digit instead of dropping it.
    AbsorbCarry(r);
    r.Digits[0] = 0;
  } else {
    // b - a on the magnitudes, with b's sign.
    r.Negative = y.Negative;
    int borrow = 0;
    for (int i = 0; i <= 19; ++i) {
      int s = y.Digits[i] - x.Digits[i] - borrow;
      borrow = s < 0 ? 1 : 0;
      r.Digits[i] = static_cast<uint8_t>(s + 10 * borrow);
    }
    if (borrow != 0) {
      r.Negative = !r.Negative;
      // Ten's complement of positions 0..19.
      int carry = 1;
      for (int i = 0; i < kPositions; ++i) {
        int s = 9 - r.Digits[i] + carry;
        carry = s >= 10 ? 1 : 0;
        r.Digits[i] = static_cast<uint8_t>(s - 10 * carry);
      }
    }
    if (r.Digits[19] != 0) {
      // Only possible with unaligned carries; keep the value exact.
      ShiftDown(r, 1);
      ++r.Exponent;
    }
    Normalise(r);
  }
  return Pack(r);
}

tKvBcd tKvBcd::Subtract(const tKvBcd& a, const tKvBcd& b) { return Add(a, b.Negated()); }

tKvBcd tKvBcd::Multiply(const tKvBcd& a, const tKvBcd& b) {
  if (a.IsZero() || b.IsZero()) return tKvBcd{};
  const Work x = Unpack(a);
  const Work y = Unpack(b);
  // Exact schoolbook product; p[0] least significant, up to 36 digits.
  int p[36] = {};
  for (int i = 1; i <= 18; ++i) {
    if (x.Digits[i] == 0) continue;
    for (int j = 1; j <= 18; ++j) p[i + j - 2] += x.Digits[i] * y.Digits[j];
  }
  for (int i = 0; i < 35; ++i) {
    p[i + 1] += p[i] / 10;
    p[i] %= 10;
  }
  Work r;
  int adjust = 0;
  int top = 35;
  if (p[35] == 0) {
    top = 34;
    adjust = -1;
  }
  for (int i = 18; i >= 1; --i) r.Digits[i] = static_cast<uint8_t>(p[top - (18 - i)]);
  r.Digits[0] = static_cast<uint8_t>(p[top - 18]);
  RoundAt(r, 0);
  if (r.Digits[19] != 0) {
    ShiftDown(r, 1);
    ++adjust;
  }
  r.Exponent = x.Exponent + y.Exponent - kBias + adjust;
  if (r.Exponent > kMaxExponent) Fail(EStBCDError::kOverflow);
  if (r.Exponent <= 0) return tKvBcd{};
  r.Negative = x.Negative != y.Negative;
  return Pack(r);
}

namespace {

// The usual amounts ("12.50", "-3", "0.075"): blanks, a sign, digits with at
// most one ".", no exponent, at most 18 significant digits and an exponent
// in range. False for anything else, which the full conversion decides.
bool FromTextPlainDigits(std::string_view text, tKvBcd& out) {
  const char* s = text.data();
  const size_t n = text.size();
  size_t i = 0;
  while (i < n && s[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  const auto isDigit = [&](size_t at) { return at < n && s[at] >= '0' && s[at] <= '9'; };
  // The digits as nibbles, the first the most significant (Horner).
  uint64_t nibbles = 0;
  int collected = 0;
  int64_t integerDigits = 0;
  bool anyDigit = false;
  if (!(i < n && s[i] == '.')) {
    if (!isDigit(i)) return false;
    while (i < n && s[i] == '0') ++i, anyDigit = true;
    while (isDigit(i)) {
      if (collected == 16) return false;  // the slow path packs more
      nibbles = nibbles << 4 | static_cast<uint64_t>(s[i++] - '0');
      ++collected;
      ++integerDigits;
      anyDigit = true;
    }
  }
  if (i < n && s[i] == '.') {
    ++i;
    if (integerDigits == 0) {
      while (i < n && s[i] == '0') ++i, anyDigit = true, --integerDigits;
    }
    while (isDigit(i)) {
      if (collected == 16) return false;
      nibbles = nibbles << 4 | static_cast<uint64_t>(s[i++] - '0');
      ++collected;
      anyDigit = true;
    }
  }
  if (i != n || !anyDigit) return false;
  out = tKvBcd{};
  if (collected == 0) return true;
  const int64_t e = tKvBcd::kBias + integerDigits;
  if (e > tKvBcd::kMaxExponent || e <= 0) return false;
  // Digit k (0 = most significant) is d(18 - k): byte 9 holds d18 and d17,
  // byte 1 d2 and d1; read little-endian from byte 1 on, the 18 digits are
  // one number of 72 bits with d18 on top. The bytes are written whole: a
  // copy of the value that reads them right after does not wait for single
  // bytes to be merged.
  const int shift = 4 * (18 - collected);  // 8..68: the number is nibbles << shift
  const uint64_t low = static_cast<uint64_t>(e | (negative ? 0x80 : 0)) |
                       (shift + 8 < 64 ? nibbles << (shift + 8) : 0);
  const auto high =
      static_cast<uint16_t>(shift >= 56 ? nibbles << (shift - 56) : nibbles >> (56 - shift));
  static_assert(sizeof out.Bytes == 10 && std::endian::native == std::endian::little);
  std::memcpy(out.Bytes.data(), &low, 8);
  std::memcpy(out.Bytes.data() + 8, &high, 2);
  return true;
}

}  // namespace

namespace {

// Any other text: rounding to 19 digits, exponents. Out of line, so that
// the usual amounts return without passing through its packing.
[[gnu::noinline]] tKvBcd FromTextGeneral(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  auto isDigit = [&](size_t at) { return at < n && text[at] >= '0' && text[at] <= '9'; };
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  uint8_t digits[19] = {};
  int collected = 0;
  bool anyDigit = false;
  // Digits beyond the 19th (rounding digit) are ignored, but integer
  // digits still count for the exponent.
  int64_t integerDigits = 0;
  auto collect = [&](char c) {
    if (collected < 19) digits[collected] = static_cast<uint8_t>(c - '0');
    if (collected < 1000) ++collected;
  };
  if (!(i < n && text[i] == '.')) {
    if (!isDigit(i)) Fail(EStBCDError::kBadFormat);
    while (i < n && text[i] == '0') {
      ++i;
      anyDigit = true;
    }
    while (isDigit(i)) {
      collect(text[i++]);
      anyDigit = true;
      if (integerDigits < 100000) ++integerDigits;
    }
  }
  if (i < n && text[i] == '.') {
    ++i;
    if (integerDigits == 0) {
      while (i < n && text[i] == '0') {
        ++i;
        anyDigit = true;
        if (integerDigits > -100000) --integerDigits;
      }
    }
    while (isDigit(i)) {
      collect(text[i++]);
      anyDigit = true;
    }
  }
  if (!anyDigit) Fail(EStBCDError::kBadFormat);
  int64_t exponentPart = 0;
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool expNegative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
      expNegative = text[i] == '-';
      ++i;
    }
    if (!isDigit(i)) Fail(EStBCDError::kBadFormat);
    while (isDigit(i)) {
      // Saturate: any exponent this large over- or underflows anyway.
      if (exponentPart < 1000000) exponentPart = exponentPart * 10 + (text[i] - '0');
      ++i;
    }
    if (expNegative) exponentPart = -exponentPart;
  }
  if (i != n) Fail(EStBCDError::kBadFormat);

  Work w;
  w.Negative = negative;
  // A value without non-zero digits is zero, whatever its exponent.
  if (collected == 0) return tKvBcd{};
  for (int k = 0; k < 18 && k < collected; ++k) w.Digits[18 - k] = digits[k];
  int64_t e = tKvBcd::kBias + integerDigits + exponentPart;
  if (collected > 18) {
    w.Digits[0] = digits[18];
    RoundAt(w, 0);
    if (w.Digits[19] != 0) {
      ShiftDown(w, 1);
      ++e;
    }
    w.Digits[0] = 0;
  }
  if (e > tKvBcd::kMaxExponent) Fail(EStBCDError::kOverflow);
  if (e <= 0) return tKvBcd{};
  w.Exponent = static_cast<int>(e);
  return Pack(w);
}

}  // namespace

tKvBcd tKvBcd::FromText(std::string_view text) {
  if (tKvBcd fast; FromTextPlainDigits(text, fast)) return fast;
  return FromTextGeneral(text);
}

tKvBcd tKvBcd::FromTextPlain(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i >= text.size() || text[i] != '.') Fail(EStBCDError::kBadFormat);
  ++i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i != text.size()) Fail(EStBCDError::kBadFormat);
  return FromText(text);
}

tKvBcd tKvBcd::FromInteger(int64_t value) {
  char buffer[24];
  const auto res = std::to_chars(buffer, buffer + sizeof buffer, value);
  return FromText(std::string_view(buffer, static_cast<size_t>(res.ptr - buffer)));
}

namespace {

// The exact decimal expansion: sign, integer digits (at least one) and
// fraction digits, with the fraction rounded (half away from zero, on the
// first dropped digit) to at most maxFraction digits and trailing zeros
// removed. Digit characters only, no separators.
struct Expansion {
  bool Negative = false;
  char Digits[160];  // integer digits then fraction digits
  int IntLen = 0;
  int FracLen = 0;
};

constexpr int kMaxFraction = 50;

void Expand(const tKvBcd& a, int maxFraction, Expansion& x) {
  if (a.IsZero()) {
    x.Digits[0] = '0';
    x.IntLen = 1;
    return;
  }
  // At least one integer digit, then maxFraction fraction digits rounded.
  const int len = a.PutRoundedDigits(x.Digits, maxFraction, maxFraction + 1);
  x.IntLen = len - maxFraction;
  x.FracLen = maxFraction;
  while (x.FracLen > 0 && x.Digits[x.IntLen + x.FracLen - 1] == '0') --x.FracLen;
  bool allZero = true;
  for (int i = 0; i < x.IntLen + x.FracLen; ++i) allZero = allZero && x.Digits[i] == '0';
  x.Negative = a.IsNegative() && !allZero;
}

// Writes the expansion as text with at least minFraction fraction digits
// (zeros appended) to p and returns the end. compact: "." and no grouping;
// otherwise the regional decimal separator ("." when none is set) and the
// integer digits grouped by the regional thousands separator (none when it
// is unset or equals the decimal separator). At most kMaxTextLength bytes
// for minFraction up to 50.
char* Render(char* p, const Expansion& x, bool compact, int minFraction) {
  if (x.Negative) *p++ = '-';
  const auto& reg = platform::Regional();
  const char decimal = compact || reg.DecimalSeparator == '\0' ? '.' : reg.DecimalSeparator;
  const bool group = !compact && reg.DigitGrouping > 0 && reg.ThousandSeparator != '\0' &&
                     reg.ThousandSeparator != decimal;
  for (int i = 0; i < x.IntLen; ++i) {
    if (group && i > 0 && (x.IntLen - i) % reg.DigitGrouping == 0) *p++ = reg.ThousandSeparator;
    *p++ = x.Digits[i];
  }
  const int fraction = std::max(x.FracLen, minFraction);
  if (fraction > 0) {
    *p++ = decimal;
    std::memcpy(p, x.Digits + x.IntLen, static_cast<size_t>(x.FracLen));
    p += x.FracLen;
    std::memset(p, '0', static_cast<size_t>(fraction - x.FracLen));
    p += fraction - x.FracLen;
  }
  return p;
}

}  // namespace

int tKvBcd::Decompose(char (&digits)[kDigits], int& exponent10) const {
  // A normalised value with valid digits, as the terminal stores amounts,
  // is read straight from its bytes, down to the last non-zero one (found
  // by a bit scan over bytes 1 to 8, little-endian: byte 1 lowest); the
  // zero bytes after it are '0' digits.
  if (Exponent() != 0 && (Bytes[9] >> 4) != 0) {
    static_assert(std::endian::native == std::endian::little);
    uint64_t low;
    std::memcpy(&low, &Bytes[1], sizeof low);
    const size_t last = low != 0 ? 1 + static_cast<size_t>(std::countr_zero(low)) / 8 : 9;
    std::memset(digits, '0', sizeof digits);
    unsigned invalid = 0;
    int count = 0;
    for (size_t b = 9; b >= last; --b) {
      const unsigned hi = Bytes[b] >> 4;
      const unsigned lo = Bytes[b] & 0x0F;
      invalid |= (hi > 9) | (lo > 9);
      digits[count++] = static_cast<char>('0' + hi);
      digits[count++] = static_cast<char>('0' + lo);
    }
    if (invalid == 0) {
      exponent10 = Exponent() - kBias;
      return digits[count - 1] == '0' ? count - 1 : count;
    }
  }
  const Work w = Unpack(*this);
  for (int i = 0; i < kDigits; ++i) digits[i] = static_cast<char>('0' + w.Digits[kDigits - i]);
  exponent10 = w.Exponent == 0 ? 0 : w.Exponent - kBias;
  int count = kDigits;
  while (count > 0 && digits[count - 1] == '0') --count;
  return count;
}

int tKvBcd::PutRoundedDigits(char* out, int scale, int minDigits) const {
  char digits[kDigits];
  int exponent10 = 0;
  Decompose(digits, exponent10);
  const auto digitAt = [&](int i) { return i >= 0 && i < kDigits ? digits[i] : '0'; };
  // 0.d1d2..d18 * 10^(exponent10 + scale): that many integer digits, the
  // next one decides the rounding.
  const int integerDigits = exponent10 + scale;
  const int length = std::max(integerDigits, minDigits);
  const int padding = length - integerDigits;
  for (int i = 0; i < length; ++i) out[i] = digitAt(i - padding);
  if (digitAt(integerDigits) < '5') return length;
  int i = length - 1;
  while (i >= 0 && out[i] == '9') out[i--] = '0';
  if (i >= 0) {
    ++out[i];
    return length;
  }
  std::memmove(out + 1, out, static_cast<size_t>(length));
  out[0] = '1';
  return length + 1;
}

std::string tKvBcd::ToText(const tKvBcd& a, bool compact) {
  std::string out;
  AppendText(out, a, compact);
  return out;
}

void tKvBcd::AppendText(std::string& out, const tKvBcd& a, bool compact) {
  char text[kMaxTextLength];
  out.append(text, PutText(text, a, compact));
}

size_t tKvBcd::PutText(char* out, const tKvBcd& a, bool compact) {
  Expansion x;
  Expand(a, kMaxFraction, x);
  return static_cast<size_t>(Render(out, x, compact, 0) - out);
}

std::string tKvBcd::ToTextPlaces(const tKvBcd& a, int places) {
  places = std::clamp(places, 0, kMaxFraction);
  Expansion x;
  Expand(a, places, x);
  char text[kMaxTextLength];
  return std::string(text, Render(text, x, false, places));
}

long double tKvBcd::ToFloat(const tKvBcd& a) {
  const Work w = Unpack(a);
  if (w.Exponent == 0) return 0.0L;
  // "-0.<18 digits>e<exp>" is read back by a correctly rounding conversion.
  char buffer[40];
  int len = 0;
  if (w.Negative) buffer[len++] = '-';
  buffer[len++] = '0';
  buffer[len++] = '.';
  for (int i = 18; i >= 1; --i) buffer[len++] = static_cast<char>('0' + w.Digits[i]);
  buffer[len++] = 'e';
  const auto res = std::to_chars(buffer + len, buffer + sizeof buffer, w.Exponent - kBias);
  long double value = 0.0L;
  const auto parsed = std::from_chars(buffer, res.ptr, value);
  if (parsed.ec != std::errc()) Fail(EStBCDError::kBadFormat);
  return value;
}
