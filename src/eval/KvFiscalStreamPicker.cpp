#include "eval/KvFiscalStreamPicker.h"

#include <utility>

tKvFiscalStreamPicker::tKvFiscalStreamPicker(std::unique_ptr<tKvFiscalStreamPicker> next)
    : next_(std::move(next)) {}

tKvFiscalStreamPicker::~tKvFiscalStreamPicker() = default;

void tKvFiscalStreamPicker::Header(const tFiscHeaderRec& rec) {
  if (next_) next_->Header(rec);
}

void tKvFiscalStreamPicker::SaleItem(const tFiscSaleItemRec& rec) {
  if (next_) next_->SaleItem(rec);
}

void tKvFiscalStreamPicker::PLULink(const tFiscPLULinkRec& rec) {
  if (next_) next_->PLULink(rec);
}

void tKvFiscalStreamPicker::Adjust(const tFiscAdjustRec& rec) {
  if (next_) next_->Adjust(rec);
}

void tKvFiscalStreamPicker::Deposit(const tFiscDepositRec& rec) {
  if (next_) next_->Deposit(rec);
}

void tKvFiscalStreamPicker::Closing(const tFiscClosingRec& rec) {
  if (next_) next_->Closing(rec);
}

void tKvFiscalStreamPicker::Payment(const tFiscPaymentRec& rec) {
  if (next_) next_->Payment(rec);
}

void tKvFiscalStreamPicker::Signature(const tFiscSignatureRec& rec) {
  if (next_) next_->Signature(rec);
}

void tKvFiscalStreamPicker::ReportCounters(const tFiscReportCountersRec& rec) {
  if (next_) next_->ReportCounters(rec);
}

void tKvFiscalStreamPicker::ReportTax(const tFiscReportTaxRec& rec) {
  if (next_) next_->ReportTax(rec);
}

void tKvFiscalStreamPicker::ReportMedia(const tFiscReportMediaRec& rec) {
  if (next_) next_->ReportMedia(rec);
}

void tKvFiscalStreamPicker::ReportGroup(const tFiscReportGroupRec& rec, int32_t selector) {
  if (next_) next_->ReportGroup(rec, selector);
}

void tKvFiscalStreamPicker::Event(const tFiscEventRec& rec) {
  if (next_) next_->Event(rec);
}

void tKvFiscalStreamPicker::BlockEnd() {
  if (next_) next_->BlockEnd();
}

void tKvFiscalStreamPicker::EntryEnd() {
  if (next_) next_->EntryEnd();
}

void tKvFiscalStreamPicker::FileHeader(const tKvKPosTextFileHeaderRec& header) {
  file_header_ = header;
  if (next_) next_->FileHeader(header);
}

void tKvFiscalStreamPicker::BlockStart(const tKvKPosBlockInfoRec& block) {
  block_ = block;
  if (next_) next_->BlockStart(block);
}

void tKvFiscalStreamPicker::EntryStart(const tKvKPosEntryInfoRec& entry) {
  entry_ = entry;
  if (next_) next_->EntryStart(entry);
}

void tKvFiscalStreamPicker::SetEntryType(const tKvKPosFiscalType& type) {
  for (tKvFiscalStreamPicker* picker = this; picker != nullptr; picker = picker->next_.get()) {
    picker->entry_type_ = type;
  }
}
