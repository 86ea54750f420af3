// Test helper: what an action raises. MessageOf<E>(action) is the message of
// the E the action throws (its code in *code, where E has one), or
// "<no exception>" when it returns; exceptions of other types pass on.
#pragma once

#include <functional>
#include <string>

namespace raise_test {

template <typename E>
std::string MessageOf(const std::function<void()>& action, int* code = nullptr) {
  try {
    action();
  } catch (const E& e) {
    if constexpr (requires { e.Code(); }) {
      if (code != nullptr) *code = e.Code();
    }
    return e.what();
  }
  return "<no exception>";
}

}  // namespace raise_test
