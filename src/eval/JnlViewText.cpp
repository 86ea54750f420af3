#include "eval/JnlViewText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>

#include "base/KvCodepage.h"
#include "base/KvText.h"
#include "eval/FiscCaptions.h"
#include "eval/KvBcdText.h"
#include "eval/KvFiscalDataDest.h"
#include "eval/KvFiscalDataText.h"
#include "platform/RegionalSettings.h"

namespace jnl_view {

using namespace std::string_view_literals;

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

}  // namespace

tIntText::tIntText(int64_t value)
    : size_(static_cast<size_t>(std::to_chars(digits_, digits_ + sizeof digits_, value).ptr -
                                digits_)) {}

std::string_view NameText(std::string_view name) {
  return IsBlank(name) ? FiscCaptionText(kCaptionNameMissing) : name;
}

std::string DigitsText(const tKvBcdFix& number) {
  char digits[tKvBcdFix::kNibbles];
  return std::string(DigitsView(number, digits));
}

std::string_view DigitsView(const tKvBcdFix& number, char (&buffer)[tKvBcdFix::kNibbles]) {
  const size_t size = number.PutText(buffer);
  return size == 0 ? std::string_view("?") : std::string_view(buffer, size);
}

std::string RefText(std::string_view name, std::string_view number) {
  tKvByteLine text(128);
  AppendRefText(text, name, number);
  return std::string(text.view());
}

std::string RefText(std::string_view name, const tKvBcdFix& number) {
  char digits[tKvBcdFix::kNibbles];
  return RefText(name, DigitsView(number, digits));
}

std::string RefText(std::string_view name, int32_t number) {
  return RefText(name, tIntText(number));
}

void AppendRefText(tKvByteLine& out, std::string_view name, std::string_view number) {
  out.append(NameText(name));
  out.append(" (#"sv);
  out.append(number);
  out.append(")"sv);
}

void AppendRefText(tKvByteLine& out, std::string_view name, const tKvBcdFix& number) {
  char digits[tKvBcdFix::kNibbles];
  AppendRefText(out, name, DigitsView(number, digits));
}

void AppendRefText(tKvByteLine& out, std::string_view name, int32_t number) {
  AppendRefText(out, name, tIntText(number));
}

std::string AmountText(const tKvBcd& value) { return std::string(tAmountText(value)); }

std::string QuantityText(const tKvBcd& value) {
  std::string text;
  AppendBcdText(text, value, false);
  return text;
}

void AppendQuantityText(tKvByteLine& out, const tKvBcd& value) {
  AppendBcdText(out, value, false);
}

std::string RightAlign(std::string_view left, std::string_view right, size_t width) {
  tKvByteLine line(128);
  line.append(left);
  AlignRight(line, 0, right, width);
  return std::string(line.view());
}

void AlignRight(tKvByteLine& text, size_t lineStart, std::string_view right, size_t width) {
  text.resize(lineStart + (width > right.size() ? width - right.size() : 0), ' ');
  text.append(right);
}

std::string_view tLineBlock::Close() {
  if (open_) text_.append(tKvFiscalDataDestAscii::kLineEnd);
  open_ = false;
  return text_.view();
}

std::string PadLeft(std::string_view text, size_t width) {
  std::string line(width > text.size() ? width - text.size() : 0, ' ');
  line.append(text);
  return line;
}

std::string Label30(std::string_view caption) {
  std::string label(caption);
  label.append(": "sv);
  label.resize(kLabelWidth, ' ');
  return label;
}

void AppendArticleText(tKvByteLine& out, std::string_view name, const tKvBcdFix& number,
                       const tKvBcd& quantity, std::string_view text) {
  AppendQuantityText(out, quantity);
  if (!IsBlank(text)) {
    out.append(" "sv);
    out.append(text);
    out.append(" "sv);
  }
  out.append("x "sv);
  AppendRefText(out, name, number);
  out.append(" "sv);
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
