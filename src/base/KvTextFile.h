// tKvTextFile: the line-oriented text file the inputs and the INI file go
// through; tKvTextFileDos: its implementation over a buffered
// file whose lines end with CR LF. The object owns its file and closes it when
// destroyed. Opening fails with EKvIo ("File: <name>; Mode: <mode name>" and the
// errno); reads and writes return result codes (0 = success) that the callers,
// or the checked helpers below, turn into EKvIo. Bytes pass unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/KvClass.h"
#include "platform/File.h"

class tKvTextFile : public tKvClass {
 public:
  tKvTextFile() = default;
  tKvTextFile(const tKvTextFile&) = delete;
  tKvTextFile& operator=(const tKvTextFile&) = delete;

  // True when no further line can be read.
  virtual bool Eof() = 0;
  // Reads the next line, without its line end, into text (whose capacity is
  // reused). Returns 0 or an error code.
  virtual int32_t ReadLine(std::string& text) = 0;
  // Writes text without a line end and flushes it to the file.
  virtual int32_t WriteText(std::string_view text) = 0;
  // Writes text and a line end (buffered).
  virtual int32_t WriteLine(std::string_view text) = 0;
  // Writes the buffered text out to the file.
  virtual int32_t Flush() = 0;

  // Checked helpers: raise EKvIo with this file as sender when the result is
  // not 0: "Read error" / "Write error" + the code, or (WriteLineCodeChecked)
  // no message, so that the message is "Code: <code>".
  void ReadLineChecked(std::string& text);
  void WriteLineChecked(std::string_view text);
  void WriteLineCodeChecked(std::string_view text);
};

// Lines are read up to a line feed; a carriage return right before it (or
// before the end of the file) is dropped, any other byte is kept, so a lone CR
// stays inside its line. A last line without line end is a line of its own.
// A UTF-8 byte-order mark at the very start of the file is skipped (it is no
// part of the first line; FilePos counts it).
// Lines are written with CR LF.
//
// Reading keeps one large buffer and hands out lines without copying them
// (ReadLineView). A line longer than the maximum line length is skipped as a
// whole (the memory held stays bounded by that maximum) and reported once with
// the code kErrFileOutOfMemory; the next read continues with the line after it.
// Reading past the end gives kErrFileRead.
//
// Writing collects lines in a buffer that is written out when full, on Flush
// and on Close. Write errors that only Close can see are lost when the object
// is simply destroyed: writers that must know call Close (or Flush) first.
class tKvTextFileDos final : public tKvTextFile {
 public:
  // Open modes; their names appear in open-failure messages.
  static constexpr int kModeReset = 0;          //!< "Reset": read an existing file
  static constexpr int kModeAppendRewrite = 1;  //!< "AppendRewrite": append, create when missing
  static constexpr int kModeRewrite = 2;        //!< "Rewrite": create empty, replacing
  static constexpr int kModeAppendTemp = 3;     //!< as 1; a created file left unwritten is deleted

  static constexpr size_t kDefaultMaxLineLength = size_t{16} << 20;

  // Opens fileName in mode. An invalid mode raises EKvParam
  // "Create: invalid Mode parameter: <mode>"; a failed open raises EKvIo.
  tKvTextFileDos(std::string fileName, int mode, size_t maxLineLength = kDefaultMaxLineLength);
  // Closes the file; in mode 3 deletes a file that this object created and
  // never wrote to.
  ~tKvTextFileDos() override;

  bool Eof() override;
  int32_t ReadLine(std::string& text) override;
  int32_t WriteText(std::string_view text) override;
  int32_t WriteLine(std::string_view text) override;
  int32_t Flush() override;

  // Reads the next line like ReadLine without copying it: line points into
  // the file's buffer and is valid until the next operation on this file.
  int32_t ReadLineView(std::string_view& line);

  // Flushes and closes the file, returning the first failure. Further reads
  // and writes then fail with EBADF. Called by the destructor when needed.
  int32_t Close();

  // Reading: offset of the next unread byte. Writing: bytes written so far.
  int64_t FilePos() const;
  // Current size of the file in bytes (-1 when unknown or closed).
  int64_t FileSize() const;

  const std::string& FileName() const { return file_name_; }
  uint8_t Mode() const { return mode_; }
  bool IsOpen() const { return is_open_; }
  bool AppendedToExisting() const { return appended_to_existing_; }

 private:
  int32_t Fill();  // reads more bytes behind end_, growing the buffer up to the line limit
  void SkipByteOrderMark();  // at opening for reading
  int32_t SkipOverlongLine();
  int32_t FlushBuffer();
  bool Reading() const { return is_open_ && mode_ == kModeReset; }
  bool Writing() const { return is_open_ && mode_ != kModeReset; }

  uint8_t mode_;
  std::string file_name_;
  platform::File file_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0;
  size_t max_line_length_;
  // Reading: unread bytes are buffer_[begin_, end_). Writing: buffer_[0, end_).
  size_t begin_ = 0;
  size_t end_ = 0;
  int64_t file_offset_ = 0;    // bytes read from or written to the file
  int32_t pending_error_ = 0;  // a read failure seen by Eof, reported by the next read
  bool at_end_ = false;        // the file returned its end
  bool is_open_ = false;
  bool appended_to_existing_ = false;
  bool written_ = false;
};
