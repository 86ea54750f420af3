#include "eval/KvFiscalDataDest.h"

#include <string>

#include "base/KvErrors.h"
#include "base/KvTextFile.h"

tKvFiscalDataDestTextFile::tKvFiscalDataDestTextFile(tKvTextFileDos* file) : file_(file) {}

void tKvFiscalDataDestTextFile::WriteLine(std::string_view text) {
  if (int32_t code = file_->WriteLine(text); code != 0) [[unlikely]]
    RaiseWriteError(code);
}

void tKvFiscalDataDestTextFile::Close() {
  int32_t code = file_->Sync();
  if (int32_t closed = file_->Close(); code == 0) code = closed;
  if (code != 0) RaiseWriteError(code);
}

void tKvFiscalDataDestTextFile::RaiseWriteError(int32_t code) const {
  throw EKvIo(this, code,
              "tKvFiscalDataDestTextFile.WriteLine: Write error " + std::to_string(code));
}
