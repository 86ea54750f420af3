// The period selection on event streams: which periods reach downstream,
// with their blocks, and what the figures say.
#include "app/PeriodSelection.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "stream/KvKPosComStreamData.h"

namespace {

// Records block numbers ("B<id>") and entry kinds.
class tTrace final : public tKvKPosFiscalStreamWriter {
 public:
  std::string Text;
  void AddItem(int32_t, std::unique_ptr<tKvKPosData>) override {}
  void FileHeader(const tKvKPosTextFileHeaderRec&) override {}
  void StreamHeader(const tKvKPosFileHeaderRec&) override {}
  void SetVersion(int32_t, int32_t) override {}
  void BlockInfo(const tKvKPosBlockInfoRec& info) override {
    Text += " B" + std::to_string(info.ID);
  }
  void EntryStart(const tKvKPosEntryInfoRec&) override {}
  void EntryEnd() override {}
  void Link(int32_t) override {}
  void RecordStart(int32_t type, int32_t level) override {
    if (level == 1) Text += " " + std::to_string(type);
  }
};

tKvDateTime Day(const std::string& ddmm) { return ParsePeriodDay(ddmm + ".2024"); }

// "B<id>" a block; "<kind>@<DD.MM>" an entry of that kind dated that day
// (kind 4 is the closing). The header fields come as elements (as from a
// binary journal) or as values (as from a text journal).
void Feed(tKvKPosFiscalStreamWriter& w, const std::string& journal, bool asValues) {
  std::istringstream in(journal);
  for (std::string token; in >> token;) {
    if (token[0] == 'B') {
      tKvKPosBlockInfoRec block;
      block.ID = std::stoi(token.substr(1));
      w.BlockInfo(block);
      continue;
    }
    const size_t at = token.find('@');
    w.EntryStart(tKvKPosEntryInfoRec{1, 2, 0, 1252});
    w.RecordStart(std::stoi(token.substr(0, at)), 1);
    w.RecordStart(1, 2);
    const tKvDateTime day = Day(token.substr(at + 1));
    if (asValues) {
      w.AddValue(1, tKvKPosValue::Time(day));
      w.AddValue(9, tKvKPosValue::Int(7));
    } else {
      w.AddItem(1, std::make_unique<tKvKPosDataTime>(day));
      w.AddItem(9, std::make_unique<tKvKPosDataInt>(7));
    }
    w.EntryEnd();
  }
}

TEST(PeriodSelection, PeriodsWithTheirBlocks) {
  struct tCase {
    const char* journal;
    const char* from;
    const char* to;
    const char* passed;
    int64_t selected, leftOut;
    bool open;
  } cases[] = {
      // the closing's day counts: period 2 closes after midnight
      {"B1 3@01.03 2@01.03 4@01.03 B2 3@02.03 2@03.03 4@03.03 B3 3@03.03 4@03.03", "03.03", "03.03",
       " B2 3 2 4 B3 3 4", 2, 1, false},
      // a selected period continues a block whose start was left out
      {"B1 3@01.03 4@01.03 3@02.03 4@02.03", "02.03", "", " B1 3 4", 1, 1, false},
      // an open period at the end goes by its first entry
      {"B1 3@01.03 4@01.03 3@02.03 2@02.03", "02.03", "", " B1 3 2", 1, 1, true},
      {"B1 3@01.03 4@01.03 3@02.03 2@02.03", "", "01.03", " B1 3 4", 1, 1, false},
      {"B1 3@01.03 4@01.03 B2 3@02.03 4@02.03", "05.03", "", "", 0, 2, false},
  };
  for (const tCase& c : cases) {
    for (const bool asValues : {false, true}) {
      SCOPED_TRACE(std::string(c.journal) + (asValues ? " (values)" : " (elements)"));
      tTrace trace;
      tPeriodSelection selection(
          {*c.from ? Day(c.from) : tKvDateTime(), *c.to ? Day(c.to) : tKvDateTime()}, trace);
      Feed(selection, c.journal, asValues);
      selection.Finish();
      EXPECT_EQ(trace.Text, c.passed);
      EXPECT_EQ(selection.figures().PeriodsSelected, c.selected);
      EXPECT_EQ(selection.figures().PeriodsLeftOut, c.leftOut);
      EXPECT_EQ(selection.figures().OpenPeriodSelected, c.open);
    }
  }
}

TEST(PeriodSelection, DaysAreRealDates) {
  EXPECT_EQ(ParsePeriodDay("29.02.2024").Value, Day("29.02").Value);
  for (const char* bad : {"29.02.2023", "31.04.2024", "01.01.1900", "00.01.2024", "1.1.2024",
                          "2024-01-01", "", "01.13.2024"}) {
    EXPECT_TRUE(ParsePeriodDay(bad).IsNull()) << bad;
  }
}

}  // namespace
