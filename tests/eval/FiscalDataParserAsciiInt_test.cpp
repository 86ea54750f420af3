#include "eval/FiscalDataParserAsciiInt.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eval/InputTestHelp.h"
#include "platform/TempDir.h"
#include "stream/FiscalStreamTestHelp.h"
#include "stream/KvKPosFiscalStream.h"

namespace {

using fisc_test::Bytes;
using fisc_test::Cat;
using fisc_test::Int;
using fisc_test::Le32;
using fisc_test::Str;
using fisc_test::Tuple;
using input_test::Hex;
using ::testing::HasSubstr;
using testing_support::TempDir;

// ---- Binary blocks ---------------------------------------------------------

Bytes VersionItem() { return Cat({{117}, Int(1)}); }  // item 1

// Item 5 with block number id and a data signature of signature bytes.
Bytes BlockInfoItem(int32_t id, size_t signature = 0) {
  return Cat({{121},
              Tuple({Int(id), Int(1), Int(0), Int(0), Int(0), Int(0), Str("Kasse"), Int(0), Int(1),
                     Str("V1"), fisc_test::Bin(signature, 0xAB)})});
}

// Entry start (item 3), record 201 at level 1 (item 9), field 3 = value,
// entry end (item 6).
Bytes EntryItems(int32_t value) {
  return Cat({{119},
              Tuple({Int(1), Int(2), Int(0), Int(1252)}),
              {125},
              Int(201),
              {161},
              Int(value),
              {143}});
}

Bytes BlockV1(int32_t id) { return Cat({VersionItem(), BlockInfoItem(id), EntryItems(id)}); }

Bytes BlockV2(int32_t id) {
  const Bytes entry = EntryItems(id);
  return Cat({VersionItem(), BlockInfoItem(id), Le32(static_cast<int32_t>(entry.size())), entry});
}

std::string EventsOf(int32_t id) {
  return "Hdr Ver(1,1) Blk(" + std::to_string(id) +
         ") Jnl(1,2,0,1252) Rec(201,1) Fld(3,I:" + std::to_string(id) + ") EoE";
}

std::string Data(const Bytes& bytes, int version = 1) {
  return "242," + std::to_string(version) + ";D:" + Hex(bytes);
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// ---- Running the parser ----------------------------------------------------

struct tAsciiRun {
  input_test::tRecorder writer;
  std::vector<std::string> progress;
  bool has_block_info = false;
  tKvKPosTextFileHeaderRec header;
  tAsciiIntBlockStart block_start;
  int32_t stream_kind = 0;
};

void RunAscii(const std::string& content, tAsciiRun& run) {
  const TempDir dir;
  dir.Write("ascii.txt", content);
  tFiscalDataSourceTextFileDOS source(dir.Path("ascii.txt"));
  tFiscalDataParserAsciiInt parser(
      &source, [&run](std::string_view text) { run.progress.emplace_back(text); }, 0);
  parser.Run(&run.writer);
  run.has_block_info = parser.HasBlockInfo();
  run.header = parser.FileHeader();
  run.block_start = parser.BlockStart();
  run.stream_kind = parser.StreamKind();
}

// The failure of a run, or a test failure when it succeeds.
std::string FailureOf(const std::string& content, tAsciiRun& run, int64_t* line = nullptr) {
  try {
    RunAscii(content, run);
  } catch (const EKvFiscalDataInput& e) {
    if (line != nullptr) *line = e.Line();
    return e.what();
  }
  ADD_FAILURE() << "no failure";
  return {};
}

struct tCase {
  const char* name;
  std::vector<std::string> lines;
  std::string events;
};

TEST(FiscalDataParserAsciiInt, BlocksAndLineCodes) {
  const Bytes b7 = BlockV1(7);
  const size_t half = b7.size() / 2;
  const Bytes first(b7.begin(), b7.begin() + static_cast<std::ptrdiff_t>(half));
  const Bytes second(b7.begin() + static_cast<std::ptrdiff_t>(half), b7.end());
  const std::vector<tCase> cases = {
      {"no block-start line", {"100,abc", Data(b7)}, ""},
      {"block", {"200,1;1", Data(b7)}, EventsOf(7)},
      {"version-2 stream", {"200,1;1", Data(BlockV2(7), 2)}, EventsOf(7)},
      {"block without data is skipped", {"200,1;1", "201,x", "200,1;1", Data(b7)}, EventsOf(7)},
      {"key 1 not 1: ignored with its lines",
       {"200,1;2", Data(BlockV1(8)), "200,1;1", Data(b7)},
       EventsOf(7)},
      {"key 1 missing", {"200,10;1", Data(BlockV1(8))}, ""},
      {"unreadable line inside a block",
       {"200,1;1", Data(first), "garbage", Data(second)},
       EventsOf(7)},
      {"other 2xx lines",
       {"200,1;1", "210,foo", Data(first), "299,bar", Data(second)},
       EventsOf(7)},
      {"code outside 2xx ends the block",
       {"200,1;1", Data(b7), "100,x", Data(BlockV1(8))},
       EventsOf(7)},
      {"two blocks in a row",
       {"200,1;1", Data(b7), "200,1;1", Data(BlockV1(8))},
       EventsOf(7) + " " + EventsOf(8)},
      {"several pairs on one line",
       {"200,1;1", "242,1;D:" + Hex(first) + ",1;D:" + Hex(second)},
       EventsOf(7)},
      {"prefix is ignored", {"200,1;1", "242,1;X:" + Hex(b7)}, EventsOf(7)},
      {"no prefix", {"200,1;1", "242,1;" + Hex(b7)}, EventsOf(7)},
      {"odd last digit is dropped", {"200,1;1", Data(b7) + "F"}, EventsOf(7)},
      {"trailing comma and blanks", {"200,1;1", Data(b7) + "  ,"}, EventsOf(7)},
      {"empty block at the end", {"200,1;1", Data(b7), "200,1;1"}, EventsOf(7)},
      {"empty block with unreadable line at the end",
       {"200,1;1", Data(b7), "200,1;1", "x"},
       EventsOf(7)},
      {"code with blanks and sign", {" +200 ,1;1", Data(b7)}, EventsOf(7)},
  };
  for (const tCase& c : cases) {
    tAsciiRun run;
    RunAscii(Join(c.lines), run);
    EXPECT_EQ(run.writer.events, c.events) << c.name;
  }
}

TEST(FiscalDataParserAsciiInt, BlockStartValues) {
  tAsciiRun run;
  RunAscii(Join({"200,1;1,10;42,21;Kasse 1,22;V3.14,23;x,25;9,99;y", Data(BlockV1(7))}), run);
  ASSERT_EQ(run.writer.headers.size(), 1u);
  EXPECT_EQ(run.writer.headers[0].Int1, 1);
  EXPECT_EQ(run.writer.headers[0].Int2, 42);
  EXPECT_EQ(run.writer.headers[0].Int3, 0);
  EXPECT_EQ(run.block_start.Text21, "Kasse 1");
  EXPECT_EQ(run.block_start.Text22, "V3.14");
  EXPECT_EQ(run.block_start.Text23, "x");
  EXPECT_EQ(run.block_start.Int25, 9);
}

TEST(FiscalDataParserAsciiInt, ProgressTexts) {
  tAsciiRun run;
  RunAscii(Join({"200,1;1", Data(BlockV1(7)), "200,1;1", Data(BlockV1(8))}), run);
  ASSERT_EQ(run.progress.size(), 3u);
  EXPECT_THAT(run.progress[0], ::testing::MatchesRegex("Reading\\.\\.\\. [ 0-9][ 0-9][0-9]%"));
  EXPECT_EQ(run.progress[1], "Reading... 100%");
  EXPECT_EQ(run.progress[2], "Completed.            ");

  tAsciiRun none;
  RunAscii("", none);
  EXPECT_EQ(none.progress, std::vector<std::string>{"Completed.            "});
}

TEST(FiscalDataParserAsciiInt, DataSignatureMarksBlockInformation) {
  tAsciiRun plain;
  RunAscii(Join({"200,1;1", Data(BlockV1(7))}), plain);
  EXPECT_FALSE(plain.has_block_info);

  const Bytes signed_block = Cat({VersionItem(), BlockInfoItem(7, 20), EntryItems(7)});
  tAsciiRun run;
  RunAscii(Join({"200,1;1", Data(signed_block)}), run);
  EXPECT_TRUE(run.has_block_info);
  ASSERT_EQ(run.writer.blocks.size(), 1u);
  EXPECT_EQ(run.writer.blocks[0].DataSign.Length, 20);
}

TEST(FiscalDataParserAsciiInt, NonHexDigitNamesLineAndColumn) {
  tAsciiRun run;
  int64_t line = 0;
  const std::string message =
      FailureOf(Join({"200,1;1", Data(BlockV1(7)), "200,1;1", "242,1;D:0A0G"}), run, &line);
  EXPECT_EQ(message,
            "[tFiscalDataParserAsciiInt] KPosFiscalStream error #2 - Invalid hexadecimal digit "
            "in block data at column 12 (line 4)");
  EXPECT_EQ(line, 4);
  EXPECT_EQ(run.writer.events, EventsOf(7));  // the block before was converted
}

TEST(FiscalDataParserAsciiInt, DamagedBlockFailsCheckPassBeforeAnyEvent) {
  // Block 8 loses the last bytes of its entry start: the entry start item
  // begins on the second data line and runs past the end of the block.
  const Bytes head = Cat({VersionItem(), BlockInfoItem(8)});
  const Bytes entry = EntryItems(8);
  const Bytes cut(entry.begin(), entry.begin() + 8);
  tAsciiRun run;
  int64_t line = 0;
  const std::string message =
      FailureOf(Join({"200,1;1", Data(BlockV1(7)), "200,1;1", Data(head), Data(cut)}), run, &line);
  EXPECT_EQ(run.writer.events, EventsOf(7));
  EXPECT_EQ(line, 5);
  EXPECT_THAT(message, HasSubstr("EOF (line 5, byte " + std::to_string(head.size()) +
                                 " of the block from line 3)"));
}

TEST(FiscalDataParserAsciiInt, FailureKeepsTheParserErrorNested) {
  // Item 2 is not a fiscal item.
  const Bytes bad = Cat({VersionItem(), BlockInfoItem(7), {118}, Int(0)});
  tAsciiRun run;
  try {
    RunAscii(Join({"200,1;1", Data(bad)}), run);
    FAIL() << "no failure";
  } catch (const EKvFiscalDataInput& e) {
    int code = 0;
    EXPECT_THAT(input_test::NestedMessage<EKvKPosComStream>(e, &code), HasSubstr("error #2"));
    EXPECT_EQ(code, 2);
    EXPECT_THAT(e.what(), HasSubstr("(line 2, byte "));
  }
  EXPECT_EQ(run.writer.events, "");
}

TEST(FiscalDataParserAsciiInt, InvalidArguments) {
  try {
    tFiscalDataParserAsciiInt parser(nullptr, {}, 0);
    FAIL() << "no failure";
  } catch (const EKvParam& e) {
    EXPECT_STREQ(e.what(),
                 "[tFiscalDataParserAsciiInt] tFiscalDataParserAsciiInt.Create: invalid Source");
  }
}

}  // namespace
