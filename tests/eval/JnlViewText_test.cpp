#include "eval/JnlViewText.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/RegionalSettings.h"

namespace {

using namespace jnl_view;

// The edges of the view's texts; names, articles, dates and times are checked
// in whole entries (JnlView_test).
TEST(JnlViewText, Numbers) {
  const struct {
    const char* Value;
    const char* Amount;
    const char* Quantity;
  } cases[] = {
      {"0", "0,00", "0"},
      {"2", "2,00", "2"},
      {"0.235", "0,24", "0,235"},  // half away from zero
      {"-0.425", "-0,43", "-0,425"},
      {"-0.004", "0,00", "-0,004"},  // rounds to zero: no sign
      {"999.995", "1.000,00", "999,995"},
      {"1234567.5", "1.234.567,50", "1.234.567,5"},
  };
  for (const auto& c : cases) {
    const tKvBcd value = tKvBcd::FromText(c.Value);
    EXPECT_EQ(AmountText(value), c.Amount) << c.Value;
    EXPECT_EQ(QuantityText(value), c.Quantity) << c.Value;
  }
  // Without a decimal separator: "."; no grouping when both are the same.
  platform::RegionalSettings saved = platform::Regional();
  platform::MutableRegionalSettings().DecimalSeparator = '\0';
  platform::MutableRegionalSettings().ThousandSeparator = '.';
  EXPECT_EQ(AmountText(tKvBcd::FromText("1234.5")), "1234.50");
  platform::MutableRegionalSettings() = saved;
}

TEST(JnlViewText, Alignment) {
  const struct {
    const char *Left, *Right;
    size_t Width;
    const char* Line;
  } cases[] = {
      {"ab", "12", 6, "ab  12"},
      {"abcdef", "12", 6, "abcd12"},  // the left part is cut
      {"ab", "1234567", 6, "1234567"},
      {"", "", 3, "   "},
  };
  // Alone, and in place one after another in a block: each line aligned
  // from its own start, without touching the lines before it.
  tLineBlock block;
  std::string lines;
  for (const auto& c : cases) {
    EXPECT_EQ(RightAlign(c.Left, c.Right, c.Width), c.Line) << c.Left;
    block.Begin(c.Left);
    block.AlignRight(c.Right, c.Width);
    lines += std::string(c.Line) + "\r\n";
  }
  EXPECT_EQ(block.Close(), lines);
  EXPECT_EQ(RightAlign("x", "1,00").size(), 70u);
  EXPECT_EQ(PadLeft("ab", 5), "   ab");
  EXPECT_EQ(PadLeft("abcdef", 5), "abcdef");
  EXPECT_EQ(Label30("Datum"), "Datum:                        ");
  EXPECT_EQ(Label30("Seriennummer des Schluesselpaars"), "Seriennummer des Schluesselpaa");
}

TEST(JnlViewText, PortugueseSignature) {
  // Bytes 00 01 02 ... 17: Base64 "AAEC AwQF BgcI CQoL DA0O DxAR EhMU FRYX"; the characters
  // 1, 11, 21 and 31 are A, c, D, Y.
  std::string hex;
  for (int i = 0; i < 24; ++i) hex += "0123456789ABCDEF"[i / 16], hex += "0123456789ABCDEF"[i % 16];
  const std::string footer =
      "-Processado por programa certificado n.\xB0"
      "4172/AT";
  EXPECT_EQ(PortugueseSignatureText(hex), "AcDY" + footer);
  // Decoding stops at the first non-digit; 4 bytes give 8 characters.
  EXPECT_EQ(PortugueseSignatureText(hex.substr(0, 8) + "zz" + hex), "A" + footer);
  EXPECT_EQ(PortugueseSignatureText(""), footer);
  EXPECT_EQ(PortugueseSignatureText(std::string(600, 'f')), "////" + footer);
}

}  // namespace
