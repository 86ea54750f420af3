// The tables of the first export stage over small scripted journals: whole
// lines per table, keys, the sequence checks, and the index declarations.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <tuple>

#include "idea/FiscalStreamEvalMasterDataChgPlu.h"
#include "idea/IdeaTestHelp.h"

namespace {

using idea_test::ExportFixture;
using idea_test::HeaderScript;

const tKvDateTime kDay = tKvDateTime::Encode(2016, 3, 5);
tKvDateTime At(int hour) { return tKvDateTime(kDay.Value + hour * 3600); }

// An entry of fiscal type code with a header.
std::string Entry(int code, int hour, int docNo, int seqNo, const std::string& more = "") {
  return "E R" + std::to_string(code) + "@1 " + HeaderScript(At(hour), docNo, seqNo) + " " + more +
         " e ";
}

tKvKPosBlockInfoRec Block(int32_t id) {
  tKvKPosBlockInfoRec block;
  block.ID = id;
  block.SerNr = 4711;
  block.EcrNr = tKvBcdFix::FromText("101");
  block.DateTime = At(20);
  block.RegStartDT = At(7);
  block.FiscJnlType = 1;
  block.SwVer = "V1";
  return block;
}

// A sale of one article; a payment.
const std::string kSale = "R2@2 R1@3 F1=f:100 F2=s:Cola R0@2 F2=b:1 F3=b:3.6 ";
const std::string kPayment = "R6@2 R1@3 F1=i:1 R0@2 ";

class IdeaTablesTest : public ExportFixture {
 protected:
  // The warnings and errors of the log.
  std::vector<std::string> Problems() const {
    std::vector<std::string> out;
    for (const std::string& line : log_.Lines) {
      if (line.rfind("4:", 0) == 0 || line.rfind("5:", 0) == 0) out.push_back(line);
    }
    return out;
  }
};

TEST_F(IdeaTablesTest, TransactionHeadersByCategoryWithTotalsAndTaxes) {
  Exporter().BlockStart(Block(1));
  // Closing: gross 12.50, net 10.00; tax slot 1 at 19 %: sales 12.50, tax 2.00.
  const std::string closing =
      "R5@2 R1@3 F1=b:12.50 F2=b:10 R2@3 R1@4 F1=i:1 F2=b:19 R0@3 F2=b:12.50 F3=b:2";
  Play(Entry(3, 7, 1, 1, "R2@2 F1=b:3") + Entry(2, 8, 2, 5, closing + " " + kSale + kPayment) +
       Entry(6, 9, 3, 0) + Entry(11, 10, 4, 0));
  Close();
  // Separators from one field to a later one.
  auto gap = [](int from, int to) { return std::string(static_cast<size_t>(to - from), ';'); };
  EXPECT_EQ(Lines("TransactHead.csv"),
            (std::vector<std::string>{"1;101;05.03.2016;08:00:00;2;2;POS;5;1;\"Anna\"" + gap(10, 17) +
                                      "12,5;10" + gap(18, 25) + "19;12,5;;2" + gap(28, 45) +
                                      "1;1;05.03.2016"}));
  EXPECT_EQ(Lines("BookMemHead.csv"),
            (std::vector<std::string>{"1;101;05.03.2016;09:00:00;3;6;POS;;1;\"Anna\"" + gap(10, 45) +
                                      "1;1;05.03.2016"}));
  EXPECT_EQ(Lines("Register.csv"),
            (std::vector<std::string>{"1;101;05.03.2016;07:00:00;1;3;POS;1;\"Anna\";;;;1;;;1"}));
  EXPECT_EQ(Lines("BlockInfo.csv"),
            (std::vector<std::string>{"1;101;05.03.2016;20:00:00;05.03.2016;07:00:00;;;1;1;4711;;"
                                      "\"V1\";NEXO Jorv (DE) 1.2.1.2 [Exp: 2.0.0];;;"}));
  const std::string index = dir_.Read("index.xml");
  // Declared head of the chain first; the booking-memory file hides SEQ_NO.
  EXPECT_LT(index.find("<URL>TransactHead.csv"), index.find("<URL>BookMemHead.csv"));
  EXPECT_LT(index.find("<URL>MiscTransHead.csv"), index.find("<URL>Register.csv"));
  EXPECT_LT(index.find("<URL>Register.csv"), index.find("<URL>BlockInfo.csv"));
  EXPECT_NE(index.find("<Name>NOT_USED_8</Name>"), std::string::npos);
  EXPECT_NE(index.find("<Comment>&lt;SuppComment&gt;</Comment>"), std::string::npos);
  // Value maps are declared with their columns: how many, and one of each.
  const std::tuple<std::string, std::string, size_t, std::string> maps[] = {
      {"TransactHead", "DOC_TYPE", 12, "<From>19</From><To>Bedienerabrechnung</To>"},
      {"TransactHead", "TRAIN_MODE", 3, "<From></From><To>Nein</To>"},
      {"TransactHead", "DOC_NO", 0, ""},
      {"TransactDetail", "REC_TYPE", 16, "<From>16</From><To>Rabatt (unbekannt)</To>"},
      {"Report", "REP_TYPE", 9, "<From>3</From><To>Steuern (Gesamt)</To>"}};
  for (const auto& [table, name, count, sample] : maps) {
    const size_t start = index.find("<Name>" + name + "<", index.find("<URL>" + table + ".csv"));
    const std::string column = index.substr(start, index.find("</Variable", start) - start);
    size_t found = 0;
    for (size_t at = 0; (at = column.find("<Map>", at)) != std::string::npos; ++at) ++found;
    EXPECT_EQ(found, count) << table << " " << name;
    EXPECT_NE(column.find(sample), std::string::npos) << table << " " << name;
  }
}

TEST_F(IdeaTablesTest, SequenceGapsAreLoggedWithinContinuingBlocks) {
  Exporter().BlockStart(Block(1));
  // Two registration ends in the first block are never checked.
  Play(Entry(4, 7, 1, 3) + Entry(4, 8, 2, 10));
  // Receipts 5, 6, 8; booking memory and an unnumbered paid-in between.
  Play(Entry(2, 9, 3, 5) + Entry(6, 9, 4, 77) + Entry(2, 10, 5, 6) + Entry(11, 10, 6, 0) +
       Entry(2, 11, 7, 8));
  // An entry whose fields are dropped delivers no header and must not reset
  // the sequence: 8 then 10 is still a gap.
  Play("V1,2 E R2@1 R1@2 F9=i:9 e V1,1" + std::string(" ") + Entry(2, 12, 8, 10));
  Exporter().BlockStart(Block(2));
  Play(Entry(4, 7, 9, 12));
  Exporter().BlockStart(Block(5));  // does not continue: nothing checked
  // At the end of the number range: INT_MIN never follows INT_MAX.
  Play(Entry(4, 7, 10, INT_MAX) + Entry(2, 8, 11, INT_MAX) + Entry(2, 9, 12, INT_MIN));
  Exporter().BlockStart(Block(6));
  Play(Entry(4, 7, 13, INT_MIN));
  Exporter().BlockStart(Block(INT_MAX));
  Play(Entry(4, 7, 14, 10));
  Exporter().BlockStart(Block(INT_MIN));  // does not continue block INT_MAX
  Play(Entry(4, 7, 15, 12));
  Close();
  const std::string gap = "5:=> Sequenznummern nicht fortlaufend ";
  const std::string wrap = ": 2147483647/-2147483648";
  EXPECT_EQ(Problems(), (std::vector<std::string>{gap + "(Trans.): 6/8", gap + "(Trans.): 8/10",
                                                  gap + "(Reg.): 10/12", gap + "(Trans.)" + wrap,
                                                  gap + "(Reg.)" + wrap}));
  EXPECT_EQ(Lines("TransactHead.csv").size(), 6u);
  EXPECT_EQ(Lines("Register.csv").size(), 7u);
  EXPECT_EQ(Lines("BlockInfo.csv").size(), 6u);
}

TEST_F(IdeaTablesTest, TransactionKindsReachTheFilesOfTheirCategory) {
  const std::map<std::string, std::vector<std::string>> kinds = {
      {"Transact", {"2", "20"}}, {"BookMem", {"6", "7"}}, {"MiscTrans", {"11", "12", "19"}}};
  Exporter().BlockStart(Block(1));
  for (const auto& [prefix, codes] : kinds) {
    for (const std::string& code : codes) Play(Entry(std::stoi(code), 8, 1, 0, kPayment));
  }
  Close();
  for (const auto& [prefix, codes] : kinds) {
    std::vector<std::string> types;  // DOC_TYPE, after "<key>;101;05.03.2016;08:00:00;1;"
    for (const std::string& line : Lines(prefix + "Head.csv")) {
      types.push_back(line.substr(28, line.find(";POS") - 28));
    }
    EXPECT_EQ(types, codes) << prefix;
    EXPECT_EQ(Lines(prefix + "Media.csv").size(), codes.size()) << prefix;
  }
}

// A header without a date keeps its line, since its detail and payment
// lines link to it; dates past 9999 are empty fields. Both are warnings.
TEST_F(IdeaTablesTest, DatesNoFieldCanHoldAreEmptyWithAWarning) {
  tKvKPosBlockInfoRec block = Block(1);
  block.DateTime = tKvDateTime(999999999999999999);
  block.RegEndDT = tKvDateTime(253402300799);
  Exporter().BlockStart(block);
  Play("E R2@1 " + HeaderScript(tKvDateTime(), 7, 1) + " " + kSale + kPayment + "e");
  Close();
  EXPECT_EQ(Lines("BlockInfo.csv").at(0).substr(0, 37), "1;101;;01:46:39;05.03.2016;07:00:00;;");
  EXPECT_EQ(Lines("TransactHead.csv").at(0).substr(0, 20), "1;101;;;7;2;POS;1;1;");
  const std::string undated = "4:=> Datum nicht darstellbar (BlockInfo.csv, ";
  EXPECT_EQ(Problems(),
            (std::vector<std::string>{undated + "CREATE_DATE): 999999999999999999",
                                      undated + "REG_END_DATE): 253402300799",
                                      "4:=> Beleg ohne Datum (TransactHead.csv): Belegnummer 7"}));
}

TEST_F(IdeaTablesTest, ReportLinesRunAcrossCountersAndBothTaxTables) {
  Exporter().BlockStart(Block(1));
  const std::string tax = "R1@3 F1=i:1 F2=b:19 R0@2 F2=b:100 F3=b:16";
  // A counter slot with amount and count zero is still a line.
  Play(Entry(4, 20, 1, 1, "R2@2 F1=b:3 F2=b:24.75 R6@2 F1=b:0 R3@2 " + tax + " R27@2 " + tax));
  Close();
  EXPECT_EQ(Lines("Report.csv"), (std::vector<std::string>{
                                      "1;1;2;;;;24,75;;;3;;101;05.03.2016",
                                      "1;2;6;;;;;;;;;101;05.03.2016",
                                      "1;3;3;1;19;;16;100;;;;101;05.03.2016",
                                      "1;4;27;1;19;;16;100;;;;101;05.03.2016",
                                  }));
}

TEST_F(IdeaTablesTest, DetailPaymentAndEventLines) {
  Exporter().BlockStart(Block(1));
  const std::string sale =
      "R2@2 R5@3 R1@4 F1=f:201 F2=s:Pfand R0@3 F2=b:1 F3=b:0.25 "  // two linked articles
      "R5@3 R1@4 F1=f:202 F2=s:Deckel R0@3 F2=b:-1 F3=b:0.1 R0@2 "
      "R1@3 F1=f:100 F2=s:Cola R0@2 F2=b:-2 F3=b:3.6 R4@3 F1=i:1 F2=b:3.6 "
      "R8@3 R1@4 F1=i:1 R0@3 F2=b:0.50 R8@3 R1@4 F1=i:2 R0@3 F2=b:0.25 ";
  const std::string noNumber = "R2@2 R5@3 R1@4 F1=f:203 R0@3 R0@2 F2=b:1 F3=b:1 ";
  const std::string discount = "R3@2 F2=b:-0.5 R3@3 F1=i:1 F2=b:-0.5 ";
  const std::string payment = "R6@2 R1@3 F1=i:1 F2=s:Bar R0@2 F2=b:3.2 R4@3 F1=s:CHF F2=i:756 ";
  const std::string zeroPayment = "R6@2 R1@3 F1=i:2 R0@2 ";
  Play(Entry(2, 8, 1, 1, sale + noNumber + discount + payment + zeroPayment));
  // An event entry without its event record still gets a line.
  Play("E R18@1 R1@2 F1=t:" + std::to_string(At(9).Value) + " F2=f:101 R2@2 F1=i:1 F2=s:Lade e");
  Play("E R18@1 R1@2 F1=t:" + std::to_string(At(9).Value) + " F2=f:101 e");
  Close();
  EXPECT_EQ(Lines("TransactDetail.csv"),
            (std::vector<std::string>{
                "1;1;;2;100;\"Cola\";-2;3,6;;3,6;;;;;;0,75;1;101",
                "1;2;1;2;201;\"Pfand\";1;;0,25;;;;;;;;;101",
                "1;3;1;2;202;\"Deckel\";-1;;0,1;;;;;;;;1;101",
                "1;4;;3;0;\"* Bezeichnung nicht vorhanden *\";1;-0,5;;-0,5;;;;;;;;101",
            }));
  EXPECT_EQ(Lines("TransactMedia.csv"),
            (std::vector<std::string>{"1;1;6;1;\"Bar\";3,2;;;\"CHF\";756;101",
                                      "1;2;6;2;;;;;;;101"}));
  EXPECT_EQ(Lines("EcrEventInfo.csv"),
            (std::vector<std::string>{"1;101;05.03.2016;09:00:00;18;;;;;1;\"Lade\";;;1;",
                                      "2;101;05.03.2016;09:00:00;18;;;;;0;;;;1;"}));
  // Sale items of event entries never reach the article table.
  EXPECT_FALSE(dir_.Exists("MasterDataChgPlu.csv"));
}

// The evaluator delivers no sale items in event entries; the table's own
// logic, fed directly: only a changed name gives a line.
TEST_F(IdeaTablesTest, ArticleNameChangesInEventEntries) {
  tXmlHdlIDEA index(dir_.Path() + "/", tSupplierRec{});
  tDocumentKeyHandler keys;
  tIdeaContext context{dir_.Path() + "/", false, log_, index, keys, {}, "", {}};
  auto owned = std::make_unique<tFiscalStreamEvalMasterDataChgPlu>(context, nullptr);
  tFiscalStreamEvalMasterDataChgPlu& table = *owned;
  tIdeaEntryTracker tracker(context, std::move(owned));
  tracker.SetEntryType(DecodeFiscalType(14));
  tFiscHeaderRec header;
  header.DateTime = At(9);
  header.EcrNo = tKvBcdFix::FromText("101");
  tracker.Header(header);
  for (const char* name : {"Cola", "Cola 0,5l", "Cola 0,5l"}) {
    tFiscSaleItemRec item;
    item.Kind = 2;
    item.Plu.Number = tKvBcdFix::FromText("100");
    item.Plu.Name = name;
    tracker.SaleItem(item);
  }
  table.FinishFiles(false);
  EXPECT_EQ(Lines("MasterDataChgPlu.csv"),
            (std::vector<std::string>{"1;101;05.03.2016;09:00:00;100;\"Cola 0,5l\""}));
  EXPECT_EQ(table.KnownArticleCount(), 1u);
}

TEST_F(IdeaTablesTest, EmptyJournalWithHeadersLeavesOnlyTheIndex) {
  column_headers_ = true;
  Close();
  EXPECT_FALSE(dir_.Exists("BlockInfo.csv"));
  EXPECT_FALSE(dir_.Exists("BlockInfo.csv.tmp"));
  const std::string index = dir_.Read("index.xml");
  EXPECT_NE(index.find("<Media><Name>Datentr\xC3\xA4ger</Name></Media>"), std::string::npos)
      << index;
}

}  // namespace
