// Output of the generator: a byte buffer that the writers append to and that
// is handed on in large pieces, to a file or to memory (for tests). Memory
// stays bounded: the buffer is emptied whenever it passes kFlushSize.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace jgen {

class TextOut {
 public:
  static constexpr size_t kFlushSize = size_t{1} << 20;

  TextOut() { buf_.reserve(kFlushSize + 4096); }
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;
  virtual ~TextOut() = default;

  // The buffer to append to; valid until the next Flush.
  std::string& Buffer() { return buf_; }
  void MaybeFlush() {
    if (buf_.size() >= kFlushSize) Flush();
  }
  void Flush() {
    if (buf_.empty()) return;
    Deliver(buf_);
    flushed_ += buf_.size();
    buf_.clear();
  }
  // Bytes written so far, the unflushed ones included.
  uint64_t Size() const { return flushed_ + buf_.size(); }

 protected:
  virtual void Deliver(const std::string& bytes) = 0;

 private:
  std::string buf_;
  uint64_t flushed_ = 0;
};

// Writes to a file; errors raise std::runtime_error naming the file.
class FileOut final : public TextOut {
 public:
  explicit FileOut(const std::string& path);
  ~FileOut() override;
  // Flushes and closes; raises when the data did not reach the file.
  void Close();

 protected:
  void Deliver(const std::string& bytes) override;

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

// Collects everything in memory.
class StringOut final : public TextOut {
 public:
  const std::string& Text() {
    Flush();
    return all_;
  }

 protected:
  void Deliver(const std::string& bytes) override { all_ += bytes; }

 private:
  std::string all_;
};

}  // namespace jgen
