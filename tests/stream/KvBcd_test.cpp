#include "stream/KvBcd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/RegionalSettings.h"

namespace {

tKvBcd B(const char* text) { return tKvBcd::FromText(text); }

std::string Hex(const tKvBcd& v) {
  std::string out;
  char buf[4];
  for (uint8_t b : v.Bytes) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    out += buf;
  }
  return out;
}

// Restores the German defaults after a test changed them.
struct RegionalGuard {
  platform::RegionalSettings saved = platform::Regional();
  ~RegionalGuard() { platform::MutableRegionalSettings() = saved; }
};

TEST(KvBcdTest, StoredForm) {
  // 100: exponent 66, d1 = 1 in the high nibble of byte 9.
  EXPECT_EQ(Hex(B("100")), "42000000000000000010");
  EXPECT_EQ(Hex(B("-0.05")), "BE000000000000000050");
  EXPECT_EQ(Hex(B("0")), "00000000000000000000");
  EXPECT_EQ(Hex(B("123456789012345678")), "51785634129078563412");
}

struct TextCase {
  const char* in;
  const char* compact;
  int exponent;
};

TEST(KvBcdTest, FromTextAndBack) {
  const TextCase cases[] = {
      {"  -0.050", "-0.05", 62},
      {"+12.5", "12.5", 65},
      {"3", "3", 64},
      {".5", "0.5", 63},
      {"-.25", "-0.25", 63},
      {"000123.4500", "123.45", 66},
      {"0.000", "0", 0},
      {"-0", "0", 0},
      {"1E3", "1000", 67},
      {"1.5e-2", "0.015", 62},
      {"25E+0", "25", 65},
      {"0E200", "0", 0},  // no digit: zero whatever the exponent
      {"1E-70", "0", 0},  // underflow is zero
      // 19 significant digits: the 19th rounds half up.
      {"1234567890123456789", "1234567890123456790", 82},
      {"1234567890123456784", "1234567890123456780", 82},
      {"9999999999999999995", "10000000000000000000", 83},
      {"0.99999999999999999999", "1", 64},
      {"123456789012345678.4", "123456789012345678", 81},
  };
  for (const auto& c : cases) {
    const tKvBcd v = B(c.in);
    EXPECT_EQ(v.Text(true), c.compact) << c.in;
    EXPECT_EQ(v.Exponent(), c.exponent) << c.in;
    // The compact text reads back to the same value.
    EXPECT_EQ(tKvBcd::Compare(B(v.Text(true).c_str()), v), 0) << c.in;
  }
}

TEST(KvBcdTest, LargestExponent) {
  const tKvBcd v = B("1E63");
  EXPECT_EQ(v.Exponent(), 127);
  EXPECT_EQ(v.Text(true), "1" + std::string(63, '0'));
}

TEST(KvBcdTest, FromTextErrors) {
  struct ErrCase {
    const char* in;
    int code;
  };
  const ErrCase cases[] = {
      {"", 81},
      {" ", 81},
      {"+", 81},
      {"-", 81},
      {".", 81},
      {"-.", 81},
      {"12a", 81},
      {"1.2.3", 81},
      {"1e", 81},
      {"1e+", 81},
      {"1 ", 81},
      {"abc", 81},
      {"1,5", 81},
      {"--1", 81},
      {"1E5x", 81},
      {"E5", 81},
      {"1E100", 82},
      {"1E64", 82},
      {"99999999999999999999E44", 82},
      {"1E99999999999999999999999", 82},
  };
  for (const auto& c : cases) {
    try {
      B(c.in);
      ADD_FAILURE() << "no error for \"" << c.in << "\"";
    } catch (const EStBCDError& e) {
      EXPECT_EQ(e.Code(), c.code) << c.in;
      EXPECT_STREQ(e.what(), c.code == 81 ? "Bad BCD format" : "BCD larger than 10**64") << c.in;
    }
  }
  // Part of the program's exception family.
  EXPECT_THROW(B("x"), EKvRoot);
}

TEST(KvBcdTest, FromTextPlain) {
  EXPECT_EQ(tKvBcd::FromTextPlain("12.50").Text(true), "12.5");
  EXPECT_EQ(tKvBcd::FromTextPlain("-0.5").Text(true), "-0.5");
  EXPECT_EQ(tKvBcd::FromTextPlain("7.").Text(true), "7");
  for (const char* bad : {"12", "1e5.", " 1.0", "+1.0", "1.0.", ""}) {
    EXPECT_THROW(tKvBcd::FromTextPlain(bad), EStBCDError) << bad;
  }
}

struct ArithCase {
  const char* a;
  char op;
  const char* b;
  const char* result;
};

TEST(KvBcdTest, Arithmetic) {
  const ArithCase cases[] = {
      {"0.1", '+', "0.2", "0.3"},
      {"5", '-', "5", "0"},
      {"1", '-', "3", "-2"},
      {"-1", '+', "3", "2"},
      {"0.3", '-', "0.1", "0.2"},
      {"1000", '-', "0.001", "999.999"},
      {"-2.5", '-', "-2.5", "0"},
      {"0", '+', "-7", "-7"},
      {"-7", '+', "0", "-7"},
      {"999999999999999999", '+', "1", "1000000000000000000"},
      // A guard digit that rounds the top digit over keeps the carry.
      {"999999999999999999", '+', "0.5", "1000000000000000000"},
      {"999999999999999999", '+', "0.4", "999999999999999999"},
      // Exponent difference 18: the smaller number's leading digit after
      // rounding at its second digit decides.
      {"1000000000000000000", '+', "5", "1000000000000000010"},
      {"1000000000000000000", '+', "4.5", "1000000000000000010"},
      {"1000000000000000000", '+', "4.4", "1000000000000000000"},
      {"1000000000000000000", '+', "9.5", "1000000000000000010"},
      // Exponent difference 19 or more: unchanged.
      {"1000000000000000000", '+', "0.9", "1000000000000000000"},
      {"1000000000000000000", '+', "0.000001", "1000000000000000000"},
      {"0.000001", '+', "1000000000000000000", "1000000000000000000"},
      // Subtraction keeps 18 digits after the borrow.
      {"1", '-', "0.000000000000000001", "0.999999999999999999"},
      {"100000000000000000", '-', "0.5", "99999999999999999.5"},
      {"12.34", '*', "100", "1234"},
      {"-1.5", '*', "2", "-3"},
      {"-1.5", '*', "-2", "3"},
      {"0.5", '*', "0.5", "0.25"},
      {"0", '*', "123", "0"},
      {"3", '*', "0.333333333333333333", "0.999999999999999999"},
      {"2", '*', "0.666666666666666667", "1.33333333333333333"},
      {"999999999999999999", '*', "999999999999999999", "999999999999999998000000000000000000"},
      {"1E-40", '*', "1E-40", "0"},
  };
  for (const auto& c : cases) {
    const tKvBcd a = B(c.a);
    const tKvBcd b = B(c.b);
    tKvBcd r;
    switch (c.op) {
      case '+':
        r = a + b;
        break;
      case '-':
        r = a - b;
        break;
      default:
        r = a * b;
        break;
    }
    EXPECT_EQ(r.Text(true), c.result) << c.a << ' ' << c.op << ' ' << c.b;
    EXPECT_EQ(r, B(c.result)) << c.a << ' ' << c.op << ' ' << c.b;
  }
}

TEST(KvBcdTest, ExactDigitsOfDesignExamples) {
  const tKvBcd sum = B("0.1") + B("0.2");
  EXPECT_EQ(Hex(sum), "3F000000000000000030");  // e = 63, d1 = 3
  const tKvBcd product = B("12.34") * B("100");
  EXPECT_EQ(product.Exponent(), 67);
  const tKvBcd big = B("999999999999999999") + B("1");
  EXPECT_EQ(Hex(big), "52000000000000000010");  // e = 82, d1 = 1
  EXPECT_EQ(Hex(B("5") - B("5")), "00000000000000000000");
}

TEST(KvBcdTest, Overflow) {
  const tKvBcd max = B("9.99999999999999999E63");
  EXPECT_THROW(max + max, EStBCDError);
  EXPECT_THROW(B("1E40") * B("1E40"), EStBCDError);
  try {
    (void)(B("1E40") * B("1E40"));
  } catch (const EStBCDError& e) {
    EXPECT_EQ(e.Code(), 82);
  }
  // Rounding the guard digit up into a new top digit at the largest
  // exponent overflows as well.
  EXPECT_THROW(B("999999999999999999E46") + B("0.5E46"), EStBCDError);
  EXPECT_NO_THROW(max - max);
}

TEST(KvBcdTest, Compare) {
  struct CmpCase {
    const char* a;
    const char* b;
    int sign;
  };
  const CmpCase cases[] = {
      {"-1", "1", -1},
      {"2", "10", -1},
      {"10", "2", 1},
      {"0", "0", 0},
      {"0", "-3", 1},
      {"-3", "0", -1},
      {"-2", "-10", 1},
      {"1.5", "1.50", 0},
      {"0.1", "0.2", -1},
      {"-0.1", "-0.2", 1},
      {"123456789012345678", "123456789012345679", -1},
  };
  for (const auto& c : cases) {
    const int r = tKvBcd::Compare(B(c.a), B(c.b));
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
  }
  // Exponent 0 is zero whatever the other bytes hold, a sign bit included.
  tKvBcd odd;
  odd.Bytes = {0x80, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_TRUE(odd.IsZero());
  EXPECT_FALSE(odd.IsNegative());
  EXPECT_EQ(tKvBcd::Compare(odd, tKvBcd{}), 0);
  EXPECT_EQ((odd + B("2")).Text(true), "2");
  EXPECT_EQ(odd.Text(true), "0");
}

TEST(KvBcdTest, UnnormalisedInputComputesCorrectly) {
  // 0.05 stored with a leading zero digit (e = 63, digits 0, 5).
  tKvBcd v;
  v.Bytes = {63, 0, 0, 0, 0, 0, 0, 0, 0, 0x05};
  EXPECT_EQ(v.Text(true), "0.05");
  EXPECT_EQ(tKvBcd::Compare(v, B("0.05")), 0);
  EXPECT_EQ((v + B("1")).Text(true), "1.05");
}

TEST(KvBcdTest, LongTextUsesRegionalSettings) {
  RegionalGuard guard;
  EXPECT_EQ(B("1234567.5").Text(false), "1.234.567,5");
  EXPECT_EQ(B("-1234").Text(false), "-1.234");
  EXPECT_EQ(B("123").Text(false), "123");
  EXPECT_EQ(B("0.05").Text(false), "0,05");
  auto& reg = platform::MutableRegionalSettings();
  reg.decimal_separator = '.';
  reg.thousand_separator = ',';
  reg.digit_grouping = 4;
  EXPECT_EQ(B("123456789.25").Text(false), "1,2345,6789.25");
  reg.thousand_separator = '.';  // same as the decimal separator: no grouping
  EXPECT_EQ(B("123456789.25").Text(false), "123456789.25");
}

TEST(KvBcdTest, CompactTextKeepsAtMostFiftyFractionDigits) {
  EXPECT_EQ(B("1E-60").Text(true), "0");
  EXPECT_EQ(B("-1E-60").Text(true), "0");
  EXPECT_EQ(B("5E-51").Text(true), "0." + std::string(49, '0') + "1");
  EXPECT_EQ(B("4E-51").Text(true), "0");
  EXPECT_EQ(B("1.23E-48").Text(true), "0." + std::string(47, '0') + "123");
  EXPECT_EQ(B("0.999999999999999999E-32").Text(true),
            "0." + std::string(32, '0') + "999999999999999999");
}

TEST(KvBcdTest, ToFloat) {
  for (const char* text : {"12.5", "-0.1", "0", "123456789012345678", "1E-60", "9.99E63"}) {
    const long double expected = std::strtold(text, nullptr);
    EXPECT_EQ(tKvBcd::ToFloat(B(text)), expected) << text;
  }
}

TEST(KvBcdTest, FromInteger) {
  EXPECT_EQ(tKvBcd::FromInteger(0).Text(true), "0");
  EXPECT_EQ(tKvBcd::FromInteger(-42).Text(true), "-42");
  EXPECT_EQ(tKvBcd::FromInteger(INT64_MIN).Text(true), "-9223372036854775810");
}

}  // namespace
