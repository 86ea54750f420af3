// tKvFiscalStreamEval: the evaluator base. Evaluators form a chain; every
// operation of this base passes its event on to the next evaluator, which
// this one owns, so every evaluator sees every event. The base keeps the
// position in the record tree of the current entry: the level last started,
// the identifier path of up to 32 levels, the current entry and block, and
// it decides when records close (LevelClosed) and when an entry is complete.
// A record or field outside the 32 levels raises EKvMisc naming the level.
//
// Threads: a chain and everything its evaluators own (files, documents,
// digest contexts, the journal view) are driven by one thread at a time and
// shared with none: built and, after the pass, closed by the conversion
// run's main thread; during the pass fed by the main thread (ASCII input)
// or by the event pipe's thread (native text).
//
// Lifetime: an owner calls Close() before it releases an evaluator. Close
// delivers the final BlockEnd, closes and frees the next evaluators and lets
// failures surface; the destructor only repeats it as a fallback (swallowing
// what it raises) and, running in the base, no longer reaches overrides. A
// subclass whose overrides use its own members must therefore call
// CloseQuietly() first thing in its destructor.
//
// Events from a producer and what this base makes of them:
//   BlockStart(blk)            BlockEnd() of the open block first
//   EntryStart(entry)          the entry is open (closed() false)
//   RecordStart(201, 1)        path(1) = 201, entry_type() decoded from it
//   RecordStart(1, 2)          path(2) = 1
//   Field(1, element)          path(3) = 1 (a field sits one level below)
//   RecordStart(2, 2)          LevelClosed(2, 2, false): the level-2 record
//                              of kind 1 is finished, path(3..32) cleared
//   EntryEnd()                 CloseEntry(): EntryCompleted(),
//                              LevelClosed(0, 0, true), path cleared
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "base/KvClass.h"
#include "stream/KvKPosFiscalStreamRec.h"

class tKvKPosData;

class tKvFiscalStreamEval : public tKvClass {
 public:
  // Levels of the record path: 1 (the entry) to kMaxLevel.
  static constexpr int32_t kMaxLevel = 32;

  // next: the next evaluator of the chain (may be empty); owned.
  explicit tKvFiscalStreamEval(std::unique_ptr<tKvFiscalStreamEval> next = nullptr);
  tKvFiscalStreamEval(const tKvFiscalStreamEval&) = delete;
  tKvFiscalStreamEval& operator=(const tKvFiscalStreamEval&) = delete;
  // Close() unless that happened; failures are swallowed here.
  ~tKvFiscalStreamEval() override;

  // Slot 0: a field that a subclass could not place; the base does nothing.
  virtual void UnhandledField(int32_t id, const tKvKPosData& element);
  // Slot 1: CloseEntry(), then the block is no longer open. Not passed on:
  // every evaluator ends its own block (at its next BlockStart or Close).
  virtual void BlockEnd();
  // Slot 2: hook called by CloseEntry before the entry's levels close.
  virtual void EntryCompleted();
  // Slot 3: once per entry (nothing when closed()): EntryCompleted(),
  // LevelClosed(0, 0, true), then path, entry, entry type and level cleared.
  virtual void CloseEntry();
  // Slot 4: the records that a record start at level with id ends are
  // finished (entryEnd false), or the entry ended (entryEnd true). The base
  // clears path(level + 1..32) when not entryEnd, and for level 0 also the
  // entry, its type and the current level; closed() := entryEnd.
  virtual void LevelClosed(int32_t level, int32_t id, bool entryEnd);
  // Slots 5-7: passed on.
  virtual void Text(std::string_view text);
  virtual void FileHeader(const tKvKPosTextFileHeaderRec& header);
  virtual void SetVersion(int32_t index, int32_t value);
  // Slot 8: BlockEnd() when a block is open; block() := info; passed on.
  virtual void BlockStart(const tKvKPosBlockInfoRec& info);
  // Slot 9: CloseEntry() when an entry started here was never ended;
  // entry() := info, the entry is open; passed on.
  virtual void EntryStart(const tKvKPosEntryInfoRec& info);
  // Slot 10: CloseEntry(); passed on.
  virtual void EntryEnd();
  // Slot 11: passed on.
  virtual void Link(int32_t distance);
  // Slot 12: a record of type id starts at level (1-32). A level at or
  // above the current one, or id 0 below it (a pure level end; level 0 ends
  // them all), first closes levels with LevelClosed(level, id, false). Then
  // the level becomes current and id > 0 is stored at path(level); at
  // level 1 it gives the entry type. Passed on. Any other level raises
  // EKvMisc.
  virtual void RecordStart(int32_t id, int32_t level);
  // Slot 13: a field of the current record; its id is stored at
  // path(cur_level() + 1), which must lie within 1-32 (else EKvMisc).
  // Passed on; the element stays the caller's.
  virtual void Field(int32_t id, const tKvKPosData& element);

  // Ends the evaluation once: Finish() runs (the final BlockEnd, then the
  // next evaluators are closed and freed). A failure is raised after every
  // evaluator of the chain has been closed. Later calls do nothing.
  void Close();

  tKvFiscalStreamEval* next() const { return next_.get(); }
  bool block_open() const { return block_open_; }
  const tKvKPosBlockInfoRec& block() const { return block_; }
  const tKvKPosEntryInfoRec& entry() const { return entry_; }
  const tKvKPosFiscalType& entry_type() const { return entry_type_; }
  bool closed() const { return closed_; }
  int32_t cur_level() const { return cur_level_; }
  // The identifier open at level (1-32); -1 for any other level.
  int32_t path(int32_t level) const {
    return level >= 1 && level <= kMaxLevel ? path_[static_cast<size_t>(level - 1)] : -1;
  }

 protected:
  // Slot 14: the work of Close(). The base: BlockEnd(), then Close() of the
  // next evaluator and its release. An override calls the inherited Finish
  // first and then does its own final work.
  virtual void Finish();
  // Close() for destructors: failures are swallowed (a destructor must not
  // raise); owners that want to see them call Close() themselves.
  void CloseQuietly() noexcept;
  // RecordStart and Field for an evaluator that reads neither the record
  // path nor the entry type: the same checks and failures as the base's,
  // the level kept, the event passed on; no path is kept and no level
  // closed.
  void PassRecordStart(int32_t id, int32_t level) {
    CheckRecordStart(id, level);
    cur_level_ = level;
    if (next_) next_->RecordStart(id, level);
  }
  void PassField(int32_t id, const tKvKPosData& element) {
    CheckField(id);
    if (next_) next_->Field(id, element);
  }

  // The identifiers of the levels from..to, a view into the path valid until
  // the next event; empty unless 1 <= from and to <= 32 (to < from: empty).
  std::span<const int32_t> path_span(int32_t from, int32_t to) const {
    if (from < 1 || to > kMaxLevel || to < from) return {};
    return {path_.data() + (from - 1), static_cast<size_t>(to - from + 1)};
  }

 private:
  [[noreturn]] void RaiseLevel(const char* operation, int32_t level, int32_t id) const;
  // The level checks of RecordStart and Field.
  void CheckRecordStart(int32_t id, int32_t level) const {
    // Level 0 is only a level end (id 0): it closes every open record.
    if (level < 0 || level > kMaxLevel || (level == 0 && id != 0)) [[unlikely]]
      RaiseLevel("RecordStart", level, id);
  }
  void CheckField(int32_t id) const {
    if (cur_level_ + 1 > kMaxLevel) [[unlikely]]
      RaiseLevel("Field", cur_level_ + 1, id);
  }
  void ClearPathBelow(int32_t level);
  // path_[level - 1] = id (1 <= level <= 32).
  void SetPath(int32_t level, int32_t id) {
    path_[static_cast<size_t>(level - 1)] = id;
    if (level > path_top_) path_top_ = level;
  }
  void ClearEntryState();

  std::unique_ptr<tKvFiscalStreamEval> next_;
  bool block_open_ = false;
  tKvKPosBlockInfoRec block_;
  tKvKPosEntryInfoRec entry_;
  tKvKPosFiscalType entry_type_;
  bool closed_ = false;
  int32_t cur_level_ = 0;
  std::array<int32_t, kMaxLevel> path_{};  // path_[L - 1] holds level L
  int32_t path_top_ = 0;                   // no level above it is set
  bool entry_started_ = false;             // EntryStart seen, CloseEntry not yet
  bool close_started_ = false;
};
