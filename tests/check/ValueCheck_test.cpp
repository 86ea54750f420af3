#include "check/ValueCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace check {
namespace {

struct tCase {
  tColumnType Type;
  const char*
      Detail;  // Numeric: accuracy digit, 'i' implied; Date: the Format; AlphaNumeric: MaxLength
  const char* Value;
  const char* Expected;  // "" or the code's id
};

std::string Outcome(const tCase& c, tEncoding encoding = tEncoding::kAnsi) {
  tTableDecl table;
  table.Encoding = encoding;
  tColumnDecl column;
  column.Type = c.Type;
  const std::string detail = c.Detail;
  if (c.Type == tColumnType::kNumeric) {
    column.Accuracy = static_cast<uint32_t>(detail[0] - '0');
    column.ImpliedAccuracy = detail.size() > 1 && detail[1] == 'i';
  } else if (c.Type == tColumnType::kDate) {
    column.DateFormat = detail;
  } else if (!detail.empty()) {
    column.MaxLength = std::stoull(detail);
  }
  const auto fault = tValueCheck(column, table).Check(c.Value);
  return fault ? std::string(InfoOf(fault->Code).Id) : "";
}

TEST(ValueCheck, NumbersDatesAndTexts) {
  constexpr auto N = tColumnType::kNumeric;
  constexpr auto D = tColumnType::kDate;
  constexpr auto A = tColumnType::kAlphaNumeric;
  const tCase cases[] = {
      {N, "2", "", ""},
      {N, "2", "0", ""},
      {N, "2", "-1,5", ""},
      {N, "2", "1,50-", ""},
      {N, "2", "+12", ""},
      {N, "2", "1.234.567,89", ""},
      {N, "2", "123.456", ""},
      {N, "2", ",5", ""},
      {N, "0", "1,5", "C404"},
      {N, "2", "1,505", "C404"},
      {N, "2", "12.50", "C405"},
      {N, "2", "1234.567", "C405"},
      {N, "2", "1..234", "C405"},
      {N, "2", "1.23,4", "C405"},
      {N, "2", "1,", "C401"},
      {N, "2", "-", "C401"},
      {N, "2", "1 000", "C401"},
      {N, "2", "-1-", "C401"},
      {N, "2", "1e5", "C401"},
      {N, "2", "abc", "C401"},
      {N, "2i", "150", ""},
      {N, "2i", "1,50", "C401"},
      {N, "2", "1\x81", "C408"},
      {D, "DD.MM.YYYY", "29.02.2024", ""},
      {D, "DD.MM.YYYY", "29.02.2023", "C403"},
      {D, "DD.MM.YYYY", "31.04.2024", "C403"},
      {D, "DD.MM.YYYY", "00.01.2024", "C403"},
      {D, "DD.MM.YYYY", "2024-01-31", "C402"},
      {D, "DD.MM.YYYY", "1.1.2024", "C402"},
      {D, "DD.MM.YYYY", "01.01.20245", "C402"},
      {D, "YYYYMMDD", "20240131", ""},
      {D, "YYYY-MM-DD", "2024-13-01", "C403"},
      {D, "MM/DD/YYYY", "02/29/2024", ""},
      {D, "DD/MM/YYYY", "02/29/2024", "C403"},
      {D, "DDMMYY", "290200", ""},
      {D, "DD.MM.YY", "29.02.00", ""},  // 2000, not 1900
      {A, "3", "abc", ""},
      {A, "3", "abcd", "C406"},
      {A, "", "\x90", "C408"},
  };
  for (const tCase& c : cases) {
    EXPECT_EQ(Outcome(c), c.Expected) << c.Detail << " " << c.Value;
  }
  // UTF-8: length in characters, malformed sequences
  EXPECT_EQ(Outcome({A, "3", "\xC3\xA4\xC3\xB6\xC3\xBC", ""}, tEncoding::kUtf8), "");
  EXPECT_EQ(Outcome({A, "", "\xC3", ""}, tEncoding::kUtf8), "C408");
  EXPECT_EQ(Outcome({A, "", "\xED\xA0\x80", ""}, tEncoding::kUtf8), "C408");
  EXPECT_EQ(Outcome({A, "", "\xC0\xAF", ""}, tEncoding::kUtf8), "C408");
}

TEST(ValueCheck, ValuesOutsideTheMapAreInformation) {
  tTableDecl table;
  tColumnDecl column;
  column.Maps = {{"2", "Verkauf"}, {"\xC3\xA4", "Umlaut"}};  // UTF-8 as declared
  const tValueCheck check(column, table);
  EXPECT_FALSE(check.Check("2"));
  EXPECT_FALSE(check.Check("\xE4"));  // Windows-1252 in the table
  EXPECT_EQ(check.Check("3")->Code, tCode::kOutsideMap);
}

}  // namespace
}  // namespace check
