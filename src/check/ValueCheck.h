// tValueCheck: the checks of one column's values against its declaration,
// prepared once per table and then applied to every value of the column.
//
//   Numeric       [sign] digits [DecimalSymbol digits] [sign], the integer
//                 digits optionally in groups of three split by the
//                 DigitGroupingSymbol; at most Accuracy decimals, none and no
//                 DecimalSymbol with ImpliedAccuracy           C401 C404 C405
//   Date          the Format mask: DD, MM, YY or YYYY once each, any other
//                 character literal; a real calendar date, YY placed in a
//                 century by the table's Epoch                 C402 C403
//   AlphaNumeric  at most MaxLength characters after decoding  C406
//   any           bytes the code page does not define          C408
//   with a Map    a value no Map names (information)           C414
//
// An empty value is no value and passes every check. Values are bytes in the
// table's code page. Intentionally copyable; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/ExportIndex.h"
#include "check/FindingCodes.h"

namespace check {

struct tValueFault {
  tCode Code;
  std::string Message;  // what was expected, UTF-8
};

class tValueCheck {
 public:
  tValueCheck(const tColumnDecl& column, const tTableDecl& table);

  // The first fault of value, or nullopt when it passes. ascii: the caller
  // knows value holds ASCII bytes only (the code page is then not consulted).
  std::optional<tValueFault> Check(std::string_view value, bool ascii = false) const;

 private:
  struct tDatePart {
    char Kind;  // 'D', 'M', 'Y' (two digits) or 'C' (four-digit year); 0 for a literal
    char Literal;
  };

  std::optional<tValueFault> CheckNumeric(std::string_view value) const;
  std::optional<tValueFault> CheckDate(std::string_view value) const;

  tColumnType type_;
  tEncoding encoding_;
  std::string decimal_;
  std::string grouping_;
  uint32_t accuracy_;
  bool implied_;
  std::vector<tDatePart> mask_;  // empty: the Format is no usable mask (reported with the index)
  std::string format_;
  uint32_t epoch_;
  std::optional<uint64_t> maxLength_;
  bool IsMapped(std::string_view value) const;

  // The Map values in the table's code page, sorted: those of up to seven
  // bytes packed into a word each (nearly all: codes), the others as text.
  std::vector<uint64_t> shortMaps_;
  std::vector<std::string> longMaps_;
};

}  // namespace check
