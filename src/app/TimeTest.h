// tTimeTest: the stopwatch of the export log. It remembers the millisecond
// tick of the system clock (platform/Clock.h, which tests can fix) and tells
// the time passed since then as a time of day. Owns nothing; never fails.
#pragma once

#include <cstdint>
#include <string>

#include "base/KvClass.h"

class tTimeTest : public tKvClass {
 public:
  // Ticks := the tick count now.
  tTimeTest();
  tTimeTest(const tTimeTest&) = delete;
  tTimeTest& operator=(const tTimeTest&) = delete;
  ~tTimeTest() override;

  // The milliseconds since Ticks shown as a time of day in the regional long
  // time format (whole seconds, hours modulo 24), e.g. "00:01:05"; then
  // Ticks := now, so the next reading measures from here.
  std::string ElapsedText();

  uint64_t ticks() const { return Ticks; }

 private:
  uint64_t Ticks = 0;
};
