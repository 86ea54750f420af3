#include "eval/KvFiscalStreamEvalWriteJnlView.h"

#include <exception>
#include <utility>

#include "base/KvErrors.h"
#include "eval/FiscCaptions.h"
#include "eval/KvFiscalDataDest.h"
#include "eval/KvFiscalStreamPickerJnlView.h"
#include "eval/KvFiscalStreamPickerRelay.h"
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

// The view is written on a thread of its own: the heading's lines and the
// records reach the picker through the relay. Declared so that they are
// released in the order relay (its thread joined), picker, line sink, file.
struct tFiscalStreamEvalWriteJnlView::tParts {
  explicit tParts(platform::WholeFile::Cache cache)
      : File(platform::WholeFile::kLargeBufferSize, cache) {}

  // The view holds about two thirds of the journal's bytes.
  platform::WholeFile File;
  std::unique_ptr<tKvFiscalDataDestTextFile> Dest;
  std::unique_ptr<tFiscalStreamPickerJnlView> Picker;
  std::unique_ptr<tKvFiscalStreamPickerRelay> Relay;
  std::unique_ptr<tKvFiscalDataDestAscii> Headings;

  static std::unique_ptr<tParts> Open(std::string_view destPath, platform::WholeFile::Cache cache) {
    auto parts = std::make_unique<tParts>(cache);
    const std::string name =
        platform::IncludeTrailingPathDelimiter(std::string(destPath)) + std::string(kFileName);
    if (int code = parts->File.Open(name); code != 0) {
      throw EKvIo(nullptr, code, "Error creating file " + name);
    }
    parts->Dest = std::make_unique<tKvFiscalDataDestTextFile>(&parts->File);
    // The relay keeps the records the view keeps for an entry's end: the
    // view reads them where it receives them instead of copying them.
    using tRelay = tKvFiscalStreamPickerRelay;
    static_assert(tRelay::kKeepsLast<tFiscHeaderRec> && tRelay::kKeepsLast<tFiscClosingRec> &&
                  tRelay::kKeepsLast<tFiscReportCountersRec> &&
                  tRelay::kKeepsLast<tFiscReportTaxRec> && tRelay::kKeepsLast<tFiscSignatureRec>);
    parts->Picker = std::make_unique<tFiscalStreamPickerJnlView>(
        parts->Dest.get(), nullptr, tFiscalStreamPickerJnlView::tRecordLife::kUntilNextOfType);
    // Two dozen chunks in flight (6 MB at most): the view's thread, the
    // chain and the parse share the processors, and the view's thread also
    // waits for its file's steps to become durable; a short queue stalls the
    // chain whenever the view waits. The view's thread is woken for a dozen
    // chunks at a time.
    constexpr size_t kChunkBytes = 256 * 1024, kDepth = 24, kBatch = kDepth / 2;
    parts->Relay =
        std::make_unique<tKvFiscalStreamPickerRelay>(*parts->Picker, kChunkBytes, kDepth, kBatch);
    parts->Headings = parts->Relay->RelayedLines(*parts->Dest);
    return parts;
  }
};

tFiscalStreamEvalWriteJnlView::tFiscalStreamEvalWriteJnlView(
    std::string_view destPath, std::unique_ptr<tKvFiscalStreamEval>&& next,
    platform::WholeFile::Cache cache)
    : tFiscalStreamEvalWriteJnlView(tParts::Open(destPath, cache), std::move(next)) {}

tFiscalStreamEvalWriteJnlView::tFiscalStreamEvalWriteJnlView(
    std::unique_ptr<tParts> parts, std::unique_ptr<tKvFiscalStreamEval>&& next)
    : tKvFiscalStreamEvalWriteJnlView(parts->Headings.get(), std::move(next)),
      parts_(std::move(parts)) {}

tFiscalStreamEvalWriteJnlView::~tFiscalStreamEvalWriteJnlView() {
  // Reached without Close() only when the run failed: the view so far is
  // incomplete and is removed instead of being presented as the view.
  abandoned_ = true;
  CloseQuietly();
}

const std::string& tFiscalStreamEvalWriteJnlView::file_name() const { return parts_->File.name(); }

tKvFiscalStreamPicker& tFiscalStreamEvalWriteJnlView::picker() { return *parts_->Relay; }

void tFiscalStreamEvalWriteJnlView::Finish() {
  // The relay's thread is done with the file before it is published or
  // removed; the first failure counts.
  std::exception_ptr failure;
  try {
    tKvFiscalStreamEvalWriteJnlView::Finish();
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    parts_->Relay->Drain();
  } catch (...) {
    if (failure == nullptr) failure = std::current_exception();
  }
  if (failure != nullptr || abandoned_) {
    parts_->File.Discard();
    if (failure != nullptr) std::rethrow_exception(failure);
    return;
  }
  parts_->Dest->Commit(platform::WholeFile::Replace::kYes);
}
