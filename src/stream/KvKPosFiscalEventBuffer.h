// tKvKPosFiscalEventBuffer: a writer that keeps the events it receives, with
// the input position of each, so that a block can be parsed completely (and
// fail, if it must) before any of it reaches the real writer chain, which
// then receives the events from Replay exactly as the parser delivered them.
// The buffer owns the elements it keeps until Replay hands them on; the
// parser may instead give it a field as the position of its element in the
// stream file (AddItemAt), which Replay reads when it hands the field on. Its
// memory is bounded: past the limit given at creation it keeps nothing more
// and only says so (Overflowed); the caller then has to parse the block
// again into the real writer.
#pragma once

#include <array>
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
  // A field whose element (checked already) lies at position of the stream
  // file read in place; Replay reads it from there. repeated: the element is
  // one a back link hands on again and again (Replay then reads it once and
  // hands on copies).
  void AddItemAt(int32_t number, int64_t position, bool repeated = false) {
    AddItemAtFrom(file_pos(), number, position, repeated);
  }
  // AddItemAt and RecordStart of an item at item_pos, for a parser that
  // keeps the position itself instead of storing it (set_file_pos) first.
  void AddItemAtFrom(int64_t item_pos, int32_t number, int64_t position, bool repeated = false) {
    tEvent* e = Plain(item_pos, repeated ? tKind::kAddRepeatedItemAt : tKind::kAddItemAt, number);
    if (e != nullptr) e->Position = position;
  }
  void RecordStartFrom(int64_t item_pos, int32_t type, int32_t level) {
    Plain(item_pos, tKind::kRecordStart, 0, type, level);
  }

  // Past the limit: events since then were dropped, Replay delivers nothing.
  bool Overflowed() const { return overflowed_; }
  // Takes effect from the next Clear on.
  void set_limit(size_t limit) { next_limit_ = limit; }
  bool Empty() const { return size_ == 0; }
  // Forgets every event (elements freed) and the overflow; keeps capacity.
  void Clear();
  // Delivers the kept events in order to writer, each after
  // writer.set_file_pos(<its position>); elements go to the writer. The
  // elements of AddItemAt are read through source from file, which must be
  // the stream file parsed, unchanged (without them: EKvParam). The buffer
  // is empty afterwards, also when the writer or a read raises (the rest is
  // then freed). After an overflow it delivers nothing.
  void Replay(tKvKPosFiscalStreamWriter& writer, tKvKPosStreamFile* file = nullptr,
              tKvKPosComStreamSource* source = nullptr);

 private:
  enum class tKind : uint8_t {
    kAddItem,       // N: number, Element
    kFileHeader,    // N: index into file_headers_
    kStreamHeader,  // N: index into stream_headers_
    kSetVersion,    // A: index, B: value
    kBlockInfo,     // N: index into block_infos_
    kEntryStart,    // N: index into entries_
    kEntryEnd,
    kLink,               // A: distance
    kRecordStart,        // A: type, B: level
    kAddItemAt,          // N: number, Position
    kAddRepeatedItemAt,  // N: number, Position
  };
  struct tPair {
    int32_t A, B;
  };
  // 24 bytes: the events of a block are many and short.
  struct tEvent {
    int64_t Pos;
    union {
      tKvKPosData* Element;  // owned until replayed
      tPair Values;
      int64_t Position;  // of the element in the stream file
    };
    int32_t N;
    tKind Kind;
  };

  // Room for one more event costing extra bytes besides itself; false (and
  // overflowed from now on) when there is none.
  bool Room(size_t extra);
  // Appends an event that costs nothing besides itself; nullptr (nothing
  // kept) past the limit. Returns it for the fields that depend on its kind.
  // This is the parser's hot path: one comparison while there is room.
  tEvent* Plain(int64_t pos, tKind kind, int32_t n, int32_t a = 0, int32_t b = 0) {
    if (size_ >= fast_end_) [[unlikely]] {
      if (!Room(0)) return nullptr;
      if (size_ == capacity_) Grow();
    }
    tEvent& e = events_[size_++];
    e.Pos = pos;
    e.Values = {a, b};
    e.N = n;
    e.Kind = kind;
    return &e;
  }
  // The number of events Plain may append without a look at the limit or
  // the capacity.
  void SetFastEnd();
  // Appends an event; returns it for the fields that depend on its kind.
  tEvent& Put(tKind kind, int32_t n, int32_t a = 0, int32_t b = 0) {
    return PutAt(file_pos(), kind, n, a, b);
  }
  tEvent& PutAt(int64_t pos, tKind kind, int32_t n, int32_t a = 0, int32_t b = 0) {
    if (size_ == capacity_) [[unlikely]]
      Grow();
    tEvent& e = events_[size_++];
    e.Pos = pos;
    e.Values = {a, b};
    e.N = n;
    e.Kind = kind;
    return e;
  }
  // Room for more events (kept ones moved along).
  void Grow();
  // Frees the elements not handed on.
  void FreeElements() noexcept;
  // The element at position for a repeated field: a copy of the one read
  // there before in this replay, or read now (and a copy kept).
  std::unique_ptr<tKvKPosData> RepeatedElement(int64_t position, tKvKPosComStreamSource& source);

  // Elements of repeated fields read in the current replay, direct mapped by
  // position; allocated at the first such field.
  struct tRepeated {
    uint64_t Replay = 0;  // replays_ when read; 0: empty
    int64_t Position = -1;
    std::unique_ptr<tKvKPosData> Element;
  };
  static constexpr int kRepeatedBits = 9;
  std::unique_ptr<std::array<tRepeated, size_t{1} << kRepeatedBits>> repeated_;
  uint64_t replays_ = 0;

  size_t limit_;
  size_t next_limit_;
  size_t extra_used_ = 0;  // what the kept events cost besides themselves
  size_t fast_end_ = 0;
  bool overflowed_ = false;
  // The events, a growing array: appending is on the parser's hot path.
  std::unique_ptr<tEvent[]> events_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  std::vector<tKvKPosTextFileHeaderRec> file_headers_;
  std::vector<tKvKPosFileHeaderRec> stream_headers_;
  std::vector<tKvKPosBlockInfoRec> block_infos_;
  std::vector<tKvKPosEntryInfoRec> entries_;
};
