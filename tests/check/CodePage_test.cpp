#include "check/CodePage.h"

#include <gtest/gtest.h>

namespace check {
namespace {

TEST(CodePage, SingleBytePagesDecodeEveryByte) {
  const struct {
    tEncoding Encoding;
    const char* Bytes;
    const char* Utf8;
  } cases[] = {
      {tEncoding::kAnsi, "\x80\xE4\x81", "\xE2\x82\xAC\xC3\xA4\xC2\x81"},   // € ä U+0081
      {tEncoding::kOem, "\x81\x8E\xE1", "\xC3\xBC\xC3\x84\xC3\x9F"},        // ü Ä ß
      {tEncoding::kMacintosh, "\x8A\x80\xA7", "\xC3\xA4\xC3\x84\xC3\x9F"},  // ä Ä ß
  };
  for (const auto& c : cases) {
    std::string utf8;
    AppendUtf8(c.Encoding, c.Bytes, utf8);
    EXPECT_EQ(utf8, c.Utf8) << c.Bytes;
    if (c.Encoding != tEncoding::kAnsi) {
      EXPECT_EQ(FromUtf8(c.Encoding, c.Utf8), c.Bytes);
      EXPECT_EQ(FindUndefined(c.Encoding, c.Bytes), std::string_view::npos);
    }
  }
  EXPECT_EQ(FindUndefined(tEncoding::kAnsi, "abcdefghij\x8F"), 10u);
  EXPECT_EQ(FromUtf8(tEncoding::kAnsi, "\xE2\x82\xAC"), "\x80");
  EXPECT_EQ(FromUtf8(tEncoding::kAnsi, "\xE2\x88\x9E"), std::nullopt);  // no infinity in 1252
}

}  // namespace
}  // namespace check
