#include "stream/KvTypes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <tuple>
#include <vector>

#include "base/KvErrors.h"
#include "platform/RegionalSettings.h"

namespace {

tKvBcdFix Fix(std::initializer_list<uint8_t> lowBytes) {
  tKvBcdFix v;
  size_t i = 10 - lowBytes.size();
  for (uint8_t b : lowBytes) v.Bytes[i++] = b;
  return v;
}

TEST(KvBcdFixTest, TextFromTextAndOrder) {
  const std::pair<tKvBcdFix, const char*> cases[] = {
      {Fix({}), "0"},
      {Fix({0x12, 0x34}), "1234"},
      {Fix({0x01, 0x23}), "123"},
      {Fix({0x12, 0xF3, 0x40}), "12/340"},
      {Fix({0x98, 0x76, 0x54, 0x32, 0x10, 0x98, 0x76, 0x54, 0x32, 0x10}), "98765432109876543210"},
  };
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(value.Text(), text);
    EXPECT_EQ(tKvBcdFix::FromText(text), value) << text;
  }
  // Scanned from the right up to the first other character; at most 20.
  EXPECT_EQ(tKvBcdFix::FromText("ab12"), Fix({0x12}));
  EXPECT_EQ(tKvBcdFix::FromText("12 34"), Fix({0x34}));
  EXPECT_TRUE(tKvBcdFix::FromText("x").IsZero());
  EXPECT_EQ(tKvBcdFix::FromText("1234567890123456789012").Text(), "34567890123456789012");
  // Unsigned, byte by byte.
  EXPECT_LT(tKvBcdFix::Compare(Fix({0x99}), Fix({0x01, 0x00})), 0);
  EXPECT_GT(tKvBcdFix::Compare(Fix({0xF0}), Fix({0x90})), 0);
  EXPECT_EQ(tKvBcdFix::Compare(Fix({0x42}), Fix({0x42})), 0);
}

TEST(KvDateTimeTest, EpochAndCalendar) {
  EXPECT_EQ(tKvDateTime::Encode(1980, 1, 1).Value, 86400);
  EXPECT_EQ(tKvDateTime::Encode(1980, 1, 1).ToUnixSeconds(), 315532800);
  EXPECT_EQ(tKvDateTime::FromUnixSeconds(315532800).Value, 86400);
  EXPECT_FALSE(tKvDateTime(86399).HasDate());
  EXPECT_EQ(tKvDateTime::EncodeTime(1, 2, 3).Value, 3723);
  // Every day from 1980 to 2105 (leap years, 2000, 2100) decodes to the
  // date it was encoded from, and consecutive days differ by 86400.
  using namespace std::chrono;
  int64_t previous = 0;
  for (sys_days d = sys_days{1980y / 1 / 1}; d < sys_days{2106y / 1 / 1}; d += days{1}) {
    const year_month_day ymd{d};
    const int y = int(ymd.year()), m = int(unsigned(ymd.month())), dd = int(unsigned(ymd.day()));
    const tKvDateTime v = tKvDateTime::Encode(y, m, dd, 23, 59, 58);
    int yy, mm, ddd, h, mi, s;
    ASSERT_TRUE(v.DecodeDate(yy, mm, ddd));
    v.DecodeTime(h, mi, s);
    ASSERT_EQ(std::tie(yy, mm, ddd, h, mi, s), std::make_tuple(y, m, dd, 23, 59, 58));
    ASSERT_TRUE(previous == 0 || v.Value - previous == 86400) << y << "-" << m << "-" << dd;
    previous = v.Value;
  }
}

TEST(KvDateTimeTest, InvalidDatesAreRejected) {
  const struct {
    int Y, M, D, H, Mi, S;
  } cases[] = {{1979, 12, 31, 0, 0, 0}, {2001, 2, 29, 0, 0, 0}, {2100, 2, 29, 0, 0, 0},
               {2000, 4, 31, 0, 0, 0},  {2000, 13, 1, 0, 0, 0}, {2000, 0, 1, 0, 0, 0},
               {2000, 1, 0, 0, 0, 0},   {10000, 1, 1, 0, 0, 0}, {2000, 1, 1, 24, 0, 0},
               {2000, 1, 1, 0, 60, 0},  {2000, 1, 1, 0, 0, 60}, {2000, 1, 1, -1, 0, 0}};
  for (const auto& c : cases) {
    tKvDateTime v;
    EXPECT_FALSE(tKvDateTime::TryEncode(c.Y, c.M, c.D, c.H, c.Mi, c.S, v))
        << c.D << "." << c.M << "." << c.Y << " " << c.H << ":" << c.Mi << ":" << c.S;
  }
  EXPECT_THROW(tKvDateTime::Encode(2001, 2, 29), EKvParam);
  EXPECT_THROW(tKvDateTime::EncodeTime(24, 0, 0), EKvParam);
}

TEST(KvDateTimeTest, Texts) {
  const tKvDateTime v = tKvDateTime::Encode(1991, 12, 31, 13, 5, 9);
  EXPECT_EQ(v.DateText(true), "31.12.1991");
  EXPECT_EQ(v.DateTimeText(true), "31.12.91/13:05:09");
  EXPECT_EQ(v.DateText(false), "Dienstag, 31. Dezember 1991");
  EXPECT_EQ(v.DateTimeText(false), "Dienstag, 31. Dezember 1991, 13:05:09");
  const tKvDateTime t(3600);  // without a date part
  EXPECT_EQ(t.DateText(true), "00.00.0000");
  EXPECT_EQ(t.DateText(false), "00.00.0000");
  EXPECT_EQ(t.DateTimeText(true), "00.00.00/01:00:00");
  EXPECT_EQ(t.DateTimeText(false), "01:00:00");
  // A negative value is a time of day counted back from midnight.
  EXPECT_EQ(tKvDateTime(-1).DateTimeText(true), "00.00.00/23:59:59");
  // Month names are Windows-1252.
  EXPECT_EQ(tKvDateTime::Encode(2024, 3, 4).Format("dddd d. MMMM yyyy"), "Montag 4. M\xE4rz 2024");
  EXPECT_EQ(v.Format("ddd dd/MM/yy hh:mm tt 'at' H"), "Di 31.12.91 01:05 PM at 13");
}

// The default pictures are written without reading them: the same text as
// the general path, for dates without a date part, negative values, the
// calendar's whole range and beyond it, and another time separator.
TEST(KvDateTimeTest, DefaultPicturesAsTheGeneralPath) {
  const auto check = [](int64_t value) {
    const tKvDateTime v(value);
    for (const char* picture : {"dd.MM.yyyy", "HH:mm:ss"}) {
      ASSERT_EQ(v.Format(picture), v.FormatPicture(picture)) << value << " " << picture;
    }
  };
  for (int64_t value : {int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{86399}, int64_t{86400},
                        int64_t{-86401}, int64_t{4102444799}}) {
    check(value);
  }
  constexpr int64_t kDay = 86400;
  for (int64_t day = 0; day < 3'000'000; day += 997) check(day * kDay + day % kDay);
  check(tKvDateTime::Encode(9999, 12, 31, 23, 59, 59).Value + 1);  // year 10000
  check(int64_t{400'000'000} * kDay);
  platform::RegionalSettings& reg = platform::MutableRegionalSettings();
  const platform::RegionalSettings saved = reg;
  reg.TimeSeparator = '.';
  check(tKvDateTime::Encode(2024, 3, 4, 5, 6, 7).Value);
  reg = saved;
}

TEST(KvBitsetTest, Texts) {
  const struct {
    int Count;
    std::vector<int> Set;
    const char* Hex;
  } cases[] = {{8, {1}, "01"}, {8, {1, 8}, "81"},     {4, {1, 2, 3, 4}, "0F"},  // odd: leading 0
               {0, {}, ""},    {12, {5, 12}, "0810"}, {16, {1, 16}, "8001"}};
  for (const auto& c : cases) {
    tKvBitsetMem b(c.Count);
    for (int i : c.Set) b.Set(i);
    EXPECT_EQ(b.ToHexString(), c.Hex);
    tKvBitsetMem back(c.Count);
    back.FromHexString(c.Hex);
    EXPECT_TRUE(back.Equals(&b)) << c.Hex;
  }
}

// Assigned across counts and copied: bits beyond the smaller count are
// clear; above 640 bits the storage moves to the heap, copies stay apart.
TEST(KvBitsetTest, AssignEqualsAndCopies) {
  tKvBitsetMem a(20);
  a.Set(1), a.Set(2), a.Set(20);
  tKvBitsetMem small(4), wide(30);
  small.Assign(a);
  EXPECT_EQ(small.ToHexString(), "03");
  wide.Assign(a);
  EXPECT_TRUE(wide.Equals(&a) && a.Equals(&wide));
  wide.Set(25);
  EXPECT_FALSE(wide.Equals(&a) || a.Equals(nullptr));
  EXPECT_EQ(tKvBitsetMem(-5).GetCount(), 0);
  tKvBitsetMem big(1000);
  big.Set(1000), big.Set(641);
  const std::string bigHex = big.ToHexString();
  tKvBitsetMem copy(big);
  copy.Clear(1000);
  EXPECT_EQ(big.ToHexString(), bigHex);
  EXPECT_FALSE(copy.Equals(&big));
  copy = big;
  EXPECT_TRUE(copy.Equals(&big));
  EXPECT_EQ(bigHex.size(), 250u);
}

}  // namespace
