// tFileHdlCSV: one table file of the export being written. A line is built
// field by field in memory and written at EndLine through the text file's
// buffer (CR LF line ends, bytes unchanged). The file is written under its
// final name + ".tmp" and appears under its final name only when Finish
// publishes it, flushed and synced, so a table under its final name is
// always whole. The handler owns its file.
//
// Failures: opening raises the text file's EKvIo; a failed write or sync
// raises EKvIo with the system's code; a failed rename raises EKvRoot
// "Error renaming file "<tmp>" to "<final>"" and leaves the .tmp file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/KvClass.h"
#include "idea/CsvLine.h"

class tKvTextFileDos;

class tFileHdlCSV final : public tKvClass {
 public:
  // Creates fileName + ".tmp" for writing, replacing a file of that name.
  // keepEmpty: publish the file even when no data line was written.
  tFileHdlCSV(std::string fileName, bool keepEmpty, char separator);
  tFileHdlCSV(const tFileHdlCSV&) = delete;
  tFileHdlCSV& operator=(const tFileHdlCSV&) = delete;
  // A handler destroyed without Finish (the export failed before its end)
  // removes its .tmp file.
  ~tFileHdlCSV() override;

  // Starts the field of column (1-based): the separators before it, with
  // empty fields for skipped columns. A column at or below the current
  // count starts the next field. Returns the line, to which the caller
  // appends the field's text; valid until the next call.
  // Inlined by force: it runs for every field of every line.
  [[gnu::always_inline]] tCsvLine& Field(int32_t column) {
    const int32_t c = field_count_;
    int32_t n;
    if (column > c + 1) {
      n = c > 0 ? column - c : column - 1;
      field_count_ = column;
    } else {
      n = c == 0 ? 0 : 1;
      field_count_ = c + 1;
    }
    if (n > 0) line_.append(static_cast<size_t>(n), separator_);
    return line_;
  }
  void AddField(std::string_view value, int32_t column) { Field(column).append(value); }
  // Completes the line to columnCount fields and writes it.
  void EndLine(int32_t columnCount);
  // Closes the file, then renames it to its final name (without replacing
  // a file of that name) when it holds data or keepEmpty was given, and
  // deletes it otherwise. Once; later calls do nothing.
  void Finish();

  // Set by the table after each data line; the header line does not.
  bool HasData = false;

  const std::string& FileName() const { return file_name_; }
  const std::string& TmpName() const { return tmp_name_; }

 private:
  std::string file_name_;
  std::string tmp_name_;
  std::unique_ptr<tKvTextFileDos> text_file_;
  bool keep_empty_;
  char separator_;
  int32_t field_count_ = 0;
  tCsvLine line_;
};
