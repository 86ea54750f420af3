// tPeriodSelection: /FROM and /TO, the audited period. A writer between the
// journal's producer and the writer chain of the run that lets through only
// the registration periods whose business day lies in the range; everything
// downstream (exports, view, log, checks) sees a journal made of just these
// periods, so its sequence checks find no gap at the selection's edges.
//
// A period is everything from the end of one closing (registration end
// entry) to the end of the next: the entries between two periods go with
// the period that follows them. Its business day is the date of its
// closing, so a receipt after midnight stays with the day whose closing
// counts it. The events of a period are held (tKvKPosFiscalEventBuffer)
// until its closing decides; then they are handed on whole or dropped. A
// period still open at the journal's end (Finish) is decided by the date of
// its first entry and reported as not closed; so is one that grows past
// kHoldLimit (days without a closing): from then on its events stream
// through or are dropped without being held, so memory stays bounded.
//
// Block information travels with the period it falls into; a selected period
// that continues a block whose information was left out gets it first, so a
// block reaches the exports exactly when it holds a selected entry.
//
//   events:  BlockInfo EntryStart RecordStart(2,1) ... EntryEnd   (receipt)
//            EntryStart RecordStart(4,1) RecordStart(1,2) AddItem(1, TI) ...
//            EntryEnd                                              (closing:
//            the period's business day is the TI's date -> hand on or drop)
//
// The downstream writer is borrowed. Runs on the producer's thread: native
// text puts it in front of its event pipe (so that holding, handing on and
// dropping cost the parse's thread, and the chain's thread sees only what
// is selected), the ASCII input on the thread that drives the chain. Finish
// and the figures belong to the thread that owns the run, after the
// producer has ended.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "stream/KvKPosFiscalEventBuffer.h"
#include "stream/KvKPosFiscalStreamWriter.h"
#include "stream/KvTypes.h"

struct tPeriodRange {
  tKvDateTime From;  // first day, or null: open start
  tKvDateTime To;    // last day, or null: open end
  bool Contains(tKvDateTime day) const {
    return (From.IsNull() || day.Value >= From.Value) && (To.IsNull() || day.Value <= To.Value);
  }
};

// What the selection let through and left out.
struct tPeriodFigures {
  int64_t PeriodsSelected = 0, PeriodsLeftOut = 0;
  int64_t EntriesSelected = 0, EntriesLeftOut = 0;
  tKvDateTime FirstClosingDay, LastClosingDay;  // of the selected closings
  int32_t FirstClosingNo = 0, LastClosingNo = 0;
  bool OpenPeriodSelected = false;  // the journal ends in a selected period without closing
  int64_t PeriodsDecidedEarly = 0;  // decided by their first entry (past kHoldLimit)
};

class tPeriodSelection final : public tKvKPosFiscalStreamWriter {
 public:
  // Bytes of events a period may hold before it is decided by its first entry.
  static constexpr size_t kHoldLimit = 8u << 20;

  tPeriodSelection(const tPeriodRange& range, tKvKPosFiscalStreamWriter& downstream);
  // Another downstream writer, before the first event (a parser that puts
  // the selection in front of its event pipe).
  void set_downstream(tKvKPosFiscalStreamWriter& downstream) { downstream_ = &downstream; }
  ~tPeriodSelection() override;

  void SetFilePos(int64_t position) override;
  void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) override;
  // Passed on as a value (an element only for a header field it reads).
  void AddValue(int32_t number, const tKvKPosValue& value) override;
  void FileHeader(const tKvKPosTextFileHeaderRec& header) override;
  void StreamHeader(const tKvKPosFileHeaderRec& header) override;
  void SetVersion(int32_t index, int32_t value) override;
  void BlockInfo(const tKvKPosBlockInfoRec& info) override;
  void EntryStart(const tKvKPosEntryInfoRec& info) override;
  void EntryEnd() override;
  void Link(int32_t distance) override;
  void RecordStart(int32_t type, int32_t level) override;

  // The journal has ended: decides the open period. Once.
  void Finish();
  const tPeriodFigures& figures() const { return figures_; }

 private:
  enum class tMode : uint8_t { kHolding, kPassing, kDropping };

  // The writer that receives the current event: the buffer while holding,
  // downstream while passing, none while dropping.
  tKvKPosFiscalStreamWriter* Target();
  // A field of the entry's header record: its date and sequence number are
  // read from it.
  bool InHeader() const;
  void ReadHeaderField(int32_t number, const tKvKPosData& element);
  // After a field: a period held past kHoldLimit is decided by its first entry.
  void Collected();
  // Hands the held events on (selected) or drops them; the period's mode
  // stays for the rest of it (kPassing / kDropping) until its closing.
  void Decide(bool selected);
  // Downstream gets the block information of the block the period starts
  // in when it has not had it yet.
  void SendStartBlock();
  void PeriodEnded();

  tPeriodRange range_;
  tKvKPosFiscalStreamWriter* downstream_;
  tKvKPosFiscalEventBuffer held_;
  tMode mode_ = tMode::kHolding;
  tPeriodFigures figures_;
  bool finished_ = false;

  // The record path of the current entry (levels 1 and 2) and its header.
  int32_t level_ = 0;
  std::array<int32_t, 3> path_{};
  tKvDateTime entryDay_;    // the current entry's header date
  int32_t entrySeqNo_ = 0;  // the current entry's header sequence number
  // The current period.
  tKvDateTime firstDay_;  // date of its first dated entry
  int64_t entries_ = 0;
  // Blocks: the last one received and whether downstream has had it; the
  // one the period started in, whether the period continues it (its first
  // entry came before any block information) and whether downstream had it.
  tKvKPosBlockInfoRec lastBlock_, startBlock_;
  bool haveBlock_ = false, blockSent_ = false;
  bool continuesBlock_ = false, startBlockSent_ = false;
};

// Reads "DD.MM.YYYY" (a real date the journal's dates can hold: years 1980
// to 9999); null when it is none.
tKvDateTime ParsePeriodDay(std::string_view text);
// "DD.MM.YYYY" of day, or none when it is null (the log's and the cover
// note's form of a business day or of an end of the period asked for).
std::string PeriodDayText(const tKvDateTime& day, std::string_view none);
