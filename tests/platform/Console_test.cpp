// The small stand-ins: console capture, clock override, OS error texts.
#include "platform/Console.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/Clock.h"
#include "platform/OsError.h"

namespace {

TEST(Console, SinkCapturesWrites) {
  std::string captured;
  platform::SetConsoleSinkForTest(&captured);
  platform::ConsoleWrite("a");
  platform::ConsoleWrite("\rb\n");
  platform::SetConsoleSinkForTest(nullptr);
  EXPECT_EQ(captured, "a\rb\n");
}

TEST(Clock, OverridesAndRestores) {
  platform::SetNowForTest([] {
    platform::LocalTime t;
    t.year = 2016;
    t.month = 6;
    t.day = 22;
    return t;
  });
  platform::SetTickForTest([] { return uint64_t{42}; });
  EXPECT_EQ(platform::Now().year, 2016);
  EXPECT_EQ(platform::TickMs(), 42u);
  platform::SetNowForTest(nullptr);
  platform::SetTickForTest(nullptr);
  platform::LocalTime now = platform::Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  uint64_t a = platform::TickMs();
  EXPECT_GE(platform::TickMs(), a);
}

TEST(OsError, TextsComeFromTheSystem) {
  EXPECT_EQ(platform::OsErrorText(ENOENT), "No such file or directory");
  EXPECT_FALSE(platform::OsErrorText(0).empty());
  EXPECT_FALSE(platform::OsErrorText(99999).empty());
}

}  // namespace
