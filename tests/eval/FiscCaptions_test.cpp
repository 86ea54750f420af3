#include "eval/FiscCaptions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// Known captions are checked where they are shown (JnlView_test).
TEST(FiscCaptions, UnknownCodes) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "? (0)"},         {-5, "? (-5)"},       {107, "? (107)"},
      {9999, "? (9999)"},   {10010, "<? #10>"},   {10012, "<? #12>"},
      {19999, "<? #9999>"}, {20000, "? (20000)"}, {20023, "<? #23>"},
      {29999, "<? #9999>"}, {30000, "? (30000)"}, {INT32_MIN, "? (-2147483648)"},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(FiscCaption(code), text) << code;
}

// Every known caption fits its capacity and was converted without a
// replacement character (unknown codes are the only texts with a "?").
TEST(FiscCaptions, KnownCaptionsConvertedCompletely) {
  int known = 0;
  for (int32_t code = -10; code < 30010; ++code) {
    const std::string text = FiscCaption(code);
    ASSERT_LE(text.size(), kFiscCaptionMaxLength) << code;
    if (text.rfind("? (", 0) == 0 || text.rfind("<? #", 0) == 0) continue;
    ++known;
    EXPECT_EQ(text.find('?'), std::string::npos) << code;
  }
  EXPECT_EQ(known, 142);
}

// Known journal types, with and without label: the log and the journal view.
TEST(FiscCaptions, JournalTypeAndFiscalTypeTexts) {
  EXPECT_EQ(FiscJournalTypeText(12, false), "<? #12> (12)");
  EXPECT_EQ(FiscJournalTypeText(INT32_MAX, false), "? (2147493647) (2147483647)");
  tKvKPosFiscalType type;
  type.Code = 2, type.Kind = 2, type.Origin = 1;  // type code 1002
  EXPECT_EQ(FiscTypeText(type), "NEXO: Bon");
  type.Code = 23, type.Kind = 0, type.Origin = 2;  // type code 2023
  EXPECT_EQ(FiscTypeText(type), "EJNL: ? (23)");
  type.Code = 22, type.Kind = 22, type.Origin = 0;
  EXPECT_EQ(FiscTypeText(type), "Fiskalbericht");
  type.Code = 3, type.Kind = 3, type.Origin = 7;  // no name beyond origin 2
  EXPECT_EQ(FiscTypeText(type), "Registrierungs-Start");
}

}  // namespace
