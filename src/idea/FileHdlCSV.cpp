#include "idea/FileHdlCSV.h"

#include <cerrno>
#include <utility>

#include "base/KvErrors.h"

tFileHdlCSV::tFileHdlCSV(std::string fileName, bool keepEmpty, char separator)
    : keep_empty_(keepEmpty), separator_(separator) {
  if (int code = file_.Open(std::move(fileName)); code != 0) {
    throw EKvIo(this, code, "Error creating file " + FileName());
  }
}

tFileHdlCSV::~tFileHdlCSV() = default;

void tFileHdlCSV::EndLine(int32_t columnCount) {
  if (columnCount > field_count_) {
    line_.append(static_cast<size_t>(columnCount - field_count_), separator_);
  }
  line_.append("\r\n", 2);
  file_.Append(line_.view());
  line_.clear();
  field_count_ = 0;
  if (file_.error() != 0) [[unlikely]] RaiseWriteError(file_.error());
}

void tFileHdlCSV::Finish() {
  if (finished_) return;
  finished_ = true;
  if (!(HasData || keep_empty_)) {
    file_.Discard();
    return;
  }
  using platform::WholeFile;
  const int code = file_.Commit(WholeFile::Replace::kNo, WholeFile::SyncFolder::kNo);
  if (code == EEXIST) throw EKvIo(this, code, "Error renaming file " + FileName());
  if (code != 0) RaiseWriteError(code);
  published_ = true;
}

void tFileHdlCSV::RaiseWriteError(int code) const {
  throw EKvIo(this, code, "Write error: " + FileName());
}
