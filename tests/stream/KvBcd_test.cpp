#include "stream/KvBcd.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "FiscalStreamTestHelp.h"
#include "base/RaiseTestHelp.h"

namespace {
using fisc_test::Bytes;
using fisc_test::Hex;
using raise_test::MessageOf;

tKvBcd B(const char* text) { return tKvBcd::FromText(text); }

tKvBcd Calc(const char* a, char op, const char* b) {
  return op == '+' ? B(a) + B(b) : op == '-' ? B(a) - B(b) : B(a) * B(b);
}

TEST(KvBcdTest, StoredForm) {
  const std::pair<tKvBcd, const char*> cases[] = {
      {B("100"), "42000000000000000010"},  // e = 66, d1 = 1 in the high nibble of byte 9
      {B("-0.05"), "BE000000000000000050"},
      {B("0"), "00000000000000000000"},
      {B("123456789012345678"), "51785634129078563412"},
      {B("0.1") + B("0.2"), "3F000000000000000030"},
      {B("12.34") * B("100"), "43000000000000003412"},
      {B("999999999999999999") + B("1"), "52000000000000000010"},
      {B("5") - B("5"), "00000000000000000000"},
  };
  for (const auto& [value, hex] : cases) {
    EXPECT_EQ(Hex(Bytes(value.Bytes.begin(), value.Bytes.end())), hex) << value.Text(true);
  }
}

TEST(KvBcdTest, FromTextAndBack) {
  const struct {
    const char* In;
    std::string Compact;
    int Exponent;
  } cases[] = {
      {"  -0.050", "-0.05", 62},
      {"9", "9", 64},
      {"0.07", "0.07", 62},
      // 16 significant digits: the most the usual amounts are packed with
      // directly; 17 go the general way
      {"1234567890123456", "1234567890123456", 79},
      {"-12345678.90123457", "-12345678.90123457", 71},
      {"12345678901234567", "12345678901234567", 80},
      {"+12.5", "12.5", 65},
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
      {"1E63", "1" + std::string(63, '0'), 127},
      // 19 significant digits: the 19th rounds half up.
      {"1234567890123456789", "1234567890123456790", 82},
      {"1234567890123456784", "1234567890123456780", 82},
      {"9999999999999999995", "10000000000000000000", 83},
      {"0.99999999999999999999", "1", 64},
      {"123456789012345678.4", "123456789012345678", 81},
  };
  for (const auto& c : cases) {
    const tKvBcd v = B(c.In);
    EXPECT_EQ(v.Text(true), c.Compact) << c.In;
    EXPECT_EQ(v.Exponent(), c.Exponent) << c.In;
    EXPECT_EQ(tKvBcd::Compare(B(v.Text(true).c_str()), v), 0) << c.In;
  }
}

TEST(KvBcdTest, FromTextErrors) {
  const std::pair<int, std::vector<const char*>> cases[] = {
      {81, {"", " ", "+", "-.", "12a", "1.2.3", "1e", "1e+", "1 ", "1,5", "--1", "1E5x", "E5"}},
      {82, {"1E100", "1E64", "99999999999999999999E44", "1E99999999999999999999999"}}};
  for (const auto& [code, inputs] : cases) {
    for (const char* in : inputs) {
      int got = 0;
      EXPECT_EQ(MessageOf<EStBCDError>([&] { B(in); }, &got),
                code == 81 ? "Bad BCD format" : "BCD larger than 10**64")
          << in;
      EXPECT_EQ(got, code) << in;
    }
  }
  EXPECT_THROW(B("x"), EKvRoot);  // part of the program's exception family
  EXPECT_EQ(tKvBcd::FromTextPlain("12.50").Text(true), "12.5");
  EXPECT_EQ(tKvBcd::FromTextPlain("-0.5").Text(true), "-0.5");
  EXPECT_EQ(tKvBcd::FromTextPlain("7.").Text(true), "7");
  for (const char* bad : {"12", "1e5.", " 1.0", "+1.0", "1.0.", ""}) {
    EXPECT_THROW(tKvBcd::FromTextPlain(bad), EStBCDError) << bad;
  }
}

// Zero operands, signs and borrows; a guard digit that rounds the top digit
// over; exponent difference 18 (the smaller number's leading digit after
// rounding at its second digit decides) and 19 or more (unchanged);
// subtraction keeping 18 digits after the borrow; products.
TEST(KvBcdTest, Arithmetic) {
  // clang-format off
  const char* const cases[] = {
      "5 - 5 = 0", "1 - 3 = -2", "-1 + 3 = 2", "0.3 - 0.1 = 0.2", "1000 - 0.001 = 999.999",
      "-2.5 - -2.5 = 0", "0 + -7 = -7", "-7 + 0 = -7",
      "999999999999999999 + 0.5 = 1000000000000000000",
      "999999999999999999 + 0.4 = 999999999999999999",
      "1000000000000000000 + 5 = 1000000000000000010",
      "1000000000000000000 + 4.5 = 1000000000000000010",
      "1000000000000000000 + 4.4 = 1000000000000000000",
      "1000000000000000000 + 9.5 = 1000000000000000010",
      "1000000000000000000 + 0.9 = 1000000000000000000",
      "0.000001 + 1000000000000000000 = 1000000000000000000",
      "1 - 0.000000000000000001 = 0.999999999999999999",
      "100000000000000000 - 0.5 = 99999999999999999.5",
      "-1.5 * 2 = -3", "-1.5 * -2 = 3", "0.5 * 0.5 = 0.25", "0 * 123 = 0", "1E-40 * 1E-40 = 0",
      "3 * 0.333333333333333333 = 0.999999999999999999",
      "2 * 0.666666666666666667 = 1.33333333333333333",
      "999999999999999999 * 999999999999999999 = 999999999999999998000000000000000000"};
  // clang-format on
  for (const char* row : cases) {
    std::istringstream in(row);
    std::string a, b, eq, result;
    char op;
    in >> a >> op >> b >> eq >> result;
    const tKvBcd r = Calc(a.c_str(), op, b.c_str());
    EXPECT_EQ(r.Text(true), result) << row;
    EXPECT_EQ(r, B(result.c_str())) << row;
  }
  // Exponent overflow, also by rounding the guard digit into a new top
  // digit at the largest exponent.
  const char* const max = "9.99999999999999999E63";
  const std::tuple<const char*, char, const char*> overflows[] = {
      {max, '+', max}, {"1E40", '*', "1E40"}, {"999999999999999999E46", '+', "0.5E46"}};
  for (const auto& [a, op, b] : overflows) {
    int code = 0;
    MessageOf<EStBCDError>([a = a, op = op, b = b] { Calc(a, op, b); }, &code);
    EXPECT_EQ(code, 82) << a << op << b;
  }
  EXPECT_TRUE(Calc(max, '-', max).IsZero());
}

TEST(KvBcdTest, Compare) {
  for (const char* row :
       {"-1 < 1", "2 < 10", "10 > 2", "0 = 0", "0 > -3", "-3 < 0", "-2 > -10", "1.5 = 1.50",
        "0.1 < 0.2", "-0.1 > -0.2", "123456789012345678 < 123456789012345679"}) {
    std::istringstream in(row);
    std::string a, b;
    char op;
    in >> a >> op >> b;
    const int r = tKvBcd::Compare(B(a.c_str()), B(b.c_str()));
    EXPECT_EQ((r > 0) - (r < 0), (op == '>') - (op == '<')) << row;
  }
  // Exponent 0 is zero whatever the other bytes hold, a sign bit included.
  tKvBcd odd;
  odd.Bytes = {0x80, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_TRUE(odd.IsZero());
  EXPECT_FALSE(odd.IsNegative());
  EXPECT_EQ(tKvBcd::Compare(odd, tKvBcd{}), 0);
  EXPECT_EQ((odd + B("2")).Text(true), "2");
  EXPECT_EQ(odd.Text(true), "0");
  // 0.05 stored unnormalised (e = 63, digits 0, 5) computes correctly.
  tKvBcd v;
  v.Bytes = {63, 0, 0, 0, 0, 0, 0, 0, 0, 0x05};
  EXPECT_EQ(v.Text(true), "0.05");
  EXPECT_EQ(tKvBcd::Compare(v, B("0.05")), 0);
  EXPECT_EQ((v + B("1")).Text(true), "1.05");
}

TEST(KvBcdTest, Texts) {
  const std::pair<const char*, std::string> compact[] = {
      {"1E-60", "0"},
      {"-1E-60", "0"},
      {"5E-51", "0." + std::string(49, '0') + "1"},  // at most 50 fraction digits
      {"4E-51", "0"},
      {"0.999999999999999999E-32", "0." + std::string(32, '0') + "999999999999999999"},
  };
  for (const auto& [in, text] : compact) EXPECT_EQ(B(in).Text(true), text) << in;

  EXPECT_EQ(B("1234567.5").Text(false), "1.234.567,5");
  EXPECT_EQ(B("-1234").Text(false), "-1.234");
  EXPECT_EQ(B("0.05").Text(false), "0,05");

  for (const char* text : {"12.5", "-0.1", "0", "123456789012345678", "1E-60", "9.99E63"}) {
    EXPECT_EQ(tKvBcd::ToFloat(B(text)), std::strtold(text, nullptr)) << text;
  }
  EXPECT_EQ(tKvBcd::FromInteger(-42).Text(true), "-42");
  EXPECT_EQ(tKvBcd::FromInteger(INT64_MIN).Text(true), "-9223372036854775810");
}

}  // namespace
