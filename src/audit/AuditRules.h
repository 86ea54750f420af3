// The rules of the audit report: one table of stable codes, each with its
// severity, what it compares and from which records and fields. A code is
// never reused for another rule; the README, the manual page and all three
// reports print this table.
//
//   A1xx  scope and statistics of a period (information, a period left open)
//   A2xx  a closing's own figures against the journal of its period
//   A3xx  continuity from one closing to the next: running totals, numbers
//   A4xx  time: clocks that run backwards, periods that span days
//   A6xx  the cash drawer
//
// Errors: a figure of a closing differs from its journal. Warnings:
// continuity, numbering or time. Information: statistics. Pure data; any
// thread.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/KvSeverity.h"

namespace audit {

using tSeverity = tFindingSeverity;

enum class tRule : uint16_t {
  kOpenPeriod = 101,            // the journal ends inside a period (no closing)
  kPeriodWithoutClosing = 102,  // a registration start follows a period that was not closed
  kTraining = 103,              // training receipts in the period
  kNoSaleDrawer = 104,          // drawer openings without a sale
  kVoidsReturns = 105,          // voided transactions and returned items
  kTaxGross = 201,              // per tax index: gross sales
  kTaxNet = 202,                // per tax index: net sales
  kTaxValue = 203,              // per tax index: tax value
  kTaxNegative = 204,           // per tax index: negative sales
  kMediaSales = 211,            // per medium: sales
  kMediaPaidIn = 212,           // per medium: paid in
  kMediaPaidOut = 213,          // per medium: paid out
  kGrossSales = 221,            // counter: gross sales (receipts, amount)
  kItemCount = 222,             // counter: items sold
  kDiscounts = 223,             // counter: discounts
  kExtraCharges = 224,          // counter: extra charges
  kReturns = 225,               // counter: returned items
  kTrainingCounter = 226,       // counter: training receipts of the period
  kInvoices = 227,              // counter: invoices
  kDrawerOpenings = 228,        // counter: drawer openings
  kInvoiceCopies = 229,         // counter: invoice copies
  kProForma = 230,              // counter: pro forma invoices
  kExpenses = 231,              // counter: expenses of the period
  kTips = 232,                  // counter: tips of the period
  kDeposits = 233,              // counter: deposits
  kMainGroups = 241,            // main groups A per group number
  kRunningTax = 301,            // running tax table minus the previous one = own-period table
  kGrandTotals = 302,           // grand totals = the previous closing's plus the period's
  kStartTotals = 303,           // a registration start carries the previous closing's grand totals
  kClosingNumber = 311,         // closing numbers run on by one
  kVoucherRange = 312,          // first and last voucher number a closing states
  kSequenceGap = 313,           // transaction sequence numbers run on by one
  kBackwards = 401,             // a timestamp earlier than the entry before it
  kAfterClosing = 402,          // an entry dated after its period's closing
  kLongPeriod = 403,            // a period longer than a day
  kDayWithoutClosing = 404,     // sales on a day that has no closing
  kDrawerNegative = 601,        // the cash balance would go negative
};

struct tRuleInfo {
  tRule Rule;
  std::string_view Id;  // "A201"
  tSeverity Severity;
  std::string_view Compares;  // what is compared (one line)
  std::string_view From;      // from which records and fields
};

// Every rule, ordered by code.
std::span<const tRuleInfo> AllRules();
const tRuleInfo& RuleInfo(tRule rule);
constexpr std::string_view SeverityName(tSeverity severity) {
  return FindingSeverityName(severity);
}

// Decisions the rules rest on, printed with the table (README, manual page,
// reports): where the journal leaves a relation open.
std::span<const std::string_view> RuleDecisions();

}  // namespace audit
