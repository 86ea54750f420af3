#include "stream/KvFixedText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// Every length up to past the capacity, each after a longer and a shorter
// text: the value is the text cut to the capacity, and no byte of an
// earlier text shows in a copy of the whole record.
TEST(KvFixedText, AssignsEveryLength) {
  constexpr std::size_t kN = 40;
  std::string source;
  for (std::size_t i = 0; i < kN + 8; ++i) source += static_cast<char>('A' + i % 26);
  for (std::size_t size = 0; size <= kN + 5; ++size) {
    for (const std::size_t before : {std::size_t{0}, size / 2, kN}) {
      tKvFixedText<kN> text;
      text.assign(std::string(before, '#'));
      text.assign(std::string_view(source).substr(0, size));
      EXPECT_EQ(text.view(), std::string_view(source).substr(0, std::min(size, kN)))
          << size << " after " << before;
      const tKvFixedText<kN> copy = text;
      tKvFixedText<kN> fresh;
      fresh.assign(text.view());
      EXPECT_EQ(0, std::memcmp(&copy, &fresh, sizeof copy)) << size << " after " << before;
    }
  }
}

}  // namespace
