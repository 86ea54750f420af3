#include "gen/Shop.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <optional>
#include <stdexcept>

namespace jgen {
namespace {

// Texts are Windows-1252 bytes, as on the terminal.
struct DeptDef {
  const char* No;
  const char* Name;
};
constexpr DeptDef kDepts[] = {
    {"1", "Backwaren"},   {"2", "Hei\xDFgetr\xE4nke"}, {"3", "Kaltgetr\xE4nke"},
    {"4", "Feinkost"},    {"5", "Non-Food"},           {"6", "Gutscheine"},
    {"7", "Pfand"},
};

struct ArticleDef {
  const char* Plu;
  const char* Name;
  const char* AltName;  // the name after a rename
  int Dept;
  int64_t Price;  // cents; per kilogram for weighed articles
  int Tax;        // tax index
  bool Weighed;
  int Link;  // linked deposit article, or -1
  bool Modifiable;
};
constexpr ArticleDef kArticles[kArticleCount] = {
    {"1001", "Br\xF6tchen", "Weizenbr\xF6tchen", 0, 45, 2, false, -1, false},
    {"1002", "Croissant", "Butter-Croissant", 0, 120, 2, false, -1, false},
    {"1003", "Roggenbrot 500g", "Roggenmischbrot 500g", 0, 310, 2, false, -1, false},
    {"1004", "Laugenbrezel", "Butterbrezel", 0, 85, 2, false, -1, false},
    {"1005", "Apfelstrudel", "Apfelstrudel hausgemacht", 0, 290, 2, false, -1, false},
    {"1006", "K\xE4sekuchen", "K\xE4sekuchen (Blech)", 0, 320, 2, false, -1, false},
    {"2001", "Kaffee", "Kaffee Crema", 1, 250, 1, false, -1, true},
    {"2002", "Cappuccino", "Cappuccino gro\xDF", 1, 320, 1, false, -1, true},
    {"2003", "Latte Macchiato", "Latte Macchiato gro\xDF", 1, 360, 1, false, -1, true},
    {"2004", "Tee", "Tee (Kanne)", 1, 220, 1, false, -1, false},
    {"2005", "Hei\xDF" "e Schokolade", "Kakao", 1, 330, 1, false, -1, true},
    {"3001", "Mineralwasser 0,5l", "Wasser still 0,5l", 2, 180, 1, false, kPfand25, false},
    {"3002", "Apfelschorle 0,5l", "Apfelschorle naturtr\xFC" "b 0,5l", 2, 210, 1, false, kPfand25,
     false},
    {"3003", "Orangensaft 0,33l", "O-Saft 0,33l", 2, 260, 1, false, kPfand15, false},
    {"3004", "Cola 0,33l", "Cola Zero 0,33l", 2, 230, 1, false, kPfand25, false},
    {"4001", "Gouda mittelalt", "Gouda alt", 3, 1990, 2, true, -1, false},
    {"4002", "Schwarzw\xE4lder Schinken", "Schinken ger\xE4uchert", 3, 2490, 2, true, -1, false},
    {"4003", "Oliven gr\xFCn", "Oliven gemischt", 3, 1590, 2, true, -1, false},
    {"6001", "Tragetasche", "Papiertragetasche", 4, 20, 1, false, -1, false},
    {"6002", "Tageszeitung", "Zeitung", 4, 250, 2, false, -1, false},
    {"7001", "Gutschein 10 EUR", "Geschenkgutschein 10 EUR", 5, 1000, 0, false, -1, false},
    {"9001", "Pfand 0,25", "Einwegpfand 0,25", 6, 25, 1, false, -1, false},
    {"9002", "Pfand 0,15", "Mehrwegpfand 0,15", 6, 15, 1, false, -1, false},
};

struct ModifierDef {
  int Id;
  const char* Name;
  int64_t Cents;
};
constexpr ModifierDef kModifiers[kModifierCount] = {
    {1, "Hafermilch", 40}, {2, "Extra Shot", 60}, {3, "Sirup Vanille", 50}, {4, "Sahne", 30}};

struct OperatorDef {
  const char* No;
  const char* Name;
};
constexpr OperatorDef kOperators[] = {{"1", "Anna"}, {"2", "Ben"}, {"3", "Clara"}, {"4", "Deniz"}};
constexpr OperatorDef kManager = {"9", "Filialleitung"};

constexpr const char* kMediaNames[kMediumCount] = {"Bar", "EC-Karte", "Kreditkarte", "Gutschein"};

struct TaxDef {
  int Percent;
  const char* Text;
};
constexpr TaxDef kTaxes[kTaxCount] = {{0, "ohne MwSt"}, {19, "MwSt 19%"}, {7, "MwSt 7%"}};
constexpr int kTaxOrder[kTaxCount] = {1, 2, 0};  // order of the tax lines on a receipt

constexpr const char* kDrawerReasons[] = {"", "Wechselgeld", "Kontrolle", "Fehlbedienung"};

constexpr const char* kTaxpayerId = "DE123456789";
constexpr int kCardNo = 2;
constexpr int64_t kCashFloat = 15000;
constexpr int64_t kAlteredCents = 100;  // what an altered amount is off by
constexpr DateTime kSetBack = 600;      // how far a timestamp is set back

// Swallows the entries of a receipt that is not written.
class DiscardSink final : public JournalSink {
 public:
  void BeginBlock(const BlockHeader&) override {}
  void BeginEntry(const EntryInfo&) override {}
  void Record(int32_t, int) override {}
  void Field(int32_t, int, const Value&) override {}
  void EndEntry() override {}
  void EndBlock() override {}
  uint64_t OutputSize() const override { return 0; }
};

// Rounds m × 10^-scale × cents to whole cents, halves away from zero.
int64_t Times(Decimal qty, int64_t cents) {
  int64_t divisor = 1;
  for (int i = 0; i < qty.Scale; ++i) divisor *= 10;
  const int64_t product = qty.Mantissa * cents;
  const int64_t half = divisor / 2;
  return product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
}

// Net part of a gross amount at a percent rate, rounded half away from zero.
int64_t NetOf(int64_t gross, int percent) {
  const int64_t num = gross * 100;
  const int64_t den = 100 + percent;
  return num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
}

int64_t ParseDigits(const char* digits) {
  int64_t v = 0;
  for (const char* p = digits; *p != 0; ++p) v = v * 10 + (*p - '0');
  return v;
}

void AppendInt(std::string& s, int64_t v) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, res.ptr);
}

void Append2(std::string& s, int v) {
  s += static_cast<char>('0' + v / 10 % 10);
  s += static_cast<char>('0' + v % 10);
}

// Short field helpers: a field belongs to the record open at `level`.
struct Emit {
  JournalSink& S;
  void Rec(int32_t type, int level) { S.Record(type, level); }
  void Int(int32_t id, int level, int64_t v) { S.Field(id, level, Value::Int(v)); }
  void Bcd(int32_t id, int level, Decimal d) { S.Field(id, level, Value::Bcd(d)); }
  void Money(int32_t id, int level, int64_t cents) { Bcd(id, level, Cents(cents)); }
  void Fix(int32_t id, int level, std::string_view digits) {
    S.Field(id, level, Value::BcdFix(digits));
  }
  void Text(int32_t id, int level, std::string_view t) { S.Field(id, level, Value::Text(t)); }
  void Time(int32_t id, int level, DateTime dt) { S.Field(id, level, Value::Time(dt)); }
  void Bin(int32_t id, int level, std::string_view b) { S.Field(id, level, Value::Binary(b)); }
  // A numbered master-data reference (digits number): record with fields 1 and 2.
  void NumText(int32_t id, int level, std::string_view no, std::string_view name) {
    Rec(id, level);
    Fix(1, level, no);
    Text(2, level, name);
  }
  // The same with an integer number.
  void IdText(int32_t id, int level, int64_t no, std::string_view name) {
    Rec(id, level);
    Int(1, level, no);
    Text(2, level, name);
  }
};

}  // namespace

void Transaction::Clear() {
  Kind = 2;
  Operator = 0;
  Lines.clear();
  DiscountPercent = 0;
  Payments.clear();
  Table = 0;
  Customer = false;
  Training = false;
}

void Shop::TaxTotals::Add(int index, int64_t gross, int64_t net, int64_t negative) {
  Gross[index] += gross;
  Net[index] += net;
  Negative[index] += negative;
  Used[index] = true;
}

Shop::Shop(JournalSink* sink, uint64_t seed, bool comments, const OpeningState& opening,
           const FaultPlan& fault)
    : sink_(sink),
      discard_(std::make_unique<DiscardSink>()),
      journal_(*sink),
      rng_(seed),
      comments_(comments),
      fault_(fault),
      z_no_(opening.ClosingNo),
      gt_sales_(opening.GtSales),
      gt_turnover_(opening.GtTurnover),
      gt_returns_(opening.GtReturns),
      training_(opening.Training),
      training_cents_(opening.TrainingCents) {
  for (int i = 0; i < kTaxCount; ++i) {
    if (opening.TaxGross[i] != 0 || opening.TaxNegative[i] != 0) {
      running_.Add(i, opening.TaxGross[i], opening.TaxNet[i], opening.TaxNegative[i]);
    }
  }
  for (int i = 0; i < kArticleCount; ++i) names_[i] = kArticles[i].Name;
  block_.EcrAddr = 1;
  block_.EcrNo = "101";
  block_.SerNo = 4711001;
  block_.EcrName = "Kasse 1";
  block_.HwId = 57;
  block_.FiscJnlType = 1;
  block_.SwVer = "V3.14.2";
  block_.EcrNoSuppl = 1;
}

void Shop::At(int hour, int minute, int second) {
  now_ = day_start_ + hour * 3600 + minute * 60 + second;
}

void Shop::Advance(int seconds) { now_ = std::min(now_ + seconds, close_ - 60); }

void Shop::Note(const char* what, int64_t number) {
  if (!comments_) return;
  text_ = what;
  if (number != 0) {
    text_ += ' ';
    AppendInt(text_, number);
  }
  const CivilTime t = SplitDateTime(now_);
  text_ += ", ";
  Append2(text_, t.Day);
  text_ += '.';
  Append2(text_, t.Month);
  text_ += '.';
  AppendInt(text_, t.Year);
  text_ += ' ';
  Append2(text_, t.Hour);
  text_ += ':';
  Append2(text_, t.Minute);
  sink_->Comment(text_);
}

void Shop::BeginEntry() {
  sink_->BeginEntry(entry_);
  if (sink_ == &journal_) last_entry_ = now_;
}

int64_t Shop::NextSeqNo() {
  ++seq_no_;
  if (day_.FirstSeqNo == 0) day_.FirstSeqNo = seq_no_;
  return seq_no_;
}

// The header record of transactions and reports (record 1):
//   1 date-time, 2 operator, 3 receipt number, 5 register number,
//   4 training, 6/7 booking memory (table) number and kind, 9 sequence number,
//   10 signing unit (1 taxpayer id, 2 card number), 11 currency,
//   12/13 last and first transaction of a registration end's period,
//   14 register software, 17 invoice number, 21 customer.
void Shop::Header(int op, bool transaction, int64_t seqNo, const Transaction* t, bool closing) {
  Emit e{*sink_};
  e.Rec(1, 2);
  e.Time(1, 2, now_);
  e.NumText(2, 3, kOperators[op].No, kOperators[op].Name);
  e.Int(3, 2, doc_no_);
  if (t != nullptr && t->Training) e.Int(4, 2, 1);
  e.Fix(5, 2, block_.EcrNo);
  if (t != nullptr && t->Kind == 6) {
    text_.clear();
    AppendInt(text_, t->Table);
    e.Fix(6, 2, text_);
    e.Int(7, 2, 1);
  }
  if (seqNo > 0) e.Int(9, 2, seqNo);
  e.Rec(10, 3);
  e.Text(1, 3, kTaxpayerId);
  e.Int(2, 3, kCardNo);
  e.Rec(11, 3);
  e.Text(1, 3, "EUR");
  e.Int(2, 3, 978);
  if (closing && day_.FirstSeqNo != 0) {
    e.Int(12, 2, seq_no_);
    e.Int(13, 2, day_.FirstSeqNo);
  }
  e.Text(14, 2, block_.SwVer);
  if (transaction && t != nullptr && t->Kind == 1) {
    text_ = "RE-";
    AppendInt(text_, SplitDateTime(now_).Year);
    text_ += '-';
    const int64_t invoice = ++invoice_no_;
    for (int64_t limit = 1000; limit > 1 && invoice < limit; limit /= 10) text_ += '0';
    AppendInt(text_, invoice);
    e.Text(17, 2, text_);
    if (t->Customer) {
      e.Rec(21, 3);
      e.Text(1, 3, "DE987654321");
      e.Text(2, 3, "M\xFCller Catering GmbH");
      e.Text(3, 3, "Hauptstra\xDF" "e 12");
      e.Text(4, 3, "M\xFCnchen");
      e.Text(5, 3, "80331");
      e.Text(6, 3, "Deutschland");
    }
  }
}

void Shop::EventHeader(int op, bool authorised) {
  Emit e{*sink_};
  e.Rec(1, 2);
  e.Time(1, 2, now_);
  e.Fix(2, 2, block_.EcrNo);
  e.NumText(3, 3, kOperators[op].No, kOperators[op].Name);
  if (authorised) e.NumText(4, 3, kManager.No, kManager.Name);
}

void Shop::Signature(int recordKind) {
  sig_.clear();
  for (int i = 0; i < 4; ++i) {
    const uint64_t r = rng_.Next();
    for (int k = 0; k < 8; ++k) sig_ += static_cast<char>((r >> (8 * k)) & 0xFF);
  }
  Emit e{*sink_};
  e.Rec(recordKind, 2);
  e.Bin(1, 2, sig_);
}

void Shop::Counter(int kind, int level, int64_t count, int64_t cents) {
  Emit e{*sink_};
  e.Rec(kind, level);
  e.Bcd(1, level, Whole(count));
  if (cents != 0) e.Money(2, level, cents);
}

// One tax line: record `recordKind` with the rate record 1 (index, rate, text)
// and the amounts 2 gross, 8 net, 3 tax, 4 negative sales.
void Shop::TaxSum(int recordKind, int level, int taxIndex, int64_t gross, int64_t net,
                  int64_t negative, int64_t grossError) {
  Emit e{*sink_};
  const TaxDef& tax = kTaxes[taxIndex];
  e.Rec(recordKind, level);
  e.Rec(1, level + 1);
  e.Int(1, level + 1, taxIndex);
  e.Bcd(2, level + 1, Whole(tax.Percent));
  e.Text(3, level + 1, tax.Text);
  e.Money(2, level, gross + grossError);
  e.Money(8, level, net);
  e.Money(3, level, gross - net);
  if (negative != 0) e.Money(4, level, negative);
}

// A closing's tax table (3 running, 27 own period): one line per index used;
// grossError1 is added to the stated gross of index 1 (a fault).
void Shop::TaxTable(int recordKind, const TaxTotals& taxes, int64_t grossError1) {
  for (const int idx : kTaxOrder) {
    const int64_t error = idx == 1 ? grossError1 : 0;
    if (!taxes.Used[idx] && error == 0) continue;
    TaxSum(recordKind, 2, idx, taxes.Gross[idx], taxes.Net[idx], taxes.Negative[idx], error);
  }
}

// Grand totals record 18: 1 sales, 2 turnover, 3 returns.
void Shop::GrandTotals() {
  Emit e{*sink_};
  e.Rec(18, 2);
  e.Money(1, 2, gt_sales_);
  e.Money(2, 2, gt_turnover_);
  e.Money(3, 2, gt_returns_);
}

bool Shop::FaultToday() const {
  return fault_.Kind != FaultKind::kNone && block_.Id == fault_.Day && !note_.Injected;
}

void Shop::OpenDay(int year, int month, int day, int openMinute, int closeMinute) {
  day_start_ = MakeDateTime(year, month, day);
  now_ = day_start_ + openMinute * 60;
  close_ = day_start_ + closeMinute * 60;
  assert(close_ + 120 <= kLastDateTime);
  ++block_.Id;
  block_.RegStart = now_;
  block_.RegEnd = close_;
  block_.Created = close_ + 120;
  day_ = DayTotals{};
  middle_ = false;
  sink_->BeginBlock(block_);

  ++z_no_;
  if (FaultToday() && fault_.Kind == FaultKind::kClosingNumberSkipped) {
    ++z_no_;
    note_.Injected = true;
  }
  ++doc_no_;
  Note("Registration start", z_no_);
  Emit e{*sink_};
  BeginEntry();
  e.Rec(3, 1);
  Header(0, false, z_no_, nullptr);
  GrandTotals();
  sink_->EndEntry();
}

void Shop::BeginMiddle() {
  if (!FaultToday()) return;
  middle_ = true;
  if (fault_.Kind == FaultKind::kNoSaleDrawer) {
    note_.Injected = true;
    OpenDrawer(0, 2);
  } else if (fault_.Kind == FaultKind::kTrainingReceipt) {
    note_.Injected = true;
    Transaction t;
    t.Operator = 1;
    t.Training = true;
    t.Lines.push_back({kCappuccino, Whole(1), {}});
    t.Lines.push_back({kCroissant, Whole(2), {}});
    t.Payments.push_back({kBar, -1, false});
    const Rng kept = rng_;  // the extra receipt's signature leaves the others as they were
    Sell(t);
    rng_ = kept;
  }
}

void Shop::CloseDay() {
  const bool faultDay = fault_.Kind != FaultKind::kNone && block_.Id == fault_.Day;
  int64_t extraGross1 = 0;
  if (FaultToday() && fault_.Kind == FaultKind::kClosingTaxAltered) {
    extraGross1 = kAlteredCents;
    note_.Injected = true;
    note_.DifferenceCents = kAlteredCents;
  } else if (FaultToday() && fault_.Kind == FaultKind::kGrandTotalReset) {
    // Only the day's own sales remain.
    gt_sales_ = day_.PositiveCents;
    gt_turnover_ = day_.SalesCents;
    gt_returns_ = day_.ReturnCents;
    note_.Injected = true;
  }
  if (FaultToday()) {
    throw std::runtime_error("day " + std::to_string(fault_.Day) + " has no place for the fault " +
                             std::string(FaultName(fault_.Kind)));
  }

  now_ = close_;
  ++doc_no_;
  Note("Registration end", z_no_);
  Emit e{*sink_};
  BeginEntry();
  e.Rec(4, 1);
  Header(0, false, z_no_, nullptr, true);
  Counter(2, 2, day_.Receipts, day_.SalesCents);
  TaxTable(3, running_, 0);
  if (training_ != 0) Counter(7, 2, training_, training_cents_);
  Counter(8, 2, day_.Lines, day_.LineCents);
  Counter(9, 2, day_.DrawerOpens, 0);
  if (day_.Discounts != 0) Counter(11, 2, day_.Discounts, day_.DiscountCents);
  if (day_.Returns != 0) Counter(13, 2, day_.Returns, day_.ReturnCents);
  for (int m = 0; m < kMediumCount; ++m) {
    if (m != kBar && day_.MediaCount[m] == 0) continue;
    e.Rec(15, 2);
    e.IdText(1, 3, m + 1, kMediaNames[m]);
    Counter(2, 3, day_.MediaCount[m], day_.MediaCents[m]);
    if (m == kBar) {
      if (day_.PaidInCount != 0) Counter(4, 3, day_.PaidInCount, day_.PaidIn);
      Counter(6, 3, 1, kCashFloat + day_.MediaCents[m] + day_.PaidIn);
    }
  }
  for (int d = 0; d < static_cast<int>(std::size(kDepts)); ++d) {
    if (day_.DeptCount[d] == 0) continue;
    e.Rec(16, 2);
    e.IdText(1, 3, ParseDigits(kDepts[d].No), kDepts[d].Name);
    Counter(2, 3, day_.DeptCount[d], day_.DeptCents[d]);
  }
  GrandTotals();
  if (day_.Invoices != 0) Counter(21, 2, day_.Invoices, day_.InvoiceCents);
  TaxTable(27, day_.Taxes, extraGross1);
  if (day_.Training != 0) Counter(28, 2, day_.Training, day_.TrainingCents);
  Signature(4);
  sink_->EndEntry();
  sink_->EndBlock();
  if (faultDay) {
    note_.Closing = close_;
    note_.ClosingNo = z_no_;
  }
}

bool Shop::FaultTakes(const Transaction& t) {
  if (!middle_ || !FaultToday() || t.Kind == 6 || t.Training) return false;
  switch (fault_.Kind) {
    case FaultKind::kReceiptDeleted:
      if (!std::all_of(t.Payments.begin(), t.Payments.end(),
                       [](const Payment& p) { return p.Medium == kBar; })) {
        return false;
      }
      break;
    case FaultKind::kPaymentAltered:
      if (t.Payments.size() != 1) return false;
      note_.DifferenceCents = kAlteredCents;
      break;
    case FaultKind::kTimestampSetBack:
      break;
    default:
      return false;
  }
  note_.Injected = true;
  return true;
}

void Shop::Sell(const Transaction& t) {
  const bool faulty = FaultTakes(t);
  const bool deleted = faulty && fault_.Kind == FaultKind::kReceiptDeleted;
  const DateTime now = now_;
  if (faulty && fault_.Kind == FaultKind::kTimestampSetBack) now_ = last_entry_ - kSetBack;
  if (deleted) sink_ = discard_.get();

  const bool booked = t.Kind != 6;  // a table receipt is not a sale yet
  const bool sale = booked && !t.Training;
  const int64_t seq = booked ? NextSeqNo() : 0;
  ++doc_no_;
  Note(t.Training    ? "Training receipt"
       : t.Kind == 1 ? "Invoice"
       : t.Kind == 6 ? "Table receipt"
                     : "Receipt",
       doc_no_);
  Emit e{*sink_};
  BeginEntry();
  e.Rec(t.Kind, 1);
  Header(t.Operator, true, seq, &t);

  std::array<int64_t, kTaxCount> gross{}, negative{};
  int64_t positiveSales = 0, returns = 0;
  for (const SaleLine& line : t.Lines) {
    const ArticleDef& a = kArticles[line.Article];
    const int64_t amount = Times(line.Qty, a.Price);
    const int64_t units = line.Qty.Scale == 0 ? line.Qty.Mantissa : 1;
    std::array<int64_t, kTaxCount> itemTax{};
    itemTax[a.Tax] += amount;
    for (const int m : line.Modifiers) itemTax[a.Tax] += kModifiers[m].Cents * units;
    const int64_t linkAmount = a.Link >= 0 ? units * kArticles[a.Link].Price : 0;
    if (a.Link >= 0) itemTax[kArticles[a.Link].Tax] += linkAmount;
    const int64_t itemGross = itemTax[0] + itemTax[1] + itemTax[2];

    // Sale record 2: 1 article, 9 department, 2 quantity, 3 amount, 4 tax
    // (index, amount), 8 modifier (amount, 1 id and name), 5 linked article.
    e.Rec(2, 2);
    e.NumText(1, 3, a.Plu, names_[line.Article]);
    e.NumText(9, 3, kDepts[a.Dept].No, kDepts[a.Dept].Name);
    e.Bcd(2, 2, line.Qty);
    e.Money(3, 2, amount);
    for (const int idx : kTaxOrder) {
      if (itemTax[idx] == 0) continue;
      e.Rec(4, 3);
      e.Int(1, 3, idx);
      e.Money(2, 3, itemTax[idx]);
    }
    for (const int m : line.Modifiers) {
      e.Rec(8, 3);
      e.Money(2, 3, kModifiers[m].Cents * units);
      e.IdText(1, 4, kModifiers[m].Id, kModifiers[m].Name);
    }
    if (a.Link >= 0) {
      const ArticleDef& link = kArticles[a.Link];
      e.Rec(5, 3);
      e.NumText(1, 4, link.Plu, names_[a.Link]);
      e.NumText(7, 4, kDepts[link.Dept].No, kDepts[link.Dept].Name);
      e.Bcd(2, 3, Whole(units));
      e.Money(3, 3, linkAmount);
    }

    for (int idx = 0; idx < kTaxCount; ++idx) {
      gross[idx] += itemTax[idx];
      if (line.Qty.Mantissa < 0) negative[idx] += itemTax[idx];
    }
    if (line.Qty.Mantissa < 0) {
      returns += itemGross;
    } else {
      positiveSales += itemGross;
    }
    if (sale) {
      ++day_.Lines;
      day_.LineCents += amount;
      day_.DeptCount[a.Dept] += 1;
      day_.DeptCents[a.Dept] += itemGross - linkAmount;
      if (a.Link >= 0) {
        day_.DeptCount[kArticles[a.Link].Dept] += 1;
        day_.DeptCents[kArticles[a.Link].Dept] += linkAmount;
      }
      if (line.Qty.Mantissa < 0) {
        ++day_.Returns;
        day_.ReturnCents += itemGross;
      }
    }
  }

  if (t.DiscountPercent != 0 && !t.Lines.empty()) {
    const int idx = kArticles[t.Lines.front().Article].Tax;
    const int64_t discount = (gross[idx] - negative[idx]) * t.DiscountPercent / 100;
    if (discount > 0) {
      // Discount record 3: 1 reason (id, text), 2 amount, 3 tax (index, amount).
      text_ = "Rabatt ";
      AppendInt(text_, t.DiscountPercent);
      text_ += '%';
      e.Rec(3, 2);
      e.IdText(1, 3, 1, text_);
      e.Money(2, 2, -discount);
      e.Rec(3, 3);
      e.Int(1, 3, idx);
      e.Money(2, 3, -discount);
      gross[idx] -= discount;
      if (sale) {
        ++day_.Discounts;
        day_.DiscountCents -= discount;
      }
    }
  }

  // Closing record 5: 1 totals (1 gross, 2 net), 2 one tax line per rate.
  const int64_t total = gross[0] + gross[1] + gross[2];
  std::array<int64_t, kTaxCount> net{};
  for (int idx = 0; idx < kTaxCount; ++idx) net[idx] = NetOf(gross[idx], kTaxes[idx].Percent);
  e.Rec(5, 2);
  e.Rec(1, 3);
  e.Money(1, 3, total);
  e.Money(2, 3, net[0] + net[1] + net[2]);
  for (const int idx : kTaxOrder) {
    if (gross[idx] != 0 || negative[idx] != 0) {
      TaxSum(2, 3, idx, gross[idx], net[idx], negative[idx]);
    }
  }

  if (booked) {
    // Payment record 6: 1 medium (number, name), 2 amount, 3 date-time, 4 foreign currency.
    int64_t remaining = total;
    bool cash = false;
    for (size_t i = 0; i < t.Payments.size(); ++i) {
      const Payment& p = t.Payments[i];
      const bool last = i + 1 == t.Payments.size();
      const int64_t amount =
          p.Cents < 0 || last ? remaining : std::min(p.Cents, std::max<int64_t>(remaining, 0));
      if (amount == 0 && !last) continue;
      remaining -= amount;
      const bool altered = faulty && fault_.Kind == FaultKind::kPaymentAltered;
      e.Rec(6, 2);
      e.IdText(1, 3, p.Medium + 1, kMediaNames[p.Medium]);
      e.Money(2, 2, altered ? amount + kAlteredCents : amount);
      e.Time(3, 2, now_);
      if (p.Foreign) {
        e.Rec(4, 3);
        e.Text(1, 3, "CHF");
        e.Int(2, 3, 756);
      }
      if (sale) {
        ++day_.MediaCount[p.Medium];
        day_.MediaCents[p.Medium] += amount;
      }
      cash = cash || p.Medium == kBar;
    }
    Signature(7);

    if (t.Training) {
      ++day_.Training;
      day_.TrainingCents += total;
      ++training_;
      training_cents_ += total;
    } else {
      if (cash) ++day_.DrawerOpens;
      ++day_.Receipts;
      day_.SalesCents += total;
      if (t.Kind == 1 || t.Kind == 5) {
        ++day_.Invoices;
        day_.InvoiceCents += total;
      }
      day_.PositiveCents += positiveSales;
      for (int idx = 0; idx < kTaxCount; ++idx) {
        if (gross[idx] == 0 && negative[idx] == 0) continue;
        day_.Taxes.Add(idx, gross[idx], net[idx], negative[idx]);
        running_.Add(idx, gross[idx], net[idx], negative[idx]);
      }
      gt_sales_ += positiveSales;
      gt_turnover_ += total;
      gt_returns_ += returns;
    }
  }
  sink_->EndEntry();
  if (deleted) {
    sink_ = &journal_;
    note_.DifferenceCents = total;
  }
  now_ = now;
}

void Shop::OpenDrawer(int op, int reason) {
  Note("Drawer opened", 0);
  Emit e{*sink_};
  BeginEntry();
  e.Rec(18, 1);
  EventHeader(op, reason != 1);
  e.IdText(2, 2, 1, "Schublade 1");  // which drawer
  e.IdText(3, 2, reason, kDrawerReasons[reason]);
  sink_->EndEntry();
  ++day_.DrawerOpens;
}

void Shop::RenameArticle(int article) {
  renamed_[article] = !renamed_[article];
  names_[article] = renamed_[article] ? kArticles[article].AltName : kArticles[article].Name;
  Note("Article renamed", ParseDigits(kArticles[article].Plu));
  Emit e{*sink_};
  BeginEntry();
  e.Rec(14, 1);
  EventHeader(0, true);
  e.IdText(2, 2, 1, "Artikel");
  e.IdText(3, 2, ParseDigits(kArticles[article].Plu), names_[article]);
  sink_->EndEntry();
}

void Shop::PaidIn(int op, int64_t cents) {
  const int64_t seq = NextSeqNo();
  ++doc_no_;
  Note("Paid in", doc_no_);
  Emit e{*sink_};
  BeginEntry();
  e.Rec(11, 1);
  Header(op, true, seq, nullptr);
  e.Rec(13, 2);  // paid in/out: 1 reason, 2 amount
  e.NumText(1, 3, "1", "Einlage Wechselgeld");
  e.Money(2, 2, cents);
  e.Rec(6, 2);
  e.IdText(1, 3, kBar + 1, kMediaNames[kBar]);
  e.Money(2, 2, cents);
  e.Time(3, 2, now_);
  sink_->EndEntry();
  ++day_.PaidInCount;
  day_.PaidIn += cents;
  ++day_.DrawerOpens;
}

void Shop::FiscalReport(int op) {
  ++doc_no_;
  Note("Fiscal report", doc_no_);
  Emit e{*sink_};
  BeginEntry();
  e.Rec(22, 1);
  Header(op, false, 0, nullptr);
  Counter(2, 2, day_.Receipts, day_.SalesCents);
  for (int m = 0; m < kMediumCount; ++m) {
    if (day_.MediaCount[m] == 0) continue;
    e.Rec(15, 2);
    e.IdText(1, 3, m + 1, kMediaNames[m]);
    Counter(2, 3, day_.MediaCount[m], day_.MediaCents[m]);
  }
  sink_->EndEntry();
}

}  // namespace jgen
