// tKvFiscalStreamSourceBinary: a read-only window on an open file, the byte
// source of the fiscal stream parser. The window starts at the file's
// position when the source is created and spans Length bytes (0 = up to the
// end of the file). It borrows the file, which must outlive it. A read that
// cannot deliver every requested byte raises EKvMisc "EOF" and never hands
// back stale bytes. Over a tKvKPosStreamFileMem the source reads the file's
// bytes in place (tKvKPosMemCursor), moving the file's position as Read does.
#pragma once

#include <cstdint>

#include "stream/KvKPosComStream.h"
#include "stream/KvKPosFiscalStream.h"

class tKvFiscalStreamSourceBinary final : public tKvKPosFiscalStreamSource {
 public:
  // length: the window size in bytes, 0 (or less) for no limit.
  tKvFiscalStreamSourceBinary(tKvFile& file, int64_t length);
  ~tKvFiscalStreamSourceBinary() override;

  // Reads count bytes at the file's current position. Raises EKvMisc "EOF"
  // when any of them would lie past the window or past the end of the file
  // (the buffer must not be used then), EKvIo when the file reports an
  // error. The read context is ignored.
  void Read(void* buffer, int32_t count, const tKvKPosReadContext& context) override;

  int64_t Start() const { return start_; }
  int64_t Length() const { return length_; }

 private:
  [[noreturn]] void Eof() const;

  tKvFile& file_;   // not owned
  int64_t length_;  // 0: no limit
  int64_t start_;   // file position at creation
};
