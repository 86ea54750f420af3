#include "app/Log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "LogTestHelp.h"
#include "app/TimeTest.h"
#include "base/KvErrors.h"

namespace {

using log_test::Crlf;
using log_test::kHeaderLine;
using log_test::Summary;

class LogTest : public log_test::LogFixture {};

// Without /L only plain lines, block lines and errors are written (kinds
// above 5 behave like entry lines); only written hints and warnings count.
// Blank texts give an empty line and are not counted; the elapsed time shows
// whole seconds; closing twice writes one summary.
TEST_F(LogTest, KindsWrittenAndCounted) {
  for (const bool enabled : {true, false}) {
    std::filesystem::remove(LogName());
    {
      tLog log(LogName(), enabled);
      for (const int kind : {0, 1, 2, 3, 4, 5, 6, -1}) log.Add("x" + std::to_string(kind), kind);
      log.Add("", tLog::kError);
      log.Add("   ", tLog::kWarning);
      log.Add("\t", tLog::kHint);
      tick_ += 3'723'999;
      log.Close();
      log.Close();
      EXPECT_THROW(log.Add("late", tLog::kPlain), EKvIo);
    }
    const std::string errors = "    Errors:                                       1 [ERROR]";
    EXPECT_EQ(Text(),
              enabled
                  ? Crlf({{kHeaderLine, "  x0", "  x1", "  x2", "  x3 [HINT]", "  x4 [WARNING]",
                           "  x5 [ERROR]", "  x6", "  x-1", "", "", ""},
                          Summary({errors,
                                   "    Warnings:                                     1 [WARNING]",
                                   "    Hints:                                        1 [HINT]"},
                                  "01:02:03")})
                  : Crlf({{kHeaderLine, "  x0", "  x1", "  x5 [ERROR]", "  x-1", ""},
                          Summary({errors}, "01:02:03")}));
  }
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
    log.BeginSection("open", tLog::kBlock);  // open sections indent the summary
  }
  EXPECT_EQ(
      Text(),
      Crlf({{kHeaderLine, "  plain", "  > block", "    inside [ERROR]", "  < block", "  > open"},
            Summary({"    Errors:                                       1 [ERROR]"}, "00:00:00",
                    "  ")}));
}

TEST_F(LogTest, IndentationStopsAt255) {
  tLog log(LogName(), true);
  for (int i = 0; i < 200; ++i) log.BeginSection("s", tLog::kPlain);
  EXPECT_EQ(log.indent().size(), 254u);
  log.EndSection("s", tLog::kPlain);
  EXPECT_EQ(log.indent().size(), 252u);
}

TEST_F(LogTest, FoldersAndFiles) {
  // Missing folders are created; a blank name is the default name.
  const std::string folder = dir_.Path("a/b/");
  { tLog log(folder + "  ", false); }
  EXPECT_TRUE(std::filesystem::exists(folder + "ExportInfo.txt"));

  dir_.Write("file", "x");
  try {
    tLog log(dir_.Path("file/sub/ExportInfo.txt"), true);
    FAIL() << "no exception";
  } catch (const EKvIo&) {
    FAIL() << "EKvIo instead of EKvRoot";
  } catch (const EKvRoot& e) {
    EXPECT_EQ(std::string(e.what()),
              "Error creating destination directory: \"" + dir_.Path("file/sub/") + "\"");
  }
  std::filesystem::create_directories(LogName());  // a folder in the file's place
  EXPECT_THROW(tLog(LogName(), true), EKvIo);
}

TEST_F(LogTest, StopwatchShowsTheTimeSinceItsLastReading) {
  tTimeTest watch;
  tick_ += 65'000;
  EXPECT_EQ(watch.ElapsedText(), "00:01:05");
  EXPECT_EQ(watch.ElapsedText(), "00:00:00");  // reset by the reading
  tick_ += 86'400'000 + 1'000;                 // a day and a second: shown as a time of day
  EXPECT_EQ(watch.ElapsedText(), "00:00:01");
  tick_ -= 5'000;  // a clock that went back counts as no time
  EXPECT_EQ(watch.ElapsedText(), "00:00:00");
}

}  // namespace
