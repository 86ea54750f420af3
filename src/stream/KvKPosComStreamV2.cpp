#include "stream/KvKPosComStreamV2.h"

#include <utility>

tKvKPosComStreamParserV2::tKvKPosComStreamParserV2(uint8_t version, tKvKPosComStreamSource* source)
    : tKvKPosComStreamParser(source), version_(version) {}

tKvKPosComStreamParserV2::~tKvKPosComStreamParserV2() = default;

uint8_t tKvKPosComStreamParserV2::ParseItems(const tKvKPosReadContext& context) {
  for (;;) {
    if (const uint8_t result = ParseItem(context); result != 0) return result;
  }
}

void tKvKPosComStreamParserV2::SubItem(int32_t, std::unique_ptr<tKvKPosData>) {}

uint8_t tKvKPosComStreamParserV2::ParseItem(const tKvKPosReadContext& context) {
  tKvKPosComStreamSource& source = Source();
  const uint8_t f = ReadID(source, context);
  if (f < kItemShort || f > kFramingEnd) [[unlikely]]
    throw EKvKPosComStream(this, "", 2);
  // Short forms carry the number in the framing byte; the long forms of each
  // group follow with 1 to 4 number bytes. Multi-byte numbers have no sign
  // extension; a number of 2^31 or more arrives as a negative int32_t, which
  // no layer accepts.
  if (f < kItemNoneShort) {
    const int32_t number = f < kItemLong
                               ? f - kItemShort
                               : static_cast<int32_t>(source.ReadUnsigned(f - kItemLong + 1));
    return Item(number, ReadElement(source));
  }
  if (f < kSubShort) {
    const int32_t number =
        f < kItemNoneLong ? f - kItemNoneShort
                          : static_cast<int32_t>(source.ReadUnsigned(f - kItemNoneLong + 1));
    return Item(number, std::make_unique<tKvKPosDataNone>());
  }
  const int32_t number =
      f < kSubLong ? f - kSubShort : static_cast<int32_t>(source.ReadUnsigned(f - kSubLong + 1));
  SubItem(number, ReadElement(source));
  return 0;
}
