// The item records byte for byte, the amount and text encodings, and SHA-1.
#include "insika/InsikaTlvData.h"

#include <gtest/gtest.h>

namespace {

std::string Hex(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text += std::string(text.empty() ? "" : " ") + kHex[b >> 4] + kHex[b & 0xF];
  }
  return text;
}

tKvBcd Bcd(const char* text) { return tKvBcd::FromText(text); }

TEST(InsikaTlvTest, IntegersAndPackedAmounts) {
  struct Case {
    const char* Value;
    int Shift;
    const char* Integer;
    const char* Packed;  // AddAmount with at most 11 bytes
  } cases[] = {
      {"12.34", 2, "1234", "B1 03 01 23 4C"},
      {"-0.5", 2, "-50", "B1 02 05 0D"},
      {"0", 2, "0", "B1 01 0C"},
      {"0.125", 2, "13", "B1 02 01 3C"},
      {"-0.004", 2, "0", "B1 01 0C"},
      {"999.995", 2, "100000", "B1 04 01 00 00 0C"},
      {"1E18", 2, "100000000000000000000", "B1 0B 10 00 00 00 00 00 00 00 00 00 0C"},
      {"1E19", 2, "1000000000000000000000", ""},  // 12 bytes
      {"2.5", 0, "3", nullptr},
      {"19", 2, "1900", nullptr},
  };
  for (const Case& c : cases) {
    std::string text;
    InsikaAppendInteger(text, Bcd(c.Value), c.Shift);
    EXPECT_EQ(text, c.Integer) << c.Value;
    if (c.Packed == nullptr) continue;
    tInsikaTlvData tlv;
    tlv.AddAmount(0xB1, Bcd(c.Value), 11);
    EXPECT_EQ(Hex(tlv.Data()), c.Packed) << c.Value;
  }
}

TEST(InsikaTlvTest, TextsAreNormalisedAndCut) {
  tInsikaTlvData tlv;
  tlv.AddText(0xA2, "\xC4pfel & Birnen 1kg", true, 16);
  EXPECT_EQ(tlv.Data(), std::string("\xA2\x0F#pfel#birnen1kg"));
  tlv.Clear();
  tlv.AddText(0xA1, " \x01\x7F ", true, 8);  // nothing left
  tlv.AddText(0xA1, "ABCDEFGHIJ", true, 8);
  tlv.AddText(0xA0, "Ab 1", false, 16);
  EXPECT_EQ(tlv.Data(), std::string("\xA1\x08" "abcdefgh" "\xA0\x04" "Ab 1"));
}

TEST(InsikaTlvTest, ItemRecordsAndTheirHash) {
  tInsikaTlvDataTransactItem items;
  items.Hash();
  EXPECT_EQ(items.DigestHex(), std::string(40, '0'));
  items.AddTLV(0xA0, "abc");  // the digest of A0 03 61 62 63, as sha1sum gives it
  items.Hash();
  EXPECT_EQ(items.DigestHex(), "94DC7AE44A9414C2FEF7568EDE166A95178C5C4E");

  tFiscSaleItemRec sale;
  sale.Quantity = Bcd("1.50");
  sale.Text = "  ";  // blank: no unit record
  sale.Plu.Name = "\xC4pfel & Birnen 1kg";
  sale.Taxes[0] = {true, 0, Bcd("1")};   // slot 0 is never encoded
  sale.Taxes[1] = {true, 1, Bcd("12.34")};
  sale.Taxes[2] = {true, 2, Bcd("0")};   // zero: skipped
  sale.Taxes[3] = {false, 3, Bcd("5")};  // unused
  tFiscAdjustRec adjust;
  adjust.Ref.Name = "Rabatt";
  adjust.Taxes[8] = {true, 8, Bcd("-0.5")};
  items.Clear();
  items.AddSaleItem(sale);
  items.AddAdjust(adjust);
  items.AddSaleItem(tFiscSaleItemRec{});  // still a quantity record
  EXPECT_EQ(Hex(items.Data()),
            "A0 03 31 2E 35 A2 0F 23 70 66 65 6C 23 62 69 72 6E 65 6E 31 6B 67 B1 03 01 23 4C "
            "A0 01 31 A2 06 72 61 62 61 74 74 AA 00 B8 02 05 0D A0 01 30");
}

}  // namespace
