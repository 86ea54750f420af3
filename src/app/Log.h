// tLog: the export log "ExportInfo.txt". Every part of the program that
// reports goes through it: entries of six kinds (plain, block line, entry
// line, hint, warning, error), indented by open sections, with hints,
// warnings and errors counted for the summary that ends each run. Without
// /L only plain lines, block lines and errors are written. The log owns its
// file and its stopwatch.
//
// Each run appends its section (header to summary) to the file whole, so
// that runs side by side never lose or interleave each other's sections:
// the lines collect in an unnamed temporary file beside the log (in memory
// where the file system has none), and Close appends them under an
// exclusive lock on the log file (flock), which the file keeps open for
// appending (O_APPEND) from the start. A run that is killed leaves no
// section.
//
// Creating fails with EKvRoot when the folder cannot be created and with
// EKvIo when the file cannot be opened; every write failure raises EKvIo.
// The owner calls Close() at the end of the run so that a failure in the
// summary surfaces; the destructor repeats it silently as a fallback.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/TimeTest.h"
#include "base/KvLog.h"
#include "platform/Clock.h"
#include "platform/File.h"

class tLog final : public tKvLog {
 public:
  // Longest indentation; deeper sections do not indent further.
  static constexpr size_t kMaxIndent = 255;

  // Opens the folder part of fileName + its name part ("ExportInfo.txt"
  // when the name is blank) for appending, creating folder and file when
  // missing, and writes the header section line
  // "> ===== DD.MM.YYYY  HH:MM:SS  [<long title> - <version>]".
  tLog(std::string_view fileName, bool enabled);
  tLog(const tLog&) = delete;
  tLog& operator=(const tLog&) = delete;
  // Close(), failures swallowed.
  ~tLog() override;

  // Slot 0: Add("> " + text, kind), then two more blanks of indentation.
  // Nothing at all when the kind is not written.
  void BeginSection(std::string_view text, int kind) override;
  // Slot 1: when the kind is written: two blanks less indentation, then
  // Add("< " + text, kind).
  void EndSection(std::string_view text, int kind) override;
  // Slot 2: one entry: nothing when the kind is not written; an empty line
  // for a blank text (not counted); otherwise indentation + text + the tag of
  // the kind, counted.
  void Add(std::string_view text, int kind) override;

  // Writes the summary (counts, elapsed time, the closing section line) and
  // closes the file. Once; later calls do nothing.
  void Close();

  // Whether entries of kind are written (always with /L).
  bool IsWritten(int kind) const override;

  bool enabled() const { return Enabled; }
  const std::string& indent() const { return Indent; }
  const platform::LocalTime& start() const { return Start; }
  int32_t hints() const { return Hints; }
  int32_t errors() const { return Errors; }
  int32_t warnings() const { return Warnings; }
  const std::string& file_name() const { return file_name_; }

 private:
  // One line and a line end, no indentation; EKvIo on failure.
  void WriteRaw(std::string_view line);
  void WriteSummary();
  // Writes the collected lines to the section file; false on failure.
  bool SpillPending();
  // Appends the whole section to the log file; 0 or an errno value.
  int AppendSection();

  bool Enabled;
  platform::File File;     // the log, open for appending
  platform::File Section;  // the run's lines; not open: all stay in Pending
  std::string Pending;     // lines not yet in Section
  std::string Indent;
  platform::LocalTime Start;
  int32_t Hints = 0;
  int32_t Errors = 0;
  int32_t Warnings = 0;
  tTimeTest Stopwatch;
  std::string file_name_;
  std::string line_;  // reused for every entry
};
