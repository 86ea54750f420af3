#include "eval/KvFiscalStreamWriterEval.h"

#include <utility>

#include "base/KvErrors.h"
#include "eval/KvFiscalStreamEval.h"
#include "stream/KvKPosComStreamData.h"

tKvFiscalStreamWriterEval::tKvFiscalStreamWriterEval(
    bool skipRepeatedBlocks, std::unique_ptr<tKvKPosFiscalStreamWriter> nextWriter,
    tKvFiscalStreamEval* eval)
    : tKvKPosFiscalStreamWriterChain(std::move(nextWriter)),
      eval_(eval),
      skip_repeated_blocks_(skipRepeatedBlocks) {
  if (eval_ == nullptr) throw EKvParam(this, "tKvFiscalStreamWriterEval.Create");
}

tKvFiscalStreamWriterEval::~tKvFiscalStreamWriterEval() = default;

void tKvFiscalStreamWriterEval::AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) {
  if (element && !Withheld()) eval_->Field(number, *element);
  tKvKPosFiscalStreamWriterChain::AddItem(number, std::move(element));
}

void tKvFiscalStreamWriterEval::AddValue(int32_t number, const tKvKPosValue& value) {
  if (!Withheld())
    value.WithElement([&](const tKvKPosData& element) { eval_->Field(number, element); });
  if (tKvKPosFiscalStreamWriter* next = Successor()) next->AddValue(number, value);
}

void tKvFiscalStreamWriterEval::FileHeader(const tKvKPosTextFileHeaderRec& header) {
  eval_->FileHeader(header);
  tKvKPosFiscalStreamWriterChain::FileHeader(header);
}

void tKvFiscalStreamWriterEval::SetVersion(int32_t index, int32_t value) {
  eval_->SetVersion(index, value);
  tKvKPosFiscalStreamWriterChain::SetVersion(index, value);
}

void tKvFiscalStreamWriterEval::BlockInfo(const tKvKPosBlockInfoRec& info) {
  in_repeated_block_ = skip_repeated_blocks_ && tKvKPosBlockInfoRec::Equals(info, last_block_);
  last_block_ = info;
  if (!in_repeated_block_) eval_->BlockStart(info);
  tKvKPosFiscalStreamWriterChain::BlockInfo(info);
}

void tKvFiscalStreamWriterEval::EntryStart(const tKvKPosEntryInfoRec& info) {
  if (!Withheld()) eval_->EntryStart(info);
  tKvKPosFiscalStreamWriterChain::EntryStart(info);
}

void tKvFiscalStreamWriterEval::EntryEnd() {
  if (!Withheld()) eval_->EntryEnd();
  skip_entry_ = false;
  tKvKPosFiscalStreamWriterChain::EntryEnd();
}

void tKvFiscalStreamWriterEval::Link(int32_t distance) {
  if (!in_repeated_block_) eval_->Link(distance);
  tKvKPosFiscalStreamWriterChain::Link(distance);
}

void tKvFiscalStreamWriterEval::RecordStart(int32_t type, int32_t level) {
  if (!Withheld()) eval_->RecordStart(type, level);
  tKvKPosFiscalStreamWriterChain::RecordStart(type, level);
}
