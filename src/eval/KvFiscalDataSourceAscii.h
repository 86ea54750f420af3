// The line sources both journal text inputs read from: the abstract source,
// the source over a text file, and the DOS source that opens the journal file
// itself and reports how far reading has come. A source hands out each line
// as a view into the file's buffer, valid until the next Eof or ReadLine; it
// counts the lines it has read so that the passes can name the line of a
// failure. A read failure raises EKvIo. Also here: the progress callback type
// of both passes and EKvFiscalDataInput, the failure of a pass with its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/KvClass.h"
#include "base/KvErrors.h"
#include "base/KvTextFile.h"

// Receives a progress text for the console line (ConsoleProgress).
using tKvProgressProc = std::function<void(std::string_view text)>;

// A failure of a journal input pass, with the place in the input where it
// happened: the message of the original failure followed by the place, e.g.
// "... KPosFiscalStream error #2 - Unknown keyword: Foo: (line 12)". The
// original exception stays available as the nested exception
// (std::rethrow_if_nested).
class EKvFiscalDataInput : public EKvRoot {
 public:
  EKvFiscalDataInput(const std::string& message, int64_t line);
  // The 1-based input line of the failure (0 when unknown).
  int64_t Line() const { return line_; }

 private:
  int64_t line_;
};

// Raises EKvFiscalDataInput with the message of failure followed by " (" +
// place + ")" and the exception being handled nested inside. Call it only
// from a handler that caught failure.
[[noreturn]] void RaiseInputFailure(const EKvRoot& failure, int64_t line, std::string_view place);

// The abstract line source. It borrows the text file it reads, which must
// outlive it. Not copyable.
class tKvFiscalDataSourceAscii : public tKvClass {
 public:
  explicit tKvFiscalDataSourceAscii(tKvTextFile* file);
  tKvFiscalDataSourceAscii(const tKvFiscalDataSourceAscii&) = delete;
  tKvFiscalDataSourceAscii& operator=(const tKvFiscalDataSourceAscii&) = delete;
  ~tKvFiscalDataSourceAscii() override;

  // Slot 0: no further line can be read (the text file's end-of-file test).
  virtual bool Eof();
  // Slot 1: the next line without its line end. The view is valid until the
  // next call of Eof or ReadLine.
  virtual std::string_view ReadLine() = 0;

  // Number of lines read so far, including one whose reading failed: after
  // ReadLine it is the 1-based number of the line just read.
  int64_t LineNumber() const { return line_number_; }
  tKvTextFile* File() const { return file_; }

 protected:
  void SetFile(tKvTextFile* file) { file_ = file; }
  int64_t line_number_ = 0;

 private:
  tKvTextFile* file_;  // not owned
};

// Reads the lines of a text file. A tKvTextFileDos is read without copying
// its lines. A read failure raises EKvIo
// "tKvFiscalDataSourceTextFile.ReadLine: Read error <code>" (a line above the
// file's maximum line length adds " (line too long)").
class tKvFiscalDataSourceTextFile : public tKvFiscalDataSourceAscii {
 public:
  // "*file" must outlive the source.
  explicit tKvFiscalDataSourceTextFile(tKvTextFile* file);
  ~tKvFiscalDataSourceTextFile() override;

  std::string_view ReadLine() override;

 protected:
  // Sets the file to read (for subclasses that open it themselves).
  void UseFile(tKvTextFile* file);

 private:
  [[noreturn]] void RaiseReadError(int32_t code) const;

  tKvTextFileDos* dos_ = nullptr;  // the same file when it is a tKvTextFileDos
  std::string line_;               // line buffer for other text files
};

// The line source over the journal file: opens it (tKvTextFileDos, mode
// Reset) and owns it. Opening a missing or unreadable file raises EKvIo.
class tFiscalDataSourceTextFileDOS final : public tKvFiscalDataSourceTextFile {
 public:
  // maxLineLength: longer lines fail to read (bounded memory).
  explicit tFiscalDataSourceTextFileDOS(
      const std::string& fileName, size_t maxLineLength = tKvTextFileDos::kDefaultMaxLineLength);
  ~tFiscalDataSourceTextFileDOS() override;

  // The read position as a percentage: file position * 100 div file size,
  // a size below 1 taken as 1.
  int32_t Progress() const;

 private:
  std::unique_ptr<tKvTextFileDos> text_file_;
};
