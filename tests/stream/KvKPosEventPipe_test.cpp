// The event pipe between the test's thread and a recording writer on the
// pipe's thread: events and calls in order at their positions, also past
// 2^31 bytes; a failing call or writer stops the pipe, the first failure in
// stream order counts and nothing after it is delivered.
#include "stream/KvKPosEventPipe.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "base/KvErrors.h"
#include "stream/FiscalStreamTestHelp.h"

namespace {

static_assert(std::is_base_of_v<EKvRoot, tKvKPosEventPipe::tStopped>);

constexpr int64_t k2G = int64_t{1} << 31;
constexpr int32_t kCall = 0;          // a call that records "Call"
constexpr int32_t kFailingCall = -1;  // a call that raises "call failed"
constexpr int32_t kFailingType = 9;   // a record type the writer raises "writer failed" on

struct tStep {
  int64_t Pos;
  int32_t Type;  // a record type, kCall or kFailingCall
};

void Send(tKvKPosFiscalStreamWriter& to, fisc_test::tRecordingWriter& writer, const tStep& step,
          tKvKPosEventPipe* pipe) {
  to.set_file_pos(step.Pos);
  if (step.Type > 0) return to.RecordStart(step.Type, 1);
  auto call = [&writer, fail = step.Type == kFailingCall] {
    if (fail) throw EKvMisc("call failed");
    writer.Events += writer.Events.empty() ? "Call" : " Call";
  };
  pipe != nullptr ? pipe->Call(call) : call();
}

// The writer records positions and fails on kFailingType.
void Prepare(fisc_test::tRecordingWriter& writer) {
  writer.WithPositions = true;
  writer.OnEvent = [](const std::string& token) {
    if (token.starts_with("Rec(" + std::to_string(kFailingType))) throw EKvMisc("writer failed");
  };
}

// What the writer records from the steps sent to it directly.
std::string Direct(const std::vector<tStep>& steps) {
  fisc_test::tRecordingWriter writer;
  Prepare(writer);
  for (const tStep& step : steps) Send(writer, writer, step, nullptr);
  return writer.Events;
}

struct tOutcome {
  std::string Events;    // as recorded behind the pipe
  std::string Failure;   // "<message>@<position>"; empty without
  bool Stopped = false;  // the producer was told to stop while sending
};

// Sends the steps and then tail record starts through a pipe of depth 1.
tOutcome Piped(const std::vector<tStep>& steps, size_t chunkBytes, int tail = 0) {
  fisc_test::tRecordingWriter writer;
  Prepare(writer);
  tKvKPosEventPipe pipe(writer, chunkBytes, 1);
  tOutcome out;
  try {
    for (const tStep& step : steps) Send(pipe, writer, step, &pipe);
    for (int i = 0; i < tail; ++i) Send(pipe, writer, {1000 + i, 1}, &pipe);
  } catch (const tKvKPosEventPipe::tStopped&) {
    out.Stopped = true;
  }
  pipe.Drain();
  out.Events = writer.Events;
  if (pipe.failure() == nullptr) return out;
  try {
    std::rethrow_exception(pipe.failure());
  } catch (const EKvRoot& failure) {
    out.Failure = failure.what() + ("@" + std::to_string(pipe.failure_pos()));
  }
  EXPECT_THROW(pipe.Call([] {}), tKvKPosEventPipe::tStopped);  // and so every later hand-over
  return out;
}

// Every event its own chunk, or all in one.
constexpr size_t kChunkSizes[] = {1, size_t{1} << 20};

TEST(KvKPosEventPipe, DeliversInOrderAtPositionsPast2GiB) {
  // Far jumps forward and one back: the chunk is rebased each time.
  std::vector<tStep> steps = {{5, 1},          {k2G - 1, 2},    {k2G + 7, 3}, {k2G + 8, kCall},
                              {3 * k2G, 4},    {7, 5},          {4 * k2G + 1, 6},
                              {4 * k2G + 2, kCall}};
  for (const size_t chunk : kChunkSizes) {
    EXPECT_EQ(Piped(steps, chunk).Events, Direct(steps)) << chunk;
  }
  steps.push_back({5 * k2G + 3, kFailingType});
  EXPECT_EQ(Piped(steps, 1).Failure, "writer failed@10737418243");
}

TEST(KvKPosEventPipe, FirstFailureCountsAndStopsTheProducer) {
  const struct {
    std::vector<tStep> Steps;
    const char* Events;
    const char* Failure;
  } cases[] = {
      {{{10, 1}, {20, kFailingCall}, {30, 2}, {40, kCall}}, "@10:Rec(1,1)", "call failed@20"},
      {{{10, 1}, {20, kFailingType}, {30, 2}, {40, kCall}}, "@10:Rec(1,1)", "writer failed@20"},
      {{{10, kFailingCall}, {20, kFailingType}}, "", "call failed@10"},
      {{{10, kFailingType}, {20, kFailingCall}}, "", "writer failed@10"},
      {{{10, 1}, {20, kFailingType}, {30, kFailingType}}, "@10:Rec(1,1)", "writer failed@20"},
  };
  for (const auto& c : cases) {
    for (const size_t chunk : kChunkSizes) {
      const tOutcome out = Piped(c.Steps, chunk, 50);
      EXPECT_EQ(out.Events, c.Events) << c.Failure << " " << chunk;
      EXPECT_EQ(out.Failure, c.Failure) << chunk;
      // With one event per chunk and one chunk queued, the producer cannot
      // run far ahead of the failure: a hand-over must refuse it.
      if (chunk == 1) {
        EXPECT_TRUE(out.Stopped) << c.Failure;
      }
    }
  }
}

}  // namespace
