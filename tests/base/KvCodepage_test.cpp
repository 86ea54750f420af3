#include "base/KvCodepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(KvCodepage, MapsCharactersBothWays) {
  // Umlauts, sharp s and a NUL; euro, German quotes, trade mark (the highest
  // code point) and Y with diaeresis from 0x80..0x9F; the five undefined bytes.
  const std::pair<std::string, std::string> cases[] = {
      {std::string("\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\0", 9), std::string("\xE4\xF6\xFC\xDF\0", 5)},
      {"\xE2\x82\xAC\xE2\x80\x9E\xE2\x80\x9C\xE2\x84\xA2\xC5\xB8", "\x80\x84\x93\x99\x9F"},
      {"\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", "\x81\x8D\x8F\x90\x9D"}};
  for (const auto& [utf8, win1252] : cases) {
    bool lossless = false;
    EXPECT_EQ(Utf8ToWin1252(utf8, &lossless), win1252) << utf8;
    EXPECT_TRUE(lossless) << utf8;
    EXPECT_EQ(Win1252ToUtf8(win1252), utf8) << utf8;
  }
  // Every byte round-trips; appending keeps what is there.
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  bool lossless = false;
  EXPECT_EQ(Utf8ToWin1252(Win1252ToUtf8(all), &lossless), all);
  EXPECT_TRUE(lossless);
  std::string out = "x=";
  AppendWin1252AsUtf8(out, "\xFC");
  EXPECT_EQ(out, "x=\xC3\xBC");
}

TEST(KvCodepage, ReplacesWhatWindows1252Lacks) {
  // A valid character outside the code page (rouble, U+0080, emoji); a stray
  // continuation byte; truncated before another character and at the end;
  // overlong forms; a surrogate; above U+10FFFF; bytes that never lead.
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"\xE2\x82\xBD", "?"}, {"\xC2\x80", "?"}, {"\xF0\x9F\x98\x80!", "?!"}, {"\x80", "?"},
      {"\xE2\x82" "A", "?A"}, {"ok\xC3\xA4\xC3", "ok\xE4?"}, {"\xC0\xAF", "??"},
      {"\xE0\x80\xAF", "???"}, {"\xED\xA0\x80", "???"}, {"\xF4\x90\x80\x80", "????"},
      {"\xF5\xFF", "??"}};
  // clang-format on
  for (const auto& [utf8, win1252] : cases) {
    bool lossless = true;
    EXPECT_EQ(Utf8ToWin1252(utf8, &lossless), win1252) << testing::PrintToString(utf8);
    EXPECT_FALSE(lossless) << testing::PrintToString(utf8);
  }
}

}  // namespace
