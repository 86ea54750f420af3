// tKvFiscalStreamWriterEval: the writer that bridges the writer chain of a
// producer into an evaluator chain. Each writer event is turned into the
// matching evaluator operation and then passed on along the writer chain,
// unchanged. The evaluator is borrowed and must outlive this writer; the
// writer chain behind it is owned. A block whose information equals the
// previous block's can be held back from the evaluator entirely, and a
// subclass can hold back the rest of an entry (set_skip_entry).
//
//   writer event           evaluator operation   held back while
//   AddItem(n, element)    Field(n, *element)    repeated block, skipped entry
//   FileHeader(hdr)        FileHeader(hdr)       never
//   SetVersion(i, v)       SetVersion(i, v)      never
//   BlockInfo(blk)         BlockStart(blk)       blk repeats the previous block
//   EntryStart(entry)      EntryStart(entry)     repeated block, skipped entry
//   EntryEnd()             EntryEnd()            repeated block, skipped entry
//                          (the skipped entry ends here in any case)
//   Link(d)                Link(d)               repeated block
//   RecordStart(t, l)      RecordStart(t, l)     repeated block, skipped entry
// SetFilePos and StreamHeader only travel along the writer chain.
#pragma once

#include <cstdint>
#include <memory>

#include "stream/KvKPosFiscalStreamWriter.h"

class tKvFiscalStreamEval;

class tKvFiscalStreamWriterEval : public tKvKPosFiscalStreamWriterChain {
 public:
  // eval: receives the events; not owned, must not be null (EKvParam
  // "tKvFiscalStreamWriterEval.Create"). nextWriter may be empty.
  tKvFiscalStreamWriterEval(bool skipRepeatedBlocks,
                            std::unique_ptr<tKvKPosFiscalStreamWriter> nextWriter,
                            tKvFiscalStreamEval* eval);
  tKvFiscalStreamWriterEval(const tKvFiscalStreamWriterEval&) = delete;
  tKvFiscalStreamWriterEval& operator=(const tKvFiscalStreamWriterEval&) = delete;
  ~tKvFiscalStreamWriterEval() override;

  void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) override;
  // The evaluator reads the field from an element that lives during the
  // call; the value goes on to the successor as a value.
  void AddValue(int32_t number, const tKvKPosValue& value) override;
  void FileHeader(const tKvKPosTextFileHeaderRec& header) override;
  void SetVersion(int32_t index, int32_t value) override;
  void BlockInfo(const tKvKPosBlockInfoRec& info) override;
  void EntryStart(const tKvKPosEntryInfoRec& info) override;
  void EntryEnd() override;
  void Link(int32_t distance) override;
  void RecordStart(int32_t type, int32_t level) override;

  tKvFiscalStreamEval* eval() const { return eval_; }
  bool skip_repeated_blocks() const { return skip_repeated_blocks_; }
  // The block information of the previous block (all zero before the first).
  const tKvKPosBlockInfoRec& last_block() const { return last_block_; }
  // The current block repeats the previous one and is held back.
  bool in_repeated_block() const { return in_repeated_block_; }
  bool skip_entry() const { return skip_entry_; }

 protected:
  // Holds back the rest of the current entry from the evaluator, up to and
  // including its EntryEnd, which clears the flag.
  void set_skip_entry(bool skip) { skip_entry_ = skip; }

 private:
  bool Withheld() const { return in_repeated_block_ || skip_entry_; }

  tKvFiscalStreamEval* eval_;
  bool skip_repeated_blocks_;
  tKvKPosBlockInfoRec last_block_;
  bool in_repeated_block_ = false;
  bool skip_entry_ = false;
};
