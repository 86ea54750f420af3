#include "gen/GenJournal.h"

#include <cassert>

namespace jgen {
namespace {

// Days since 1 January 1970 of a civil date (proleptic Gregorian calendar).
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

}  // namespace

DateTime MakeDateTime(int year, int month, int day, int hour, int minute, int second) {
  const int64_t unixSeconds =
      DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return unixSeconds - kUnixOffset;
}

CivilTime SplitDateTime(DateTime dt) {
  assert(dt >= 86400);
  const int64_t unixSeconds = dt + kUnixOffset;
  CivilTime t;
  CivilFromDays(unixSeconds / 86400, t.Year, t.Month, t.Day);
  const auto secs = static_cast<int>(unixSeconds % 86400);
  t.Hour = secs / 3600;
  t.Minute = secs / 60 % 60;
  t.Second = secs % 60;
  return t;
}

}  // namespace jgen
