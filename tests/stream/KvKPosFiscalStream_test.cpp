#include "stream/KvKPosFiscalStream.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "FiscalStreamTestHelp.h"

using namespace fisc_test;

namespace {

// File header element: 20 items, item 8 a text.
Bytes Header() {
  std::vector<Bytes> items;
  for (int i = 1; i <= 20; ++i) items.push_back(i == 8 ? Str("Hdr") : Int(i));
  return Tuple(items);
}

// Block information element: 12 items with the given signature element;
// the three date-times are the times of day 1, 2 and 3 seconds.
Bytes BlockInfo(int32_t id, const Bytes& sign = {113}) {
  const auto time = [](uint8_t s) { return Bytes{59, s, 0, 0, 0}; };
  return Tuple({Int(id), Int(2), time(1), time(2), Bytes{34, 0x12, 0x34}, Int(6), Str("Kasse"),
                Int(8), Int(1), Str("1.0"), sign, time(3)});
}

// Entry start item (3) for type 1 and record start (9) of type 201.
const Bytes kEntry = {119, 103, 2, 103, 3, 103, 1, 19, 0xE4, 0x04};
const Bytes kRec201 = {125, 18, 201};
const Bytes kEnd = {143};
const std::string kParser = "[tKvKPosFiscalStreamParser] ";
const std::string kEof = "[tKvFiscalStreamSourceBinary] EOF";

// Parses all of bytes as one range; returns the events, " | " and either
// "=<result>" or the message of the exception.
std::string Range(const Bytes& bytes, uint8_t version = 0, bool lengthPrefixed = false,
                  bool passLinks = false) {
  MemStream m(bytes);
  tRecordingWriter w;
  tKvKPosFiscalStreamParser parser(version, &w, m.Source.get());
  std::string end;
  try {
    end = "=" + std::to_string(parser.ParseRange(m.File, lengthPrefixed, passLinks,
                                                 static_cast<int64_t>(bytes.size())));
  } catch (const EKvRoot& e) {
    end = e.what();
  }
  return w.Events + " | " + end;
}

struct RangeCase {
  const char* Name;
  Bytes Input;
  std::string Expected;
  uint8_t Version = 0;
  bool LengthPrefixed = false;
  bool PassLinks = false;
};

TEST(FiscalStreamParser, ParseRangeEvents) {
  // Unknown item numbers (0, 2, 33, 1049, negative) and framing bytes.
  for (const Bytes& b : {Bytes{116, 2}, Bytes{118, 2}, Bytes{133, 33, 2}, Bytes{134, 25, 4, 2},
                         Bytes{136, 0, 0, 0, 0x80, 2}, Bytes{179}}) {
    EXPECT_EQ(Range(b), " | " + kParser + "KPosComStream error #2") << ::testing::PrintToString(b);
  }
  const Bytes blk3 = Cat({{121}, BlockInfo(3)}), entry = Cat({kEntry, kEnd});
  const std::string e = "Entry(1,2,0,1252) End ", e2 = e + e + "| =1", e4 = e + e + e + e + "| =1";
  const std::vector<RangeCase> cases = {
      {"empty range", {}, " | =1"},
      {"entry", Cat({kEntry, kRec201, {175, 101, 59, 16, 0, 0, 0}, kEnd}),
       "Entry(1,2,0,1252) Rec(201,1) Add(101:9=00.00.00/00:00:16) End | =1"},
      {"record levels 1, 12 and 24",
       {125, 18, 201, 133, 20, 1, 133, 32, 6},
       "Rec(201,1) Rec(0,12) Rec(5,24) | =1"},
      {"record start without element", {146}, "Rec(0,1) | =1"},
      {"version", {117, 2}, "Ver(1,1) | =1"},
      {"items 7 and 8 are ignored", {123, 2, 124, 3, 144, 145}, " | =1"},
      // Header versions.
      {"v0 accepts 50 and 1050", Cat({LongItem(50, Header()), LongItem(1050, Header())}),
       "Hdr(1,Hdr) Hdr(1,Hdr) | =1"},
      {"v1 header 50", LongItem(50, Header()), "Hdr(1,Hdr) | =1", 1},
      {"v1 header 1050", LongItem(1050, Header()),
       " | " + kParser + "KPosComStream error #7 - File header #1050, but #50 expected.", 1},
      {"v2 header 1050", LongItem(1050, Header()), "Hdr(1,Hdr) | =1", 2},
      {"v2 header 50", LongItem(50, Header()),
       " | " + kParser + "KPosComStream error #7 - File header #50, but #1050 expected.", 2},
      {"header item without tuple", {133, 50, 2}, "Hdr(1,) | =1"},
      // Block information and its signature.
      {"block info", blk3, "Blk(3,Kasse,0) | =1"},
      {"signature of 1024 bytes", Cat({{121}, BlockInfo(3, Bin(1024, 0xAA))}),
       "Blk(3,Kasse,1024) | =1"},
      {"signature of 1025 bytes", Cat({{121}, BlockInfo(3, Bin(1025, 0xAA))}),
       " | tKvKPosSignatureRec.AssignBinary: signature too long: 1025"},
      // Length-prefixed ranges: a value after the block information and,
      // while the last value is above 0, after each entry end.
      {"length values", Cat({blk3, Le32(40), entry, Le32(7), entry, Le32(0), entry, entry}),
       "Blk(3,Kasse,0) " + e4, 0, true},
      {"negative length value ends the values", Cat({blk3, Le32(-1), entry, entry}),
       "Blk(3,Kasse,0) " + e2, 0, true},
      {"no values before the first block information", Cat({entry, entry}), e2, 0, true},
      {"missing length value", Cat({blk3, {1, 0}}), "Blk(3,Kasse,0) | " + kEof, 0, true},
      // Back links.
      {"link to a record ended by an entry end",
       Cat({kRec201, {159, 2, 160, 3}, kEnd, {120, 18, 8}, {125, 2}}),
       "Rec(201,1) Add(1:2=1) Add(2:2=2) End Add(1:2=1) Add(2:2=2) Rec(1,1) | =1"},
      {"link before position 0", Cat({kRec201, {120, 18, 4}}),
       "Rec(201,1) | " + kParser + "KPosFiscalStream error #6 - Invalid link position"},
      {"nested link", Cat({kRec201, {120, 4}}),
       "Rec(201,1) | " + kParser + "KPosComStream error #2 - Nested backlink!"},
      // The target lies inside a text whose last byte swallows the link
      // item as a length: the link reads on to the end of the data.
      {"link never reaching a record start",
       {158, 55, 2, 158, 55, 120, 18, 2},
       "Add(0:7=\x9e\x37) | " + kEof},
      {"link to its own item",
       {120, 1},
       " | " + kParser + "KPosComStream error #2 - Nested backlink!"},
      {"links passed on", Cat({kRec201, {120, 18, 7}, {120, 4}}), "Rec(201,1) Link(7) Link(3) | =1",
       0, false, true},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + " " + ::testing::PrintToString(c.Input));
    EXPECT_EQ(Range(c.Input, c.Version, c.LengthPrefixed, c.PassLinks), c.Expected);
  }
}

// A link to a record ended by a record start.
TEST(FiscalStreamParser, LinkPositionsAndRestore) {
  const Bytes bytes = Cat({kRec201, {159, 2}, {126, 2}, {120, 18, 7}, kEnd});
  MemStream m(bytes);
  tRecordingWriter w;
  w.WithPositions = true;
  tKvKPosFiscalStreamParser parser(0, &w, m.Source.get());
  EXPECT_EQ(parser.ParseRange(m.File, false, false, 11), 1);
  // The linked field arrives while the writer's position is the link's.
  EXPECT_EQ(w.Events, "@0:Rec(201,1) @3:Add(1:2=1) @5:Rec(1,2) @7:Add(1:2=1) @10:End");
  EXPECT_EQ(w.file_pos(), 11);

  // After a failing link the file is back behind the link item.
  const Bytes endless = {158, 55, 2, 158, 55, 120, 18, 2};
  MemStream m2(endless);
  tKvKPosFiscalStreamParser parser2(0, &w, m2.Source.get());
  EXPECT_THROW(parser2.ParseRange(m2.File, false, false, 8), EKvMisc);
  EXPECT_EQ(m2.File.GetPosition(), 8);
}

TEST(FiscalStreamParser, ConsecutiveRanges) {
  const Bytes bytes = Cat({kRec201, kEnd, {126, 2}});
  MemStream m(bytes);
  tRecordingWriter w;
  tKvKPosFiscalStreamParser parser(0, &w, m.Source.get());
  // Length 0 returns at once without reading.
  EXPECT_EQ(parser.ParseRange(m.File, false, false, 0), 1);
  EXPECT_EQ(m.File.GetPosition(), 0);
  EXPECT_EQ(parser.ParseRange(m.File, false, false, 3), 1);
  EXPECT_EQ(parser.ParseRange(m.File, false, false, 1), 1);
  EXPECT_EQ(w.Events, "Rec(201,1) End");
  // An item running past the end of its range is read past it; the range
  // then cannot end and the source reports the end of its data.
  EXPECT_THROW(parser.ParseRange(m.File, false, false, 1), EKvMisc);
  EXPECT_EQ(w.Events, "Rec(201,1) End Rec(1,2)");
}

TEST(FiscalStreamParser, ReadBlockInfo) {
  const Bytes head = Cat({LongItem(50, Header()), {117, 2, 121}, BlockInfo(7, Bin(3, 0x55))});
  const Bytes bytes = Cat({head, kEnd});
  {
    MemStream m(bytes);
    tKvKPosBlockInfoRec info;
    ReadBlockInfo(1, *m.Source, info);
    EXPECT_EQ(std::tie(info.ID, info.EcrAddr, info.SerNr, info.HwID, info.FiscJnlType,
                       info.DateTime.Value, info.RegEndDT.Value, info.RegStartDT.Value),
              std::make_tuple(7, 2, 6, 8, 1, 1, 2, 3));
    EXPECT_EQ(info.EcrNr.Text() + info.EcrName.str() + info.SwVer.str() +
                  std::string(info.DataSign.View()),
              "1234Kasse1.0UUU");
    EXPECT_EQ(m.File.GetPosition(), static_cast<int64_t>(head.size()));
  }
  const auto fails = [](const Bytes& input, uint8_t version) -> std::string {
    MemStream m(input);
    tKvKPosBlockInfoRec info;
    info.ID = 5;
    try {
      ReadBlockInfo(version, *m.Source, info);
    } catch (const EKvRoot& e) {
      EXPECT_EQ(info.ID, 0);  // initialised before reading
      return e.what();
    }
    return "no exception";
  };
  EXPECT_EQ(fails(bytes, 2),
            "[tKvKPosFiscalStreamParserBlkInfo] KPosComStream error #7 - File header #50, but "
            "#1050 expected.");
  EXPECT_EQ(fails({117, 2, 143}, 0), kEof);
  EXPECT_EQ(fails({120, 2}, 0),
            "[tKvKPosFiscalStreamParserBlkInfo] KPosFiscalStream error #6 - Backlink cannot be "
            "followed outside a range");
}

}  // namespace
