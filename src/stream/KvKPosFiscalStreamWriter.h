// Fiscal stream writers: the event interface through which every producer
// of journal content (binary stream parser, native text pass, ASCII
// interface input) delivers it, the forwarding chain, the block-information
// writer and the discarding writer. A chain owns its successor, so freeing
// the first writer frees the whole chain; the producer only borrows the
// first writer. Records and values (AddValue) travel by const reference and
// are valid only during the call; elements travel by ownership.
//
// Events of a small binary journal, in the order a producer delivers them:
//   StreamHeader(hdr)          (FileHeader(hdr) from a text input)
//   SetVersion(1, 1)
//   BlockInfo(blk)
//     EntryStart(entry)
//       RecordStart(201, 1)    record type 201 opens the entry at level 1
//         RecordStart(1, 2)
//           AddItem(101, Time) a field of the level-2 record
//     EntryEnd()
// The writers here enforce no order; they pass events on as received.
// Writers are used by the single thread that runs the producer, or, behind
// an event pipe (KvKPosEventPipe.h), by the pipe's thread.
#pragma once

#include <cstdint>
#include <memory>

#include "stream/KvKPosComStream.h"
#include "stream/KvKPosFiscalStreamRec.h"

class tKvKPosData;

// The event interface. Slot 0 (AddItem) is inherited from the item sink.
class tKvKPosFiscalStreamWriter : public tKvKPosComStreamBase {
 public:
  ~tKvKPosFiscalStreamWriter() override;

  // Slot 1: the position in the input of the next event; stored here.
  virtual void SetFilePos(int64_t position);
  // Slot 2: file header of a text input.
  virtual void FileHeader(const tKvKPosTextFileHeaderRec& header) = 0;
  // Slot 3: file header of a binary stream.
  virtual void StreamHeader(const tKvKPosFileHeaderRec& header) = 0;
  // Slot 4: journal format version (index 1).
  virtual void SetVersion(int32_t index, int32_t value) = 0;
  // Slot 5: start of a block.
  virtual void BlockInfo(const tKvKPosBlockInfoRec& info) = 0;
  // Slot 6: start of a journal entry.
  virtual void EntryStart(const tKvKPosEntryInfoRec& info) = 0;
  // Slot 7: end of the current entry.
  virtual void EntryEnd() = 0;
  // Slot 8: a back link passed on unresolved (distance in bytes).
  virtual void Link(int32_t distance) = 0;
  // Slot 9: start of a record of the given type at nesting level 1 to 24.
  virtual void RecordStart(int32_t type, int32_t level) = 0;

  // The position of the item being delivered; 0 until set.
  int64_t file_pos() const { return file_pos_; }
  // Stores the position without the SetFilePos event. The fiscal stream
  // parser writes the position of every item here before reading it and
  // resolves back links from it; successors in a chain do not see it.
  void set_file_pos(int64_t position) { file_pos_ = position; }

 private:
  int64_t file_pos_ = 0;
};

// Forwarding base: every event goes on to the successor. Without successor
// an element received by AddItem is freed and every other event is ignored
// (SetFilePos still stores the position). A value (AddValue) arrives here as
// its element (the item sink's default), so that a descendant that
// overrides AddItem sees every field. Descendants override a slot, act,
// and then call this class's implementation so that the event goes on.
class tKvKPosFiscalStreamWriterChain : public tKvKPosFiscalStreamWriter {
 public:
  // successor may be empty.
  explicit tKvKPosFiscalStreamWriterChain(std::unique_ptr<tKvKPosFiscalStreamWriter> successor);
  // Frees the successor, and so the rest of the chain.
  ~tKvKPosFiscalStreamWriterChain() override;

  void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) override;
  void SetFilePos(int64_t position) override;
  void FileHeader(const tKvKPosTextFileHeaderRec& header) override;
  void StreamHeader(const tKvKPosFileHeaderRec& header) override;
  void SetVersion(int32_t index, int32_t value) override;
  void BlockInfo(const tKvKPosBlockInfoRec& info) override;
  void EntryStart(const tKvKPosEntryInfoRec& info) override;
  void EntryEnd() override;
  void Link(int32_t distance) override;
  void RecordStart(int32_t type, int32_t level) override;

  // The next writer, or nullptr.
  tKvKPosFiscalStreamWriter* Successor() const { return successor_.get(); }

 private:
  std::unique_ptr<tKvKPosFiscalStreamWriter> successor_;
};

// Keeps a copy of the last block information received (all zero before
// the first), then passes every event on like the chain.
class tKvKPosFiscalStreamWriterBlkInfo final : public tKvKPosFiscalStreamWriterChain {
 public:
  explicit tKvKPosFiscalStreamWriterBlkInfo(
      std::unique_ptr<tKvKPosFiscalStreamWriter> successor = nullptr);
  ~tKvKPosFiscalStreamWriterBlkInfo() override;

  void BlockInfo(const tKvKPosBlockInfoRec& info) override;

  const tKvKPosBlockInfoRec& LastBlockInfo() const { return block_info_; }

 private:
  tKvKPosBlockInfoRec block_info_;
};

// Discards every event and frees every element (used for a check pass that
// parses a block before the real writer chain sees it). SetFilePos stores
// the position as in the base.
class tKPosFiscalStreamWriterDummy final : public tKvKPosFiscalStreamWriter {
 public:
  tKPosFiscalStreamWriterDummy();
  ~tKPosFiscalStreamWriterDummy() override;

  void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) override;
  void AddValue(int32_t number, const tKvKPosValue& value) override;
  void FileHeader(const tKvKPosTextFileHeaderRec& header) override;
  void StreamHeader(const tKvKPosFileHeaderRec& header) override;
  void SetVersion(int32_t index, int32_t value) override;
  void BlockInfo(const tKvKPosBlockInfoRec& info) override;
  void EntryStart(const tKvKPosEntryInfoRec& info) override;
  void EntryEnd() override;
  void Link(int32_t distance) override;
  void RecordStart(int32_t type, int32_t level) override;
};
