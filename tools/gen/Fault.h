// Faults the generator can inject into a journal on request, so that tests
// can check that the audit report finds them: what to inject on which
// business day, and what was injected (for the note a test reads). Plain
// values; single-threaded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "gen/GenJournal.h"

namespace jgen {

enum class FaultKind : uint8_t {
  kNone,
  kReceiptDeleted,        // a cash receipt amid the day is not written; the closing keeps it
  kPaymentAltered,        // a receipt's only payment is written 1.00 higher
  kClosingTaxAltered,     // the closing's own-period gross of tax index 1 is 1.00 higher
  kGrandTotalReset,       // the grand totals restart from zero before the closing
  kClosingNumberSkipped,  // the closing number jumps by two
  kTimestampSetBack,      // a receipt amid the day is dated 10 minutes before the entry before it
  kTrainingReceipt,       // one extra training receipt
  kNoSaleDrawer,          // one extra drawer opening without a sale
};

struct FaultPlan {
  FaultKind Kind = FaultKind::kNone;
  int Day = 2;  // 1-based business day (block) of the journal
};

// What was injected; Injected stays false when the journal had no room for it.
struct FaultNote {
  bool Injected = false;
  DateTime Closing = 0;      // the registration end of the fault's day
  int64_t ClosingNo = 0;
  std::optional<int64_t> DifferenceCents;  // faults that alter an amount
};

// The fault of a command-line name ("receipt-deleted", ...); nullopt when unknown.
std::optional<FaultKind> ParseFault(std::string_view name);
std::string_view FaultName(FaultKind kind);
// "fault=...\nday=DD.MM.YYYY\nclosing=N\n[difference=1.00\n]".
std::string FaultNoteText(FaultKind kind, const FaultNote& note);

}  // namespace jgen
