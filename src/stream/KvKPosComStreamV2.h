// The framing loop of the communication stream. Every item is one framing
// byte, an item number and (usually) one data element; the layer above gives
// the numbers their meaning through Item and SubItem. The parser borrows its
// source. Malformed framing raises EKvKPosComStream; the stream has no end
// marker, so reading past the data makes the source raise.
//
// Wire grammar (item numbers little-endian, unsigned):
//   item := f in 116..132                       element  -> Item(f - 116)
//         | f in 133..136  number[f - 132 bytes] element  -> Item(number)
//         | f in 137..153                                -> Item(f - 137, None)
//         | f in 154..157  number[f - 153 bytes]         -> Item(number, None)
//         | f in 158..174                       element  -> SubItem(f - 158)
//         | f in 175..178  number[f - 174 bytes] element  -> SubItem(number)
//   element := ID byte (0..181) and payload (see KvKPosComStreamData.h)
// Any other framing byte up to 181 raises code 2; a byte above 181 code 1.
#pragma once

#include <cstdint>
#include <memory>

#include "stream/KvKPosComStream.h"

class tKvKPosComStreamParserV2 : public tKvKPosComStreamParser {
 public:
  // Framing bytes (see KvKPosWireFormat.h).
  static constexpr uint8_t kItemShort = kv_wire::kItemShort;
  static constexpr uint8_t kItemNoneShort = kv_wire::kItemNoneShort;
  static constexpr uint8_t kSubShort = kv_wire::kSubShort;
  static constexpr uint8_t kFramingEnd = kv_wire::kFramingEnd;

  // version: the expected header version (0 = any), read by the fiscal layer.
  // An absent source raises EKvParam as in the base.
  tKvKPosComStreamParserV2(uint8_t version, tKvKPosComStreamSource* source);
  ~tKvKPosComStreamParserV2() override;

  // Slot 0: repeats ParseItem until it returns non-zero; returns that value.
  uint8_t ParseItems(const tKvKPosReadContext& context) override;
  // Slot 2: one item; the handler owns element. 0 continues the loop, any
  // other value ends ParseItems with it.
  virtual uint8_t Item(int32_t number, std::unique_ptr<tKvKPosData> element) = 0;
  // Slot 3: one sub-item; the handler owns element. This default frees it.
  virtual void SubItem(int32_t number, std::unique_ptr<tKvKPosData> element);

  uint8_t Version() const { return version_; }

 protected:
  // One round of the framing loop: reads the framing byte with context, the
  // item number and the element, and calls Item or SubItem. Returns the
  // result of Item, 0 after a sub-item. An element whose reading failed is
  // never handed on.
  uint8_t ParseItem(const tKvKPosReadContext& context);

  using tItemForm = kv_wire::tItemForm;
  // The first half of ParseItem: reads the framing byte with context and the
  // item number behind it, and says what follows. Raises as ParseItem.
  // Multi-byte numbers have no sign extension; a number of 2^31 or more
  // arrives as a negative int32_t, which no layer accepts.
  tItemForm ReadFraming(const tKvKPosReadContext& context, int32_t& number) {
    tKvKPosComStreamSource& source = Source();
    const uint8_t f = ReadID(source, context);
    if (!kv_wire::IsFraming(f)) [[unlikely]]
      RaiseFraming();
    const kv_wire::tFraming framing = kv_wire::FramingOf(f);
    number = framing.NumberBytes == 0
                 ? framing.Number
                 : static_cast<int32_t>(source.ReadUnsigned(framing.NumberBytes));
    return framing.Form;
  }

 private:
  // Raises EKvKPosComStream code 2 for a byte that is no framing byte.
  [[noreturn]] void RaiseFraming() const;

  uint8_t version_;
};
