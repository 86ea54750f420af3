#include "base/KvReadAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

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

TEST(KvReadAhead, HandsOutEveryItemInOrderThenNothing) {
  for (const int workers : {0, 1, 3}) {
    int next = 0;
    tKvReadAhead<tNumbered> items(
        [&](tNumbered& item) {
          if (next == 1000) return false;
          item.Value = next++;
          return true;
        },
        [](tNumbered& item) { item.Value *= 2; }, workers);
    std::vector<int> seen;
    while (tNumbered* item = items.Take()) seen.push_back(item->Value);
    ASSERT_EQ(seen.size(), 1000U) << "workers " << workers;
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], 2 * i);
    EXPECT_EQ(items.Take(), nullptr);
    EXPECT_EQ(items.Threaded(), workers > 0);
  }
}

TEST(KvReadAhead, RaisesTheFailureAfterTheItemsBeforeIt) {
  int next = 0;
  tKvReadAhead<tNumbered> items([&](tNumbered& item) {
    if (next == 3) throw std::runtime_error("bad input at 3");
    item.Value = next++;
    return true;
  });
  for (int i = 0; i < 3; ++i) {
    tNumbered* item = items.Take();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Value, i);
  }
  try {
    items.Take();
    FAIL() << "no failure";
  } catch (const std::runtime_error& failure) {
    EXPECT_STREQ(failure.what(), "bad input at 3");
  }
  EXPECT_EQ(items.Take(), nullptr);
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

// Work on several items at once, finishing out of order: they still come
// out in input order, and a failing work comes out in its place.
TEST(KvReadAhead, WorkersKeepTheInputOrder) {
  for (const int workers : {0, 2}) {
    int next = 0;
    tKvReadAhead<tNumbered> items(
        [&](tNumbered& item) {
          if (next == 300) return false;
          item.Value = next++;
          return true;
        },
        [](tNumbered& item) {
          if (item.Value == 250) throw std::runtime_error("bad item 250");
          if (item.Value % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
          item.Value += 1000;
        },
        workers);
    for (int i = 0; i < 250; ++i) {
      tNumbered* item = items.Take();
      ASSERT_NE(item, nullptr);
      ASSERT_EQ(item->Value, 1000 + i) << "workers " << workers;
    }
    EXPECT_THROW(items.Take(), std::runtime_error);
    EXPECT_EQ(items.Take(), nullptr);
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

TEST(KvReadAhead, EmptyInputAndFailureOnTheFirstItem) {
  tKvReadAhead<tNumbered> empty([](tNumbered&) { return false; });
  EXPECT_EQ(empty.Take(), nullptr);
  EXPECT_EQ(empty.Take(), nullptr);

  tKvReadAhead<tNumbered> failing([](tNumbered&) -> bool { throw std::logic_error("x"); });
  EXPECT_THROW(failing.Take(), std::logic_error);
  EXPECT_EQ(failing.Take(), nullptr);
}

}  // namespace
