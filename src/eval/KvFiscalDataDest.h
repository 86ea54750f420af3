// Line sinks of the journal view: tKvFiscalDataDestAscii is the abstract
// sink that takes one text line at a time, or a block of lines that each
// end in kLineEnd; tKvFiscalDataDestTextFile appends the lines to a file
// that appears whole (platform::WholeFile), which it borrows (the file must
// outlive it). Bytes pass unchanged, each line ends with CR LF. A line that
// cannot be written raises EKvIo "tKvFiscalDataDestTextFile.WriteLine:
// Write error <code>"; lines are buffered by the file, so a failure may
// surface only on a later line or on Commit.
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

  // The end of every line a sink writes.
  static constexpr char kLineEnd[] = "\r\n";

  // Writes text and a line end.
  virtual void WriteLine(std::string_view text) = 0;
  // Writes lines, each ended by kLineEnd (the last one as well): by
  // default each through WriteLine, split at every kLineEnd, so that a
  // line whose text holds a line end becomes two (the same bytes for a
  // sink that writes a line and then its end).
  virtual void WriteLines(std::string_view lines);
};

class tKvFiscalDataDestTextFile final : public tKvFiscalDataDestAscii {
 public:
  // file: open; not owned.
  explicit tKvFiscalDataDestTextFile(platform::WholeFile* file);

  void WriteLine(std::string_view text) override;
  // The lines as they stand, in one piece.
  void WriteLines(std::string_view lines) override;
  // Publishes the file (platform::WholeFile::Commit); a failure raises the
  // WriteLine error. Lines written afterwards fail.
  void Commit(platform::WholeFile::Replace replace);

 private:
  // Raises the file's first failure, if any.
  void CheckWritten() const;
  [[noreturn]] void RaiseWriteError(int32_t code) const;

  platform::WholeFile* file_;
};
