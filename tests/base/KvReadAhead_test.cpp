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
  int next = 0;
  tKvReadAhead<tNumbered> items([&](tNumbered& item) {
    if (next == 1000) return false;
    item.Value = next++;
    return true;
  });
  std::vector<int> seen;
  while (tNumbered* item = items.Take()) seen.push_back(item->Value);
  ASSERT_EQ(seen.size(), 1000U);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], i);
  EXPECT_EQ(items.Take(), nullptr);
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

TEST(KvReadAhead, ReadsOneItemAheadAndLeavesTheHeldOneAlone) {
  std::atomic<int> fills{0};
  tKvReadAhead<tNumbered> items([&](tNumbered& item) {
    item.Value = fills.load();
    ++fills;
    return true;  // endless input
  });
  for (int k = 0; k < 5; ++k) {
    tNumbered* item = items.Take();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Value, k);
    if (items.Threaded()) {
      ASSERT_TRUE(WaitFor(fills, k + 2));
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      EXPECT_EQ(fills.load(), k + 2) << "read more than one item ahead";
    }
    EXPECT_EQ(item->Value, k) << "held item overwritten";
  }
  // Leaving with endless input pending: the reader must end (no hang).
}

TEST(KvReadAhead, StopEndsReadingAndTakeThenGivesNothing) {
  std::atomic<int> fills{0};
  tKvReadAhead<tNumbered> items([&](tNumbered& item) {
    item.Value = fills++;
    return true;
  });
  ASSERT_NE(items.Take(), nullptr);
  items.Stop();
  const int after_stop = fills.load();
  EXPECT_EQ(items.Take(), nullptr);
  EXPECT_EQ(fills.load(), after_stop);
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
