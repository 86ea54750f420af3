#include "check/TableCheck.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "MemoryExport.h"

namespace check {
namespace {

using testing::TestTable;
using testing::tMemoryExport;

// Head (ID key, NAME) and Line (HEAD key part, NO key part, AMOUNT Numeric
// with two decimals), Line.HEAD referencing Head.
tExportIndex TwoTables() {
  tExportIndex index;
  index.Tables.push_back(TestTable("Line", {"*HEAD", "*NO", "AMOUNT"}));
  index.Tables.push_back(TestTable("Head", {"*ID", "NAME"}));
  index.Tables[0].Columns[2].Type = tColumnType::kNumeric;
  index.Tables[0].Columns[2].Accuracy = 2;
  tForeignKeyDecl fk;
  fk.Columns = {"HEAD"};
  fk.References = "Head";
  fk.Target = 1;
  fk.TargetColumns = {0};
  index.Tables[0].ForeignKeys.push_back(fk);
  return index;
}

// "C501 Line.csv:3:1 [excerpt]" per example, in the order found.
std::string Check(const tExportIndex& index, std::map<std::string, std::string> files,
                  uint64_t keyMemory = 1 << 20) {
  tMemoryExport source(std::move(files), 7);
  tFindings findings(10);
  CheckTables(index, source, tTableCheckOptions{keyMemory}, findings);
  std::string out;
  for (const tFinding& f : findings.Examples()) {
    out += (out.empty() ? "" : " ") + std::string(InfoOf(f.Code).Id) + " " + f.File + ":" +
           std::to_string(f.Line) + ":" + std::to_string(f.Field) + " [" + f.Excerpt + "]";
  }
  return out;
}

struct tCase {
  const char* Head;
  const char* Line;
  std::function<void(tExportIndex&)> Tweak;
  uint64_t KeyMemory;
  const char* Expected;
};

TEST(TableCheck, ContentsAndKeysAcrossTables) {
  const auto none = [](tExportIndex&) {};
  const auto range2 = [](tExportIndex& x) {
    for (auto& t : x.Tables) t.RangeFrom = 2;
  };
  const tCase cases[] = {
      {"1;a\r\n2;b\r\n", "1;1;1,50\r\n1;2;2\r\n2;1;-3\r\n", none, 1 << 20, ""},
      // the referenced table is read first although declared second
      {"1;a\r\n1;b\r\n2;\x81\r\n", "1;1;x\r\n3;1;1,505\r\n;1;1\r\n", none, 1 << 20,
       "C408 Head.csv:3:2 [\xC2\x81] C501 Head.csv:2:1 [1] C401 Line.csv:1:3 [x] "
       "C404 Line.csv:2:3 [1,505] C503 Line.csv:2:1 [3] C502 Line.csv:3:1 [;1]"},
      {"1;a\r\n", "1;1;1\r\n1;1;2\r\n;;3\r\n", none, 1 << 20,
       "C502 Line.csv:3:1 [;] C501 Line.csv:2:1 [1;1]"},
      // header lines: declared by Range, in another order, or read as data
      {"ID;NAME\r\n1;a\r\n", "HEAD;NO;AMOUNT\r\n1;1;1\r\n", range2, 1 << 20, ""},
      {"NAME;ID\r\n1;a\r\n", "HEAD;NO;AMOUNT\r\n1;1;1\r\n", range2, 1 << 20,
       "C412 Head.csv:1:0 [NAME]"},
      {"ID;NAME\r\n1;a\r\n", "HEAD;NO;AMOUNT\r\n1;1;1\r\n", none, 1 << 20,
       "C413 Head.csv:1:0 [ID] C413 Line.csv:1:0 [HEAD]"},
      // a referenced table that cannot be read, or whose keys passed the memory limit
      {"1;a\r\n", "1;1;1\r\n", [](tExportIndex& x) { x.Tables[1].Url = "gone.csv"; }, 1 << 20,
       "C504 Line.csv:0:1 []"},
      {"1;a\r\n2;b\r\n", "1;1;1\r\n", none, 8, "C505 Head.csv:2:0 [] C504 Line.csv:0:1 []"},
      // a table referencing itself is checked in a pass of its own after the others
      {"1;a\r\n2;1\r\n3;9\r\n", "",
       [](tExportIndex& x) {
         x.Tables[1].ForeignKeys = x.Tables[0].ForeignKeys;
         x.Tables[1].ForeignKeys[0].Columns = {"NAME"};
         x.Tables[0].ForeignKeys.clear();
       },
       1 << 20, "C503 Head.csv:1:2 [a] C503 Head.csv:3:2 [9]"},
  };
  for (const tCase& c : cases) {
    tExportIndex index = TwoTables();
    c.Tweak(index);
    EXPECT_EQ(Check(index, {{"Head.csv", c.Head}, {"Line.csv", c.Line}}, c.KeyMemory), c.Expected)
        << c.Head << "|" << c.Line;
  }
}

}  // namespace
}  // namespace check
