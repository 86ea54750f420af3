#include "stream/KvKPosFiscalStreamWriter.h"

#include <utility>

#include "stream/KvKPosComStreamData.h"

// ---------------------------------------------------------------------------
// tKvKPosFiscalStreamWriter

tKvKPosFiscalStreamWriter::~tKvKPosFiscalStreamWriter() = default;

void tKvKPosFiscalStreamWriter::SetFilePos(int64_t position) { file_pos_ = position; }

// ---------------------------------------------------------------------------
// tKvKPosFiscalStreamWriterChain

tKvKPosFiscalStreamWriterChain::tKvKPosFiscalStreamWriterChain(
    std::unique_ptr<tKvKPosFiscalStreamWriter> successor)
    : successor_(std::move(successor)) {}

tKvKPosFiscalStreamWriterChain::~tKvKPosFiscalStreamWriterChain() = default;

void tKvKPosFiscalStreamWriterChain::AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) {
  // Without successor the parameter frees the element on return.
  if (successor_) successor_->AddItem(number, std::move(element));
}

void tKvKPosFiscalStreamWriterChain::SetFilePos(int64_t position) {
  tKvKPosFiscalStreamWriter::SetFilePos(position);
  if (successor_) successor_->SetFilePos(position);
}

void tKvKPosFiscalStreamWriterChain::FileHeader(const tKvKPosTextFileHeaderRec& header) {
  if (successor_) successor_->FileHeader(header);
}

void tKvKPosFiscalStreamWriterChain::StreamHeader(const tKvKPosFileHeaderRec& header) {
  if (successor_) successor_->StreamHeader(header);
}

void tKvKPosFiscalStreamWriterChain::SetVersion(int32_t index, int32_t value) {
  if (successor_) successor_->SetVersion(index, value);
}

void tKvKPosFiscalStreamWriterChain::BlockInfo(const tKvKPosBlockInfoRec& info) {
  if (successor_) successor_->BlockInfo(info);
}

void tKvKPosFiscalStreamWriterChain::EntryStart(const tKvKPosEntryInfoRec& info) {
  if (successor_) successor_->EntryStart(info);
}

void tKvKPosFiscalStreamWriterChain::EntryEnd() {
  if (successor_) successor_->EntryEnd();
}

void tKvKPosFiscalStreamWriterChain::Link(int32_t distance) {
  if (successor_) successor_->Link(distance);
}

void tKvKPosFiscalStreamWriterChain::RecordStart(int32_t type, int32_t level) {
  if (successor_) successor_->RecordStart(type, level);
}

// ---------------------------------------------------------------------------
// tKvKPosFiscalStreamWriterBlkInfo

tKvKPosFiscalStreamWriterBlkInfo::tKvKPosFiscalStreamWriterBlkInfo(
    std::unique_ptr<tKvKPosFiscalStreamWriter> successor)
    : tKvKPosFiscalStreamWriterChain(std::move(successor)) {}

tKvKPosFiscalStreamWriterBlkInfo::~tKvKPosFiscalStreamWriterBlkInfo() = default;

void tKvKPosFiscalStreamWriterBlkInfo::BlockInfo(const tKvKPosBlockInfoRec& info) {
  block_info_ = info;
  tKvKPosFiscalStreamWriterChain::BlockInfo(info);
}

// ---------------------------------------------------------------------------
// tKPosFiscalStreamWriterDummy

tKPosFiscalStreamWriterDummy::tKPosFiscalStreamWriterDummy() = default;
tKPosFiscalStreamWriterDummy::~tKPosFiscalStreamWriterDummy() = default;

void tKPosFiscalStreamWriterDummy::AddItem(int32_t, std::unique_ptr<tKvKPosData>) {}
void tKPosFiscalStreamWriterDummy::AddValue(int32_t, const tKvKPosValue&) {}
void tKPosFiscalStreamWriterDummy::FileHeader(const tKvKPosTextFileHeaderRec&) {}
void tKPosFiscalStreamWriterDummy::StreamHeader(const tKvKPosFileHeaderRec&) {}
void tKPosFiscalStreamWriterDummy::SetVersion(int32_t, int32_t) {}
void tKPosFiscalStreamWriterDummy::BlockInfo(const tKvKPosBlockInfoRec&) {}
void tKPosFiscalStreamWriterDummy::EntryStart(const tKvKPosEntryInfoRec&) {}
void tKPosFiscalStreamWriterDummy::EntryEnd() {}
void tKPosFiscalStreamWriterDummy::Link(int32_t) {}
void tKPosFiscalStreamWriterDummy::RecordStart(int32_t, int32_t) {}
