// Writes a journal in the native export text form: one line per event.
//
//   Hdr: 1=1; 10=<n>                      text-input header (per block)
//   Ver: 1=1                              journal format version
//   Blk: ID=..; EcrAddr=..; DateTime=..; RegEndDT=..; EcrNr=..; SerNr=..; EcrName=..;
//        HwID=..; FiscJnlType=..; SwVer=..; DataSign=; RegStartDT=..   (one line)
//   Jnl: Type=1; Ver=2; VerMin=0; CP=1252 entry start
//   (Cmd: R=<type>                        record start; "(" / ")" move the level
//   Fld: <id>=<TAG:> <value>;             field (INT: BCD: BCDF: TX: TI: BIN:)
//   )))EoE                                entry end, back at level 0
//   // ...                                comment
//
// Lines end with CR LF and are indented two blanks per level for the reader;
// the brackets sit at the end of the indentation. Texts are quoted, with
// bytes outside printable ASCII written as #<code>.
#pragma once

#include "gen/GenJournal.h"
#include "gen/GenOutput.h"

namespace jgen {

class NativeWriter final : public JournalSink {
 public:
  // "*out" must outlive the writer.
  explicit NativeWriter(TextOut* out) : out_(*out) {}

  void BeginBlock(const BlockHeader& block) override;
  void BeginEntry(const EntryInfo& entry) override;
  void Record(int32_t type, int level) override;
  void Field(int32_t id, int level, const Value& value) override;
  void EndEntry() override;
  void EndBlock() override;
  void Comment(std::string_view text) override;
  uint64_t OutputSize() const override { return out_.Size(); }

  // Appends `text` as a quoted TX value.
  static void AppendQuoted(std::string& line, std::string_view text);
  // Appends a date-time as DD.MM.YYYY/HH:MM:SS.
  static void AppendDateTime(std::string& line, DateTime dt);
  static void AppendDecimal(std::string& line, Decimal d);

 private:
  // Starts a line at `level`: indentation, then the brackets that move there.
  std::string& StartLine(int level);
  void EndLine();

  TextOut& out_;
  int level_ = 0;  // level after the brackets of the last line
};

}  // namespace jgen
