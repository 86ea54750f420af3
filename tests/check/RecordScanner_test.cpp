#include "check/RecordScanner.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "MemoryExport.h"

namespace check {
namespace {

using testing::TestTable;
using testing::tStringReader;

// Records as "line:field|field" joined by " / ", then findings as
// "C409@line:field" joined by " ".
std::string Scan(const tTableDecl& table, std::string_view text, size_t buffer = 64,
                 size_t chunk = 1 << 16) {
  tStringReader reader(text, chunk);
  tFindings findings(100);
  tRecordScanner scanner(table, reader, &findings, buffer);
  std::string out;
  while (scanner.Next()) {
    out += (out.empty() ? "" : " / ") + std::to_string(scanner.Line()) + ":";
    if (!scanner.IsData()) out += "~";
    for (size_t i = 0; i < scanner.Fields().size(); ++i) {
      out += (i ? "|" : "") + std::string(scanner.Fields()[i]);
    }
  }
  out += " #" + std::to_string(scanner.Lines());
  for (const tFinding& f : findings.Examples()) {
    out += " " + std::string(InfoOf(f.Code).Id) + "@" + std::to_string(f.Line) + ":" +
           std::to_string(f.Field);
  }
  return out;
}

struct tCase {
  const char* Text;
  std::function<void(tTableDecl&)> Tweak;
  const char* Expected;
};

TEST(RecordScanner, SplitsRecordsAndReportsStructure) {
  const auto none = [](tTableDecl&) {};
  const tCase cases[] = {
      {"a;b\r\nc;d\r\n", none, "1:a|b / 2:c|d #2"},
      {"a;b\r\nc;d", none, "1:a|b / 2:c|d #2 C415@2:0"},
      {"a;b\nc;d\r\n", none, "1:a|b / 2:c|d #2 C415@1:0"},
      {"a;b\rc;d\r\n", none, "1:a|b / 2:c|d #2 C415@1:0"},
      // a one-character field before CR LF
      {"a;b\r\n;x\r\nc;\r\n", none, "1:a|b / 2:|x / 3:c| #3"},
      {"\"a;\r\nb\";\"x\"\"y\"\r\nc;d\r\n", none, "1:a;\r\nb|x\"y / 3:c|d #3"},
      {"\"\";\"\"\"\"\r\n", none, "1:|\" #1"},
      {"\"ab;c\r\nd;e\r\n", none, "1:ab;c\r\nd;e\r\n #3 C409@1:1 C407@1:0"},
      {"a\"b;c\r\n", none, "1:a\"b|c #1 C409@1:1"},
      {"\"a\"b;c\r\n", none, "1:\"a\"b|c #1 C409@1:1"},
      {"a;b;c\r\nd\r\n", none, "1:a|b|c / 2:d #2 C407@1:0 C407@2:0"},
      {"", none, " #0"},
      {"\r\n", none, "1: #1 C407@1:0"},
      // header line, Range and SkipNumBytes
      {"A;B\r\na;b\r\n", [](tTableDecl& t) { t.RangeFrom = 2; }, "1:~A|B / 2:a|b #2"},
      {"a;b\r\nc;d\r\ne;f\r\n", [](tTableDecl& t) { t.RangeTo = 2; }, "1:a|b / 2:c|d #2"},
      {"A;B\r\n", [](tTableDecl& t) { t.RangeFrom = 3; }, "1:~A|B #1 C416@0:0"},
      {"xx\r\nyya;b\r\n", [](tTableDecl& t) { t.SkipNumBytes = 6; }, "2:a|b #2"},
      {"xx", [](tTableDecl& t) { t.SkipNumBytes = 6; }, " #0 C416@0:0"},
      // other delimiters, several bytes each
      {"a||b##c||d##",
       [](tTableDecl& t) {
         t.ColumnDelimiter = "||";
         t.RecordDelimiter = "##";
       },
       "1:a|b / 2:c|d #2"},
      {"a|b\n'x''y'|'z'\n",
       [](tTableDecl& t) {
         t.ColumnDelimiter = "|";
         t.RecordDelimiter = "\n";
         t.TextEncapsulator = "'";
       },
       "1:a|b / 2:x'y|z #2"},
      {"a;b\r\r\n", [](tTableDecl& t) { t.RecordDelimiter = "\n"; }, "1:a|b\r\r #1"},
      {"a;\"b\"\r\n", [](tTableDecl& t) { t.TextEncapsulator.clear(); }, "1:a|\"b\" #1"},
      {"\xEF\xBB\xBF"
       "a;b\r\n",
       [](tTableDecl& t) { t.Encoding = tEncoding::kUtf8; }, "1:a|b #1"},
      // fixed length, by Length and by record delimiter
      {"ab 12cd 3",
       [](tTableDecl& t) {
         t.Fixed = true;
         t.RecordDelimiter.clear();
         t.Columns[0].FixedFrom = 1;
         t.Columns[0].FixedLength = 3;
         t.Columns[1].FixedFrom = 4;
         t.Columns[1].FixedLength = 2;
       },
       "1:ab|12 / 2:cd|3 #2 C410@2:0"},
      {"ab 12\r\ncd 345\r\n",
       [](tTableDecl& t) {
         t.Fixed = true;
         t.Columns[0].FixedFrom = 1;
         t.Columns[0].FixedLength = 3;
         t.Columns[1].FixedFrom = 4;
         t.Columns[1].FixedLength = 2;
       },
       "1:ab|12 / 2:cd|34 #2 C410@2:0"},
  };
  for (const tCase& c : cases) {
    tTableDecl table = TestTable("T", {"A", "B"});
    c.Tweak(table);
    EXPECT_EQ(Scan(table, c.Text), c.Expected) << "input: " << c.Text;
  }
}

// However the bytes arrive and however small the buffer starts, the records
// and findings are the same.
TEST(RecordScanner, SameRecordsAtEveryBufferBoundary) {
  const std::string text = "a;\"b\"\"c\"\r\n\"x\r\ny\";z\r\n;\r\nq\"r;s\r\nu;v\nw;\"open";
  const tTableDecl table = TestTable("T", {"A", "B"});
  const std::string expected = Scan(table, text, 1 << 20);
  for (size_t buffer = 1; buffer <= text.size() + 1; ++buffer) {
    for (size_t chunk : {size_t{1}, size_t{3}, size_t{1} << 16}) {
      EXPECT_EQ(Scan(table, text, buffer, chunk), expected) << buffer << "/" << chunk;
    }
  }
}

// A file cut anywhere, also inside a multi-byte delimiter or encapsulator,
// still ends cleanly with its records so far.
TEST(RecordScanner, EveryTruncationEndsCleanly) {
  tTableDecl table = TestTable("T", {"A", "B"});
  table.ColumnDelimiter = "<>";
  table.TextEncapsulator = "''";
  const std::string text = "a<>''b''''c''\r\n''x<>\r\ny''<>z\r\n";
  for (size_t length = 0; length <= text.size(); ++length) {
    const std::string out = Scan(table, std::string_view(text).substr(0, length), 4, 1);
    EXPECT_EQ(out.starts_with("1:a|b''c"), length >= 13) << length << ": " << out;
  }
}

}  // namespace
}  // namespace check
