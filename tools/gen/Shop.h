// A bakery café with one register that produces a fiscal journal through a
// JournalSink: a fixed catalogue of articles, departments, operators and
// payment media; one block per business day, opened by a registration start
// and closed by a registration end with the day's counters, taxes, media and
// groups. Receipt, document, sequence and Z numbers run on over all days, so
// the journal passes the converter's sequence checks.
//
// The same Shop serves the fixed sample and the large random journals, and
// drives either journal form; its random numbers never depend on the form.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

  void Clear();
};

class Shop {
 public:
  // "*sink" must outlive the shop. With comments set, every entry is
  // preceded by a comment line (forms that have none drop it).
  Shop(JournalSink* sink, uint64_t seed, bool comments);

  // Starts a block and writes the registration start at the opening time.
  void OpenDay(int year, int month, int day, int openMinute, int closeMinute);
  // Writes the registration end at the closing time and ends the block.
  void CloseDay();

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

 private:
  struct DayTotals {
    int64_t Receipts = 0, SalesCents = 0;
    int64_t Lines = 0, LineCents = 0;
    int64_t DrawerOpens = 0;
    int64_t Discounts = 0, DiscountCents = 0;
    int64_t Returns = 0, ReturnCents = 0;
    std::array<int64_t, 3> TaxGross{}, TaxNeg{};
    std::array<bool, 3> TaxUsed{};
    std::array<int64_t, kMediumCount> MediaCount{}, MediaCents{};
    int64_t PaidIn = 0;
    std::array<int64_t, 8> DeptCount{}, DeptCents{};
  };

  void Note(const char* what, int64_t number);
  void Header(int op, bool transaction, int64_t seqNo, const Transaction* t);
  void Signature(int recordKind);
  void Counter(int kind, int level, int64_t count, int64_t cents);
  void TaxSum(int recordKind, int level, int taxIndex, int64_t gross, int64_t negative);
  void EventHeader(int op, bool authorised);

  JournalSink& sink_;
  Rng rng_;
  bool comments_;
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
  DayTotals day_;
  std::string sig_;
  std::string text_;
};

// The fixed sample: three days with registration start and end, receipts with
// articles, linked deposit articles, modifiers, a discount, a returned article,
// several payment media, an invoice with customer data, a table receipt, a
// paid-in entry, a drawer opening and an article rename.
void WriteSample(JournalSink* sink);

// A random journal of at least `targetBytes` bytes: once the output reaches
// that size, the current day is closed with its registration end and the
// journal ends (a few kilobytes beyond the target). The same seed gives the
// same journal; days run from 2 January 2020, Sundays closed, and start over
// before the terminal's 32-bit time runs out in 2038.
void WriteRandom(JournalSink* sink, uint64_t seed, uint64_t targetBytes);

}  // namespace jgen
