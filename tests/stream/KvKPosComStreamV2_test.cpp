#include "stream/KvKPosComStreamV2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FiscalStreamTestHelp.h"

using namespace fisc_test;

namespace {

// Records items as "I<number>:<kind>=<text>" and sub-items as "S...";
// Item returns stop_result for the item with number stop_at.
class tFramingParser final : public tKvKPosComStreamParserV2 {
 public:
  using tKvKPosComStreamParserV2::tKvKPosComStreamParserV2;

  std::string log;
  int32_t stop_at = -1;
  uint8_t stop_result = 0;

  uint8_t Item(int32_t number, std::unique_ptr<tKvKPosData> element) override {
    Put("I" + std::to_string(number) + ":" + Render(*element));
    return number == stop_at ? stop_result : 0;
  }
  void SubItem(int32_t number, std::unique_ptr<tKvKPosData> element) override {
    Put("S" + std::to_string(number) + ":" + Render(*element));
  }

 private:
  void Put(const std::string& s) { log += (log.empty() ? "" : " ") + s; }
};

// Parses bytes until the data runs out; returns the items followed by the
// message of the exception that ended the loop.
std::string Frame(const Bytes& bytes) {
  MemStream m(bytes);
  tFramingParser parser(0, m.source.get());
  std::string end;
  try {
    parser.ParseItems(tKvKPosReadContext{});
    end = "(returned)";
  } catch (const EKvRoot& e) {
    end = e.what();
  }
  return parser.log + (parser.log.empty() ? "" : " | ") + end;
}

const std::string kEof = "[tKvFiscalStreamSourceBinary] EOF";

struct FrameCase {
  Bytes input;
  std::string expected;
};

TEST(ComStreamV2, FramingForms) {
  const std::vector<FrameCase> cases = {
      // Short item numbers with an element.
      {{116, 2}, "I0:2=1 | " + kEof},
      {{132, 3}, "I16:2=2 | " + kEof},
      // Multi-byte item numbers, 1 to 4 bytes little-endian.
      {{133, 50, 2}, "I50:2=1 | " + kEof},
      {{134, 26, 4, 2}, "I1050:2=1 | " + kEof},
      {{135, 1, 0, 1, 2}, "I65537:2=1 | " + kEof},
      {{136, 1, 2, 3, 4, 2}, "I67305985:2=1 | " + kEof},
      // Four bytes are not sign-extended: 2^31 wraps into int32_t.
      {{136, 0, 0, 0, 0x80, 2}, "I-2147483648:2=1 | " + kEof},
      // No element follows: a None element is supplied.
      {{140}, "I3:0= | " + kEof},
      {{137, 153}, "I0:0= I16:0= | " + kEof},
      {{154, 17}, "I17:0= | " + kEof},
      {{157, 1, 0, 0, 0}, "I1:0= | " + kEof},
      // Sub-items.
      {{160, 56, 2, 0, 65, 66}, "S2:7=AB | " + kEof},
      {{174, 1}, "S16:2=0 | " + kEof},
      {{175, 101, 2}, "S101:2=1 | " + kEof},
      {{178, 0, 1, 0, 0, 2}, "S256:2=1 | " + kEof},
      // Items follow one another without separator.
      {{116, 2, 158, 3, 141}, "I0:2=1 S0:2=2 I4:0= | " + kEof},
      // Framing bytes outside 116..178 and above 181.
      {{0}, "[tFramingParser] KPosComStream error #2"},
      {{115}, "[tFramingParser] KPosComStream error #2"},
      {{179}, "[tFramingParser] KPosComStream error #2"},
      {{180}, "[tFramingParser] KPosComStream error #2"},
      {{181}, "[tFramingParser] KPosComStream error #2"},
      {{182}, "KPosComStream error #1 - Unkown ComStreamID 182"},
      {{255}, "KPosComStream error #1 - Unkown ComStreamID 255"},
      // A framing byte where an element ID is expected.
      {{116, 116}, "KPosComStream error #1 - Unknown ComStreamID 116"},
      // Truncated items: the source reports the end of its data.
      {{116}, kEof},
      {{133}, kEof},
      {{136, 1, 2, 3}, kEof},
      {{160, 56, 5, 0, 65}, kEof},
      {{}, kEof},
  };
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.input));
    const std::string got = Frame(c.input);
    // Messages raised by the element layer name their own class; compare
    // from the code on for those.
    if (c.expected.rfind("KPosComStream", 0) == 0) {
      EXPECT_NE(got.find(c.expected), std::string::npos) << got;
    } else {
      EXPECT_EQ(got, c.expected);
    }
  }
}

TEST(ComStreamV2, ItemResultEndsTheLoop) {
  MemStream m({116, 2, 117, 3, 118, 4});
  tFramingParser parser(0, m.source.get());
  parser.stop_at = 1;
  parser.stop_result = 10;
  EXPECT_EQ(parser.ParseItems(tKvKPosReadContext{}), 10);
  EXPECT_EQ(parser.log, "I0:2=1 I1:2=2");
  EXPECT_EQ(m.file.GetPosition(), 4);  // the third item is not read
}

TEST(ComStreamV2, ParseExpectsEod) {
  {
    MemStream m({116, 2});
    tFramingParser parser(0, m.source.get());
    parser.stop_at = 0;
    parser.stop_result = 1;
    EXPECT_NO_THROW(parser.Parse(tKvKPosReadContext{}));
  }
  MemStream m({116, 2});
  tFramingParser parser(0, m.source.get());
  parser.stop_at = 0;
  parser.stop_result = 10;
  try {
    parser.Parse(tKvKPosReadContext{});
    FAIL() << "no exception";
  } catch (const EKvKPosComStream& e) {
    EXPECT_EQ(e.Code(), 5);
    EXPECT_STREQ(e.what(), "[tFramingParser] KPosComStream error #5 - \"EOD\" expected; found #10");
  }
}

TEST(ComStreamV2, RequiresSource) {
  try {
    tFramingParser parser(0, nullptr);
    FAIL() << "no exception";
  } catch (const EKvParam& e) {
    EXPECT_NE(std::string(e.what()).find("tKvKPosComStreamParser.Create: invalid Source"),
              std::string::npos);
  }
}

}  // namespace
