// A bakery café with one register that produces a fiscal journal through a
// JournalSink: a fixed catalogue of articles, departments, operators and
// payment media; one block per business day, opened by a registration start
// and closed by a registration end with the day's counters, own-period
// taxes, media and groups, and the running figures since the register
// began (tax table, grand totals, training receipts), which start from the
// opening state the register had before the journal. Receipt, document,
// sequence and Z numbers run on over all days, so the journal passes the
// converter's sequence checks, and every closing agrees with its receipts:
// training receipts count only in the training counters.
//
// On request the shop injects one fault (gen/Fault.h) on one day; the
// scenario marks the day's middle (BeginMiddle), and the fault
// lands there. Throws std::runtime_error when the fault's day ends without
// a place for it.
//
// The same Shop serves the fixed sample and the large random journals, and
// drives either journal form; its random numbers never depend on the form
// or on an injected fault.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gen/Fault.h"
#include "gen/GenJournal.h"

namespace jgen {

// Deterministic pseudo-random numbers (splitmix64), the same on every platform.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // REQUIRES: n > 0. Uniform enough for test data in 0..n-1.
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }

 private:
  uint64_t state_;
};

// Indexes into the catalogue (see Shop.cpp).
enum Article : int {
  kBroetchen, kCroissant, kRoggenbrot, kBrezel, kStrudel, kKaesekuchen,
  kKaffee, kCappuccino, kLatte, kTee, kSchokolade,
  kWasser, kSchorle, kSaft, kCola,
  kGouda, kSchinken, kOliven,
  kTasche, kZeitung, kGutschein,
  kPfand25, kPfand15,
  kArticleCount
};
enum Modifier : int { kHafermilch, kExtraShot, kVanille, kSahne, kModifierCount };
enum Medium : int { kBar, kEcKarte, kKreditkarte, kGutscheinMedium, kMediumCount };

struct SaleLine {
  int Article = 0;
  Decimal Qty{1, 0};  // negative: a returned article
  std::vector<int> Modifiers;
};

struct Payment {
  int Medium = kBar;
  int64_t Cents = -1;  // -1: whatever is left to pay
  bool Foreign = false;  // paid in Swiss francs, booked in euros
};

struct Transaction {
  int Kind = 2;  // 1 invoice, 2 receipt, 6 table receipt (booking memory)
  int Operator = 0;
  std::vector<SaleLine> Lines;
  int DiscountPercent = 0;  // on the lines taxed like the first line
  std::vector<Payment> Payments;
  int Table = 0;  // table number of a table receipt
  bool Customer = false;  // invoice with customer data
  bool Training = false;  // a training receipt: no sale

  void Clear();
};

constexpr int kTaxCount = 3;  // tax indexes 0 to 2

// What the register had counted before the journal begins.
struct OpeningState {
  int64_t ClosingNo = 0;  // the last registration end before the journal
  int64_t GtSales = 0, GtTurnover = 0, GtReturns = 0;  // grand totals, cents
  std::array<int64_t, kTaxCount> TaxGross{}, TaxNet{}, TaxNegative{};  // running tax table
  int64_t Training = 0, TrainingCents = 0;  // training receipts in total
};

class Shop {
 public:
  // "*sink" must outlive the shop. With comments set, every entry is
  // preceded by a comment line (forms that have none drop it).
  Shop(JournalSink* sink, uint64_t seed, bool comments, const OpeningState& opening,
       const FaultPlan& fault);

  // Starts a block and writes the registration start at the opening time.
  void OpenDay(int year, int month, int day, int openMinute, int closeMinute);
  // Writes the registration end at the closing time and ends the block.
  void CloseDay();
  // The day's middle begins: an extra entry of the fault is written now, a
  // receipt's fault goes to the next receipt that fits before EndMiddle or
  // the day's end.
  void BeginMiddle();
  void EndMiddle() { middle_ = false; }

  // Sets the clock to a time of the current day (minutes and seconds since midnight).
  void At(int hour, int minute, int second = 0);
  // Moves the clock on, never beyond one minute before closing.
  void Advance(int seconds);

  void Sell(const Transaction& t);
  void OpenDrawer(int op, int reason);
  void RenameArticle(int article);
  void PaidIn(int op, int64_t cents);
  void FiscalReport(int op);

  const std::string& ArticleName(int article) const { return names_[article]; }
  // What the fault plan injected so far.
  const FaultNote& Injected() const { return note_; }

 private:
  struct TaxTotals {
    std::array<int64_t, kTaxCount> Gross{}, Net{}, Negative{};
    std::array<bool, kTaxCount> Used{};
    void Add(int index, int64_t gross, int64_t net, int64_t negative);
  };
  struct DayTotals {
    int64_t Receipts = 0, SalesCents = 0;
    int64_t Lines = 0, LineCents = 0;
    int64_t DrawerOpens = 0;
    int64_t Discounts = 0, DiscountCents = 0;
    int64_t Returns = 0, ReturnCents = 0;
    int64_t PositiveCents = 0;  // gross of the items sold (not returned)
    int64_t Invoices = 0, InvoiceCents = 0;
    int64_t Training = 0, TrainingCents = 0;
    TaxTotals Taxes;
    std::array<int64_t, kMediumCount> MediaCount{}, MediaCents{};
    int64_t PaidInCount = 0, PaidIn = 0;
    std::array<int64_t, 8> DeptCount{}, DeptCents{};
    int64_t FirstSeqNo = 0;  // of the day's first transaction (0: none yet)
  };

  void Note(const char* what, int64_t number);
  void BeginEntry();
  int64_t NextSeqNo();
  // closing: a registration end, which states its period's transactions.
  void Header(int op, bool transaction, int64_t seqNo, const Transaction* t,
              bool closing = false);
  void Signature(int recordKind);
  void Counter(int kind, int level, int64_t count, int64_t cents);
  void TaxSum(int recordKind, int level, int taxIndex, int64_t gross, int64_t net,
              int64_t negative, int64_t grossError = 0);
  void TaxTable(int recordKind, const TaxTotals& taxes, int64_t grossError1);
  void GrandTotals();
  void EventHeader(int op, bool authorised);
  bool FaultToday() const;
  // Whether the fault waiting for a receipt takes t, which it then marks injected.
  bool FaultTakes(const Transaction& t);

  JournalSink* sink_;  // the journal, or discard_ while a deleted receipt is "written"
  std::unique_ptr<JournalSink> discard_;
  JournalSink& journal_;
  Rng rng_;
  bool comments_;
  FaultPlan fault_;
  FaultNote note_;
  bool middle_ = false;  // the fault's day has reached its middle
  std::array<std::string, kArticleCount> names_;
  std::array<bool, kArticleCount> renamed_{};

  BlockHeader block_;
  EntryInfo entry_;
  DateTime day_start_ = 0, close_ = 0, now_ = 0;
  int64_t doc_no_ = 1000;  // receipt number, runs on over days
  int64_t seq_no_ = 0;     // transaction sequence number
  int64_t z_no_ = 0;       // registration-end number
  int64_t invoice_no_ = 0;
  int64_t gt_sales_ = 0, gt_turnover_ = 0, gt_returns_ = 0;
  int64_t training_ = 0, training_cents_ = 0;  // in total
  TaxTotals running_;  // since the register began
  DateTime last_entry_ = 0;  // date-time of the last entry written
  DayTotals day_;
  std::string sig_;
  std::string text_;
};

// The fixed sample: three days with registration start and end, receipts with
// articles, linked deposit articles, modifiers, a discount, a returned article,
// several payment media, an invoice with customer data, a table receipt, a
// paid-in entry, a drawer opening and an article rename.
void WriteSample(JournalSink* sink);
// The same with `fault` injected; throws std::runtime_error when its day has
// no place for it (Injected stays false when the journal has no such day).
FaultNote WriteSampleWith(JournalSink* sink, const FaultPlan& fault);

// A random journal of at least `targetBytes` bytes: once the output reaches
// that size, the current day is closed with its registration end and the
// journal ends (a few kilobytes beyond the target). The same seed gives the
// same journal; days run from 2 January 2020, Sundays closed, and start over
// before the terminal's 32-bit time runs out in 2038.
// Now and then a receipt is a training receipt.
void WriteRandom(JournalSink* sink, uint64_t seed, uint64_t targetBytes);
// The same with `fault` injected, as WriteSampleWith.
FaultNote WriteRandomWith(JournalSink* sink, uint64_t seed, uint64_t targetBytes,
                          const FaultPlan& fault);

}  // namespace jgen
