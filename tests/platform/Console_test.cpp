#include "platform/Console.h"

#include <gtest/gtest.h>

namespace {

TEST(Console, SinkCapturesWrites) {
  std::string captured;
  platform::SetConsoleSinkForTest(&captured);
  platform::ConsoleWrite("a");
  platform::ConsoleWrite("\rb\n");
  platform::SetConsoleSinkForTest(nullptr);
  EXPECT_EQ(captured, "a\rb\n");
}

}  // namespace
