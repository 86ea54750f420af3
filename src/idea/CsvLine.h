// tCsvLine: the bytes of the table line being built. A plain growable
// buffer whose appends are inline and check only its capacity: the field
// formatting of the table export appends a few bytes at a time, millions of
// times per journal, and std::string's appends are calls here (the library
// instantiates them out of line). The buffer only grows; clear() keeps it.
// Intentionally not copyable.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

class tCsvLine {
 public:
  tCsvLine() : data_(std::make_unique<char[]>(kInitialCapacity)), capacity_(kInitialCapacity) {}
  tCsvLine(const tCsvLine&) = delete;
  tCsvLine& operator=(const tCsvLine&) = delete;

  void push_back(char c) {
    if (size_ == capacity_) [[unlikely]] Grow(1);
    data_[size_++] = c;
  }
  void append(const char* bytes, size_t count) {
    if (capacity_ - size_ < count) [[unlikely]] Grow(count);
    std::memcpy(data_.get() + size_, bytes, count);
    size_ += count;
  }
  void append(std::string_view text) { append(text.data(), text.size()); }
  // Inlined by force, for the common case of one byte (a field's separator).
  [[gnu::always_inline]] void append(size_t count, char c) {
    if (count == 1 && size_ != capacity_) [[likely]] {
      data_[size_++] = c;
      return;
    }
    AppendRun(count, c);
  }
  tCsvLine& operator+=(char c) {
    push_back(c);
    return *this;
  }
  tCsvLine& operator+=(std::string_view text) {
    append(text);
    return *this;
  }

  void clear() { size_ = 0; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Valid until the next append.
  std::string_view view() const { return {data_.get(), size_}; }

 private:
  static constexpr size_t kInitialCapacity = 4096;
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
