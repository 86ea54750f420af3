// The audit report's content: what the reconciliation found per register and
// registration period, in the form all three reports (text, JSON, HTML) are
// written from. Filled by tAuditLedger (audit/AuditLedger.h) while the
// journal is read; read by the report writers afterwards. Plain values; one
// thread at a time.
//
// Amounts are fixed-point: ten-thousandths of the currency unit (tAmount).
// A period holds only its aggregates and its reconciliation lines (a few
// kilobytes), never its receipts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "audit/AuditRules.h"

namespace audit {

using tAmount = int64_t;  // 1/10000 of the currency unit
constexpr tAmount kAmountUnit = 10000;
constexpr int kTaxSlots = 9;  // tax indexes 0 to 8

// Journal date-time: seconds since 01.01.1980 00:00:00 (0 = none).
using tTime = int64_t;

// What a reconciliation line compares.
enum class tLineKind : uint8_t {
  kTaxGross,
  kTaxNet,
  kTaxValue,
  kTaxNegative,  // Key: tax index
  kMediaSales,
  kMediaChange,
  kMediaPaidIn,
  kMediaPaidOut,  // Key: medium number
  kCounterCount,
  kCounterAmount,  // Key: report kind of the counter slot
  kGroupCount,
  kGroupAmount,  // Key: main group number
};

// One line "recomputed from the journal | reported by the closing |
// difference" (difference = journal - reported).
struct tLine {
  tLineKind Kind = tLineKind::kTaxGross;
  tRule Rule = tRule::kTaxGross;  // the rule that compares it
  int32_t Key = 0;
  bool Recomputed = false;  // false: the journal cannot recompute it (listed, not compared)
  bool Reported = false;    // false: the closing does not state it
  int64_t Journal = 0;      // amounts in tAmount units, counts as plain numbers
  int64_t Closing = 0;
  bool Differs() const { return Recomputed && Reported && Journal != Closing; }
};

enum class tPeriodState : uint8_t {
  kClosed,     // ended by its registration end
  kOpen,       // the journal ends inside it
  kNoClosing,  // a registration start came before its registration end
};

// What the values of a finding are.
enum class tValueKind : uint8_t { kNumber, kAmount, kSeconds };

struct tFinding {
  tRule Rule = tRule::kOpenPeriod;
  int32_t Period = -1;                      // index into tAuditReport::Periods
  int64_t Count = 0;                        // how many lines, entries or days the finding covers
  int64_t Expected = 0;                     // journal / expected value (first differing line)
  int64_t Found = 0;                        // closing / found value
  int64_t Difference = 0;                   // Expected - Found
  tValueKind Values = tValueKind::kNumber;  // what Expected, Found and Difference hold
  std::string Detail;  // e.g. "tax index 1", "closing 17 after 15", "10:15:02 after 10:20:00"
};

struct tDrawer {
  bool Known = false;     // the closing states a cash drawer cell
  tAmount Opening = 0;    // opening float (drawer cell less the movements), else 0
  tAmount Movements = 0;  // cash in minus cash out over the period
  tAmount Lowest = 0;     // lowest balance reached (Opening + lowest running sum)
  tTime LowestAt = 0;
};

struct tPeriod {
  int32_t Register = 0;  // index into tAuditReport::Registers
  tPeriodState State = tPeriodState::kClosed;
  bool HasStart = false;  // false: the journal begins inside this period
  tTime Start = 0;        // registration start, else the first entry
  tTime Closing = 0;      // registration end (0 when none)
  tTime FirstEntry = 0, LastEntry = 0;
  int32_t ClosingNo = 0;                          // sequence number of the registration end
  int32_t FirstReceiptNo = 0, LastReceiptNo = 0;  // document numbers of transactions
  int32_t FirstSeqNo = 0, LastSeqNo = 0;          // sequence numbers of transactions
  int32_t Blocks = 0;
  std::array<int32_t, 3> EntriesByClass{};  // transactions, reports, events
  std::array<int32_t, 23> EntriesByKind{};  // by entry kind 0..22 (0: unknown kinds)
  int64_t SalesTransactions = 0;
  tAmount Gross = 0;                            // gross of the sales transactions
  std::array<tAmount, kTaxSlots> GrossByTax{};  // for the daily chart
  std::array<int32_t, kTaxSlots> TaxRate{};     // percent x 100 by tax index (0 = unknown)
  int64_t TrainingReceipts = 0;
  tAmount TrainingGross = 0;  // shown beside the gross sales
  std::vector<tLine> Lines;   // in report order: taxes, media, counters, groups
  tDrawer Drawer;
  int32_t Errors = 0, Warnings = 0, Infos = 0;
};

struct tRegister {
  std::string Number;  // register number (digits)
  int32_t SerialNo = 0;
  std::string Name;  // Windows-1252 as in the journal
};

// Per register and operator, over the whole journal.
struct tOperator {
  int32_t Register = 0;
  std::string Number;  // digits
  std::string Name;    // Windows-1252
  int64_t Transactions = 0;
  tAmount Gross = 0;
  int64_t Voids = 0;
  int64_t Returns = 0;
  int64_t TrainingReceipts = 0;
  int64_t Discounts = 0;
  tAmount DiscountAmount = 0;
  int64_t NoSaleOpenings = 0;
};

// A name the journal gives to a medium or main group of a register.
struct tName {
  int32_t Register = 0;
  int32_t Number = 0;
  std::string Name;  // Windows-1252
};

struct tAuditReport {
  static constexpr int kSchemaVersion = 1;
  std::string Journal;  // the journal file as given
  std::vector<tRegister> Registers;
  std::vector<tPeriod> Periods;    // in journal order
  std::vector<tFinding> Findings;  // in period order, then by rule
  std::vector<tOperator> Operators;
  std::vector<tName> Media, Groups;
  int64_t EntriesOutsidePeriods = 0;  // after a registration end, before the next start
  int32_t Errors = 0, Warnings = 0, Infos = 0;
};

// The subject of a line in the program's German captions, UTF-8:
// "Steuer 1 (19,00 %): Umsatz brutto", "Finanzweg 1 Bar: Einzahlungen",
// "Artikelzahl: Anzahl", "Hauptgruppe 2 Heißgetränke: Umsatz".
std::string LineSubject(const tAuditReport& report, const tPeriod& period, const tLine& line);
// The program's caption of a code (eval/FiscCaptions.h) in UTF-8.
std::string CaptionUtf8(int32_t code);
// A value of a line or finding as text: an amount ("12.30"), a count
// ("12") or a span of time ("-2:30:15").
std::string LineValue(const tLine& line, int64_t value);
std::string FindingValue(const tFinding& finding, int64_t value);
// "Kasse 101 (4711001) Kasse 1", UTF-8.
std::string RegisterTitle(const tRegister& reg);
// "Z 17, 02.01.2024", "open, from 05.01.2024", "no closing, 03.01.2024 - ...".
std::string PeriodTitle(const tPeriod& period);
// "Z 17" style key of a period in findings and charts: the closing date
// "DD.MM.YYYY" (of the last entry when open).
std::string PeriodDay(const tPeriod& period);

// "1234.56" (two places at least, more when the amount has them; "-" sign).
std::string AmountText(tAmount amount);
// "DD.MM.YYYY" and "DD.MM.YYYY HH:MM:SS" of a journal time ("" for 0).
std::string DateText(tTime time);
std::string DateTimeText(tTime time);

}  // namespace audit
