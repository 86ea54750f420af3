// The journal generator: its quoted texts, and its journals checked with the
// program's own inputs (both forms of a journal give the same events, so
// both writers' encodings agree with the program's parsers; the sample files
// are what the generator writes).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/FiscalDataParserNative.h"
#include "eval/FiscalDataParserAsciiInt.h"
#include "eval/InputTestHelp.h"
#include "gen/AsciiWriter.h"
#include "gen/NativeWriter.h"
#include "gen/Shop.h"
#include "gen/TeeSink.h"
#include "platform/TempDir.h"

namespace jgen {
namespace {

using testing_support::TempDir;

struct Pair {
  std::string Native, Ascii;
};

// Both forms of a journal; the native form steers a random journal's size,
// or the ASCII form.
Pair Generate(const std::function<void(JournalSink*)>& write, int streamVersion = 2,
              bool asciiSteers = false) {
  StringOut native, ascii;
  NativeWriter n(&native);
  AsciiWriter a(&ascii, streamVersion);
  JournalSink* const forms[] = {&n, &a};
  TeeSink tee(forms[asciiSteers], forms[!asciiSteers]);
  write(&tee);
  return {native.Text(), ascii.Text()};
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

// Quoting, also of texts the generated journals never hold (empty, quotes,
// "//"); numbers and times are checked by reading both forms back.
TEST(NativeWriterTest, QuotedTexts) {
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
}

TEST(GeneratorTest, SampleFilesAreUpToDate) {
  const std::string dir = std::string(JORVEX_SOURCE_DIR) + "/examples/";
  const Pair p = Generate(WriteSample);
  EXPECT_TRUE(p.Native == TempDir::ReadFile(dir + "sample-native.txt"))
      << "regenerate: jorvex-gen --form native --sample --out examples/sample-native.txt";
  EXPECT_TRUE(p.Ascii == TempDir::ReadFile(dir + "sample-ascii.txt"))
      << "regenerate: jorvex-gen --form ascii --sample --out examples/sample-ascii.txt";
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
      // Faults leave the journal readable: an entry left out, one added.
      {"sample, receipt deleted",
       [](JournalSink* s) { WriteSampleWith(s, {FaultKind::kReceiptDeleted, 2}); }, 2},
      {"random, training receipt",
       [](JournalSink* s) { WriteRandomWith(s, 2, 3 << 20, {FaultKind::kTrainingReceipt, 2}); }, 1},
  };
  for (const Case& c : cases) ExpectSameEvents(Generate(c.Write, c.Stream), c.Name);
}

TEST(GeneratorTest, RandomJournalsAreDeterministicAndReachTheirSize) {
  for (const bool native : {true, false}) {
    const auto journal = [native](uint64_t seed) {
      const Pair p =
          Generate([seed](JournalSink* s) { WriteRandom(s, seed, 1 << 20); }, 2, !native);
      return native ? p.Native : p.Ascii;
    };
    const std::string a = journal(5), b = journal(5), c = journal(6);
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
