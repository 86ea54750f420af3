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
  const std::string source = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (std::size_t size = 0; size <= 45; ++size) {
    for (const std::size_t before : {std::size_t{0}, size / 2, std::size_t{40}}) {
      tKvFixedText<40> text(std::string(before, '#')), fresh;
      text.assign(std::string_view(source).substr(0, size));
      fresh.assign(text.view());
      EXPECT_EQ(text.view(), source.substr(0, std::min<std::size_t>(size, 40))) << size;
      EXPECT_EQ(0, std::memcmp(&text, &fresh, sizeof text)) << size << " after " << before;
      text.assign(text.view().substr(size / 3));  // from its own bytes
      EXPECT_EQ(text.view(), fresh.view().substr(size / 3)) << size;
    }
  }
}

}  // namespace
