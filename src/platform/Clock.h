// The run's own clock: local wall-clock time for stamps and the log header,
// a monotonic millisecond tick for stopwatches. Tests can fix both.
// Journal date-times never go through here (they carry no time zone).
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

struct LocalTime {
  int Year = 0, Month = 0, Day = 0;  // month and day 1-based
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

LocalTime Now();
uint64_t TickMs();

// Replace the clock (empty function restores the real one).
void SetNowForTest(std::function<LocalTime()> now);
void SetTickForTest(std::function<uint64_t()> tick);

}  // namespace platform
