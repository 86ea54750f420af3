#include "eval/KvFiscalDataDest.h"

#include <cerrno>
#include <string>

#include "base/KvErrors.h"

tKvFiscalDataDestTextFile::tKvFiscalDataDestTextFile(platform::WholeFile* file) : file_(file) {}

void tKvFiscalDataDestTextFile::WriteLine(std::string_view text) {
  if (!file_->IsOpen()) [[unlikely]] RaiseWriteError(EBADF);
  file_->Append(text, "\r\n");
  if (int32_t code = file_->error(); code != 0) [[unlikely]] RaiseWriteError(code);
}

void tKvFiscalDataDestTextFile::Commit(platform::WholeFile::Replace replace) {
  using platform::WholeFile;
  if (int32_t code = file_->Commit(replace, WholeFile::SyncFolder::kYes); code != 0) {
    RaiseWriteError(code);
  }
}

void tKvFiscalDataDestTextFile::RaiseWriteError(int32_t code) const {
  throw EKvIo(this, code,
              "tKvFiscalDataDestTextFile.WriteLine: Write error " + std::to_string(code));
}
