#include "base/KvReadAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/RaiseTestHelp.h"

namespace {

using raise_test::MessageOf;

struct tNumbered {
  int Value = -1;
};

// Waits (bounded) until counter reaches at least value.
bool WaitFor(const std::atomic<int>& counter, int value) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (counter.load() < value) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::yield();
  }
  return true;
}

// Items come out in input order whatever the workers (whose work on several
// items at once finishes out of order); a failure of read or work comes out
// in its place, after every item before it; then nothing more.
TEST(KvReadAhead, ItemsInInputOrderThenTheFailureThenNothing) {
  const struct {
    int Items;        // read returns false after these
    int FailAt = -1;  // the item whose read or work throws
    bool InWork = false;
  } cases[] = {{1000}, {0}, {300, 250}, {300, 250, true}, {300, 0}, {300, 0, true}};
  for (const auto& c : cases) {
    for (const int workers : {0, 1, 3}) {
      SCOPED_TRACE(::testing::Message() << c.Items << " items, failing at " << c.FailAt
                                        << (c.InWork ? " in work" : "") << ", workers " << workers);
      int next = 0;
      tKvReadAhead<tNumbered> items(
          [&](tNumbered& item) {
            if (next == c.FailAt && !c.InWork) throw std::runtime_error("bad item");
            if (next == c.Items) return false;
            item.Value = next++;
            return true;
          },
          [&](tNumbered& item) {
            if (item.Value == c.FailAt && c.InWork) throw std::runtime_error("bad item");
            if (item.Value % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
            item.Value += 1000;
          },
          workers);
      for (int i = 0; i < (c.FailAt < 0 ? c.Items : c.FailAt); ++i) {
        tNumbered* item = items.Take();
        ASSERT_NE(item, nullptr);
        ASSERT_EQ(item->Value, 1000 + i);
      }
      // Then the end or the failure.
      const std::string end =
          MessageOf<std::runtime_error>([&] { EXPECT_EQ(items.Take(), nullptr); });
      EXPECT_EQ(end, c.FailAt < 0 ? "<no exception>" : "bad item");
      EXPECT_EQ(items.Take(), nullptr);
      EXPECT_EQ(items.Threaded(), workers > 0);
    }
  }
}

TEST(KvReadAhead, ReadsAheadBoundedAndLeavesTheHeldItemAlone) {
  for (const int workers : {1, 3}) {
    std::atomic<int> reads{0};
    tKvReadAhead<tNumbered> items(
        [&](tNumbered& item) {
          item.Value = reads++;
          return true;  // endless input
        },
        [](tNumbered& item) { item.Value *= 10; }, workers);
    for (int k = 0; k < 5; ++k) {
      tNumbered* item = items.Take();
      ASSERT_NE(item, nullptr);
      EXPECT_EQ(item->Value, 10 * k);
      if (items.Threaded()) {
        const int most = k + 2 + workers;  // the held one and the ones ahead
        ASSERT_TRUE(WaitFor(reads, most));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_EQ(reads.load(), most) << "read too far ahead, workers " << workers;
      }
      EXPECT_EQ(item->Value, 10 * k) << "held item overwritten";
    }
    // Leaving with endless input pending: the workers must end (no hang).
  }
}

TEST(KvReadAhead, StopEndsReadingAndTakeThenGivesNothing) {
  std::atomic<int> fills{0};
  tKvReadAhead<tNumbered> items([&](tNumbered& item) {
    item.Value = fills++;
    return true;
  });
  ASSERT_NE(items.Take(), nullptr);
  items.Stop();
  const int afterStop = fills.load();
  EXPECT_EQ(items.Take(), nullptr);
  EXPECT_EQ(fills.load(), afterStop);
}

}  // namespace
