#include "eval/JnlViewText.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cstdint>

#include "base/KvCodepage.h"
#include "base/KvText.h"
#include "eval/FiscCaptions.h"
#include "eval/KvFiscalDataText.h"
#include "platform/RegionalSettings.h"

namespace jnl_view {

namespace {

constexpr int32_t kCaptionNameMissing = 572;
constexpr size_t kLabelWidth = 30;

// The Portuguese signature: how many bytes are shown in Base64, which of its
// characters (0-based), and the footer (UTF-8 here, Windows-1252 in the view).
constexpr size_t kSignatureBytes = 128;
constexpr std::array<size_t, 4> kSignaturePicks = {0, 10, 20, 30};
constexpr const char* kSignatureFooter = "Processado por programa certificado n.°4172/AT";

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const uint8_t* data, size_t size) {
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  for (size_t i = 0; i < size; i += 3) {
    const size_t n = std::min<size_t>(3, size - i);
    uint32_t v = uint32_t{data[i]} << 16;
    if (n > 1) v |= uint32_t{data[i + 1]} << 8;
    if (n > 2) v |= data[i + 2];
    for (size_t k = 0; k < 4; ++k) {
      out += k <= n ? kBase64[(v >> (18 - 6 * k)) & 0x3F] : '=';
    }
  }
  return out;
}

// The long decimal text of value with at least minFraction fraction digits
// (as tKvBcd::ToTextPlaces and ToText write it), appended to out, for the
// values that need no rounding to maxFraction places: normalised, at most
// 18 integer digits. Returns false, appending nothing, for any other value.
// REQUIRES: minFraction and maxFraction at most 18.
bool AppendExactDecimal(std::string& out, const tKvBcd& value, int minFraction, int maxFraction) {
  assert(minFraction <= tKvBcd::kDigits && maxFraction <= tKvBcd::kDigits);
  const auto& reg = platform::Regional();
  const char decimal = reg.DecimalSeparator == '\0' ? '.' : reg.DecimalSeparator;
  // 0.d1..d18 * 10^exponent, two digits a byte, d1 in the high nibble of
  // the last byte; the digits up to the last non-zero one.
  size_t first = 1;  // the byte of the last non-zero digit
  while (first < value.Bytes.size() && value.Bytes[first] == 0) ++first;
  char digits[tKvBcd::kDigits];
  int significant = 0;
  for (size_t b = value.Bytes.size() - 1; b >= first; --b) {
    const int high = value.Bytes[b] >> 4;
    const int low = value.Bytes[b] & 0x0F;
    if (high > 9 || low > 9) return false;
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
    return false;
  }
  const int fraction = std::max(significant - exponent, 0);
  if (fraction > maxFraction) return false;
  // Sign, 18 digits with their separators, the decimal separator, the fraction.
  char text[2 * tKvBcd::kDigits + 2 + tKvBcd::kDigits];
  char* p = text;
  if (value.IsNegative()) *p++ = '-';
  if (exponent <= 0) {
    *p++ = '0';
  } else {
    const bool group = reg.DigitGrouping > 0 && reg.ThousandSeparator != '\0' &&
                       reg.ThousandSeparator != decimal;
    for (int i = 0; i < exponent; ++i) {
      if (group && i > 0 && (exponent - i) % reg.DigitGrouping == 0) *p++ = reg.ThousandSeparator;
      *p++ = i < significant ? digits[i] : '0';
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
  out.append(text, static_cast<size_t>(p - text));
  return true;
}

}  // namespace

std::string_view NameText(std::string_view name) {
  return IsBlank(name) ? FiscCaptionText(kCaptionNameMissing) : name;
}

std::string DigitsText(const tKvBcdFix& number) {
  std::string text = number.Text();
  return text.empty() ? "?" : text;
}

std::string RefText(std::string_view name, std::string_view number) {
  std::string text;
  AppendRefText(text, name, number);
  return text;
}

std::string RefText(std::string_view name, const tKvBcdFix& number) {
  std::string text;
  AppendRefText(text, name, number);
  return text;
}

std::string RefText(std::string_view name, int32_t number) {
  std::string text;
  AppendRefText(text, name, number);
  return text;
}

void AppendRefText(std::string& out, std::string_view name, std::string_view number) {
  out.append(NameText(name)).append(" (#").append(number).append(")");
}

void AppendRefText(std::string& out, std::string_view name, const tKvBcdFix& number) {
  char digits[tKvBcdFix::kNibbles];
  const size_t size = number.PutText(digits);
  AppendRefText(out, name, size == 0 ? std::string_view("?") : std::string_view(digits, size));
}

void AppendRefText(std::string& out, std::string_view name, int32_t number) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  AppendRefText(out, name, std::string_view(digits, static_cast<size_t>(end - digits)));
}

std::string AmountText(const tKvBcd& value) {
  std::string text;
  AppendAmountText(text, value);
  return text;
}

std::string QuantityText(const tKvBcd& value) {
  std::string text;
  AppendQuantityText(text, value);
  return text;
}

void AppendAmountText(std::string& out, const tKvBcd& value) {
  if (!AppendExactDecimal(out, value, 2, 2)) out.append(tKvBcd::ToTextPlaces(value, 2));
}

void AppendQuantityText(std::string& out, const tKvBcd& value) {
  if (!AppendExactDecimal(out, value, 0, tKvBcd::kDigits)) tKvBcd::AppendText(out, value, false);
}

std::string RightAlign(std::string_view left, std::string_view right, size_t width) {
  std::string line(left);
  AlignRight(line, right, width);
  return line;
}

void AlignRight(std::string& line, std::string_view right, size_t width) {
  line.resize(width > right.size() ? width - right.size() : 0, ' ');
  line.append(right);
}

std::string PadLeft(std::string_view text, size_t width) {
  std::string line(width > text.size() ? width - text.size() : 0, ' ');
  line.append(text);
  return line;
}

std::string Label30(std::string_view caption) {
  std::string label(caption);
  label.append(": ");
  label.resize(kLabelWidth, ' ');
  return label;
}

void AppendArticleText(std::string& out, std::string_view name, const tKvBcdFix& number,
                       const tKvBcd& quantity, std::string_view text) {
  AppendQuantityText(out, quantity);
  if (!IsBlank(text)) out.append(" ").append(text).append(" ");
  out.append("x ");
  AppendRefText(out, name, number);
  out.append(" ");
}

std::string ShortDate(const tKvDateTime& value) {
  return value.Format(platform::Regional().ShortDateFormat);
}

std::string LongTime(const tKvDateTime& value) {
  return value.Format(platform::Regional().LongTimeFormat);
}

std::string PortugueseSignatureText(std::string_view data) {
  static const std::string footer = Utf8ToWin1252(kSignatureFooter);
  std::string_view hex = data.substr(0, 2 * kSignatureBytes);
  std::array<uint8_t, kSignatureBytes> bytes{};
  // Only the pairs before the first non-digit count; the decoder leaves its
  // output unspecified when it meets one, so those are decoded once more.
  if (size_t bad = kv_text::DecodeHexPairs(hex, bytes.data()); bad < hex.size()) {
    hex = hex.substr(0, bad);
    kv_text::DecodeHexPairs(hex, bytes.data());
  }
  const std::string base64 = Base64(bytes.data(), hex.size() / 2);
  std::string text;
  for (size_t pick : kSignaturePicks) {
    if (pick < base64.size()) text += base64[pick];
  }
  return text + "-" + footer;
}

}  // namespace jnl_view
