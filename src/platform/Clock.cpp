#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace platform {
namespace {
std::function<LocalTime()>& NowOverride() {
  static std::function<LocalTime()> f;
  return f;
}
std::function<uint64_t()>& TickOverride() {
  static std::function<uint64_t()> f;
  return f;
}
}  // namespace

LocalTime Now() {
  if (NowOverride()) return NowOverride()();
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  LocalTime lt;
  lt.Year = tm.tm_year + 1900;
  lt.Month = tm.tm_mon + 1;
  lt.Day = tm.tm_mday;
  lt.Hour = tm.tm_hour;
  lt.Minute = tm.tm_min;
  lt.Second = tm.tm_sec;
  lt.Millisecond = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  return lt;
}

uint64_t TickMs() {
  if (TickOverride()) return TickOverride()();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void SetNowForTest(std::function<LocalTime()> now) { NowOverride() = std::move(now); }
void SetTickForTest(std::function<uint64_t()> tick) { TickOverride() = std::move(tick); }

}  // namespace platform
