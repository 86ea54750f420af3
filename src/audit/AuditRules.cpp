#include "audit/AuditRules.h"

#include <algorithm>
#include <array>

namespace audit {
namespace {

constexpr tSeverity E = tSeverity::kError, W = tSeverity::kWarning, I = tSeverity::kInfo;

constexpr auto kRules = std::to_array<tRuleInfo>({
    {tRule::kOpenPeriod, "A101", I,
     "The journal ends inside a period: its figures are not reconciled",
     "last entries after the last registration end (kind 4)"},
    {tRule::kPeriodWithoutClosing, "A102", W,
     "A registration start follows a period that has no closing",
     "registration start (kind 3) without a registration end before it"},
    {tRule::kTraining, "A103", I, "Training receipts: count and gross (not in the sales)",
     "header 1.4 of transactions; closing 5.1 gross"},
    {tRule::kNoSaleDrawer, "A104", I, "Drawer openings without a sale",
     "open-drawer entries (kind 18), operator 1.3"},
    {tRule::kVoidsReturns, "A105", I, "Voided transactions and returned items",
     "header 1.20 (void); sale items 2.2 with a negative quantity"},
    {tRule::kTaxGross, "A201", E,
     "Per tax index: gross sales of the journal = the closing's own-period tax table",
     "sales 5.2.x.2 of the transactions; closing report kind 27 (727), field 2"},
    {tRule::kTaxNet, "A202", E,
     "Per tax index: net sales of the journal = the closing's own-period tax table",
     "sales 5.2.x.8; closing report kind 27, field 8"},
    {tRule::kTaxValue, "A203", E,
     "Per tax index: tax value of the journal = the closing's own-period tax table",
     "sales 5.2.x.3; closing report kind 27, field 3"},
    {tRule::kTaxNegative, "A204", E,
     "Per tax index: negative sales of the journal = the closing's own-period tax table",
     "sales 5.2.x.4; closing report kind 27, field 4"},
    {tRule::kMediaSales, "A211", E, "Per medium: payments of the sales = the media report's sales",
     "payments 6.1.1 and 6.2 of sales transactions; media report kind 15, cell 2"},
    {tRule::kMediaPaidIn, "A212", E, "Per medium: paid in = the media report's paid in",
     "payments of paid-in/out entries (deposit kind 13) with a positive amount; kind 15, cell 4"},
    {tRule::kMediaPaidOut, "A213", E, "Per medium: paid out = the media report's paid out",
     "payments of paid-in/out entries with a negative amount; kind 15, cell 5"},
    {tRule::kGrossSales, "A221", E, "Sales transactions and their gross = counter gross sales",
     "closing 5.1.1 of sales transactions; report kind 2 (702)"},
    {tRule::kItemCount, "A222", E, "Sale items and their amounts = counter item count",
     "sale items (kind 2) 2.3 of sales transactions; report kind 8 (708)"},
    {tRule::kDiscounts, "A223", E, "Discounts = counter discounts",
     "adjustments kind 3, 3.2; report kind 11 (711)"},
    {tRule::kExtraCharges, "A224", E, "Extra charges = counter extra charges",
     "adjustments kind 4, 4.2; report kind 12 (712)"},
    {tRule::kReturns, "A225", E, "Returned items and their gross = counter returns",
     "sale items with negative quantity, tax amounts 2.4.2; report kind 13 (713)"},
    {tRule::kTrainingCounter, "A226", E,
     "Training receipts and their gross = counter training receipts of the period",
     "header 1.4, closing 5.1.1; report kind 28 (728)"},
    {tRule::kInvoices, "A227", E, "Invoices and their gross = counter invoices",
     "entries of kinds 1 and 5, closing 5.1.1; report kind 21 (721)"},
    {tRule::kDrawerOpenings, "A228", E, "Drawer openings = counter drawer openings",
     "open-drawer entries (kind 18), sales paid in cash, paid-in/out entries; report kind 9 (709)"},
    {tRule::kInvoiceCopies, "A229", E, "Invoice copies = counter invoice copies",
     "entries of kind 9; report kind 10 (710)"},
    {tRule::kProForma, "A230", E, "Pro forma invoices = counter pro forma invoices",
     "entries of kind 10; report kind 19 (719)"},
    {tRule::kExpenses, "A231", E, "Expenses sold = counter expenses of the period",
     "sale items kind 9, 9.3; report kind 29 (729)"},
    {tRule::kTips, "A232", E, "Tips = counter tips of the period",
     "adjustments kind 8, 8.2; report kind 31 (731)"},
    {tRule::kDeposits, "A233", E, "Deposits made = counter deposits",
     "deposits kind 11, 11.2; report kind 23 (723)"},
    {tRule::kMainGroups, "A241", E,
     "Per main group: items and amounts = the closing's main groups A",
     "department 2.9.1 of sale items and 2.5.7.1 of linked articles; report kind 16 (716)"},
    {tRule::kRunningTax, "A301", W,
     "Running tax table minus the previous closing's = the own-period tax table",
     "report kind 3 (703) of two closings; report kind 27 (727)"},
    {tRule::kGrandTotals, "A302", W,
     "Grand totals = the previous closing's (or the period's start) plus the period's sales",
     "report kind 18 (761 sales, 762 turnover, 763 returns); sale items, closing 5.1.1"},
    {tRule::kStartTotals, "A303", W,
     "A registration start carries the previous closing's grand totals",
     "report kind 18 of the registration start and of the closing before it"},
    {tRule::kClosingNumber, "A311", W, "Closing numbers run on by one (no gap, no reset)",
     "header 1.9 of registration ends"},
    {tRule::kVoucherRange, "A312", W,
     "First and last voucher number a closing states = those of its period's transactions",
     "header 1.13 and 1.12 of the registration end; header 1.9 of transactions"},
    {tRule::kSequenceGap, "A313", W, "Transaction sequence numbers run on by one",
     "header 1.9 of transactions"},
    {tRule::kBackwards, "A401", W, "A timestamp runs backwards (earlier than the entry before)",
     "header 1.1 of every entry"},
    {tRule::kAfterClosing, "A402", W, "An entry is dated after its period's closing",
     "header 1.1 of the period's entries and of its registration end"},
    {tRule::kLongPeriod, "A403", W, "A period is longer than a day",
     "header 1.1 of the registration start (or first entry) and end"},
    {tRule::kDayWithoutClosing, "A404", W, "Sales on a day without a closing",
     "header 1.1 of sales transactions; registration ends"},
    {tRule::kDrawerNegative, "A601", W, "The cash balance would go negative",
     "cash (medium 1) payments and paid in/out; the closing's drawer cell 15.6"},
});

constexpr std::string_view kDecisions[] = {
    "Sales transactions are the entries of kinds 1, 2, 5, 15, 16 and 17 with a closing record; "
    "training receipts are not part of the sales, the grand totals or the media: they are shown "
    "beside the gross sales and compared with counter 728 only.",
    "The own-period tax table is report kind 27 (727); kind 3 (703) runs on since the register "
    "began and is only compared from one closing to the next, never against zero.",
    "Grand totals: sales are the gross of the items with a positive quantity before discounts, "
    "turnover the gross of the sales transactions, returns the gross of the returned items.",
    "Cash is medium 1. The drawer balance starts at the closing's drawer cell less the period's "
    "cash movements (the opening float); without that cell it starts at zero.",
    "A counter the journal cannot recompute (delivery notes, open sales, petty cash, total sales, "
    "deposits used, open expenses, expenses and tips in total, training receipts in total, change) "
    "is listed as reported, never compared.",
    "A closing figure that is absent is not compared: the line says \"not reported\".",
};

}  // namespace

std::span<const tRuleInfo> AllRules() { return kRules; }

const tRuleInfo& RuleInfo(tRule rule) {
  const auto* it = std::find_if(kRules.begin(), kRules.end(),
                                [rule](const tRuleInfo& info) { return info.Rule == rule; });
  return it != kRules.end() ? *it : kRules.front();
}

std::span<const std::string_view> RuleDecisions() { return kDecisions; }

}  // namespace audit
