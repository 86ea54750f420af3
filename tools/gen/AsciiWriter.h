// Writes a journal as an ASCII interface file: each block of the binary
// journal travels as hexadecimal text behind numbered lines.
//
//   200,1;1,10;<n>,21;<EcrName>,22;<SwVer>,25;<block id>   block start
//   242,<stream version>;D:<hex of up to 100 bytes>         block data, repeated
//
// The binary block (stream version 2; version 1 drops the length values):
//   file header (item 1050, v1: 50) · version (item 1 = 1) · block information (item 5)
//   · length of the next entry (4 bytes) · entry · length · entry · … · entry
// where an entry is: entry start (item 3) · record starts (items 9–32) and fields
// (sub-items) · entry end (item 6). A record whose fields repeat those of an
// earlier record of the same block byte for byte is written as its record start
// and a back link (item 4) to that earlier record, as the terminal does to save
// space; the link delivers the same fields again.
//
// Memory: one block is held until it ends (the hex text needs the whole block).
#pragma once

#include <string>
#include <unordered_map>

#include "gen/GenJournal.h"
#include "gen/GenOutput.h"

namespace jgen {

class AsciiWriter final : public JournalSink {
 public:
  static constexpr size_t kBytesPerLine = 100;

  // "*out" must outlive the writer. streamVersion is 1 or 2.
  AsciiWriter(TextOut* out, int streamVersion);

  void BeginBlock(const BlockHeader& block) override;
  void BeginEntry(const EntryInfo& entry) override;
  void Record(int32_t type, int level) override;
  void Field(int32_t id, int level, const Value& value) override;
  void EndEntry() override;
  void EndBlock() override;
  uint64_t OutputSize() const override;

  // Size of the data lines that carry `bytes` bytes of a block.
  static uint64_t DataLinesSize(uint64_t bytes);

 private:
  // Ends the record segment being written: a record start and the fields
  // that follow it directly. Replaces it by a back link when it repeats one.
  void CloseSegment();
  bool SameBytes(int64_t pos, std::string_view bytes) const;
  void WriteBlockText();

  struct Target {
    int64_t Pos = 0;  // block position of the record start item
    uint32_t Len = 0;
  };

  TextOut& out_;
  const int version_;
  BlockHeader header_;
  std::string block_;  // bytes of the block so far (completed entries)
  std::string entry_;  // bytes of the entry being written
  int64_t entry_base_ = 0;  // block position of entry_[0]
  int entries_ = 0;
  int last_level_ = 0;  // level of the last record start, as the reader tracks it
  bool seg_open_ = false;
  size_t seg_start_ = 0;                          // in entry_: the record start item
  size_t seg_fields_ = 0;                         // in entry_: the first field
  std::unordered_map<uint64_t, Target> targets_;  // segment hash -> first occurrence
};

}  // namespace jgen
