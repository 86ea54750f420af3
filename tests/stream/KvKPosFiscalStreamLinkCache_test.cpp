// Back links met again within a range: the real parse hands the writer
// copies of what following the link delivered before instead of reading the
// linked record again. Whatever is linked, the writer must see exactly the
// events (positions and element values included) and failures of a parse
// that reads every link, as a subclass of the parser does.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FiscalStreamTestHelp.h"
#include "base/KvErrors.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosFiscalEventBuffer.h"
#include "stream/KvKPosFiscalStream.h"

using namespace fisc_test;

namespace {

// The encoded element.
Bytes Enc(const tKvKPosData& element) {
  tKvKPosComStreamDestMem dest;
  element.WriteToStream(dest);
  return Bytes(dest.Data().begin(), dest.Data().end());
}

// Record start at level 1..8 (short framing) with an integer type.
Bytes Rec(int level, int32_t type) { return Cat({{static_cast<uint8_t>(124 + level)}, Int(type)}); }

// Field (sub-item) number n, 0..255.
Bytes Fld(int n, const Bytes& element) {
  if (n <= 16) return Cat({{static_cast<uint8_t>(158 + n)}, element});
  return Cat({{175, static_cast<uint8_t>(n)}, element});
}

const Bytes kEntry = {119, 103, 2, 103, 3, 103, 1, 19, 0xE4, 0x04};
const Bytes kEnd = {143};
const Bytes kBlockInfo = {121, 103, 2, 2};  // a pair is enough

// A block under construction that knows where its parts lie.
struct tBlock {
  Bytes bytes;
  int64_t Here() const { return static_cast<int64_t>(bytes.size()); }
  // Appends part; returns its position.
  int64_t Add(const Bytes& part) {
    const int64_t at = Here();
    bytes.insert(bytes.end(), part.begin(), part.end());
    return at;
  }
  void Link(int64_t target) { Add(Cat({{120}, Int(static_cast<int32_t>(Here() - target))})); }
};

// Every event with the writer's position; an element with its class, its
// encoding and its text, so that a copy differing from the element read in
// any way shows. Optionally raises at the fail_at-th AddItem, or overwrites
// one byte of the stream file when a record of type mutate_on starts.
class tDetailWriter final : public tKvKPosFiscalStreamWriter {
 public:
  std::string events;
  int fail_at = 0;
  int adds = 0;
  int32_t mutate_on = -1;
  tKvKPosStreamFileMem* file = nullptr;
  int64_t mutate_at = 0;
  uint8_t mutate_to = 0;

  void AddItem(int32_t n, std::unique_ptr<tKvKPosData> e) override {
    if (++adds == fail_at) throw EKvMisc(nullptr, "writer failed");
    std::string hex;
    for (const uint8_t b : Enc(*e))
      hex += "0123456789ABCDEF"[b >> 4], hex += "0123456789ABCDEF"[b & 15];
    Put("Add(" + S(n) + ":" + e->ClassName() + ":" + hex + ":" + e->GetText(true) + ")");
  }
  void FileHeader(const tKvKPosTextFileHeaderRec&) override { Put("File"); }
  void StreamHeader(const tKvKPosFileHeaderRec&) override { Put("Hdr"); }
  void SetVersion(int32_t i, int32_t v) override { Put("Ver(" + S(i) + "," + S(v) + ")"); }
  void BlockInfo(const tKvKPosBlockInfoRec& b) override { Put("Blk(" + S(b.ID) + ")"); }
  void EntryStart(const tKvKPosEntryInfoRec& e) override { Put("Entry(" + S(e.Type) + ")"); }
  void EntryEnd() override { Put("End"); }
  void Link(int32_t d) override { Put("Link(" + S(d) + ")"); }
  void RecordStart(int32_t type, int32_t level) override {
    Put("Rec(" + S(type) + "," + S(level) + ")");
    if (type == mutate_on && file != nullptr) {
      const int64_t position = file->GetPosition();
      file->SetPosition(mutate_at);
      file->WriteBuffer(&mutate_to, 1);
      file->SetPosition(position);
    }
  }

 private:
  static std::string S(int64_t v) { return std::to_string(v); }
  void Put(const std::string& token) { events += "@" + S(file_pos()) + ":" + token + " "; }
};

// Reads every link (ParseRange takes none of its shortcuts for it).
using tReadingParser = fisc_test::tGeneralParser;

// Events, then " | " and the result or the failure, then the position.
template <typename Parser>
std::string Parse(const Bytes& bytes, bool lengthPrefixed, tDetailWriter& writer) {
  MemStream m(bytes);
  writer.file = &m.file;
  Parser parser(0, &writer, m.source.get());
  std::string end;
  try {
    end = "=" + std::to_string(parser.ParseRange(m.file, lengthPrefixed, false,
                                                 static_cast<int64_t>(bytes.size())));
  } catch (const EKvRoot& e) {
    end = e.what();
    // A failure raised by the parser names its class.
    const std::string reading = "[tGeneralParser]";
    if (end.compare(0, reading.size(), reading) == 0) {
      end.replace(0, reading.size(), "[tKvKPosFiscalStreamParser]");
    }
  }
  writer.file = nullptr;
  return writer.events + "| " + end + " @" + std::to_string(m.file.GetPosition());
}

// As Parse for the parser into an event buffer (where cached links go as
// positions) that is replayed into writer after a parse without failure.
std::string ParseBuffered(const Bytes& bytes, bool lengthPrefixed, tDetailWriter& writer) {
  MemStream m(bytes);
  tKvKPosFiscalEventBuffer buffer(size_t{64} << 20);
  tKvKPosFiscalStreamParser parser(0, &buffer, m.source.get());
  std::string end;
  int64_t position = 0;
  try {
    end = "=" + std::to_string(parser.ParseRange(m.file, lengthPrefixed, false,
                                                 static_cast<int64_t>(bytes.size())));
    position = m.file.GetPosition();
    buffer.Replay(writer, &m.file, m.source.get());
  } catch (const EKvRoot& e) {
    end = e.what();
    position = m.file.GetPosition();
  }
  return writer.events + "| " + end + " @" + std::to_string(position);
}

// The real parse of bytes ends exactly as the reading one (also with a
// writer failing at every AddItem in turn); returns the outcome.
std::string ExpectAsRead(const Bytes& bytes, bool lengthPrefixed, const std::string& what) {
  tDetailWriter real, reading;
  const std::string outcome = Parse<tKvKPosFiscalStreamParser>(bytes, lengthPrefixed, real);
  EXPECT_EQ(outcome, Parse<tReadingParser>(bytes, lengthPrefixed, reading)) << what;
  for (int k = 1; k <= reading.adds; ++k) {
    tDetailWriter failingReal, failingReading;
    failingReal.fail_at = failingReading.fail_at = k;
    EXPECT_EQ(Parse<tKvKPosFiscalStreamParser>(bytes, lengthPrefixed, failingReal),
              Parse<tReadingParser>(bytes, lengthPrefixed, failingReading))
        << what << ", writer failing at field " << k;
  }
  return outcome;
}

// An entry with records whose links can be cached (a record of every
// element class, a level-2 record, a target inside a record) and targets
// whose following gives the writer more than fields (an entry start, a
// version, in a length-prefixed range the block information), then an entry
// that links to all of them repeatedly. In a length-prefixed range the
// block information and every entry end are followed by a length value.
tBlock MixedBlock(bool lengthPrefixed) {
  tBlock b;
  int64_t info = -1;
  if (lengthPrefixed) {
    info = b.Add(kBlockInfo);
    b.Add(Le32(1));
  }
  tKvBitsetMem bits(12);
  bits.SetBit(3, true);
  b.Add(kEntry);
  const int64_t all = b.Add(Rec(1, 201));
  int n = 0;
  for (const Bytes& e :
       {Int(5), Enc(tKvKPosDataAddRec(300)), Enc(tKvKPosDataBcd(tKvBcd::FromText("-12.5"))),
        Enc(tKvKPosDataBcdFix(tKvBcdFix::FromText("4711"))), Enc(tKvKPosDataBitset(bits)),
        Str("Brot\x01"), Enc(tKvKPosDataStrAI("Brot\x01")),
        Enc(tKvKPosDataTouch(tKvTouch{1, 2, 3, 4, 5, 6, 7})), Enc(tKvKPosDataTime(int32_t{3600})),
        Enc(tKvKPosDataDate(tKvDateTime::Encode(2020, 2, 29, 0, 0, 0))), Bin(3, 0x7F),
        Enc(tKvKPosDataHex(std::string("\xAB\xCD", 2))), Bytes{0},
        Tuple({Int(1), Str("two"), Int(3)})}) {
    b.Add(Fld(++n, e));
  }
  const int64_t empty = b.Add(Rec(2, 5));  // no fields
  const int64_t level2 = b.Add(Rec(2, 1));
  b.Add(Fld(1, Str("Milch")));
  b.Add(Rec(2, 2));
  b.Add(Fld(1, Int(7)));
  const int64_t inside = b.Add(Fld(2, Str("mid")));  // then a record start, read on
  b.Add(Rec(3, 9));
  b.Add(Fld(4, Int(4)));
  b.Add(Rec(2, 4));
  b.Add(Fld(1, Int(8)));
  const int64_t version = b.Add({117, 2});
  b.Add(Rec(2, 3));
  b.Add(Fld(200, Str("after version")));
  b.Add(kEnd);
  if (lengthPrefixed) b.Add(Le32(1));
  const int64_t entry = b.Add(kEntry);
  b.Add(Rec(1, 202));
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
  return b;
}

TEST(FiscalStreamLinkCache, RepeatedLinksDeliverWhatReadingDelivers) {
  for (const bool lengthPrefixed : {false, true}) {
    const Bytes block = MixedBlock(lengthPrefixed).bytes;
    const std::string outcome =
        ExpectAsRead(block, lengthPrefixed, lengthPrefixed ? "length-prefixed" : "plain");
    EXPECT_NE(outcome.find("| =1 @"), std::string::npos) << outcome;
    tDetailWriter replayed;
    EXPECT_EQ(ParseBuffered(block, lengthPrefixed, replayed), outcome) << "through an event buffer";
    // Every cut of the block ends alike too.
    for (size_t cut = 1; cut < block.size(); ++cut) {
      tDetailWriter real, reading;
      const Bytes part(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(cut));
      EXPECT_EQ(Parse<tKvKPosFiscalStreamParser>(part, lengthPrefixed, real),
                Parse<tReadingParser>(part, lengthPrefixed, reading))
          << "cut at " << cut << (lengthPrefixed ? ", length-prefixed" : "");
    }
  }
}

// Which links are read again: the writer changes a byte of the linked
// record between the first and the second link to it, so the second link
// shows whether it was read again. A new range never uses what an earlier
// one cached.
TEST(FiscalStreamLinkCache, WhichLinksAreReadAgain) {
  const auto fields = [](int count) {
    Bytes out;
    for (int i = 1; i <= count; ++i) out = Cat({out, Fld(i, Int(i))});
    return out;
  };
  const struct {
    const char* what;
    Bytes before;  // before the changed field, after the record start
    Bytes after;   // after the changed field
    bool readAgain;
    bool subclass = false;
  } cases[] = {
      {"two fields", {}, Fld(2, Int(1)), false},
      {"sixteen fields", {}, fields(15), false},
      {"seventeen fields", {}, fields(16), true},
      {"600 bytes", {}, Fld(2, Bin(600, 1)), true},
      {"entry start", kEntry, {}, true},
      {"version", {117, 2}, {}, true},
      {"parsed by a subclass", {}, {}, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tBlock b;
    b.Add(kEntry);
    const int64_t target = b.Add(Rec(2, 1));
    b.Add(c.before);
    const int64_t text = b.Add(Fld(0, Str("Brot"))) + 3;  // framing, ID, length
    b.Add(c.after);
    b.Add(Rec(1, 201));
    b.Link(target);
    b.Add(Rec(1, 250));  // the writer changes "Brot" to "Xrot"
    b.Add(Rec(1, 202));
    b.Link(target);
    b.Add(kEnd);
    tDetailWriter w;
    w.mutate_on = 250;
    w.mutate_at = text;
    w.mutate_to = 'X';
    const std::string outcome = c.subclass ? Parse<tReadingParser>(b.bytes, false, w)
                                           : Parse<tKvKPosFiscalStreamParser>(b.bytes, false, w);
    const std::string second = outcome.substr(outcome.find("Rec(202,1)"));
    EXPECT_NE(second.find(c.readAgain ? ":Xrot)" : ":Brot)"), std::string::npos) << outcome;
  }
}

TEST(FiscalStreamLinkCache, NewRangeReadsItsOwnBytes) {
  // Two ranges of one file with a record at the same position, linked twice
  // in each: in the second, a text of another value, then an entry start.
  const auto block = [](const Bytes& record) {
    tBlock b;
    b.Add(kEntry);
    const int64_t target = b.Add(record);
    b.Add(Rec(1, 201));
    b.Link(target);
    b.Link(target);
    b.Add(kEnd);
    return b.bytes;
  };
  const Bytes first = block(Cat({Rec(2, 1), Fld(1, Str("Brot"))}));
  for (const Bytes& second : {block(Cat({Rec(2, 1), Fld(1, Str("Milk"))})),
                              block(Cat({kEntry, Rec(2, 1), Fld(1, Str("Brot"))}))}) {
    MemStream m(first, 0);  // no window: the second range is longer
    tDetailWriter w, alone;
    tKvKPosFiscalStreamParser parser(0, &w, m.source.get());
    ASSERT_EQ(parser.ParseRange(m.file, false, false, static_cast<int64_t>(first.size())), 1);
    m.file.SetPosition(0);
    m.file.WriteBuffer(second.data(), static_cast<int32_t>(second.size()));
    m.file.SetPosition(0);
    w.events.clear();
    ASSERT_EQ(parser.ParseRange(m.file, false, false, static_cast<int64_t>(second.size())), 1);
    EXPECT_EQ(w.events + "| =1 @" + std::to_string(second.size()),
              Parse<tKvKPosFiscalStreamParser>(second, false, alone));
  }
}

// More link targets than the cache has places, with records of 0 to 19
// fields and some long texts, each linked several times in changing order.
TEST(FiscalStreamLinkCache, ManyTargets) {
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
  tDetailWriter real, reading, replayed;
  const std::string read = Parse<tReadingParser>(b.bytes, false, reading);
  EXPECT_EQ(Parse<tKvKPosFiscalStreamParser>(b.bytes, false, real), read);
  EXPECT_EQ(ParseBuffered(b.bytes, false, replayed), read) << "through an event buffer";
  EXPECT_GT(reading.adds, 40000);
}

}  // namespace
