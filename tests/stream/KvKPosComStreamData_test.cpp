#include "stream/KvKPosComStreamData.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FiscalStreamTestHelp.h"
#include "base/RaiseTestHelp.h"
#include "stream/KvFiscalStreamSourceBinary.h"

namespace {

using fisc_test::Hex;
using raise_test::MessageOf;

// A source over a byte string; a read past its end raises EKvMisc "EOF"
// without touching the buffer.
class ByteSource final : public tKvKPosComStreamSource {
 public:
  explicit ByteSource(std::string bytes) : bytes_(std::move(bytes)) {}
  void Read(void* buffer, int32_t count, const tKvKPosReadContext&) override {
    if (count < 0 || static_cast<size_t>(count) > bytes_.size() - pos_) throw EKvMisc(this, "EOF");
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

template <class T, class... A>
std::unique_ptr<tKvKPosData> E(A&&... args) {
  return std::make_unique<T>(std::forward<A>(args)...);
}

template <typename F>
void ExpectComStreamError(F&& f, int code, const std::string& text, const std::string& where) {
  int got = 0;
  const std::string message = MessageOf<EKvKPosComStream>(f, &got);
  EXPECT_NE(message.find(text), std::string::npos) << where << ": " << message;
  EXPECT_EQ(got, code) << where << ": " << message;
}

// Every encoding: read -> kind and compact text, payload consumed exactly,
// every shorter prefix fails; written back (and cloned) -> the same bytes,
// or the writer's own form.
TEST(KvKPosComStreamDataTest, EncodingsRoundTrip) {
  using namespace KvDataKind;
  const std::string z14(14, '\0'), nines(10, '\x99');
  const struct {
    std::string Bytes;
    uint8_t Kind;
    std::string Text;
    std::string Rewritten = "";  // empty: written back unchanged
  } cases[] = {
      {Bytes({0}), kNone, ""},
      {Bytes({1}), kInt, "0"},
      {Bytes({17}), kInt, "16"},
      {Bytes({18, 0x11}), kInt, "17"},
      {Bytes({18, 0xFF}), kInt, "255"},
      {Bytes({19, 0, 1}), kInt, "256"},
      {Bytes({19, 0xFF, 0xFF}), kInt, "65535"},
      {Bytes({20, 0xFF, 0xFF, 0xFF}), kInt, "16777215", Bytes({21, 0xFF, 0xFF, 0xFF, 0})},
      {Bytes({21, 0, 0, 1, 0}), kInt, "65536"},
      {Bytes({21, 0xFF, 0xFF, 0xFF, 0xFF}), kInt, "-1"},
      {Bytes({63}), kAddRec, "0"},
      {Bytes({79}), kAddRec, "16"},
      {Bytes({80, 200}), kAddRec, "200"},
      {Bytes({81, 0xE8, 0x03}), kAddRec, "1000"},
      {Bytes({82, 1, 2, 3}), kAddRec, "197121", Bytes({83, 1, 2, 3, 0})},
      {Bytes({83, 0, 0, 0, 0x80}), kAddRec, "-2147483648"},
      {Bytes({22}), kBcd, "0"},
      {Bytes({181}), kBcd, "0", Bytes({22})},
      {Bytes({23, 0x40, 0x00}), kBcd, "0", Bytes({22})},  // exponent without digits
      {Bytes({23, 0x40, 0x15}), kBcd, "1.5"},
      {Bytes({24, 0xC2, 0x50, 0x12}), kBcd, "-125"},
      {Bytes({31, 0x51, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x10}), kBcd, "100000000000000001"},
      {Bytes({32}), kBcdFix, "0"},
      {Bytes({34, 0x12, 0x34}), kBcdFix, "1234"},
      {Bytes({35, 0x01, 0xF2, 0x34}), kBcdFix, "1/234"},
      {Bytes({42}) + nines, kBcdFix, std::string(20, '9')},
      {Bytes({43}), kBitset, ""},
      // Written by bit count: 8 bits take 8 bytes, 16 bits 16 bytes.
      {Bytes({44, 0x80}), kBitset, "01", Bytes({51, 0, 0, 0, 0, 0, 0, 0, 0x80})},
      {Bytes({45, 0x01, 0x80}), kBitset, "8001", Bytes({93}) + z14 + Bytes({0x01, 0x80})},
      {Bytes({54}), kStr, ""},
      {Bytes({55, 3, 'a', 'b', 'c'}), kStr, "abc"},
      {Bytes({56, 2, 0, 'A', 'B'}), kStr, "AB", Bytes({55, 2, 'A', 'B'})},
      {Bytes({55, 6, 1, 2, 3, 4, 11, 'x'}), kStr, "^L^C^R^-^|x"},
      // control bytes inside and behind the eight-byte steps of the scan
      {Bytes({55, 12, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 1, 'i', 'j', 'k', 'l'}), kStr,
       "abcdefg^Lijkl"},
      {Bytes({55, 11, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 2}), kStr, "abcdefghij^C"},
      {Bytes({85}), kStrAI, ""},
      {Bytes({86, 2, 1, 'x'}), kStrAI, "\x01x"},
      {Bytes({87, 1, 0, 'z'}), kStrAI, "z", Bytes({86, 1, 'z'})},
      {Bytes({57, 1, 2, 3, 4, 5, 6}), kTouch, "(touch)", Bytes({62, 0, 1, 2, 3, 4, 5, 6})},
      {Bytes({62, 1, 2, 3, 4, 5, 6, 7}), kTouch, "(touch)"},
      {Bytes({58}), kTime, "00.00.00/00:00:00"},
      {Bytes({59, 0x10, 0x0E, 0, 0}), kTime, "00.00.00/01:00:00"},
      {Bytes({111}), kDate, "00.00.0000", Bytes({112, 0, 0, 0, 0})},
      {Bytes({112, 31, 12, 0xC7, 0x07}), kDate, "31.12.1991"},
      {Bytes({112, 0, 12, 0xC7, 0x07}), kDate, "00.00.0000", Bytes({112, 0, 0, 0, 0})},
      {Bytes({112, 31, 0, 0xC7, 0x07}), kDate, "00.00.0000", Bytes({112, 0, 0, 0, 0})},
      {Bytes({113}), kBinary, ""},
      {Bytes({114, 2, 0x00, 0xFF}), kBinary, "00FF"},
      {Bytes({115, 1, 0, 0xAB}), kBinary, "AB", Bytes({114, 1, 0xAB})},
      {Bytes({179}), kHex, ""},
      {Bytes({180, 3, 1, 0x23, 0xEF}), kHex, "0123EF"},
      {Bytes({60, 2, 3}), kMulti, "1/2", Bytes({103, 2, 3})},
      {Bytes({84, 2, 3}), kMulti, "1/2", Bytes({103, 2, 3})},
      {Bytes({103, 2, 103, 3, 4}), kMulti, "1/2/3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Hex(c.Bytes));
    size_t left = 99;
    std::unique_ptr<tKvKPosData> e;
    ASSERT_NO_THROW(e = Read(c.Bytes, &left));
    EXPECT_EQ(left, 0u) << "payload not consumed exactly";
    EXPECT_EQ(e->GetDataKind(), c.Kind);
    EXPECT_EQ(e->GetText(true), c.Text);
    const std::string& out = c.Rewritten.empty() ? c.Bytes : c.Rewritten;
    EXPECT_EQ(Hex(Write(*e)), Hex(out));
    EXPECT_EQ(Hex(Write(*e->Clone())), Hex(out));
    EXPECT_EQ(Read(out)->Compare(*e), KvCompare::kEqual) << "written form reads back changed";
    for (size_t len = 0; len < c.Bytes.size(); ++len) {
      EXPECT_THROW(Read(c.Bytes.substr(0, len)), EKvRoot) << "truncated to " << len;
    }
  }
}

// Values that only a writer produces: text encoding and date-times.
TEST(KvKPosComStreamDataTest, WritesValues) {
  const struct {
    std::unique_ptr<tKvKPosData> E;
    std::string Bytes;
    std::string Back;  // compact text read back
  } cases[] = {
      {E<tKvKPosDataStr>("A^Lb^^"), Bytes({55, 4, 'A', 1, 'b', '^'}), "A^Lb^"},
      {E<tKvKPosDataStr>("A^Lb^"), Bytes({55, 3, 'A', 1, 'b'}), "A^Lb"},  // read back, rewritten
      {E<tKvKPosDataStr>("a\r\nb"), Bytes({55, 3, 'a', 1, 'b'}), "a^Lb"},
      {E<tKvKPosDataStr>("^c^R^-^|^x^"), Bytes({55, 6, 2, 3, 4, 11, '^', 'x'}), "^C^R^-^|^x"},
      {E<tKvKPosDataStr>(std::string("ab\0cd", 5)), Bytes({55, 2, 'a', 'b'}), "ab"},
      {E<tKvKPosDataStr>("\n"), Bytes({54}), ""},
      {E<tKvKPosDataStrAI>("^L\r"), Bytes({86, 3, '^', 'L', 13}), "^L\r"},
      {E<tKvKPosDataDate>(tKvDateTime::Encode(1991, 12, 31, 10, 0, 0)),
       Bytes({112, 31, 12, 0xC7, 0x07}), "31.12.1991"},
      {E<tKvKPosDataTime>(tKvDateTime::Encode(2020, 5, 17, 8, 30, 0)),
       Bytes({59, 0x08, 0xF6, 0xC0, 0x5E}), "17.05.20/08:30:00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(Write(*c.E)), Hex(c.Bytes)) << c.Back;
    EXPECT_EQ(Read(c.Bytes)->GetText(true), c.Back);
  }
}

TEST(KvKPosComStreamDataTest, BitsetFormByBitCount) {
  const struct {
    int Bits, Id, Written;
  } cases[] = {{1, 44, 1},    {8, 51, 8},    {10, 53, 10},  {11, 88, 11},   {20, 97, 20},
               {21, 98, 25},  {25, 98, 25},  {26, 99, 30},  {40, 100, 40},  {41, 107, 50},
               {60, 108, 60}, {61, 109, 70}, {71, 110, 80}, {640, 110, 80}, {700, 110, 80}};
  for (const auto& c : cases) {
    tKvBitsetMem b(c.Bits);
    b.Set(1), b.Set(c.Bits), b.Set((c.Bits + 1) / 2);
    const std::string bytes = Write(tKvKPosDataBitset(b));
    EXPECT_EQ(bytes.size(), 1u + c.Written) << c.Bits;
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), c.Id) << c.Bits;
    const auto back = Read(bytes)->GetAsBitset(1);
    EXPECT_EQ(back->GetCount(), c.Written * 8) << c.Bits;
    // Bits beyond 640 are not written.
    for (int i = 1; i <= c.Written * 8; ++i) ASSERT_EQ(back->GetBit(i), b.GetBit(i)) << c.Bits;
  }
}

TEST(KvKPosComStreamDataTest, LengthForms) {
  const struct {
    std::unique_ptr<tKvKPosData> E;
    int Id;  // 0: refused with code 3, nothing written
  } cases[] = {
      {E<tKvKPosDataStr>(std::string(255, 'x')), 55},
      {E<tKvKPosDataStr>(std::string(256, 'x')), 56},
      {E<tKvKPosDataStr>(std::string(65535, 'x')), 56},
      {E<tKvKPosDataStr>(std::string(65536, 'x')), 0},
      {E<tKvKPosDataStrAI>(std::string(65535, 'y')), 87},
      {E<tKvKPosDataStrAI>(std::string(65536, 'y')), 0},
      {E<tKvKPosDataBinary>(std::string(255, '\0')), 114},
      {E<tKvKPosDataBinary>(std::string(65535, '\xAA')), 115},
      {E<tKvKPosDataBinary>(std::string(65536, '\xAA')), 0},
      {E<tKvKPosDataHex>(std::string(255, '\x01')), 180},
      {E<tKvKPosDataHex>(std::string(256, '\x01')), 0},
  };
  for (const auto& c : cases) {
    const std::string where = c.E->ClassName() + " " + std::to_string(c.E->GetText(true).size());
    tKvKPosComStreamDestMem dest;
    if (c.Id == 0) {
      ExpectComStreamError([&] { c.E->WriteToStream(dest); }, 3, "KPosComStream error #3", where);
      EXPECT_TRUE(dest.Data().empty()) << where;
      continue;
    }
    c.E->WriteToStream(dest);
    EXPECT_EQ(static_cast<uint8_t>(dest.Data()[0]), c.Id) << where;
    size_t left = 99;
    EXPECT_EQ(Read(dest.Data(), &left)->Compare(*c.E), KvCompare::kEqual) << where;
    EXPECT_EQ(left, 0u) << where;
  }
  // The limit applies to the encoded text: carets shrink it, control bytes
  // read back expand it.
  std::string carets;
  for (int i = 0; i < 65535; ++i) carets += "^L";
  const std::string full = Write(tKvKPosDataStr(carets));
  EXPECT_EQ(full, Bytes({56, 0xFF, 0xFF}) + std::string(65535, '\x01'));
  EXPECT_EQ(Read(full)->GetAsString(1), carets);
}

TEST(KvKPosComStreamDataTest, TimeRawValues) {
  // Below 86400 (negative too): time of day; up to 315446400: null; above:
  // seconds since 1970 (day 1 from 315446400 + 86400); 2^31 and more are
  // negative (after 19 January 2038).
  const int64_t k1980 = 315446400 + 86400;
  const struct {
    int64_t Raw, DateTime;
  } cases[] = {{0, 0},
               {3600, 3600},
               {86399, 86399},
               {-5, -5},
               {86400, 0},
               {315446400, 0},
               {315446401, 1},
               {k1980 - 1, 86399},
               {k1980, 86400},
               {0x7FFFFFFF, 0x7FFFFFFFLL - 315446400},
               {0x80000000LL, -2147483648LL}};
  for (const auto& c : cases) {
    const tKvKPosDataTime t(static_cast<int32_t>(static_cast<uint32_t>(c.Raw)));
    EXPECT_EQ(t.GetAsDateTime(1).Value, c.DateTime) << c.Raw;
    EXPECT_EQ(t.GetAsSeconds(1), static_cast<int64_t>(static_cast<uint32_t>(c.Raw))) << c.Raw;
  }
  const tKvDateTime dt = tKvDateTime::Encode(2020, 5, 17, 8, 30, 0);
  EXPECT_EQ(tKvKPosDataTime(dt).GetAsDateTime(1), dt);
}

TEST(KvKPosComStreamDataTest, AccessorsAndNeutralValues) {
  const tKvKPosDataInt i(5);
  EXPECT_EQ(i.GetAsInteger(1), 5);
  EXPECT_EQ(i.GetAsInteger(2), 0);
  EXPECT_TRUE(i.GetAsBcd(1).IsZero() && i.GetAsBcdFix(1).IsZero() && i.GetAsDate(1).IsNull());
  EXPECT_TRUE(i.GetAsDateTime(1).IsNull() && i.GetAsSeconds(1) == 0);
  EXPECT_EQ(i.GetAsBitset(1)->GetCount(), 0);
  EXPECT_EQ(i.GetAsString(1) + i.GetAsBinary(1) + i.GetAsHex(1), "");
  EXPECT_EQ(&i.GetItem(1), &i);
  EXPECT_EQ(i.GetItemKind(2), 0);
  EXPECT_EQ(MessageOf<EKvParam>([&] { i.GetItem(2); }), "[tKvKPosDataInt] Invalid item index: 2");
  // Typed values the compact text does not show.
  EXPECT_EQ(tKvKPosDataTime(3600).GetText(false), "01:00:00");
  EXPECT_EQ(tKvKPosDataTime(tKvDateTime::Encode(1991, 12, 31, 7, 8, 9)).GetText(false),
            "Dienstag, 31. Dezember 1991, 07:08:09");
  // IsEmpty: the value for index 1, true above; None is never empty.
  EXPECT_FALSE(i.IsEmpty(1));
  EXPECT_TRUE(i.IsEmpty(2));
  EXPECT_FALSE(tKvKPosDataNone().IsEmpty(7));
  for (const std::string& b : {Bytes({1}), Bytes({22}), Bytes({44, 0}), Bytes({54}), Bytes({111}),
                               Bytes({62, 0, 0, 0, 0, 0, 0, 0})}) {
    EXPECT_TRUE(Read(b)->IsEmpty(1)) << Hex(b);
  }
}

TEST(KvKPosComStreamDataTest, MultiAddressesItems) {
  const auto m = Read(Bytes({103, 2, 103, 55, 1, 'x', 103, 23, 0x40, 0x25, 112, 1, 2, 0xE8, 0x07}));
  EXPECT_EQ(m->GetItemCount(), 4);
  const int kinds[] = {0, 2, 7, 4, 10, 0};  // index 0 and 5: no item
  for (int k = 0; k <= 5; ++k) EXPECT_EQ(m->GetItemKind(k), kinds[k]) << k;
  EXPECT_EQ(m->GetAsInteger(1), 1);
  EXPECT_EQ(m->GetAsString(2), "x");
  // The copy-free text: the text item's, nothing for others.
  std::string_view view;
  EXPECT_TRUE(m->GetAsStringView(2, view) && view == "x");
  EXPECT_FALSE(m->GetAsStringView(1, view) || tKvKPosDataInt(5).GetAsStringView(1, view));
  EXPECT_EQ(m->GetAsBcd(3).Text(true), "2.5");
  EXPECT_EQ(m->GetAsDate(4), tKvDateTime::Encode(2024, 2, 1));
  EXPECT_EQ(m->GetAsInteger(2) + m->GetAsInteger(9) + m->GetAsInteger(-1), 0);
  EXPECT_EQ(m->GetItem(2).GetText(true), "x");
  EXPECT_EQ(m->GetText(true), "1/x/2.5/01.02.2024");
  EXPECT_EQ(MessageOf<EKvParam>([&] { m->GetItem(5); }),
            "[tKvKPosDataMulti] Invalid item index: 5");
  EXPECT_THROW(m->GetItem(0), EKvParam);
  EXPECT_FALSE(m->IsEmpty(1) || m->IsEmpty(0));
  EXPECT_TRUE(m->IsEmpty(5));
  const auto empty = Read(Bytes({103, 1, 103, 54, 22}));
  EXPECT_TRUE(empty->IsEmpty(0) && empty->IsEmpty(2));
  const auto h = Read(Bytes({60, 44, 0x80, 180, 1, 0x42}));
  EXPECT_EQ(h->GetAsHex(2), "\x42");
  EXPECT_EQ(h->GetAsBitset(1)->ToHexString(), "01");
  EXPECT_EQ(h->GetAsBitset(2)->GetCount(), 0);
}

// The wire format table against reading: every ID byte of the table's
// classes reads exactly the payload its row states into an element of its
// class, and the in-place size checks agree; every other ID byte is refused
// without reading on.
TEST(KvKPosComStreamDataTest, WireTableMatchesReadingEveryId) {
  using namespace kv_wire;
  namespace K = KvDataKind;  // the data kind of every element class
  const uint8_t kinds[] = {0,          0,          K::kNone, K::kInt,   K::kAddRec, K::kBcd,
                           K::kBcdFix, K::kBitset, K::kStr,  K::kStrAI, K::kTouch,  K::kTime,
                           K::kDate,   K::kBinary, K::kHex,  K::kMulti};
  for (int id = 0; id < 256; ++id) {
    const tWireId& wire = WireOf(static_cast<uint8_t>(id));
    std::string payload;
    switch (wire.Payload) {
      case kFixed:
        payload.assign(wire.Size, '\x12');
        break;
      case kDigits:
        payload = "\x41" + std::string(wire.Size - 1u, '\x12');
        break;
      case kLength8:
        payload = Bytes({3, 'a', 'b', 'c'});
        break;
      case kLength16:
        payload = Bytes({3, 0, 'a', 'b', 'c'});
        break;
      case kDayMonthYear:
        payload = Bytes({1, 2, 0xD0, 7});
        break;
      case kPair:
        payload = Bytes({2, 3});
        break;
      case kNothing:
        break;
    }
    const std::string element = static_cast<char>(id) + payload;
    const std::string where = "id " + std::to_string(id);
    ByteSource source(element + "end");
    if (wire.Class == kUnassigned || wire.Class == kFraming) {
      if (id > kKvKPosMaxId) {
        ExpectComStreamError([&] { ReadID(source); }, 1, "Unkown ComStreamID " + std::to_string(id),
                             where);
      } else {
        ExpectComStreamError([&] { ReadElement(source); }, 1,
                             "Unknown ComStreamID " + std::to_string(id), where);
      }
      EXPECT_EQ(source.Remaining(), 3u) << where;
      continue;
    }
    const std::unique_ptr<tKvKPosData> read = ReadElement(source);
    EXPECT_EQ(source.Remaining(), 3u) << where;
    EXPECT_EQ(read->GetDataKind(), kinds[static_cast<size_t>(wire.Class)]) << where;
    const auto* bytes = reinterpret_cast<const uint8_t*>(element.data());
    EXPECT_EQ(kv_kpos_detail::RegularElementSize(bytes, std::ssize(element)), std::ssize(element))
        << where;
    int32_t value = 0;
    if (PlainIntegerAt(bytes, std::ssize(element), value) != 0) {
      EXPECT_EQ(value, read->GetAsInteger(1)) << where;
    } else {
      EXPECT_TRUE(wire.Class != kInt && wire.Class != kAddRec) << where;
    }
    tKvKPosStreamFileMem file;
    file.WriteBuffer(element.data(), static_cast<int32_t>(element.size()));
    file.SetPosition(0);
    tKvFiscalStreamSourceBinary inPlace(file, file.GetSize());
    SkipElement(inPlace);
    EXPECT_EQ(file.GetPosition(), std::ssize(element)) << where;
  }
  // A class's constructor refuses the IDs of the others.
  ByteSource source(std::string(8, '\0'));
  ExpectComStreamError([&] { tKvKPosDataTouch(58, source); }, 2,
                       "[tKvKPosDataTouch] KPosComStream error #2", "Touch 58");
}

TEST(KvKPosComStreamDataTest, BadInputFailsCleanly) {
  // A 65535-byte length with only a few bytes behind it.
  for (const std::string& s :
       {Bytes({56, 0xFF, 0xFF, 'a', 'b'}), Bytes({115, 0xFF, 0xFF, 1}), Bytes({180, 0xFF})}) {
    EXPECT_THROW(Read(s), EKvMisc) << Hex(s);
  }
  const struct {
    std::string Bytes;
    const char* Text;
  } malformed[] = {
      {Bytes({23, 0x40, 0x1A}), "Invalid BCD digit"},
      {Bytes({27, 0x40, 0x12, 0x3F, 0x99, 0x99, 0x99}), "Invalid BCD digit"},
      {Bytes({31, 0x40, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x56, 0xA0}),
       "Invalid BCD digit"},
      {Bytes({112, 31, 2, 0xD0, 0x07}), "Invalid date 31.2.2000"},
      {Bytes({112, 1, 13, 0xD0, 0x07}), "Invalid date"},
      {Bytes({112, 1, 1, 0, 0}), "Invalid date"},
  };
  for (const auto& m : malformed)
    ExpectComStreamError([&] { Read(m.Bytes); }, 2, m.Text, Hex(m.Bytes));
  EXPECT_NO_THROW(Read(Bytes({31, 0x40, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99})));
}

TEST(KvKPosComStreamDataTest, MultiNestingIsBounded) {
  // Thousands deep through the first item and through the rest: a clear
  // error, no stack exhaustion.
  const std::string firstDeep = std::string(5000, '\x3C') + std::string(5001, '\x01');
  ExpectComStreamError([&] { Read(firstDeep); }, 2, "Multi nested deeper than 64", "first");
  std::string restDeep;
  for (int i = 0; i < 5000; ++i) restDeep += Bytes({103, 2});
  ExpectComStreamError([&] { Read(restDeep + Bytes({2})); }, 2, "Multi nested deeper than 64",
                       "rest");
  // 64 links (65 items) are accepted, 65 links are not.
  std::string ok;
  for (int i = 0; i < kKvKPosMaxMultiDepth; ++i) ok += Bytes({103, 2});
  ok += Bytes({3});
  const auto e = Read(ok);
  EXPECT_EQ(e->GetItemCount(), kKvKPosMaxMultiDepth + 1);
  EXPECT_EQ(e->GetAsInteger(kKvKPosMaxMultiDepth + 1), 2);
  EXPECT_THROW(Read(Bytes({103, 2}) + ok), EKvKPosComStream);
  std::unique_ptr<tKvKPosData> chain = std::make_unique<tKvKPosDataNone>();
  for (int i = 0; i < kKvKPosMaxMultiDepth; ++i) {
    chain = E<tKvKPosDataMulti>(E<tKvKPosDataInt>(i), std::move(chain));
  }
  EXPECT_THROW(tKvKPosDataMulti(E<tKvKPosDataInt>(0), std::move(chain)), EKvParam);
  // A Multi as first item, or a missing part.
  EXPECT_EQ(MessageOf<EKvParam>([] {
              Read(Bytes({103, 103, 2, 3, 4}));
            }),
            "[tKvKPosDataMulti] invalid items");
  EXPECT_THROW(tKvKPosDataMulti(nullptr, E<tKvKPosDataNone>()), EKvParam);
  EXPECT_THROW(tKvKPosDataMulti(E<tKvKPosDataNone>(), nullptr), EKvParam);
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
  EXPECT_EQ(Hex(dest.Data()), "3412FEFFFFFF");
}

}  // namespace
