#include "check/ValueCheck.h"

#include <algorithm>
#include <chrono>

#include "check/CodePage.h"

namespace check {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether symbol starts at value[pos]; one byte compared directly, as nearly every symbol is one.
bool At(std::string_view value, size_t pos, const std::string& symbol) {
  if (symbol.empty() || value[pos] != symbol[0]) return false;
  return symbol.size() == 1 || value.substr(pos).starts_with(symbol);
}

constexpr size_t kPackable = 7;

// A text of up to kPackable bytes as one word: its bytes, its length on top.
uint64_t Pack(std::string_view text) {
  uint64_t word = static_cast<uint64_t>(text.size()) << 56;
  for (size_t i = 0; i < text.size(); ++i) {
    word |= static_cast<uint64_t>(static_cast<unsigned char>(text[i])) << (8 * i);
  }
  return word;
}

std::string InCodePage(tEncoding encoding, const std::string& utf8) {
  std::optional<std::string> text = FromUtf8(encoding, utf8);
  return text ? std::move(*text) : utf8;
}

}  // namespace

tValueCheck::tValueCheck(const tColumnDecl& column, const tTableDecl& table)
    : type_(column.Type),
      encoding_(table.Encoding),
      decimal_(InCodePage(table.Encoding, table.DecimalSymbol)),
      grouping_(InCodePage(table.Encoding, table.DigitGroupingSymbol)),
      accuracy_(column.Accuracy),
      implied_(column.ImpliedAccuracy),
      format_(column.DateFormat.empty() ? "DD.MM.YYYY" : column.DateFormat),
      epoch_(table.Epoch),
      maxLength_(column.MaxLength) {
  if (type_ == tColumnType::kDate) {
    int day = 0, month = 0, year = 0;
    for (size_t i = 0; i < format_.size();) {
      const std::string_view rest = std::string_view(format_).substr(i);
      if (rest.starts_with("YYYY")) {
        mask_.push_back({'C', 0}), ++year, i += 4;
      } else if (rest.starts_with("YY")) {
        mask_.push_back({'Y', 0}), ++year, i += 2;
      } else if (rest.starts_with("DD")) {
        mask_.push_back({'D', 0}), ++day, i += 2;
      } else if (rest.starts_with("MM")) {
        mask_.push_back({'M', 0}), ++month, i += 2;
      } else {
        mask_.push_back({0, format_[i]}), ++i;
      }
    }
    if (day != 1 || month != 1 || year != 1) mask_.clear();
  }
  for (const tMapDecl& map : column.Maps) {
    std::string from = InCodePage(table.Encoding, map.From);
    if (from.size() <= kPackable) {
      shortMaps_.push_back(Pack(from));
    } else {
      longMaps_.push_back(std::move(from));
    }
  }
  std::sort(shortMaps_.begin(), shortMaps_.end());
  std::sort(longMaps_.begin(), longMaps_.end());
}

std::optional<tValueFault> tValueCheck::Check(std::string_view value, bool ascii) const {
  if (value.empty()) return std::nullopt;
  if (!ascii && FindUndefined(encoding_, value) != std::string_view::npos) [[unlikely]] {
    return tValueFault{tCode::kCodePage, "bytes the code page does not define"};
  }
  std::optional<tValueFault> fault;
  switch (type_) {
    case tColumnType::kNumeric:
      fault = CheckNumeric(value);
      break;
    case tColumnType::kDate:
      fault = CheckDate(value);
      break;
    case tColumnType::kAlphaNumeric:
      if (maxLength_ && value.size() > *maxLength_) {
        const size_t length = CharacterCount(encoding_, value);
        if (length > *maxLength_) {
          fault = tValueFault{tCode::kTooLong, std::to_string(length) + " characters, at most " +
                                                   std::to_string(*maxLength_) + " declared"};
        }
      }
      break;
  }
  if (!fault && !IsMapped(value)) {
    fault = tValueFault{tCode::kOutsideMap, "a value that no Map of the column lists"};
  }
  return fault;
}

bool tValueCheck::IsMapped(std::string_view value) const {
  if (shortMaps_.empty() && longMaps_.empty()) return true;
  if (value.size() <= kPackable)
    return std::binary_search(shortMaps_.begin(), shortMaps_.end(), Pack(value));
  return std::binary_search(longMaps_.begin(), longMaps_.end(), value);
}

std::optional<tValueFault> tValueCheck::CheckNumeric(std::string_view value) const {
  const auto notNumeric = [&] {
    return tValueFault{tCode::kNotNumeric, "no number with decimal symbol \"" + decimal_ +
                                               "\" and grouping symbol \"" + grouping_ + "\""};
  };
  size_t pos = 0;
  size_t end = value.size();
  if (value[0] == '-' || value[0] == '+') {
    pos = 1;
  } else if (value.back() == '-' || value.back() == '+') {
    end -= 1;
  }
  // Integer digits, maybe in groups: the first group up to three digits, the others three each.
  size_t digits = 0;
  size_t group = 0;
  bool grouped = false;
  bool badGroup = false;
  while (pos < end) {
    if (IsDigit(value[pos])) {
      ++digits, ++group, ++pos;
    } else if (At(value.substr(0, end), pos, grouping_)) {
      if (group == 0 || (grouped ? group != 3 : group > 3)) badGroup = true;
      grouped = true;
      group = 0;
      pos += grouping_.size();
    } else {
      break;
    }
  }
  if (grouped && group != 3) badGroup = true;
  size_t decimals = 0;
  bool decimalSymbol = false;
  if (pos < end && At(value.substr(0, end), pos, decimal_)) {
    decimalSymbol = true;
    pos += decimal_.size();
    while (pos < end && IsDigit(value[pos])) ++decimals, ++pos;
  }
  if (pos != end || digits + decimals == 0 || (decimalSymbol && decimals == 0)) {
    return badGroup && pos == end ? tValueFault{tCode::kGrouping, "groups of three digits"}
                                  : notNumeric();
  }
  if (badGroup) {
    return tValueFault{tCode::kGrouping,
                       "the grouping symbol \"" + grouping_ + "\" between groups of three digits"};
  }
  if (implied_ && decimalSymbol) {
    return tValueFault{tCode::kNotNumeric, "no decimal symbol where the accuracy is implied"};
  }
  if (decimals > accuracy_) {
    return tValueFault{tCode::kDecimals, std::to_string(decimals) + " decimals, at most " +
                                             std::to_string(accuracy_) + " declared"};
  }
  return std::nullopt;
}

std::optional<tValueFault> tValueCheck::CheckDate(std::string_view value) const {
  if (mask_.empty()) return std::nullopt;
  const auto mismatch = [&] { return tValueFault{tCode::kDateFormat, "a date as " + format_}; };
  int day = 0, month = 0, year = 0;
  size_t pos = 0;
  for (const tDatePart& part : mask_) {
    if (part.Kind == 0) {
      if (pos >= value.size() || value[pos] != part.Literal) return mismatch();
      ++pos;
      continue;
    }
    const size_t width = part.Kind == 'C' ? 4 : 2;
    if (value.size() - pos < width) return mismatch();
    int number = 0;
    for (size_t i = 0; i < width; ++i) {
      if (!IsDigit(value[pos + i])) return mismatch();
      number = number * 10 + (value[pos + i] - '0');
    }
    pos += width;
    switch (part.Kind) {
      case 'D':
        day = number;
        break;
      case 'M':
        month = number;
        break;
      case 'Y':
        year = number + (number < static_cast<int>(epoch_) ? 2000 : 1900);
        break;
      default:
        year = number;
        break;
    }
  }
  if (pos != value.size()) return mismatch();
  const std::chrono::year_month_day date{std::chrono::year(year),
                                         std::chrono::month(static_cast<unsigned>(month)),
                                         std::chrono::day(static_cast<unsigned>(day))};
  if (!date.ok()) return tValueFault{tCode::kDateNotReal, "a calendar date"};
  return std::nullopt;
}

}  // namespace check
