#include "eval/FiscalDataParserAsciiInt.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "EvalTestHelp.h"
#include "eval/InputTestHelp.h"
#include "platform/TempDir.h"
#include "stream/FiscalStreamTestHelp.h"
#include "stream/KvKPosFiscalStream.h"

namespace {

using fisc_test::Bytes;
using fisc_test::Cat;
using fisc_test::Int;
using input_test::Hex;
using ::testing::HasSubstr;

// Version item, then block information (item 5) with block number id and a
// data signature of signature bytes.
Bytes BlockHead(int32_t id, size_t signature = 0) {
  return Cat(
      {{117},
       Int(1),
       {121},
       fisc_test::Tuple({Int(id), Int(1), Int(0), Int(0), Int(0), Int(0), fisc_test::Str("Kasse"),
                         Int(0), Int(1), fisc_test::Str("V1"), fisc_test::Bin(signature, 0xAB)})});
}

// Entry start, record 201 at level 1, field 3 = value, entry end.
Bytes Entry(int32_t value) {
  return Cat({{119},
              fisc_test::Tuple({Int(1), Int(2), Int(0), Int(1252)}),
              {125},
              Int(201),
              {161},
              Int(value),
              {143}});
}

Bytes BlockV1(int32_t id) { return Cat({BlockHead(id), Entry(id)}); }

std::string EventsOf(int32_t id) {
  return "Hdr Ver(1,1) Blk(" + std::to_string(id) +
         ") Jnl(1,2,0,1252) Rec(201,1) Fld(3,I:" + std::to_string(id) + ") EoE";
}

std::string Data(const Bytes& bytes, int version = 1) {
  return "242," + std::to_string(version) + ";D:" + Hex(bytes);
}

struct tAsciiRun {
  input_test::tRecorder Writer;
  std::vector<std::string> Progress;
  bool HasBlockInfo = false;
  tKvKPosTextFileHeaderRec Header;
  tAsciiIntBlockStart BlockStart;
  int32_t StreamKind = 0;
  eval_test::tRecordingLog Log;
};

void RunAscii(const std::vector<std::string>& lines, tAsciiRun& run, size_t eventBuffer = 0,
              int workers = -1) {
  const testing_support::TempDir dir;
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  dir.Write("ascii.txt", text);
  tFiscalDataSourceTextFileDOS source(dir.Path("ascii.txt"));
  tFiscalDataParserAsciiInt parser(
      &source, [&run](std::string_view t) { run.Progress.emplace_back(t); }, 0);
  if (eventBuffer != 0) parser.set_event_buffer_size(eventBuffer);
  parser.set_log(&run.Log);
  if (workers >= 0) parser.set_workers(workers);
  parser.Run(&run.Writer);
  run.HasBlockInfo = parser.HasBlockInfo();
  run.Header = parser.FileHeader();
  run.BlockStart = parser.BlockStart();
  run.StreamKind = parser.StreamKind();
}

// Lines separated by "\n"; {b7}, {b8}, {first}, {second} ({b7} in two
// halves) and {v2} (block 7 as a version-2 stream) stand for hex digits.
// Expected: the numbers of the blocks converted.
TEST(FiscalDataParserAsciiInt, BlocksAndLineCodes) {
  const Bytes b7 = BlockV1(7);
  const auto half = static_cast<std::ptrdiff_t>(b7.size() / 2);
  const Bytes entry = Entry(7);
  const std::pair<std::string, std::string> hex[] = {
      {"{b7}", Hex(b7)},
      {"{b8}", Hex(BlockV1(8))},
      {"{first}", Hex(Bytes(b7.begin(), b7.begin() + half))},
      {"{second}", Hex(Bytes(b7.begin() + half, b7.end()))},
      {"{v2}",
       Hex(Cat({BlockHead(7), fisc_test::Le32(static_cast<int32_t>(entry.size())), entry}))},
  };
  const std::pair<const char*, const char*> cases[] = {
      {"100,abc\n242,1;D:{b7}", ""},  // no block-start line
      {"200,1;1\n242,1;D:{b7}", "7"},
      {"200,1;1\n242,2;D:{v2}", "7"},
      {"200,1;1\n201,x\n200,1;1\n242,1;D:{b7}", "7"},                // block without data skipped
      {"200,1;2\n242,1;D:{b8}\n200,1;1\n242,1;D:{b7}", "7"},         // key 1 not 1: ignored
      {"200,10;1\n242,1;D:{b8}", ""},                                // key 1 missing
      {"200,1;1\n242,1;D:{first}\ngarbage\n242,1;D:{second}", "7"},  // unreadable line inside
      {"200,1;1\n210,foo\n242,1;D:{first}\n299,bar\n242,1;D:{second}", "7"},
      {"200,1;1\n242,1;D:{b7}\n100,x\n242,1;D:{b8}", "7"},      // a code outside 2xx ends the block
      {"200,1;1\n242,1;D:{b7}\n200,1;1\n242,1;D:{b8}", "7 8"},  // two blocks in a row
      {"200,1;1\n242,1;D:{first},1;D:{second}", "7"},           // several pairs on one line
      {"200,1;1\n242,1;X:{b7}", "7"},
      {"200,1;1\n242,1;{b7}", "7"},                // no prefix
      {"200,1;1\n242,1;D:{b7}  ,", "7"},           // trailing comma and blanks
      {"200,1;1\n242,1;D:{b7}\n200,1;1\nx", "7"},  // empty block at the end
      {" +200 ,1;1\n242,1;D:{b7}", "7"},           // code with blanks and sign
  };
  for (const auto& [text, blocks] : cases) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      for (const auto& [name, digits] : hex) {
        if (const size_t at = line.find(name); at != std::string::npos)
          line.replace(at, name.size(), digits);
      }
      lines.push_back(line);
    }
    std::string expected;
    std::istringstream ids(blocks);
    for (int id; ids >> id;) expected += (expected.empty() ? "" : " ") + EventsOf(id);
    tAsciiRun run;
    RunAscii(lines, run);
    EXPECT_EQ(run.Writer.Events, expected) << text;
    // A block whose events do not fit into the buffer is parsed again.
    tAsciiRun again;
    RunAscii(lines, again, 100);
    EXPECT_EQ(again.Writer.Events, expected) << text << " (parsed twice)";
  }
}

TEST(FiscalDataParserAsciiInt, BlockStartValuesAndProgress) {
  tAsciiRun run;
  RunAscii({"200,1;1,10;42,21;Kasse 1,22;V3.14,23;x,25;9,99;y", Data(BlockV1(7)), "200,1;1",
            Data(BlockV1(8))},
           run);
  ASSERT_EQ(run.Writer.Headers.size(), 2u);
  const tKvKPosTextFileHeaderRec& h = run.Writer.Headers[0];
  EXPECT_EQ(eval_test::Row(h.Int1, h.Int2, h.Int3), "1|42|0");
  EXPECT_EQ(eval_test::Row(run.Header.Int1, run.Header.Int2), "1|0");  // cleared for each block
  ASSERT_EQ(run.Progress.size(), 3u);
  EXPECT_THAT(run.Progress[0], ::testing::MatchesRegex("Reading\\.\\.\\. [ 0-9][ 0-9][0-9]%"));
  EXPECT_EQ(run.Progress[1], "Reading... 100%");
  EXPECT_EQ(run.Progress[2], "Completed.            ");
  EXPECT_EQ(run.StreamKind, 1);
  EXPECT_FALSE(run.HasBlockInfo);

  tAsciiRun one;
  RunAscii({"200,1;1,21;Kasse 1,22;V3.14,23;x,25;9", Data(Cat({BlockHead(7, 20), Entry(7)}))}, one);
  EXPECT_EQ(eval_test::Row(one.BlockStart.Text21, one.BlockStart.Text22, one.BlockStart.Text23,
                           one.BlockStart.Int25),
            "Kasse 1|V3.14|x|9");
  EXPECT_TRUE(one.HasBlockInfo);  // the block information carries a data signature
  EXPECT_EQ(one.Writer.Blocks.at(0).DataSign.Length, 20);

  tAsciiRun none;
  RunAscii({}, none);
  EXPECT_EQ(none.Progress, std::vector<std::string>{"Completed.            "});
}

// Damage read past is logged after its block's events, naming its line: a
// data line with odd digits (the last one dropped), a block ending inside an
// entry.
TEST(FiscalDataParserAsciiInt, DamageReadPastIsLogged) {
  const Bytes entry = Entry(7);
  const std::string unended = EventsOf(7).substr(0, EventsOf(7).size() - 4);  // no " EoE"
  for (const size_t buffer : {size_t{0}, size_t{100}}) {
    tAsciiRun run;
    RunAscii({"200,1;1", Data(BlockHead(7)) + "F,1;D:A",
              Data(Bytes(entry.begin(), entry.end() - 1)), "200,1;1", Data(BlockV1(8))},
             run, buffer);
    EXPECT_EQ(run.Writer.Events, unended + " " + EventsOf(8));
    EXPECT_EQ(
        run.Log.Lines,
        (std::vector<std::string>{
            "4:=> Warning: Odd number of hexadecimal digits in line 2, the last one is dropped!",
            "5:=> Error: The block ends inside the entry that begins in line 3!"}));
  }
}

// A failure names the input line; the blocks before it were converted, the
// failing block sends nothing (the check pass runs first).
TEST(FiscalDataParserAsciiInt, Failures) {
  const Bytes head = BlockHead(8);
  const Bytes entry = Entry(8);
  const Bytes cut(entry.begin(), entry.begin() + 8);     // entry start runs past the end
  const Bytes bad = Cat({BlockHead(8), {118}, Int(0)});  // item 2 is not a fiscal item
  const struct {
    std::vector<std::string> Lines;
    std::string Message;
    int64_t Line;
    int OddLine = 0;  // the line with odd digits before the failure
  } cases[] = {
      {{"200,1;1", "242,1;D:0A0G"},
       "[tFiscalDataParserAsciiInt] KPosFiscalStream error #2 - Invalid hexadecimal digit in "
       "block data at column 12 (line 4)",
       4},
      {{"200,1;1", Data(head), Data(cut)},
       "EOF (line 5, byte " + std::to_string(head.size()) + " of the block from line 3)",
       5},
      {{"200,1;1", Data(bad)}, "error #2", 4},
      {{"200,1;1", Data(head), Data(cut) + "A"}, "EOF (line 5", 5, 5},
      {{"200,1;1", Data(head) + "A", "242,1;D:0G"}, "column 10 (line 5)", 5, 4},
  };
  for (const auto& c : cases) {
    for (const size_t buffer : {size_t{0}, size_t{100}}) {
      tAsciiRun run;
      std::vector<std::string> lines = {"200,1;1", Data(BlockV1(7))};
      lines.insert(lines.end(), c.Lines.begin(), c.Lines.end());
      try {
        RunAscii(lines, run, buffer);
        ADD_FAILURE() << "no failure: " << c.Message;
      } catch (const EKvFiscalDataInput& e) {
        EXPECT_THAT(e.what(), HasSubstr(c.Message));
        EXPECT_EQ(e.Line(), c.Line) << c.Message;
        EXPECT_EQ(run.Writer.Events, EventsOf(7)) << c.Message;
        EXPECT_EQ(run.Log.Lines.size(), c.OddLine == 0 ? 0u : 1u) << c.Message;
        EXPECT_THAT(run.Log.Lines, testing::Each(HasSubstr("line " + std::to_string(c.OddLine))));
        if (&c == &cases[2]) {
          int code = 0;
          EXPECT_THAT(input_test::NestedMessage<EKvKPosComStream>(e, &code), HasSubstr("error #2"));
          EXPECT_EQ(code, 2);
        }
      }
    }
  }
}

// The blocks are prepared on worker threads: with none, one or three of
// them the writer sees the same events and the run fails the same way (also
// when the events of a block do not fit into its buffer).
TEST(FiscalDataParserAsciiInt, WorkerCountChangesNothing) {
  std::vector<std::string> good;
  for (int id = 1; id <= 60; ++id) good.insert(good.end(), {"200,1;1", Data(BlockV1(id))});
  std::vector<std::string> damaged = good;
  damaged[81] = Data(Cat({BlockHead(41), {118}, Int(0)}));
  for (const auto* lines : {&good, &damaged}) {
    for (const size_t buffer : {size_t{0}, size_t{100}}) {
      std::string reference;
      for (const int workers : {0, 1, 3}) {
        tAsciiRun run;
        std::string outcome;
        try {
          RunAscii(*lines, run, buffer, workers);
        } catch (const EKvRoot& e) {
          outcome = e.what();
        }
        outcome += " | " + run.Writer.Events;
        if (workers == 0) reference = outcome;
        EXPECT_EQ(outcome, reference) << workers << " workers, buffer " << buffer;
      }
      EXPECT_EQ(reference.find("error #2") != std::string::npos, lines == &damaged) << reference;
    }
  }
}

// A writer that fails at its second field.
class tFailingWriter final : public tKvKPosFiscalStreamWriterChain {
 public:
  tFailingWriter() : tKvKPosFiscalStreamWriterChain(nullptr) {}
  int Fields = 0;
  void AddItem(int32_t, std::unique_ptr<tKvKPosData>) override {
    if (++Fields == 2) throw EKvMisc(this, "writer full");
  }
};

// The blocks after the current one are read ahead; a failure of the writer
// chain still names the line of the block being converted and ends the run
// (the reading stops) without converting anything more.
TEST(FiscalDataParserAsciiInt, WriterFailureEndsTheRun) {
  std::string text;
  for (int id = 1; id <= 200; ++id) text += "200,1;1\r\n" + Data(BlockV1(id)) + "\r\n";
  const testing_support::TempDir dir;
  dir.Write("ascii.txt", text);
  tFiscalDataSourceTextFileDOS source(dir.Path("ascii.txt"));
  tFiscalDataParserAsciiInt parser(&source, {}, 0);
  tFailingWriter writer;
  try {
    parser.Run(&writer);
    FAIL() << "no failure";
  } catch (const EKvFiscalDataInput& e) {
    EXPECT_THAT(e.what(), HasSubstr("writer full (line 4, byte "));
    EXPECT_THAT(e.what(), HasSubstr(" of the block from line 3)"));
    EXPECT_EQ(e.Line(), 4);
  }
  EXPECT_EQ(writer.Fields, 2);
}

}  // namespace
