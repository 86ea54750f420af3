// Line sinks of the journal view: tKvFiscalDataDestAscii is the abstract
// sink that takes one text line at a time; tKvFiscalDataDestTextFile appends
// the lines to a file that appears whole (platform::WholeFile), which it
// borrows (the file must outlive it). Bytes pass unchanged, each line ends
// with CR LF. A line that cannot be written raises EKvIo
// "tKvFiscalDataDestTextFile.WriteLine: Write error <code>"; lines are
// buffered by the file, so a failure may surface only on a later line or on
// Commit.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/KvClass.h"
#include "platform/WholeFile.h"

class tKvFiscalDataDestAscii : public tKvClass {
 public:
  tKvFiscalDataDestAscii() = default;
  tKvFiscalDataDestAscii(const tKvFiscalDataDestAscii&) = delete;
  tKvFiscalDataDestAscii& operator=(const tKvFiscalDataDestAscii&) = delete;

  // Writes text and a line end.
  virtual void WriteLine(std::string_view text) = 0;
};

class tKvFiscalDataDestTextFile final : public tKvFiscalDataDestAscii {
 public:
  // file: open; not owned.
  explicit tKvFiscalDataDestTextFile(platform::WholeFile* file);

  void WriteLine(std::string_view text) override;
  // Publishes the file (platform::WholeFile::Commit); a failure raises the
  // WriteLine error. Lines written afterwards fail.
  void Commit(platform::WholeFile::Replace replace);

 private:
  [[noreturn]] void RaiseWriteError(int32_t code) const;

  platform::WholeFile* file_;
};
