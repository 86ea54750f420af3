// Texts of journal numbers (tKvBcd) for the outputs that write many of
// them: the bytes tKvBcd's own texts give, written straight from the
// number's digits when the value needs no rounding (the common case), and
// by tKvBcd otherwise. Pure functions over the regional settings (read
// only); they never fail and may run on any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/KvByteLine.h"
#include "stream/KvBcd.h"

// tKvBcd::ToText(value, compact) appended to out.
void AppendBcdText(std::string& out, const tKvBcd& value, bool compact);
void AppendBcdText(tKvByteLine& out, const tKvBcd& value, bool compact);
// tKvBcd::ToTextPlaces(value, places), held by value: without heap memory
// unless the value needs rounding. A view of it lives as long as the object
// (a temporary: to the end of the expression).
// REQUIRES: places from 0 to 18.
class tBcdTextPlaces {
 public:
  // The longest text without rounding: a sign, 18 integer digits with a
  // separator before each but the first, the decimal separator, 18
  // fraction digits.
  static constexpr size_t kMaxSize = 1 + 2 * tKvBcd::kDigits + tKvBcd::kDigits;

  tBcdTextPlaces(const tKvBcd& value, int places);
  operator std::string_view() const {
    return size_ != 0 ? std::string_view(text_, size_) : std::string_view(rounded_);
  }

 private:
  char text_[kMaxSize];
  size_t size_;          // 0: the text is rounded_
  std::string rounded_;
};
