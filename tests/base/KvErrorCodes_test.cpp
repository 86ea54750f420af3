#include "base/KvErrorCodes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ErrorCodeText, OwnCodes) {
  const struct {
    int32_t code;
    const char* text;
  } table[] = {
      {-1001, "Lock error"},
      {-1211, "Error creating Lock-Mutex"},
      {-2111, "File read error"},
      {-2112, "File write error"},
      {-2911, "Field-IO: read error"},
      {-3001, "Array full"},
      {-9999, "Unspecific error"},
      // Not in the table: no fixed text.
      {-4000, "Error -4000"},
      {-5, "Error -5"},
      {-1, "Error -1"},
      {-2110, "Error -2110"},
      {INT32_MIN, "Error -2147483648"},
  };
  for (const auto& row : table) EXPECT_EQ(ErrorCodeText(row.code), row.text) << row.code;
}

TEST(ErrorCodeText, SystemCodes) {
  EXPECT_EQ(ErrorCodeText(2), std::strerror(2));
  std::string success = ErrorCodeText(0);
  EXPECT_FALSE(success.empty());
  for (int32_t code : {0, 2, 13, 28, 99999}) {
    std::string text = ErrorCodeText(code);
    ASSERT_FALSE(text.empty()) << code;
    char last = text.back();
    EXPECT_TRUE(last != '\n' && last != '\r' && last != ' ') << code << ": " << text;
  }
}

TEST(FormatErrorCode, DefaultAndOwnFormats) {
  EXPECT_EQ(FormatErrorCode(-2111, ""), "Code: -2111 (File read error)");
  EXPECT_EQ(FormatErrorCode(-3001, "%1/%2/%1"), "-3001/Array full/-3001");
  EXPECT_EQ(FormatErrorCode(-3001, "no placeholders"), "no placeholders");
  EXPECT_EQ(FormatErrorCode(7, "%1"), "7");
}

TEST(ReplaceParams, NumberedPlaceholders) {
  const struct {
    const char* format;
    const char* items;
    const char* expected;
  } cases[] = {
      {"Serial number not identical: %1/%2!", "17\r16", "Serial number not identical: 17/16!"},
      {"%1 and %1", "x", "x and x"},
      {"%2-%1", "a\rb", "b-a"},
      {"%1", "", ""},             // one empty value
      {"%1|%2", "a", "a|%2"},     // missing values leave their placeholder
      {"%1", "a\rb\rc", "a"},     // surplus values are unused
      {"%1|%2", "%2\rz", "z|z"},  // a value is itself replaced later on
      {"%10", "a\rb", "a0"},      // "%1" matches the start of "%10"
      {"100%", "a", "100%"},
      {"%1%2", "\r", ""},  // two empty values
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceParams(c.format, c.items, '\r'), c.expected) << c.format << " / " << c.items;
  }
  EXPECT_EQ(ReplaceParams("%1;%2", "a,b", ','), "a;b");
}

}  // namespace
