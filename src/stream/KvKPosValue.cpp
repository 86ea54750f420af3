#include "stream/KvKPosValue.h"

std::unique_ptr<tKvKPosData> tKvKPosValue::MakeElement() const {
  if (kind_ == tKind::kElement) return u_.Element->Clone();
  return Construct([]<class T, class A>(A&& argument) -> std::unique_ptr<tKvKPosData> {
    return std::make_unique<T>(std::forward<A>(argument));
  });
}
