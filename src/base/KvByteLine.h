// tKvByteLine: the bytes of a text line being built. A plain growable
// buffer whose appends are inline and check only its capacity: the table
// export and the journal view append a few bytes at a time, millions of
// times per journal, and std::string's appends are calls here (the library
// instantiates them out of line); a piece of known size (a literal) is
// copied with a few moves. The buffer only grows; clear() and resize()
// keep it. Movable, intentionally not copyable.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

class tKvByteLine {
 public:
  explicit tKvByteLine(size_t capacity = kInitialCapacity)
      : data_(std::make_unique<char[]>(capacity)), capacity_(capacity) {}
  tKvByteLine(const tKvByteLine&) = delete;
  tKvByteLine& operator=(const tKvByteLine&) = delete;
  tKvByteLine(tKvByteLine&&) noexcept = default;
  tKvByteLine& operator=(tKvByteLine&&) noexcept = default;

  void push_back(char c) {
    if (size_ == capacity_) [[unlikely]] Grow(1);
    data_[size_++] = c;
  }
  tKvByteLine& append(const char* bytes, size_t count) {
    if (capacity_ - size_ < count) [[unlikely]] Grow(count);
    std::memcpy(data_.get() + size_, bytes, count);
    size_ += count;
    return *this;
  }
  tKvByteLine& append(std::string_view text) { return append(text.data(), text.size()); }
  // Inlined by force, for the common case of one byte (a field's separator).
  [[gnu::always_inline]] void append(size_t count, char c) {
    if (count == 1 && size_ != capacity_) [[likely]] {
      data_[size_++] = c;
      return;
    }
    AppendRun(count, c);
  }
  tKvByteLine& operator+=(char c) {
    push_back(c);
    return *this;
  }
  tKvByteLine& operator+=(std::string_view text) {
    append(text);
    return *this;
  }

  void clear() { size_ = 0; }
  // Cut to size bytes, or filled up to it with c (a short fill as one
  // fixed-size fill of kShortFill bytes, the excess beyond size unused).
  void resize(size_t size, char c) {
    if (size <= size_) {
      size_ = size;
    } else if (size - size_ <= kShortFill && capacity_ - size_ >= kShortFill) {
      std::memset(data_.get() + size_, c, kShortFill);
      size_ = size;
    } else {
      AppendRun(size - size_, c);
    }
  }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Valid until the next append.
  std::string_view view() const { return {data_.get(), size_}; }
  operator std::string_view() const { return view(); }

 private:
  static constexpr size_t kInitialCapacity = 4096;
  static constexpr size_t kShortFill = 64;
  [[gnu::noinline]] void AppendRun(size_t count, char c) {
    if (capacity_ - size_ < count) [[unlikely]] Grow(count);
    std::memset(data_.get() + size_, c, count);
    size_ += count;
  }
  // Room for at least extra more bytes.
  void Grow(size_t extra) {
    size_t capacity = capacity_ * 2;
    while (capacity - size_ < extra) capacity *= 2;
    auto data = std::make_unique<char[]>(capacity);
    std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  size_t capacity_;
  size_t size_ = 0;
};
