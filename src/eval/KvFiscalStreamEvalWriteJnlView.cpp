#include "eval/KvFiscalStreamEvalWriteJnlView.h"

#include <utility>

#include "base/KvErrors.h"
#include "base/KvTextFile.h"
#include "eval/FiscCaptions.h"
#include "eval/KvFiscalDataDest.h"
#include "eval/KvFiscalStreamPickerJnlView.h"
#include "platform/File.h"
#include "platform/Paths.h"

// ---- tKvFiscalStreamEvalWriteJnlView ---------------------------------------

tKvFiscalStreamEvalWriteJnlView::tKvFiscalStreamEvalWriteJnlView(
    tKvFiscalStreamPicker* picker, tKvFiscalDataDestAscii* dest,
    std::unique_ptr<tKvFiscalStreamEval> next)
    : tKvFiscalStreamEvalExt(picker, std::move(next)), dest_(dest) {}

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
  tKvFiscalStreamEvalExt::EntryStart(info);
}

// ---- tFiscalStreamEvalWriteJnlView -----------------------------------------

// Declared so that they are released in the order picker, line sink, file.
struct tFiscalStreamEvalWriteJnlView::tParts {
  std::string file_name;
  std::string temp_name;
  std::unique_ptr<tKvTextFileDos> file;
  std::unique_ptr<tKvFiscalDataDestTextFile> dest;
  std::unique_ptr<tFiscalStreamPickerJnlView> picker;

  static std::unique_ptr<tParts> Open(std::string_view destPath) {
    auto parts = std::make_unique<tParts>();
    parts->file_name =
        platform::IncludeTrailingPathDelimiter(std::string(destPath)) + std::string(kFileName);
    parts->temp_name = parts->file_name + std::string(kTempSuffix);
    parts->file = std::make_unique<tKvTextFileDos>(parts->temp_name, tKvTextFileDos::kModeRewrite);
    parts->dest = std::make_unique<tKvFiscalDataDestTextFile>(parts->file.get());
    parts->picker = std::make_unique<tFiscalStreamPickerJnlView>(parts->dest.get());
    return parts;
  }
};

tFiscalStreamEvalWriteJnlView::tFiscalStreamEvalWriteJnlView(
    std::string_view destPath, std::unique_ptr<tKvFiscalStreamEval>&& next)
    : tFiscalStreamEvalWriteJnlView(tParts::Open(destPath), std::move(next)) {}

tFiscalStreamEvalWriteJnlView::tFiscalStreamEvalWriteJnlView(
    std::unique_ptr<tParts> parts, std::unique_ptr<tKvFiscalStreamEval>&& next)
    : tKvFiscalStreamEvalWriteJnlView(parts->picker.get(), parts->dest.get(), std::move(next)),
      parts_(std::move(parts)) {}

tFiscalStreamEvalWriteJnlView::~tFiscalStreamEvalWriteJnlView() {
  // Reached without Close() only when the run failed: the view so far is
  // incomplete and is removed instead of being presented as the view.
  abandoned_ = true;
  CloseQuietly();
}

const std::string& tFiscalStreamEvalWriteJnlView::file_name() const { return parts_->file_name; }

void tFiscalStreamEvalWriteJnlView::Finish() {
  try {
    tKvFiscalStreamEvalWriteJnlView::Finish();
    if (abandoned_) {
      Discard();
      return;
    }
    parts_->dest->Close();
    if (platform::ReplaceFile(parts_->temp_name, parts_->file_name) != 0) {
      throw EKvRoot(this, "Error renaming file \"" + parts_->temp_name + "\" to \"" +
                              parts_->file_name + "\"");
    }
  } catch (...) {
    Discard();
    throw;
  }
  platform::SyncDirectory(platform::ExtractFilePath(parts_->file_name));
}

void tFiscalStreamEvalWriteJnlView::Discard() noexcept {
  parts_->file->Close();
  platform::DeleteFile(parts_->temp_name);
}
