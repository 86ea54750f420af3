#include "app/FiscalDataParserNative.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eval/FiscalDataParserAsciiInt.h"
#include "eval/InputTestHelp.h"
#include "platform/TempDir.h"
#include "stream/KvKPosFiscalStreamRec.h"

namespace {

using ::testing::HasSubstr;
using testing_support::TempDir;

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

struct tNativeRun {
  input_test::tRecorder writer;
  std::vector<std::string> progress;
};

void RunNative(const std::string& content, tNativeRun& run) {
  const TempDir dir;
  dir.Write("native.txt", content);
  tFiscalDataSourceTextFileDOS source(dir.Path("native.txt"));
  tFiscalDataParserNative parser(
      &source, &run.writer, [&run](std::string_view text) { run.progress.emplace_back(text); });
  parser.Execute();
}

std::string Events(const std::vector<std::string>& lines) {
  tNativeRun run;
  RunNative(Join(lines), run);
  return run.writer.events;
}

int64_t Seconds(int y, int mo, int d, int h, int mi, int s) {
  return tKvDateTime::Encode(y, mo, d, h, mi, s).Value;
}

struct tCase {
  std::vector<std::string> lines;
  std::string events;
};

TEST(FiscalDataParserNative, LinesToEvents) {
  const std::string t1 = std::to_string(Seconds(2024, 1, 2, 7, 30, 0));
  const std::vector<tCase> cases = {
      // levels
      {{"((Cmd: X=12"}, "Rec(12,2)"},
      {{"(Cmd: R=2", "(Cmd: R=1", "Fld: 3=INT: 1002;", ")Fld: 2=BCD: 0.90;"},
       "Rec(2,1) Rec(1,2) Fld(3,I:1002) Rec(0,1) Fld(2,B:0.9)"},
      {{"(", "Cmd: R=5", " ) ( Cmd: R=6", "Fld: 1=INT: 1"}, "Rec(5,1) Rec(6,1) Fld(1,I:1)"},
      {{"(Cmd: 12"}, "Rec(0,1)"},
      {{"Fld: 1=INT: 1;"}, "Fld(1,I:1)"},
      // keywords, comments, ignored lines
      {{"(fld: 1=int: 5;", "FLD: 2=Int: 6", "EOE", "eoe", "EoE // end"},
       "Fld(1,I:5) Fld(2,I:6) EoE EoE EoE"},
      {{"!!!abc whatever", "   ", "// comment", "\t", "EoE"}, "EoE"},
      // integers
      {{"Fld: 1=INT: 12ab;", "Fld: 2=INT: x1;", "Fld: 3=INT: -5;", "Fld: 4=INT: 4294967297;",
        "Fld: 5=INT:", "Fld: x=INT: 7;"},
       "Fld(1,I:12) Fld(2,I:0) Fld(3,I:-5) Fld(4,I:1) Fld(5,I:0) Fld(0,I:7)"},
      // decimals and digit strings
      {{"Fld: 1=BCD: -12.50;", "Fld: 2=BCD: abc;", "Fld: 3=BCD: 1,5;", "Fld: 4=BCDF: 101;",
        "Fld: 5=BCDF: 12/3;"},
       "Fld(1,B:-12.5) Fld(2,B:0) Fld(3,B:0) Fld(4,F:101) Fld(5,F:12/3)"},
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
           "Fld(6,T:27000) Fld(7,T:" + std::to_string(Seconds(2024, 1, 2, 0, 0, 0)) + ")"},
      // binary values
      {{"Fld: 1=BIN: 0a0B;", "Fld: 2=BIN: ABC;", "Fld: 3=BIN: ;"},
       "Fld(1,X:0A0B) Fld(2,X:AB) Fld(3,X:)"},
      // version, entries
      {{"Ver: 1=1", "Ver: 2=5", "Ver: 1=3; 2=4"}, "Ver(1,1) Ver(1,3)"},
      {{"Jnl: Type=1; Ver=2; VerMin=0; CP=1252", "Jnl:", "Jnl: a=5;b=6;c=7;d=8;e=9"},
       "Jnl(1,2,0,1252) Jnl(0,0,0,0) Jnl(5,6,7,8)"},
  };
  for (const tCase& c : cases) {
    EXPECT_EQ(Events(c.lines), c.events) << ::testing::PrintToString(c.lines);
  }
}

TEST(FiscalDataParserNative, BinaryOfMaximalLength) {
  tNativeRun run;
  RunNative("Fld: 1=BIN: " + std::string(2049, 'F') + ";\r\n", run);
  ASSERT_EQ(run.writer.fields.size(), 1u);
  EXPECT_EQ(run.writer.fields[0]->GetAsBinary(1), std::string(1024, '\xFF'));
}

TEST(FiscalDataParserNative, TextOfSeveralMegabytes) {
  tNativeRun run;
  const std::string text(3 << 20, 'x');
  RunNative("Fld: 1=TX: \"" + text + "\";\r\nEoE\r\n", run);
  ASSERT_EQ(run.writer.fields.size(), 1u);
  EXPECT_EQ(run.writer.fields[0]->GetAsString(1), text);
}

TEST(FiscalDataParserNative, BlockLine) {
  tNativeRun run;
  RunNative(Join({"Blk: ID=7; EcrAddr=2; DateTime=1388773920; RegEndDT=1388773800; EcrNr=101; "
                  "SerNr=4711001; EcrName=Kasse 1; HwID=57; FiscJnlType=1; SwVer=V3.14.2; "
                  "DataSign=ABCD; RegStartDT=1388734200; Extra=9",
                  "Blk: ID=8; EcrAddr=2; DateTime=3; regstartdt=4; RegEndDT=5; EcrNr=6; SerNr=7",
                  "Blk:"}),
            run);
  ASSERT_EQ(run.writer.blocks.size(), 3u);
  const tKvKPosBlockInfoRec& b = run.writer.blocks[0];
  EXPECT_EQ(b.ID, 7);
  EXPECT_EQ(b.EcrAddr, 2);
  EXPECT_EQ(b.DateTime.Value, 1388773920);
  EXPECT_EQ(b.RegEndDT.Value, 1388773800);
  EXPECT_EQ(b.EcrNr.Text(), "101");
  EXPECT_EQ(b.SerNr, 4711001);
  EXPECT_EQ(b.EcrName, "Kasse 1");
  EXPECT_EQ(b.HwID, 57);
  EXPECT_EQ(b.FiscJnlType, 1);
  EXPECT_EQ(b.SwVer, "V3.14.2");
  EXPECT_EQ(b.DataSign.Length, 0);
  EXPECT_EQ(b.RegStartDT.Value, 1388734200);

  // The fourth item named RegStartDT moves the rest one position on.
  const tKvKPosBlockInfoRec& r = run.writer.blocks[1];
  EXPECT_EQ(r.DateTime.Value, 3);
  EXPECT_EQ(r.RegStartDT.Value, 4);
  EXPECT_EQ(r.RegEndDT.Value, 5);
  EXPECT_EQ(r.EcrNr.Text(), "6");
  EXPECT_EQ(r.SerNr, 7);

  EXPECT_EQ(run.writer.blocks[2].ID, 0);
  EXPECT_EQ(run.progress.size(), 4u);
}

TEST(FiscalDataParserNative, HeaderLine) {
  tNativeRun run;
  RunNative(Join({"Hdr: 3=07:30:00; 2=02.01.2024; 1=1; 6=Kasse; 10=42; 22=03.01.2024; "
                  "23=08:00:00; 100=1; 101=7; 200=9; 55=x",
                  "Hdr: 100=2; 2=bad"}),
            run);
  ASSERT_EQ(run.writer.headers.size(), 2u);
  const tKvKPosTextFileHeaderRec& h = run.writer.headers[0];
  EXPECT_EQ(h.Int1, 1);
  EXPECT_EQ(h.DateTime1.Value, Seconds(2024, 1, 2, 7, 30, 0));
  EXPECT_EQ(h.Text, "Kasse");
  EXPECT_EQ(h.Int2, 42);
  EXPECT_EQ(h.DateTime2.Value, Seconds(2024, 1, 3, 8, 0, 0));
  EXPECT_EQ(h.Int3, 9);
  EXPECT_TRUE(h.Flag);
  EXPECT_EQ(h.Int4, 7);
  tKvKPosTextFileHeaderRec cleared;
  cleared.Init();
  EXPECT_EQ(run.writer.headers[1], cleared);
}

TEST(FiscalDataParserNative, ProgressPerBlockAndAtTheEnd) {
  tNativeRun run;
  RunNative(Join({"Blk: ID=1", "EoE", "Blk: ID=2"}), run);
  ASSERT_EQ(run.progress.size(), 3u);
  EXPECT_THAT(run.progress[0], ::testing::MatchesRegex("Converting\\.\\.\\. [ 0-9][ 0-9][0-9]%"));
  EXPECT_EQ(run.progress[1], "Converting... 100%");
  EXPECT_EQ(run.progress[2], "Completed.              ");
}

struct tFailure {
  std::vector<std::string> lines;
  int code;
  std::string text;  // in the message
  int64_t line;
};

TEST(FiscalDataParserNative, Failures) {
  const std::vector<tFailure> cases = {
      {{"Foo: 1"}, 2, "Unknown keyword \"Foo:\"", 1},
      {{"EoE", "Fld: 1=DT: 01.01.2024;"}, 3, "Field type not supported: \"DT:\"", 2},
      {{"Fld: 1=HEX: 0A;"}, 3, "\"HEX:\"", 1},
      {{"Fld: 1=XYZ: 1;"}, 3, "\"XYZ:\"", 1},
      {{"Fld: 1=TX:\"x\";"}, 3, "\"TX:\"x\";\"", 1},
      {{"Fld: 1=BIN: " + std::string(2050, '0') + ";"}, 9, "\"Bin\" block too large: 1025", 1},
      {{"Fld: 1=BIN: 0A0G;"}, 9, "Invalid hexadecimal digit in \"Bin\" value at column 16", 1},
      {{"(Cmd: R=1", "))Fld: 1=INT: 1;"}, 2, "Nesting level -1 out of range 0..24 for \"Fld:\"", 2},
      {{"Cmd: R=1"}, 2, "Nesting level 0 out of range 1..24 for \"Cmd:\"", 1},
      {{std::string(25, '(') + "Cmd: R=1"}, 2, "Nesting level 25 out of range", 1},
      {{"(", "(", std::string(23, '(') + "Fld: 1=INT: 1;"}, 2, "Nesting level 25", 3},
  };
  for (const tFailure& c : cases) {
    const std::string name = ::testing::PrintToString(c.lines).substr(0, 80);
    try {
      Events(c.lines);
      ADD_FAILURE() << "no failure: " << name;
    } catch (const EKvFiscalDataInput& e) {
      EXPECT_EQ(e.Line(), c.line) << name;
      EXPECT_THAT(e.what(), HasSubstr(c.text)) << name;
      EXPECT_THAT(e.what(), ::testing::EndsWith(" (line " + std::to_string(c.line) + ")")) << name;
      int code = 0;
      input_test::NestedMessage<EKvKPosFiscalStream>(e, &code);
      EXPECT_EQ(code, c.code) << name;
    }
  }
}

TEST(FiscalDataParserNative, FailureMessage) {
  try {
    Events({"EoE", "EoE", "Foo: 1"});
    FAIL() << "no failure";
  } catch (const EKvFiscalDataInput& e) {
    EXPECT_STREQ(e.what(),
                 "[tFiscalDataParserNative] KPosFiscalStream error #2 - Unknown keyword \"Foo:\" "
                 "(line 3)");
  }
}

TEST(FiscalDataParserNative, OverlongLineNamesItsLine) {
  const TempDir dir;
  dir.Write("n.txt", Join({"EoE", "Fld: 1=TX: \"" + std::string(100, 'x') + "\";"}));
  tFiscalDataSourceTextFileDOS source(dir.Path("n.txt"), 64);
  input_test::tRecorder writer;
  tFiscalDataParserNative parser(&source, &writer, {});
  try {
    parser.Execute();
    FAIL() << "no failure";
  } catch (const EKvFiscalDataInput& e) {
    EXPECT_EQ(e.Line(), 2);
    EXPECT_THAT(e.what(), HasSubstr("Read error -2101 (line too long)"));
    EXPECT_EQ(input_test::NestedMessage<EKvIo>(e).empty(), false);
  }
  EXPECT_EQ(writer.events, "EoE");
}

TEST(FiscalDataParserNative, InvalidArguments) {
  const TempDir dir;
  dir.Write("n.txt", "");
  tFiscalDataSourceTextFileDOS source(dir.Path("n.txt"));
  for (tFiscalDataSourceTextFileDOS* s :
       {static_cast<tFiscalDataSourceTextFileDOS*>(nullptr), &source}) {
    try {
      tFiscalDataParserNative parser(s, nullptr, {});
      FAIL() << "no failure";
    } catch (const EKvParam& e) {
      EXPECT_EQ(e.what(),
                std::string("[tFiscalDataParserNative] tFiscalDataParserNative.Create: invalid ") +
                    (s == nullptr ? "Source" : "Writer"));
    }
  }
}

// Both sample journals carry the same events: the native pass and the ASCII
// interface input (binary stream, back links and length values) must agree.
TEST(FiscalDataParserNative, SampleAgreesWithAsciiInterface) {
  const std::string examples = std::string(JORVEX_SOURCE_DIR) + "/examples/";
  input_test::tRecorder native;
  {
    tFiscalDataSourceTextFileDOS source(examples + "sample-native.txt");
    tFiscalDataParserNative parser(&source, &native, {});
    parser.Execute();
  }
  input_test::tRecorder ascii;
  {
    tFiscalDataSourceTextFileDOS source(examples + "sample-ascii.txt");
    tFiscalDataParserAsciiInt parser(&source, {}, 0);
    parser.Run(&ascii);
  }
  std::string binary = ascii.events;
  for (size_t at; (at = binary.find(" Stream")) != std::string::npos;) binary.erase(at, 7);
  EXPECT_EQ(native.events, binary);
  ASSERT_EQ(native.blocks.size(), ascii.blocks.size());
  for (size_t i = 0; i < native.blocks.size(); ++i) {
    const tKvKPosBlockInfoRec& n = native.blocks[i];
    tKvKPosBlockInfoRec a = ascii.blocks[i];
    a.DataSign = n.DataSign;
    EXPECT_TRUE(tKvKPosBlockInfoRec::Equals(n, a)) << "block " << i;
  }
  ASSERT_EQ(native.headers.size(), ascii.headers.size());
  for (size_t i = 0; i < native.headers.size(); ++i) {
    EXPECT_EQ(native.headers[i].Int1, ascii.headers[i].Int1);
    EXPECT_EQ(native.headers[i].Int2, ascii.headers[i].Int2);
  }
}

}  // namespace
