// tFiscalStreamPickerCSVOptimized: the picker every table of the export
// derives from; it adds the eight operations that turn record values into
// field texts of the CSV dialect: zero numbers and null dates are empty
// fields, decimals use the regional decimal separator (and, where said,
// the regional digit grouping), dates are DD.MM.YYYY, times the regional
// long time format, texts are quoted with inner quotes doubled.
//
// Each operation appends the field text to out (the line being built, see
// tFileHdlCSV::Field), so that formatting a field allocates nothing. They
// read the regional settings in force and never fail.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "eval/KvFiscalStreamPicker.h"
#include "idea/CsvLine.h"
#include "stream/KvBcd.h"
#include "stream/KvTypes.h"

class tFiscalStreamPickerCSVOptimized : public tKvFiscalStreamPicker {
 public:
  using tKvFiscalStreamPicker::tKvFiscalStreamPicker;

  // The value through the nearest binary floating-point number, 15
  // significant digits, trailing fraction zeros dropped, no grouping: fixed
  // notation from 0.00001 up to 15 integer digits, otherwise d.dddE[-]xx
  // with at least decimals exponent digits (2 when decimals is 0).
  static void FmtFloat(tCsvLine& out, const tKvBcd& value, int8_t decimals = 0);
  // The exact decimal with all its significant fraction digits, grouped.
  static void FmtBcd(tCsvLine& out, const tKvBcd& value);
  // The exact decimal rounded (half away from zero) to exactly decimals
  // fraction digits (2 when decimals is 0), grouped.
  static void FmtBcdDec(tCsvLine& out, const tKvBcd& value, int8_t decimals);
  // The digit text.
  static void FmtBcdFix(tCsvLine& out, const tKvBcdFix& value);
  // DD.MM.YYYY; nothing without a date part. False, appending nothing, for
  // a date past 31.12.9999, which four year digits cannot hold.
  static bool FmtDate(tCsvLine& out, const tKvDateTime& value);
  // The time of day in the long time format; nothing for the null value.
  static void FmtTime(tCsvLine& out, const tKvDateTime& value);
  static void FmtInt(tCsvLine& out, int32_t value);
  // The text unchanged when empty or blanks only; otherwise enclosed in
  // quote with every quote inside doubled.
  static void FmtText(tCsvLine& out, std::string_view text, char quote = '"');

  // The decimal digits of value, also for 0.
  static void AppendInt(tCsvLine& out, int64_t value);
  // The time of day in the long time format, also for the null value.
  static void AppendLongTime(tCsvLine& out, const tKvDateTime& value);
};
