// Regional settings: separators and date/time formats. Filled once at
// start-up with the German defaults; everything that formats numbers, dates
// or times reads this struct, nothing reads the C/C++ locale.
// Format strings use the Windows pictures: d/dd, M/MM, yy/yyyy, h/hh, H/HH,
// m/mm, s/ss.
#pragma once

#include <string>

namespace platform {

struct RegionalSettings {
  char decimal_separator = ',';
  char thousand_separator = '.';
  int digit_grouping = 3;               // digits per thousands group
  char date_separator = '.';
  char time_separator = ':';
  std::string short_date_format = "dd.MM.yyyy";
  std::string long_date_format = "dddd, d. MMMM yyyy";
  std::string short_time_format = "HH:mm";
  std::string long_time_format = "HH:mm:ss";
};

// The settings in force. Tests may change them through MutableRegionalSettings.
const RegionalSettings& Regional();
RegionalSettings& MutableRegionalSettings();

}  // namespace platform
