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
  // Multi-byte numbers: up to four bytes without sign extension; a number of
  // 2^31 or more arrives as a negative int32_t, which no layer accepts.
  const auto long_number = [&source](int bytes) {
    return static_cast<int32_t>(source.ReadUnsigned(bytes));
  };
  if (f >= kItemShort && f < kItemLong) {
    const int32_t number = f - kItemShort;
    return Item(number, ReadElement(source));
  }
  if (f >= kItemLong && f < kItemNoneShort) {
    const int32_t number = long_number(f - kItemLong + 1);
    return Item(number, ReadElement(source));
  }
  if (f >= kItemNoneShort && f < kItemNoneLong) {
    return Item(f - kItemNoneShort, std::make_unique<tKvKPosDataNone>());
  }
  if (f >= kItemNoneLong && f < kSubShort) {
    const int32_t number = long_number(f - kItemNoneLong + 1);
    return Item(number, std::make_unique<tKvKPosDataNone>());
  }
  if (f >= kSubShort && f < kSubLong) {
    const int32_t number = f - kSubShort;
    SubItem(number, ReadElement(source));
    return 0;
  }
  if (f >= kSubLong && f <= kFramingEnd) {
    const int32_t number = long_number(f - kSubLong + 1);
    SubItem(number, ReadElement(source));
    return 0;
  }
  throw EKvKPosComStream(this, "", 2);
}
