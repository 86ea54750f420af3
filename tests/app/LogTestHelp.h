// Test helpers for the export log and whole runs: a fixed clock (22.06.2016
// 07:49:19, the tick at 1000 ms), default regional settings, a scratch
// folder, the expected file content from its lines; for a run also the
// console captured and the program's folder (its INI file) in a scratch
// folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/Paths.h"
#include "platform/RegionalSettings.h"
#include "platform/TempDir.h"

namespace log_test {

using tLines = std::vector<std::string>;

class LogFixture : public ::testing::Test {
 protected:
  LogFixture() {
    platform::LocalTime now;
    now.Year = 2016, now.Month = 6, now.Day = 22, now.Hour = 7, now.Minute = 49, now.Second = 19;
    platform::SetNowForTest([now] { return now; });
    platform::SetTickForTest([this] { return tick_; });
    platform::MutableRegionalSettings() = platform::RegionalSettings{};
  }
  ~LogFixture() override {
    platform::SetNowForTest(nullptr);
    platform::SetTickForTest(nullptr);
  }

  std::string LogName() const { return dir_.Path("ExportInfo.txt"); }
  std::string Text() const { return dir_.Read("ExportInfo.txt"); }

  uint64_t tick_ = 1000;
  testing_support::TempDir dir_;
};

class RunFixture : public LogFixture {
 protected:
  RunFixture() {
    platform::SetConsoleSinkForTest(&console_);
    platform::SetExecutablePathForTest(program_.Path("Jorvex"));
  }
  ~RunFixture() override {
    platform::SetConsoleSinkForTest(nullptr);
    platform::SetExecutablePathForTest("");
  }

  testing_support::TempDir program_;
  std::string console_;
};

// The lines joined, each ended by CR LF.
inline std::string Crlf(std::initializer_list<tLines> parts) {
  std::string text;
  for (const tLines& lines : parts) {
    for (const std::string& line : lines) text += line + "\r\n";
  }
  return text;
}

inline constexpr const char* kHeaderLine =
    "> ===== 22.06.2016  07:49:19  [Nexo Center Fiscal Export (Germany) - 1.2.1.2]";

// The summary with the given count lines, indented by two blanks plus
// extra (the sections still open).
inline tLines Summary(const tLines& counts, const std::string& elapsed = "00:00:00",
                      const std::string& extra = "") {
  tLines lines = {"", "", "  > Summary:", ""};
  lines.insert(lines.end(), counts.begin(), counts.end());
  lines.insert(lines.end(),
               {"  < ", "", "  Elapsed time:" + std::string(27, ' ') + elapsed, "", "< =====", ""});
  for (std::string& line : lines) line = line.empty() ? line : extra + line;
  return lines;
}

}  // namespace log_test
