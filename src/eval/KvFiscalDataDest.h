// Line sinks of the journal view: tKvFiscalDataDestAscii is the abstract
// sink that takes one text line at a time; tKvFiscalDataDestTextFile writes
// the lines to a text file, which it borrows (the file must outlive it).
// Bytes pass unchanged, each line ends with CR LF. A line that cannot be
// written raises EKvIo "tKvFiscalDataDestTextFile.WriteLine: Write error
// <code>"; lines are buffered by the file, so a failure may surface only on
// a later line or on Close.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/KvClass.h"

class tKvTextFileDos;

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
  // file: open for writing; not owned.
  explicit tKvFiscalDataDestTextFile(tKvTextFileDos* file);

  void WriteLine(std::string_view text) override;
  // Writes out what the file still buffers, through to the storage device,
  // and closes it; a failure raises the WriteLine error. Lines written
  // afterwards fail.
  void Close();

 private:
  [[noreturn]] void RaiseWriteError(int32_t code) const;

  tKvTextFileDos* file_;
};
