// tKvKPosFiscalEventBuffer: a writer that keeps the events it receives, with
// the input position of each, so that a block can be parsed completely (and
// fail, if it must) before any of it reaches the real writer chain, which
// then receives the events from Replay exactly as the parser delivered them.
// The buffer owns the elements it keeps until Replay hands them on; values
// (AddValue) it keeps packed, a copy of their payload (an amount, a time,
// the bytes of a text) beside the event, and hands on as values; the parser
// may instead give it a field as the position of its element in the stream
// file (AddItemAt), which Replay reads when it hands the field on. Its
// memory is bounded: past the limit given at creation it keeps nothing more
// and only says so (Overflowed); the caller then has to parse the block
// again into the real writer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "stream/KvKPosFiscalStreamRec.h"
#include "stream/KvKPosFiscalStreamWriter.h"
#include "stream/KvKPosValue.h"

class tKvKPosFiscalEventBuffer final : public tKvKPosFiscalStreamWriter {
 public:
  // limit: bytes the kept events may take (estimated, elements included).
  explicit tKvKPosFiscalEventBuffer(size_t limit);
  ~tKvKPosFiscalEventBuffer() override;

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
  // A field whose element (checked already) lies at position of the stream
  // file read in place; Replay reads it from there. repeated: the element is
  // one a back link hands on again and again (Replay then reads it once and
  // lends it to the writer as a value each time).
  void AddItemAt(int32_t number, int64_t position, bool repeated = false) {
    AddItemAtFrom(file_pos(), number, position, repeated);
  }
  // AddItemAt and RecordStart of an item at itemPos, for a parser that
  // keeps the position itself instead of storing it (set_file_pos) first.
  void AddItemAtFrom(int64_t itemPos, int32_t number, int64_t position, bool repeated = false) {
    if (!Fits(position)) [[unlikely]] {
      Overflow();
      return;
    }
    Plain(itemPos, repeated ? tKind::kAddRepeatedItemAt : tKind::kAddItemAt, number,
          static_cast<int32_t>(position));
  }
  void RecordStartFrom(int64_t itemPos, int32_t type, int32_t level) {
    Plain(itemPos, tKind::kRecordStart, type, level);
  }

  // Past the limit: events since then were dropped, Replay delivers nothing.
  bool Overflowed() const { return overflowed_; }
  // The position of the last entry start that no entry end followed, among
  // the events received since the last Clear (kept or not); -1 for none.
  int64_t open_entry_pos() const { return open_entry_pos_; }
  // Takes effect from the next Clear on.
  void set_limit(size_t limit) { next_limit_ = limit; }
  bool Empty() const { return size_ == 0; }
  // What the kept events cost (estimated, elements included), in bytes.
  size_t used() const { return size_ * sizeof(tEvent) + extra_used_; }
  // Forgets every event (elements freed) and the overflow; keeps capacity.
  void Clear();
  // Delivers the kept events in order to writer, each after
  // writer.set_file_pos(base + <its position>); elements go to the writer. The
  // elements of AddItemAt are read through source from file, which must be
  // the stream file parsed, unchanged (without them: EKvParam). The buffer
  // is empty afterwards, also when the writer or a read raises (the rest is
  // then freed). After an overflow it delivers nothing.
  void Replay(tKvKPosFiscalStreamWriter& writer, tKvKPosStreamFile* file = nullptr,
              tKvKPosComStreamSource* source = nullptr, int64_t base = 0);

 private:
  enum class tKind : uint8_t {
    kAddItem,       // N: number, V: index into elements_
    kFileHeader,    // N: index into file_headers_
    kStreamHeader,  // N: index into stream_headers_
    kSetVersion,    // N: index, V: value
    kBlockInfo,     // N: index into block_infos_
    kEntryStart,    // N: index into entries_
    kEntryEnd,
    kLink,               // N: distance
    kRecordStart,        // N: type, V: level
    kAddItemAt,          // N: number, V: position of the element
    kAddRepeatedItemAt,  // N: number, V: position of the element
    kAddInt,             // N: number, V: the value of an integer value
    kAddValue,           // N: number, V: index into values_
    // Values kept packed: N: number, V: where their Len bytes lie in the
    // byte blocks (AddPacked).
    kAddBcd,     // the tKvBcd
    kAddBcdFix,  // the tKvBcdFix
    kAddTime,    // the seconds of the tKvDateTime
    kAddText,    // the bytes
    kAddBinary,  // the bytes
  };
  // 16 bytes: the events of a block are many and short, and they are read
  // on another processor than the one that wrote them. Positions are kept in
  // 32 bits: one that does not fit counts as past the limit.
  struct tEvent {
    int32_t Pos;  // the input position of the event
    int32_t N;
    int32_t V;
    tKind Kind;
    uint16_t Len;  // of a packed value
  };
  static_assert(sizeof(tEvent) == 16);
  static bool Fits(int64_t position) {
    return static_cast<uint64_t>(position) <= uint64_t{0x7FFFFFFF};
  }

  // Room for one more event costing extra bytes besides itself; false (and
  // overflowed from now on) when there is none.
  bool Room(size_t extra);
  // Past the limit from now on.
  void Overflow() {
    overflowed_ = true;
    fast_end_ = 0;
  }
  // Appends an event at pos that costs nothing besides itself; nothing past
  // the limit. This is the parser's hot path: two comparisons while there is
  // room (inlined always: the compiler would otherwise call it).
  [[gnu::always_inline]] void Plain(int64_t pos, tKind kind, int32_t n = 0, int32_t v = 0) {
    if (size_ < fast_end_ && Fits(pos)) [[likely]] {
      events_[size_++] = tEvent{static_cast<int32_t>(pos), n, v, kind, 0};
      return;
    }
    Append(pos, kind, n, v, 0);
  }
  // Appends an event at pos that costs extra bytes besides itself; false
  // (nothing kept) past the limit or when pos does not fit.
  bool Append(int64_t pos, tKind kind, int32_t n, int32_t v, size_t extra);
  // The number of events Plain may append without a look at the limit or
  // the capacity.
  void SetFastEnd();
  // Room for more events (kept ones moved along).
  void Grow();
  // The element at position for a repeated field: the one read there
  // before in this replay, or read now; kept until read again or replaced.
  const tKvKPosData& RepeatedElement(int64_t position, tKvKPosComStreamSource& source);

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
  int64_t open_entry_pos_ = -1;
  // The events, a growing array: appending is on the parser's hot path.
  std::unique_ptr<tEvent[]> events_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  std::vector<std::unique_ptr<tKvKPosData>> elements_;  // of kAddItem
  // Values of kAddValue; their bytes lie in blocks that do not move while
  // the value is kept.
  std::string_view KeepBytes(std::string_view bytes);
  static constexpr size_t kByteBlock = 64 * 1024;
  // Values are kept packed, each a 16-byte event and its payload in the
  // byte blocks, rather than in values_, where each takes 40 bytes more:
  // the buffer is written on one processor and read on another, and every
  // line it fills goes over. A packed value's place: the block in the high
  // bits, the offset in the low ones.
  static constexpr int kPackedOffsetBits = 16;
  static_assert(kByteBlock == size_t{1} << kPackedOffsetBits);
  static constexpr size_t kMaxPacked = 0xFFFF;  // bytes (tEvent::Len)
  static constexpr size_t kPackedBlocks = size_t{1} << (31 - kPackedOffsetBits);
  // Keeps a value of kind (a packed kind) with its size payload bytes, or
  // overflows; false when it cannot be packed (then nothing is kept).
  bool AddPacked(int32_t number, tKind kind, const void* payload, size_t size);
  // The same where the hot path of AddPacked does not apply.
  bool AddPackedSlow(int32_t number, tKind kind, const void* payload, size_t size);
  // The payload of a packed event; as a T.
  const char* Packed(const tEvent& e) const;
  template <class T>
  T PackedAs(const tEvent& e) const;
  // Room for size bytes in the current block, moving on to the next one.
  char* ByteRoom(size_t size);
  std::vector<tKvKPosValue> values_;
  std::vector<std::unique_ptr<char[]>> byte_blocks_;  // of kByteBlock, reused
  size_t byte_block_ = 0;                             // the one being filled
  size_t byte_block_used_ = 0;
  std::vector<std::string> large_bytes_;  // longer than a block
  std::vector<tKvKPosTextFileHeaderRec> file_headers_;
  std::vector<tKvKPosFileHeaderRec> stream_headers_;
  std::vector<tKvKPosBlockInfoRec> block_infos_;
  std::vector<tKvKPosEntryInfoRec> entries_;
};
