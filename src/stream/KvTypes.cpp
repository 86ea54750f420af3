#include "stream/KvTypes.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>

#include "base/KvErrors.h"
#include "platform/RegionalSettings.h"

// ---------------------------------------------------------------------------
// tKvBcdFix

namespace {

uint8_t Nibble(const tKvBcdFix& v, int i) {
  const uint8_t b = v.Bytes[static_cast<size_t>(i / 2)];
  return (i % 2 == 0) ? static_cast<uint8_t>(b >> 4) : static_cast<uint8_t>(b & 0x0F);
}

void SetNibble(tKvBcdFix& v, int i, uint8_t n) {
  uint8_t& b = v.Bytes[static_cast<size_t>(i / 2)];
  b = (i % 2 == 0) ? static_cast<uint8_t>((b & 0x0F) | (n << 4))
                   : static_cast<uint8_t>((b & 0xF0) | (n & 0x0F));
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

bool tKvBcdFix::IsZero() const {
  for (uint8_t b : Bytes) {
    if (b != 0) return false;
  }
  return true;
}

std::string tKvBcdFix::Text() const {
  std::string out;
  AppendText(out);
  return out;
}

void tKvBcdFix::AppendText(std::string& out) const {
  char text[kNibbles];
  out.append(text, PutText(text));
}

void tKvBcdFix::Increment() {
  for (int i = kNibbles - 1; i >= 0; --i) {
    const uint8_t next = Nibble(*this, i) >= 9 ? 0 : static_cast<uint8_t>(Nibble(*this, i) + 1);
    SetNibble(*this, i, next);
    if (next != 0) return;
  }
}

size_t tKvBcdFix::PutText(char (&out)[kNibbles]) const {
  // 15 is the separator digit; 10 to 14 are never produced by a terminal
  // and show as their hexadecimal digit.
  static constexpr char kNibbleChar[17] = "0123456789ABCDE/";
  size_t b = 0;
  while (b < Bytes.size() && Bytes[b] == 0) ++b;
  if (b == Bytes.size()) {
    out[0] = '0';
    return 1;
  }
  size_t len = 0;
  if ((Bytes[b] >> 4) == 0) out[len++] = kNibbleChar[Bytes[b++] & 0x0F];
  for (; b < Bytes.size(); ++b) {
    out[len++] = kNibbleChar[Bytes[b] >> 4];
    out[len++] = kNibbleChar[Bytes[b] & 0x0F];
  }
  return len;
}

tKvBcdFix tKvBcdFix::FromText(std::string_view text) {
  // Nibble j from the right end in low (j < 16) or high; the bytes are then
  // written whole, as a copy reads them (8 and 2): a copy right after does
  // not wait for single bytes to be merged.
  uint64_t low = 0;
  uint64_t high = 0;
  int count = 0;
  for (size_t k = text.size(); k > 0 && count < kNibbles; --k) {
    const char c = text[k - 1];
    uint64_t n;
    if (c >= '0' && c <= '9') {
      n = static_cast<uint64_t>(c - '0');
    } else if (c == '/') {
      n = 15;
    } else {
      break;
    }
    if (count < 16) {
      low |= n << (4 * count);
    } else {
      high |= n << (4 * (count - 16));
    }
    ++count;
  }
  static_assert(sizeof(Bytes) == 10 && std::endian::native == std::endian::little);
  const uint64_t first = __builtin_bswap64(high << 48 | low >> 16);  // bytes 0-7
  const uint16_t last = __builtin_bswap16(static_cast<uint16_t>(low));  // bytes 8, 9
  tKvBcdFix v;
  std::memcpy(v.Bytes.data(), &first, 8);
  std::memcpy(v.Bytes.data() + 8, &last, 2);
  return v;
}

int tKvBcdFix::Compare(const tKvBcdFix& a, const tKvBcdFix& b) {
  return std::memcmp(a.Bytes.data(), b.Bytes.data(), a.Bytes.size());
}

// ---------------------------------------------------------------------------
// tKvDateTime

namespace {

using std::chrono::day;
using std::chrono::days;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month_day;

// Day 0 of tKvDateTime.
constexpr sys_days kDayZero = sys_days(year(1979) / month(12) / day(31));

const char* const kDayNames[] = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                                 "Donnerstag", "Freitag", "Samstag"};
const char* const kDayShort[] = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
// Windows-1252: "M\xE4rz".
const char* const kMonthNames[] = {"Januar",    "Februar", "M\xE4rz",  "April",
                                   "Mai",       "Juni",    "Juli",     "August",
                                   "September", "Oktober", "November", "Dezember"};
const char* const kMonthShort[] = {"Jan", "Feb", "Mrz", "Apr", "Mai", "Jun",
                                   "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};

void AppendNumber(std::string& out, int64_t value, int width) {
  char buffer[24];
  int len = 0;
  bool negative = value < 0;
  uint64_t v = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    buffer[len++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (len < width) buffer[len++] = '0';
  if (negative) buffer[len++] = '-';
  std::reverse(buffer, buffer + len);
  out.append(buffer, static_cast<size_t>(len));
}

}  // namespace

bool tKvDateTime::DecodeDate(int& y, int& m, int& d) const {
  if (!HasDate()) {
    y = m = d = 0;
    return false;
  }
  const year_month_day ymd(kDayZero + days(DayNumber()));
  y = static_cast<int>(ymd.year());
  m = static_cast<int>(static_cast<unsigned>(ymd.month()));
  d = static_cast<int>(static_cast<unsigned>(ymd.day()));
  return true;
}

void tKvDateTime::DecodeTime(int& hour, int& minute, int& second) const {
  const int64_t s = SecondsOfDay();
  hour = static_cast<int>(s / 3600);
  minute = static_cast<int>(s / 60 % 60);
  second = static_cast<int>(s % 60);
}

bool tKvDateTime::TryEncode(int y, int m, int d, int hour, int minute, int second,
                            tKvDateTime& result) {
  if (y < 1980 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) return false;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return false;
  }
  const year_month_day ymd(year(y), month(static_cast<unsigned>(m)), day(static_cast<unsigned>(d)));
  if (!ymd.ok()) return false;
  const int64_t dayNumber = (sys_days(ymd) - kDayZero).count();
  result = tKvDateTime(dayNumber * kSecondsPerDay + hour * 3600 + minute * 60 + second);
  return true;
}

tKvDateTime tKvDateTime::Encode(int y, int m, int d, int hour, int minute, int second) {
  tKvDateTime result;
  if (!TryEncode(y, m, d, hour, minute, second, result)) {
    std::string text = "Invalid date-time: ";
    AppendNumber(text, d, 2);
    text += '.';
    AppendNumber(text, m, 2);
    text += '.';
    AppendNumber(text, y, 4);
    text += ' ';
    AppendNumber(text, hour, 2);
    text += ':';
    AppendNumber(text, minute, 2);
    text += ':';
    AppendNumber(text, second, 2);
    throw EKvParam(text);
  }
  return result;
}

tKvDateTime tKvDateTime::EncodeTime(int hour, int minute, int second) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    throw EKvParam("Invalid time: " + std::to_string(hour) + ":" + std::to_string(minute) + ":" +
                   std::to_string(second));
  }
  return tKvDateTime(hour * 3600 + minute * 60 + second);
}

namespace {

// Two digits of value (0-99) at p.
char* PutTwoDigits(char* p, int value) {
  p[0] = static_cast<char>('0' + value / 10);
  p[1] = static_cast<char>('0' + value % 10);
  return p + 2;
}

}  // namespace

bool tKvDateTime::PutShortDate(char (&text)[kShortDateSize]) const {
  int y = 0, mo = 0, d = 0;
  DecodeDate(y, mo, d);
  if (y < 0 || y > 9999) return false;
  char* p = PutTwoDigits(text, d);
  *p++ = '.';
  p = PutTwoDigits(p, mo);
  *p++ = '.';
  p = PutTwoDigits(p, y / 100);
  PutTwoDigits(p, y % 100);
  return true;
}

void tKvDateTime::PutLongTime(char (&text)[kLongTimeSize], char separator) const {
  int h = 0, mi = 0, s = 0;
  DecodeTime(h, mi, s);
  char* p = PutTwoDigits(text, h);
  *p++ = separator;
  p = PutTwoDigits(p, mi);
  *p++ = separator;
  PutTwoDigits(p, s);
}

std::string tKvDateTime::Format(std::string_view picture) const {
  // The default short date and long time pictures, which nearly every text
  // uses, are written at once; the result is the general one's.
  if (picture == "dd.MM.yyyy") {
    char text[kShortDateSize];
    if (PutShortDate(text)) return std::string(text, sizeof text);
  } else if (picture == "HH:mm:ss") {
    char text[kLongTimeSize];
    PutLongTime(text, platform::Regional().TimeSeparator);
    return std::string(text, sizeof text);
  }
  return FormatPicture(picture);
}

std::string tKvDateTime::FormatPicture(std::string_view picture) const {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  const bool hasDate = DecodeDate(y, mo, d);
  DecodeTime(h, mi, s);
  const int weekday =
      hasDate ? static_cast<int>(std::chrono::weekday(kDayZero + days(DayNumber())).c_encoding())
              : 0;
  const auto& reg = platform::Regional();
  std::string out;
  out.reserve(picture.size() + 16);
  size_t i = 0;
  while (i < picture.size()) {
    const char c = picture[i];
    if (c == '\'' || c == '"') {
      const size_t end = picture.find(c, i + 1);
      const size_t stop = end == std::string_view::npos ? picture.size() : end;
      out.append(picture.substr(i + 1, stop - i - 1));
      i = stop == picture.size() ? stop : stop + 1;
      continue;
    }
    size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    const int n = static_cast<int>(run);
    switch (c) {
      case 'd':
        if (n == 1 || n == 2) {
          AppendNumber(out, d, n);
        } else if (hasDate) {
          out += n == 3 ? kDayShort[weekday] : kDayNames[weekday];
        }
        break;
      case 'M':
        if (n <= 2) {
          AppendNumber(out, mo, n);
        } else if (hasDate) {
          out += n == 3 ? kMonthShort[mo - 1] : kMonthNames[mo - 1];
        }
        break;
      case 'y':
        if (n <= 2) {
          AppendNumber(out, y % 100, n);
        } else {
          AppendNumber(out, y, 4);
        }
        break;
      case 'h':
        AppendNumber(out, h % 12 == 0 ? 12 : h % 12, n >= 2 ? 2 : 1);
        break;
      case 'H':
        AppendNumber(out, h, n >= 2 ? 2 : 1);
        break;
      case 'm':
        AppendNumber(out, mi, n >= 2 ? 2 : 1);
        break;
      case 's':
        AppendNumber(out, s, n >= 2 ? 2 : 1);
        break;
      case 't':
        out += h < 12 ? (n == 1 ? "A" : "AM") : (n == 1 ? "P" : "PM");
        break;
      case '/':
        out.append(run, reg.DateSeparator);
        break;
      case ':':
        out.append(run, reg.TimeSeparator);
        break;
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
  return out;
}

std::string tKvDateTime::DateText(bool compact) const {
  if (compact || !HasDate()) {
    int y, m, d;
    DecodeDate(y, m, d);
    std::string out;
    out.reserve(10);
    AppendNumber(out, d, 2);
    out += '.';
    AppendNumber(out, m, 2);
    out += '.';
    AppendNumber(out, y, 4);
    return out;
  }
  return Format(platform::Regional().LongDateFormat);
}

std::string tKvDateTime::DateTimeText(bool compact) const {
  if (compact) {
    int y, mo, d, h, mi, s;
    DecodeDate(y, mo, d);
    DecodeTime(h, mi, s);
    std::string out;
    out.reserve(17);
    AppendNumber(out, d, 2);
    out += '.';
    AppendNumber(out, mo, 2);
    out += '.';
    AppendNumber(out, y % 100, 2);
    out += '/';
    AppendNumber(out, h, 2);
    out += ':';
    AppendNumber(out, mi, 2);
    out += ':';
    AppendNumber(out, s, 2);
    return out;
  }
  const auto& reg = platform::Regional();
  if (!HasDate()) return Format(reg.LongTimeFormat);
  return Format(reg.LongDateFormat) + ", " + Format(reg.LongTimeFormat);
}

// ---------------------------------------------------------------------------
// tKvBitset

std::string tKvBitset::ToHexString() const {
  const int32_t count = GetCount();
  const int32_t digits = (count + 3) / 4;
  std::string out(static_cast<size_t>(digits + (digits % 2)), '0');
  for (int32_t j = 0; j < digits; ++j) {
    int v = 0;
    for (int b = 0; b < 4; ++b) {
      if (GetBit(4 * j + b + 1)) v |= 1 << b;
    }
    out[out.size() - 1 - static_cast<size_t>(j)] = kHexDigits[v];
  }
  return out;
}

void tKvBitset::FromHexString(std::string_view text) {
  ClearAll();
  int32_t bit = 1;
  const int32_t count = GetCount();
  for (size_t k = text.size(); k > 0 && bit <= count; --k) {
    const char c = text[k - 1];
    int v = 0;
    if (c >= '0' && c <= '9') {
      v = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      v = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      v = c - 'a' + 10;
    }
    for (int b = 0; b < 4; ++b) SetBit(bit++, (v >> b) & 1);
  }
}

std::string tKvBitset::ToBinaryText() const {
  const int32_t count = GetCount();
  std::string out(static_cast<size_t>(count), '0');
  for (int32_t i = 1; i <= count; ++i) {
    if (GetBit(i)) out[static_cast<size_t>(i - 1)] = '1';
  }
  return out;
}

void tKvBitset::FromBinaryText(std::string_view text) {
  ClearAll();
  const int32_t count = GetCount();
  for (int32_t i = 1; i <= count && static_cast<size_t>(i) <= text.size(); ++i) {
    if (text[static_cast<size_t>(i - 1)] == '1') SetBit(i, true);
  }
}

void tKvBitset::ClearAll() {
  for (int32_t i = 1; i <= GetCount(); ++i) SetBit(i, false);
}

void tKvBitset::SetAll() {
  for (int32_t i = 1; i <= GetCount(); ++i) SetBit(i, true);
}

void tKvBitset::Clear(int32_t index) { SetBit(index, false); }
void tKvBitset::Set(int32_t index) { SetBit(index, true); }
void tKvBitset::Toggle(int32_t index) { SetBit(index, !GetBit(index)); }

int32_t tKvBitset::HighestSet() const {
  for (int32_t i = GetCount(); i >= 1; --i) {
    if (GetBit(i)) return i;
  }
  return 0;
}

int32_t tKvBitset::CountSet() const {
  int32_t n = 0;
  for (int32_t i = 1; i <= GetCount(); ++i) n += GetBit(i) ? 1 : 0;
  return n;
}

int32_t tKvBitset::CountClear() const { return GetCount() - CountSet(); }

bool tKvBitset::IsEmpty() const { return HighestSet() == 0; }

void tKvBitset::Assign(const tKvBitset& other) {
  if (&other == this) return;
  ClearAll();
  const int32_t n = std::min(GetCount(), other.GetCount());
  for (int32_t i = 1; i <= n; ++i) {
    if (other.GetBit(i)) SetBit(i, true);
  }
}

bool tKvBitset::Equals(const tKvBitset* other) const {
  if (other == nullptr) return false;
  const int32_t n = std::max(GetCount(), other->GetCount());
  for (int32_t i = 1; i <= n; ++i) {
    if (GetBit(i) != other->GetBit(i)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// tKvBitsetMem

tKvBitsetMem::tKvBitsetMem(int32_t count) { Allocate(count); }

tKvBitsetMem::tKvBitsetMem(const tKvBitset& other) : tKvBitset() {
  Allocate(other.GetCount());
  if (const auto* mem = dynamic_cast<const tKvBitsetMem*>(&other)) {
    std::memcpy(Data(), mem->Data(), static_cast<size_t>(ByteCount()));
  } else {
    Assign(other);
  }
}

tKvBitsetMem::tKvBitsetMem(const tKvBitsetMem& other)
    : tKvBitset(other), count_(other.count_), inline_(other.inline_), heap_(other.heap_) {}

tKvBitsetMem& tKvBitsetMem::operator=(const tKvBitsetMem& other) {
  if (this != &other) {
    count_ = other.count_;
    inline_ = other.inline_;
    heap_ = other.heap_;
  }
  return *this;
}

tKvBitsetMem::~tKvBitsetMem() = default;

void tKvBitsetMem::Allocate(int32_t count) {
  count_ = count < 0 ? 0 : count;
  inline_.fill(0);
  heap_.clear();
  const int32_t bytes = ByteCount();
  if (bytes > kInlineBytes) heap_.assign(static_cast<size_t>(bytes), 0);
}

std::string tKvBitsetMem::ToHexString() const {
  const int32_t digits = (count_ + 3) / 4;
  std::string out(static_cast<size_t>(digits + (digits % 2)), '0');
  const uint8_t* data = Data();
  for (int32_t j = 0; j < digits; ++j) {
    // Bits 4j+1..4j+4 are one nibble of byte j / 2 (low nibble first);
    // bits beyond the count are always clear.
    const uint8_t b = data[j / 2];
    const int v = (j % 2 == 0) ? (b & 0x0F) : (b >> 4);
    out[out.size() - 1 - static_cast<size_t>(j)] = kHexDigits[v];
  }
  return out;
}

void tKvBitsetMem::ClearAll() { std::memset(Data(), 0, static_cast<size_t>(ByteCount())); }

void tKvBitsetMem::SetAll() {
  const int32_t bytes = ByteCount();
  if (bytes == 0) return;
  std::memset(Data(), 0xFF, static_cast<size_t>(bytes));
  // Bits beyond the count stay clear.
  const int rest = count_ % 8;
  if (rest != 0) Data()[bytes - 1] = static_cast<uint8_t>((1u << rest) - 1);
}

void tKvBitsetMem::SetBit(int32_t index, bool value) {
  if (index < 1 || index > count_) return;
  const int32_t i = index - 1;
  uint8_t& b = Data()[i / 8];
  const uint8_t mask = static_cast<uint8_t>(1u << (i % 8));
  b = value ? static_cast<uint8_t>(b | mask) : static_cast<uint8_t>(b & ~mask);
}

bool tKvBitsetMem::GetBit(int32_t index) const {
  if (index < 1 || index > count_) return false;
  const int32_t i = index - 1;
  return (Data()[i / 8] >> (i % 8)) & 1;
}

int32_t tKvBitsetMem::HighestSet() const {
  const uint8_t* data = Data();
  for (int32_t k = ByteCount() - 1; k >= 0; --k) {
    if (data[k] != 0) return 8 * k + (8 - std::countl_zero(data[k]));
  }
  return 0;
}

int32_t tKvBitsetMem::CountSet() const {
  const uint8_t* data = Data();
  int32_t n = 0;
  for (int32_t k = 0; k < ByteCount(); ++k) n += std::popcount(data[k]);
  return n;
}
