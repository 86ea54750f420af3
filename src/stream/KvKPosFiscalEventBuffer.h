// tKvKPosFiscalEventBuffer: a writer that keeps the events it receives, with
// the input position of each, so that a block can be parsed completely (and
// fail, if it must) before any of it reaches the real writer chain, which
// then receives the events from Replay exactly as the parser delivered them.
// The buffer owns the elements it keeps until Replay hands them on. Its
// memory is bounded: past the limit given at creation it keeps nothing more
// and only says so (Overflowed); the caller then has to parse the block
// again into the real writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "stream/KvKPosFiscalStreamRec.h"
#include "stream/KvKPosFiscalStreamWriter.h"

class tKvKPosFiscalEventBuffer final : public tKvKPosFiscalStreamWriter {
 public:
  // limit: bytes the kept events may take (estimated, elements included).
  explicit tKvKPosFiscalEventBuffer(size_t limit);
  ~tKvKPosFiscalEventBuffer() override;

  void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) override;
  void FileHeader(const tKvKPosTextFileHeaderRec& header) override;
  void StreamHeader(const tKvKPosFileHeaderRec& header) override;
  void SetVersion(int32_t index, int32_t value) override;
  void BlockInfo(const tKvKPosBlockInfoRec& info) override;
  void EntryStart(const tKvKPosEntryInfoRec& info) override;
  void EntryEnd() override;
  void Link(int32_t distance) override;
  void RecordStart(int32_t type, int32_t level) override;

  // Past the limit: events since then were dropped, Replay delivers nothing.
  bool Overflowed() const { return overflowed_; }
  size_t limit() const { return limit_; }
  // Takes effect from the next Clear on.
  void set_limit(size_t limit) { next_limit_ = limit; }
  bool Empty() const { return events_.empty(); }
  // Forgets every event (elements freed) and the overflow; keeps capacity.
  void Clear();
  // Delivers the kept events in order to writer, each after
  // writer.set_file_pos(<its position>); elements go to the writer. The
  // buffer is empty afterwards, also when the writer raises (the rest is
  // then freed). Requires !Overflowed().
  void Replay(tKvKPosFiscalStreamWriter& writer);

 private:
  enum class tKind : uint8_t {
    kAddItem,      // A: number; the next element
    kFileHeader,   // the next text file header
    kStreamHeader, // the next stream header
    kSetVersion,   // A: index, B: value
    kBlockInfo,    // the next block information
    kEntryStart,   // A..D: Type, Ver, VerMin, Codepage
    kEntryEnd,
    kLink,         // A: distance
    kRecordStart,  // A: type, B: level
  };
  struct tEvent {
    int64_t Pos;
    int32_t A, B, C, D;
    tKind Kind;
  };

  // Keeps the event when there is room; false when it has to be dropped.
  bool Keep(tKind kind, size_t extra, int32_t a = 0, int32_t b = 0, int32_t c = 0,
            int32_t d = 0);

  size_t limit_;
  size_t next_limit_;
  size_t used_ = 0;
  bool overflowed_ = false;
  std::vector<tEvent> events_;
  std::vector<std::unique_ptr<tKvKPosData>> elements_;
  std::vector<tKvKPosTextFileHeaderRec> file_headers_;
  std::vector<tKvKPosFileHeaderRec> stream_headers_;
  std::vector<tKvKPosBlockInfoRec> block_infos_;
};
