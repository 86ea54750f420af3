#include "idea/FileHdlCSV.h"

#include <utility>

#include "base/KvErrors.h"
#include "base/KvTextFile.h"
#include "platform/File.h"

tFileHdlCSV::tFileHdlCSV(std::string fileName, bool keepEmpty, char separator)
    : file_name_(std::move(fileName)),
      tmp_name_(file_name_ + ".tmp"),
      text_file_(std::make_unique<tKvTextFileDos>(tmp_name_, tKvTextFileDos::kModeRewrite)),
      keep_empty_(keepEmpty),
      separator_(separator) {}

tFileHdlCSV::~tFileHdlCSV() {
  if (text_file_) {
    text_file_.reset();
    platform::DeleteFile(tmp_name_);
  }
}

void tFileHdlCSV::EndLine(int32_t columnCount) {
  if (columnCount > field_count_) {
    line_.append(static_cast<size_t>(columnCount - field_count_), separator_);
  }
  if (!text_file_) throw EKvIo(this, EBADF, "Write error");
  text_file_->WriteLineChecked(line_.view());
  line_.clear();
  field_count_ = 0;
}

void tFileHdlCSV::Finish() {
  if (!text_file_) return;
  const bool publish = HasData || keep_empty_;
  int32_t code = publish ? text_file_->Sync() : 0;
  if (int32_t closed = text_file_->Close(); code == 0) code = closed;
  text_file_.reset();
  if (code != 0) {
    platform::DeleteFile(tmp_name_);
    throw EKvIo(this, code, "Write error: " + tmp_name_);
  }
  if (!publish) {
    platform::DeleteFile(tmp_name_);
    return;
  }
  if (platform::RenameFile(tmp_name_, file_name_) != 0) {
    throw EKvRoot("Error renaming file \"" + tmp_name_ + "\" to \"" + file_name_ + "\"");
  }
}
