#include "app/FiscalDataParserNative.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/RaiseTestHelp.h"
#include "eval/EvalTestHelp.h"
#include "eval/InputTestHelp.h"
#include "gen/GenOutput.h"
#include "gen/NativeWriter.h"
#include "gen/Shop.h"
#include "platform/TempDir.h"
#include "stream/KvKPosFiscalStreamRec.h"

namespace {

using eval_test::Row;
using ::testing::HasSubstr;

struct tNativeRun {
  input_test::tRecorder Writer;
  std::vector<std::string> Progress;
  eval_test::tRecordingLog Log;
};

void RunNative(const std::vector<std::string>& lines, tNativeRun& run,
               size_t maxLine = tKvTextFileDos::kDefaultMaxLineLength, bool piped = false) {
  const testing_support::TempDir dir;
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  dir.Write("native.txt", text);
  tFiscalDataSourceTextFileDOS source(dir.Path("native.txt"), maxLine);
  tFiscalDataParserNative parser(&source, &run.Writer,
                                 [&run](std::string_view t) { run.Progress.emplace_back(t); });
  parser.set_log(&run.Log);
  parser.set_pipelined(piped);
  parser.Execute();
}

// The events of lines (and the log in *log); the piped pass must deliver the same.
std::string Events(const std::vector<std::string>& lines, std::vector<std::string>* log = nullptr) {
  tNativeRun run, piped;
  RunNative(lines, run);
  RunNative(lines, piped, tKvTextFileDos::kDefaultMaxLineLength, true);
  EXPECT_EQ(piped.Writer.Events, run.Writer.Events);
  EXPECT_EQ(piped.Log.Lines, run.Log.Lines);
  EXPECT_EQ(piped.Progress, run.Progress);
  if (log != nullptr) *log = run.Log.Lines;
  return run.Writer.Events;
}

std::string Seconds(int y, int mo, int d, int h, int mi) {
  return std::to_string(tKvDateTime::Encode(y, mo, d, h, mi, 0).Value);
}

TEST(FiscalDataParserNative, LinesToEvents) {
  const std::string t1 = Seconds(2024, 1, 2, 7, 30);
  const struct {
    std::vector<std::string> Lines;
    std::string Events;
  } cases[] = {
      // levels: "((" raises by two; a field at a lower level ends the records
      {{"((Cmd: X=12"}, "Rec(12,2)"},
      {{"(Cmd: R=2", "(Cmd: R=1", "Fld: 3=INT: 1002;", ")Fld: 2=BCD: 0.90;"},
       "Rec(2,1) Rec(1,2) Fld(3,I:1002) Rec(0,1) Fld(2,B:0.9)"},
      {{"(", "Cmd: R=5", " ) ( Cmd: R=6", "Fld: 1=INT: 1"}, "Rec(5,1) Rec(6,1) Fld(1,I:1)"},
      {{"(Cmd: 12"}, "Rec(0,1)"},
      // keywords without regard to case, comments, ignored lines
      {{"(fld: 1=int: 5;", "FLD: 2=Int: 6", "EOE", "eoe", "EoE // end"},
       "Fld(1,I:5) Fld(2,I:6) EoE EoE EoE"},
      {{"!!!abc whatever", "   ", "// comment", "\t", "EoE"}, "EoE"},
      // numbers
      {{"Fld: 1=INT: 12ab;", "Fld: 2=INT: x1;", "Fld: 3=INT: -5;", "Fld: 4=INT: 4294967297;",
        "Fld: 5=INT:", "Fld: x=INT: 7;"},
       "Fld(1,I:12) Fld(2,I:0) Fld(3,I:-5) Fld(4,I:1) Fld(5,I:0) Fld(0,I:7)"},
      {{"Fld: 1=BCD: -12.50;", "Fld: 2=BCD: abc;", "Fld: 3=BCD: 1,5;", "Fld: 4=BCDF: 12/3;"},
       "Fld(1,B:-12.5) Fld(2,B:0) Fld(3,B:0) Fld(4,F:12/3)"},
      // texts
      {{"Fld: 1=TX: 'It''s'#13#10\"ok\";"}, "Fld(1,S:It's#13#10ok)"},
      {{"Fld: 1=TX: \"http://x\";"}, "Fld(1,S:http:)"},
      {{"Fld: 1=TX: \"a;b\" ; rest", "Fld: 2=TX: #65#66#256#;", "Fld: 3=TX: \"\";",
        "Fld: 4=TX: \"Br\"#246\"tchen\";", "Fld: 5=TX: \"unclosed"},
       "Fld(1,S:a;b) Fld(2,S:AB#256#) Fld(3,S:) Fld(4,S:Br#246tchen) Fld(5,S:unclosed)"},
      // times
      {{"Fld: 1=TI: 02.01.2024/07:30:00;", "Fld: 2=TI: 02.01.2024,07:30:00;",
        "Fld: 3=TI: 02.01.24/07:30;", "Fld: 4=TI: 07:30:00;", "Fld: 5=TI: junk;",
        "Fld: 6=TI: 31.02.2024/07:30:00;", "Fld: 7=TI: 02.01.2024/25:00:00;"},
       "Fld(1,T:" + t1 + ") Fld(2,T:" + t1 + ") Fld(3,T:" + t1 + ") Fld(4,T:27000) Fld(5,T:0) " +
           "Fld(6,T:27000) Fld(7,T:" + Seconds(2024, 1, 2, 0, 0) + ")"},
      // binary values: an odd last digit is dropped
      {{"Fld: 1=BIN: 0a0B;", "Fld: 2=BIN: ABC;", "Fld: 3=BIN: ;"},
       "Fld(1,X:0A0B) Fld(2,X:AB) Fld(3,X:)"},
      {{"Fld: 1=BIN: " + std::string(2049, 'F') + ";"}, "Fld(1,X:" + std::string(2048, 'F') + ")"},
      // versions and entries
      {{"Ver: 1=1", "Ver: 2=5", "Ver: 1=3; 2=4"}, "Ver(1,1) Ver(1,3)"},
      {{"Jnl: Type=1; Ver=2; VerMin=0; CP=1252", "Jnl:", "Jnl: a=5;b=6;c=7;d=8;e=9"},
       "Jnl(1,2,0,1252) Jnl(0,0,0,0) Jnl(5,6,7,8)"},
      {{"Fld: 1=TX: \"" + std::string(3 << 20, 'x') + "\";"},
       "Fld(1,S:" + std::string(3 << 20, 'x') + ")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Events(c.Lines), c.Events) << ::testing::PrintToString(c.Lines).substr(0, 200);
  }
}

// The usual field and record-start tokens are taken without the general
// splitting; at their edges (ten digits, signs, groups, other letters) the
// splitting rule decides, with the same results.
TEST(FiscalDataParserNative, TokensAtTheEdgeOfTheUsualForm) {
  const struct {
    std::string Line;
    std::string Events;
  } cases[] = {
      {"Fld: 123456789=INT: 1;", "Fld(123456789,I:1)"},
      {"Fld: 1234567890=INT: 1;", "Fld(1234567890,I:1)"},
      {"Fld: 4294967297=INT: 2;", "Fld(1,I:2)"},
      {"Fld: 07=int: 5;", "Fld(7,I:5)"},
      {"Fld: +7=INT: 5;", "Fld(7,I:5)"},
      {"Fld: 1=TX:  \"a\";", "Fld(1,S:a)"},
      {"Fld: 3=BCD:   -1.5 ;", "Fld(3,B:-1.5)"},
      {"Fld: 9=INT: 3", "Fld(9,I:3)"},
      {"Cmd: R=123456789", "Rec(123456789,1)"},
      {"Cmd: R=1234567890", "Rec(1234567890,1)"},
      {"Cmd: =7", "Rec(7,1)"},
      {"Cmd: R=7 extra", "Rec(7,1)"},
      {"Cmd: R=7x", "Rec(7,1)"},
      {"Cmd: R=-3", "Rec(-3,1)"},
      {"Cmd: R1=4", "Rec(4,1)"},
      {"Cmd: R=(5)", "Rec(0,1)"},
      {"Cmd: R=", "Rec(0,1)"},
      {"Cmd: \"R=9\"", "Rec(0,1)"},
      {"cmd: r=8", "Rec(8,1)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Events({"(", c.Line}), c.Events) << c.Line;
  }
}

TEST(FiscalDataParserNative, BlockAndHeaderLines) {
  tNativeRun run;
  RunNative({"Blk: ID=7; EcrAddr=2; DateTime=1388773920; RegEndDT=1388773800; EcrNr=101; "
             "SerNr=4711001; EcrName=Kasse 1; HwID=57; FiscJnlType=1; SwVer=V3.14.2; "
             "DataSign=ABCD; RegStartDT=1388734200; Extra=9",
             "Blk: ID=8; EcrAddr=2; DateTime=3; regstartdt=4; RegEndDT=5; EcrNr=6; SerNr=7", "Blk:",
             "Hdr: 3=07:30:00; 2=02.01.2024; 1=1; 6=Kasse; 10=42; 22=03.01.2024; "
             "23=08:00:00; 100=1; 101=7; 200=9; 55=x",
             "Hdr: 100=2; 2=bad"},
            run);
  ASSERT_EQ(run.Writer.Blocks.size(), 3u);
  const tKvKPosBlockInfoRec& b = run.Writer.Blocks[0];
  EXPECT_EQ(Row(b.ID, b.EcrAddr, b.DateTime, b.RegEndDT, b.EcrNr, b.SerNr, b.EcrName, b.HwID,
                b.FiscJnlType, b.SwVer, b.DataSign.Length, b.RegStartDT),
            "7|2|1388773920|1388773800|101|4711001|Kasse 1|57|1|V3.14.2|0|1388734200");
  // The fourth item named RegStartDT moves the rest one position on.
  const tKvKPosBlockInfoRec& r = run.Writer.Blocks[1];
  EXPECT_EQ(Row(r.DateTime, r.RegStartDT, r.RegEndDT, r.EcrNr, r.SerNr), "3|4|5|6|7");
  EXPECT_EQ(run.Writer.Blocks[2].ID, 0);

  ASSERT_EQ(run.Writer.Headers.size(), 2u);
  const tKvKPosTextFileHeaderRec& h = run.Writer.Headers[0];
  EXPECT_EQ(
      Row(h.Int1, h.DateTime1, h.Text, h.Int2, h.DateTime2, h.Int3, h.Flag, h.Int4),
      "1|" + Seconds(2024, 1, 2, 7, 30) + "|Kasse|42|" + Seconds(2024, 1, 3, 8, 0) + "|9|1|7");
  tKvKPosTextFileHeaderRec cleared;
  cleared.Init();
  EXPECT_EQ(run.Writer.Headers[1], cleared);

  ASSERT_EQ(run.Progress.size(), 4u);  // per block and at the end
  EXPECT_THAT(run.Progress[0], ::testing::MatchesRegex("Converting\\.\\.\\. [ 0-9][ 0-9][0-9]%"));
  EXPECT_EQ(run.Progress[3], "Completed.              ");
}

TEST(FiscalDataParserNative, Failures) {
  const struct {
    std::vector<std::string> Lines;
    int Code;
    std::string Text;
    int64_t Line;
  } cases[] = {
      {{"EoE", "EoE", "Foo: 1"},
       2,
       "[tFiscalDataParserNative] KPosFiscalStream error #2 - Unknown keyword \"Foo:\" (line 3)",
       3},
      {{"EoE", "Fld: 1=DT: 01.01.2024;"}, 3, "Field type not supported: \"DT:\"", 2},
      {{"Fld: 1=HEX: 0A;"}, 3, "\"HEX:\"", 1},
      {{"Fld: 1=TX:\"x\";"}, 3, "\"TX:\"x\";\"", 1},
      {{"Fld: 1=BIN: " + std::string(2050, '0') + ";"}, 9, "\"Bin\" block too large: 1025", 1},
      {{"Fld: 1=BIN: 0A0G;"}, 9, "Invalid hexadecimal digit in \"Bin\" value at column 16", 1},
      {{"(Cmd: R=1", "))Fld: 1=INT: 1;"}, 2, "Nesting level -1 out of range 0..24 for \"Fld:\"", 2},
      {{"Cmd: R=1"}, 2, "Nesting level 0 out of range 1..24 for \"Cmd:\"", 1},
      {{std::string(25, '(') + "Cmd: R=1"}, 2, "Nesting level 25 out of range", 1},
      {{"(", "(", std::string(23, '(') + "Fld: 1=INT: 1;"}, 2, "Nesting level 25", 3},
  };
  for (const auto& c : cases) for (const bool piped : {false, true}) {
    try {
      tNativeRun run;
      RunNative(c.Lines, run, tKvTextFileDos::kDefaultMaxLineLength, piped);
      ADD_FAILURE() << "no failure: " << c.Text;
    } catch (const EKvFiscalDataInput& e) {
      EXPECT_EQ(e.Line(), c.Line) << c.Text;
      EXPECT_THAT(e.what(), HasSubstr(c.Text));
      EXPECT_THAT(e.what(), ::testing::EndsWith(" (line " + std::to_string(c.Line) + ")"));
      int code = 0;
      input_test::NestedMessage<EKvKPosFiscalStream>(e, &code);
      EXPECT_EQ(code, c.Code) << c.Text;
    }
  }
  // A line too long to read names its line too.
  tNativeRun run;
  try {
    RunNative({"EoE", "Fld: 1=TX: \"" + std::string(100, 'x') + "\";"}, run, 64);
    ADD_FAILURE() << "no failure";
  } catch (const EKvFiscalDataInput& e) {
    EXPECT_EQ(e.Line(), 2);
    EXPECT_THAT(e.what(), HasSubstr("Read error -2101 (line too long)"));
    EXPECT_THAT(input_test::NestedMessage<EKvIo>(e), HasSubstr("line too long"));
  }
  EXPECT_EQ(run.Writer.Events, "EoE");
}

// Entries begun and not ended, or ended and not begun, are logged as errors
// naming their line; the pass reads on.
TEST(FiscalDataParserNative, DamagedEntriesAreLogged) {
  std::vector<std::string> log;
  const std::string events = Events(
      {"Blk:", "Jnl: 1", "EoE", "Jnl: 1", "Jnl: 5", "Blk:", "EoE", "Jnl: T=1", "(Cmd: R=1"}, &log);
  const std::string e = "5:=> Error: ";
  EXPECT_EQ(log, (std::vector<std::string>{
                     e + "The entry that begins in line 4 has no end!",
                     e + "The entry that begins in line 5 has no end!",
                     e + "Line 7 ends an entry that has no beginning!",
                     e + "The journal ends inside the entry that begins in line 8!"}));
  EXPECT_THAT(events, ::testing::EndsWith("EoE Jnl(1,0,0,0) Rec(1,1)"));
}

TEST(FiscalDataParserNative, RequiresSourceAndWriter) {
  const testing_support::TempDir dir;
  dir.Write("n.txt", "");
  tFiscalDataSourceTextFileDOS source(dir.Path("n.txt"));
  for (tFiscalDataSourceTextFileDOS* s :
       {static_cast<tFiscalDataSourceTextFileDOS*>(nullptr), &source}) {
    EXPECT_EQ(raise_test::MessageOf<EKvParam>([&] { tFiscalDataParserNative(s, nullptr, {}); }),
              std::string("[tFiscalDataParserNative] tFiscalDataParserNative.Create: invalid ") +
                  (s == nullptr ? "Source" : "Writer"));
  }
}

// A generated journal of some chunks with damaged entries, piped and not:
// the same events with the log lines in their places, and a failure of the
// writer deep inside gives the same message, line and events before it.
TEST(FiscalDataParserNative, PipedPassDeliversLikeThePlainOne) {
  struct tLogIntoEvents final : tKvLog {
    explicit tLogIntoEvents(std::string& events) : Events(events) {}
    void BeginSection(std::string_view, int) override {}
    void EndSection(std::string_view, int) override {}
    void Add(std::string_view text, int) override { (Events += " Log:") += text; }
    bool IsWritten(int) const override { return true; }
    std::string& Events;
  };
  // Raises at its 40,000th field.
  struct tFailing final : tKvKPosFiscalStreamWriterChain {
    explicit tFailing(std::unique_ptr<tKvKPosFiscalStreamWriter> next)
        : tKvKPosFiscalStreamWriterChain(std::move(next)) {}
    void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) override {
      if (++Fields == 40000) throw EKvMisc(nullptr, "writer failed");
      tKvKPosFiscalStreamWriterChain::AddItem(number, std::move(element));
    }
    int Fields = 0;
  };
  jgen::StringOut out;
  {
    jgen::NativeWriter native(&out);
    jgen::WriteRandom(&native, 11, uint64_t{3} << 20);
  }
  std::string text = out.Text();
  for (size_t at = 0, n = 0; (at = text.find("EoE", at + 1)) != std::string::npos;)
    if (++n % 500 == 0) text.replace(at, 3, "!!!");
  const testing_support::TempDir dir;
  dir.Write("native.txt", text);
  for (const bool failing : {false, true}) {
    std::string results[2];
    for (const bool piped : {false, true}) {
      auto recorder = std::make_unique<input_test::tRecorder>();
      std::string& events = recorder->Events;
      tFailing writer(std::move(recorder));
      tLogIntoEvents log(events);
      tFiscalDataSourceTextFileDOS source(dir.Path("native.txt"));
      tFiscalDataParserNative parser(&source, &writer, {});
      parser.set_log(&log);
      parser.set_pipelined(piped);
      if (!failing) writer.Fields = -1'000'000'000;
      try {
        parser.Execute();
        EXPECT_FALSE(failing);
      } catch (const EKvFiscalDataInput& e) {
        EXPECT_TRUE(failing);
        events += std::string(" Failed:") + e.what();
      }
      EXPECT_THAT(events, HasSubstr("Log:=> Error: The entry that begins in line"));
      results[piped] = std::move(events);
    }
    EXPECT_EQ(results[1].size(), results[0].size());
    EXPECT_TRUE(results[1] == results[0]) << "failing " << failing;
  }
}

}  // namespace
