// The small stand-ins: console capture and OS error texts.
#include "platform/Console.h"

#include <gtest/gtest.h>

#include <cerrno>

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

TEST(OsError, TextsComeFromTheSystem) {
  EXPECT_EQ(platform::OsErrorText(ENOENT), "No such file or directory");
  EXPECT_FALSE(platform::OsErrorText(0).empty());
  EXPECT_FALSE(platform::OsErrorText(99999).empty());
}

}  // namespace
