#include "stream/KvTypes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "base/KvErrors.h"
#include "platform/RegionalSettings.h"

namespace {

// ---------------------------------------------------------------------------
// tKvBcdFix

tKvBcdFix Fix(std::initializer_list<uint8_t> lowBytes) {
  tKvBcdFix v;
  size_t i = 10 - lowBytes.size();
  for (uint8_t b : lowBytes) v.Bytes[i++] = b;
  return v;
}

TEST(KvBcdFixTest, TextAndFromText) {
  struct Case {
    tKvBcdFix value;
    const char* text;
  };
  const Case cases[] = {
      {Fix({}), "0"},
      {Fix({0x12, 0x34}), "1234"},
      {Fix({0x01, 0x23}), "123"},
      {Fix({0x12, 0xF3, 0x40}), "12/340"},
      {Fix({0x98, 0x76, 0x54, 0x32, 0x10, 0x98, 0x76, 0x54, 0x32, 0x10}), "98765432109876543210"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.value.Text(), c.text);
    EXPECT_EQ(tKvBcdFix::FromText(c.text), c.value) << c.text;
  }
  EXPECT_TRUE(Fix({}).IsZero());
  EXPECT_FALSE(Fix({0x01}).IsZero());
}

TEST(KvBcdFixTest, FromTextScansFromTheRight) {
  EXPECT_EQ(tKvBcdFix::FromText("ab12"), Fix({0x12}));   // stops at "b"
  EXPECT_EQ(tKvBcdFix::FromText("12 34"), Fix({0x34}));  // stops at the blank
  EXPECT_EQ(tKvBcdFix::FromText(""), Fix({}));
  EXPECT_EQ(tKvBcdFix::FromText("x"), Fix({}));
  // More than 20 digits: the rightmost 20 are kept.
  EXPECT_EQ(tKvBcdFix::FromText("1234567890123456789012").Text(), "34567890123456789012");
}

TEST(KvBcdFixTest, CompareIsUnsigned) {
  EXPECT_LT(tKvBcdFix::Compare(Fix({0x99}), Fix({0x01, 0x00})), 0);
  EXPECT_GT(tKvBcdFix::Compare(Fix({0xF0}), Fix({0x90})), 0);
  EXPECT_EQ(tKvBcdFix::Compare(Fix({0x42}), Fix({0x42})), 0);
  EXPECT_TRUE(Fix({0x12}) < Fix({0x13}));
}

// ---------------------------------------------------------------------------
// tKvDateTime

struct RegionalGuard {
  platform::RegionalSettings saved = platform::Regional();
  ~RegionalGuard() { platform::MutableRegionalSettings() = saved; }
};

TEST(KvDateTimeTest, EpochAndDayNumbers) {
  EXPECT_EQ(tKvDateTime::Encode(1980, 1, 1).Value, 86400);
  EXPECT_EQ(tKvDateTime::Encode(1980, 1, 2, 1, 0, 0).Value, 2 * 86400 + 3600);
  EXPECT_EQ(tKvDateTime::Encode(1991, 12, 31).DayNumber(), 4383);
  // Seconds since 1970 of 1 January 1980 00:00:00.
  EXPECT_EQ(tKvDateTime::Encode(1980, 1, 1).ToUnixSeconds(), 315532800);
  EXPECT_EQ(tKvDateTime::FromUnixSeconds(315532800).Value, 86400);
  EXPECT_TRUE(tKvDateTime().IsNull());
  EXPECT_FALSE(tKvDateTime(3600).HasDate());
  EXPECT_TRUE(tKvDateTime(86400).HasDate());
}

TEST(KvDateTimeTest, CalendarRoundTrip) {
  // Every day from 1980 to 2105 (leap years, 2000, 2100) decodes to the
  // date it was encoded from, and consecutive days differ by 86400.
  int64_t previous = 0;
  for (int y = 1980; y <= 2105; ++y) {
    for (int m = 1; m <= 12; ++m) {
      const unsigned last = static_cast<unsigned>(
          std::chrono::year_month_day_last(
              std::chrono::year(y),
              std::chrono::month_day_last(std::chrono::month(static_cast<unsigned>(m))))
              .day());
      for (int d = 1; d <= static_cast<int>(last); ++d) {
        const tKvDateTime v = tKvDateTime::Encode(y, m, d, 23, 59, 58);
        int yy, mm, dd, h, mi, s;
        ASSERT_TRUE(v.DecodeDate(yy, mm, dd));
        v.DecodeTime(h, mi, s);
        ASSERT_EQ(yy * 10000 + mm * 100 + dd, y * 10000 + m * 100 + d);
        ASSERT_EQ(h * 3600 + mi * 60 + s, 23 * 3600 + 59 * 60 + 58);
        if (previous != 0) {
          ASSERT_EQ(v.Value - previous, 86400) << y << "-" << m << "-" << d;
        }
        previous = v.Value;
      }
    }
  }
}

TEST(KvDateTimeTest, InvalidDatesAreRejected) {
  struct Case {
    int y, m, d, h, mi, s;
  };
  const Case cases[] = {
      {1979, 12, 31, 0, 0, 0}, {2001, 2, 29, 0, 0, 0}, {2100, 2, 29, 0, 0, 0},
      {2000, 4, 31, 0, 0, 0},  {2000, 13, 1, 0, 0, 0}, {2000, 0, 1, 0, 0, 0},
      {2000, 1, 0, 0, 0, 0},   {10000, 1, 1, 0, 0, 0}, {2000, 1, 1, 24, 0, 0},
      {2000, 1, 1, 0, 60, 0},  {2000, 1, 1, 0, 0, 60}, {2000, 1, 1, -1, 0, 0},
  };
  for (const auto& c : cases) {
    tKvDateTime v;
    EXPECT_FALSE(tKvDateTime::TryEncode(c.y, c.m, c.d, c.h, c.mi, c.s, v))
        << c.d << "." << c.m << "." << c.y << " " << c.h << ":" << c.mi << ":" << c.s;
  }
  EXPECT_TRUE(tKvDateTime::Encode(2000, 2, 29).HasDate());
  EXPECT_THROW(tKvDateTime::Encode(2001, 2, 29), EKvParam);
  EXPECT_THROW(tKvDateTime::EncodeTime(24, 0, 0), EKvParam);
  EXPECT_EQ(tKvDateTime::EncodeTime(1, 2, 3).Value, 3723);
}

TEST(KvDateTimeTest, Texts) {
  RegionalGuard guard;
  const tKvDateTime v = tKvDateTime::Encode(1991, 12, 31, 13, 5, 9);
  EXPECT_EQ(v.DateText(true), "31.12.1991");
  EXPECT_EQ(v.DateTimeText(true), "31.12.91/13:05:09");
  EXPECT_EQ(v.DateText(false), "Dienstag, 31. Dezember 1991");
  EXPECT_EQ(v.DateTimeText(false), "Dienstag, 31. Dezember 1991, 13:05:09");
  // Without a date part.
  const tKvDateTime t(3600);
  EXPECT_EQ(t.DateText(true), "00.00.0000");
  EXPECT_EQ(t.DateText(false), "00.00.0000");
  EXPECT_EQ(t.DateTimeText(true), "00.00.00/01:00:00");
  EXPECT_EQ(t.DateTimeText(false), "01:00:00");
  // A negative value is a time of day counted back from midnight.
  EXPECT_EQ(tKvDateTime(-1).DateTimeText(true), "00.00.00/23:59:59");
  // Month names are Windows-1252.
  EXPECT_EQ(tKvDateTime::Encode(2024, 3, 4).Format("dddd d. MMMM yyyy"), "Montag 4. M\xE4rz 2024");
  EXPECT_EQ(v.Format("ddd dd/MM/yy hh:mm tt 'at' H"), "Di 31.12.91 01:05 PM at 13");
  auto& reg = platform::MutableRegionalSettings();
  reg.long_date_format = "yyyy-MM-dd";
  reg.long_time_format = "H.mm";
  EXPECT_EQ(v.DateTimeText(false), "1991-12-31, 13.05");
}

// ---------------------------------------------------------------------------
// Bitsets

TEST(KvBitsetTest, HexText) {
  tKvBitsetMem b8(8);
  b8.Set(1);
  EXPECT_EQ(b8.ToHexString(), "01");
  b8.Set(8);
  EXPECT_EQ(b8.ToHexString(), "81");
  tKvBitsetMem b4(4);
  b4.SetAll();
  EXPECT_EQ(b4.ToHexString(), "0F");  // odd digit count gets a leading "0"
  EXPECT_EQ(tKvBitsetMem(0).ToHexString(), "");
  tKvBitsetMem b12(12);
  b12.Set(12);
  b12.Set(5);
  EXPECT_EQ(b12.ToHexString(), "0810");

  tKvBitsetMem r(16);
  r.FromHexString("a0F1");
  EXPECT_EQ(r.ToHexString(), "A0F1");
  r.FromHexString("zz1");  // non-hex characters count as 0
  EXPECT_EQ(r.ToHexString(), "0001");
  r.FromHexString("123456");  // more digits than bits: the high ones are dropped
  EXPECT_EQ(r.ToHexString(), "3456");
}

TEST(KvBitsetTest, BinaryTextAndBitOperations) {
  tKvBitsetMem b(10);
  b.FromBinaryText("1010000001x1");
  EXPECT_EQ(b.ToBinaryText(), "1010000001");
  EXPECT_EQ(b.CountSet(), 3);
  EXPECT_EQ(b.CountClear(), 7);
  EXPECT_EQ(b.HighestSet(), 10);
  b.Toggle(10);
  b.Clear(1);
  EXPECT_EQ(b.HighestSet(), 3);
  b.SetBit(0, true);
  b.SetBit(11, true);
  EXPECT_FALSE(b.GetBit(0));
  EXPECT_FALSE(b.GetBit(11));
  EXPECT_EQ(b.CountSet(), 1);
  b.SetAll();
  EXPECT_EQ(b.CountSet(), 10);
  EXPECT_EQ(b.HighestSet(), 10);
  b.ClearAll();
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(tKvBitsetMem(-5).GetCount(), 0);
}

TEST(KvBitsetTest, AssignEqualsAndLargeSets) {
  tKvBitsetMem a(20);
  a.FromBinaryText("11000000000000000001");
  tKvBitsetMem small(4);
  small.Assign(a);
  EXPECT_EQ(small.ToBinaryText(), "1100");
  tKvBitsetMem wide(30);
  wide.Assign(a);
  EXPECT_TRUE(wide.Equals(&a));  // bits beyond the smaller count are clear
  EXPECT_TRUE(a.Equals(&wide));
  wide.Set(25);
  EXPECT_FALSE(wide.Equals(&a));
  EXPECT_FALSE(a.Equals(nullptr));

  // Above 640 bits the storage moves to the heap; copies stay independent.
  tKvBitsetMem big(1000);
  big.Set(1000);
  big.Set(641);
  tKvBitsetMem copy(big);
  copy.Clear(1000);
  EXPECT_EQ(big.HighestSet(), 1000);
  EXPECT_EQ(copy.HighestSet(), 641);
  copy = big;
  EXPECT_TRUE(copy.Equals(&big));
  EXPECT_EQ(copy.ToHexString().size(), 250u);
}

}  // namespace
