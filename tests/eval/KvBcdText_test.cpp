#include "eval/KvBcdText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/RegionalSettings.h"

namespace {

std::string Text(const tKvBcd& value, bool compact) {
  std::string text = "x";  // appended to, not replaced
  AppendBcdText(text, value, compact);
  return text.substr(1);
}

std::string TextPlaces(const tKvBcd& value, int places) {
  return std::string(tBcdTextPlaces(value, places));
}

// Against the number's own texts, over values of every form: random digits
// (invalid nibbles, a leading zero and trailing zeros included), exponents
// and signs.
void AsTheNumberWritesIt() {
  uint64_t state = 1;
  const auto next = [&state] {
    return state = state * 6364136223846793005ULL + 1442695040888963407ULL;
  };
  for (int i = 0; i < 20000; ++i) {
    tKvBcd value;
    const uint64_t r = next();
    // Exponents around the decimal point, and zero (with stray digits).
    const auto exponent = static_cast<int>((r >> 8) % 49);
    value.Bytes[0] = static_cast<uint8_t>((r & 0x80) | (exponent == 48 ? 0 : exponent + 40));
    const int zeros = static_cast<int>((r >> 16) % 19);  // trailing zero digits
    for (int k = 0; k < tKvBcd::kDigits; ++k) {
      const uint64_t d = next() >> 33;
      const int nibble = k >= tKvBcd::kDigits - zeros ? 0
                         : d % 64 == 0                ? 10 + static_cast<int>(d / 64 % 6)
                                                      : static_cast<int>(d % 10);
      uint8_t& byte = value.Bytes[static_cast<size_t>(9 - k / 2)];
      byte =
          static_cast<uint8_t>(k % 2 == 0 ? (byte & 0x0F) | nibble << 4 : (byte & 0xF0) | nibble);
    }
    ASSERT_EQ(Text(value, false), tKvBcd::ToText(value, false)) << i;
    ASSERT_EQ(Text(value, true), tKvBcd::ToText(value, true)) << i;
    ASSERT_EQ(TextPlaces(value, 2), tKvBcd::ToTextPlaces(value, 2)) << i;
    ASSERT_EQ(TextPlaces(value, 0), tKvBcd::ToTextPlaces(value, 0)) << i;
  }
}

// Under the default regional settings and others: digits grouped by one
// (the longest text), by two or not at all, no thousands separator or the
// decimal one, no decimal separator.
TEST(KvBcdText, AsTheNumberWritesIt) {
  struct Regional {
    char decimal, thousands;
    int grouping;
  };
  for (const Regional& r :
       {Regional{',', '.', 3}, Regional{',', '.', 1}, Regional{'.', ' ', 2}, Regional{',', '.', 0},
        Regional{',', '\0', 3}, Regional{',', ',', 3}, Regional{'\0', '.', 3}}) {
    auto& settings = platform::MutableRegionalSettings();
    const platform::RegionalSettings saved = settings;
    settings.DecimalSeparator = r.decimal;
    settings.ThousandSeparator = r.thousands;
    settings.DigitGrouping = r.grouping;
    AsTheNumberWritesIt();
    settings = saved;
  }
}

}  // namespace
