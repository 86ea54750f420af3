#include "stream/KvKPosFiscalStreamRec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FiscalStreamRec, BlockInfoEquality) {
  tKvKPosBlockInfoRec a;
  a.Init();
  tKvKPosBlockInfoRec b = a;
  // Without a block number two records are never equal.
  EXPECT_FALSE(tKvKPosBlockInfoRec::Equals(a, b));

  a.ID = b.ID = 4;
  a.EcrName = b.EcrName = "Kasse 1";
  a.DataSign.AssignBinary("S");
  b.DataSign.AssignBinary("S");
  EXPECT_TRUE(tKvKPosBlockInfoRec::Equals(a, b));

  // Every field takes part.
  const std::vector<void (*)(tKvKPosBlockInfoRec&)> changes = {
      [](tKvKPosBlockInfoRec& r) { r.ID = 5; },
      [](tKvKPosBlockInfoRec& r) { r.EcrAddr = 1; },
      [](tKvKPosBlockInfoRec& r) { r.DateTime = tKvDateTime(1); },
      [](tKvKPosBlockInfoRec& r) { r.RegEndDT = tKvDateTime(1); },
      [](tKvKPosBlockInfoRec& r) { r.RegStartDT = tKvDateTime(1); },
      [](tKvKPosBlockInfoRec& r) { r.EcrNr.Bytes[9] = 1; },
      [](tKvKPosBlockInfoRec& r) { r.SerNr = 1; },
      [](tKvKPosBlockInfoRec& r) { r.EcrName = "Kasse 2"; },
      [](tKvKPosBlockInfoRec& r) { r.HwID = 1; },
      [](tKvKPosBlockInfoRec& r) { r.FiscJnlType = 1; },
      [](tKvKPosBlockInfoRec& r) { r.SwVer = "v"; },
      [](tKvKPosBlockInfoRec& r) { r.DataSign.AssignBinary("T"); },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    tKvKPosBlockInfoRec c = b;
    changes[i](c);
    EXPECT_FALSE(tKvKPosBlockInfoRec::Equals(a, c)) << "change " << i;
  }
}

// "Code/Kind/Origin", then R report, 4 kind 4, T transaction, E event, and
// the origin text.
TEST(FiscalStreamRec, DecodeFiscalType) {
  const std::pair<int32_t, std::string> cases[] = {
      {1, "1/1/0 T POS"},    {1003, "3/3/1 R NEXO"}, {2004, "4/4/2 R4 EJNL"}, {22, "22/22/0 R POS"},
      {14, "14/14/0 E POS"}, {18, "18/18/0 E POS"},  {21, "21/21/0 E POS"},   {20, "20/20/0 T POS"},
      {23, "23/0/0  POS"},   {3999, "999/0/3  "},    {0, "0/0/0  POS"},       {-5, "-5/0/0  POS"}};
  for (const auto& [code, expected] : cases) {
    const tKvKPosFiscalType t = DecodeFiscalType(code);
    const std::string flags = std::string(t.IsReport ? "R" : "") + (t.IsKind4 ? "4" : "") +
                              (t.IsTransaction ? "T" : "") + (t.IsEvent ? "E" : "");
    EXPECT_EQ(std::to_string(t.Code) + "/" + std::to_string(t.Kind) + "/" +
                  std::to_string(t.Origin) + " " + flags + " " + std::string(OriginText(t)),
              expected)
        << code;
    EXPECT_EQ(t.IsReportOrTransaction, t.IsReport || t.IsTransaction) << code;
  }
}

TEST(FiscalStreamRec, FiscalStreamExceptionMessage) {
  EXPECT_STREQ(EKvKPosFiscalStream(nullptr, 0, "", 2).what(), "KPosFiscalStream error #2");
  const EKvKPosFiscalStream e(nullptr, 1234, "Invalid link position", 6);
  EXPECT_STREQ(e.what(), "KPosFiscalStream error #6 - Invalid link position [FilePos=1234]");
  EXPECT_EQ(e.Code(), 6);
  EXPECT_EQ(e.FilePos(), 1234);
  EXPECT_STREQ(EKvKPosFiscalStream(nullptr, -1, "", -3).what(),
               "KPosFiscalStream error #-3 [FilePos=-1]");
}

}  // namespace
