#include "base/KvHandOver.h"

#include <gtest/gtest.h>

#include <deque>
#include <numeric>
#include <thread>
#include <vector>

namespace {

// Items come out in order, all released once Drain returns, whatever the depth and
// the batch (also with fewer items than a batch waiting); reused items come back empty.
TEST(KvHandOver, InOrderAndAllReleasedAtEachDrain) {
  const struct {
    size_t Depth, Batch;
    int Items, DrainEvery;
  } cases[] = {{1, 1, 500, 0},   {3, 1, 500, 7}, {4, 2, 500, 0}, {12, 6, 1000, 0},
               {12, 6, 1000, 5}, {5, 5, 3, 0},   {5, 9, 100, 0}, {0, 0, 50, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "depth " << c.Depth << ", batch " << c.Batch);
    tKvHandOver<std::vector<int>> queue(c.Depth, c.Batch);
    std::vector<int> received;  // read after a drain
    std::thread consumer([&] {
      for (std::vector<int> item; queue.Take(item);) {
        received.insert(received.end(), item.begin(), item.end());
        item.clear();
        queue.Release(std::move(item));
      }
    });
    for (int i = 0; i < c.Items; ++i) {
      std::vector<int> item;
      queue.Reuse(item);
      EXPECT_TRUE(item.empty());
      item.push_back(i);
      ASSERT_TRUE(queue.Put(item));
      if (c.DrainEvery > 0 && i % c.DrainEvery == 0) {
        queue.Drain();
        EXPECT_EQ(received.size(), static_cast<size_t>(i) + 1);
      }
    }
    queue.Drain();
    std::vector<int> expected(static_cast<size_t>(c.Items));
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(received, expected);
    EXPECT_TRUE(queue.Close(/*drop=*/true).empty());
    consumer.join();
  }
}

// A failure of the delivering thread wakes a producer that waits for room
// and refuses every later item; Drain still returns.
TEST(KvHandOver, AFailureRefusesLaterItems) {
  tKvHandOver<int> queue(2, 2);
  std::thread consumer([&] {
    for (int item; queue.Take(item);) {
      if (item == 3) queue.Fail();
      queue.Release(std::move(item));
    }
  });
  int refused = 0;
  while (refused < 1000 && queue.Put(refused)) ++refused;
  EXPECT_GT(refused, 3);
  EXPECT_TRUE(queue.failed());
  queue.Drain();
  queue.Close(/*drop=*/false);
  consumer.join();
}

// Closing with drop hands the queued items back, and the delivering thread's
// Take then returns false; without drop, the thread takes them first. Close
// also ends a Take that sleeps on an empty queue. (A thread that finds items
// queued takes them without waiting for a batch, so the dropped items are
// queued before the thread starts.)
TEST(KvHandOver, CloseEndsTheDeliveringThread) {
  for (const bool drop : {true, false}) {
    SCOPED_TRACE(drop ? "drop" : "keep");
    tKvHandOver<int> queue(8, 8);  // a dry thread sleeps until 8 wait
    int taken = 0;
    const auto deliver = [&] {
      for (int item; queue.Take(item); ++taken) queue.Release(std::move(item));
    };
    std::thread consumer;
    if (!drop) consumer = std::thread(deliver);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(queue.Put(i));
    const std::deque<int> dropped = queue.Close(drop);
    if (drop) consumer = std::thread(deliver);
    consumer.join();
    EXPECT_EQ(dropped.size(), drop ? 5u : 0u);
    EXPECT_EQ(taken, drop ? 0 : 5);
  }
  tKvHandOver<int> queue(8, 8);
  std::thread consumer([&] {
    for (int item; queue.Take(item);) queue.Release(std::move(item));
  });
  EXPECT_TRUE(queue.Close(/*drop=*/true).empty());
  consumer.join();
}

}  // namespace
