// The journal generator: its value texts, and its journals checked with the
// program's own inputs (both forms of a journal give the same events, so
// both writers' encodings agree with the program's parsers; the sample files
// are what the generator writes).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "app/FiscalDataParserNative.h"
#include "eval/FiscalDataParserAsciiInt.h"
#include "eval/InputTestHelp.h"
#include "gen/AsciiWriter.h"
#include "gen/NativeWriter.h"
#include "gen/Shop.h"
#include "gen/TeeSink.h"
#include "platform/TempDir.h"
#include "stream/KvFiscalStreamSourceBinary.h"
#include "stream/KvKPosFiscalStream.h"

namespace jgen {
namespace {

using testing_support::TempDir;

struct Pair {
  std::string Native, Ascii;
};

Pair Generate(const std::function<void(JournalSink*)>& write, int streamVersion = 2) {
  StringOut native, ascii;
  NativeWriter n(&native);
  AsciiWriter a(&ascii, streamVersion);
  TeeSink tee(&n, &a);
  write(&tee);
  return {native.Text(), ascii.Text()};
}

std::string GenerateOne(bool native, const std::function<void(JournalSink*)>& write) {
  StringOut out;
  if (native) {
    NativeWriter w(&out);
    write(&w);
  } else {
    AsciiWriter w(&out, 2);
    write(&w);
  }
  return out.Text();
}

// The events the program's input for the form delivers from text, into
// writer; the binary stream's own header events left out.
std::string Convert(const std::string& text, bool native, input_test::tRecorder& writer) {
  const TempDir dir;
  dir.Write("journal.txt", text);
  tFiscalDataSourceTextFileDOS source(dir.Path("journal.txt"));
  if (native) {
    tFiscalDataParserNative(&source, &writer, {}).Execute();
  } else {
    tFiscalDataParserAsciiInt(&source, {}, 0).Run(&writer);
  }
  std::string events = writer.Events;
  for (size_t at; (at = events.find(" Stream")) != std::string::npos;) events.erase(at, 7);
  return events;
}

// Both forms of a journal carry the same events and block information.
void ExpectSameEvents(const Pair& p, const std::string& what) {
  input_test::tRecorder native, ascii;
  const std::string n = Convert(p.Native, true, native);
  const std::string a = Convert(p.Ascii, false, ascii);
  EXPECT_GT(native.Fields.size(), 100u) << what;
  if (n != a) {
    const size_t at = std::mismatch(n.begin(), n.end(), a.begin(), a.end()).first - n.begin();
    const size_t from = at < 200 ? 0 : at - 200;
    ADD_FAILURE() << what << ": events differ at " << at << "\n  native: " << n.substr(from, 300)
                  << "\n  ascii:  " << a.substr(from, 300);
  }
  ASSERT_EQ(native.Blocks.size(), ascii.Blocks.size()) << what;
  for (size_t i = 0; i < native.Blocks.size(); ++i) {
    tKvKPosBlockInfoRec b = ascii.Blocks[i];
    b.DataSign = native.Blocks[i].DataSign;
    EXPECT_TRUE(tKvKPosBlockInfoRec::Equals(native.Blocks[i], b)) << what << ", block " << i;
  }
}

// The back links in the binary blocks of an ASCII interface file, as the
// program's parser passes them on.
int CountLinks(const std::string& ascii) {
  class tLinks final : public tKvKPosFiscalStreamWriterChain {
   public:
    tLinks() : tKvKPosFiscalStreamWriterChain(nullptr) {}
    int Count = 0;
    void Link(int32_t) override { ++Count; }
  } links;
  std::vector<std::string> blocks;
  std::istringstream in(ascii);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("200,", 0) == 0) blocks.emplace_back();
    if (line.rfind("242,", 0) != 0) continue;
    for (size_t i = line.find(':') + 1; i + 1 < line.size() && line[i] != '\r'; i += 2) {
      blocks.back() += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
    }
  }
  for (const std::string& block : blocks) {
    tKvKPosStreamFileMem file;
    file.WriteBuffer(block.data(), static_cast<int32_t>(block.size()));
    file.SetPosition(0);
    tKvFiscalStreamSourceBinary source(file, file.GetSize());
    tKvKPosFiscalStreamParser(0, &links, &source).ParseRange(file, true, true, file.GetSize());
  }
  return links.Count;
}

TEST(NativeWriterTest, ValueTexts) {
  const std::pair<std::string, std::string> quoted[] = {
      {"Kaffee", "\"Kaffee\""},
      {"", "\"\""},
      {"It's \"ok\"", "\"It's \"\"ok\"\"\""},
      {"Br\xF6tchen", "\"Br\"#246\"tchen\""},
      {"\xF6", "#246"},
      {"a//b", "\"a/\"#47\"b\""},  // "//" would start a comment
      {"x;(y)", "\"x;(y)\""},
  };
  for (const auto& [text, expected] : quoted) {
    std::string s;
    NativeWriter::AppendQuoted(s, text);
    EXPECT_EQ(s, expected) << text;
  }
  const std::pair<Decimal, std::string> decimals[] = {{{-1250, 2}, "-12.50"},
                                                      {{5, 2}, "0.05"},
                                                      {{2, 0}, "2"},
                                                      {{235, 3}, "0.235"},
                                                      {{0, 2}, "0.00"}};
  for (const auto& [d, expected] : decimals) {
    std::string s;
    NativeWriter::AppendDecimal(s, d);
    EXPECT_EQ(s, expected) << d.Mantissa << "/" << d.Scale;
  }
  std::string s;
  NativeWriter::AppendDateTime(s, MakeDateTime(2024, 1, 2, 7, 42, 10));
  EXPECT_EQ(s, "02.01.2024/07:42:10");
}

TEST(GeneratorTest, SampleFilesAreUpToDate) {
  const std::string dir = std::string(JORVEX_SOURCE_DIR) + "/examples/";
  const Pair p = Generate(WriteSample);
  EXPECT_TRUE(p.Native == TempDir::ReadFile(dir + "sample-native.txt"))
      << "regenerate: jorvex-gen --form native --sample --out examples/sample-native.txt";
  EXPECT_TRUE(p.Ascii == TempDir::ReadFile(dir + "sample-ascii.txt"))
      << "regenerate: jorvex-gen --form ascii --sample --out examples/sample-ascii.txt";
}

TEST(GeneratorTest, SampleHoldsEveryKindOfContent) {
  const Pair p = Generate(WriteSample);
  input_test::tRecorder writer;
  const std::string events = Convert(p.Ascii, false, writer);
  const auto count = [&events](const std::string& e) {
    int n = 0;
    for (size_t at = 0; (at = events.find(e, at)) != std::string::npos; at += e.size()) ++n;
    return n;
  };
  EXPECT_EQ(count("Ver(1,1)"), 3) << "blocks";
  EXPECT_EQ(count("Rec(3,1)"), 3) << "registration starts";
  EXPECT_EQ(count("Rec(4,1)"), 3) << "registration ends";
  EXPECT_EQ(count("Rec(2,1)"), 6) << "receipts";
  EXPECT_EQ(count("Rec(1,1)"), 1) << "invoice";
  EXPECT_EQ(count("Rec(6,1)"), 1) << "table receipt";
  EXPECT_EQ(count("Rec(11,1)"), 1) << "paid in";
  EXPECT_EQ(count("Rec(18,1)"), 1) << "drawer opening";
  EXPECT_EQ(count("Rec(14,1)"), 1) << "article rename";
  EXPECT_GE(count("Rec(5,3)"), 3) << "linked articles";
  EXPECT_EQ(count("Fld(2,S:Rabatt 10%)"), 1) << "discount";
  EXPECT_GE(count("Rec(8,3)"), 3) << "modifiers";
  EXPECT_GE(count("Rec(4,3)"), 1) << "foreign currency";
  EXPECT_GT(CountLinks(p.Ascii), 10) << "back links in the binary stream";
}

// The sample in the form of its files (see SampleFilesAreUpToDate), and
// random journals in both stream versions.
TEST(GeneratorTest, BothFormsCarryTheSameEvents) {
  struct Case {
    std::string Name;
    std::function<void(JournalSink*)> Write;
    int Stream;
  };
  const Case cases[] = {
      {"sample", WriteSample, 2},
      {"random seed 1", [](JournalSink* s) { WriteRandom(s, 1, 1 << 20); }, 2},
      {"random seed 3, stream 1", [](JournalSink* s) { WriteRandom(s, 3, 1 << 20); }, 1},
  };
  for (const Case& c : cases) ExpectSameEvents(Generate(c.Write, c.Stream), c.Name);
}

TEST(GeneratorTest, RandomJournalsAreDeterministicAndReachTheirSize) {
  for (const bool native : {true, false}) {
    const auto write = [](uint64_t seed) {
      return [seed](JournalSink* s) { WriteRandom(s, seed, 1 << 20); };
    };
    const std::string a = GenerateOne(native, write(5));
    const std::string b = GenerateOne(native, write(5));
    const std::string c = GenerateOne(native, write(6));
    EXPECT_TRUE(a == b) << "native " << native;
    EXPECT_FALSE(a == c) << "native " << native;
    EXPECT_GE(a.size(), 1u << 20) << "native " << native;
    EXPECT_LT(a.size(), (1u << 20) + (64u << 10)) << "native " << native;
    // Ends with a complete day: the last entry is a registration end.
    input_test::tRecorder writer;
    const std::string events = Convert(a, native, writer);
    const size_t last = events.rfind("Rec(4,1)");
    EXPECT_TRUE(last != std::string::npos && events.find("Jnl(", last) == std::string::npos)
        << "native " << native;
  }
}

}  // namespace
}  // namespace jgen
