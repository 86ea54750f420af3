#include "stream/KvKPosFiscalEventBuffer.h"

#include <cstring>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "base/KvErrors.h"
#include "stream/KvKPosComStreamData.h"

namespace {

// What an element held in the buffer costs, roughly: the object and the
// bytes of its value that lie outside it. Elements of the built-in classes
// are recognised by their exact class (cheaper than a cast that searches).
template <class T>
const T* Exactly(const tKvKPosData& element) {
  return typeid(element) == typeid(T) ? static_cast<const T*>(&element) : nullptr;
}

constexpr size_t kObject = 64;  // an element object

// How many events Replay fetches ahead of the one it delivers.
constexpr size_t kPrefetchAhead = 16;

size_t Footprint(const tKvKPosData& element) {
  switch (element.GetDataKind()) {
    case KvDataKind::kNone:
    case KvDataKind::kInt:
    case KvDataKind::kAddRec:
    case KvDataKind::kBcd:
    case KvDataKind::kBcdFix:
    case KvDataKind::kTouch:
    case KvDataKind::kTime:
    case KvDataKind::kDate:
      return kObject;
    default:
      break;
  }
  if (const auto* text = Exactly<tKvKPosDataStr>(element)) {
    return kObject + text->GetValue().capacity();
  }
  if (const auto* text = Exactly<tKvKPosDataStrAI>(element)) {
    return kObject + text->GetValue().capacity();
  }
  if (const auto* bytes = Exactly<tKvKPosDataBinary>(element)) {
    return kObject + bytes->GetValue().capacity();
  }
  if (const auto* bytes = Exactly<tKvKPosDataHex>(element)) {
    return kObject + bytes->GetValue().capacity();
  }
  if (const auto* bits = Exactly<tKvKPosDataBitset>(element)) {
    return kObject + static_cast<size_t>(bits->GetValue().ByteCount());
  }
  if (const auto* multi = Exactly<tKvKPosDataMulti>(element)) {
    return kObject + Footprint(multi->First()) + Footprint(multi->Rest());
  }
  return kObject + 1024;  // a class of its own: assume it is large
}

}  // namespace

tKvKPosFiscalEventBuffer::tKvKPosFiscalEventBuffer(size_t limit)
    : limit_(limit), next_limit_(limit) {}

tKvKPosFiscalEventBuffer::~tKvKPosFiscalEventBuffer() = default;

const tKvKPosData& tKvKPosFiscalEventBuffer::RepeatedElement(int64_t position,
                                                             tKvKPosComStreamSource& source) {
  if (repeated_ == nullptr)
    repeated_ = std::make_unique<std::array<tRepeated, 1 << kRepeatedBits>>();
  const auto slot = static_cast<size_t>(static_cast<uint64_t>(position) * 0x9E3779B97F4A7C15ULL >>
                                        (64 - kRepeatedBits));
  tRepeated& entry = (*repeated_)[slot];
  if (entry.Replay != replays_ || entry.Position != position) {
    entry.Element = ReadElement(source);
    entry.Replay = replays_;
    entry.Position = position;
  }
  return *entry.Element;
}

void tKvKPosFiscalEventBuffer::AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) {
  // An element that is not there costs what an element object costs.
  const size_t extra = element != nullptr ? Footprint(*element) : kObject;
  const auto index = static_cast<int32_t>(elements_.size());
  if (Append(file_pos(), tKind::kAddItem, number, index, extra))
    elements_.push_back(std::move(element));
}

void tKvKPosFiscalEventBuffer::SetFastEnd() {
  const size_t fit = overflowed_ ? 0 : (limit_ - extra_used_) / sizeof(tEvent);
  fast_end_ = fit < capacity_ ? fit : capacity_;
}

const char* tKvKPosFiscalEventBuffer::Packed(const tEvent& e) const {
  return byte_blocks_[static_cast<uint32_t>(e.V) >> kPackedOffsetBits].get() +
         (static_cast<uint32_t>(e.V) & ((uint32_t{1} << kPackedOffsetBits) - 1));
}

template <class T>
T tKvKPosFiscalEventBuffer::PackedAs(const tEvent& e) const {
  T value;
  std::memcpy(&value, Packed(e), sizeof value);
  return value;
}

// The parser's hot path for values: inlined into AddValue, so that the copy
// of a payload of a fixed size is inlined too.
[[gnu::always_inline]] inline bool tKvKPosFiscalEventBuffer::AddPacked(int32_t number, tKind kind,
                                                                       const void* payload,
                                                                       size_t size) {
  const int64_t pos = file_pos();
  // Room in the block being filled, and for the event and its payload
  // under the limit (size_ < fast_end_: the event alone fits).
  if (size <= kMaxPacked && byte_block_ < byte_blocks_.size() &&
      size <= kByteBlock - byte_block_used_ && size_ < fast_end_ &&
      size <= limit_ - extra_used_ - (size_ + 1) * sizeof(tEvent) && byte_block_ < kPackedBlocks &&
      Fits(pos)) [[likely]] {
    std::memcpy(byte_blocks_[byte_block_].get() + byte_block_used_, payload, size);
    const auto place = static_cast<int32_t>(byte_block_ << kPackedOffsetBits | byte_block_used_);
    events_[size_++] =
        tEvent{static_cast<int32_t>(pos), number, place, kind, static_cast<uint16_t>(size)};
    byte_block_used_ += size;
    extra_used_ += size;
    SetFastEnd();
    return true;
  }
  return AddPackedSlow(number, kind, payload, size);
}

bool tKvKPosFiscalEventBuffer::AddPackedSlow(int32_t number, tKind kind, const void* payload,
                                             size_t size) {
  if (size > kMaxPacked) return false;
  char* const at = ByteRoom(size);
  if (byte_block_ >= kPackedBlocks) return false;
  const auto place = static_cast<int32_t>(byte_block_ << kPackedOffsetBits | byte_block_used_);
  if (size > 0) std::memcpy(at, payload, size);
  if (!Append(file_pos(), kind, number, place, size)) return true;
  byte_block_used_ += size;
  events_[size_ - 1].Len = static_cast<uint16_t>(size);
  return true;
}

void tKvKPosFiscalEventBuffer::AddValue(int32_t number, const tKvKPosValue& value) {
  switch (value.kind()) {
    case tKvKPosValue::tKind::kInt:
      Plain(file_pos(), tKind::kAddInt, number, value.int_value());
      return;
    case tKvKPosValue::tKind::kElement:  // lent: kept as a copy
      AddItem(number, value.MakeElement());
      return;
    case tKvKPosValue::tKind::kBcd:
      if (AddPacked(number, tKind::kAddBcd, &value.bcd_value(), sizeof(tKvBcd))) return;
      break;
    case tKvKPosValue::tKind::kBcdFix:
      if (AddPacked(number, tKind::kAddBcdFix, &value.bcd_fix_value(), sizeof(tKvBcdFix))) return;
      break;
    case tKvKPosValue::tKind::kTime: {
      const int64_t seconds = value.time_value().Value;
      if (AddPacked(number, tKind::kAddTime, &seconds, sizeof seconds)) return;
      break;
    }
    case tKvKPosValue::tKind::kText:
    case tKvKPosValue::tKind::kBinary: {
      const tKind kind = value.kind() == tKvKPosValue::tKind::kText ? tKind::kAddText
                                                                    : tKind::kAddBinary;
      if (AddPacked(number, kind, value.bytes().data(), value.bytes().size())) return;
      break;
    }
  }
  // Too long to be packed, or the byte blocks are too many to be told apart.
  const std::string_view bytes = value.bytes();
  const auto index = static_cast<int32_t>(values_.size());
  if (!Append(file_pos(), tKind::kAddValue, number, index, sizeof value + bytes.size())) return;
  values_.push_back(bytes.empty() ? value : value.WithBytes(KeepBytes(bytes)));
}

char* tKvKPosFiscalEventBuffer::ByteRoom(size_t size) {
  while (byte_block_ < byte_blocks_.size() && kByteBlock - byte_block_used_ < size) {
    ++byte_block_;
    byte_block_used_ = 0;
  }
  if (byte_block_ == byte_blocks_.size()) {
    byte_blocks_.push_back(std::make_unique_for_overwrite<char[]>(kByteBlock));
    byte_block_used_ = 0;
  }
  return byte_blocks_[byte_block_].get() + byte_block_used_;
}

std::string_view tKvKPosFiscalEventBuffer::KeepBytes(std::string_view bytes) {
  if (bytes.size() > kByteBlock) return large_bytes_.emplace_back(bytes);
  char* const at = ByteRoom(bytes.size());
  std::memcpy(at, bytes.data(), bytes.size());
  byte_block_used_ += bytes.size();
  return {at, bytes.size()};
}

void tKvKPosFiscalEventBuffer::FileHeader(const tKvKPosTextFileHeaderRec& header) {
  const auto index = static_cast<int32_t>(file_headers_.size());
  if (Append(file_pos(), tKind::kFileHeader, index, 0, sizeof header))
    file_headers_.push_back(header);
}

void tKvKPosFiscalEventBuffer::StreamHeader(const tKvKPosFileHeaderRec& header) {
  const auto index = static_cast<int32_t>(stream_headers_.size());
  if (Append(file_pos(), tKind::kStreamHeader, index, 0, sizeof header))
    stream_headers_.push_back(header);
}

void tKvKPosFiscalEventBuffer::SetVersion(int32_t index, int32_t value) {
  Plain(file_pos(), tKind::kSetVersion, index, value);
}

void tKvKPosFiscalEventBuffer::BlockInfo(const tKvKPosBlockInfoRec& info) {
  const auto index = static_cast<int32_t>(block_infos_.size());
  if (Append(file_pos(), tKind::kBlockInfo, index, 0, sizeof info)) block_infos_.push_back(info);
}

void tKvKPosFiscalEventBuffer::EntryStart(const tKvKPosEntryInfoRec& info) {
  open_entry_pos_ = file_pos();
  const auto index = static_cast<int32_t>(entries_.size());
  if (Append(file_pos(), tKind::kEntryStart, index, 0, sizeof info)) entries_.push_back(info);
}

void tKvKPosFiscalEventBuffer::EntryEnd() {
  open_entry_pos_ = -1;
  Plain(file_pos(), tKind::kEntryEnd);
}

void tKvKPosFiscalEventBuffer::Link(int32_t distance) { Plain(file_pos(), tKind::kLink, distance); }

void tKvKPosFiscalEventBuffer::RecordStart(int32_t type, int32_t level) {
  Plain(file_pos(), tKind::kRecordStart, type, level);
}

bool tKvKPosFiscalEventBuffer::Room(size_t extra) {
  if (overflowed_) return false;
  // What the kept events cost with this one: every event itself, and the
  // extras of some.
  const size_t events = (size_ + 1) * sizeof(tEvent);
  if (extra > limit_ || events > limit_ - extra || extra_used_ > limit_ - extra - events) {
    Overflow();
    return false;
  }
  extra_used_ += extra;
  SetFastEnd();
  return true;
}

bool tKvKPosFiscalEventBuffer::Append(int64_t pos, tKind kind, int32_t n, int32_t v, size_t extra) {
  if (!Fits(pos)) {
    Overflow();
    return false;
  }
  if (!Room(extra)) return false;
  if (size_ == capacity_) Grow();
  events_[size_++] = tEvent{static_cast<int32_t>(pos), n, v, kind, 0};
  return true;
}

void tKvKPosFiscalEventBuffer::Grow() {
  static_assert(std::is_trivially_copyable_v<tEvent>);
  const size_t capacity = capacity_ < 1024 ? 1024 : 2 * capacity_;
  auto events = std::make_unique_for_overwrite<tEvent[]>(capacity);
  if (size_ > 0) std::memcpy(events.get(), events_.get(), size_ * sizeof(tEvent));
  events_ = std::move(events);
  capacity_ = capacity;
  SetFastEnd();
}

void tKvKPosFiscalEventBuffer::Clear() {
  elements_.clear();
  values_.clear();
  byte_block_ = 0;
  byte_block_used_ = 0;
  large_bytes_.clear();
  size_ = 0;
  file_headers_.clear();
  stream_headers_.clear();
  block_infos_.clear();
  entries_.clear();
  extra_used_ = 0;
  overflowed_ = false;
  open_entry_pos_ = -1;
  limit_ = next_limit_;
  SetFastEnd();
}

void tKvKPosFiscalEventBuffer::Replay(tKvKPosFiscalStreamWriter& writer, tKvKPosStreamFile* file,
                                      tKvKPosComStreamSource* source, int64_t base) {
  // Whatever happens, the buffer is left empty.
  struct tClearOnExit {
    tKvKPosFiscalEventBuffer& Buffer;
    ~tClearOnExit() { Buffer.Clear(); }
  } clearOnExit{*this};
  if (overflowed_) return;
  // A file in memory is positioned directly.
  auto* const memory = dynamic_cast<tKvKPosStreamFileMem*>(file);
  ++replays_;  // the copies kept by earlier replays are of other bytes
  tEvent* const events = events_.get();
  const size_t count = size_;
  for (size_t i = 0; i < count; ++i) {
    // The events were written on another processor: fetched ahead, their
    // reading does not wait for each line in turn.
    if (i + kPrefetchAhead < count) __builtin_prefetch(events + i + kPrefetchAhead);
    tEvent& e = events[i];
    writer.set_file_pos(base + e.Pos);
    switch (e.Kind) {
      case tKind::kAddItem:
        writer.AddItem(e.N, std::move(elements_[static_cast<size_t>(e.V)]));
        break;
      case tKind::kAddInt:
        writer.AddValue(e.N, tKvKPosValue::Int(e.V));
        break;
      case tKind::kAddValue:
        writer.AddValue(e.N, values_[static_cast<size_t>(e.V)]);
        break;
      case tKind::kAddBcd:
        writer.AddValue(e.N, tKvKPosValue::Bcd(PackedAs<tKvBcd>(e)));
        break;
      case tKind::kAddBcdFix:
        writer.AddValue(e.N, tKvKPosValue::BcdFix(PackedAs<tKvBcdFix>(e)));
        break;
      case tKind::kAddTime:
        writer.AddValue(e.N, tKvKPosValue::Time(tKvDateTime(PackedAs<int64_t>(e))));
        break;
      case tKind::kAddText:
        writer.AddValue(e.N, tKvKPosValue::Text({Packed(e), e.Len}));
        break;
      case tKind::kAddBinary:
        writer.AddValue(e.N, tKvKPosValue::Binary({Packed(e), e.Len}));
        break;
      case tKind::kFileHeader:
        writer.FileHeader(file_headers_[static_cast<size_t>(e.N)]);
        break;
      case tKind::kStreamHeader:
        writer.StreamHeader(stream_headers_[static_cast<size_t>(e.N)]);
        break;
      case tKind::kSetVersion:
        writer.SetVersion(e.N, e.V);
        break;
      case tKind::kBlockInfo:
        writer.BlockInfo(block_infos_[static_cast<size_t>(e.N)]);
        break;
      case tKind::kEntryStart:
        writer.EntryStart(entries_[static_cast<size_t>(e.N)]);
        break;
      case tKind::kEntryEnd:
        writer.EntryEnd();
        break;
      case tKind::kLink:
        writer.Link(e.N);
        break;
      case tKind::kRecordStart:
        writer.RecordStart(e.N, e.V);
        break;
      case tKind::kAddItemAt:
      case tKind::kAddRepeatedItemAt:
        if (file == nullptr || source == nullptr) {
          throw EKvParam(this, "tKvKPosFiscalEventBuffer.Replay: no stream file to read from");
        }
        if (memory != nullptr) {
          memory->Cursor().Position = e.V;
        } else {
          file->SetPosition(e.V);
        }
        if (e.Kind == tKind::kAddItemAt) {
          writer.AddItem(e.N, ReadElement(*source));
        } else {
          writer.AddValue(e.N, tKvKPosValue::Borrowed(RepeatedElement(e.V, *source)));
        }
        break;
    }
  }
  size_ = 0;  // every element has been handed on
  // Where the parser stood at the end.
  writer.set_file_pos(file_pos());
}
