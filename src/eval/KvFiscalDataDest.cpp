#include "eval/KvFiscalDataDest.h"

#include <cerrno>
#include <string>

#include "base/KvErrors.h"

void tKvFiscalDataDestAscii::WriteLines(std::string_view lines) {
  constexpr std::string_view kEnd(kLineEnd);
  while (!lines.empty()) {
    const size_t end = lines.find(kEnd);
    WriteLine(lines.substr(0, end));
    lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + kEnd.size());
  }
}

tKvFiscalDataDestTextFile::tKvFiscalDataDestTextFile(platform::WholeFile* file) : file_(file) {}

void tKvFiscalDataDestTextFile::WriteLine(std::string_view text) {
  if (!file_->IsOpen()) [[unlikely]] RaiseWriteError(EBADF);
  file_->Append(text, kLineEnd);
  CheckWritten();
}

void tKvFiscalDataDestTextFile::WriteLines(std::string_view lines) {
  if (!file_->IsOpen()) [[unlikely]] RaiseWriteError(EBADF);
  file_->Append(lines);
  CheckWritten();
}

void tKvFiscalDataDestTextFile::Commit(platform::WholeFile::Replace replace) {
  using platform::WholeFile;
  if (int32_t code = file_->Commit(replace, WholeFile::SyncFolder::kYes); code != 0) {
    RaiseWriteError(code);
  }
}

void tKvFiscalDataDestTextFile::CheckWritten() const {
  if (int32_t code = file_->error(); code != 0) [[unlikely]] RaiseWriteError(code);
}

void tKvFiscalDataDestTextFile::RaiseWriteError(int32_t code) const {
  throw EKvIo(this, code,
              "tKvFiscalDataDestTextFile.WriteLine: Write error " + std::to_string(code));
}
