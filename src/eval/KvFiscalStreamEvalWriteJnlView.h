// The evaluators of the journal view. tKvFiscalStreamEvalWriteJnlView writes
// a heading line to the view whenever the journal variant changes from one
// entry to the next (and before the first entry); the entries themselves
// are written by the view picker, which receives its records from an
// assembling evaluator behind this one in the chain
// (tKvFiscalStreamEvalExt::ShareRecords). The heading writer sits in front
// of that evaluator because an entry's heading goes before the text of an
// entry left open, which the assembling evaluator completes only when the
// next entry starts. tFiscalStreamEvalWriteJnlView is the view of a
// conversion run: it owns the file "JournalView.txt", its line sink and its
// picker, and sits at the head of the evaluator chain. Its picker and file
// work on a thread of their own: the records and the heading lines reach
// them through a relay (KvFiscalStreamPickerRelay.h), which Close() drains
// before the file is published or removed.
//
// The file appears whole or not at all (platform::WholeFile): it is
// published, replacing an older view, when the owner closes the chain
// (Close()) and everything behind the view closed cleanly. An evaluator
// released without Close() (the run failed), or any failure while closing,
// removes the temporary file: a failed run leaves no view. Failures: EKvIo
// "Error creating file <name>" when the file cannot be created, and
// "tKvFiscalDataDestTextFile.WriteLine: Write error <code>" (EKvIo) for any
// write and for a view that cannot get its name.
//
// Lines of a run whose first two entries are of journal variant 1:
//   "Fiscal journal type: Deutschland (1)"  ""  ""  <entry>  ""  ""  <entry>
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "eval/KvFiscalStreamEval.h"
#include "platform/WholeFile.h"
#include "stream/KvKPosFiscalStreamRec.h"

class tKvFiscalDataDestAscii;
class tKvFiscalStreamPicker;

class tKvFiscalStreamEvalWriteJnlView : public tKvFiscalStreamEval {
 public:
  // dest: the line sink of the heading, not owned, must outlive Close().
  tKvFiscalStreamEvalWriteJnlView(tKvFiscalDataDestAscii* dest,
                                  std::unique_ptr<tKvFiscalStreamEval> next);
  ~tKvFiscalStreamEvalWriteJnlView() override;

  // Slot 9: the heading when the journal variant differs from the last
  // entry's (or for the first entry): an empty line unless it is the first
  // heading, "Fiscal journal type: <variant>", two empty lines. Then the
  // base work (the event goes on to the assembling evaluator).
  void EntryStart(const tKvKPosEntryInfoRec& info) override;
  // Slots 12 and 13: passed on with the base's checks; the heading needs
  // no record path.
  void RecordStart(int32_t id, int32_t level) override { PassRecordStart(id, level); }
  void Field(int32_t id, const tKvKPosData& element) override { PassField(id, element); }

 private:
  tKvFiscalDataDestAscii* dest_;
  bool heading_written_ = false;
  tKvKPosEntryInfoRec last_entry_;
};

class tFiscalStreamEvalWriteJnlView final : public tKvFiscalStreamEvalWriteJnlView {
 public:
  static constexpr std::string_view kFileName = "JournalView.txt";

  // Creates the temporary file of destPath (a folder; a missing trailing "/"
  // is added) + "JournalView.txt". next is taken only once that succeeded,
  // so that a failure leaves the caller's chain whole. cache: kDropBehind
  // when nothing in the run reads the view back.
  tFiscalStreamEvalWriteJnlView(
      std::string_view destPath, std::unique_ptr<tKvFiscalStreamEval>&& next,
      platform::WholeFile::Cache cache = platform::WholeFile::Cache::kKeep);
  // Without Close() before: the view is abandoned (its file removed).
  ~tFiscalStreamEvalWriteJnlView() override;

  // The view's final name.
  const std::string& file_name() const;
  // The view picker, for the evaluator that assembles the records: it must
  // receive them from before the first event until this evaluator's Close().
  tKvFiscalStreamPicker& picker();

 protected:
  // The base work (the last entry and block end, the evaluators behind
  // this one), then the file is published.
  void Finish() override;

 private:
  struct tParts;
  tFiscalStreamEvalWriteJnlView(std::unique_ptr<tParts> parts,
                                std::unique_ptr<tKvFiscalStreamEval>&& next);

  std::unique_ptr<tParts> parts_;
  bool abandoned_ = false;
};
