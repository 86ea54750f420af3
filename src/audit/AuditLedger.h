// tAuditLedger: the picker of /AUDIT. It follows the journal's records per
// register and registration period, adds up what the period's entries
// recompute (sales per tax index and medium, counters, main groups, grand
// totals, the cash drawer, operators), takes the figures the period's
// closing (registration end) reports, and at each closing reconciles both
// under the rules of audit/AuditRules.h into lines and findings. Finish()
// hands over the report.
//
// It keeps the current period's sums and the previous closing's running
// figures per register, the report's compact period rows and at most one
// finding per rule and period: nothing per receipt.
//
// Records it reads, per entry (see KvFiscalStreamPicker.h for the order):
//   transaction  Header  SaleItem/PLULink  Adjust  Deposit  Closing  Payment  EntryEnd
//   report       Header  ReportMedia  ReportGroup  ReportCounters  ReportTax  EntryEnd
//   event        Header  Event  EntryEnd
// Registration start (kind 3) opens a period, registration end (kind 4)
// closes it; entries before the first start of a register belong to a
// period the journal began inside.
//
// Borrowed by the evaluator that feeds it (tKvFiscalStreamEvalExt), on the
// thread that drives the chain; it must outlive that evaluator's Close().
// Nothing here fails but memory.
#pragma once

#include <memory>
#include <string>

#include "audit/AuditModel.h"
#include "eval/KvFiscalStreamPicker.h"

namespace audit {

class tAuditLedger final : public tKvFiscalStreamPicker {
 public:
  tAuditLedger();
  ~tAuditLedger() override;

  void Header(const tFiscHeaderRec& rec) override;
  void SaleItem(const tFiscSaleItemRec& rec) override;
  void PLULink(const tFiscPLULinkRec& rec) override;
  void Adjust(const tFiscAdjustRec& rec) override;
  void Deposit(const tFiscDepositRec& rec) override;
  void Closing(const tFiscClosingRec& rec) override;
  void Payment(const tFiscPaymentRec& rec) override;
  void ReportCounters(const tFiscReportCountersRec& rec) override;
  void ReportTax(const tFiscReportTaxRec& rec) override;
  void ReportMedia(const tFiscReportMediaRec& rec) override;
  void ReportGroup(const tFiscReportGroupRec& rec, int32_t selector) override;
  void Event(const tFiscEventRec& rec) override;
  void EntryEnd() override;
  void BlockStart(const tKvKPosBlockInfoRec& block) override;

  // Ends the open periods and returns the report; journal: the input file
  // as given. Once, after the journal was read.
  tAuditReport Finish(std::string journal);

 private:
  class tImpl;
  std::unique_ptr<tImpl> impl_;
};

}  // namespace audit
