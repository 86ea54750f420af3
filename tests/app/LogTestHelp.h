// Test helpers for the export log: a fixed clock, a scratch folder and the
// file content as lines.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/RegionalSettings.h"

namespace log_test {

// Fixes the clock at 22.06.2016 07:49:19 with the tick at 1000 ms, gives
// each test its own empty folder and German regional settings.
class LogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::LocalTime now;
    now.year = 2016;
    now.month = 6;
    now.day = 22;
    now.hour = 7;
    now.minute = 49;
    now.second = 19;
    platform::SetNowForTest([now] { return now; });
    platform::SetTickForTest([this] { return tick; });
    platform::MutableRegionalSettings() = platform::RegionalSettings{};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::filesystem::temp_directory_path() /
          ("jorvex-log-" + std::string(info->test_suite_name()) + "-" + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    platform::SetNowForTest(nullptr);
    platform::SetTickForTest(nullptr);
    std::filesystem::remove_all(dir);
  }

  std::string LogName() const { return (dir / "ExportInfo.txt").string(); }

  // The file's lines; every line must end with CR LF.
  std::vector<std::string> Lines() const {
    std::ifstream in(LogName(), std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
      const size_t end = text.find("\r\n", start);
      if (end == std::string::npos) {
        ADD_FAILURE() << "last line without CR LF: " << text.substr(start);
        break;
      }
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  uint64_t tick = 1000;
  std::filesystem::path dir;
};

inline constexpr const char* kHeaderLine =
    "> ===== 22.06.2016  07:49:19  [Nexo Center Fiscal Export (Germany) - 1.2.1.2]";

}  // namespace log_test
