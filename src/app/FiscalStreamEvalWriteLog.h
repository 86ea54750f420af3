// tFiscalStreamEvalWriteLog: the evaluator at the end of the evaluator chain
// that writes the journal's outline into the export log: one section per
// block with its block information, warnings where the blocks of one
// register do not follow each other, one line per change of entry header,
// and at the end the number of blocks processed. The log is borrowed and
// must outlive this evaluator's Close(); failures are those of the log.
//
// Block 9 of a register right after its block 7, with /L (the lines as in
// the file, between the quotes):
//   "  > Block: ID=9; EcrAddr=1; DateTime=... ; DataSign=(Len=0)"
//   "      => Warning: Block number not consecutive: 9/7! [WARNING]"
//   "    Entry: Type=1 (Deutschland (1)); Ver=2; VerMin=0; Codepage=1252"
//   ""
//   ""
//   "  < (End of block)"
// Without /L only the block line is written, as "  Block: ...".
#pragma once

#include <cstdint>
#include <memory>

#include "eval/KvFiscalStreamEval.h"
#include "stream/KvKPosFiscalStreamRec.h"
#include "stream/KvTypes.h"

class tLog;

class tFiscalStreamEvalWriteLog : public tKvFiscalStreamEval {
 public:
  // Whether the evaluator keeps the record path that UnhandledField's
  // warning names (kKept). kNotKept is for a chain in which nothing calls
  // UnhandledField on this evaluator (a conversion run: the exporters warn
  // of their own unhandled fields): records and fields are passed on with
  // the base's checks and failures, and neither the path nor the entry type
  // is kept; the log is the same.
  enum class tRecordPath : uint8_t { kKept, kNotKept };

  // log: not owned, must not be null (EKvParam); next may be empty.
  explicit tFiscalStreamEvalWriteLog(tLog* log,
                                     std::unique_ptr<tKvFiscalStreamEval> next = nullptr,
                                     tRecordPath path = tRecordPath::kKept);
  ~tFiscalStreamEvalWriteLog() override;

  // Slot 0: the warning "=> Warning: Unhandled data [<path>=<value>]!"
  // (with kNotKept, the path is empty).
  void UnhandledField(int32_t id, const tKvKPosData& element) override;
  // Slot 1: ends the block's section; the block becomes the previous one
  // for the continuity checks.
  void BlockEnd() override;
  // Slot 8: the block line and the continuity warnings.
  void BlockStart(const tKvKPosBlockInfoRec& info) override;
  // Slot 9: an entry line when the entry header differs from the last one
  // written in this block.
  void EntryStart(const tKvKPosEntryInfoRec& info) override;
  // Slots 12 and 13: the base's work, or only passed on (kNotKept).
  void RecordStart(int32_t id, int32_t level) override;
  void Field(int32_t id, const tKvKPosData& element) override;

  int32_t blocks() const { return Blocks; }

 protected:
  // After the base work (the final block end): "Processed blocks: <n>".
  void Finish() override;

 private:
  void CheckContinuity(const tKvKPosBlockInfoRec& info);

  tLog* Log;
  const tRecordPath path_;
  int32_t Blocks = 0;
  bool BlockLogged = false;
  int32_t LastBlockID = 0;
  tKvBcdFix LastEcrNr;
  int32_t LastSerNr = 0;
  tKvKPosEntryInfoRec LastEntry;
  bool entry_logged_ = false;  // LastEntry holds an entry of the current block
};
