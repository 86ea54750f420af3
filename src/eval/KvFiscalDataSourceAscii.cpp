#include "eval/KvFiscalDataSourceAscii.h"

#include <algorithm>
#include <exception>

#include "base/KvErrorCodes.h"

EKvFiscalDataInput::EKvFiscalDataInput(const std::string& message, int64_t line)
    : EKvRoot(message), line_(line) {}

void RaiseInputFailure(const EKvRoot& failure, int64_t line, std::string_view place) {
  std::string message = failure.what();
  message += " (";
  message += place;
  message += ')';
  std::throw_with_nested(EKvFiscalDataInput(message, line));
}

// ---------------------------------------------------------------------------
// tKvFiscalDataSourceAscii

tKvFiscalDataSourceAscii::tKvFiscalDataSourceAscii(tKvTextFile* file) : file_(file) {}

tKvFiscalDataSourceAscii::~tKvFiscalDataSourceAscii() = default;

bool tKvFiscalDataSourceAscii::Eof() { return file_ == nullptr || file_->Eof(); }

// ---------------------------------------------------------------------------
// tKvFiscalDataSourceTextFile

tKvFiscalDataSourceTextFile::tKvFiscalDataSourceTextFile(tKvTextFile* file)
    : tKvFiscalDataSourceAscii(nullptr) {
  UseFile(file);
}

tKvFiscalDataSourceTextFile::~tKvFiscalDataSourceTextFile() = default;

void tKvFiscalDataSourceTextFile::UseFile(tKvTextFile* file) {
  SetFile(file);
  dos_ = dynamic_cast<tKvTextFileDos*>(file);
}

std::string_view tKvFiscalDataSourceTextFile::ReadLine() {
  ++line_number_;
  std::string_view line;
  int32_t code;
  if (dos_ != nullptr) {
    code = dos_->ReadLineView(line);
  } else if (File() != nullptr) {
    code = File()->ReadLine(line_);
    line = line_;
  } else {
    code = kErrFileRead;
  }
  if (code != 0) [[unlikely]]
    RaiseReadError(code);
  return line;
}

void tKvFiscalDataSourceTextFile::RaiseReadError(int32_t code) const {
  std::string message = "tKvFiscalDataSourceTextFile.ReadLine: Read error " + std::to_string(code);
  if (code == kErrFileOutOfMemory) message += " (line too long)";
  throw EKvIo(this, code, message);
}

// ---------------------------------------------------------------------------
// tFiscalDataSourceTextFileDOS

tFiscalDataSourceTextFileDOS::tFiscalDataSourceTextFileDOS(const std::string& fileName,
                                                           size_t maxLineLength)
    : tKvFiscalDataSourceTextFile(nullptr),
      text_file_(
          std::make_unique<tKvTextFileDos>(fileName, tKvTextFileDos::kModeReset, maxLineLength)) {
  UseFile(text_file_.get());
}

tFiscalDataSourceTextFileDOS::~tFiscalDataSourceTextFileDOS() = default;

int32_t tFiscalDataSourceTextFileDOS::Progress() const {
  const int64_t size = std::max<int64_t>(1, text_file_->FileSize());
  const int64_t position = std::clamp<int64_t>(text_file_->FilePos(), 0, size);
  return static_cast<int32_t>(position * 100 / size);
}
