#include "eval/KvBcdText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/RegionalSettings.h"
#include "stream/FiscalStreamTestHelp.h"

namespace {

std::string Text(const tKvBcd& value, bool compact) {
  std::string text = "x";  // appended to, not replaced
  AppendBcdText(text, value, compact);
  return text.substr(1);
}

std::string TextPlaces(const tKvBcd& value, int places) {
  return std::string(tBcdTextPlaces(value, places));
}

// Against the number's own texts, over values of every form (zero, random
// digits, invalid nibbles, a leading zero and trailing zeros included;
// exponents and signs), under the default regional settings and others:
// digits grouped by one (the longest text), by two or not at all, no
// thousands separator or the decimal one, no decimal separator.
TEST(KvBcdText, AsTheNumberWritesIt) {
  struct Regional {
    char decimal, thousands;
    int grouping;
  };
  for (const Regional& r : {Regional{',', '.', 3}, Regional{',', '.', 1}, Regional{'.', ' ', 2},
                            Regional{',', '.', 0}, Regional{',', '\0', 3}, Regional{',', ',', 3},
                            Regional{'\0', '.', 3}}) {
    auto& settings = platform::MutableRegionalSettings();
    const platform::RegionalSettings saved = settings;
    settings.DecimalSeparator = r.decimal;
    settings.ThousandSeparator = r.thousands;
    settings.DigitGrouping = r.grouping;
    uint64_t state = 1;
    for (int i = 0; i < 20000; ++i) {
      const tKvBcd value = fisc_test::RandomBcd(state);
      ASSERT_EQ(Text(value, false), tKvBcd::ToText(value, false)) << i;
      ASSERT_EQ(Text(value, true), tKvBcd::ToText(value, true)) << i;
      ASSERT_EQ(TextPlaces(value, 2), tKvBcd::ToTextPlaces(value, 2)) << i;
      ASSERT_EQ(TextPlaces(value, 0), tKvBcd::ToTextPlaces(value, 0)) << i;
    }
    settings = saved;
  }
}

}  // namespace
