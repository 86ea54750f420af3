// tKvKPosValue: the value of a field in one of the element kinds a text
// journal carries, handed from a producer to a writer without an element
// object (tKvKPosComStreamBase::AddValue). A writer that only reads the
// field builds the element where it needs it (WithElement, on the stack);
// one that keeps it takes a new one (MakeElement). Either gives the element
// the matching AddItem would have received:
//
//   kind      value               element
//   kInt      int32_t             tKvKPosDataInt
//   kBcd      tKvBcd              tKvKPosDataBcd
//   kBcdFix   tKvBcdFix           tKvKPosDataBcdFix
//   kTime     tKvDateTime         tKvKPosDataTime
//   kText     bytes of the text   tKvKPosDataStr
//   kBinary   the bytes           tKvKPosDataBinary
//   kElement  an element          that element (MakeElement: a copy)
//
// Texts, binary values and elements are borrowed: they are valid only
// during the call that hands the value over. A value is small and copied
// freely.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "stream/KvBcd.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvTypes.h"

class tKvKPosValue {
 public:
  enum class tKind : uint8_t { kInt, kBcd, kBcdFix, kTime, kText, kBinary, kElement };

  static tKvKPosValue Int(int32_t value) {
    tKvKPosValue v(tKind::kInt);
    v.u_.Int = value;
    return v;
  }
  static tKvKPosValue Bcd(const tKvBcd& value) {
    tKvKPosValue v(tKind::kBcd);
    v.u_.Bcd = value;
    return v;
  }
  static tKvKPosValue BcdFix(const tKvBcdFix& value) {
    tKvKPosValue v(tKind::kBcdFix);
    v.u_.BcdFix = value;
    return v;
  }
  static tKvKPosValue Time(tKvDateTime value) {
    tKvKPosValue v(tKind::kTime);
    v.u_.Seconds = value.Value;
    return v;
  }
  static tKvKPosValue Text(std::string_view text) {
    tKvKPosValue v(tKind::kText);
    v.bytes_ = text;
    return v;
  }
  static tKvKPosValue Binary(std::string_view bytes) {
    tKvKPosValue v(tKind::kBinary);
    v.bytes_ = bytes;
    return v;
  }

  // An element of any class, lent for the call.
  static tKvKPosValue Borrowed(const tKvKPosData& element) {
    tKvKPosValue v(tKind::kElement);
    v.u_.Element = &element;
    return v;
  }

  tKind kind() const { return kind_; }
  // The integer of kInt; the bytes of kText and kBinary (empty for others).
  int32_t int_value() const { return u_.Int; }
  std::string_view bytes() const { return bytes_; }
  // The payload of kBcd, kBcdFix and kTime (REQUIRES: that kind).
  const tKvBcd& bcd_value() const { return u_.Bcd; }
  const tKvBcdFix& bcd_fix_value() const { return u_.BcdFix; }
  tKvDateTime time_value() const { return tKvDateTime(u_.Seconds); }
  // The same value with its bytes in another place (a keeper's copy).
  tKvKPosValue WithBytes(std::string_view bytes) const {
    tKvKPosValue v = *this;
    v.bytes_ = bytes;
    return v;
  }

  // A new element of the value, owned by the caller.
  std::unique_ptr<tKvKPosData> MakeElement() const;
  // Calls use(const tKvKPosData&) with the element of the value, which
  // lives only during the call.
  template <class F>
  void WithElement(F&& use) const {
    if (kind_ == tKind::kElement) {
      use(*u_.Element);
      return;
    }
    Construct([&]<class T, class A>(A&& argument) {
      const T element(std::forward<A>(argument));
      use(static_cast<const tKvKPosData&>(element));
    });
  }

 private:
  explicit tKvKPosValue(tKind kind) : kind_(kind) {}

  // The one mapping of kinds to element classes: calls
  // make.template operator()<ElementClass>(constructor argument).
  // REQUIRES: not kElement.
  template <class F>
  decltype(auto) Construct(F&& make) const {
    switch (kind_) {
      case tKind::kInt:
        return make.template operator()<tKvKPosDataInt>(u_.Int);
      case tKind::kBcd:
        return make.template operator()<tKvKPosDataBcd>(u_.Bcd);
      case tKind::kBcdFix:
        return make.template operator()<tKvKPosDataBcdFix>(u_.BcdFix);
      case tKind::kTime:
        return make.template operator()<tKvKPosDataTime>(tKvDateTime(u_.Seconds));
      case tKind::kText:
        return make.template operator()<tKvKPosDataStr>(bytes_);
      case tKind::kBinary:
      case tKind::kElement:
        break;
    }
    return make.template operator()<tKvKPosDataBinary>(std::string(bytes_));
  }

  tKind kind_;
  union tPayload {
    tPayload() : Int(0) {}
    int32_t Int;
    tKvBcd Bcd;
    tKvBcdFix BcdFix;
    int64_t Seconds;
    const tKvKPosData* Element;
  } u_;
  std::string_view bytes_;
};
