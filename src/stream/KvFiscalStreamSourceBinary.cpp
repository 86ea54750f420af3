#include "stream/KvFiscalStreamSourceBinary.h"

#include <limits>

#include "base/KvErrorCodes.h"
#include "base/KvErrors.h"

tKvFiscalStreamSourceBinary::tKvFiscalStreamSourceBinary(tKvFile& file, int64_t length)
    : file_(file), length_(length > 0 ? length : 0), start_(file.GetPosition()) {
  // A file in memory is read in place: the primitives of the source take
  // its bytes without a call per read, up to the end of the window.
  if (auto* memory = dynamic_cast<tKvKPosStreamFileMem*>(&file)) {
    const int64_t max = std::numeric_limits<int64_t>::max();
    const int64_t limit = length_ == 0 || start_ > max - length_ ? max : start_ + length_;
    SetDirect(&memory->Cursor(), limit);
  }
}

tKvFiscalStreamSourceBinary::~tKvFiscalStreamSourceBinary() = default;

void tKvFiscalStreamSourceBinary::Eof() const { throw EKvMisc(this, "EOF"); }

void tKvFiscalStreamSourceBinary::Read(void* buffer, int32_t count, const tKvKPosReadContext&) {
  if (count <= 0) [[unlikely]] {
    if (count < 0) throw EKvParam(this, "Read: invalid count " + std::to_string(count));
    return;
  }
  if (length_ > 0) {
    // The last byte read lies at position + count - 1; it must lie before
    // Start + Length. Compared as differences so that nothing can overflow.
    const int64_t position = file_.GetPosition();
    if (position - start_ > length_ - count) Eof();
  }
  int32_t done = 0;
  if (const int32_t code = file_.ReadBuffer(buffer, count, done); code != 0) {
    CheckIoResult(this, "Read", code);
  }
  if (done != count) Eof();
}
