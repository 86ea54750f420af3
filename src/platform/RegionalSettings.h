// Regional settings: separators and date/time formats. Filled once at
// start-up with the German defaults; everything that formats numbers, dates
// or times reads this struct, nothing reads the C/C++ locale.
// Format strings use the Windows pictures: d/dd, M/MM, yy/yyyy, h/hh, H/HH,
// m/mm, s/ss.
#pragma once

#include <string>

namespace platform {

struct RegionalSettings {
  char DecimalSeparator = ',';
  char ThousandSeparator = '.';
  int DigitGrouping = 3;  // digits per thousands group
  char DateSeparator = '.';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "dd.MM.yyyy";
  std::string LongDateFormat = "dddd, d. MMMM yyyy";
  std::string ShortTimeFormat = "HH:mm";
  std::string LongTimeFormat = "HH:mm:ss";
};

// The settings in force. Tests may change them through MutableRegionalSettings.
const RegionalSettings& Regional();
RegionalSettings& MutableRegionalSettings();

}  // namespace platform
