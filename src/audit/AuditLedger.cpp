#include "audit/AuditLedger.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace audit {
namespace {

constexpr int32_t kCashMedium = 1;
constexpr tTime kDay = 86400;
constexpr size_t kMaxKeys = 64;       // media or groups kept per period
constexpr size_t kMaxSaleDays = 400;  // distinct sales days kept per period
constexpr size_t kMaxOperators = 1000;
// The grand totals (report kind 18) in their order.
constexpr const char* kTotalName[3] = {"total sales", "total turnover", "total returns"};

// A journal number in ten-thousandths, rounded half away from zero; beyond
// the range of 64 bits it saturates.
tAmount ToAmount(const tKvBcd& value) {
  if (value.IsZero()) return 0;
  const int places = value.Exponent() - tKvBcd::kBias + 4;  // digits before the point
  if (places < 0) return 0;
  const auto digit = [&value](int i) {  // i = 1..18
    const uint8_t byte = value.Bytes[10 - (i + 1) / 2];
    return (i % 2 == 1) ? byte >> 4 : byte & 0x0F;
  };
  if (places > 18) return value.IsNegative() ? INT64_MIN : INT64_MAX;
  int64_t whole = 0;
  for (int i = 1; i <= places; ++i) whole = whole * 10 + digit(i);
  if (places < 18 && digit(places + 1) >= 5) ++whole;
  return value.IsNegative() ? -whole : whole;
}

int64_t ToCount(const tKvBcd& value) { return ToAmount(value) / kAmountUnit; }

struct tTaxFigures {
  bool Used = false;
  std::array<tAmount, 4> Value{};  // gross, net, tax value, negative (tLineKind order)
};
using tTaxTable = std::array<tTaxFigures, kTaxSlots>;

void AddTaxSums(tTaxTable& table, const tFiscTaxSumTable& sums) {
  for (int i = 0; i < kTaxSlots; ++i) {
    if (!sums[i].Used) continue;
    const tFiscTaxSumRec& s = sums[i].Sum;
    tTaxFigures& t = table[i];
    t.Used = true;
    t.Value[0] += ToAmount(s.SalesGross);
    t.Value[1] += ToAmount(s.SalesNet);
    t.Value[2] += ToAmount(s.TaxValue);
    t.Value[3] += ToAmount(s.SalesNegative);
  }
}

bool AnyUsed(const tTaxTable& table) {
  return std::any_of(table.begin(), table.end(), [](const tTaxFigures& t) { return t.Used; });
}

// A count and an amount, as a counter slot holds them.
struct tCell {
  int64_t Count = 0;
  tAmount Amount = 0;
  void Add(tAmount amount) {
    ++Count;
    Amount += amount;
  }
};

// The counters the journal recomputes, each against one counter slot.
enum tCounter : int {
  kCntReceipts,
  kCntItems,
  kCntDiscounts,
  kCntExtraCharges,
  kCntReturns,
  kCntTraining,
  kCntInvoices,
  kCntDrawer,
  kCntCopies,
  kCntProForma,
  kCntExpenses,
  kCntTips,
  kCntDeposits,
  kCounterCount
};
struct tCounterRule {
  tCounter Counter;
  tRule Rule;
  int32_t ReportKind;
  bool WithAmount;  // false: only the count is compared
};
constexpr tCounterRule kCounterRules[] = {
    {kCntReceipts, tRule::kGrossSales, 2, true},
    {kCntItems, tRule::kItemCount, 8, true},
    {kCntDrawer, tRule::kDrawerOpenings, 9, false},
    {kCntCopies, tRule::kInvoiceCopies, 10, false},
    {kCntDiscounts, tRule::kDiscounts, 11, true},
    {kCntExtraCharges, tRule::kExtraCharges, 12, true},
    {kCntReturns, tRule::kReturns, 13, true},
    {kCntProForma, tRule::kProForma, 19, false},
    {kCntInvoices, tRule::kInvoices, 21, true},
    {kCntDeposits, tRule::kDeposits, 23, true},
    {kCntTraining, tRule::kTrainingCounter, 28, true},
    {kCntExpenses, tRule::kExpenses, 29, true},
    {kCntTips, tRule::kTips, 31, true},
};

struct tKeyed {
  int32_t Key = 0;
  std::array<tCell, 3> Cells{};  // media: sales, paid in, paid out; groups: [0] only
};

tKeyed& Slot(std::vector<tKeyed>& list, int32_t key) {
  for (tKeyed& k : list) {
    if (k.Key == key) return k;
  }
  if (list.size() >= kMaxKeys) return list.back();  // a register with more keys: lumped
  list.push_back({key, {}});
  return list.back();
}

// What the journal says about the current period.
struct tPeriodSums {
  tTaxTable Tax{};
  std::vector<tKeyed> Media, Groups;
  std::array<tCell, kCounterCount> Counters{};
  tAmount GtSales = 0, GtTurnover = 0, GtReturns = 0;
  int64_t Backwards = 0;
  tTime BackFrom = 0, BackTo = 0;  // the first step back
  tTime LatestEntry = 0;
  std::vector<int64_t> SaleDays;
  int64_t Gaps = 0;
  int32_t GapAfter = 0, GapAt = 0;  // the first gap
  tAmount Cash = 0, CashLowest = 0;
  tTime CashLowestAt = 0;
  int64_t NoSale = 0, Voids = 0;
  tCell Returns;
  bool HasStartTotals = false;
  std::array<tAmount, 3> StartTotals{};
};

// What the period's closing reports.
struct tClosingFigures {
  int32_t ClosingNo = 0;
  int32_t FirstVoucher = 0, LastVoucher = 0;
  tTime Time = 0;
  std::array<bool, 32> SlotUsed{};
  std::array<tCell, 32> Slots{};  // by report kind
  bool HasTotals = false;
  std::array<tAmount, 3> Totals{};
  tTaxTable Running{}, Single{};
  bool HasMedia = false;
  std::vector<tKeyed> Media, Change;
  tAmount Drawer = 0;
  bool HasDrawer = false;
  bool HasGroups = false;
  std::vector<tKeyed> Groups;
  std::array<int32_t, kTaxSlots> Rate{};
};

// The transaction being read.
struct tTransaction {
  tTime Time = 0;
  bool Training = false, Void = false, HasClosing = false, PaidInOut = false, Cash = false;
  int32_t Kind = 0;
  int32_t Operator = -1;
  tAmount Gross = 0;
  tTaxTable Tax{};
  std::array<tCell, kCounterCount> Counters{};
  tAmount ItemsPositive = 0;
  tCell Returns;
  std::vector<std::pair<int32_t, tAmount>> Payments;  // medium, amount
  std::vector<std::pair<int32_t, tAmount>> Groups;    // group, amount (one item each)
  std::vector<std::pair<int32_t, tAmount>> Links;     // linked articles of the next item
  // Every member back to its default; the lists keep their storage, so an
  // entry allocates nothing once the first ones have run.
  void Clear() {
    Payments.clear();
    Groups.clear();
    Links.clear();
    auto payments = std::move(Payments);
    auto groups = std::move(Groups);
    auto links = std::move(Links);
    *this = tTransaction{};
    Payments = std::move(payments);
    Groups = std::move(groups);
    Links = std::move(links);
  }
};

struct tRegisterState {
  int32_t Period = -1;  // current period, -1 outside any
  bool HadPeriod = false;
  bool HasPrev = false;  // a previous closing was read
  int32_t PrevClosingNo = 0;
  bool PrevHasTotals = false;
  std::array<tAmount, 3> PrevTotals{};
  tTaxTable PrevRunning{};
  tTime LastTime = 0;
  int32_t LastSeq = 0;
  tPeriodSums Sums;
  tClosingFigures Closing;
};

int32_t DigitsNumber(const tKvBcdFix& number) {
  std::string text;
  number.AppendText(text);
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 100000000) return -1;
    value = value * 10 + (c - '0');
  }
  return static_cast<int32_t>(value);
}

bool IsSalesKind(int kind) {
  return kind == kEntryInvoice || kind == kEntryReceipt || kind == kEntryManualInvoice ||
         kind == kEntryCreditNote || kind == kEntryLateInvoice || kind == kEntryLateCreditNote;
}

}  // namespace

class tAuditLedger::tImpl {
 public:
  tAuditReport Report;
  std::vector<tRegisterState> States;
  int32_t Reg = -1;  // register of the current block
  tKvKPosFiscalType Type;
  tTransaction Tx;
  bool InEntry = false;
  bool ClosingEntry = false;

  tRegisterState& State() { return States[Reg]; }

  void EnsureRegister() {
    if (Reg >= 0) return;
    Report.Registers.push_back({});
    States.emplace_back();
    Reg = 0;
  }

  void Block(const tKvKPosBlockInfoRec& block) {
    std::string number;
    block.EcrNr.AppendText(number);
    for (size_t i = 0; i < Report.Registers.size(); ++i) {
      const tRegister& r = Report.Registers[i];
      if (r.Number == number && r.SerialNo == block.SerNr) {
        Reg = static_cast<int32_t>(i);
        CountBlock();
        return;
      }
    }
    Report.Registers.push_back({std::move(number), block.SerNr, std::string(block.EcrName.view())});
    States.emplace_back();
    Reg = static_cast<int32_t>(Report.Registers.size() - 1);
    CountBlock();
  }

  void CountBlock() {
    if (State().Period >= 0) ++Report.Periods[State().Period].Blocks;
  }

  int32_t OpenPeriod(bool hasStart, tTime start) {
    tRegisterState& s = State();
    s.Period = static_cast<int32_t>(Report.Periods.size());
    s.HadPeriod = true;
    tPeriod p;
    p.Register = Reg;
    p.State = tPeriodState::kOpen;
    p.HasStart = hasStart;
    p.Start = start;
    p.Blocks = 1;
    Report.Periods.push_back(p);
    s.Sums = tPeriodSums{};
    s.Closing = tClosingFigures{};
    return s.Period;
  }

  // The period the current entry belongs to; -1 outside any. After a
  // closing, reports and events stay outside until the next start; a
  // transaction or a closing without a start before it opens a period that
  // has no start, so that its sales are still reconciled.
  int32_t PeriodForEntry(tTime time) {
    tRegisterState& s = State();
    if (s.Period >= 0) return s.Period;
    if (Type.Kind == kEntryRegStart) return OpenPeriod(true, time);
    if (!s.HadPeriod || Type.IsTransaction || Type.Kind == kEntryRegEnd) {
      return OpenPeriod(false, time);
    }
    ++Report.EntriesOutsidePeriods;
    return -1;
  }

  void AddFinding(int32_t period, tRule rule, int64_t count, int64_t expected, int64_t found,
                  tValueKind values, std::string detail) {
    tFinding f;
    f.Rule = rule;
    f.Period = period;
    f.Count = count;
    f.Expected = expected;
    f.Found = found;
    f.Difference = expected - found;
    f.Values = values;
    f.Detail = std::move(detail);
    tPeriod& p = Report.Periods[period];
    switch (RuleInfo(rule).Severity) {
      case tSeverity::kError:
        ++p.Errors;
        ++Report.Errors;
        break;
      case tSeverity::kWarning:
        ++p.Warnings;
        ++Report.Warnings;
        break;
      case tSeverity::kInfo:
        ++p.Infos;
        ++Report.Infos;
        break;
    }
    Report.Findings.push_back(std::move(f));
  }

  int32_t OperatorIndex(const tFiscNumTextRec& op) {
    std::string number;
    op.Number.AppendText(number);
    for (size_t i = 0; i < Report.Operators.size(); ++i) {
      const tOperator& o = Report.Operators[i];
      if (o.Register == Reg && o.Number == number) return static_cast<int32_t>(i);
    }
    if (Report.Operators.size() >= kMaxOperators) return -1;
    tOperator o;
    o.Register = Reg;
    o.Number = std::move(number);
    o.Name = std::string(op.Name.view());
    Report.Operators.push_back(std::move(o));
    return static_cast<int32_t>(Report.Operators.size() - 1);
  }

  void Header(const tFiscHeaderRec& rec) {
    EnsureRegister();
    InEntry = true;
    tRegisterState& s = State();
    const tTime time = rec.DateTime.Value;
    ClosingEntry = Type.Kind == kEntryRegEnd;
    if (Type.Kind == kEntryRegStart && s.Period >= 0) {
      // A start before the period's end: that period has no closing.
      tPeriod& old = Report.Periods[s.Period];
      old.State = tPeriodState::kNoClosing;
      AddFinding(s.Period, tRule::kPeriodWithoutClosing, 1, 0, 0, tValueKind::kNumber,
                 "next start " + DateTimeText(time));
      s.Period = -1;
    }
    const int32_t period = PeriodForEntry(time);
    // Time runs on per register.
    if (time != 0) {
      if (s.LastTime != 0 && time < s.LastTime && period >= 0) {
        if (s.Sums.Backwards++ == 0) {
          s.Sums.BackFrom = s.LastTime;
          s.Sums.BackTo = time;
        }
      }
      s.LastTime = time;
    }
    if (period < 0) return;
    tPeriod& p = Report.Periods[period];
    if (p.FirstEntry == 0) p.FirstEntry = time;
    if (!ClosingEntry) {
      p.LastEntry = std::max(p.LastEntry, time);
      s.Sums.LatestEntry = std::max(s.Sums.LatestEntry, time);
    }
    if (Type.IsTransaction) {
      ++p.EntriesByClass[0];
    } else if (Type.IsReport) {
      ++p.EntriesByClass[1];
    } else if (Type.IsEvent) {
      ++p.EntriesByClass[2];
    }
    ++p.EntriesByKind[Type.Kind < p.EntriesByKind.size() ? Type.Kind : 0];
    if (Type.Kind == kEntryGcDuplicate) s.Sums.Counters[kCntCopies].Add(0);
    if (Type.Kind == kEntryGcProForma) s.Sums.Counters[kCntProForma].Add(0);

    if (ClosingEntry) {
      s.Closing.ClosingNo = rec.SeqNo;
      s.Closing.FirstVoucher = rec.FirstVoucherSeqNo;
      s.Closing.LastVoucher = rec.LastVoucherSeqNo;
      s.Closing.Time = time;
    }
    if (Type.IsTransaction) {
      Tx.Clear();
      Tx.Time = time;
      Tx.Kind = Type.Kind;
      Tx.Training = rec.Training;
      Tx.Void = !rec.Void.OriginalInvoice.view().empty() || rec.Void.VoidType.Number != 0;
      Tx.Operator = OperatorIndex(rec.Operator);
      if (p.FirstReceiptNo == 0) p.FirstReceiptNo = rec.DocNo;
      p.LastReceiptNo = rec.DocNo;
      if (rec.SeqNo > 0) {
        if (s.LastSeq > 0 && rec.SeqNo != s.LastSeq + 1 && s.Sums.Gaps++ == 0) {
          s.Sums.GapAfter = s.LastSeq;
          s.Sums.GapAt = rec.SeqNo;
        }
        s.LastSeq = rec.SeqNo;
        if (p.FirstSeqNo == 0) p.FirstSeqNo = rec.SeqNo;
        p.LastSeqNo = rec.SeqNo;
      }
    } else if (Type.IsEvent) {
      Tx.Clear();
      Tx.Operator = OperatorIndex(rec.Operator);
      Tx.Time = time;
    }
  }

  void SaleItem(const tFiscSaleItemRec& rec) {
    tAmount gross = 0;
    for (const tFiscItemTaxRec& t : rec.Taxes) {
      if (t.Used) gross += ToAmount(t.Amount);
    }
    const tAmount amount = ToAmount(rec.Amount);
    if (rec.Kind == 2) {
      Tx.Counters[kCntItems].Add(amount);
    } else if (rec.Kind == 9) {
      Tx.Counters[kCntExpenses].Add(amount);
    }
    tAmount links = 0;
    for (const auto& [group, linkAmount] : Tx.Links) {
      Tx.Groups.emplace_back(group, linkAmount);
      links += linkAmount;
    }
    Tx.Links.clear();
    Tx.Groups.emplace_back(DigitsNumber(rec.Department.Number), gross - links);
    if (rec.Quantity.IsNegative()) {
      Tx.Returns.Add(gross);
    } else {
      Tx.ItemsPositive += gross;
    }
  }

  void PLULink(const tFiscPLULinkRec& rec) {
    Tx.Links.emplace_back(DigitsNumber(rec.Department.Number), ToAmount(rec.Amount));
  }

  void Adjust(const tFiscAdjustRec& rec) {
    const tAmount amount = ToAmount(rec.Amount);
    if (rec.Kind == 3) Tx.Counters[kCntDiscounts].Add(amount);
    if (rec.Kind == 4) Tx.Counters[kCntExtraCharges].Add(amount);
    if (rec.Kind == 8) Tx.Counters[kCntTips].Add(amount);
  }

  void Deposit(const tFiscDepositRec& rec) {
    if (rec.Kind == 13) Tx.PaidInOut = true;
    if (rec.Kind == 11) Tx.Counters[kCntDeposits].Add(ToAmount(rec.Amount));
  }

  void Closing(const tFiscClosingRec& rec) {
    Tx.HasClosing = true;
    Tx.Gross += ToAmount(rec.Totals.Gross);
    AddTaxSums(Tx.Tax, rec.TaxSums);
  }

  void Payment(const tFiscPaymentRec& rec) {
    if (rec.Kind != 6) return;
    Tx.Payments.emplace_back(rec.Media.MediaNo, ToAmount(rec.Amount));
  }

  void ReportCounters(const tFiscReportCountersRec& rec) {
    if (Reg < 0) return;
    tRegisterState& s = State();
    const std::array<tAmount, 3> totals = {ToAmount(rec.GrandTotal.Sales),
                                           ToAmount(rec.GrandTotal.Turnover),
                                           ToAmount(rec.GrandTotal.Returns)};
    // A report without grand totals (kind 18) leaves them zero. Zero totals
    // are taken as absent, unless an earlier closing stated totals: then
    // they are a reset.
    const bool hasTotals =
        totals[0] != 0 || totals[1] != 0 || totals[2] != 0 || (s.HasPrev && s.PrevHasTotals);
    if (Type.Kind == kEntryRegStart) {
      s.Sums.HasStartTotals = hasTotals;
      s.Sums.StartTotals = totals;
      if (hasTotals && s.HasPrev && s.PrevHasTotals && totals != s.PrevTotals && s.Period >= 0) {
        const int k = totals[0] != s.PrevTotals[0] ? 0 : totals[1] != s.PrevTotals[1] ? 1 : 2;
        AddFinding(s.Period, tRule::kStartTotals, 1, s.PrevTotals[k], totals[k],
                   tValueKind::kAmount, kTotalName[k]);
      }
      return;
    }
    if (!ClosingEntry) return;
    s.Closing.HasTotals = hasTotals;
    s.Closing.Totals = totals;
    for (const tFiscCounterSlot& slot : rec.Slots) {
      if (!slot.Used || slot.Kind < 0 || slot.Kind >= 32) continue;
      s.Closing.SlotUsed[slot.Kind] = true;
      s.Closing.Slots[slot.Kind] = {ToCount(slot.Cell.Count), ToAmount(slot.Cell.Amount)};
    }
  }

  void ReportTax(const tFiscReportTaxRec& rec) {
    if (!ClosingEntry || Reg < 0) return;
    tClosingFigures& c = State().Closing;
    AddTaxSums(c.Running, rec.TaxTotal);
    AddTaxSums(c.Single, rec.TaxSingle);
    for (const tFiscTaxSumTable* table : {&rec.TaxSingle, &rec.TaxTotal}) {
      for (int i = 0; i < kTaxSlots; ++i) {
        if ((*table)[i].Used && c.Rate[i] == 0) {
          c.Rate[i] = static_cast<int32_t>(ToAmount((*table)[i].Sum.Rate) / 100);
        }
      }
    }
  }

  void ReportMedia(const tFiscReportMediaRec& rec) {
    if (!ClosingEntry || Reg < 0) return;
    tClosingFigures& c = State().Closing;
    const int32_t medium = rec.Media.Number;
    RememberName(Report.Media, medium, rec.Media.Name.view());
    c.HasMedia = true;
    tKeyed& m = Slot(c.Media, medium);
    if (rec.Sales.Present)
      m.Cells[0] = {ToCount(rec.Sales.Cell.Count), ToAmount(rec.Sales.Cell.Amount)};
    if (rec.PaidIn.Present)
      m.Cells[1] = {ToCount(rec.PaidIn.Cell.Count), ToAmount(rec.PaidIn.Cell.Amount)};
    if (rec.PaidOut.Present) {
      m.Cells[2] = {ToCount(rec.PaidOut.Cell.Count), ToAmount(rec.PaidOut.Cell.Amount)};
    }
    if (rec.Change.Present) {
      Slot(c.Change, medium).Cells[0] = {ToCount(rec.Change.Cell.Count),
                                         ToAmount(rec.Change.Cell.Amount)};
    }
    if (medium == kCashMedium && rec.Drawer.Present) {
      c.HasDrawer = true;
      c.Drawer = ToAmount(rec.Drawer.Cell.Amount);
    }
  }

  void ReportGroup(const tFiscReportGroupRec& rec, int32_t selector) {
    if (!ClosingEntry || Reg < 0 || selector != 0) return;
    tClosingFigures& c = State().Closing;
    RememberName(Report.Groups, rec.Group.Number, rec.Group.Name.view());
    c.HasGroups = true;
    Slot(c.Groups, rec.Group.Number).Cells[0] = {ToCount(rec.Cell.Count),
                                                 ToAmount(rec.Cell.Amount)};
  }

  void RememberName(std::vector<tName>& names, int32_t number, std::string_view name) {
    for (const tName& n : names) {
      if (n.Register == Reg && n.Number == number) return;
    }
    if (names.size() < kMaxKeys * 4) names.push_back({Reg, number, std::string(name)});
  }

  void Event() {
    if (Reg < 0 || Type.Kind != kEntryOpenDrawer) return;
    tRegisterState& s = State();
    if (s.Period < 0) return;
    ++s.Sums.NoSale;
    s.Sums.Counters[kCntDrawer].Add(0);
    if (Tx.Operator >= 0) ++Report.Operators[Tx.Operator].NoSaleOpenings;
  }

  void EntryEnd() {
    if (!InEntry || Reg < 0) {
      InEntry = false;
      return;
    }
    InEntry = false;
    tRegisterState& s = State();
    if (Type.IsTransaction && s.Period >= 0) CommitTransaction(s);
    if (ClosingEntry && s.Period >= 0) CloseThePeriod(s);
    ClosingEntry = false;
  }

  void MoveCash(tPeriodSums& sums, tAmount amount) {
    sums.Cash += amount;
    if (sums.Cash < sums.CashLowest) {
      sums.CashLowest = sums.Cash;
      sums.CashLowestAt = Tx.Time;
    }
  }

  void CommitTransaction(tRegisterState& s) {
    tPeriodSums& sums = s.Sums;
    tPeriod& p = Report.Periods[s.Period];
    tOperator* op = Tx.Operator >= 0 ? &Report.Operators[Tx.Operator] : nullptr;
    if (Tx.PaidInOut) {
      for (const auto& [medium, amount] : Tx.Payments) {
        tKeyed& m = Slot(sums.Media, medium);
        m.Cells[amount >= 0 ? 1 : 2].Add(amount);
        if (medium == kCashMedium) MoveCash(sums, amount);
      }
      sums.Counters[kCntDrawer].Add(0);
      return;
    }
    if (!IsSalesKind(Tx.Kind) || !Tx.HasClosing) return;
    if (Tx.Training) {
      sums.Counters[kCntTraining].Add(Tx.Gross);
      ++p.TrainingReceipts;
      p.TrainingGross += Tx.Gross;
      if (op != nullptr) ++op->TrainingReceipts;
      return;
    }
    sums.Counters[kCntReceipts].Add(Tx.Gross);
    if (Tx.Kind == kEntryInvoice || Tx.Kind == kEntryManualInvoice) {
      sums.Counters[kCntInvoices].Add(Tx.Gross);
    }
    for (int c = 0; c < kCounterCount; ++c) {
      sums.Counters[c].Count += Tx.Counters[c].Count;
      sums.Counters[c].Amount += Tx.Counters[c].Amount;
    }
    sums.Counters[kCntReturns].Count += Tx.Returns.Count;
    sums.Counters[kCntReturns].Amount += Tx.Returns.Amount;
    for (int i = 0; i < kTaxSlots; ++i) {
      if (!Tx.Tax[i].Used) continue;
      sums.Tax[i].Used = true;
      for (int k = 0; k < 4; ++k) sums.Tax[i].Value[k] += Tx.Tax[i].Value[k];
      p.GrossByTax[i] += Tx.Tax[i].Value[0];
    }
    for (const auto& [group, amount] : Tx.Groups) Slot(sums.Groups, group).Cells[0].Add(amount);
    bool cash = false;
    for (const auto& [medium, amount] : Tx.Payments) {
      Slot(sums.Media, medium).Cells[0].Add(amount);
      if (medium == kCashMedium) {
        cash = true;
        MoveCash(sums, amount);
      }
    }
    if (cash) sums.Counters[kCntDrawer].Add(0);
    sums.GtSales += Tx.ItemsPositive;
    sums.GtTurnover += Tx.Gross;
    sums.GtReturns += Tx.Returns.Amount;
    if (Tx.Void) ++sums.Voids;
    sums.Returns.Count += Tx.Returns.Count;
    sums.Returns.Amount += Tx.Returns.Amount;
    ++p.SalesTransactions;
    p.Gross += Tx.Gross;
    const int64_t day = Tx.Time / kDay;
    if (Tx.Time != 0 &&
        std::find(sums.SaleDays.begin(), sums.SaleDays.end(), day) == sums.SaleDays.end() &&
        sums.SaleDays.size() < kMaxSaleDays) {
      sums.SaleDays.push_back(day);
    }
    if (op != nullptr) {
      ++op->Transactions;
      op->Gross += Tx.Gross;
      if (Tx.Void) ++op->Voids;
      op->Returns += Tx.Returns.Count;
      op->Discounts += Tx.Counters[kCntDiscounts].Count;
      op->DiscountAmount += Tx.Counters[kCntDiscounts].Amount;
    }
  }

  // --- reconciliation at the closing ---

  struct tLineSet {
    std::vector<tLine>& Lines;
    // first differing line and count per rule, in rule order of appearance
    std::vector<std::pair<tRule, std::pair<size_t, int64_t>>> Differing;
    void Add(const tLine& line) {
      Lines.push_back(line);
      if (!line.Differs()) return;
      for (auto& d : Differing) {
        if (d.first == line.Rule) {
          ++d.second.second;
          return;
        }
      }
      Differing.push_back({line.Rule, {Lines.size() - 1, 1}});
    }
  };

  static tLine MakeLine(tLineKind kind, tRule rule, int32_t key, bool recomputed, bool reported,
                        int64_t journal, int64_t closing) {
    tLine l;
    l.Kind = kind;
    l.Rule = rule;
    l.Key = key;
    l.Recomputed = recomputed;
    l.Reported = reported;
    l.Journal = journal;
    l.Closing = closing;
    return l;
  }

  void ReconcileTaxes(tLineSet& set, const tPeriodSums& sums, const tClosingFigures& c) {
    const bool reported = AnyUsed(c.Single);
    static constexpr tRule kRules[4] = {tRule::kTaxGross, tRule::kTaxNet, tRule::kTaxValue,
                                        tRule::kTaxNegative};
    for (int i = 0; i < kTaxSlots; ++i) {
      if (!sums.Tax[i].Used && !c.Single[i].Used) continue;
      for (int k = 0; k < 4; ++k) {
        set.Add(MakeLine(static_cast<tLineKind>(k), kRules[k], i, true, reported,
                         sums.Tax[i].Value[k], c.Single[i].Value[k]));
      }
    }
  }

  static const tKeyed* Find(const std::vector<tKeyed>& list, int32_t key) {
    for (const tKeyed& k : list) {
      if (k.Key == key) return &k;
    }
    return nullptr;
  }

  static std::vector<int32_t> Keys(const std::vector<tKeyed>& a, const std::vector<tKeyed>& b) {
    std::vector<int32_t> keys;
    for (const auto* list : {&a, &b}) {
      for (const tKeyed& k : *list) {
        if (std::find(keys.begin(), keys.end(), k.Key) == keys.end()) keys.push_back(k.Key);
      }
    }
    std::sort(keys.begin(), keys.end());
    return keys;
  }

  void ReconcileMedia(tLineSet& set, const tPeriodSums& sums, const tClosingFigures& c) {
    static constexpr tLineKind kKinds[3] = {tLineKind::kMediaSales, tLineKind::kMediaPaidIn,
                                            tLineKind::kMediaPaidOut};
    static constexpr tRule kRules[3] = {tRule::kMediaSales, tRule::kMediaPaidIn,
                                        tRule::kMediaPaidOut};
    for (const int32_t key : Keys(sums.Media, c.Media)) {
      const tKeyed* j = Find(sums.Media, key);
      const tKeyed* r = Find(c.Media, key);
      for (int k = 0; k < 3; ++k) {
        const tAmount journal = j != nullptr ? j->Cells[k].Amount : 0;
        const tAmount closing = r != nullptr ? r->Cells[k].Amount : 0;
        if (k > 0 && journal == 0 && closing == 0) continue;
        set.Add(MakeLine(kKinds[k], kRules[k], key, true, c.HasMedia, journal, closing));
        if (k == 0) {
          if (const tKeyed* change = Find(c.Change, key)) {
            set.Add(MakeLine(tLineKind::kMediaChange, tRule::kMediaSales, key, false, true, 0,
                             change->Cells[0].Amount));
          }
        }
      }
    }
  }

  void ReconcileCounters(tLineSet& set, const tPeriodSums& sums, const tClosingFigures& c) {
    for (const tCounterRule& rule : kCounterRules) {
      const tCell& j = sums.Counters[rule.Counter];
      const bool reported = c.SlotUsed[rule.ReportKind];
      if (!reported && j.Count == 0 && j.Amount == 0) continue;
      const tCell& r = c.Slots[rule.ReportKind];
      set.Add(MakeLine(tLineKind::kCounterCount, rule.Rule, rule.ReportKind, true, reported,
                       j.Count, r.Count));
      if (rule.WithAmount) {
        set.Add(MakeLine(tLineKind::kCounterAmount, rule.Rule, rule.ReportKind, true, reported,
                         j.Amount, r.Amount));
      }
    }
    // The slots no journal figure stands for: listed as reported.
    for (int32_t kind = 0; kind < 32; ++kind) {
      if (!c.SlotUsed[kind]) continue;
      const bool known =
          std::any_of(std::begin(kCounterRules), std::end(kCounterRules),
                      [kind](const tCounterRule& r) { return r.ReportKind == kind; });
      if (known) continue;
      set.Add(MakeLine(tLineKind::kCounterCount, tRule::kGrossSales, kind, false, true, 0,
                       c.Slots[kind].Count));
      set.Add(MakeLine(tLineKind::kCounterAmount, tRule::kGrossSales, kind, false, true, 0,
                       c.Slots[kind].Amount));
    }
  }

  void ReconcileGroups(tLineSet& set, const tPeriodSums& sums, const tClosingFigures& c) {
    if (!c.HasGroups) return;  // a register that reports no groups: nothing to list
    for (const int32_t key : Keys(sums.Groups, c.Groups)) {
      const tKeyed* j = Find(sums.Groups, key);
      const tKeyed* r = Find(c.Groups, key);
      const tCell journal = j != nullptr ? j->Cells[0] : tCell{};
      const tCell closing = r != nullptr ? r->Cells[0] : tCell{};
      set.Add(MakeLine(tLineKind::kGroupCount, tRule::kMainGroups, key, true, true, journal.Count,
                       closing.Count));
      set.Add(MakeLine(tLineKind::kGroupAmount, tRule::kMainGroups, key, true, true, journal.Amount,
                       closing.Amount));
    }
  }

  std::string LineDetail(const tAuditReport& report, const tPeriod& p, const tLine& l) {
    return LineSubject(report, p, l);
  }

  void CloseThePeriod(tRegisterState& s) {
    const int32_t index = s.Period;
    tPeriodSums& sums = s.Sums;
    tClosingFigures& c = s.Closing;
    {
      tPeriod& p = Report.Periods[index];
      p.State = tPeriodState::kClosed;
      p.Closing = c.Time;
      p.ClosingNo = c.ClosingNo;
      p.TaxRate = c.Rate;
    }
    tLineSet set{Report.Periods[index].Lines, {}};
    ReconcileTaxes(set, sums, c);
    ReconcileMedia(set, sums, c);
    ReconcileCounters(set, sums, c);
    ReconcileGroups(set, sums, c);
    for (const auto& [rule, first] : set.Differing) {
      const tPeriod& p = Report.Periods[index];
      const tLine& l = p.Lines[first.first];
      const bool count = l.Kind == tLineKind::kCounterCount || l.Kind == tLineKind::kGroupCount;
      AddFinding(index, rule, first.second, l.Journal, l.Closing,
                 count ? tValueKind::kNumber : tValueKind::kAmount, LineDetail(Report, p, l));
    }
    Continuity(s, index);
    TimeAndDrawer(s, index);
    Statistics(s, index);
    // The closing becomes the previous one.
    s.HasPrev = true;
    s.PrevClosingNo = c.ClosingNo;
    s.PrevHasTotals = c.HasTotals;
    s.PrevTotals = c.Totals;
    s.PrevRunning = c.Running;
    s.Period = -1;
  }

  void Continuity(tRegisterState& s, int32_t index) {
    const tPeriodSums& sums = s.Sums;
    const tClosingFigures& c = s.Closing;
    // Running tax table against the own-period one.
    if (s.HasPrev && AnyUsed(s.PrevRunning) && AnyUsed(c.Running) && AnyUsed(c.Single)) {
      int64_t differing = 0;
      tAmount expected = 0, found = 0;
      std::string detail;
      static constexpr const char* kField[4] = {"gross", "net", "tax value", "negative sales"};
      for (int i = 0; i < kTaxSlots; ++i) {
        for (int k = 0; k < 4; ++k) {
          const tAmount delta = c.Running[i].Value[k] - s.PrevRunning[i].Value[k];
          if (delta == c.Single[i].Value[k]) continue;
          if (differing++ == 0) {
            expected = c.Single[i].Value[k];
            found = delta;
            detail = "tax index " + std::to_string(i) + ", " + kField[k];
          }
        }
      }
      if (differing > 0)
        AddFinding(index, tRule::kRunningTax, differing, expected, found, tValueKind::kAmount,
                   detail);
    }
    // Grand totals: from the previous closing, else from the period's start.
    const std::array<tAmount, 3>* base = nullptr;
    if (s.HasPrev && s.PrevHasTotals) {
      base = &s.PrevTotals;
    } else if (sums.HasStartTotals) {
      base = &sums.StartTotals;
    }
    if (base != nullptr && c.HasTotals) {
      const std::array<tAmount, 3> period = {sums.GtSales, sums.GtTurnover, sums.GtReturns};
      int64_t differing = 0;
      tAmount expected = 0, found = 0;
      std::string detail;
      for (int k = 0; k < 3; ++k) {
        const tAmount want = (*base)[k] + period[k];
        if (want == c.Totals[k]) continue;
        if (differing++ == 0) {
          expected = want;
          found = c.Totals[k];
          detail = kTotalName[k];
        }
      }
      if (differing > 0)
        AddFinding(index, tRule::kGrandTotals, differing, expected, found, tValueKind::kAmount,
                   detail);
    }
    if (s.HasPrev && c.ClosingNo != s.PrevClosingNo + 1) {
      AddFinding(
          index, tRule::kClosingNumber, 1, s.PrevClosingNo + 1, c.ClosingNo, tValueKind::kNumber,
          c.ClosingNo > s.PrevClosingNo + 1 ? "closing number skipped" : "closing number reset");
    }
    const tPeriod& p = Report.Periods[index];
    if (c.FirstVoucher != 0 || c.LastVoucher != 0) {
      if (c.FirstVoucher != p.FirstSeqNo) {
        AddFinding(index, tRule::kVoucherRange, 1, p.FirstSeqNo, c.FirstVoucher,
                   tValueKind::kNumber, "first voucher number");
      } else if (c.LastVoucher != p.LastSeqNo) {
        AddFinding(index, tRule::kVoucherRange, 1, p.LastSeqNo, c.LastVoucher, tValueKind::kNumber,
                   "last voucher number");
      }
    }
    if (sums.Gaps > 0) {
      AddFinding(index, tRule::kSequenceGap, sums.Gaps, sums.GapAfter + 1, sums.GapAt,
                 tValueKind::kNumber,
                 std::to_string(sums.GapAt) + " after " + std::to_string(sums.GapAfter));
    }
  }

  void TimeAndDrawer(tRegisterState& s, int32_t index) {
    tPeriodSums& sums = s.Sums;
    const tClosingFigures& c = s.Closing;
    if (sums.Backwards > 0) {
      AddFinding(index, tRule::kBackwards, sums.Backwards, 0, sums.BackTo - sums.BackFrom,
                 tValueKind::kSeconds,
                 DateTimeText(sums.BackTo) + " after " + DateTimeText(sums.BackFrom));
    }
    const tPeriod& p = Report.Periods[index];
    if (c.Time != 0 && sums.LatestEntry > c.Time) {
      AddFinding(index, tRule::kAfterClosing, 1, 0, sums.LatestEntry - c.Time, tValueKind::kSeconds,
                 DateTimeText(sums.LatestEntry) + " after the closing at " + DateTimeText(c.Time));
    }
    const tTime start = p.Start != 0 ? p.Start : p.FirstEntry;
    if (c.Time != 0 && start != 0 && c.Time - start > kDay) {
      AddFinding(index, tRule::kLongPeriod, 1, kDay, c.Time - start, tValueKind::kSeconds,
                 DateTimeText(start) + " - " + DateTimeText(c.Time));
    }
    const int64_t closingDay = c.Time / kDay;
    const int64_t otherDays = std::count_if(sums.SaleDays.begin(), sums.SaleDays.end(),
                                            [closingDay](int64_t d) { return d != closingDay; });
    if (c.Time != 0 && otherDays > 0) {
      AddFinding(
          index, tRule::kDayWithoutClosing, otherDays, 0, otherDays, tValueKind::kNumber,
          "first " + DateText(*std::find_if(sums.SaleDays.begin(), sums.SaleDays.end(),
                                            [closingDay](int64_t d) { return d != closingDay; }) *
                              kDay));
    }
    tDrawer& d = Report.Periods[index].Drawer;
    d.Known = c.HasDrawer;
    d.Movements = sums.Cash;
    d.Opening = c.HasDrawer ? c.Drawer - sums.Cash : 0;
    d.Lowest = d.Opening + sums.CashLowest;
    d.LowestAt = sums.CashLowestAt;
    if (d.Lowest < 0) {
      AddFinding(index, tRule::kDrawerNegative, 1, 0, d.Lowest, tValueKind::kAmount,
                 "at " + DateTimeText(d.LowestAt));
    }
  }

  void Statistics(tRegisterState& s, int32_t index) {
    const tPeriodSums& sums = s.Sums;
    const tPeriod& p = Report.Periods[index];
    if (p.TrainingReceipts > 0) {
      AddFinding(index, tRule::kTraining, p.TrainingReceipts, 0, 0, tValueKind::kAmount,
                 std::to_string(p.TrainingReceipts) + " training receipt(s), gross " +
                     AmountText(p.TrainingGross));
    }
    if (sums.NoSale > 0) {
      AddFinding(index, tRule::kNoSaleDrawer, sums.NoSale, 0, 0, tValueKind::kNumber,
                 std::to_string(sums.NoSale) + " opening(s) without a sale");
    }
    if (sums.Voids > 0 || sums.Returns.Count > 0) {
      AddFinding(index, tRule::kVoidsReturns, sums.Voids + sums.Returns.Count, 0, 0,
                 tValueKind::kAmount,
                 std::to_string(sums.Voids) + " void(s), " + std::to_string(sums.Returns.Count) +
                     " returned item(s)");
    }
  }

  tAuditReport Finish(std::string journal) {
    for (size_t r = 0; r < States.size(); ++r) {
      const int32_t period = States[r].Period;
      if (period < 0) continue;
      Report.Periods[period].State = tPeriodState::kOpen;
      AddFinding(period, tRule::kOpenPeriod, 1, 0, 0, tValueKind::kNumber,
                 "last entry " + DateTimeText(Report.Periods[period].LastEntry));
      States[r].Period = -1;
    }
    // Findings in period order, then by rule.
    std::stable_sort(Report.Findings.begin(), Report.Findings.end(),
                     [](const tFinding& a, const tFinding& b) {
                       return a.Period != b.Period ? a.Period < b.Period : a.Rule < b.Rule;
                     });
    Report.Journal = std::move(journal);
    return std::move(Report);
  }
};

tAuditLedger::tAuditLedger() : impl_(std::make_unique<tImpl>()) {}
tAuditLedger::~tAuditLedger() = default;

void tAuditLedger::BlockStart(const tKvKPosBlockInfoRec& block) {
  tKvFiscalStreamPicker::BlockStart(block);
  impl_->Block(block);
}
void tAuditLedger::Header(const tFiscHeaderRec& rec) {
  tKvFiscalStreamPicker::Header(rec);
  impl_->Type = entry_type();
  impl_->Header(rec);
}
void tAuditLedger::SaleItem(const tFiscSaleItemRec& rec) {
  tKvFiscalStreamPicker::SaleItem(rec);
  impl_->SaleItem(rec);
}
void tAuditLedger::PLULink(const tFiscPLULinkRec& rec) {
  tKvFiscalStreamPicker::PLULink(rec);
  impl_->PLULink(rec);
}
void tAuditLedger::Adjust(const tFiscAdjustRec& rec) {
  tKvFiscalStreamPicker::Adjust(rec);
  impl_->Adjust(rec);
}
void tAuditLedger::Deposit(const tFiscDepositRec& rec) {
  tKvFiscalStreamPicker::Deposit(rec);
  impl_->Deposit(rec);
}
void tAuditLedger::Closing(const tFiscClosingRec& rec) {
  tKvFiscalStreamPicker::Closing(rec);
  impl_->Closing(rec);
}
void tAuditLedger::Payment(const tFiscPaymentRec& rec) {
  tKvFiscalStreamPicker::Payment(rec);
  impl_->Payment(rec);
}
void tAuditLedger::ReportCounters(const tFiscReportCountersRec& rec) {
  tKvFiscalStreamPicker::ReportCounters(rec);
  impl_->ReportCounters(rec);
}
void tAuditLedger::ReportTax(const tFiscReportTaxRec& rec) {
  tKvFiscalStreamPicker::ReportTax(rec);
  impl_->ReportTax(rec);
}
void tAuditLedger::ReportMedia(const tFiscReportMediaRec& rec) {
  tKvFiscalStreamPicker::ReportMedia(rec);
  impl_->ReportMedia(rec);
}
void tAuditLedger::ReportGroup(const tFiscReportGroupRec& rec, int32_t selector) {
  tKvFiscalStreamPicker::ReportGroup(rec, selector);
  impl_->ReportGroup(rec, selector);
}
void tAuditLedger::Event(const tFiscEventRec& rec) {
  tKvFiscalStreamPicker::Event(rec);
  impl_->Event();
}
void tAuditLedger::EntryEnd() {
  tKvFiscalStreamPicker::EntryEnd();
  impl_->EntryEnd();
}

tAuditReport tAuditLedger::Finish(std::string journal) { return impl_->Finish(std::move(journal)); }

}  // namespace audit
