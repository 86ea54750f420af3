#include "base/KvErrorCodes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ErrorCodeText, OwnAndSystemCodes) {
  // Own codes (only those of the table have a text), then the system's text
  // without trailing line ends or blanks.
  const std::pair<int32_t, const char*> own[] = {
      {-1001, "Lock error"},  {-1211, "Error creating Lock-Mutex"}, {-2911, "Field-IO: read error"},
      {-3001, "Array full"},  {-9999, "Unspecific error"},          {-4000, "Error -4000"},
      {-2110, "Error -2110"}, {INT32_MIN, "Error -2147483648"}};
  for (const auto& [code, text] : own) EXPECT_EQ(ErrorCodeText(code), text) << code;
  EXPECT_EQ(ErrorCodeText(2), std::strerror(2));
  for (int32_t code : {0, 13, 99999}) {
    const std::string text = ErrorCodeText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_TRUE(text.back() != '\n' && text.back() != '\r' && text.back() != ' ') << text;
  }
  EXPECT_EQ(FormatErrorCode(-3001, "%1/%2/%1"), "-3001/Array full/-3001");
}

TEST(ReplaceParams, NumberedPlaceholders) {
  // Missing values leave their placeholder, surplus values are unused, a
  // value is itself replaced later on, "%1" matches the start of "%10".
  // clang-format off
  const struct {
    const char* Format;
    const char* Items;
    const char* Expected;
  } cases[] = {
      {"Serial number not identical: %1/%2!", "17\r16", "Serial number not identical: 17/16!"},
      {"%1 and %1", "x", "x and x"}, {"%2-%1", "a\rb", "b-a"}, {"%1|%2", "a", "a|%2"},
      {"%1", "a\rb\rc", "a"}, {"%1|%2", "%2\rz", "z|z"}, {"%10", "a\rb", "a0"},
      {"100%", "a", "100%"}, {"%1%2", "\r", ""}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceParams(c.Format, c.Items, '\r'), c.Expected) << c.Format << " / " << c.Items;
  }
  EXPECT_EQ(ReplaceParams("%1;%2", "a,b", ','), "a;b");
}

}  // namespace
