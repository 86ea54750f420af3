// The parse modes that do less work than the general parse: the check mode
// (elements checked in place, known links not followed again, no event to
// the writer) and the event-buffer mode (common items taken straight from
// the bytes, fields as positions, known links handed on from the link
// cache). Whatever the bytes, both must end exactly as the general parse:
// same result or same failure, same position, and for the buffer's replay
// (after a parse without failure) the same events.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FiscalStreamTestHelp.h"
#include "base/KvErrors.h"
#include "stream/KvFiscalStreamSourceBinary.h"
#include "stream/KvKPosComStream.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosFiscalEventBuffer.h"
#include "stream/KvKPosFiscalStream.h"
#include "stream/KvKPosFiscalStreamWriter.h"

namespace {

using namespace fisc_test;

// Record start at level 1..8 (short framing) with an integer type.
Bytes Rec(int level, int32_t type) { return Cat({{static_cast<uint8_t>(124 + level)}, Int(type)}); }

// Field (sub-item) number n, 0..255.
Bytes Fld(int n, const Bytes& element) {
  if (n <= 16) return Cat({{static_cast<uint8_t>(158 + n)}, element});
  return Cat({{175, static_cast<uint8_t>(n)}, element});
}

const Bytes kEntry = {119, 103, 2, 103, 3, 103, 1, 19, 0xE4, 0x04};
const Bytes kEnd = {143};

// A block under construction that knows where its parts lie.
struct tBlock {
  Bytes Data;
  int64_t Here() const { return std::ssize(Data); }
  // Appends part; returns its position.
  int64_t Add(const Bytes& part) {
    const int64_t at = Here();
    Data.insert(Data.end(), part.begin(), part.end());
    return at;
  }
  void Link(int64_t target) { Add(Cat({{120}, Int(static_cast<int32_t>(Here() - target))})); }
};

// The writer's form of an element.
Bytes Of(const tKvKPosData& element) {
  tKvKPosComStreamDestMem dest;
  element.WriteToStream(dest);
  return Bytes(dest.Data().begin(), dest.Data().end());
}

// A version-2 block with every element class as a field, a header, block
// information with length values, nested records and back links.
Bytes SampleBlock() {
  std::vector<Bytes> header;
  for (int i = 1; i < 20; ++i) header.push_back(Int(i));
  header.push_back(Str("end"));
  tBlock b;
  b.Add(LongItem(1050, Tuple(header)));
  b.Add({117, 2});  // version 1
  // Block information with a signature of 3 bytes, then the length value of
  // the first entry.
  const auto time = [](int32_t raw) { return Of(tKvKPosDataTime(raw)); };
  b.Add(Cat({{121},
             Tuple({Int(7), Int(1), time(1262546460), time(1262546340),
                    Of(tKvKPosDataBcdFix(tKvBcdFix::FromText("101"))), Int(4711001), Str("Kasse 1"),
                    Int(57), Int(1), Str("V3.14.2"),
                    Of(tKvKPosDataBinary(std::string("\x01\x02\x03", 3))), time(1262502300)}),
             Le32(0x40)}));
  b.Add(kEntry);
  const int64_t record = b.Add(Rec(1, 201));
  tKvBitsetMem bits(12);
  bits.SetBit(3, true);
  int n = 0;
  for (const Bytes& field :
       {Int(-5), Of(tKvKPosDataAddRec(300)), Of(tKvKPosDataBcd(tKvBcd::FromText("-12.5"))),
        Of(tKvKPosDataBcdFix(tKvBcdFix::FromText("4711"))), Of(tKvKPosDataBitset(bits)),
        Str("Brot\x01"), Of(tKvKPosDataStrAI(std::string(300, 'x'))),
        Bytes{62, 7, 6, 5, 4, 3, 2, 1}, time(3600),
        Of(tKvKPosDataDate(tKvDateTime::Encode(2020, 2, 29, 0, 0, 0))), Bin(260, 0x7F),
        Bytes{180, 2, 0xAB, 0xCD}, Bytes{0}, Tuple({Int(1), Str("two")})}) {
    b.Add(Fld(n++, field));
  }
  b.Add(Fld(200, Int(1)));
  b.Add(Rec(2, 1));
  b.Link(record);
  b.Add({127, 1, 145});         // RecordStart(0, 3); item 8 without element: ignored
  b.Add(Cat({kEnd, Le32(0)}));  // length value 0: no further length values
  // A second entry that links to the same record twice (the second time
  // the check pass knows the link).
  b.Add({119, 2});
  b.Add(Rec(1, 202));
  b.Link(record);
  b.Link(record);
  b.Add(kEnd);
  return b.Data;
}

struct tOutcome {
  std::string Failure;  // "" when the range was parsed
  int Result = -1;
  int64_t Position = -1;
  std::string Events;  // of the recording writer
  bool operator==(const tOutcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const tOutcome& o) {
  return os << "{" << o.Failure << " | result " << o.Result << " | pos " << o.Position << " | "
            << o.Events.substr(0, 200) << "}";
}

// Parses bytes in mode into a recorder; in kEventBuffer into a buffer that
// is replayed into the recorder after a parse without failure.
tOutcome Parse(const Bytes& bytes, tKvKPosParseMode mode, uint8_t version, bool lengthPrefixed,
               bool passLinks, bool window) {
  MemStream m(bytes, window ? -1 : 0);
  tRecordingWriter recorder;
  recorder.WithPositions = true;
  tKvKPosFiscalEventBuffer buffer(size_t{64} << 20);
  const bool buffered = mode == tKvKPosParseMode::kEventBuffer;
  tKvKPosFiscalStreamParser parser =
      buffered ? tKvKPosFiscalStreamParser(version, &buffer, m.Source.get())
               : tKvKPosFiscalStreamParser(version, &recorder, m.Source.get());
  tOutcome outcome;
  try {
    outcome.Result = parser.ParseRange(m.File, lengthPrefixed, passLinks, std::ssize(bytes), mode);
    outcome.Position = m.File.GetPosition();
    if (buffered) buffer.Replay(recorder, &m.File, m.Source.get());
  } catch (const EKvRoot& e) {
    outcome.Failure = std::string(typeid(e).name()) + ": " + e.what();
    outcome.Position = m.File.GetPosition();
  }
  outcome.Events = recorder.Events;
  return outcome;
}

// The three modes parse bytes alike; returns the general outcome.
tOutcome ExpectSameOutcome(const Bytes& bytes, const std::string& what, uint8_t version = 0,
                           bool lengthPrefixed = true, bool window = true, bool passLinks = false) {
  const auto parse = [&](tKvKPosParseMode mode) {
    return Parse(bytes, mode, version, lengthPrefixed, passLinks, window);
  };
  const tOutcome reference = parse(tKvKPosParseMode::kGeneral);
  tOutcome checked = parse(tKvKPosParseMode::kCheck);
  EXPECT_EQ(checked.Events, "") << what << " (check)";
  checked.Events = reference.Events;
  EXPECT_EQ(checked, reference) << what << " (check)";
  tOutcome buffered = parse(tKvKPosParseMode::kEventBuffer);
  if (!buffered.Failure.empty()) buffered.Events = reference.Events;  // nothing replayed
  EXPECT_EQ(buffered, reference) << what << " (event buffer)";
  return reference;
}

TEST(KvKPosFiscalStreamCheck, SampleBlockParsesAlikeAndCompletely) {
  const Bytes block = SampleBlock();
  const tOutcome outcome = ExpectSameOutcome(block, "sample");
  EXPECT_EQ(outcome.Failure, "");
  EXPECT_EQ(outcome.Result, tKvKPosFiscalStreamParser::kResultRangeDone);
}

// Every truncation and every single-byte change of the sample block (to a
// set of values that hit IDs, lengths, digits, dates and framing bytes).
TEST(KvKPosFiscalStreamCheck, DamagedBlocksFailAlike) {
  const Bytes block = SampleBlock();
  for (size_t n = 0; n < block.size(); ++n) {
    ExpectSameOutcome(Bytes(block.begin(), block.begin() + static_cast<ptrdiff_t>(n)),
                      "cut at " + std::to_string(n));
  }
  const int values[] = {0,  1,   17,  21,  23,  31,  0x9A, 55,  56,  60,
                        61, 103, 112, 116, 136, 175, 178,  181, 182, 0xFF};
  size_t failures = 0;
  for (size_t at = 0; at < block.size(); ++at) {
    for (const int v : values) {
      Bytes damaged = block;
      damaged[at] = static_cast<uint8_t>(v);
      const tOutcome o =
          ExpectSameOutcome(damaged, "byte " + std::to_string(at) + " := " + std::to_string(v), 0,
                            at % 2 == 0, at % 3 != 0, at % 5 == 0);
      if (!o.Failure.empty()) ++failures;
    }
  }
  EXPECT_GT(failures, 100u);  // the damage is seen, not skipped over
}

TEST(KvKPosFiscalStreamCheck, IrregularElementsFailAlike) {
  const struct {
    const char* What;
    Bytes Input;
  } cases[] = {
      {"BCD digit above 9", {158, 24, 0x41, 0x1A}},
      {"date 31.02.2020", {158, 112, 31, 2, 0xE4, 0x07}},
      {"date with day 0 is null", {158, 112, 0, 5, 0xE4, 0x07}},
      {"Multi as first item", {158, 103, 103, 2, 3, 4}},
      {"unassigned ID 61", {158, 61}},
      {"framing ID as element", {158, 120}},
      {"ID above 181", {158, 200}},
      {"text longer than the range", {158, 55, 9, 'a'}},
      {"header of the other version", {134, 1050 & 0xFF, 1050 >> 8, 2}},
  };
  for (const auto& c : cases) ExpectSameOutcome(c.Input, c.What, 1);
  // A Multi chain of 64 links is read; one of 65 is not.
  for (const int links : {64, 65}) {
    Bytes chain{158};
    for (int i = 0; i < links; ++i) chain = Cat({chain, {103, 2}});
    chain.push_back(2);
    const tOutcome o = ExpectSameOutcome(chain, std::to_string(links) + " links");
    EXPECT_EQ(o.Failure.empty(), links == 64) << o;
  }
}

// Links met again: to records of every element class, an empty one, a
// level-2 one, a target inside a record, and targets whose following gives
// the writer more than fields (an entry start, a version, in a
// length-prefixed range the block information, also in a later entry), each
// linked repeatedly.
TEST(KvKPosFiscalStreamCheck, RepeatedLinksOfEveryKind) {
  for (const bool lengthPrefixed : {false, true}) {
    tBlock b;
    const int64_t info = lengthPrefixed ? b.Add({121, 103, 2, 2}) : -1;
    if (lengthPrefixed) b.Add(Le32(1));
    b.Add(kEntry);
    const int64_t all = b.Add(Rec(1, 201));
    int n = 0;
    for (const Bytes& e :
         {Int(5), Bytes{81, 0x2C, 1}, Bytes{24, 0xC2, 0x12, 0x50}, Bytes{34, 0x47, 0x11},
          Bytes{45, 4, 0}, Str("Brot\x01"), Bytes{86, 1, 1}, Bytes{62, 1, 2, 3, 4, 5, 6, 7},
          Bytes{59, 0x10, 0x0E, 0, 0}, Bytes{112, 29, 2, 0xE4, 7}, Bin(3, 0x7F),
          Bytes{180, 2, 0xAB, 0xCD}, Bytes{0}, Tuple({Int(1), Str("two"), Int(3)})}) {
      b.Add(Fld(++n, e));
    }
    const int64_t empty = b.Add(Rec(2, 5));
    const int64_t level2 = b.Add(Rec(2, 1));
    b.Add(Fld(1, Str("Milch")));
    b.Add(Rec(2, 2));
    const int64_t inside = b.Add(Fld(2, Str("mid")));  // then a record start, read on
    b.Add(Rec(3, 9));
    b.Add(Fld(4, Int(4)));
    const int64_t version = b.Add({117, 2});
    b.Add(Rec(2, 3));
    b.Add(Fld(200, Str("after version")));
    b.Add(kEnd);
    if (lengthPrefixed) b.Add(Le32(1));
    const int64_t entry = b.Add(kEntry);
    const int64_t tail = b.Add(Rec(2, 6));  // ended by the entry end
    b.Add(Fld(1, Str("T")));
    b.Add(kEnd);
    if (lengthPrefixed) b.Add(Le32(1));
    b.Add(kEntry);
    b.Add(Rec(1, 203));
    for (const int64_t target : {all, level2, all, entry, inside, level2, version, tail, entry,
                                 inside, empty, version, all, info, tail, info, empty, level2}) {
      if (target >= 0) b.Link(target);
    }
    b.Add(kEnd);
    if (lengthPrefixed) {
      // After a length value 0, the block information linked again: the
      // link leaves its length value (1) behind, so another one follows the
      // entry end.
      b.Add(Cat({Le32(0), kEntry, Rec(1, 204)}));
      b.Link(info);
      b.Add(Cat({kEnd, Le32(0), kEntry, kEnd}));
    }
    const std::string what = lengthPrefixed ? "length-prefixed" : "plain";
    EXPECT_EQ(ExpectSameOutcome(b.Data, what, 0, lengthPrefixed).Failure, "");
    for (size_t cut = 1; cut < b.Data.size(); ++cut) {
      ExpectSameOutcome(Bytes(b.Data.begin(), b.Data.begin() + static_cast<ptrdiff_t>(cut)),
                        what + ", cut at " + std::to_string(cut), 0, lengthPrefixed);
    }
  }
}

// More link targets than the link cache has places, with records of 0 to 19
// fields and some long texts, each linked several times in changing order.
TEST(KvKPosFiscalStreamCheck, ManyLinkTargets) {
  tBlock b;
  b.Add(kEntry);
  std::vector<int64_t> targets;
  for (int i = 0; i < 1500; ++i) {
    targets.push_back(b.Add(Rec(2, i % 7)));
    for (int f = 0; f < i % 20; ++f) {
      b.Add(Fld(f, f % 5 == 4 ? Str(std::string(static_cast<size_t>(i % 250), 'a')) : Int(i)));
    }
  }
  b.Add(Rec(1, 201));
  for (int round = 0; round < 3; ++round) {
    for (size_t k = 0; k < targets.size(); ++k) {
      b.Link(targets[round == 1 ? targets.size() - 1 - k : (k * 7 + round) % targets.size()]);
    }
  }
  b.Add(kEnd);
  EXPECT_EQ(ExpectSameOutcome(b.Data, "many targets", 0, false).Failure, "");
}

// A parser used for a second range never hands on what it cached in the
// first: two ranges of one file with a record at the same position, linked
// twice in each; in the second, a text of another value, then an entry start.
TEST(KvKPosFiscalStreamCheck, NewRangeReadsItsOwnBytes) {
  const auto block = [](const Bytes& record) {
    tBlock b;
    b.Add(kEntry);
    const int64_t target = b.Add(record);
    b.Add(Rec(1, 201));
    b.Link(target);
    b.Link(target);
    b.Add(kEnd);
    return b.Data;
  };
  const Bytes first = block(Cat({Rec(2, 1), Fld(1, Str("Brot"))}));
  for (const Bytes& second : {block(Cat({Rec(2, 1), Fld(1, Str("Milk"))})),
                              block(Cat({kEntry, Rec(2, 1), Fld(1, Str("Brot"))}))}) {
    MemStream m(first, 0);  // no window: the second range is longer
    tKvKPosFiscalEventBuffer buffer(size_t{1} << 20);
    tKvKPosFiscalStreamParser parser(0, &buffer, m.Source.get());
    const auto parse = [&](const Bytes& bytes) {
      m.File.SetPosition(0);
      m.File.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
      m.File.SetPosition(0);
      buffer.Clear();
      EXPECT_EQ(parser.ParseRange(m.File, false, false, std::ssize(bytes),
                                  tKvKPosParseMode::kEventBuffer),
                1);
      tRecordingWriter replayed;
      replayed.WithPositions = true;
      buffer.Replay(replayed, &m.File, m.Source.get());
      return replayed.Events;
    };
    parse(first);
    EXPECT_EQ(parse(second),
              Parse(second, tKvKPosParseMode::kGeneral, 0, false, false, false).Events);
  }
}

}  // namespace
