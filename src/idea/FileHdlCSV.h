// tFileHdlCSV: one table file of the export being written. A line is built
// field by field in memory and appended at EndLine to a platform::WholeFile
// (CR LF line ends, bytes unchanged), which appears under its name only when
// Finish publishes it whole. The handler owns its file.
//
// Failures: opening raises EKvIo "Error creating file <name>" with the
// system's code. The first failed write poisons the file: EndLine raises
// EKvIo "Write error: <name>", nothing more is written, and Finish removes
// the file instead of publishing it (Published() stays false) and raises the
// same error. A file of the same name already in the folder is never
// replaced: Finish raises EKvIo "Error renaming file <name>" (EEXIST).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/KvClass.h"
#include "idea/CsvLine.h"
#include "platform/WholeFile.h"

class tFileHdlCSV final : public tKvClass {
 public:
  // Creates the temporary file of fileName.
  // keepEmpty: publish the file even when no data line was written.
  tFileHdlCSV(std::string fileName, bool keepEmpty, char separator);
  tFileHdlCSV(const tFileHdlCSV&) = delete;
  tFileHdlCSV& operator=(const tFileHdlCSV&) = delete;
  // A handler destroyed without Finish removes its temporary file.
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
  // Publishes the file under its name when it holds data or keepEmpty was
  // given, and removes it otherwise. Once; later calls do nothing.
  void Finish();
  // Finish published the file.
  bool Published() const { return published_; }
  // A write failed: Finish will remove the file.
  bool Failed() const { return file_.error() != 0; }

  // Set by the table after each data line; the header line does not.
  bool HasData = false;

  const std::string& FileName() const { return file_.name(); }

 private:
  [[noreturn]] void RaiseWriteError(int code) const;

  platform::WholeFile file_;
  bool keep_empty_;
  bool finished_ = false;
  bool published_ = false;
  char separator_;
  int32_t field_count_ = 0;
  tCsvLine line_;
};
