#include "stream/KvKPosComStreamV2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FiscalStreamTestHelp.h"
#include "base/RaiseTestHelp.h"

using namespace fisc_test;
using raise_test::MessageOf;

namespace {

// Records items as "I<number>:<kind>=<text>" and sub-items as "S...";
// Item returns StopResult for the item with number StopAt.
class tFramingParser final : public tKvKPosComStreamParserV2 {
 public:
  using tKvKPosComStreamParserV2::tKvKPosComStreamParserV2;

  std::string Log;
  int32_t StopAt = -1;
  uint8_t StopResult = 0;

  uint8_t Item(int32_t number, std::unique_ptr<tKvKPosData> element) override {
    Put("I" + std::to_string(number) + ":" + Render(*element));
    return number == StopAt ? StopResult : 0;
  }
  void SubItem(int32_t number, std::unique_ptr<tKvKPosData> element) override {
    Put("S" + std::to_string(number) + ":" + Render(*element));
  }

 private:
  void Put(const std::string& s) { Log += (Log.empty() ? "" : " ") + s; }
};

// Parses bytes until the data runs out; returns the items followed by the
// message of the exception that ended the loop.
std::string Frame(const Bytes& bytes) {
  MemStream m(bytes);
  tFramingParser parser(0, m.Source.get());
  std::string end;
  try {
    parser.ParseItems(tKvKPosReadContext{});
    end = "(returned)";
  } catch (const EKvRoot& e) {
    end = e.what();
  }
  return parser.Log + (parser.Log.empty() ? "" : " | ") + end;
}

const std::string kEof = "[tKvFiscalStreamSourceBinary] EOF";

// Short and multi-byte item numbers (little-endian, not sign-extended),
// items without element (a None is supplied), sub-items, consecutive items;
// framing bytes outside 116..178 (code 2) and above 181 (code 1); a framing
// byte where an element ID is expected; truncated items.
TEST(ComStreamV2, FramingForms) {
  const std::string e2 = "[tFramingParser] KPosComStream error #2", eof = " | " + kEof;
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {{116, 2}, "I0:2=1" + eof},
      {{132, 3}, "I16:2=2" + eof},
      {{133, 50, 2}, "I50:2=1" + eof},
      {{134, 26, 4, 2}, "I1050:2=1" + eof},
      {{135, 1, 0, 1, 2}, "I65537:2=1" + eof},
      {{136, 1, 2, 3, 4, 2}, "I67305985:2=1" + eof},
      {{136, 0, 0, 0, 0x80, 2}, "I-2147483648:2=1" + eof},
      {{140}, "I3:0=" + eof},
      {{137, 153}, "I0:0= I16:0=" + eof},
      {{154, 17}, "I17:0=" + eof},
      {{157, 1, 0, 0, 0}, "I1:0=" + eof},
      {{160, 56, 2, 0, 65, 66}, "S2:7=AB" + eof},
      {{174, 1}, "S16:2=0" + eof},
      {{175, 101, 2}, "S101:2=1" + eof},
      {{178, 0, 1, 0, 0, 2}, "S256:2=1" + eof},
      {{116, 2, 158, 3, 141}, "I0:2=1 S0:2=2 I4:0=" + eof},
      {{182}, "KPosComStream error #1 - Unkown ComStreamID 182"},
      {{255}, "KPosComStream error #1 - Unkown ComStreamID 255"},
      {{116, 116}, "KPosComStream error #1 - Unknown ComStreamID 116"},
      {{}, kEof}};
  for (const uint8_t f : {0, 115, 179, 180, 181}) EXPECT_EQ(Frame({f}), e2) << int{f};
  for (const Bytes& b : {Bytes{116}, Bytes{133}, Bytes{136, 1, 2, 3}, Bytes{160, 56, 5, 0, 65}}) {
    EXPECT_EQ(Frame(b), kEof) << ::testing::PrintToString(b);
  }
  for (const auto& [input, expected] : cases) {
    SCOPED_TRACE(::testing::PrintToString(input));
    const std::string got = Frame(input);
    // Messages raised by the element layer name their own class; compare
    // from the code on for those.
    if (expected.rfind("KPosComStream", 0) == 0) {
      EXPECT_NE(got.find(expected), std::string::npos) << got;
    } else {
      EXPECT_EQ(got, expected);
    }
  }
}

TEST(ComStreamV2, ItemResultEndsTheLoopAndParseWantsEod) {
  MemStream m({116, 2, 117, 3, 118, 4});
  tFramingParser parser(0, m.Source.get());
  parser.StopAt = 1;
  parser.StopResult = 10;
  EXPECT_EQ(parser.ParseItems(tKvKPosReadContext{}), 10);
  EXPECT_EQ(parser.Log, "I0:2=1 I1:2=2");
  EXPECT_EQ(m.File.GetPosition(), 4);  // the third item is not read
  m.File.SetPosition(0);
  int code = 0;
  EXPECT_EQ(MessageOf<EKvKPosComStream>([&] { parser.Parse(tKvKPosReadContext{}); }, &code),
            "[tFramingParser] KPosComStream error #5 - \"EOD\" expected; found #10");
  EXPECT_EQ(code, 5);
  m.File.SetPosition(0);
  parser.StopResult = 1;
  EXPECT_NO_THROW(parser.Parse(tKvKPosReadContext{}));
}

}  // namespace
