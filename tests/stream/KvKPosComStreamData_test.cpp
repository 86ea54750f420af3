#include "stream/KvKPosComStreamData.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/RegionalSettings.h"

namespace {

// A source over a byte string; a read past its end raises EKvMisc "EOF"
// without touching the buffer.
class ByteSource final : public tKvKPosComStreamSource {
 public:
  explicit ByteSource(std::string bytes) : bytes_(std::move(bytes)) {}
  void Read(void* buffer, int32_t count, const tKvKPosReadContext&) override {
    if (count < 0 || static_cast<size_t>(count) > bytes_.size() - pos_) {
      throw EKvMisc(this, "EOF");
    }
    if (count > 0) std::memcpy(buffer, bytes_.data() + pos_, static_cast<size_t>(count));
    pos_ += static_cast<size_t>(count);
  }
  size_t Remaining() const { return bytes_.size() - pos_; }

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", c);
    if (!out.empty()) out += ' ';
    out += buf;
  }
  return out;
}

std::unique_ptr<tKvKPosData> Read(const std::string& bytes, size_t* left = nullptr) {
  ByteSource source(bytes);
  auto element = ReadElement(source);
  if (left) *left = source.Remaining();
  return element;
}

std::string Write(const tKvKPosData& element) {
  tKvKPosComStreamDestMem dest;
  element.WriteToStream(dest);
  return dest.Data();
}

tKvBcd B(const char* text) { return tKvBcd::FromText(text); }

std::unique_ptr<tKvKPosData> Tuple(std::vector<std::unique_ptr<tKvKPosData>> items) {
  std::unique_ptr<tKvKPosData> rest = std::move(items.back());
  for (size_t i = items.size() - 1; i > 0; --i) {
    rest = std::make_unique<tKvKPosDataMulti>(std::move(items[i - 1]), std::move(rest));
  }
  return rest;
}

std::vector<std::unique_ptr<tKvKPosData>> Items(
    std::vector<std::function<std::unique_ptr<tKvKPosData>()>> makers) {
  std::vector<std::unique_ptr<tKvKPosData>> out;
  for (auto& make : makers) out.push_back(make());
  return out;
}

template <typename F>
void ExpectComStreamError(F&& f, int code, const std::string& text, const std::string& where) {
  try {
    f();
    ADD_FAILURE() << "no exception: " << where;
  } catch (const EKvKPosComStream& e) {
    EXPECT_EQ(e.Code(), code) << where << ": " << e.what();
    EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << where << ": " << e.what();
  }
}

// ---------------------------------------------------------------------------
// Reading: bytes -> kind and compact text.

struct ReadCase {
  std::string bytes;
  uint8_t kind;
  std::string text;
};

TEST(KvKPosComStreamDataTest, ReadsEveryEncoding) {
  const ReadCase cases[] = {
      {Bytes({0}), KvDataKind::kNone, ""},
      {Bytes({1}), KvDataKind::kInt, "0"},
      {Bytes({17}), KvDataKind::kInt, "16"},
      {Bytes({18, 0xFF}), KvDataKind::kInt, "255"},
      {Bytes({19, 0x34, 0x12}), KvDataKind::kInt, "4660"},
      {Bytes({20, 0xFF, 0xFF, 0xFF}), KvDataKind::kInt, "16777215"},
      {Bytes({21, 0xFF, 0xFF, 0xFF, 0xFF}), KvDataKind::kInt, "-1"},
      {Bytes({63}), KvDataKind::kAddRec, "0"},
      {Bytes({79}), KvDataKind::kAddRec, "16"},
      {Bytes({82, 1, 2, 3}), KvDataKind::kAddRec, "197121"},
      {Bytes({83, 0, 0, 0, 0x80}), KvDataKind::kAddRec, "-2147483648"},
      {Bytes({22}), KvDataKind::kBcd, "0"},
      {Bytes({181}), KvDataKind::kBcd, "0"},
      {Bytes({23, 0x40, 0x15}), KvDataKind::kBcd, "1.5"},
      {Bytes({24, 0xC2, 0x50, 0x12}), KvDataKind::kBcd, "-125"},
      {Bytes({31, 0x51, 0x78, 0x56, 0x34, 0x12, 0x90, 0x78, 0x56, 0x34, 0x12}), KvDataKind::kBcd,
       "123456789012345678"},
      {Bytes({32}), KvDataKind::kBcdFix, "0"},
      {Bytes({34, 0x12, 0x34}), KvDataKind::kBcdFix, "1234"},
      {Bytes({35, 0x01, 0xF2, 0x34}), KvDataKind::kBcdFix, "1/234"},
      {Bytes({43}), KvDataKind::kBitset, ""},
      {Bytes({44, 0x80}), KvDataKind::kBitset, "01"},
      {Bytes({45, 0x01, 0x80}), KvDataKind::kBitset, "8001"},
      {Bytes({54}), KvDataKind::kStr, ""},
      {Bytes({55, 3, 'a', 'b', 'c'}), KvDataKind::kStr, "abc"},
      {Bytes({56, 2, 0, 'A', 'B'}), KvDataKind::kStr, "AB"},
      {Bytes({55, 6, 1, 2, 3, 4, 11, 'x'}), KvDataKind::kStr, "^L^C^R^-^|x"},
      {Bytes({85}), KvDataKind::kStrAI, ""},
      {Bytes({86, 2, 1, 'x'}), KvDataKind::kStrAI, "\x01x"},
      {Bytes({87, 1, 0, 'z'}), KvDataKind::kStrAI, "z"},
      {Bytes({57, 1, 2, 3, 4, 5, 6}), KvDataKind::kTouch, "(touch)"},
      {Bytes({62, 1, 2, 3, 4, 5, 6, 7}), KvDataKind::kTouch, "(touch)"},
      {Bytes({58}), KvDataKind::kTime, "00.00.00/00:00:00"},
      {Bytes({59, 0x10, 0x0E, 0, 0}), KvDataKind::kTime, "00.00.00/01:00:00"},
      {Bytes({111}), KvDataKind::kDate, "00.00.0000"},
      {Bytes({112, 31, 12, 0xC7, 0x07}), KvDataKind::kDate, "31.12.1991"},
      {Bytes({112, 0, 12, 0xC7, 0x07}), KvDataKind::kDate, "00.00.0000"},
      {Bytes({112, 31, 0, 0xC7, 0x07}), KvDataKind::kDate, "00.00.0000"},
      {Bytes({113}), KvDataKind::kBinary, ""},
      {Bytes({114, 2, 0x00, 0xFF}), KvDataKind::kBinary, "00FF"},
      {Bytes({115, 1, 0, 0xAB}), KvDataKind::kBinary, "AB"},
      {Bytes({179}), KvDataKind::kHex, ""},
      {Bytes({180, 3, 1, 0x23, 0xEF}), KvDataKind::kHex, "0123EF"},
      {Bytes({60, 2, 3}), KvDataKind::kMulti, "1/2"},
      {Bytes({84, 2, 3}), KvDataKind::kMulti, "1/2"},
      {Bytes({103, 2, 103, 3, 4}), KvDataKind::kMulti, "1/2/3"},
  };
  for (const auto& c : cases) {
    size_t left = 99;
    std::unique_ptr<tKvKPosData> e;
    ASSERT_NO_THROW(e = Read(c.bytes, &left)) << Hex(c.bytes);
    EXPECT_EQ(e->GetDataKind(), c.kind) << Hex(c.bytes);
    EXPECT_EQ(e->GetText(true), c.text) << Hex(c.bytes);
    EXPECT_EQ(left, 0u) << "payload not consumed exactly: " << Hex(c.bytes);
  }
}

TEST(KvKPosComStreamDataTest, ReadValues) {
  EXPECT_EQ(Read(Bytes({21, 0xFF, 0xFF, 0xFF, 0xFF}))->GetAsInteger(1), -1);
  // BCD 1.5 restores all ten bytes.
  const tKvBcd bcd = Read(Bytes({23, 0x40, 0x15}))->GetAsBcd(1);
  EXPECT_EQ(bcd.Bytes, (std::array<uint8_t, 10>{0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0x15}));
  // Bitset of one byte 0x80: 8 bits, bit 1 set.
  auto bits = Read(Bytes({44, 0x80}))->GetAsBitset(1);
  EXPECT_EQ(bits->GetCount(), 8);
  EXPECT_EQ(bits->ToBinaryText(), "10000000");
  // Touch from 6 bytes: index 6 is 0, the first byte read is index 5.
  const tKvTouch touch = Read(Bytes({57, 1, 2, 3, 4, 5, 6}))->GetAsTouch(1);
  EXPECT_EQ(touch, (tKvTouch{6, 5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(Read(Bytes({62, 1, 2, 3, 4, 5, 6, 7}))->GetAsTouch(1), (tKvTouch{7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(Read(Bytes({112, 31, 12, 0xC7, 0x07}))->GetAsDate(1),
            tKvDateTime::Encode(1991, 12, 31));
  // Texts: stored caret survives, a control byte becomes a caret sequence.
  EXPECT_EQ(Read(Bytes({55, 4, 'A', 1, 'b', '^'}))->GetAsString(1), "A^Lb^");
  EXPECT_EQ(Read(Bytes({114, 2, 0x00, 0xFF}))->GetAsBinary(1), Bytes({0x00, 0xFF}));
  EXPECT_EQ(Read(Bytes({180, 1, 0x7F}))->GetAsHex(1), Bytes({0x7F}));
}

TEST(KvKPosComStreamDataTest, TimeRawValues) {
  struct Case {
    int64_t raw;
    int64_t dateTime;
  };
  const int64_t k1980 = 315446400 + 86400;
  const Case cases[] = {
      {0, 0},
      {3600, 3600},  // time of day
      {86399, 86399},
      {-5, -5},    // negative: time of day, sign-extended
      {86400, 0},  // 86400 .. 315446400: null
      {315446400, 0},
      {315446401, 1},  // seconds since 1970, but before day 1
      {k1980 - 1, 86399},
      {k1980, 86400},  // 1 January 1980 00:00:00
      {0x7FFFFFFF, 0x7FFFFFFFLL - 315446400},
      {0x80000000LL, -2147483648LL},  // after 19 January 2038: negative
  };
  for (const auto& c : cases) {
    const auto raw = static_cast<int32_t>(static_cast<uint32_t>(c.raw));
    const tKvKPosDataTime t(raw);
    EXPECT_EQ(t.GetAsDateTime(1).Value, c.dateTime) << c.raw;
    EXPECT_EQ(t.GetAsSeconds(1), static_cast<int64_t>(static_cast<uint32_t>(raw))) << c.raw;
  }
  // From a date-time: with a date part the 1970 offset is added.
  const tKvDateTime dt = tKvDateTime::Encode(2020, 5, 17, 8, 30, 0);
  EXPECT_EQ(tKvKPosDataTime(dt).GetAsDateTime(1), dt);
  EXPECT_EQ(tKvKPosDataTime(dt).GetRaw(), static_cast<int32_t>(dt.ToUnixSeconds()));
  EXPECT_EQ(tKvKPosDataTime(tKvDateTime(3600)).GetRaw(), 3600);
  EXPECT_EQ(tKvKPosDataTime(dt).GetText(true), "17.05.20/08:30:00");
}

// ---------------------------------------------------------------------------
// Writing: exact bytes.

struct WriteCase {
  std::function<std::unique_ptr<tKvKPosData>()> make;
  std::string bytes;
};

TEST(KvKPosComStreamDataTest, WritesShortestEncodings) {
  const WriteCase cases[] = {
      {[] { return std::make_unique<tKvKPosDataNone>(); }, Bytes({0})},
      {[] { return std::make_unique<tKvKPosDataInt>(0); }, Bytes({1})},
      {[] { return std::make_unique<tKvKPosDataInt>(16); }, Bytes({17})},
      {[] { return std::make_unique<tKvKPosDataInt>(17); }, Bytes({18, 0x11})},
      {[] { return std::make_unique<tKvKPosDataInt>(255); }, Bytes({18, 0xFF})},
      {[] { return std::make_unique<tKvKPosDataInt>(256); }, Bytes({19, 0, 1})},
      {[] { return std::make_unique<tKvKPosDataInt>(65535); }, Bytes({19, 0xFF, 0xFF})},
      {[] { return std::make_unique<tKvKPosDataInt>(65536); }, Bytes({21, 0, 0, 1, 0})},
      {[] { return std::make_unique<tKvKPosDataInt>(-1); }, Bytes({21, 0xFF, 0xFF, 0xFF, 0xFF})},
      {[] { return std::make_unique<tKvKPosDataAddRec>(3); }, Bytes({66})},
      {[] { return std::make_unique<tKvKPosDataAddRec>(200); }, Bytes({80, 200})},
      {[] { return std::make_unique<tKvKPosDataAddRec>(1000); }, Bytes({81, 0xE8, 0x03})},
      {[] { return std::make_unique<tKvKPosDataAddRec>(-2); }, Bytes({83, 0xFE, 0xFF, 0xFF, 0xFF})},
      {[] { return std::make_unique<tKvKPosDataBcd>(tKvBcd{}); }, Bytes({22})},
      {[] { return std::make_unique<tKvKPosDataBcd>(B("1.5")); }, Bytes({23, 0x40, 0x15})},
      {[] { return std::make_unique<tKvKPosDataBcd>(B("-1.05")); }, Bytes({24, 0xC0, 0x50, 0x10})},
      {[] { return std::make_unique<tKvKPosDataBcd>(B("0.1000000000000000001")); },
       Bytes({23, 0x3F, 0x10})},
      {[] { return std::make_unique<tKvKPosDataBcd>(B("100000000000000001")); },
       Bytes({31, 0x51, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x10})},
      {[] {
         // A non-zero exponent without digits is zero: the ID alone.
         tKvBcd odd;
         odd.Bytes[0] = 0x40;
         return std::make_unique<tKvKPosDataBcd>(odd);
       },
       Bytes({22})},
      {[] { return std::make_unique<tKvKPosDataBcdFix>(tKvBcdFix{}); }, Bytes({32})},
      {[] { return std::make_unique<tKvKPosDataBcdFix>(tKvBcdFix::FromText("1234")); },
       Bytes({34, 0x12, 0x34})},
      {[] { return std::make_unique<tKvKPosDataBcdFix>(tKvBcdFix::FromText("12/3")); },
       Bytes({34, 0x12, 0xF3})},
      {[] { return std::make_unique<tKvKPosDataBitset>(tKvBitsetMem(0)); }, Bytes({43})},
      {[] {
         tKvBitsetMem b(3);
         b.Set(1);
         return std::make_unique<tKvKPosDataBitset>(b);
       },
       Bytes({46, 0, 0, 0x80})},
      {[] { return std::make_unique<tKvKPosDataStr>(""); }, Bytes({54})},
      {[] { return std::make_unique<tKvKPosDataStr>("A^Lb^^"); }, Bytes({55, 4, 'A', 1, 'b', '^'})},
      {[] { return std::make_unique<tKvKPosDataStr>("a\r\nb"); }, Bytes({55, 3, 'a', 1, 'b'})},
      {[] { return std::make_unique<tKvKPosDataStr>("^c^R^-^|^x^"); },
       Bytes({55, 6, 2, 3, 4, 11, '^', 'x'})},
      {[] { return std::make_unique<tKvKPosDataStr>(std::string("ab\0cd", 5)); },
       Bytes({55, 2, 'a', 'b'})},
      {[] { return std::make_unique<tKvKPosDataStr>("\n"); }, Bytes({54})},
      {[] { return std::make_unique<tKvKPosDataStrAI>("^L\r"); }, Bytes({86, 3, '^', 'L', 13})},
      {[] { return std::make_unique<tKvKPosDataStrAI>(""); }, Bytes({85})},
      {[] {
         return std::make_unique<tKvKPosDataTouch>(tKvTouch{1, 2, 3, 4, 5, 6, 7});
       },
       Bytes({62, 7, 6, 5, 4, 3, 2, 1})},
      {[] { return std::make_unique<tKvKPosDataTime>(0); }, Bytes({58})},
      {[] { return std::make_unique<tKvKPosDataTime>(3600); }, Bytes({59, 0x10, 0x0E, 0, 0})},
      {[] {
         return std::make_unique<tKvKPosDataDate>(tKvDateTime::Encode(1991, 12, 31, 10, 0, 0));
       },
       Bytes({112, 31, 12, 0xC7, 0x07})},
      {[] { return std::make_unique<tKvKPosDataDate>(tKvDateTime()); }, Bytes({112, 0, 0, 0, 0})},
      {[] { return std::make_unique<tKvKPosDataBinary>(""); }, Bytes({113})},
      {[] {
         return std::make_unique<tKvKPosDataBinary>(Bytes({1, 2}));
       },
       Bytes({114, 2, 1, 2})},
      {[] { return std::make_unique<tKvKPosDataHex>(""); }, Bytes({179})},
      {[] { return std::make_unique<tKvKPosDataHex>(Bytes({9})); }, Bytes({180, 1, 9})},
      {[] {
         return Tuple(Items({[] { return std::make_unique<tKvKPosDataInt>(1); },
                             [] { return std::make_unique<tKvKPosDataInt>(2); },
                             [] { return std::make_unique<tKvKPosDataInt>(3); }}));
       },
       Bytes({103, 2, 103, 3, 4})},
  };
  for (const auto& c : cases) {
    const auto e = c.make();
    EXPECT_EQ(Hex(Write(*e)), Hex(c.bytes)) << e->ClassName() << " " << e->GetText(true);
  }
}

TEST(KvKPosComStreamDataTest, CaretDecodingRoundTrip) {
  // "A^Lb^^" is written as A, 1, b, ^ and read back as "A^Lb^".
  const auto back = Read(Write(tKvKPosDataStr("A^Lb^^")));
  EXPECT_EQ(back->GetAsString(1), "A^Lb^");
  // CR LF becomes the single byte 1 and reads back as "^L".
  EXPECT_EQ(Read(Write(tKvKPosDataStr("x\r\n")))->GetAsString(1), "x^L");
}

// ---------------------------------------------------------------------------
// Round trips: write, read back, compare; a second write gives the same
// bytes. Covers every class.

TEST(KvKPosComStreamDataTest, EveryClassRoundTrips) {
  std::vector<std::function<std::unique_ptr<tKvKPosData>()>> makers = {
      [] { return std::make_unique<tKvKPosDataNone>(); },
      [] { return std::make_unique<tKvKPosDataInt>(16); },
      [] { return std::make_unique<tKvKPosDataInt>(17); },
      [] { return std::make_unique<tKvKPosDataInt>(70000); },
      [] { return std::make_unique<tKvKPosDataInt>(INT32_MIN); },
      [] { return std::make_unique<tKvKPosDataAddRec>(0); },
      [] { return std::make_unique<tKvKPosDataAddRec>(300); },
      [] { return std::make_unique<tKvKPosDataAddRec>(-7); },
      [] { return std::make_unique<tKvKPosDataBcd>(B("0")); },
      [] { return std::make_unique<tKvKPosDataBcd>(B("-0.05")); },
      [] { return std::make_unique<tKvKPosDataBcd>(B("123456789012345678")); },
      [] { return std::make_unique<tKvKPosDataBcd>(B("1E-62")); },
      [] { return std::make_unique<tKvKPosDataBcd>(B("9E63")); },
      [] {
        return std::make_unique<tKvKPosDataBcdFix>(tKvBcdFix::FromText("99999999999999999999"));
      },
      [] { return std::make_unique<tKvKPosDataBcdFix>(tKvBcdFix::FromText("4711/0815")); },
      [] { return std::make_unique<tKvKPosDataStr>("Kaffee ^L gro\xDF"); },
      [] { return std::make_unique<tKvKPosDataStr>(std::string(300, 'x')); },
      [] { return std::make_unique<tKvKPosDataStrAI>(std::string("\x01\x02^", 3)); },
      [] { return std::make_unique<tKvKPosDataStrAI>(std::string(65535, 'y')); },
      [] {
        return std::make_unique<tKvKPosDataTouch>(tKvTouch{0, 0, 0, 0, 0, 0, 1});
      },
      [] { return std::make_unique<tKvKPosDataTime>(-1); },
      [] {
        return std::make_unique<tKvKPosDataTime>(tKvDateTime::Encode(2024, 2, 29, 23, 59, 59));
      },
      [] { return std::make_unique<tKvKPosDataDate>(tKvDateTime::Encode(9999, 12, 31)); },
      [] { return std::make_unique<tKvKPosDataDate>(tKvDateTime()); },
      [] { return std::make_unique<tKvKPosDataBinary>(std::string(256, '\0')); },
      [] { return std::make_unique<tKvKPosDataBinary>(std::string(65535, '\xAA')); },
      [] { return std::make_unique<tKvKPosDataHex>(std::string(255, '\x01')); },
      [] {
        return Tuple(Items({[] { return std::make_unique<tKvKPosDataStr>("a"); },
                            [] { return std::make_unique<tKvKPosDataBcd>(B("2.5")); },
                            [] { return std::make_unique<tKvKPosDataNone>(); },
                            [] { return std::make_unique<tKvKPosDataHex>("h"); }}));
      },
  };
  for (int bits : {1, 8, 10, 11, 20, 21, 25, 26, 40, 41, 70, 71, 640}) {
    makers.push_back([bits] {
      tKvBitsetMem b(bits);
      b.Set(1);
      b.Set(bits);
      b.Set((bits + 1) / 2);
      return std::make_unique<tKvKPosDataBitset>(b);
    });
  }
  for (const auto& make : makers) {
    const auto e = make();
    const std::string where = e->ClassName() + " " + e->GetText(true).substr(0, 40);
    const std::string bytes = Write(*e);
    size_t left = 99;
    std::unique_ptr<tKvKPosData> back;
    ASSERT_NO_THROW(back = Read(bytes, &left)) << where;
    EXPECT_EQ(left, 0u) << where;
    EXPECT_EQ(back->ClassName(), e->ClassName()) << where;
    EXPECT_EQ(e->Compare(*back), KvCompare::kEqual) << where;
    // A bitset comes back with 8 bits per byte written (see below), so its
    // text and second encoding may be longer; its bits are the same.
    if (e->GetDataKind() != KvDataKind::kBitset) {
      EXPECT_EQ(e->GetText(true), back->GetText(true)) << where;
      EXPECT_EQ(Write(*back), bytes) << where;
    }
    // Clone agrees as well.
    const auto clone = e->Clone();
    EXPECT_EQ(Write(*clone), bytes) << where;
  }
}

TEST(KvKPosComStreamDataTest, BitsetIsWrittenByBitCount) {
  // A bitset read from one byte has 8 bits and is written with 8 bytes; the
  // value survives.
  const auto e = Read(Bytes({44, 0x81}));
  const std::string bytes = Write(*e);
  EXPECT_EQ(Hex(bytes), "33 00 00 00 00 00 00 00 81");
  EXPECT_EQ(Read(bytes)->Compare(*e), KvCompare::kEqual);
  // Bits beyond 640 are not written.
  tKvBitsetMem big(700);
  big.Set(700);
  big.Set(640);
  const auto back = Read(Write(tKvKPosDataBitset(big)));
  EXPECT_EQ(back->GetAsBitset(1)->GetCount(), 640);
  EXPECT_EQ(back->GetAsBitset(1)->HighestSet(), 640);
}

// ---------------------------------------------------------------------------
// Accessors, Multi addressing, comparison.

TEST(KvKPosComStreamDataTest, NeutralValuesForOtherKindsAndIndices) {
  const tKvKPosDataInt i(5);
  EXPECT_EQ(i.GetAsInteger(1), 5);
  EXPECT_EQ(i.GetAsInteger(2), 0);
  EXPECT_TRUE(i.GetAsBcd(1).IsZero());
  EXPECT_TRUE(i.GetAsBcdFix(1).IsZero());
  EXPECT_EQ(i.GetAsBitset(1)->GetCount(), 0);
  EXPECT_EQ(i.GetAsString(1), "");
  EXPECT_EQ(i.GetAsTouch(1), tKvTouch{});
  EXPECT_TRUE(i.GetAsDateTime(1).IsNull());
  EXPECT_EQ(i.GetAsSeconds(1), 0);
  EXPECT_TRUE(i.GetAsDate(1).IsNull());
  EXPECT_EQ(i.GetAsBinary(1), "");
  EXPECT_EQ(i.GetAsHex(1), "");
  EXPECT_EQ(i.GetItemCount(), 1);
  EXPECT_EQ(&i.GetItem(1), &i);
  EXPECT_EQ(i.GetItemKind(1), KvDataKind::kInt);
  EXPECT_EQ(i.GetItemKind(2), 0);
  try {
    i.GetItem(2);
    ADD_FAILURE();
  } catch (const EKvParam& e) {
    EXPECT_STREQ(e.what(), "[tKvKPosDataInt] Invalid item index: 2");
  }
  // IsEmpty: the value for index 1, true above; None is never empty.
  EXPECT_FALSE(i.IsEmpty(1));
  EXPECT_TRUE(tKvKPosDataInt(0).IsEmpty(1));
  EXPECT_TRUE(i.IsEmpty(2));
  EXPECT_FALSE(tKvKPosDataNone().IsEmpty(1));
  EXPECT_FALSE(tKvKPosDataNone().IsEmpty(7));
  EXPECT_TRUE(tKvKPosDataDate(tKvDateTime(3600)).IsEmpty(1));
  EXPECT_TRUE(tKvKPosDataBcd(tKvBcd{}).IsEmpty(1));
  EXPECT_TRUE(tKvKPosDataBitset(tKvBitsetMem(8)).IsEmpty(1));
  EXPECT_TRUE(tKvKPosDataTouch(tKvTouch{}).IsEmpty(1));
  EXPECT_TRUE(tKvKPosDataStr("").IsEmpty(1));
}

TEST(KvKPosComStreamDataTest, MultiAddressesItems) {
  const auto m = Read(Bytes({103, 2, 103, 55, 1, 'x', 103, 23, 0x40, 0x25, 112, 1, 2, 0xE8, 0x07}));
  EXPECT_EQ(m->GetItemCount(), 4);
  EXPECT_EQ(m->GetItemKind(1), KvDataKind::kInt);
  EXPECT_EQ(m->GetItemKind(2), KvDataKind::kStr);
  EXPECT_EQ(m->GetItemKind(3), KvDataKind::kBcd);
  EXPECT_EQ(m->GetItemKind(4), KvDataKind::kDate);
  EXPECT_EQ(m->GetItemKind(5), 0);
  EXPECT_EQ(m->GetItemKind(0), 0);
  EXPECT_EQ(m->GetAsInteger(1), 1);
  EXPECT_EQ(m->GetAsString(2), "x");
  EXPECT_EQ(m->GetAsBcd(3).Text(true), "2.5");
  EXPECT_EQ(m->GetAsDate(4), tKvDateTime::Encode(2024, 2, 1));
  EXPECT_EQ(m->GetAsInteger(2), 0);  // wrong kind
  EXPECT_EQ(m->GetAsInteger(9), 0);  // no such item
  EXPECT_EQ(m->GetAsInteger(-1), 0);
  EXPECT_EQ(m->GetItem(2).GetText(true), "x");
  EXPECT_EQ(m->GetText(true), "1/x/2.5/01.02.2024");
  try {
    m->GetItem(5);
    ADD_FAILURE();
  } catch (const EKvParam& e) {
    EXPECT_STREQ(e.what(), "[tKvKPosDataMulti] Invalid item index: 5");
  }
  EXPECT_THROW(m->GetItem(0), EKvParam);
  EXPECT_FALSE(m->IsEmpty(1));
  EXPECT_TRUE(m->IsEmpty(5));
  EXPECT_FALSE(m->IsEmpty(0));
  const auto empty = Read(Bytes({103, 1, 103, 54, 22}));
  EXPECT_TRUE(empty->IsEmpty(0));
  EXPECT_TRUE(empty->IsEmpty(2));
  // Hex and bitset items are reachable too.
  const auto h = Read(Bytes({60, 44, 0x80, 180, 1, 0x42}));
  EXPECT_EQ(h->GetAsHex(2), "\x42");
  EXPECT_EQ(h->GetAsBitset(1)->ToHexString(), "01");
  EXPECT_EQ(h->GetAsBitset(2)->GetCount(), 0);
}

TEST(KvKPosComStreamDataTest, MultiRejectsInvalidParts) {
  try {
    Read(Bytes({103, 103, 2, 3, 4}));
    ADD_FAILURE();
  } catch (const EKvParam& e) {
    EXPECT_STREQ(e.what(), "[tKvKPosDataMulti] invalid items");
  }
  EXPECT_THROW(tKvKPosDataMulti(nullptr, std::make_unique<tKvKPosDataNone>()), EKvParam);
  EXPECT_THROW(tKvKPosDataMulti(std::make_unique<tKvKPosDataNone>(), nullptr), EKvParam);
}

TEST(KvKPosComStreamDataTest, Compare) {
  struct Case {
    std::function<std::unique_ptr<tKvKPosData>()> a, b;
    int expected;
    const char* name;
  };
  auto I = [](int v) { return [v] { return std::make_unique<tKvKPosDataInt>(v); }; };
  auto S = [](const char* t) { return [t] { return std::make_unique<tKvKPosDataStr>(t); }; };
  auto A = [](const char* t) { return [t] { return std::make_unique<tKvKPosDataStrAI>(t); }; };
  auto D = [](const char* t) { return [t] { return std::make_unique<tKvKPosDataBcd>(B(t)); }; };
  auto T = [](int32_t r) { return [r] { return std::make_unique<tKvKPosDataTime>(r); }; };
  auto Bin = [](const char* t) { return [t] { return std::make_unique<tKvKPosDataBinary>(t); }; };
  const Case cases[] = {
      {I(1), I(2), KvCompare::kLess, "int less"},
      {I(-1), I(-1), KvCompare::kEqual, "int equal"},
      {I(3), I(-3), KvCompare::kGreater, "int greater"},
      {I(1), [] { return std::make_unique<tKvKPosDataAddRec>(1); }, KvCompare::kUnordered,
       "int vs addrec"},
      {S("b"), S("aa"), KvCompare::kGreater, "str lexicographic"},
      {S("a"), S("ab"), KvCompare::kLess, "str prefix"},
      {S("\xE4"), S("z"), KvCompare::kGreater, "str unsigned bytes"},
      {A("b"), A("aa"), KvCompare::kLess, "strai shorter first"},
      {A("ab"), A("aa"), KvCompare::kGreater, "strai same length"},
      {S("a"), A("a"), KvCompare::kUnordered, "str vs strai"},
      {D("-1"), D("1"), KvCompare::kLess, "bcd"},
      {D("2.50"), D("2.5"), KvCompare::kEqual, "bcd equal"},
      {T(-1), T(1), KvCompare::kLess, "time signed"},
      {Bin("ab"), Bin("ab"), KvCompare::kEqual, "binary equal"},
      {Bin("ab"), Bin("abc"), KvCompare::kUnordered, "binary unequal"},
      {Bin("ab"), [] { return std::make_unique<tKvKPosDataHex>("ab"); }, KvCompare::kUnordered,
       "binary vs hex"},
      {[] { return std::make_unique<tKvKPosDataTouch>(tKvTouch{1}); },
       [] { return std::make_unique<tKvKPosDataTouch>(tKvTouch{2}); }, KvCompare::kUnordered,
       "touch unequal"},
      {[] { return std::make_unique<tKvKPosDataNone>(); },
       [] { return std::make_unique<tKvKPosDataNone>(); }, KvCompare::kEqual, "none"},
      {[] { return std::make_unique<tKvKPosDataBcdFix>(tKvBcdFix::FromText("99")); },
       [] { return std::make_unique<tKvKPosDataBcdFix>(tKvBcdFix::FromText("100")); },
       KvCompare::kLess, "bcdfix"},
      {[] { return std::make_unique<tKvKPosDataDate>(tKvDateTime::Encode(2000, 1, 2)); },
       [] { return std::make_unique<tKvKPosDataDate>(tKvDateTime::Encode(2000, 1, 1)); },
       KvCompare::kGreater, "date"},
      {[] {
         return Tuple(Items({[] { return std::make_unique<tKvKPosDataInt>(1); },
                             [] { return std::make_unique<tKvKPosDataInt>(5); }}));
       },
       [] {
         return Tuple(Items({[] { return std::make_unique<tKvKPosDataInt>(1); },
                             [] { return std::make_unique<tKvKPosDataInt>(7); }}));
       },
       KvCompare::kLess, "multi by rest"},
      {[] {
         return Tuple(Items({[] { return std::make_unique<tKvKPosDataInt>(2); },
                             [] { return std::make_unique<tKvKPosDataInt>(0); }}));
       },
       I(2), KvCompare::kUnordered, "multi vs single"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.a()->Compare(*c.b()), c.expected) << c.name;
}

TEST(KvKPosComStreamDataTest, LongTexts) {
  EXPECT_EQ(tKvKPosDataBcd(B("-1234.5")).GetText(false), "-1.234,5");
  EXPECT_EQ(tKvKPosDataDate(tKvDateTime::Encode(1991, 12, 31)).GetText(false),
            "Dienstag, 31. Dezember 1991");
  const tKvKPosDataTime t(tKvDateTime::Encode(1991, 12, 31, 7, 8, 9));
  EXPECT_EQ(t.GetText(false), "Dienstag, 31. Dezember 1991, 07:08:09");
  EXPECT_EQ(tKvKPosDataTime(3600).GetText(false), "01:00:00");
  EXPECT_EQ(tKvKPosDataBcdFix(tKvBcdFix::FromText("12/3")).GetText(false), "12/3");
}

// ---------------------------------------------------------------------------
// Registry and bad input.

TEST(KvKPosComStreamDataTest, RegistryCoversExactlyTheAssignedIds) {
  // Enough zero bytes behind every ID for any payload (a zero length, zero
  // bytes, or two None elements for a Multi).
  const std::string zeros(100, '\0');
  for (int id = 0; id < kKvKPosIdCount; ++id) {
    const bool unassigned =
        id == 61 || id == 101 || id == 102 || (id >= 104 && id <= 106) || (id >= 116 && id <= 178);
    ByteSource source(zeros);
    if (unassigned) {
      ExpectComStreamError([&] { CreateElement(id, source); }, 1,
                           "KPosComStream error #1 - Unknown ComStreamID " + std::to_string(id),
                           "id " + std::to_string(id));
      EXPECT_EQ(source.Remaining(), zeros.size()) << id;
    } else {
      EXPECT_NO_THROW(CreateElement(id, source)) << id;
    }
  }
  ByteSource source(zeros);
  ExpectComStreamError([&] { CreateElement(182, source); }, 1, "Unknown ComStreamID 182", "182");
  ExpectComStreamError([&] { CreateElement(-1, source); }, 1, "Unknown ComStreamID -1", "-1");
}

TEST(KvKPosComStreamDataTest, ReadIdRejectsBytesAbove181) {
  for (int b : {182, 200, 255}) {
    ByteSource source(Bytes({b}));
    ExpectComStreamError([&] { ReadID(source); }, 1,
                         "KPosComStream error #1 - Unkown ComStreamID " + std::to_string(b),
                         std::to_string(b));
  }
  ByteSource ok(Bytes({181}));
  EXPECT_EQ(ReadID(ok), 181);
}

TEST(KvKPosComStreamDataTest, ConstructorRejectsForeignIds) {
  ByteSource source(std::string(20, '\0'));
  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"None", [&] { tKvKPosDataNone(1, source); }},
      {"Int", [&] { tKvKPosDataInt(22, source); }},
      {"AddRec", [&] { tKvKPosDataAddRec(84, source); }},
      {"Bcd", [&] { tKvKPosDataBcd(32, source); }},
      {"BcdFix", [&] { tKvKPosDataBcdFix(31, source); }},
      {"Bitset", [&] { tKvKPosDataBitset(54, source); }},
      {"Binary", [&] { tKvKPosDataBinary(116, source); }},
      {"Hex", [&] { tKvKPosDataHex(181, source); }},
      {"Str", [&] { tKvKPosDataStr(57, source); }},
      {"StrAI", [&] { tKvKPosDataStrAI(54, source); }},
      {"Touch", [&] { tKvKPosDataTouch(58, source); }},
      {"Time", [&] { tKvKPosDataTime(57, source); }},
      {"Date", [&] { tKvKPosDataDate(113, source); }},
      {"Multi", [&] { tKvKPosDataMulti(61, source); }},
  };
  for (const auto& [name, call] : cases) {
    try {
      call();
      ADD_FAILURE() << name;
    } catch (const EKvKPosComStream& e) {
      EXPECT_EQ(e.Code(), 2) << name;
      EXPECT_STREQ(e.what(),
                   ("[tKvKPosData" + std::string(name) + "] KPosComStream error #2").c_str());
    }
  }
  EXPECT_EQ(source.Remaining(), 20u);
}

TEST(KvKPosComStreamDataTest, TruncatedInputFailsCleanlyAtEveryLength) {
  const std::string encodings[] = {
      Bytes({21, 1, 2, 3, 4}),
      Bytes({83, 1, 2, 3, 4}),
      Bytes({31, 0x51, 0x78, 0x56, 0x34, 0x12, 0x90, 0x78, 0x56, 0x34, 0x12}),
      Bytes({42, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x10}),
      Bytes({110}) + std::string(80, '\x11'),
      Bytes({55, 3, 'a', 'b', 'c'}),
      Bytes({56, 3, 0, 'a', 'b', 'c'}),
      Bytes({87, 2, 0, 'a', 'b'}),
      Bytes({57, 1, 2, 3, 4, 5, 6}),
      Bytes({62, 1, 2, 3, 4, 5, 6, 7}),
      Bytes({59, 1, 2, 3, 4}),
      Bytes({112, 1, 1, 0xD0, 0x07}),
      Bytes({115, 2, 0, 1, 2}),
      Bytes({180, 2, 1, 2}),
      Bytes({103, 2, 103, 56, 1, 0, 'q', 23, 0x40, 0x15}),
  };
  for (const auto& full : encodings) {
    EXPECT_NO_THROW(Read(full)) << Hex(full);
    for (size_t len = 0; len < full.size(); ++len) {
      EXPECT_THROW(Read(full.substr(0, len)), EKvRoot) << Hex(full.substr(0, len));
    }
  }
}

TEST(KvKPosComStreamDataTest, LengthsBeyondTheDataFail) {
  // A 65535-byte text announced with only a few bytes behind it.
  EXPECT_THROW(Read(Bytes({56, 0xFF, 0xFF, 'a', 'b'})), EKvMisc);
  EXPECT_THROW(Read(Bytes({115, 0xFF, 0xFF, 1})), EKvMisc);
  EXPECT_THROW(Read(Bytes({180, 0xFF})), EKvMisc);
  // A full 65535-byte text of control bytes expands and still round-trips.
  const std::string full = Bytes({56, 0xFF, 0xFF}) + std::string(65535, '\x01');
  const auto e = Read(full);
  EXPECT_EQ(e->GetAsString(1).size(), 2u * 65535);
  EXPECT_EQ(Write(*e), full);
}

TEST(KvKPosComStreamDataTest, MultiNestingIsBounded) {
  // Thousands deep through the first item and through the rest: a clear
  // error, no stack exhaustion.
  const std::string firstDeep = std::string(5000, '\x3C') + std::string(5001, '\x01');
  ExpectComStreamError([&] { Read(firstDeep); }, 2, "Multi nested deeper than 64", "first");
  std::string restDeep;
  for (int i = 0; i < 5000; ++i) restDeep += Bytes({103, 2});
  restDeep += Bytes({2});
  ExpectComStreamError([&] { Read(restDeep); }, 2, "Multi nested deeper than 64", "rest");
  // 64 links (65 items) are accepted, 65 links are not.
  std::string ok;
  for (int i = 0; i < kKvKPosMaxMultiDepth; ++i) ok += Bytes({103, 2});
  ok += Bytes({3});
  const auto e = Read(ok);
  EXPECT_EQ(e->GetItemCount(), kKvKPosMaxMultiDepth + 1);
  EXPECT_EQ(e->GetAsInteger(kKvKPosMaxMultiDepth + 1), 2);
  EXPECT_THROW(Read(Bytes({103, 2}) + ok), EKvKPosComStream);
  // Building a chain deeper than the bound is refused as well.
  std::unique_ptr<tKvKPosData> chain = std::make_unique<tKvKPosDataNone>();
  for (int i = 0; i < kKvKPosMaxMultiDepth; ++i) {
    chain =
        std::make_unique<tKvKPosDataMulti>(std::make_unique<tKvKPosDataInt>(i), std::move(chain));
  }
  EXPECT_THROW(tKvKPosDataMulti(std::make_unique<tKvKPosDataInt>(0), std::move(chain)), EKvParam);
}

TEST(KvKPosComStreamDataTest, MalformedValuesFail) {
  ExpectComStreamError([] { Read(Bytes({23, 0x40, 0x1A})); }, 2, "Invalid BCD digit", "bcd");
  ExpectComStreamError(
      [] {
        Read(Bytes({112, 31, 2, 0xD0, 0x07}));
      },
      2, "Invalid date 31.2.2000", "date");
  ExpectComStreamError([] { Read(Bytes({112, 1, 13, 0xD0, 0x07})); }, 2, "Invalid date", "month");
  ExpectComStreamError([] { Read(Bytes({112, 1, 1, 0, 0})); }, 2, "Invalid date", "year 0");
}

TEST(KvKPosComStreamDataTest, TooLongValuesAreNotWritten) {
  struct Case {
    std::function<std::unique_ptr<tKvKPosData>()> make;
    const char* name;
  };
  const Case cases[] = {
      {[] { return std::make_unique<tKvKPosDataStr>(std::string(65536, 'a')); }, "Str"},
      {[] { return std::make_unique<tKvKPosDataStrAI>(std::string(65536, 'a')); }, "StrAI"},
      {[] { return std::make_unique<tKvKPosDataBinary>(std::string(65536, 'a')); }, "Binary"},
      {[] { return std::make_unique<tKvKPosDataHex>(std::string(256, 'a')); }, "Hex"},
  };
  for (const auto& c : cases) {
    tKvKPosComStreamDestMem dest;
    const auto e = c.make();
    ExpectComStreamError([&] { e->WriteToStream(dest); }, 3, "KPosComStream error #3", c.name);
    EXPECT_TRUE(dest.Data().empty()) << c.name;
  }
  // The limit applies to the encoded text: carets shrink it.
  std::string carets;
  for (int i = 0; i < 65535; ++i) carets += "^L";
  EXPECT_EQ(Write(tKvKPosDataStr(carets)).size(), 3u + 65535);
}

TEST(KvKPosComStreamDataTest, SourcePrimitivesAndRefusedSlot) {
  ByteSource source(Bytes({0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(source.ReadWord(), 0x1234);
  EXPECT_EQ(source.ReadLongint(), 0x12345678);
  EXPECT_EQ(source.ReadUnsigned(3), 0xFFFFFFu);
  ExpectComStreamError([&] { source.Skip(1, tKvKPosReadContext{}); }, 9, "KPosComStream error #9",
                       "skip");
  tKvKPosComStreamDestMem dest;
  dest.WriteWord(0x1234);
  dest.WriteLongint(-2);
  EXPECT_EQ(Hex(dest.Data()), "34 12 FE FF FF FF");
}

}  // namespace
