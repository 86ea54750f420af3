#include "stream/KvKPosInPlaceScan.h"

#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosFiscalEventBuffer.h"
#include "stream/KvKPosWireFormat.h"

namespace {

// Size of the element at p when it lies within the n bytes and reads
// without failure; 0 (or less) otherwise.
int64_t RegularSize(const uint8_t* p, int64_t n) {
  int64_t size = kv_wire::kFixedElementSize[p[0]];
  if (size == kv_wire::kLength8Element) return n >= 2 ? 2 + int64_t{p[1]} : 0;
  if (size != 0) return size;
  size = kv_wire::BcdElementSizeAt(p, n);
  return size != 0 ? size : kv_kpos_detail::RegularElementSize(p, n);
}

}  // namespace

tKvKPosScanStop ScanInPlace(const uint8_t* data, int64_t pos, int64_t end, int64_t start,
                            int64_t length, tKvKPosFiscalEventBuffer& buffer) {
  using tKind = tKvKPosScanStop::tKind;
  for (;;) {
    // Compared as a difference: start + length may not be representable.
    if (pos - start == length) return {tKind::kRangeEnd, pos};
    if (pos >= end || !kv_wire::IsFraming(data[pos])) return {tKind::kOther, pos};
    const kv_wire::tFraming framing = kv_wire::FramingOf(data[pos]);
    int64_t at = pos + 1;
    if (framing.Form == kv_wire::tItemForm::kItemNone || end - at <= framing.NumberBytes) {
      return {tKind::kOther, pos};
    }
    const int32_t number =
        framing.NumberBytes == 0
            ? framing.Number
            : static_cast<int32_t>(kv_wire::LittleEndianAt(data + at, framing.NumberBytes));
    at += framing.NumberBytes;
    if (framing.Form == kv_wire::tItemForm::kSubItem) {
      const int64_t size = RegularSize(data + at, end - at);
      if (size <= 0 || size > end - at) return {tKind::kOther, pos};
      buffer.AddItemAtFrom(pos, number, at);
      pos = at + size;
      continue;
    }
    const bool recordStart =
        number >= kv_wire::kItemRecordFirst && number <= kv_wire::kItemRecordLast;
    if (!recordStart && number != kv_wire::kItemBackLink) return {tKind::kOther, pos};
    int32_t value = 0;
    const int size = kv_wire::PlainIntegerAt(data + at, end - at, value);
    if (size == 0) return {tKind::kOther, pos};
    if (!recordStart) return {tKind::kBackLink, pos, value, at + size};
    buffer.RecordStartFrom(pos, value, number - (kv_wire::kItemRecordFirst - 1));
    pos = at + size;
  }
}
