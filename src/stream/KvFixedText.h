// tKvFixedText<N>: a text of at most N bytes stored inline, for the plain
// value records that travel between the journal layers. Assigning a longer
// text cuts it to N bytes; nothing is allocated and nothing can overflow.
// Intentionally copyable.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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
    CopyShort(data_.data(), text.data(), size);
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
  // memcpy for the few bytes of a field: fixed-size moves that may overlap,
  // where a copy of variable length would be expanded into a string
  // instruction whose start-up costs more than the copy.
  // A text that lies in this one's own bytes is moved as a whole.
  static void CopyShort(char* to, const char* from, std::size_t size) {
    const auto at = reinterpret_cast<std::uintptr_t>(to);
    const auto source = reinterpret_cast<std::uintptr_t>(from);
    if (source < at + N && at < source + size) {
      std::memmove(to, from, size);
    } else if (size >= 16) {
      for (std::size_t i = 0; i + 16 < size; i += 16) std::memcpy(to + i, from + i, 16);
      std::memcpy(to + size - 16, from + size - 16, 16);
    } else if (size >= 8) {
      std::memcpy(to, from, 8);
      std::memcpy(to + size - 8, from + size - 8, 8);
    } else if (size >= 4) {
      std::memcpy(to, from, 4);
      std::memcpy(to + size - 4, from + size - 4, 4);
    } else if (size > 0) {
      to[0] = from[0];
      to[size / 2] = from[size / 2];
      to[size - 1] = from[size - 1];
    }
  }

  std::array<char, N> data_{};
  std::size_t size_ = 0;
};
