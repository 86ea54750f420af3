// tKvFiscalStreamEvalExt: the evaluator that assembles the fiscal records of
// an entry from its fields and hands each finished record to a picker chain.
// A field goes, by the entry class (transaction, report, event) and the
// record kind at level 2, into one record buffer or pending value; when its
// record closes the pending value is stored into its record, and a finished
// record is delivered to the pickers and its buffer cleared. A field no
// record takes is reported through UnhandledField. After SetVersion with
// anything but (1, 1) every field is dropped until SetVersion (1, 1).
//
// The picker chain is borrowed: it must outlive this evaluator's Close(). A
// subclass that owns its pickers calls CloseQuietly() (or its owner calls
// Close()) before they die; see KvFiscalStreamEval.h. Further picker chains
// can share the records (ShareRecords): each call reaches the evaluator's
// own chain first, then the shared ones in the order they were added, so
// one assembly serves every output that reads the records.
//
// Calls the picker sees for an entry with a sale item and a linked article:
//   EntryStart  SetEntryType  PLULink  SaleItem  EntryEnd
// Records arrive in the order in which they close; report counters and tax
// tables after all other records of their report.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "eval/KvFiscalStreamEval.h"
#include "eval/KvFiscalStreamPicker.h"
#include "eval/KvKPosFiscalStreamHelp.h"

class tKvFiscalStreamEvalExt : public tKvFiscalStreamEval {
 public:
  // picker: the first picker of the chain, or nullptr; not owned.
  tKvFiscalStreamEvalExt(tKvFiscalStreamPicker* picker,
                         std::unique_ptr<tKvFiscalStreamEval> next = nullptr);
  ~tKvFiscalStreamEvalExt() override;

  // Slot 0: nothing.
  void UnhandledField(int32_t id, const tKvKPosData& element) override;
  // Slot 1: an entry still open is completed first (its records and
  // EntryEnd reach the pickers before the block's end), then BlockEnd on
  // the pickers, then the base work.
  void BlockEnd() override;
  // Slot 2: every open record is finished, then the entry has no data.
  void EntryCompleted() override;
  // Slot 4: entry end: EntryEnd on the pickers; otherwise the records that
  // end are finished (the deepest first). Then the base work.
  void LevelClosed(int32_t level, int32_t id, bool entryEnd) override;
  // Slot 6: base work, then FileHeader on the pickers.
  void FileHeader(const tKvKPosTextFileHeaderRec& header) override;
  // Slot 7: base work; then only (1, 1) is evaluated; every buffer and
  // pending value is cleared.
  void SetVersion(int32_t index, int32_t value) override;
  // Slots 8, 9: base work, then BlockStart / EntryStart on the pickers.
  void BlockStart(const tKvKPosBlockInfoRec& info) override;
  void EntryStart(const tKvKPosEntryInfoRec& info) override;
  // Slot 12: base work; a level-1 record gives the pickers SetEntryType.
  void RecordStart(int32_t id, int32_t level) override;
  // Slot 13: base work, then the field is stored (unless ignored).
  void Field(int32_t id, const tKvKPosData& element) override;

  // picker receives every call the evaluator's own chain receives, after
  // it. Borrowed: it must outlive this evaluator's Close(). Added before
  // the first event; a picker added later misses the calls before it.
  void ShareRecords(tKvFiscalStreamPicker& picker);

  // The stream's format is not the evaluated one: every field is dropped.
  bool ignore() const { return ignore_; }
  // The current entry has delivered a field of a known entry class.
  bool has_data() const { return has_data_; }

 private:
  enum class tEntryClass : uint8_t { kNone, kTransaction, kReport, kEvent };

  tEntryClass EntryClass() const;
  void StoreField(int32_t id, const tKvKPosData& element);
  // Finishes the records that end: all open ones when force is set,
  // otherwise those a record start at level with id ends.
  void FinishRecords(int32_t level, int32_t id, bool force);
  void FinishTransactionRecord(int32_t recordLevel);
  void FinishReportRecord(int32_t recordLevel);
  void FinishEventRecord(int32_t recordLevel);
  void ClearBuffers();

  // Delivery: the picker receives the record, then the buffer is cleared.
  void DeliverHeader();
  void DeliverSignature();

  std::vector<tKvFiscalStreamPicker*> pickers_;  // borrowed; the own chain first
  bool ignore_ = false;
  bool has_data_ = false;

  tFiscHeaderRec header_;
  tFiscSaleItemRec sale_item_;
  tFiscPLULinkRec plu_link_;
  tFiscAdjustRec adjust_;
  tFiscDepositRec deposit_;
  tFiscClosingRec closing_;
  tFiscPaymentRec payment_;
  tFiscReportCountersRec report_counters_;
  tFiscReportTaxRec report_tax_;
  tFiscReportMediaRec report_media_;
  tFiscReportGroupRec report_group_;
  tFiscEventRec event_;
  tFiscSignatureRec signature_;

  // Pending values, stored into their record when the sub-record closes.
  tFiscModifierRec pending_modifier_;
  tFiscItemTaxRec pending_item_tax_;
  tFiscTaxSumRec pending_tax_sum_;
  tFiscCounterRec pending_counter_;
};
