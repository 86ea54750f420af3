#include "eval/KvFiscalStreamEvalExt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EvalTestHelp.h"

namespace {

using eval_test::Bcd;
using eval_test::Play;
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
    unhandled.push_back(text);
    tKvFiscalStreamEvalExt::UnhandledField(id, element);
  }

  std::vector<std::string> unhandled;
};

class EvalExtTest : public ::testing::Test {
 protected:
  void Feed(const std::string& script) { Play(eval, script); }

  std::string log;
  tRecordingPicker picker{&log};
  tUnhandledRecorder eval{&picker};  // declared after the picker: closed before it dies
};

std::string Dt(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return std::to_string(tKvDateTime::Encode(y, mo, d, h, mi, s).Value);
}

// --- Call orders ------------------------------------------------------------

struct OrderCase {
  const char* name;
  const char* script;
  const char* calls;
};

TEST(EvalExtOrder, CallsSeenByThePicker) {
  const OrderCase cases[] = {
      {"header only", "E R1@1 R1@2 F3=i:5 e", "EntryStart SetEntryType(1) Header EntryEnd"},
      {"sale item with two linked articles",
       "E R1@1 R2@2 F3=b:10 R5@3 F2=b:1 R6@4 R1@5 F1=i:7 R0@4 F2=b:0.5 R5@3 F2=b:2 e",
       "EntryStart SetEntryType(1) PLULink PLULink SaleItem EntryEnd"},
      {"new level-2 record after a deep field",
       "E R1@1 R2@2 F3=b:10 R5@3 F2=b:1 R6@4 F2=b:0.5 R2@2 F3=b:20 e",
       "EntryStart SetEntryType(1) PLULink SaleItem SaleItem EntryEnd"},
      {"id 0 below the current level ends the deeper records only",
       "E R1@1 R2@2 F3=b:1 R4@3 F1=i:1 F2=b:0.19 R0@2 F2=b:2 e",
       "EntryStart SetEntryType(1) SaleItem EntryEnd"},
      {"SetVersion (1, 2) drops fields until (1, 1)",
       "V1,2 E R1@1 R1@2 F3=i:5 e V1,1 E R1@1 R1@2 F3=i:5 e",
       "EntryStart EntryEnd EntryStart SetEntryType(1) Header EntryEnd"},
      {"empty report entry", "E R3@1 e", "EntryStart SetEntryType(3) EntryEnd"},
      {"report with a counter", "E R3@1 R2@2 F1=b:4 e",
       "EntryStart SetEntryType(3) ReportCounters ReportTax EntryEnd"},
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
      {"two block starts in a row", "B1 B2", "BlockStart(1) EntryEnd BlockEnd BlockStart(2)"},
  };
  for (const OrderCase& c : cases) {
    std::string log;
    tRecordingPicker picker(&log);
    tKvFiscalStreamEvalExt eval(&picker);
    Play(eval, c.script);
    EXPECT_EQ(log, c.calls) << c.name << ": " << c.script;
  }
}

TEST_F(EvalExtTest, ClosingDeliversOneFinalBlockEnd) {
  Feed("B1 E R1@1 R1@2 F3=i:1 e B2 E R1@1 R1@2 F3=i:2 e");
  eval.Close();
  eval.Close();
  EXPECT_EQ(log,
            "BlockStart(1) EntryStart SetEntryType(1) Header EntryEnd BlockEnd BlockStart(2) "
            "EntryStart SetEntryType(1) Header EntryEnd BlockEnd");
}

TEST(EvalExtLifetime, DestroyingAnUnusedEvaluatorEndsItsEntryAndBlock) {
  std::string log;
  tRecordingPicker picker(&log);
  { tKvFiscalStreamEvalExt eval(&picker); }
  EXPECT_EQ(log, "EntryEnd BlockEnd");
}

TEST_F(EvalExtTest, SecondLinkedArticleKeepsOnlyItsOwnModifiers) {
  Feed("E R1@1 R2@2 F3=b:10 R5@3 F2=b:1 R6@4 R1@5 F1=i:7 R0@4 F2=b:0.5 R5@3 F2=b:2 e");
  ASSERT_EQ(picker.links.size(), 2u);
  EXPECT_EQ(picker.links[0].Modifiers.Count(), 1);
  EXPECT_EQ(picker.links[0].Modifiers.Get(1).Modifier.Number, 7);
  EXPECT_EQ(picker.links[1].Modifiers.Count(), 0);
  EXPECT_EQ(picker.links[1].Quantity.Text(true), "2");
  ASSERT_EQ(picker.sale_items.size(), 1u);
  EXPECT_EQ(picker.sale_items[0].Amount.Text(true), "10");
}

TEST_F(EvalExtTest, DeepRecordsFinishBeforeTheirLevel2Record) {
  Feed("E R1@1 R2@2 F3=b:10 R5@3 F2=b:1 R6@4 F2=b:0.5 R2@2 F3=b:20 e");
  ASSERT_EQ(picker.links.size(), 1u);
  ASSERT_EQ(picker.links[0].Modifiers.Count(), 1);
  EXPECT_EQ(picker.links[0].Modifiers.Get(1).Amount.Text(true), "0.5");
  ASSERT_EQ(picker.sale_items.size(), 2u);
  EXPECT_EQ(picker.sale_items[0].Amount.Text(true), "10");
  EXPECT_EQ(picker.sale_items[1].Amount.Text(true), "20");
}

TEST_F(EvalExtTest, LevelEndKeepsTheOuterRecordOpen) {
  Feed("E R1@1 R2@2 F3=b:1 R4@3 F1=i:1 F2=b:0.19 R0@2 F2=b:2 e");
  ASSERT_EQ(picker.sale_items.size(), 1u);
  const tFiscSaleItemRec& item = picker.sale_items[0];
  EXPECT_TRUE(item.Taxes[1].Used);
  EXPECT_EQ(item.Taxes[1].Amount.Text(true), "0.19");
  EXPECT_EQ(item.Quantity.Text(true), "2");
  EXPECT_EQ(item.Amount.Text(true), "1");
}

// --- Records filled field by field -------------------------------------------

TEST_F(EvalExtTest, TransactionHeader) {
  Feed("E R1@1 R1@2 F1=t:" + Dt(2016, 6, 22, 7, 49, 19) +
       " R2@3 F1=f:42 F2=s:Anna R0@2 F3=i:17 F4=i:1 F5=f:7 F6=f:12 F7=i:2 F8=i:1 F9=i:99"
       " R10@3 F1=s:TP F2=i:5 F3=s:MID F4=i:4 F5=i:55 F6=x:ABCD"
       " R7@4 F1=t:" +
       Dt(2016, 6, 22) +
       " R2@5 F1=i:3 F2=i:4 F3=s:RC R0@4 F3=s:CM F4=s:SC"
       " R0@3 F8=s:EP R11@3 F1=s:EURO F2=i:978 F3=i:2"
       " R0@2 F12=i:8 F13=i:3 F14=s:Txt F15=i:1 F16=i:16 F17=s:INV F18=s:VL"
       " R19@3 F1=s:Sub F2=t:" +
       Dt(2016, 1, 2) +
       " R20@3 F1=s:Orig R2@4 F1=i:2 F2=s:Storno"
       " R0@3 F3=s:Why R21@3 F1=s:DE1 F2=s:Cust F3=s:Str F4=s:City F5=s:12345 F6=s:DE"
       " R22@3 F1=i:1 F2=s:Z e");
  EXPECT_TRUE(eval.unhandled.empty());
  ASSERT_EQ(picker.headers.size(), 1u);
  const tFiscHeaderRec& h = picker.headers[0];
  EXPECT_EQ(h.DateTime, tKvDateTime::Encode(2016, 6, 22, 7, 49, 19));
  EXPECT_EQ(h.Operator.Number.Text(), "42");
  EXPECT_EQ(h.Operator.Name, "Anna");
  EXPECT_EQ(h.DocNo, 17);
  EXPECT_TRUE(h.Training);
  EXPECT_EQ(h.EcrNo.Text(), "7");
  EXPECT_EQ(h.BookMemNo.Text(), "12");
  EXPECT_EQ(h.BookMemType, 2);
  EXPECT_TRUE(h.NetBooking);
  EXPECT_EQ(h.SeqNo, 99);
  EXPECT_EQ(h.TaxpayerId, "TP");
  EXPECT_EQ(h.CardNo, 5);
  EXPECT_EQ(h.ManufacturingId, "MID");
  EXPECT_EQ(h.Int10_4, 4);
  EXPECT_EQ(h.KeyPairSerialNo, 55);
  EXPECT_EQ(h.PluHash.View(), "ABCD");
  EXPECT_EQ(h.ControlDateTime, tKvDateTime::Encode(2016, 6, 22));
  EXPECT_EQ(h.ReceiptCounter.Counter, 3);
  EXPECT_EQ(h.ReceiptCounter.Counter2, 4);
  EXPECT_EQ(h.ReceiptCounter.Text, "RC");
  EXPECT_EQ(h.ControlModuleId, "CM");
  EXPECT_EQ(h.SigningCardId, "SC");
  EXPECT_EQ(h.EcrProductionNo, "EP");
  EXPECT_EQ(h.Currency.IsoCode, "EUR");  // cut to three characters
  EXPECT_EQ(h.Currency.IsoNo, 978);
  EXPECT_EQ(h.Currency.Extra, 2);
  EXPECT_EQ(h.LastVoucherSeqNo, 8);
  EXPECT_EQ(h.FirstVoucherSeqNo, 3);
  EXPECT_EQ(h.EcrText, "Txt");
  EXPECT_TRUE(h.NotPrinted);
  EXPECT_EQ(h.Int16, 16);
  EXPECT_EQ(h.InvoiceNo, "INV");
  EXPECT_EQ(h.VoucherLink, "VL");
  EXPECT_EQ(h.Subsequent.Text, "Sub");
  EXPECT_EQ(h.Subsequent.IssueDate, tKvDateTime::Encode(2016, 1, 2));
  EXPECT_EQ(h.Void.OriginalInvoice, "Orig");
  EXPECT_EQ(h.Void.VoidType.Number, 2);
  EXPECT_EQ(h.Void.VoidType.Name, "Storno");
  EXPECT_EQ(h.Void.Reason, "Why");
  EXPECT_EQ(h.Customer.TaxNo, "DE1");
  EXPECT_EQ(h.Customer.Name, "Cust");
  EXPECT_EQ(h.Customer.Street, "Str");
  EXPECT_EQ(h.Customer.City, "City");
  EXPECT_EQ(h.Customer.PostCode, "12345");
  EXPECT_EQ(h.Customer.Country, "DE");
  EXPECT_EQ(h.FiscalReport.Number, 1);
  EXPECT_EQ(h.FiscalReport.Name, "Z");
}

TEST_F(EvalExtTest, SaleItemWithTaxesAndModifiers) {
  Feed(
      "E R1@1 R9@2 R1@3 F1=f:101 F2=s:Cola R9@3 F1=f:5 F2=s:Drinks R0@2 F2=b:2 F6=s:Txt"
      " F3=b:3.8 F10=b:1 F7=i:1 R4@3 F1=i:1 F2=b:0.61 R4@3 F1=i:2 F2=b:0.1 R4@3 F1=i:1 F2=b:0.7"
      " R8@3 R1@4 F1=i:3 F2=s:Ice R0@3 F2=b:0.2 R8@3 R1@4 F1=i:4 F2=s:Lemon R0@3 F2=b:0.3 e");
  EXPECT_TRUE(eval.unhandled.empty());
  ASSERT_EQ(picker.sale_items.size(), 1u);
  const tFiscSaleItemRec& s = picker.sale_items[0];
  EXPECT_EQ(s.Kind, 9);
  EXPECT_EQ(s.Plu.Number.Text(), "101");
  EXPECT_EQ(s.Plu.Name, "Cola");
  EXPECT_EQ(s.Department.Number.Text(), "5");
  EXPECT_EQ(s.Department.Name, "Drinks");
  EXPECT_EQ(s.Quantity.Text(true), "2");
  EXPECT_EQ(s.Text, "Txt");
  EXPECT_EQ(s.Amount.Text(true), "3.8");
  EXPECT_EQ(s.Amount10.Text(true), "1");
  EXPECT_TRUE(s.PriceOverwrite);
  EXPECT_FALSE(s.Taxes[0].Used);
  EXPECT_TRUE(s.Taxes[1].Used);
  EXPECT_EQ(s.Taxes[1].Amount.Text(true), "0.7");  // the later record replaces the slot
  EXPECT_TRUE(s.Taxes[2].Used);
  EXPECT_EQ(s.Taxes[2].TaxIndex, 2);
  ASSERT_EQ(s.Modifiers.Count(), 2);
  EXPECT_EQ(s.Modifiers.Get(1).Modifier.Number, 3);
  EXPECT_EQ(s.Modifiers.Get(1).Modifier.Name, "Ice");
  EXPECT_EQ(s.Modifiers.Get(1).Amount.Text(true), "0.2");
  EXPECT_EQ(s.Modifiers.Get(2).Modifier.Name, "Lemon");
}

TEST_F(EvalExtTest, LinkedArticleWithModifiers) {
  Feed(
      "E R1@1 R2@2 R5@3 R1@4 F1=f:200 F2=s:Fries R7@4 F1=f:6 F2=s:Food R0@3 F2=b:1 F4=s:Big"
      " F3=b:2.5 F5=i:1 R6@4 R1@5 F1=i:11 F2=s:Salt R0@4 F2=b:0.1 R6@4 R1@5 F1=i:12 e");
  EXPECT_TRUE(eval.unhandled.empty());
  ASSERT_EQ(picker.links.size(), 1u);
  const tFiscPLULinkRec& l = picker.links[0];
  EXPECT_EQ(l.Plu.Number.Text(), "200");
  EXPECT_EQ(l.Plu.Name, "Fries");
  EXPECT_EQ(l.Department.Number.Text(), "6");
  EXPECT_EQ(l.Department.Name, "Food");
  EXPECT_EQ(l.Quantity.Text(true), "1");
  EXPECT_EQ(l.Text, "Big");
  EXPECT_EQ(l.Amount.Text(true), "2.5");
  EXPECT_TRUE(l.PriceOverwrite);
  ASSERT_EQ(l.Modifiers.Count(), 2);
  EXPECT_EQ(l.Modifiers.Get(1).Modifier.Name, "Salt");
  EXPECT_EQ(l.Modifiers.Get(1).Amount.Text(true), "0.1");
  EXPECT_EQ(l.Modifiers.Get(2).Modifier.Number, 12);
  ASSERT_EQ(picker.sale_items.size(), 1u);
  EXPECT_EQ(picker.sale_items[0].Modifiers.Count(), 0);  // the link's modifiers stay its own
}

TEST_F(EvalExtTest, AdjustmentAndDeposit) {
  Feed(
      "E R1@1 R3@2 R1@3 F1=i:5 F2=s:Rabatt R0@2 F2=b:-1 R3@3 F1=i:1 F2=b:-0.16 R0@2 F4=i:1"
      " R16@2 F2=b:-2 R11@2 R1@3 F1=f:77 F2=s:Dep R0@2 F2=b:50 R13@2 F2=b:5 e");
  EXPECT_TRUE(eval.unhandled.empty());
  ASSERT_EQ(picker.adjusts.size(), 2u);
  const tFiscAdjustRec& a = picker.adjusts[0];
  EXPECT_EQ(a.Kind, 3);
  EXPECT_EQ(a.Ref.Number, 5);
  EXPECT_EQ(a.Ref.Name, "Rabatt");
  EXPECT_EQ(a.Amount.Text(true), "-1");
  EXPECT_TRUE(a.Taxes[1].Used);
  EXPECT_EQ(a.Taxes[1].Amount.Text(true), "-0.16");
  EXPECT_TRUE(a.Flag);
  EXPECT_EQ(picker.adjusts[1].Kind, 16);
  EXPECT_FALSE(picker.adjusts[1].Taxes[1].Used);  // the buffer was cleared after delivery
  ASSERT_EQ(picker.deposits.size(), 2u);
  EXPECT_EQ(picker.deposits[0].Kind, 11);
  EXPECT_EQ(picker.deposits[0].Ref.Number.Text(), "77");
  EXPECT_EQ(picker.deposits[0].Ref.Name, "Dep");
  EXPECT_EQ(picker.deposits[0].Amount.Text(true), "50");
  EXPECT_EQ(picker.deposits[1].Kind, 13);
}

TEST_F(EvalExtTest, ClosingWithTaxSums) {
  Feed(
      "E R1@1 R5@2 F2=i:1 R1@3 F1=b:11.9 F2=b:10 R0@2 R2@3 R1@4 F1=i:1 F2=b:19 F3=s:MwSt"
      " R0@3 F2=b:11.9 F8=b:10 F3=b:1.9 F4=b:-1 F5=b:3 F6=i:1 F7=i:1"
      " R2@3 R1@4 F1=i:2 F2=b:7 R0@3 F3=b:0.7"
      " R3@3 F1=b:1 F2=b:2 F3=i:1 R4@3 F2=b:0.5 R5@3 F2=b:5 R6@3 F2=b:6 R7@3 F2=b:7 R8@3 F2=b:8 e");
  EXPECT_TRUE(eval.unhandled.empty());  // 5.2 without sub-field is ignored
  ASSERT_EQ(picker.closings.size(), 1u);
  const tFiscClosingRec& c = picker.closings[0];
  EXPECT_EQ(c.Totals.Gross.Text(true), "11.9");
  EXPECT_EQ(c.Totals.Net.Text(true), "10");
  EXPECT_FALSE(c.TaxSums[0].Used);
  ASSERT_TRUE(c.TaxSums[1].Used);
  const tFiscTaxSumRec& t = c.TaxSums[1].Sum;
  EXPECT_EQ(t.TaxIndex, 1);
  EXPECT_EQ(t.Rate.Text(true), "19");
  EXPECT_EQ(t.Text, "MwSt");
  EXPECT_EQ(t.SalesGross.Text(true), "11.9");
  EXPECT_EQ(t.SalesNet.Text(true), "10");
  EXPECT_EQ(t.TaxValue.Text(true), "1.9");
  EXPECT_EQ(t.SalesNegative.Text(true), "-1");
  EXPECT_EQ(t.Amount5.Text(true), "3");
  EXPECT_TRUE(t.Flag6);
  EXPECT_TRUE(t.Flag7);
  ASSERT_TRUE(c.TaxSums[2].Used);
  EXPECT_EQ(c.TaxSums[2].Sum.TaxValue.Text(true), "0.7");
  EXPECT_EQ(c.TaxSums[2].Sum.Text, "");  // nothing carried over from slot 1
  EXPECT_EQ(c.Expenses.Count.Text(true), "1");
  EXPECT_EQ(c.Expenses.Amount.Text(true), "2");
  EXPECT_TRUE(c.Expenses.Flag);
  EXPECT_EQ(c.Tip.Amount.Text(true), "0.5");
  EXPECT_EQ(c.Declared.Amount.Text(true), "5");
  EXPECT_EQ(c.Difference.Amount.Text(true), "6");
  EXPECT_EQ(c.Drawer.Amount.Text(true), "7");
  EXPECT_EQ(c.PettyCash.Amount.Text(true), "8");
}

TEST_F(EvalExtTest, PaymentsAndSignature) {
  Feed("E R1@1 R6@2 R1@3 F1=i:1 F2=s:Bar F3=s:Cash R0@2 F2=b:20 F3=t:" + Dt(2016, 6, 22, 8) +
       " F4=s:EUR R14@2 F2=b:3 R4@3 F1=s:USD F2=i:840 R21@2 R1@3 F2=s:Card"
       " R7@2 F1=x:0A1B R7@2 F1=x:0A1B F2=s:abc e");
  EXPECT_TRUE(eval.unhandled.empty());
  ASSERT_EQ(picker.payments.size(), 3u);
  const tFiscPaymentRec& p = picker.payments[0];
  EXPECT_EQ(p.Kind, 6);
  EXPECT_EQ(p.Media.MediaNo, 1);
  EXPECT_EQ(p.Media.MediaName, "Bar");
  EXPECT_EQ(p.Media.MediaText, "Cash");
  EXPECT_EQ(p.Amount.Text(true), "20");
  EXPECT_EQ(p.PayDateTime, tKvDateTime::Encode(2016, 6, 22, 8));
  EXPECT_EQ(p.ForeignCurrency.IsoCode, "EUR");
  EXPECT_EQ(picker.payments[1].Kind, 0);  // no media field: the kind stays unset
  EXPECT_EQ(picker.payments[1].ForeignCurrency.IsoCode, "USD");
  EXPECT_EQ(picker.payments[1].ForeignCurrency.IsoNo, 840);
  EXPECT_EQ(picker.payments[2].Kind, 21);
  ASSERT_EQ(picker.signatures.size(), 2u);
  EXPECT_EQ(picker.signatures[0].View(), "0A1B");  // the long text of the binary value
  EXPECT_EQ(picker.signatures[0].Length, 4);
  EXPECT_EQ(picker.signatures[1].View(), "abc");  // the later field replaces the earlier
}

TEST_F(EvalExtTest, ReportCountersAndTaxTables) {
  Feed(
      "E R3@1 R2@2 F1=b:4 F2=b:100 R6@2 F2=b:7 R18@2 F1=b:1000 F2=b:2000 F3=b:-50"
      " R31@2 F1=b:1 F3=i:1 R3@2 R1@3 F1=i:1 F2=b:19 R0@2 F2=b:119 F3=b:19"
      " R3@2 R1@3 F1=i:2 F2=b:7 R0@2 F2=b:107 R27@2 R1@3 F1=i:1 R0@2 F8=b:50 R5@2 F9=i:1 e");
  EXPECT_TRUE(eval.unhandled.empty());  // report kind 5 is dropped without notice
  ASSERT_EQ(picker.counters.size(), 1u);
  const tFiscReportCountersRec& r = picker.counters[0];
  EXPECT_EQ(r.GrandTotal.Sales.Text(true), "1000");
  EXPECT_EQ(r.GrandTotal.Turnover.Text(true), "2000");
  EXPECT_EQ(r.GrandTotal.Returns.Text(true), "-50");
  EXPECT_TRUE(r.Slots[0].Used);
  EXPECT_EQ(r.Slots[0].Kind, 2);
  EXPECT_EQ(r.Slots[0].Cell.Count.Text(true), "4");
  EXPECT_EQ(r.Slots[0].Cell.Amount.Text(true), "100");
  EXPECT_EQ(r.Slots[1].Kind, 6);
  EXPECT_EQ(r.Slots[1].Cell.Amount.Text(true), "7");
  EXPECT_EQ(r.Slots[1].Cell.Count.Text(true), "0");  // nothing carried over from kind 2
  EXPECT_FALSE(r.Slots[2].Used);
  EXPECT_EQ(r.Slots[21].Kind, 31);
  EXPECT_TRUE(r.Slots[21].Cell.Flag);
  ASSERT_EQ(picker.taxes.size(), 1u);
  const tFiscReportTaxRec& t = picker.taxes[0];
  EXPECT_EQ(t.TaxTotal[1].Sum.Rate.Text(true), "19");
  EXPECT_EQ(t.TaxTotal[1].Sum.SalesGross.Text(true), "119");
  EXPECT_EQ(t.TaxTotal[2].Sum.SalesGross.Text(true), "107");
  EXPECT_FALSE(t.TaxTotal[0].Used);
  EXPECT_TRUE(t.TaxSingle[1].Used);
  EXPECT_EQ(t.TaxSingle[1].Sum.SalesNet.Text(true), "50");
  EXPECT_FALSE(t.TaxSingle[2].Used);
}

TEST_F(EvalExtTest, ReportMediaAndGroups) {
  Feed(
      "E R3@1 R15@2 R1@3 F1=i:1 F2=s:Bar R2@3 F1=b:3 F2=b:30 R6@3 F2=b:100"
      " R16@2 R1@3 F1=i:5 F2=s:Food R2@3 F1=b:2 F2=b:20 R17@2 R1@3 F1=i:6 F2=s:Bev e");
  EXPECT_TRUE(eval.unhandled.empty());
  ASSERT_EQ(picker.media.size(), 1u);
  const tFiscReportMediaRec& m = picker.media[0];
  EXPECT_EQ(m.Media.Number, 1);
  EXPECT_EQ(m.Media.Name, "Bar");
  EXPECT_TRUE(m.Sales.Present);
  EXPECT_EQ(m.Sales.Cell.Count.Text(true), "3");
  EXPECT_EQ(m.Sales.Cell.Amount.Text(true), "30");
  EXPECT_FALSE(m.Change.Present);
  EXPECT_FALSE(m.PaidIn.Present);
  EXPECT_FALSE(m.PaidOut.Present);
  EXPECT_TRUE(m.Drawer.Present);
  EXPECT_EQ(m.Drawer.Cell.Amount.Text(true), "100");
  ASSERT_EQ(picker.groups.size(), 2u);
  EXPECT_EQ(picker.groups[0].Group.Number, 5);
  EXPECT_EQ(picker.groups[0].Group.Name, "Food");
  EXPECT_EQ(picker.groups[0].Cell.Amount.Text(true), "20");
  EXPECT_EQ(picker.groups[1].Group.Name, "Bev");
  EXPECT_TRUE(picker.groups[1].Cell.Amount.IsZero());
}

TEST_F(EvalExtTest, EventHeaderAndData) {
  Feed("E R18@1 R1@2 F1=t:" + Dt(2016, 6, 22, 9) +
       " F2=f:5 R3@3 F1=f:8 F2=s:Op R4@3 F1=f:9 F2=s:Boss"
       " R2@2 F1=i:3 F2=s:Tab R3@2 F1=i:4 F2=s:Reason e");
  EXPECT_TRUE(eval.unhandled.empty());
  ASSERT_EQ(picker.headers.size(), 1u);
  const tFiscHeaderRec& h = picker.headers[0];
  EXPECT_EQ(h.DateTime, tKvDateTime::Encode(2016, 6, 22, 9));
  EXPECT_EQ(h.EcrNo.Text(), "5");
  EXPECT_EQ(h.Operator.Number.Text(), "8");
  EXPECT_EQ(h.Operator.Name, "Op");
  EXPECT_EQ(h.AuthOperator.Number.Text(), "9");
  EXPECT_EQ(h.AuthOperator.Name, "Boss");
  ASSERT_EQ(picker.events.size(), 1u);
  EXPECT_EQ(picker.events[0].Info.Number, 3);
  EXPECT_EQ(picker.events[0].Info.Name, "Tab");
  EXPECT_EQ(picker.events[0].Value.Number, 4);
  EXPECT_EQ(picker.events[0].Value.Name, "Reason");
}

// --- Fields no record takes ----------------------------------------------------

TEST(EvalExtUnhandled, ReportedWithTheirIdentifierAndPath) {
  struct Case {
    const char* script;
    std::vector<std::string> unhandled;
  };
  const Case cases[] = {
      {"E R1@1 R10@2 F1=i:1 e", {"10@1/10/1"}},      // unknown transaction kind
      {"E R1@1 R1@2 F99=i:1 e", {"99@1/1/99"}},      // header field not in the record
      {"E R1@1 R1@2 R2@3 F3=i:1 e", {"3@1/1/2/3"}},  // operator has sub-fields 1 and 2
      {"E R1@1 R1@2 R2@3 F1=f:1 e", {}},             // ... which are taken
      {"E R1@1 R2@2 R4@3 F1=i:9 e", {"1@1/2/4/1"}},  // tax index outside 0-8
      {"E R1@1 R2@2 F5=i:1 e", {"5@1/2/5"}},         // a linked article is a record
      {"E R1@1 R5@2 F2=i:1 e", {}},                  // 5.2 without sub-field: ignored
      {"E R3@1 R5@2 F1=i:1 e", {}},                  // report kind 5: dropped
      {"E R3@1 R40@2 F1=i:1 e", {"40@3/40/1"}},      // unknown report kind
      {"E R14@1 R1@2 F5=i:1 e", {"5@14/1/5"}},       // event header has 1 to 4
      {"E R14@1 R4@2 F1=i:1 e", {"4@14/4/1"}},       // unknown event kind
      {"E R23@1 R1@2 F1=i:1 e", {"23@23/1/1"}},      // no entry class
      {"E F7=i:1 e", {"7@7"}},                       // a field outside any record
      {"E R1@1 F7=i:1 e", {"7@1/7"}},                // a field of the entry record
      {"V1,2 E R1@1 R10@2 F1=i:1 e", {}},            // ignored format
  };
  for (const Case& c : cases) {
    std::string log;
    tRecordingPicker picker(&log);
    tUnhandledRecorder eval(&picker);
    Play(eval, c.script);
    EXPECT_EQ(eval.unhandled, c.unhandled) << c.script;
  }
}

TEST_F(EvalExtTest, UnhandledFieldsDoNotStopTheEntry) {
  Feed("E R1@1 R1@2 F99=i:1 F3=i:4 e");
  ASSERT_EQ(picker.headers.size(), 1u);
  EXPECT_EQ(picker.headers[0].DocNo, 4);
  EXPECT_EQ(eval.unhandled.size(), 1u);
}

// --- State ----------------------------------------------------------------------

TEST_F(EvalExtTest, SetVersionClearsHalfBuiltRecords) {
  Feed("E R1@1 R2@2 F3=b:10 R4@3 F1=i:1 F2=b:1 V1,1 e E R1@1 R2@2 F2=b:1 e");
  // The first entry lost its data with the version change: nothing to deliver.
  ASSERT_EQ(picker.sale_items.size(), 1u);
  EXPECT_TRUE(picker.sale_items[0].Amount.IsZero());
  EXPECT_FALSE(picker.sale_items[0].Taxes[1].Used);
  EXPECT_FALSE(eval.ignore());
  Feed("V1,2");
  EXPECT_TRUE(eval.ignore());
  Feed("V2,1");
  EXPECT_TRUE(eval.ignore());
}

TEST_F(EvalExtTest, PickersLearnWhereRecordsComeFrom) {
  tKvKPosTextFileHeaderRec header;
  header.Int1 = 3;
  eval.FileHeader(header);
  Feed("B12 E R1002@1");
  EXPECT_EQ(log, "FileHeader BlockStart(12) EntryStart");
  EXPECT_EQ(picker.file_header().Int1, 3);
  EXPECT_EQ(picker.block().ID, 12);
  EXPECT_EQ(picker.entry().Type, 1);
  EXPECT_EQ(picker.entry_type().Code, 2);
  EXPECT_EQ(picker.entry_type().Origin, 1);
}

TEST_F(EvalExtTest, RecordBuffersAreReusedAfterDelivery) {
  Feed("E R1@1 R2@2 R8@3 R1@4 F1=i:1 R8@3 R1@4 F1=i:2 R8@3 R1@4 F1=i:3 R2@2 R8@3 R1@4 F1=i:4 e");
  ASSERT_EQ(picker.sale_items.size(), 2u);
  EXPECT_EQ(picker.sale_items[0].Modifiers.Count(), 3);
  ASSERT_EQ(picker.sale_items[1].Modifiers.Count(), 1);
  EXPECT_EQ(picker.sale_items[1].Modifiers.Get(1).Modifier.Number, 4);
}

}  // namespace
