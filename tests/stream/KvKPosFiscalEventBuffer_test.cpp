#include "stream/KvKPosFiscalEventBuffer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "stream/FiscalStreamTestHelp.h"
#include "stream/KvKPosComStreamData.h"

namespace {

using fisc_test::SendEveryEvent;
using fisc_test::tRecordingWriter;

TEST(KvKPosFiscalEventBuffer, ReplaysEveryEventAtItsPosition) {
  tRecordingWriter direct;
  direct.WithPositions = true;
  SendEveryEvent(direct);

  tKvKPosFiscalEventBuffer buffer(1 << 20);
  SendEveryEvent(buffer);
  EXPECT_FALSE(buffer.Overflowed());
  tRecordingWriter replayed;
  replayed.WithPositions = true;
  buffer.Replay(replayed);
  EXPECT_EQ(replayed.Events, direct.Events);
  EXPECT_EQ(replayed.file_pos(), 99);
  EXPECT_TRUE(buffer.Empty());
}

// Past its limit the buffer keeps nothing more and replays nothing; long
// texts count with their length.
TEST(KvKPosFiscalEventBuffer, OverflowKeepsMemoryBounded) {
  tKvKPosFiscalEventBuffer buffer(10000);
  buffer.AddItem(1, std::make_unique<tKvKPosDataStr>(std::string(4000, 'a')));
  buffer.AddItem(2, std::make_unique<tKvKPosDataStr>(std::string(4000, 'b')));
  EXPECT_FALSE(buffer.Overflowed());
  buffer.AddItem(3, std::make_unique<tKvKPosDataStr>(std::string(4000, 'c')));
  EXPECT_TRUE(buffer.Overflowed());
  buffer.EntryEnd();  // dropped as well, even though it is small
  tRecordingWriter writer;
  buffer.Replay(writer);
  EXPECT_EQ(writer.Events, "");
  EXPECT_FALSE(buffer.Overflowed());  // cleared by the replay
  buffer.EntryEnd();
  buffer.Replay(writer);
  EXPECT_EQ(writer.Events, "End");
  // Values count with their bytes as well.
  const std::string text(4000, 'v');
  buffer.AddValue(1, tKvKPosValue::Text(text));
  buffer.AddValue(2, tKvKPosValue::Binary(text));
  EXPECT_FALSE(buffer.Overflowed());
  buffer.AddValue(3, tKvKPosValue::Text(text));
  EXPECT_TRUE(buffer.Overflowed());
}

// Positions are kept in 32 bits: an event at a position beyond them, or a
// field whose element lies beyond them, counts as past the limit (the
// caller then parses directly); the events before it are not replayed either.
TEST(KvKPosFiscalEventBuffer, PositionsBeyond32BitsCountAsOverflow) {
  const int64_t beyond = int64_t{1} << 31;
  const struct {
    const char* Name;
    std::function<void(tKvKPosFiscalEventBuffer&)> Add;
  } cases[] = {
      {"record start", [&](auto& b) { b.set_file_pos(beyond), b.RecordStart(1, 1); }},
      {"negative position", [&](auto& b) { b.set_file_pos(-1), b.EntryEnd(); }},
      {"element far away", [&](auto& b) { b.set_file_pos(5), b.AddItemAt(1, beyond); }},
      {"stored element",
       [&](auto& b) { b.set_file_pos(beyond), b.AddItem(1, std::make_unique<tKvKPosDataInt>(1)); }},
  };
  for (const auto& c : cases) {
    tKvKPosFiscalEventBuffer buffer(1 << 20);
    buffer.set_file_pos(beyond - 1);
    buffer.EntryEnd();  // still fits
    EXPECT_FALSE(buffer.Overflowed()) << c.Name;
    c.Add(buffer);
    EXPECT_TRUE(buffer.Overflowed()) << c.Name;
    tRecordingWriter writer;
    buffer.Replay(writer);
    EXPECT_EQ(writer.Events, "") << c.Name;
  }
}

// A writer failure ends the replay; the rest is freed, the buffer reusable.
TEST(KvKPosFiscalEventBuffer, WriterFailureLeavesTheBufferEmpty) {
  class tFailing final : public tKvKPosFiscalStreamWriterChain {
   public:
    tFailing() : tKvKPosFiscalStreamWriterChain(nullptr) {}
    void RecordStart(int32_t, int32_t) override { throw EKvMisc(this, "full"); }
  } failing;
  tKvKPosFiscalEventBuffer buffer(1 << 20);
  SendEveryEvent(buffer);
  EXPECT_THROW(buffer.Replay(failing), EKvMisc);
  EXPECT_TRUE(buffer.Empty());
  buffer.SetVersion(1, 1);
  tRecordingWriter writer;
  buffer.Replay(writer);
  EXPECT_EQ(writer.Events, "Ver(1,1)");
}

}  // namespace
