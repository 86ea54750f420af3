// tKvFiscalStreamPicker: the receiver of finished fiscal records. An
// extended evaluator (KvFiscalStreamEvalExt.h) hands every record it has
// assembled to the first picker of a chain; each operation of this base
// passes its record on to the next picker, so a subclass acts on the records
// it wants and calls the inherited operation. A picker owns the rest of its
// chain. Records arrive by const reference, valid only during the call; a
// picker that keeps one copies it. Nothing here fails.
//
// Calls a picker sees for one block with one entry holding a header:
//   BlockStart(blk) EntryStart(entry) SetEntryType(type) Header(hdr) EntryEnd()
//   BlockEnd()     (when the next block starts, and once more at the end)
#pragma once

#include <cstdint>
#include <memory>

#include "base/KvClass.h"
#include "eval/KvKPosFiscalStreamHelp.h"
#include "stream/KvKPosFiscalStreamRec.h"

class tKvFiscalStreamPicker : public tKvClass {
 public:
  // next: the rest of the chain (may be empty); owned.
  explicit tKvFiscalStreamPicker(std::unique_ptr<tKvFiscalStreamPicker> next = nullptr);
  tKvFiscalStreamPicker(const tKvFiscalStreamPicker&) = delete;
  tKvFiscalStreamPicker& operator=(const tKvFiscalStreamPicker&) = delete;
  // Frees the rest of the chain.
  ~tKvFiscalStreamPicker() override;

  // Slots 0-12: one finished record each.
  virtual void Header(const tFiscHeaderRec& rec);
  virtual void SaleItem(const tFiscSaleItemRec& rec);
  virtual void PLULink(const tFiscPLULinkRec& rec);
  virtual void Adjust(const tFiscAdjustRec& rec);
  virtual void Deposit(const tFiscDepositRec& rec);
  virtual void Closing(const tFiscClosingRec& rec);
  virtual void Payment(const tFiscPaymentRec& rec);
  virtual void Signature(const tFiscSignatureRec& rec);
  virtual void ReportCounters(const tFiscReportCountersRec& rec);
  virtual void ReportTax(const tFiscReportTaxRec& rec);
  virtual void ReportMedia(const tFiscReportMediaRec& rec);
  // selector: 0 for report kind 16 (main groups A), 1 for kind 17 (B).
  virtual void ReportGroup(const tFiscReportGroupRec& rec, int32_t selector);
  virtual void Event(const tFiscEventRec& rec);
  // Slots 13, 14.
  virtual void BlockEnd();
  virtual void EntryEnd();
  // Slots 15-17: the record is stored in this picker (file_header(),
  // block(), entry()) before it is passed on.
  virtual void FileHeader(const tKvKPosTextFileHeaderRec& header);
  virtual void BlockStart(const tKvKPosBlockInfoRec& block);
  virtual void EntryStart(const tKvKPosEntryInfoRec& entry);

  // Stores type as entry_type() of this picker and of every picker after it.
  // Not an event slot: the chain is walked here, subclasses cannot intercept.
  void SetEntryType(const tKvKPosFiscalType& type);

  tKvFiscalStreamPicker* next() const { return next_.get(); }
  // Where the records come from: the last text-input header, block
  // information and entry information, and the fiscal type of the entry.
  const tKvKPosTextFileHeaderRec& file_header() const { return file_header_; }
  const tKvKPosBlockInfoRec& block() const { return block_; }
  const tKvKPosEntryInfoRec& entry() const { return entry_; }
  const tKvKPosFiscalType& entry_type() const { return entry_type_; }

 private:
  std::unique_ptr<tKvFiscalStreamPicker> next_;
  tKvKPosTextFileHeaderRec file_header_;
  tKvKPosBlockInfoRec block_;
  tKvKPosEntryInfoRec entry_;
  tKvKPosFiscalType entry_type_;
};
