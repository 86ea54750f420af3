#include "idea/FiscalStreamPickerCSVOptimized.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/KvText.h"
#include "platform/RegionalSettings.h"

namespace {

// The day number of 31.12.9999, the last date a date field can hold.
const int64_t kLastDay = tKvDateTime::Encode(9999, 12, 31).DayNumber();

// Appends the integer digits with the regional thousands separator.
void AppendGrouped(tCsvLine& out, const char* digits, int count) {
  const platform::RegionalSettings& reg = platform::Regional();
  const bool group = reg.DigitGrouping > 0 && reg.ThousandSeparator != reg.DecimalSeparator &&
                     reg.ThousandSeparator != '\0';
  for (int i = 0; i < count; ++i) {
    if (group && i > 0 && (count - i) % reg.DigitGrouping == 0) out += reg.ThousandSeparator;
    out += digits[i];
  }
}

// Significant digits of |value| rounded to 15, as 0.sig * 10^exp10; returns
// the number of digits (trailing zeros dropped).
int Significant15(const tKvBcd& value, char (&sig)[tKvBcd::kDigits], int& exp10) {
  int len = value.Decompose(sig, exp10);
  if (len > 15) {
    // More digits than the binary value carries: print what the nearest
    // binary floating-point number rounds to.
    char text[64];
    std::snprintf(text, sizeof text, "%.14Le", std::fabs(tKvBcd::ToFloat(value)));
    len = 0;
    const char* p = text;
    for (; *p != '\0' && *p != 'e' && *p != 'E'; ++p) {
      if (*p >= '0' && *p <= '9') sig[len++] = *p;
    }
    int e = 0;
    if (*p != '\0') std::from_chars(p + (p[1] == '+' ? 2 : 1), text + sizeof text, e);
    exp10 = e + 1;
    while (len > 0 && sig[len - 1] == '0') --len;
  }
  return len;
}

// Fraction digits the number's text shows unrounded.
constexpr int kMaxExactFraction = 50;

}  // namespace

void tFiscalStreamPickerCSVOptimized::FmtFloat(tCsvLine& out, const tKvBcd& value,
                                               int8_t decimals) {
  if (value.IsZero()) return;
  char sig[tKvBcd::kDigits];
  int exp10 = 0;
  const int len = Significant15(value, sig, exp10);
  if (len == 0) return;
  const char sep = platform::Regional().DecimalSeparator;
  if (value.IsNegative()) out += '-';
  if (exp10 <= 15 && exp10 >= -4) {
    if (exp10 <= 0) {
      out += '0';
      out += sep;
      out.append(static_cast<size_t>(-exp10), '0');
      out.append(sig, static_cast<size_t>(len));
      return;
    }
    for (int i = 0; i < exp10; ++i) out += i < len ? sig[i] : '0';
    if (len > exp10) {
      out += sep;
      out.append(sig + exp10, static_cast<size_t>(len - exp10));
    }
    return;
  }
  out += sig[0];
  if (len > 1) {
    out += sep;
    out.append(sig + 1, static_cast<size_t>(len - 1));
  }
  out += 'E';
  const int e = exp10 - 1;
  if (e < 0) out += '-';
  char digits[8];
  const auto res = std::to_chars(digits, digits + sizeof digits, e < 0 ? -e : e);
  const int count = static_cast<int>(res.ptr - digits);
  const int minDigits = decimals > 0 ? decimals : 2;
  if (count < minDigits) out.append(static_cast<size_t>(minDigits - count), '0');
  out.append(digits, static_cast<size_t>(count));
}

void tFiscalStreamPickerCSVOptimized::FmtBcd(tCsvLine& out, const tKvBcd& value) {
  if (value.IsZero()) return;
  char sig[tKvBcd::kDigits];
  int exp10 = 0;
  const int len = value.Decompose(sig, exp10);
  bool digits = len > 0;
  for (int i = 0; i < len; ++i) digits = digits && sig[i] <= '9';
  if (!digits || len - exp10 > kMaxExactFraction) {
    // Rounded or odd values: the number's own text, which FmtBcd equals.
    char text[tKvBcd::kMaxTextLength];
    out.append(text, tKvBcd::PutText(text, value, false));
    return;
  }
  if (value.IsNegative()) out += '-';
  // Integer digits: the mantissa's first exp10 digits, padded with zeros.
  char integer[tKvBcd::kBias + 2];
  int intLen = 0;
  if (exp10 > 0) {
    for (int i = 0; i < exp10; ++i) integer[intLen++] = i < len ? sig[i] : '0';
  } else {
    integer[intLen++] = '0';
  }
  AppendGrouped(out, integer, intLen);
  if (len > exp10) {
    out += platform::Regional().DecimalSeparator;
    if (exp10 < 0) out.append(static_cast<size_t>(-exp10), '0');
    const int from = exp10 > 0 ? exp10 : 0;
    out.append(sig + from, static_cast<size_t>(len - from));
  }
}

void tFiscalStreamPickerCSVOptimized::FmtBcdDec(tCsvLine& out, const tKvBcd& value,
                                                int8_t decimals) {
  if (value.IsZero()) return;
  const int d = decimals > 0 ? decimals : 2;
  // At least one integer digit, then exactly d fraction digits: at most
  // 64 + 127 + 1 characters.
  char digits[192];
  const int len = value.PutRoundedDigits(digits, d, d + 1);
  const int intLen = len - d;
  bool allZero = true;
  for (int i = 0; i < len; ++i) allZero = allZero && digits[i] == '0';
  if (value.IsNegative() && !allZero) out += '-';
  AppendGrouped(out, digits, intLen);
  out += platform::Regional().DecimalSeparator;
  out.append(digits + intLen, static_cast<size_t>(len - intLen));
}

void tFiscalStreamPickerCSVOptimized::FmtBcdFix(tCsvLine& out, const tKvBcdFix& value) {
  if (value.IsZero()) return;
  char text[tKvBcdFix::kNibbles];
  out.append(text, value.PutText(text));
}

bool tFiscalStreamPickerCSVOptimized::FmtDate(tCsvLine& out, const tKvDateTime& value) {
  if (value.DayNumber() > kLastDay) return false;
  if (!value.HasDate()) return true;
  char text[tKvDateTime::kShortDateSize];
  value.PutShortDate(text);
  out.append(text, sizeof text);
  return true;
}

void tFiscalStreamPickerCSVOptimized::FmtTime(tCsvLine& out, const tKvDateTime& value) {
  if (value.IsNull()) return;
  AppendLongTime(out, value);
}

void tFiscalStreamPickerCSVOptimized::AppendLongTime(tCsvLine& out, const tKvDateTime& value) {
  const platform::RegionalSettings& reg = platform::Regional();
  if (reg.LongTimeFormat != "HH:mm:ss") {
    out.append(value.Format(reg.LongTimeFormat));
    return;
  }
  char text[tKvDateTime::kLongTimeSize];
  value.PutLongTime(text, reg.TimeSeparator);
  out.append(text, sizeof text);
}

void tFiscalStreamPickerCSVOptimized::FmtInt(tCsvLine& out, int32_t value) {
  if (value != 0) AppendInt(out, value);
}

void tFiscalStreamPickerCSVOptimized::AppendInt(tCsvLine& out, int64_t value) {
  char digits[24];
  const auto res = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, static_cast<size_t>(res.ptr - digits));
}

void tFiscalStreamPickerCSVOptimized::FmtText(tCsvLine& out, std::string_view text, char quote) {
  if (IsBlank(text)) {
    out.append(text);
    return;
  }
  out += quote;
  for (size_t start = 0;;) {
    const size_t at = text.find(quote, start);
    if (at == std::string_view::npos) {
      out.append(text.substr(start));
      break;
    }
    out.append(text.substr(start, at + 1 - start));
    out += quote;
    start = at + 1;
  }
  out += quote;
}
