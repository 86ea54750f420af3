// tFiscalDataParserNative: the native conversion pass. It reads the journal
// in its native export text, one stream event per line, and replays the
// events into a writer chain. It borrows its line source and its writer.
// Unknown keywords and field types, oversized binary values and nesting
// levels out of range raise EKvKPosFiscalStream; Execute reports every
// failure as EKvFiscalDataInput naming the line (the original nested inside).
// Malformed numbers, dates and times are not failures: they read as 0.
// Entries whose "Jnl:" or "EoE" line is missing are not failures either: the
// pass reads on and logs an error for each that names its line (the journal
// ending inside an entry, an entry without end before the next "Jnl:" or
// "Blk:", an "EoE" without entry).
//
// Line grammar (keywords without regard to case; "(" and ")" in front of a
// line raise and lower the nesting level; "//" starts a comment anywhere):
//   Hdr: 1=<int>; 2=<date>; 3=<time>; 6=<text>; 10=<int>; ...  -> FileHeader
//   Ver: 1=<version>                                          -> SetVersion(1, v)
//   Blk: ID=..; EcrAddr=..; DateTime=..; [RegStartDT=..;] RegEndDT=..; EcrNr=..;
//        SerNr=..; EcrName=..; HwID=..; FiscJnlType=..; SwVer=..; DataSign=..;
//        RegStartDT=..                                        -> BlockInfo
//   Jnl: Type=..; Ver=..; VerMin=..; CP=..                    -> EntryStart
//   Cmd: R=<record type>                                      -> RecordStart(type, level)
//   Fld: <id>=<TAG:> <value>;                                 -> AddItem(id, element)
//   EoE                                                       -> EntryEnd
//   !!!...                                                    ignored
// Example: the lines
//   (Cmd: R=2
//   (Cmd: R=1
//   Fld: 3=INT: 1002;
//   )Fld: 2=BCD: 0.90;
// give RecordStart(2, 1), RecordStart(1, 2), AddItem(3, Int 1002),
// RecordStart(0, 1), AddItem(2, Bcd 0.9).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/KvClass.h"
#include "eval/KvFiscalDataSourceAscii.h"
#include "stream/KvKPosFiscalStreamRec.h"

class tKvKPosFiscalStreamWriter;
class tKvLog;
class tPeriodSelection;

class tFiscalDataParserNative : public tKvClass {
 public:
  // Deepest record level of the journal.
  static constexpr int32_t kMaxLevel = 24;
  // The largest "BIN:" value in bytes.
  static constexpr size_t kMaxBinary = 1024;

  // source and writer are required (EKvParam "tFiscalDataParserNative.Create:
  // invalid Source" / "... invalid Writer", the source tested first); both
  // must outlive the parser. progress may be empty.
  tFiscalDataParserNative(tFiscalDataSourceTextFileDOS* source, tKvKPosFiscalStreamWriter* writer,
                          tKvProgressProc progress);
  tFiscalDataParserNative(const tFiscalDataParserNative&) = delete;
  tFiscalDataParserNative& operator=(const tFiscalDataParserNative&) = delete;
  ~tFiscalDataParserNative() override;

  // Runs the whole pass: every line of the source through ProcessLine, the
  // report of an entry the journal ends inside, then the progress text
  // "Completed." (padded with blanks). A failure raises EKvFiscalDataInput
  // with " (line <n>)" added to the original message.
  void Execute();
  // Slot 0: handles one line; always returns true. Raises the original
  // failures (without the line number).
  virtual bool ProcessLine(std::string_view line);

  // The log for damaged entries (may be null: not reported); "*log" must
  // outlive the pass.
  void set_log(tKvLog* log) { log_ = log; }
  // Piped: the writer (and the log) receive their events on a thread of
  // their own (tKvKPosEventPipe) while the parse reads on, in the same order
  // and with the same failures and lines as without. The parse stays on the
  // calling thread; it asks the log only IsWritten, which reads settings
  // fixed before the pass. Neither may be used by anyone else during
  // Execute; afterwards they belong to the calling thread again. Off by
  // default.
  void set_pipelined(bool pipelined) { pipelined_ = pipelined; }
  // The period selection (/FROM, /TO) in front of the writer, or of the
  // pipe when piped; the pass ends with its Finish. Borrowed, must outlive
  // Execute.
  void set_selection(tPeriodSelection* selection) { selection_ = selection; }

  int32_t Level() const { return level_; }
  int32_t LastLevel() const { return last_level_; }
  int32_t LastCommand() const { return last_command_; }

 private:
  // Takes the next piece up to sep off rest, after the splitting rule:
  // sep counts only outside "..." and '...' groups and outside (...), [...]
  // and {...} groups (which nest); the piece is trimmed.
  // Sep is " ", "=" or ";".
  template <char Sep>
  std::string_view TakePiece(std::string_view& rest);
  // The usual first token of a field line ("<id>=<TAG:> ") and of a record
  // start ("<name>=<type>"), taken off rest without the general splitting;
  // false (rest unchanged) for any other form, which the splitting rule
  // handles.
  static bool TakeFieldToken(std::string_view& rest, int32_t& id, std::string_view& tag);
  static bool TakeCommandToken(std::string_view& rest, int32_t& type);
  // Index after the bracket group that opens at text[i].
  size_t SkipBrackets(std::string_view text, size_t i);
  // The rest of TakePiece's scan once it met a group at text[i]: the index
  // of the first byte of class sepBit outside groups, or text.size().
  size_t ScanWithGroups(std::string_view text, size_t i, uint8_t sepBit);

  // Every line, then the report of an entry the journal ends inside.
  void Pass();
  // Pass with the writer and the log behind an event pipe.
  void ExecutePiped();

  void ChangeLevel(int32_t delta);
  // Raises: the level is not within lowest..kMaxLevel for keyword.
  [[noreturn]] void RaiseLevel(int32_t lowest, std::string_view keyword) const;

  void Field(std::string_view rest);
  void Command(std::string_view rest);
  void Version(std::string_view rest);
  void Header(std::string_view rest);
  void Block(std::string_view rest);
  void Journal(std::string_view rest);
  void EntryEnd();
  // An entry begun and not ended is reported with text (%1: its line).
  void ReportOpenEntry(std::string_view text);

  [[noreturn]] void RaiseBadHex(std::string_view hex, size_t at) const;

  tFiscalDataSourceTextFileDOS* source_;  // not owned, never null
  tKvKPosFiscalStreamWriter* writer_;     // not owned, never null
  tKvProgressProc progress_;
  tKvLog* log_ = nullptr;  // not owned
  bool pipelined_ = false;
  tPeriodSelection* selection_ = nullptr;
  int32_t level_ = 0;
  int32_t last_level_ = 0;
  int32_t last_command_ = 0;
  int64_t entry_line_ = 0;  // line of the "Jnl:" of the open entry; 0: none

  // The line being processed (for column numbers).
  const char* line_data_ = nullptr;
  size_t line_size_ = 0;
  std::string closers_;    // open bracket groups while splitting (reused)
  std::string value_bytes_;  // the bytes of a text or binary field (reused)
};

// The date-time of a "TI:" value: "<date>/<time>", split at the last "/"
// (no "/": only a time); when that gives no date and the text holds a ",",
// it is read again with every "," as "/". Dates are day.month.year (a year of
// one or two digits means 2000-2079 or 1980-1999), times hours:minutes or
// hours:minutes:seconds; an unreadable part gives 0.
tKvDateTime NativeDateTimeValue(std::string_view text);
// The day of a date text (at 00:00:00), or 0 when it is not a valid date.
tKvDateTime NativeDateValue(std::string_view text);
// The seconds of a time text, or 0 when it is not a valid time.
tKvDateTime NativeTimeValue(std::string_view text);
// Decodes a "TX:" literal: quoted groups ("..." or '...', a doubled quote
// standing for one), "#<decimal code>" for a byte 0..255, any other byte as
// itself; blanks around the literal are removed. The second form puts the
// text into out (its capacity is kept).
std::string NativeLiteralText(std::string_view text);
void NativeLiteralText(std::string_view text, std::string& out);
