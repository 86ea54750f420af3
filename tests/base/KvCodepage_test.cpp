#include "base/KvCodepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  std::string utf8;
  std::string win1252;
};

TEST(KvCodepage, MapsCharactersBothWays) {
  const Case cases[] = {
      {"", ""},
      {"Plain ASCII 0-9 ;:", "Plain ASCII 0-9 ;:"},
      {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F", "\xE4\xF6\xFC\xDF"},  // umlauts and sharp s
      {"\xC3\x84\xC3\x96\xC3\x9C", "\xC4\xD6\xDC"},
      {"Datentr\xC3\xA4ger", "Datentr\xE4ger"},
      {"\xE2\x82\xAC", "\x80"},                  // euro sign
      {"\xE2\x80\x9E\xE2\x80\x9C", "\x84\x93"},  // German quotes
      {"\xE2\x84\xA2", "\x99"},                  // trade mark, the highest code point
      {"\xC5\xB8", "\x9F"},                      // Y with diaeresis
      {"\xC2\xA0\xC3\xBF", "\xA0\xFF"},          // ends of the Latin-1 range
      {"\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", "\x81\x8D\x8F\x90\x9D"},  // undefined bytes
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    bool lossless = false;
    EXPECT_EQ(Utf8ToWin1252(c.utf8, &lossless), c.win1252) << c.utf8;
    EXPECT_TRUE(lossless) << c.utf8;
    EXPECT_EQ(Win1252ToUtf8(c.win1252), c.utf8) << c.utf8;
  }
}

TEST(KvCodepage, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = Win1252ToUtf8(all);
  bool lossless = false;
  EXPECT_EQ(Utf8ToWin1252(utf8, &lossless), all);
  EXPECT_TRUE(lossless);
}

TEST(KvCodepage, AppendKeepsWhatIsThere) {
  std::string out = "x=";
  AppendWin1252AsUtf8(out, "\xFC");
  EXPECT_EQ(out, "x=\xC3\xBC");
}

TEST(KvCodepage, ReplacesWhatWindows1252Lacks) {
  const Case cases[] = {
      {"\xE2\x82\xBD", "?"},        // rouble sign: valid, not in the code page
      {"\xC2\x80", "?"},            // U+0080 is not a Windows-1252 character
      {"\xF0\x9F\x98\x80!", "?!"},  // emoji
      {"\x80", "?"},                // stray continuation byte
      {"\xC3", "?"},                // truncated at the end
      {"\xE2\x82"
       "A",
       "?A"},                        // truncated before another character
      {"\xC0\xAF", "??"},            // overlong "/"
      {"\xE0\x80\xAF", "???"},       // overlong, three bytes
      {"\xED\xA0\x80", "???"},       // surrogate
      {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
      {"\xF5\xFF", "??"},            // never valid lead bytes
      {"ok\xC3\xA4\xC3", "ok\xE4?"},
  };
  for (const Case& c : cases) {
    bool lossless = true;
    EXPECT_EQ(Utf8ToWin1252(c.utf8, &lossless), c.win1252) << testing::PrintToString(c.utf8);
    EXPECT_FALSE(lossless) << testing::PrintToString(c.utf8);
  }
}

}  // namespace
