#include "base/KvTextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/KvErrorCodes.h"
#include "base/KvErrors.h"

namespace {

// Reading asks the system for this much at a time; native and ASCII interface
// inputs run to hundreds of megabytes, so fewer, larger reads pay off.
constexpr size_t kReadBufferSize = size_t{256} << 10;
// Writing collects this much before it goes to the file.
constexpr size_t kWriteBufferSize = size_t{64} << 10;
// Editors on Windows put it in front of a file they save as UTF-8.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

const char* ModeName(int mode) {
  switch (mode) {
    case tKvTextFileDos::kModeReset:
      return "Reset";
    case tKvTextFileDos::kModeRewrite:
      return "Rewrite";
    default:
      return "AppendRewrite";
  }
}

[[noreturn]] void RaiseIo(const tKvClass* sender, int32_t code, const char* message) {
  throw EKvIo(sender, code, message);
}

}  // namespace

void tKvTextFile::ReadLineChecked(std::string& text) {
  if (int32_t code = ReadLine(text); code != 0) [[unlikely]] {
    RaiseIo(this, code, "Read error");
  }
}

void tKvTextFile::WriteLineChecked(std::string_view text) {
  if (int32_t code = WriteLine(text); code != 0) [[unlikely]] {
    RaiseIo(this, code, "Write error");
  }
}

void tKvTextFile::WriteLineCodeChecked(std::string_view text) {
  if (int32_t code = WriteLine(text); code != 0) [[unlikely]] {
    RaiseIo(this, code, "");
  }
}

tKvTextFileDos::tKvTextFileDos(std::string fileName, int mode, size_t maxLineLength)
    : mode_(static_cast<uint8_t>(mode)),
      file_name_(std::move(fileName)),
      max_line_length_(std::max<size_t>(maxLineLength, 1)) {
  if (mode < kModeReset || mode > kModeAppendTemp) {
    throw EKvParam(this, "Create: invalid Mode parameter: " + std::to_string(mode));
  }
  using OpenMode = platform::File::OpenMode;
  int result;
  if (mode == kModeReset) {
    result = file_.Open(file_name_, OpenMode::kRead);
  } else if (mode == kModeRewrite) {
    result = file_.Open(file_name_, OpenMode::kRewrite);
  } else {
    result = file_.Open(file_name_, OpenMode::kAppend);
    if (result == ENOENT) {
      result = file_.Open(file_name_, OpenMode::kRewrite);
    } else if (result == 0 && mode == kModeAppendTemp) {
      appended_to_existing_ = true;
    }
  }
  is_open_ = result == 0;
  if (!is_open_) {
    throw EKvIo(this, result, "File: " + file_name_ + "; Mode: " + ModeName(mode));
  }
  capacity_ = mode == kModeReset ? kReadBufferSize : kWriteBufferSize;
  buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
  if (mode == kModeReset) SkipByteOrderMark();
}

tKvTextFileDos::~tKvTextFileDos() {
  Close();
  if (mode_ == kModeAppendTemp && !appended_to_existing_ && !written_) {
    platform::DeleteFile(file_name_);
  }
}

int32_t tKvTextFileDos::Close() {
  if (!is_open_) return 0;
  int32_t result = Writing() ? FlushBuffer() : 0;
  int32_t closed = file_.Close();
  is_open_ = false;
  buffer_.reset();
  capacity_ = begin_ = end_ = 0;
  return result != 0 ? result : closed;
}

// ---- Reading ---------------------------------------------------------------

bool tKvTextFileDos::Eof() {
  if (!Reading()) return true;
  if (pending_error_ != 0 || begin_ < end_) return false;
  if (at_end_) return true;
  begin_ = end_ = 0;
  if (int32_t code = Fill(); code != 0) {
    // Keep the failure for the next read instead of ending the input quietly.
    pending_error_ = code;
    return false;
  }
  return begin_ == end_;
}

void tKvTextFileDos::SkipByteOrderMark() {
  while (end_ < kUtf8Bom.size() && !at_end_) {
    if (int32_t code = Fill(); code != 0) {
      pending_error_ = code;  // reported by the first read, as Eof does
      return;
    }
  }
  if (std::string_view(buffer_.get(), end_).starts_with(kUtf8Bom)) begin_ = kUtf8Bom.size();
}

int32_t tKvTextFileDos::Fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == capacity_) {
    // A line fills the whole buffer: grow it, but never beyond what the
    // longest allowed line and its CR LF need (the caller checked that).
    size_t grown = std::min(capacity_ * 2, max_line_length_ + 2);
    auto bigger = std::make_unique_for_overwrite<char[]>(grown);
    std::memcpy(bigger.get(), buffer_.get(), end_);
    buffer_ = std::move(bigger);
    capacity_ = grown;
  }
  size_t got = 0;
  if (int code = file_.Read(buffer_.get() + end_, capacity_ - end_, &got); code != 0) return code;
  if (got == 0) at_end_ = true;
  end_ += got;
  file_offset_ += static_cast<int64_t>(got);
  return 0;
}

int32_t tKvTextFileDos::ReadLineView(std::string_view& line) {
  line = {};
  if (!Reading()) return EBADF;
  if (pending_error_ != 0) return std::exchange(pending_error_, 0);
  size_t scanned = begin_;  // no line feed in [begin_, scanned)
  for (;;) {
    const char* data = buffer_.get();
    if (const void* lf = std::memchr(data + scanned, '\n', end_ - scanned); lf != nullptr) {
      size_t stop = static_cast<size_t>(static_cast<const char*>(lf) - data);
      size_t length = stop - begin_;
      if (length > 0 && data[stop - 1] == '\r') --length;
      size_t start = std::exchange(begin_, stop + 1);
      if (length > max_line_length_) return kErrFileOutOfMemory;
      line = std::string_view(data + start, length);
      return 0;
    }
    if (at_end_) {
      if (begin_ == end_) return kErrFileRead;
      size_t length = end_ - begin_;
      if (data[end_ - 1] == '\r') --length;
      size_t start = std::exchange(begin_, end_);
      if (length > max_line_length_) return kErrFileOutOfMemory;
      line = std::string_view(data + start, length);
      return 0;
    }
    // Even a line feed as the next byte would make this line too long.
    if (end_ - begin_ > max_line_length_ + 1) return SkipOverlongLine();
    size_t offset = end_ - begin_;
    if (int32_t code = Fill(); code != 0) return code;
    scanned = begin_ + offset;
  }
}

int32_t tKvTextFileDos::SkipOverlongLine() {
  begin_ = end_ = 0;
  for (;;) {
    if (int32_t code = Fill(); code != 0) return code;
    if (at_end_) return kErrFileOutOfMemory;
    if (const void* lf = std::memchr(buffer_.get(), '\n', end_); lf != nullptr) {
      begin_ = static_cast<size_t>(static_cast<const char*>(lf) - buffer_.get()) + 1;
      return kErrFileOutOfMemory;
    }
    begin_ = end_ = 0;
  }
}

int32_t tKvTextFileDos::ReadLine(std::string& text) {
  std::string_view line;
  int32_t code = ReadLineView(line);
  text.assign(line);
  return code;
}

int64_t tKvTextFileDos::FilePos() const {
  if (Reading()) return file_offset_ - static_cast<int64_t>(end_ - begin_);
  return file_offset_ + static_cast<int64_t>(end_);
}

int64_t tKvTextFileDos::FileSize() const { return file_.IsOpen() ? file_.Size() : -1; }

// ---- Writing ---------------------------------------------------------------

int32_t tKvTextFileDos::FlushBuffer() {
  if (end_ == 0) return 0;
  int32_t code = file_.Write(buffer_.get(), end_);
  // What could not be written is dropped, so that one failure is reported
  // once and the buffer does not grow.
  if (code == 0) file_offset_ += static_cast<int64_t>(end_);
  end_ = 0;
  return code;
}

int32_t tKvTextFileDos::WriteText(std::string_view text) {
  if (!Writing()) return EBADF;
  written_ = true;
  if (end_ + text.size() > capacity_) {
    if (int32_t code = FlushBuffer(); code != 0) return code;
  }
  if (text.size() > capacity_) {
    int32_t code = file_.Write(text.data(), text.size());
    if (code == 0) file_offset_ += static_cast<int64_t>(text.size());
    return code;
  }
  if (!text.empty()) std::memcpy(buffer_.get() + end_, text.data(), text.size());
  end_ += text.size();
  return FlushBuffer();
}

int32_t tKvTextFileDos::WriteLine(std::string_view text) {
  if (!Writing()) return EBADF;
  written_ = true;
  if (end_ + text.size() + 2 > capacity_) {
    if (int32_t code = FlushBuffer(); code != 0) return code;
    if (text.size() + 2 > capacity_) {
      int32_t code = file_.Write(text.data(), text.size());
      if (code != 0) return code;
      file_offset_ += static_cast<int64_t>(text.size());
      text = {};
    }
  }
  char* out = buffer_.get() + end_;
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\r';
  out[text.size() + 1] = '\n';
  end_ += text.size() + 2;
  return 0;
}

int32_t tKvTextFileDos::Flush() {
  if (!Writing()) return EBADF;
  return FlushBuffer();
}
