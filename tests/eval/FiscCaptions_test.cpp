#include "eval/FiscCaptions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/KvCodepage.h"

namespace {

struct CaptionCase {
  int32_t code;
  std::string german;  // UTF-8, as read; compared after conversion
  std::string english;
};

std::string W(const std::string& utf8) { return Utf8ToWin1252(utf8); }

TEST(FiscCaptions, KnownCodes) {
  const CaptionCase cases[] = {
      {1, "Fiscal journal type", "Fiscal journal type"},
      {101, "Datum und Zeit", "Date and time"},
      {111, "Währung (ISO Code)", "Currency (ISO code)"},
      {145, "Seriennummer des Schlüsselpaars", "Key pair serial no."},
      {206, " Zahlung", "Payment"},  // the German text keeps its leading blank
      {209, "Auslagen/Agenturumsatz", "Expenses/Agency sales"},
      {221, "Wechselgeld-Bestand", "Petty Cash"},
      {307, "Preisüberschreibung", "Price overwrite"},
      {571, "ohne Steuer", "No tax"},
      {572, "* Bezeichnung nicht vorhanden *", "* Bezeichnung nicht vorhanden *"},
      {718, "Grand Total", "GT"},
      {720, "Wechselgeld-Bestand", "Petty Cash"},
      {724, "Gedeckt durch Anzahlung", "Payd by deposit"},
      {726, "Auslagen/Agenturumsatz", "Expenses/Agency sales"},  // shows code 209
      {727, "Steuern (Tagesabschluss", "Taxes (Single)"},
      {804, "Öffnungsgrund", "Reason"},
      {10000, "Universell", "All purpose"},
      {10002, "Österreich", "Austria"},
      {10005, "Deutschland", "Germany"},
      {10009, "Frankreich", "France"},
      {20001, "Rechnung", "Invoice"},
      {20014, "Stammdatenänderung", "Master data changed"},
      {20022, "Fiskalbericht", "Fiscal report"},
  };
  for (const CaptionCase& c : cases) {
    EXPECT_EQ(FiscCaption(c.code), W(c.german)) << c.code;
    EXPECT_EQ(FiscCaptionEnglish(c.code), W(c.english)) << c.code;
  }
}

TEST(FiscCaptions, UmlautsAreWindows1252) {
  EXPECT_EQ(FiscCaption(111), "W\xE4hrung (ISO Code)");
  EXPECT_EQ(FiscCaption(10002), "\xD6sterreich");
  EXPECT_EQ(FiscCaption(753),
            "R\xFC"
            "ckgeld");
}

TEST(FiscCaptions, UnknownCodes) {
  const std::pair<int32_t, std::string> cases[] = {
      {0, "? (0)"},
      {-5, "? (-5)"},
      {2, "? (2)"},
      {107, "? (107)"},
      {700, "? (700)"},
      {9999, "? (9999)"},
      {10010, "<? #10>"},
      {10012, "<? #12>"},
      {19999, "<? #9999>"},
      {20000, "? (20000)"},
      {20023, "<? #23>"},
      {20030, "<? #30>"},
      {29999, "<? #9999>"},
      {30000, "? (30000)"},
      {INT32_MIN, "? (-2147483648)"},
      {INT32_MAX, "? (2147483647)"},
  };
  for (const auto& [code, text] : cases) {
    EXPECT_EQ(FiscCaption(code), text) << code;
    EXPECT_EQ(FiscCaptionEnglish(code), text) << code;
  }
}

// Every known caption fits its capacity and converted without a
// replacement character (unknown codes are the only texts with a "?").
TEST(FiscCaptions, KnownCaptionsConvertedCompletely) {
  int known = 0;
  for (int32_t code = -10; code < 30010; ++code) {
    const std::string text = FiscCaption(code);
    ASSERT_LE(text.size(), kFiscCaptionMaxLength) << code;
    if (text.rfind("? (", 0) == 0 || text.rfind("<? #", 0) == 0) continue;
    ++known;
    EXPECT_EQ(text.find('?'), std::string::npos) << code;
    EXPECT_EQ(FiscCaptionEnglish(code).find('?'), std::string::npos) << code;
  }
  EXPECT_EQ(known, 142);
}

TEST(FiscCaptions, JournalTypeText) {
  EXPECT_EQ(FiscJournalTypeText(1, false), "Deutschland (1)");
  EXPECT_EQ(FiscJournalTypeText(5, false), "Deutschland (5)");
  EXPECT_EQ(FiscJournalTypeText(1, true), "Fiscal journal type: Deutschland (1)");
  EXPECT_EQ(FiscJournalTypeText(2, false), "\xD6sterreich (2)");
  EXPECT_EQ(FiscJournalTypeText(0, false), "Universell (0)");
  EXPECT_EQ(FiscJournalTypeText(12, false), "<? #12> (12)");
  EXPECT_EQ(FiscJournalTypeText(-1, false), "? (9999) (-1)");
  EXPECT_EQ(FiscJournalTypeText(INT32_MAX, false), "? (2147493647) (2147483647)");
}

tKvKPosFiscalType Type(int32_t code, uint8_t kind, uint8_t origin) {
  tKvKPosFiscalType type;
  type.Code = code;
  type.Kind = kind;
  type.Origin = origin;
  return type;
}

TEST(FiscCaptions, TypeText) {
  EXPECT_EQ(FiscTypeText(Type(2, 2, 1)), "NEXO: Bon");      // type code 1002
  EXPECT_EQ(FiscTypeText(Type(23, 0, 2)), "EJNL: ? (23)");  // type code 2023
  EXPECT_EQ(FiscTypeText(Type(22, 22, 0)), "Fiskalbericht");
  EXPECT_EQ(FiscTypeText(Type(999, 0, 9)), "? (999)");
}

TEST(FiscCaptions, TypeTextFromNumbers) {
  EXPECT_EQ(FiscTypeText(2, 2, 0), "Bon");
  EXPECT_EQ(FiscTypeText(2, 2, 1), "NEXO: Bon");
  EXPECT_EQ(FiscTypeText(23, 0, 2), "EJNL: ? (23)");
  EXPECT_EQ(FiscTypeText(3, 3, 7), "Registrierungs-Start");
  EXPECT_EQ(FiscTypeText(0, 0, 0), "? (0)");
}

}  // namespace
