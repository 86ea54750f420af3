#include "app/Log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "LogTestHelp.h"
#include "app/TimeTest.h"
#include "base/KvErrors.h"

namespace {

using log_test::kHeaderLine;
using tLines = std::vector<std::string>;

class LogTest : public log_test::LogFixture {};

// The lines of a summary at the left margin plus two blanks, with the
// given count lines.
tLines Summary(const tLines& counts, const std::string& elapsed = "00:00:00") {
  tLines lines = {"", "", "  > Summary:", ""};
  lines.insert(lines.end(), counts.begin(), counts.end());
  lines.insert(lines.end(),
               {"  < ", "", "  Elapsed time:" + std::string(27, ' ') + elapsed, "", "< =====", ""});
  return lines;
}

tLines Concat(tLines a, const tLines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(LogTest, KindsWrittenAndCounted) {
  struct Case {
    int kind;
    bool enabled;
    const char* line;  // nullptr: nothing written
  };
  const Case cases[] = {
      {0, false, "  x"},          {0, true, "  x"},          {1, false, "  x"},
      {1, true, "  x"},           {2, false, nullptr},       {2, true, "  x"},
      {3, false, nullptr},        {3, true, "  x [HINT]"},   {4, false, nullptr},
      {4, true, "  x [WARNING]"}, {5, false, "  x [ERROR]"}, {5, true, "  x [ERROR]"},
      {6, false, nullptr},        {6, true, "  x"},          {-1, false, "  x"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(LogName());
    {
      tLog log(LogName(), c.enabled);
      log.Add("x", c.kind);
      EXPECT_EQ(log.hints(), c.line != nullptr && c.kind == 3 ? 1 : 0);
      EXPECT_EQ(log.warnings(), c.line != nullptr && c.kind == 4 ? 1 : 0);
      EXPECT_EQ(log.errors(), c.kind == 5 ? 1 : 0);
    }
    const tLines lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    if (c.line != nullptr) {
      EXPECT_EQ(lines[1], c.line) << "kind " << c.kind << " enabled " << c.enabled;
    } else {
      EXPECT_EQ(lines[1], "") << "kind " << c.kind << " enabled " << c.enabled;  // the summary
    }
  }
}

TEST_F(LogTest, BlankTextsGiveAnEmptyLineAndAreNotCounted) {
  {
    tLog log(LogName(), true);
    log.Add("", tLog::kError);
    log.Add("   ", tLog::kWarning);
    log.Add("\t", tLog::kHint);
    EXPECT_EQ(log.errors() + log.warnings() + log.hints(), 0);
    log.Close();
  }
  EXPECT_EQ(Lines(), Concat({kHeaderLine, "", "", ""}, Summary({"    No errors detected."})));
}

TEST_F(LogTest, SummaryCountsAndElapsedTime) {
  {
    tLog log(LogName(), true);
    log.Add("e", tLog::kError);
    log.Add("w", tLog::kWarning);
    log.Add("w", tLog::kWarning);
    log.Add("h", tLog::kHint);
    tick += 3'723'999;  // 1 h 2 min 3.999 s: whole seconds
    log.Close();
    log.Close();
  }
  EXPECT_EQ(Lines(),
            Concat({kHeaderLine, "  e [ERROR]", "  w [WARNING]", "  w [WARNING]", "  h [HINT]"},
                   Summary({"    Errors:                                       1 [ERROR]",
                            "    Warnings:                                     2 [WARNING]",
                            "    Hints:                                        1 [HINT]"},
                           "01:02:03")));
}

TEST_F(LogTest, SectionsIndentOnlyWhenTheirKindIsWritten) {
  {
    tLog log(LogName(), false);
    log.BeginSection("entries", tLog::kEntry);  // not written: no indentation either
    log.Add("plain", tLog::kPlain);
    log.EndSection("entries", tLog::kEntry);
    log.BeginSection("block", tLog::kBlock);
    log.Add("inside", tLog::kError);
    log.EndSection("block", tLog::kBlock);
    EXPECT_EQ(log.indent(), "  ");
  }
  EXPECT_EQ(Lines(),
            Concat({kHeaderLine, "  plain", "  > block", "    inside [ERROR]", "  < block"},
                   Summary({"    Errors:                                       1 [ERROR]"})));
}

TEST_F(LogTest, OpenSectionsIndentTheSummary) {
  {
    tLog log(LogName(), true);
    log.BeginSection("block", tLog::kBlock);
  }
  const tLines lines = Lines();
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[4], "    > Summary:");
  EXPECT_EQ(lines[6], "      No errors detected.");
  EXPECT_EQ(lines[11], "  < =====");
}

TEST_F(LogTest, IndentationStopsAt255) {
  tLog log(LogName(), true);
  for (int i = 0; i < 200; ++i) log.BeginSection("s", tLog::kPlain);
  EXPECT_EQ(log.indent().size(), 254u);
  log.EndSection("s", tLog::kPlain);
  EXPECT_EQ(log.indent().size(), 252u);
}

TEST_F(LogTest, ASecondRunAppends) {
  { tLog(LogName(), false).Add("first", tLog::kPlain); }
  { tLog(LogName(), false).Add("second", tLog::kPlain); }
  const tLines run1 = Concat({kHeaderLine, "  first"}, Summary({"    No errors detected."}));
  const tLines run2 = Concat({kHeaderLine, "  second"}, Summary({"    No errors detected."}));
  EXPECT_EQ(Lines(), Concat(run1, run2));
}

TEST_F(LogTest, MissingFoldersAreCreatedAndABlankNameIsTheDefault) {
  const std::string folder = (dir / "a" / "b").string() + "/";
  { tLog log(folder + "  ", false); }
  EXPECT_TRUE(std::filesystem::exists(folder + "ExportInfo.txt"));
}

TEST_F(LogTest, AFolderThatCannotBeCreatedRaises) {
  std::ofstream(dir / "file") << "x";
  const std::string folder = (dir / "file" / "sub").string() + "/";
  try {
    tLog log(folder + "ExportInfo.txt", true);
    FAIL() << "no exception";
  } catch (const EKvIo&) {
    FAIL() << "EKvIo instead of EKvRoot";
  } catch (const EKvRoot& e) {
    EXPECT_EQ(std::string(e.what()), "Error creating destination directory: \"" + folder + "\"");
  }
}

TEST_F(LogTest, AFileThatCannotBeOpenedRaisesIo) {
  std::filesystem::create_directories(dir / "ExportInfo.txt");  // a folder in its place
  EXPECT_THROW(tLog(LogName(), true), EKvIo);
}

TEST_F(LogTest, WritingAfterCloseRaises) {
  tLog log(LogName(), true);
  log.Close();
  EXPECT_THROW(log.Add("late", tLog::kPlain), EKvIo);
}

TEST_F(LogTest, StopwatchShowsTheTimeSinceItsLastReading) {
  tTimeTest watch;
  tick += 65'000;
  EXPECT_EQ(watch.ElapsedText(), "00:01:05");
  EXPECT_EQ(watch.ElapsedText(), "00:00:00");  // reset by the reading
  tick += 86'400'000 + 1'000;                  // a day and a second: shown as a time of day
  EXPECT_EQ(watch.ElapsedText(), "00:00:01");
  tick -= 5'000;  // a clock that went back counts as no time
  EXPECT_EQ(watch.ElapsedText(), "00:00:00");
}

}  // namespace
