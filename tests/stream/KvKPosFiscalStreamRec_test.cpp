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

TEST(FiscalStreamRec, DecodeFiscalType) {
  struct Case {
    int32_t code;
    int32_t Code;
    int Kind, Origin;
    bool report, kind4, transaction, event;
    std::string_view origin;
  };
  const std::vector<Case> cases = {
      {1, 1, 1, 0, false, false, true, false, "POS"},
      {1003, 3, 3, 1, true, false, false, false, "NEXO"},
      {2004, 4, 4, 2, true, true, false, false, "EJNL"},
      {22, 22, 22, 0, true, false, false, false, "POS"},
      {14, 14, 14, 0, false, false, false, true, "POS"},
      {18, 18, 18, 0, false, false, false, true, "POS"},
      {21, 21, 21, 0, false, false, false, true, "POS"},
      {20, 20, 20, 0, false, false, true, false, "POS"},
      {23, 23, 0, 0, false, false, false, false, "POS"},
      {3999, 999, 0, 3, false, false, false, false, ""},
      {0, 0, 0, 0, false, false, false, false, "POS"},
      {-5, -5, 0, 0, false, false, false, false, "POS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const tKvKPosFiscalType t = DecodeFiscalType(c.code);
    EXPECT_EQ(t.Code, c.Code);
    EXPECT_EQ(t.Kind, c.Kind);
    EXPECT_EQ(t.Origin, c.Origin);
    EXPECT_EQ(t.IsReport, c.report);
    EXPECT_EQ(t.IsKind4, c.kind4);
    EXPECT_EQ(t.IsTransaction, c.transaction);
    EXPECT_EQ(t.IsEvent, c.event);
    EXPECT_EQ(t.IsReportOrTransaction, c.report || c.transaction);
    EXPECT_EQ(OriginText(t), c.origin);
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
