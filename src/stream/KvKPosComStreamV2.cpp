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
  int32_t number = 0;
  switch (ReadFraming(context, number)) {
    case tItemForm::kItem:
      return Item(number, ReadElement(Source()));
    case tItemForm::kItemNone:
      return Item(number, std::make_unique<tKvKPosDataNone>());
    case tItemForm::kSubItem:
      break;
  }
  SubItem(number, ReadElement(Source()));
  return 0;
}

void tKvKPosComStreamParserV2::RaiseFraming() const { throw EKvKPosComStream(this, "", 2); }
