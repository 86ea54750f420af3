#include "stream/KvKPosFiscalEventBuffer.h"

#include <typeinfo>
#include <utility>

#include "stream/KvKPosComStreamData.h"

namespace {

// What an element held in the buffer costs, roughly: the object and the
// bytes of its value that lie outside it. Elements of the built-in classes
// are recognised by their exact class (cheaper than a cast that searches).
template <class T>
const T* Exactly(const tKvKPosData& element) {
  return typeid(element) == typeid(T) ? static_cast<const T*>(&element) : nullptr;
}

size_t Footprint(const tKvKPosData& element) {
  constexpr size_t kObject = 64;
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

bool tKvKPosFiscalEventBuffer::Keep(tKind kind, size_t extra, int32_t a, int32_t b, int32_t c,
                                    int32_t d) {
  if (overflowed_) return false;
  const size_t cost = sizeof(tEvent) + extra;
  if (cost > limit_ - used_) {
    overflowed_ = true;
    return false;
  }
  used_ += cost;
  events_.push_back(tEvent{file_pos(), a, b, c, d, kind});
  return true;
}

void tKvKPosFiscalEventBuffer::AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) {
  // An element that is not there is passed on as such.
  const size_t extra = sizeof(element) + (element ? Footprint(*element) : 0);
  if (Keep(tKind::kAddItem, extra, number)) elements_.push_back(std::move(element));
}

void tKvKPosFiscalEventBuffer::FileHeader(const tKvKPosTextFileHeaderRec& header) {
  if (Keep(tKind::kFileHeader, sizeof header)) file_headers_.push_back(header);
}

void tKvKPosFiscalEventBuffer::StreamHeader(const tKvKPosFileHeaderRec& header) {
  if (Keep(tKind::kStreamHeader, sizeof header)) stream_headers_.push_back(header);
}

void tKvKPosFiscalEventBuffer::SetVersion(int32_t index, int32_t value) {
  Keep(tKind::kSetVersion, 0, index, value);
}

void tKvKPosFiscalEventBuffer::BlockInfo(const tKvKPosBlockInfoRec& info) {
  if (Keep(tKind::kBlockInfo, sizeof info)) block_infos_.push_back(info);
}

void tKvKPosFiscalEventBuffer::EntryStart(const tKvKPosEntryInfoRec& info) {
  Keep(tKind::kEntryStart, 0, info.Type, info.Ver, info.VerMin, info.Codepage);
}

void tKvKPosFiscalEventBuffer::EntryEnd() { Keep(tKind::kEntryEnd, 0); }

void tKvKPosFiscalEventBuffer::Link(int32_t distance) { Keep(tKind::kLink, 0, distance); }

void tKvKPosFiscalEventBuffer::RecordStart(int32_t type, int32_t level) {
  Keep(tKind::kRecordStart, 0, type, level);
}

void tKvKPosFiscalEventBuffer::Clear() {
  events_.clear();
  elements_.clear();
  file_headers_.clear();
  stream_headers_.clear();
  block_infos_.clear();
  used_ = 0;
  overflowed_ = false;
  limit_ = next_limit_;
}

void tKvKPosFiscalEventBuffer::Replay(tKvKPosFiscalStreamWriter& writer) {
  // Whatever happens, the buffer is left empty.
  struct tClearOnExit {
    tKvKPosFiscalEventBuffer& buffer;
    ~tClearOnExit() { buffer.Clear(); }
  } clear_on_exit{*this};
  if (overflowed_) return;
  size_t element = 0, file_header = 0, stream_header = 0, block_info = 0;
  for (const tEvent& e : events_) {
    writer.set_file_pos(e.Pos);
    switch (e.Kind) {
      case tKind::kAddItem:
        writer.AddItem(e.A, std::move(elements_[element++]));
        break;
      case tKind::kFileHeader:
        writer.FileHeader(file_headers_[file_header++]);
        break;
      case tKind::kStreamHeader:
        writer.StreamHeader(stream_headers_[stream_header++]);
        break;
      case tKind::kSetVersion:
        writer.SetVersion(e.A, e.B);
        break;
      case tKind::kBlockInfo:
        writer.BlockInfo(block_infos_[block_info++]);
        break;
      case tKind::kEntryStart:
        writer.EntryStart(tKvKPosEntryInfoRec{e.A, e.B, e.C, e.D});
        break;
      case tKind::kEntryEnd:
        writer.EntryEnd();
        break;
      case tKind::kLink:
        writer.Link(e.A);
        break;
      case tKind::kRecordStart:
        writer.RecordStart(e.A, e.B);
        break;
    }
  }
  // Where the parser stood at the end.
  writer.set_file_pos(file_pos());
}
