// tKvHandOver<T>: the bounded queue between one producing thread and one
// delivering thread, with the storage of delivered items kept for reuse.
// The event pipe and the journal view's relay hand their chunks over with
// it.
//
// Both sides sleep and wake in batches: a delivering thread that ran dry
// sleeps until batch items wait (or the producer drains, or the queue
// closes), and a producer that found depth items queued sleeps until batch
// of them are taken. Neither side is woken for every item: a wake-up costs
// system calls and a switch of threads on the woken processor, which on a
// virtual machine can cost as much as the delivery of a small item.
//
// Producer                              delivering thread
//   Put(a) Put(b) ... batch items  ->     Take(a) ... Release(a) Take(b) ...
//   Reuse(c): c is a released item
//   Drain()                        <-     everything released
//   Close() (the owner's end)      ->     Take returns false
//
// Failure: Fail() (either side, usually the delivering thread) marks the
// queue failed; Put then refuses further items (the producer drops them),
// a producer waiting for room wakes, and failed() tells the delivering
// thread to drop what it takes. What a side writes before Fail() is seen by
// the other side once it finds failed() true, a Put refused, or Drain
// returned.
//
// Threads: Put, Reuse and Drain belong to the producer, Take and Release
// to the delivering thread; Fail, failed and Close to either. Items move
// between them under the queue's mutex.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

template <class T>
class tKvHandOver {
 public:
  // depth: items queued and not yet taken, at most (at least 1); batch: the
  // items a sleeping side waits for (from 1 to depth).
  tKvHandOver(size_t depth, size_t batch)
      : depth_(std::max<size_t>(depth, 1)), batch_(std::clamp<size_t>(batch, 1, depth_)) {}
  tKvHandOver(const tKvHandOver&) = delete;
  tKvHandOver& operator=(const tKvHandOver&) = delete;

  // Queues item (moved from), waiting while depth items are queued; false
  // (item left as it was) once the queue failed.
  bool Put(T& item) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (queue_.size() >= depth_ && !failed_) {
      producer_waits_ = true;
      producer_.wait(lock, [this] { return queue_.size() + batch_ <= depth_ || failed_; });
      producer_waits_ = false;
    }
    if (failed_) return false;
    queue_.push_back(std::move(item));
    const bool wake = consumer_sleeps_ && queue_.size() >= batch_;
    lock.unlock();
    if (wake) consumer_.notify_one();
    return true;
  }

  // The item released longest ago moved into item (the delivering thread's
  // processor is the likeliest to have let go of its memory, which the
  // producer is about to write); false when there is none.
  bool Reuse(T& item) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (released_.empty()) return false;
    item = std::move(released_.front());
    released_.pop_front();
    return true;
  }

  // Waits until every queued item has been taken and released.
  void Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    draining_ = true;
    if (consumer_sleeps_ && !queue_.empty()) consumer_.notify_one();
    producer_waits_ = true;
    producer_.wait(lock, [this] { return queue_.empty() && !busy_; });
    producer_waits_ = false;
    draining_ = false;
  }

  // The next item moved into item, waiting as above; false once the queue
  // is closed and empty.
  bool Take(T& item) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (queue_.empty()) {
      consumer_sleeps_ = true;
      consumer_.wait(lock, [this] {
        return queue_.size() >= batch_ || (draining_ && !queue_.empty()) || closing_;
      });
      consumer_sleeps_ = false;
      if (queue_.empty()) return false;
    }
    item = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    const bool wake = producer_waits_ && queue_.size() + batch_ <= depth_;
    lock.unlock();
    if (wake) producer_.notify_one();
    return true;
  }

  // Gives the item taken last back, for Reuse.
  void Release(T&& item) {
    std::lock_guard<std::mutex> lock(mutex_);
    released_.push_back(std::move(item));
    busy_ = false;
    if (producer_waits_ && queue_.empty()) producer_.notify_one();
  }

  void Fail() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      failed_ = true;
    }
    producer_.notify_one();
  }
  bool failed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
  }

  // From now on Take returns false once the queue is empty; with drop, the
  // items still queued are taken out and returned instead (the caller
  // disposes of them).
  std::deque<T> Close(bool drop) {
    std::deque<T> dropped;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
      if (drop) dropped.swap(queue_);
    }
    consumer_.notify_one();
    return dropped;
  }

 private:
  const size_t depth_;
  const size_t batch_;
  std::mutex mutex_;
  std::condition_variable producer_;  // waits for room or the end of a drain
  std::condition_variable consumer_;  // waits for a batch
  std::deque<T> queue_;
  std::deque<T> released_;
  bool producer_waits_ = false;
  bool consumer_sleeps_ = false;
  bool draining_ = false;
  bool busy_ = false;  // an item is taken and not yet released
  bool closing_ = false;
  bool failed_ = false;
};
