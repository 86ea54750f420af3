// The CSV dialect: the formatting rules (table-driven) and the table file's
// line building and publishing.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>

#include "base/RaiseTestHelp.h"
#include "idea/FileHdlCSV.h"
#include "idea/FiscalStreamPickerCSVOptimized.h"
#include "platform/RegionalSettings.h"
#include "platform/TempDir.h"

namespace {

using F = tFiscalStreamPickerCSVOptimized;
using testing_support::TempDir;

tKvBcd Bcd(const char* text) { return tKvBcd::FromText(text); }

struct FormatCase {
  const char* What;
  std::function<void(tCsvLine&)> Format;
  const char* Expected;
};

// Non-zero decimals in the usual range: FastPathsAgreeWithReferences.
TEST(CsvFormatTest, GermanRegionalSettings) {
  platform::MutableRegionalSettings() = platform::RegionalSettings{};
  const tKvDateTime march5 = tKvDateTime::Encode(2016, 3, 5, 7, 8, 9);
  const FormatCase cases[] = {
      {"BcdDec 1234.5", [](auto& o) { F::FmtBcdDec(o, Bcd("1234.5"), 2); }, "1.234,50"},
      {"BcdDec 0.05", [](auto& o) { F::FmtBcdDec(o, Bcd("0.05"), 2); }, "0,05"},
      {"BcdDec zero", [](auto& o) { F::FmtBcdDec(o, Bcd("0"), 2); }, ""},
      {"BcdDec d=0 means 2", [](auto& o) { F::FmtBcdDec(o, Bcd("-7"), 0); }, "-7,00"},
      {"BcdDec rounds half up", [](auto& o) { F::FmtBcdDec(o, Bcd("999.995"), 2); }, "1.000,00"},
      {"BcdDec tiny negative", [](auto& o) { F::FmtBcdDec(o, Bcd("-0.001"), 2); }, "0,00"},
      {"Float zero", [](auto& o) { F::FmtFloat(o, Bcd("0")); }, ""},
      {"Float small fixed", [](auto& o) { F::FmtFloat(o, Bcd("0.000012")); }, "0,000012"},
      {"Float small scientific", [](auto& o) { F::FmtFloat(o, Bcd("0.0000099")); }, "9,9E-06"},
      {"Float 16 integer digits", [](auto& o) { F::FmtFloat(o, Bcd("1234567890123456")); },
       "1,23456789012346E15"},
      {"Float exponent digits", [](auto& o) { F::FmtFloat(o, Bcd("2E20"), 3); }, "2E020"},
      {"BcdFix", [](auto& o) { F::FmtBcdFix(o, tKvBcdFix::FromText("0101")); }, "101"},
      {"BcdFix zero", [](auto& o) { F::FmtBcdFix(o, tKvBcdFix{}); }, ""},
      {"Date", [&](auto& o) { F::FmtDate(o, march5); }, "05.03.2016"},
      {"Date null", [](auto& o) { F::FmtDate(o, tKvDateTime()); }, ""},
      {"Time", [&](auto& o) { F::FmtTime(o, march5); }, "07:08:09"},
      {"Time midnight", [&](auto& o) { F::FmtTime(o, march5.DatePart()); }, "00:00:00"},
      {"Time null", [](auto& o) { F::FmtTime(o, tKvDateTime()); }, ""},
      {"Int", [](auto& o) { F::FmtInt(o, -42); }, "-42"},
      {"Int zero", [](auto& o) { F::FmtInt(o, 0); }, ""},
      {"Text", [](auto& o) { F::FmtText(o, "a\"b"); }, "\"a\"\"b\""},
      {"Text one quote", [](auto& o) { F::FmtText(o, "\""); }, "\"\"\"\""},
      {"Text blanks", [](auto& o) { F::FmtText(o, "   "); }, "   "},
      {"Text empty", [](auto& o) { F::FmtText(o, ""); }, ""},
  };
  for (const FormatCase& c : cases) {
    tCsvLine out;
    out += 'x';
    c.Format(out);
    EXPECT_EQ(out.view(), std::string("x") + c.Expected) << c.What;
  }
}

// The decimal fast paths against the plain ones: FmtBcd against the
// number's own text, FmtFloat against printf of the binary value (in the
// range where both use fixed notation).
TEST(CsvFormatTest, FastPathsAgreeWithReferences) {
  platform::MutableRegionalSettings() = platform::RegionalSettings{};
  std::mt19937_64 random(42);
  for (int n = 0; n < 20000; ++n) {
    tKvBcd value;
    const int exponent = 1 + static_cast<int>(random() % 127);
    value.Bytes[0] = static_cast<uint8_t>(exponent | (random() % 2 ? 0x80 : 0));
    const int significant = 1 + static_cast<int>(random() % 18);
    for (int i = 0; i < significant; ++i) {
      const unsigned digit = n % 50 == 0 ? random() % 16 : random() % 10;  // some odd nibbles
      uint8_t& byte = value.Bytes[static_cast<size_t>(9 - i / 2)];
      byte = static_cast<uint8_t>(i % 2 == 0 ? byte | (digit << 4) : byte | digit);
    }
    if (value.IsZero()) continue;
    tCsvLine bcd;
    F::FmtBcd(bcd, value);
    ASSERT_EQ(bcd.view(), value.Text(false)) << n;

    const long double binary = tKvBcd::ToFloat(value);
    const long double magnitude = binary < 0 ? -binary : binary;
    if (magnitude < 0.0001L || magnitude >= 1e15L || n % 50 == 0) continue;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.15Lg", binary);
    for (char& c : expected) c = c == '.' ? ',' : c;
    tCsvLine fmt;
    F::FmtFloat(fmt, value);
    ASSERT_EQ(fmt.view(), expected) << n << " " << value.Text(true);
  }
}

// Fields and lines; publishing is the file unit's (WholeFile_test), but a
// table never replaces a file of its name.
TEST(FileHdlCSVTest, FieldsLinesAndPublishing) {
  TempDir dir;
  for (const bool published : {true, false}) {
    tFileHdlCSV csv(dir.Path("T.csv"), false, ';');
    csv.AddField("a", 1);
    csv.AddField("b", 3);
    csv.EndLine(5);
    csv.AddField("c", 2);
    csv.AddField("d", 0);  // at or below the count: the next field
    csv.EndLine(2);
    csv.HasData = true;
    EXPECT_EQ(raise_test::MessageOf<EKvIo>([&] { csv.Finish(); }) == "<no exception>", published);
    EXPECT_EQ(csv.Published(), published);
  }
  EXPECT_EQ(dir.Read("T.csv"), "a;;b;;\r\n;c;d\r\n");
}

}  // namespace
