#include "eval/KvFiscalStreamEval.h"

#include <exception>
#include <string>
#include <utility>

#include "base/KvErrors.h"

tKvFiscalStreamEval::tKvFiscalStreamEval(std::unique_ptr<tKvFiscalStreamEval> next)
    : next_(std::move(next)) {}

tKvFiscalStreamEval::~tKvFiscalStreamEval() { CloseQuietly(); }

void tKvFiscalStreamEval::UnhandledField(int32_t /*id*/, const tKvKPosData& /*element*/) {}

void tKvFiscalStreamEval::BlockEnd() {
  CloseEntry();
  block_open_ = false;
}

void tKvFiscalStreamEval::EntryCompleted() {}

void tKvFiscalStreamEval::CloseEntry() {
  if (closed_) return;
  EntryCompleted();
  LevelClosed(0, 0, true);
  ClearEntryState();
  entry_started_ = false;
  closed_ = true;
}

void tKvFiscalStreamEval::LevelClosed(int32_t level, int32_t /*id*/, bool entryEnd) {
  if (!entryEnd) {
    ClearPathBelow(level);
    if (level == 0) ClearEntryState();
  }
  closed_ = entryEnd;
}

void tKvFiscalStreamEval::Text(std::string_view text) {
  if (next_) next_->Text(text);
}

void tKvFiscalStreamEval::FileHeader(const tKvKPosTextFileHeaderRec& header) {
  if (next_) next_->FileHeader(header);
}

void tKvFiscalStreamEval::SetVersion(int32_t index, int32_t value) {
  if (next_) next_->SetVersion(index, value);
}

void tKvFiscalStreamEval::BlockStart(const tKvKPosBlockInfoRec& info) {
  if (block_open_) BlockEnd();
  block_ = info;
  block_open_ = true;
  if (next_) next_->BlockStart(info);
}

void tKvFiscalStreamEval::EntryStart(const tKvKPosEntryInfoRec& info) {
  // An entry that never received its end would otherwise run into this one:
  // its records would reach the pickers under the new entry, without an
  // EntryEnd of their own.
  if (entry_started_ && !closed_) CloseEntry();
  entry_ = info;
  closed_ = false;
  entry_started_ = true;
  if (next_) next_->EntryStart(info);
}

void tKvFiscalStreamEval::EntryEnd() {
  CloseEntry();
  if (next_) next_->EntryEnd();
}

void tKvFiscalStreamEval::Link(int32_t distance) {
  if (next_) next_->Link(distance);
}

void tKvFiscalStreamEval::RecordStart(int32_t id, int32_t level) {
  CheckRecordStart(id, level);
  if ((level < cur_level_ && id == 0) || (level > 0 && level <= cur_level_)) {
    LevelClosed(level, id, false);
  }
  cur_level_ = level;
  if (id > 0) SetPath(level, id);
  if (level == 1 && id > 0) entry_type_ = DecodeFiscalType(id);
  if (next_) next_->RecordStart(id, level);
}

void tKvFiscalStreamEval::Field(int32_t id, const tKvKPosData& element) {
  CheckField(id);
  SetPath(cur_level_ + 1, id);
  if (next_) next_->Field(id, element);
}

void tKvFiscalStreamEval::Close() {
  if (close_started_) return;
  close_started_ = true;
  Finish();
}

void tKvFiscalStreamEval::Finish() {
  // The next evaluators are closed even when this one fails, so that each of
  // them still ends its block (and the log still gets its last lines); the
  // first failure is raised afterwards.
  std::exception_ptr failure;
  try {
    BlockEnd();
  } catch (...) {
    failure = std::current_exception();
  }
  if (next_) {
    try {
      next_->Close();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    next_.reset();
  }
  if (failure) std::rethrow_exception(failure);
}

void tKvFiscalStreamEval::CloseQuietly() noexcept {
  try {
    Close();
  } catch (...) {
    // Only reached when the owner did not call Close() itself, that is while
    // an earlier failure is already on its way to the single catch point.
  }
}

void tKvFiscalStreamEval::RaiseLevel(const char* operation, int32_t level, int32_t id) const {
  throw EKvMisc(this, std::string(operation) + ": level " + std::to_string(level) +
                          " outside the record levels 1 to " + std::to_string(kMaxLevel) +
                          " (identifier " + std::to_string(id) + ")");
}

void tKvFiscalStreamEval::ClearPathBelow(int32_t level) {
  const int32_t from = level < 0 ? 1 : level + 1;
  for (int32_t l = from; l <= path_top_; ++l) path_[static_cast<size_t>(l - 1)] = 0;
  if (path_top_ >= from) path_top_ = from - 1;
}

void tKvFiscalStreamEval::ClearEntryState() {
  path_.fill(0);
  path_top_ = 0;
  entry_ = tKvKPosEntryInfoRec{};
  entry_type_ = tKvKPosFiscalType{};
  cur_level_ = 0;
}
