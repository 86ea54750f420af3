// The event pipe with a recording writer behind it: events and calls in
// order at their positions, also past 2^31 bytes; the first failure in
// stream order counts, nothing after it is delivered, and the producer is
// stopped at its next hand-over.
#include "stream/KvKPosEventPipe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "stream/FiscalStreamTestHelp.h"

namespace {

static_assert(std::is_base_of_v<EKvRoot, tKvKPosEventPipe::tStopped>);

constexpr int64_t k2G = int64_t{1} << 31;

// A record start of Type at Pos; Type 0 is a call that records "Call", -1
// one that raises "call failed". The writer raises "writer failed" on type 9.
struct tStep {
  int64_t Pos;
  int32_t Type;
};

// The recorded events + " | " + the failure and its position; stopped: the
// producer was stopped. Direct: the steps go to the writer without a pipe.
std::string Deliver(const std::vector<tStep>& steps, size_t chunkBytes, bool* stopped = nullptr,
                bool direct = false) {
  fisc_test::tRecordingWriter writer;
  writer.WithPositions = true;
  writer.OnEvent = [](const std::string& token) {
    if (token.starts_with("Rec(9,")) throw EKvMisc("writer failed");
  };
  tKvKPosEventPipe pipe(writer, chunkBytes, 1);
  tKvKPosFiscalStreamWriter& to = direct ? static_cast<tKvKPosFiscalStreamWriter&>(writer) : pipe;
  try {
    for (const tStep& step : steps) {
      to.set_file_pos(step.Pos);
      if (step.Type > 0) {
        to.RecordStart(step.Type, 1);
        continue;
      }
      auto call = [&writer, fail = step.Type < 0] {
        if (fail) throw EKvMisc("call failed");
        writer.Events += " Call";
      };
      direct ? call() : pipe.Call(call);
    }
  } catch (const tKvKPosEventPipe::tStopped&) {
    if (stopped != nullptr) *stopped = true;
  }
  pipe.Drain();
  if (pipe.failure() == nullptr) return writer.Events;
  EXPECT_THROW(pipe.Call([] {}), tKvKPosEventPipe::tStopped);  // as every later hand-over
  try {
    std::rethrow_exception(pipe.failure());
  } catch (const EKvRoot& failure) {
    return writer.Events + " | " + failure.what() + "@" + std::to_string(pipe.failure_pos());
  }
}

TEST(KvKPosEventPipe, DeliversInOrderAtPositionsPast2GiB) {
  // Far jumps forward and one back: each rebases the chunk.
  std::vector<tStep> steps = {{5, 1},       {k2G - 1, 2}, {k2G + 7, 3},     {k2G + 8, 0},
                              {3 * k2G, 4}, {7, 5},       {4 * k2G + 1, 6}, {4 * k2G + 2, 0}};
  for (const size_t chunk : {size_t{1}, size_t{1} << 20}) {  // every event a chunk, or one
    EXPECT_EQ(Deliver(steps, chunk), Deliver(steps, chunk, nullptr, true)) << chunk;
  }
  steps.push_back({5 * k2G + 3, 9});
  EXPECT_THAT(Deliver(steps, 1), ::testing::EndsWith("Call | writer failed@10737418243"));
}

TEST(KvKPosEventPipe, FirstFailureCountsAndStopsTheProducer) {
  const struct {
    std::vector<tStep> Steps;
    const char* Outcome;
  } cases[] = {
      {{{10, 1}, {20, -1}, {30, 2}, {40, 0}}, "@10:Rec(1,1) | call failed@20"},
      {{{10, 1}, {20, 9}, {30, 2}, {40, 0}}, "@10:Rec(1,1) | writer failed@20"},
      {{{10, -1}, {20, 9}}, " | call failed@10"},
      {{{10, 9}, {20, -1}}, " | writer failed@10"},
      {{{10, 1}, {20, 9}, {30, 9}}, "@10:Rec(1,1) | writer failed@20"},
  };
  for (const auto& c : cases) {
    std::vector<tStep> steps = c.Steps;
    for (int i = 0; i < 50; ++i) steps.push_back({100 + i, 1});
    for (const size_t chunk : {size_t{1}, size_t{1} << 20}) {
      bool stopped = false;
      EXPECT_EQ(Deliver(steps, chunk, &stopped), c.Outcome) << chunk;
      // One event per chunk and one chunk queued: the producer cannot get
      // past its next hand-over after the failure.
      if (chunk == 1) {
        EXPECT_TRUE(stopped) << c.Outcome;
      }
    }
  }
}

}  // namespace
