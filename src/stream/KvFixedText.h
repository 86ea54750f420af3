// tKvFixedText<N>: a text of at most N bytes stored inline, for the plain
// value records that travel between the journal layers. Assigning a longer
// text cuts it to N bytes; nothing is allocated and nothing can overflow.
// Intentionally copyable.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

template <std::size_t N>
class tKvFixedText {
 public:
  static constexpr std::size_t kCapacity = N;

  tKvFixedText() = default;
  tKvFixedText(std::string_view text) { assign(text); }  // NOLINT: implicit on purpose
  tKvFixedText& operator=(std::string_view text) {
    assign(text);
    return *this;
  }

  // Stores the first N bytes of text.
  void assign(std::string_view text) {
    const std::size_t size = text.size() < N ? text.size() : N;
    if (size > 0) std::memcpy(data_.data(), text.data(), size);
    // What a longer text before left behind is cleared (copies and
    // comparisons of the whole record see no stale bytes).
    if (size < size_) std::memset(data_.data() + size, 0, size_ - size);
    size_ = size;
  }
  void clear() { assign({}); }

  std::string_view view() const { return {data_.data(), size_}; }
  std::string str() const { return std::string(view()); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  friend bool operator==(const tKvFixedText& a, const tKvFixedText& b) {
    return a.view() == b.view();
  }
  friend bool operator==(const tKvFixedText& a, std::string_view b) { return a.view() == b; }

 private:
  std::array<char, N> data_{};
  std::size_t size_ = 0;
};
