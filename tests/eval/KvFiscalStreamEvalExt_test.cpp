#include "eval/KvFiscalStreamEvalExt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EvalTestHelp.h"

namespace {

using eval_test::Play;
using eval_test::Row;
using eval_test::tRecordingPicker;

// Records every unhandled field as "<id>@<path>", the path as the evaluator
// holds it at that moment.
class tUnhandledRecorder : public tKvFiscalStreamEvalExt {
 public:
  using tKvFiscalStreamEvalExt::tKvFiscalStreamEvalExt;
  ~tUnhandledRecorder() override { CloseQuietly(); }

  void UnhandledField(int32_t id, const tKvKPosData& element) override {
    std::string text = std::to_string(id) + "@";
    for (int32_t level = 1; path(level) > 0; ++level) {
      text += (level > 1 ? "/" : "") + std::to_string(path(level));
    }
    Unhandled.push_back(text);
    tKvFiscalStreamEvalExt::UnhandledField(id, element);
  }

  std::vector<std::string> Unhandled;
};

class EvalExtTest : public ::testing::Test {
 protected:
  // Plays the script; no field may be left unhandled.
  void Feed(const std::string& script) {
    Play(eval_, script);
    EXPECT_EQ(eval_.Unhandled, std::vector<std::string>{}) << script;
  }

  std::string log_;
  tRecordingPicker picker_{&log_};
  tUnhandledRecorder eval_{&picker_};  // declared after the picker: closed before it dies
};

// --- Call orders ------------------------------------------------------------
// (Linked articles before their sale item: LinkedArticlesWithModifiers.)

TEST(EvalExtOrder, CallsSeenByThePicker) {
  const struct {
    const char* Name;
    const char* Script;
    const char* Calls;
  } cases[] = {
      {"header only", "E R1@1 R1@2 F3=i:5 e", "EntryStart SetEntryType(1) Header EntryEnd"},
      {"id 0 below the current level ends the deeper records only",
       "E R1@1 R2@2 F3=b:1 R4@3 F1=i:1 F2=b:0.19 R0@2 F2=b:2 e",
       "EntryStart SetEntryType(1) SaleItem EntryEnd"},
      {"SetVersion (1, 2) drops fields until (1, 1)",
       "V1,2 E R1@1 R1@2 F3=i:5 e V1,1 E R1@1 R1@2 F3=i:5 e",
       "EntryStart EntryEnd EntryStart SetEntryType(1) Header EntryEnd"},
      {"empty report entry", "E R3@1 e", "EntryStart SetEntryType(3) EntryEnd"},
      {"report records before counters and taxes",
       "E R3@1 R1@2 F3=i:1 R15@2 R1@3 F1=i:1 R16@2 R1@3 F1=i:5 R17@2 R1@3 F1=i:6 R4@2 F2=s:x e",
       "EntryStart SetEntryType(3) Header ReportMedia ReportGroup(0) ReportGroup(1) Signature "
       "ReportCounters ReportTax EntryEnd"},
      {"event entry", "E R14@1 R1@2 F2=f:1 R2@2 F1=i:3 e",
       "EntryStart SetEntryType(14) Header Event EntryEnd"},
      {"transaction records in closing order",
       "E R1@1 R1@2 F3=i:1 R3@2 F2=b:1 R11@2 F2=b:1 R5@2 F2=i:1 R6@2 F2=b:1 R7@2 F2=s:s e",
       "EntryStart SetEntryType(1) Header Adjust Deposit Closing Payment Signature EntryEnd"},
      {"fiscal type outside every class", "E R23@1 R1@2 F3=i:1 e",
       "EntryStart SetEntryType(23) EntryEnd"},
      {"unknown transaction kind delivers nothing", "E R1@1 R10@2 F1=i:1 e",
       "EntryStart SetEntryType(1) EntryEnd"},
      {"an entry without end is closed by the next one", "E R1@1 R1@2 F3=i:1 E R1@1 R1@2 F3=i:2 e",
       "EntryStart SetEntryType(1) Header EntryEnd EntryStart SetEntryType(1) Header EntryEnd"},
      {"an open entry ends before its block", "B1 E R1@1 R1@2 F3=i:1 B2",
       "BlockStart(1) EntryStart SetEntryType(1) Header EntryEnd BlockEnd BlockStart(2)"},
      {"where records come from", "H B12 E R1002@1 e",
       "FileHeader BlockStart(12) EntryStart SetEntryType(2) EntryEnd"},
  };
  // A picker that shares the records sees every call the evaluator's own
  // picker sees.
  for (const auto& c : cases) {
    std::string log, sharedLog;
    tRecordingPicker picker(&log), shared(&sharedLog);
    tKvFiscalStreamEvalExt eval(&picker);
    eval.ShareRecords(shared);
    Play(eval, c.Script);
    EXPECT_EQ(log, c.Calls) << c.Name << ": " << c.Script;
    EXPECT_EQ(sharedLog, c.Calls) << c.Name << ": " << c.Script;
  }
}

// A released evaluator ends its entry and block (closing twice: EvalBase).
TEST(EvalExtOrder, ReleasingDeliversTheFinalBlockEnd) {
  std::string log;
  tRecordingPicker picker(&log);
  { tKvFiscalStreamEvalExt unused(&picker); }
  EXPECT_EQ(log, "EntryEnd BlockEnd");
}

// --- Records filled field by field -------------------------------------------

TEST_F(EvalExtTest, TransactionHeader) {
  Feed(
      "E R1@1 R1@2 F1=t:1001 R2@3 F1=f:42 F2=s:Anna R0@2 F3=i:17 F4=i:1 F5=f:7 F6=f:12 F7=i:2"
      " F8=i:1 F9=i:99 R10@3 F1=s:TP F2=i:5 F3=s:MID F4=i:4 F5=i:55 F6=x:ABCD R7@4 F1=t:1002"
      " R2@5 F1=i:3 F2=i:4 F3=s:RC R0@4 F3=s:CM F4=s:SC R0@3 F8=s:EP R11@3 F1=s:EURO F2=i:978"
      " F3=i:2 R0@2 F12=i:8 F13=i:3 F14=s:Txt F15=i:1 F16=i:16 F17=s:INV F18=s:VL R19@3 F1=s:Sub"
      " F2=t:1003 R20@3 F1=s:Orig R2@4 F1=i:2 F2=s:Storno R0@3 F3=s:Why R21@3 F1=s:DE1 F2=s:Cust"
      " F3=s:Str F4=s:City F5=s:12345 F6=s:DE R22@3 F1=i:1 F2=s:Z e");
  ASSERT_EQ(picker_.Headers.size(), 1u);
  const tFiscHeaderRec& h = picker_.Headers[0];
  EXPECT_EQ(Row(h.DateTime, h.Operator, h.DocNo, h.Training, h.EcrNo, h.BookMemNo, h.BookMemType,
                h.NetBooking, h.SeqNo),
            "1001|42/Anna|17|1|7|12|2|1|99");
  EXPECT_EQ(Row(h.TaxpayerId, h.CardNo, h.ManufacturingId, h.Int10_4, h.KeyPairSerialNo, h.PluHash,
                h.ControlDateTime),
            "TP|5|MID|4|55|ABCD|1002");
  EXPECT_EQ(Row(h.ReceiptCounter.Counter, h.ReceiptCounter.Counter2, h.ReceiptCounter.Text,
                h.ControlModuleId, h.SigningCardId, h.EcrProductionNo),
            "3|4|RC|CM|SC|EP");
  // The currency code is cut to three characters.
  EXPECT_EQ(Row(h.Currency, h.LastVoucherSeqNo, h.FirstVoucherSeqNo, h.EcrText, h.NotPrinted,
                h.Int16, h.InvoiceNo, h.VoucherLink),
            "EUR/978/2|8|3|Txt|1|16|INV|VL");
  EXPECT_EQ(Row(h.Subsequent.Text, h.Subsequent.IssueDate, h.Void.OriginalInvoice, h.Void.VoidType,
                h.Void.Reason, h.FiscalReport, h.AuthOperator),
            "Sub|1003|Orig|2/Storno|Why|1/Z|0/");
  EXPECT_EQ(Row(h.Customer.TaxNo, h.Customer.Name, h.Customer.Street, h.Customer.City,
                h.Customer.PostCode, h.Customer.Country),
            "DE1|Cust|Str|City|12345|DE");
}

TEST_F(EvalExtTest, SaleItemWithTaxesAndModifiers) {
  // Tax index 1 twice: the later record replaces the slot. The second item
  // starts from a cleared buffer.
  Feed(
      "E R1@1 R9@2 R1@3 F1=f:101 F2=s:Cola R9@3 F1=f:5 F2=s:Drinks R0@2 F2=b:2 F6=s:Txt"
      " F3=b:3.8 F10=b:1 F7=i:1 R4@3 F1=i:1 F2=b:0.61 R4@3 F1=i:2 F2=b:0.1 R4@3 F1=i:1 F2=b:0.7"
      " R8@3 R1@4 F1=i:3 F2=s:Ice R0@3 F2=b:0.2 R8@3 R1@4 F1=i:4 F2=s:Lemon R0@3 F2=b:0.3 R2@2"
      " R8@3 R1@4 F1=i:5 e");
  ASSERT_EQ(picker_.SaleItems.size(), 2u);
  const tFiscSaleItemRec& s = picker_.SaleItems[0];
  EXPECT_EQ(
      Row(s.Kind, s.Plu, s.Department, s.Quantity, s.Text, s.Amount, s.Amount10, s.PriceOverwrite),
      "9|101/Cola|5/Drinks|2|Txt|3.8|1|1");
  EXPECT_EQ(Row(s.Taxes[0], s.Taxes[1], s.Taxes[2], s.Modifiers),
            "0/0/0|1/1/0.7|1/2/0.1|[3/Ice/0.2,4/Lemon/0.3]");
  tFiscSaleItemRec next;  // from a cleared buffer
  next.Kind = 2;
  tFiscModifierRec modifier;
  modifier.Modifier.Number = 5;
  next.Modifiers.Add(modifier);
  EXPECT_TRUE(picker_.SaleItems[1] == next)
      << Row(picker_.SaleItems[1].Plu, picker_.SaleItems[1].Text);
}

// Deeper records finish first, each linked article keeps its own modifiers,
// and a new level-2 record after a deep field ends them all.
TEST_F(EvalExtTest, LinkedArticlesWithModifiers) {
  Feed(
      "E R1@1 R2@2 F3=b:10 R5@3 R1@4 F1=f:200 F2=s:Fries R7@4 F1=f:6 F2=s:Food R0@3 F2=b:1"
      " F4=s:Big F3=b:2.5 F5=i:1 R6@4 R1@5 F1=i:11 F2=s:Salt R0@4 F2=b:0.1 R6@4 R1@5 F1=i:12"
      " R5@3 F2=b:2 R6@4 F2=b:0.5 R2@2 F3=b:20 e");
  ASSERT_EQ(log_, "EntryStart SetEntryType(1) PLULink PLULink SaleItem SaleItem EntryEnd");
  const tFiscPLULinkRec& l = picker_.Links[0];
  EXPECT_EQ(Row(l.Plu, l.Department, l.Quantity, l.Text, l.Amount, l.PriceOverwrite, l.Modifiers),
            "200/Fries|6/Food|1|Big|2.5|1|[11/Salt/0.1,12//0]");
  tFiscPLULinkRec second;  // from a cleared buffer
  second.Quantity = tKvBcd::FromText("2");
  tFiscModifierRec modifier;
  modifier.Amount = tKvBcd::FromText("0.5");
  second.Modifiers.Add(modifier);
  EXPECT_TRUE(picker_.Links[1] == second) << Row(picker_.Links[1].Plu, picker_.Links[1].Modifiers);
  EXPECT_EQ(
      Row(picker_.SaleItems[0].Amount, picker_.SaleItems[0].Modifiers, picker_.SaleItems[1].Amount),
      "10|[]|20");
}

TEST_F(EvalExtTest, AdjustmentAndDeposit) {
  Feed(
      "E R1@1 R3@2 R1@3 F1=i:5 F2=s:Rabatt R0@2 F2=b:-1 R3@3 F1=i:1 F2=b:-0.16 R0@2 F4=i:1"
      " R16@2 F2=b:-2 R11@2 R1@3 F1=f:77 F2=s:Dep R0@2 F2=b:50 R13@2 F2=b:5 e");
  ASSERT_EQ(picker_.Adjusts.size(), 2u);
  const tFiscAdjustRec& a = picker_.Adjusts[0];
  EXPECT_EQ(Row(a.Kind, a.Ref, a.Amount, a.Taxes[1], a.Flag), "3|5/Rabatt|-1|1/1/-0.16|1");
  tFiscAdjustRec b;  // from a cleared buffer
  b.Kind = 16;
  b.Amount = tKvBcd::FromText("-2");
  EXPECT_TRUE(picker_.Adjusts[1] == b) << Row(picker_.Adjusts[1].Ref, picker_.Adjusts[1].Taxes[1]);
  ASSERT_EQ(picker_.Deposits.size(), 2u);
  EXPECT_EQ(Row(picker_.Deposits[0].Kind, picker_.Deposits[0].Ref, picker_.Deposits[0].Amount),
            "11|77/Dep|50");
  EXPECT_EQ(Row(picker_.Deposits[1].Kind, picker_.Deposits[1].Ref, picker_.Deposits[1].Amount),
            "13|0/|5");
}

TEST_F(EvalExtTest, ClosingWithTaxSums) {
  // 5.2 without sub-field is ignored.
  Feed(
      "E R1@1 R5@2 F2=i:1 R1@3 F1=b:11.9 F2=b:10 R0@2 R2@3 R1@4 F1=i:1 F2=b:19 F3=s:MwSt R0@3"
      " F2=b:11.9 F8=b:10 F3=b:1.9 F4=b:-1 F5=b:3 F6=i:1 F7=i:1 R2@3 R1@4 F1=i:2 F2=b:7 R0@3"
      " F3=b:0.7 R3@3 F1=b:1 F2=b:2 F3=i:1 R4@3 F2=b:0.5 R5@3 F2=b:5 R6@3 F2=b:6 R7@3 F2=b:7"
      " R8@3 F2=b:8 e");
  ASSERT_EQ(picker_.Closings.size(), 1u);
  const tFiscClosingRec& c = picker_.Closings[0];
  EXPECT_EQ(Row(c.Totals.Net, c.Totals.Gross, c.Expenses, c.Tip, c.Declared, c.Difference, c.Drawer,
                c.PettyCash),
            "10|11.9|1/2/1|0/0.5/0|0/5/0|0/6/0|0/7/0|0/8/0");
  const tFiscTaxSumRec& t = c.TaxSums[1].Sum;
  EXPECT_EQ(Row(c.TaxSums[0].Used, c.TaxSums[1].Used, t.TaxIndex, t.Rate, t.Text, t.Flag7,
                t.SalesGross, t.SalesNet, t.SalesNegative, t.TaxValue, t.Amount5, t.Flag6),
            "0|1|1|19|MwSt|1|11.9|10|-1|1.9|3|1");
  const tFiscTaxSumRec& u = c.TaxSums[2].Sum;  // nothing carried over from slot 1
  EXPECT_EQ(Row(c.TaxSums[2].Used, u.TaxIndex, u.Rate, u.Text, u.SalesGross, u.TaxValue, u.Flag6),
            "1|2|7||0|0.7|0");
}

TEST_F(EvalExtTest, PaymentsAndSignature) {
  Feed(
      "E R1@1 R6@2 R1@3 F1=i:1 F2=s:Bar F3=s:Cash R0@2 F2=b:20 F3=t:1004 F4=s:EUR R14@2 F2=b:3"
      " R4@3 F1=s:USD F2=i:840 R21@2 R1@3 F2=s:Card R7@2 F1=x:0A1B R7@2 F1=x:0A1B F2=s:abc e");
  ASSERT_EQ(picker_.Payments.size(), 3u);
  const auto pay = [&](size_t i) {
    const tFiscPaymentRec& p = picker_.Payments.at(i);
    return Row(p.Kind, p.Media.MediaNo, p.Media.MediaName, p.Media.MediaText, p.Amount,
               p.PayDateTime, p.ForeignCurrency);
  };
  EXPECT_EQ(pay(0), "6|1|Bar|Cash|20|1004|EUR/0/0");
  EXPECT_EQ(pay(1), "0|0|||3|0|USD/840/0");  // no media field: the kind stays unset
  EXPECT_EQ(pay(2), "21|0|Card||0|0|/0/0");
  // k.1 gives the long text of a binary value; a later field replaces it.
  ASSERT_EQ(picker_.Signatures.size(), 2u);
  EXPECT_EQ(Row(picker_.Signatures[0].Length, picker_.Signatures[0], picker_.Signatures[1]),
            "4|0A1B|abc");
}

TEST_F(EvalExtTest, ReportRecords) {
  // Report kind 5 is dropped without notice.
  Feed(
      "E R3@1 R2@2 F1=b:4 F2=b:100 R6@2 F2=b:7 R18@2 F1=b:1000 F2=b:2000 F3=b:-50 R31@2 F1=b:1"
      " F3=i:1 R3@2 R1@3 F1=i:1 F2=b:19 R0@2 F2=b:119 F3=b:19 R3@2 R1@3 F1=i:2 F2=b:7 R0@2"
      " F2=b:107 R27@2 R1@3 F1=i:1 R0@2 F8=b:50 R5@2 F9=i:1"
      " R15@2 R1@3 F1=i:1 F2=s:Bar R2@3 F1=b:3 F2=b:30 R6@3 F2=b:100 R16@2 R1@3 F1=i:5 F2=s:Food "
      "R2@3 F1=b:2 F2=b:20 R17@2 R1@3 F1=i:6 F2=s:Bev e");
  ASSERT_EQ(picker_.Counters.size(), 1u);
  const tFiscReportCountersRec& r = picker_.Counters[0];
  const auto slot = [&](size_t i) {
    return Row(r.Slots.at(i).Used, r.Slots[i].Kind, r.Slots[i].Cell);
  };
  EXPECT_EQ(Row(r.GrandTotal.Sales, r.GrandTotal.Turnover, r.GrandTotal.Returns), "1000|2000|-50");
  EXPECT_EQ(slot(0), "1|2|4/100/0");
  EXPECT_EQ(slot(1), "1|6|0/7/0");  // nothing carried over from kind 2
  EXPECT_EQ(slot(2), "0|0|0/0/0");
  EXPECT_EQ(slot(21), "1|31|1/0/1");
  ASSERT_EQ(picker_.Taxes.size(), 1u);
  const tFiscReportTaxRec& t = picker_.Taxes[0];
  EXPECT_EQ(Row(t.TaxTotal[0].Used, t.TaxTotal[1].Sum.Rate, t.TaxTotal[1].Sum.SalesGross,
                t.TaxTotal[2].Sum.SalesGross, t.TaxSingle[1].Used, t.TaxSingle[1].Sum.SalesNet,
                t.TaxSingle[2].Used),
            "0|19|119|107|1|50|0");
  ASSERT_EQ(picker_.Media.size(), 1u);
  const tFiscReportMediaRec& m = picker_.Media[0];
  EXPECT_EQ(Row(m.Media, m.Sales.Present, m.Sales.Cell, m.Change.Present, m.PaidIn.Present,
                m.PaidOut.Present, m.Drawer.Present, m.Drawer.Cell),
            "1/Bar|1|3/30/0|0|0|0|1|0/100/0");
  ASSERT_EQ(picker_.Groups.size(), 2u);
  EXPECT_EQ(Row(picker_.Groups[0].Group, picker_.Groups[0].Cell, picker_.Groups[1].Group,
                picker_.Groups[1].Cell),
            "5/Food|2/20/0|6/Bev|0/0/0");
}

TEST_F(EvalExtTest, EventHeaderAndData) {
  Feed(
      "E R18@1 R1@2 F1=t:1005 F2=f:5 R3@3 F1=f:8 F2=s:Op R4@3 F1=f:9 F2=s:Boss R2@2 F1=i:3"
      " F2=s:Tab R3@2 F1=i:4 F2=s:Reason e");
  const tFiscHeaderRec& h = picker_.Headers.at(0);
  EXPECT_EQ(Row(h.DateTime, h.EcrNo, h.Operator, h.AuthOperator), "1005|5|8/Op|9/Boss");
  EXPECT_EQ(Row(picker_.Events.at(0).Info, picker_.Events[0].Value), "3/Tab|4/Reason");
}

// --- Fields no record takes ----------------------------------------------------

// Which paths each record refuses: KvKPosFiscalStreamHelp_test.
TEST(EvalExtUnhandled, ReportedWithTheirIdentifierAndPath) {
  const struct {
    const char* Script;
    std::vector<std::string> Unhandled;
  } cases[] = {
      {"E R1@1 R10@2 F1=i:1 e", {"10@1/10/1"}},  // unknown transaction kind
      {"E R1@1 R2@2 R5@3 F8=i:1 e", {"8@1/2/5/8"}},
      {"E R1@1 R5@2 F2=i:1 e", {}},  // 5.2 without sub-field: ignored
      {"E R1@1 R11@2 F3=i:1 e", {"3@1/11/3"}},
      {"E R3@1 R5@2 F1=i:1 e", {}},              // report kind 5: dropped
      {"E R3@1 R40@2 F1=i:1 e", {"40@3/40/1"}},  // unknown report kind
      {"E R14@1 R4@2 F1=i:1 e", {"4@14/4/1"}},   // unknown event kind
      {"E R23@1 R1@2 F1=i:1 e", {"23@23/1/1"}},  // no entry class
      {"E F7=i:1 e", {"7@7"}},                   // a field outside any record
      {"E R1@1 F7=i:1 e", {"7@1/7"}},            // a field of the entry record
      {"V1,2 E R1@1 R10@2 F1=i:1 e", {}},        // ignored format
  };
  for (const auto& c : cases) {
    std::string log;
    tRecordingPicker picker(&log);
    tUnhandledRecorder eval(&picker);
    Play(eval, c.Script);
    EXPECT_EQ(eval.Unhandled, c.Unhandled) << c.Script;
  }
}

TEST_F(EvalExtTest, UnhandledFieldsStoreNothingAndDoNotStopTheEntry) {
  Play(eval_, "E R1@1 R1@2 F99=i:1 R1@3 F1=i:1 R0@2 F3=i:4 e");
  EXPECT_EQ(eval_.Unhandled, (std::vector<std::string>{"99@1/1/99", "1@1/1/1/1"}));
  tFiscHeaderRec expected;
  expected.DocNo = 4;
  EXPECT_EQ(picker_.Headers.at(0), expected);
}

// --- State ----------------------------------------------------------------------

TEST_F(EvalExtTest, SetVersionClearsHalfBuiltRecords) {
  Feed("E R1@1 R2@2 F3=b:10 R4@3 F1=i:1 F2=b:1 V1,1 e E R1@1 R2@2 F2=b:1 e");
  // The first entry lost its data with the version change: nothing to deliver.
  ASSERT_EQ(picker_.SaleItems.size(), 1u);
  EXPECT_EQ(Row(picker_.SaleItems[0].Amount, picker_.SaleItems[0].Taxes[1]), "0|0/0/0");
  EXPECT_FALSE(eval_.ignore());
  Feed("V1,2");
  EXPECT_TRUE(eval_.ignore());
  Feed("V2,1");
  EXPECT_TRUE(eval_.ignore());
}

}  // namespace
