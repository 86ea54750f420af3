#include "eval/KvFiscalStreamEvalWriteJnlView.h"

#include <utility>

#include "base/KvErrors.h"
#include "eval/FiscCaptions.h"
#include "eval/KvFiscalDataDest.h"
#include "eval/KvFiscalStreamPickerJnlView.h"
#include "platform/Paths.h"

// ---- tKvFiscalStreamEvalWriteJnlView ---------------------------------------

tKvFiscalStreamEvalWriteJnlView::tKvFiscalStreamEvalWriteJnlView(
    tKvFiscalDataDestAscii* dest, std::unique_ptr<tKvFiscalStreamEval> next)
    : tKvFiscalStreamEval(std::move(next)), dest_(dest) {}

tKvFiscalStreamEvalWriteJnlView::~tKvFiscalStreamEvalWriteJnlView() { CloseQuietly(); }

void tKvFiscalStreamEvalWriteJnlView::EntryStart(const tKvKPosEntryInfoRec& info) {
  if (!heading_written_ || info.Type != last_entry_.Type) {
    if (heading_written_) dest_->WriteLine("");
    dest_->WriteLine(FiscJournalTypeText(info.Type, true));
    dest_->WriteLine("");
    dest_->WriteLine("");
    heading_written_ = true;
  }
  last_entry_ = info;
  tKvFiscalStreamEval::EntryStart(info);
}

// ---- tFiscalStreamEvalWriteJnlView -----------------------------------------

// Declared so that they are released in the order picker, line sink, file.
struct tFiscalStreamEvalWriteJnlView::tParts {
  platform::WholeFile File;
  std::unique_ptr<tKvFiscalDataDestTextFile> Dest;
  std::unique_ptr<tFiscalStreamPickerJnlView> Picker;

  static std::unique_ptr<tParts> Open(std::string_view destPath) {
    auto parts = std::make_unique<tParts>();
    const std::string name =
        platform::IncludeTrailingPathDelimiter(std::string(destPath)) + std::string(kFileName);
    if (int code = parts->File.Open(name); code != 0) {
      throw EKvIo(nullptr, code, "Error creating file " + name);
    }
    parts->Dest = std::make_unique<tKvFiscalDataDestTextFile>(&parts->File);
    parts->Picker = std::make_unique<tFiscalStreamPickerJnlView>(parts->Dest.get());
    return parts;
  }
};

tFiscalStreamEvalWriteJnlView::tFiscalStreamEvalWriteJnlView(
    std::string_view destPath, std::unique_ptr<tKvFiscalStreamEval>&& next)
    : tFiscalStreamEvalWriteJnlView(tParts::Open(destPath), std::move(next)) {}

tFiscalStreamEvalWriteJnlView::tFiscalStreamEvalWriteJnlView(
    std::unique_ptr<tParts> parts, std::unique_ptr<tKvFiscalStreamEval>&& next)
    : tKvFiscalStreamEvalWriteJnlView(parts->Dest.get(), std::move(next)),
      parts_(std::move(parts)) {}

tFiscalStreamEvalWriteJnlView::~tFiscalStreamEvalWriteJnlView() {
  // Reached without Close() only when the run failed: the view so far is
  // incomplete and is removed instead of being presented as the view.
  abandoned_ = true;
  CloseQuietly();
}

const std::string& tFiscalStreamEvalWriteJnlView::file_name() const { return parts_->File.name(); }

tKvFiscalStreamPicker& tFiscalStreamEvalWriteJnlView::picker() { return *parts_->Picker; }

void tFiscalStreamEvalWriteJnlView::Finish() {
  try {
    tKvFiscalStreamEvalWriteJnlView::Finish();
  } catch (...) {
    parts_->File.Discard();
    throw;
  }
  if (abandoned_) {
    parts_->File.Discard();
    return;
  }
  parts_->Dest->Commit(platform::WholeFile::Replace::kYes);
}
