#include "app/TimeTest.h"

#include "platform/Clock.h"
#include "platform/RegionalSettings.h"
#include "stream/KvTypes.h"

tTimeTest::tTimeTest() : Ticks(platform::TickMs()) {}

tTimeTest::~tTimeTest() = default;

std::string tTimeTest::ElapsedText() {
  const uint64_t now = platform::TickMs();
  // A tick source that went backwards (a substituted clock) counts as no time.
  const uint64_t elapsedMs = now >= Ticks ? now - Ticks : 0;
  Ticks = now;
  const auto seconds = static_cast<int64_t>((elapsedMs / 1000) % tKvDateTime::kSecondsPerDay);
  return tKvDateTime(seconds).Format(platform::Regional().LongTimeFormat);
}
