// tKvReadAhead: prepares work items on worker threads while the caller
// consumes the items prepared before, so that reading and preparing the
// next pieces of input overlaps with consuming the current one. Preparing
// an item has two steps: read (one item at a time, in input order) and
// work (on several items at once). Items come out in input order. A failure
// of either step is raised by Take at its place in that order, after every
// item before it. The object owns its items and threads; destroying it (or
// Stop) ends the workers (an item being prepared is completed first) and
// waits for them. When no thread can be started, Take prepares the item
// itself, with the same results.
//
// read and work run on the worker threads: besides the item they are given
// they may touch only what the caller leaves alone until Stop, and work only
// what no other item's work touches.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

template <class Item>
class tKvReadAhead {
 public:
  // read(item): fills item (left from an earlier use, which read must reset
  // as needed) with the next piece of input and returns true, or returns
  // false when there is nothing more.
  using tRead = std::function<bool(Item&)>;
  // work(item): the rest of the preparation of a read item; may be empty.
  using tWork = std::function<void(Item&)>;

  // workers: threads that prepare items; up to workers + 1 items are
  // prepared ahead of the one the caller holds (one more than the workers,
  // so that a worker need not wait while an item it finished early waits
  // for the caller). 0 (or less): none, Take prepares each item itself.
  tKvReadAhead(tRead read, tWork work, int workers)
      : read_(std::move(read)),
        work_(std::move(work)),
        workers_(workers < 0 ? 0 : workers),
        slots_(static_cast<size_t>(workers_) + 2) {}
  explicit tKvReadAhead(tRead read) : tKvReadAhead(std::move(read), nullptr, 1) {}
  tKvReadAhead(const tKvReadAhead&) = delete;
  tKvReadAhead& operator=(const tKvReadAhead&) = delete;
  ~tKvReadAhead() { Stop(); }

  // The next item, or nullptr after the last one. It stays valid and
  // untouched until the next Take or Stop. Rethrows a failure in its turn;
  // after the end or a failure, every further Take returns nullptr.
  Item* Take() {
    if (!started_) Start();
    if (!threaded_) return TakeInline();
    std::unique_lock lock(mutex_);
    if (held_ != kNone) {
      slots_[held_].State = tState::kFree;
      held_ = kNone;
      changed_.notify_all();
    }
    if (finished_) return nullptr;
    tSlot& slot = slots_[next_take_ % slots_.size()];
    changed_.wait(lock, [&] {
      return slot.State == tState::kReady || slot.State == tState::kEnd ||
             slot.State == tState::kFailed;
    });
    switch (slot.State) {
      case tState::kReady:
        held_ = next_take_ % slots_.size();
        ++next_take_;
        return slot.Value.get();
      case tState::kEnd:
        finished_ = true;
        return nullptr;
      default:
        finished_ = true;
        std::rethrow_exception(std::exchange(slot.Failure, nullptr));
    }
  }

  // Ends the workers (items being prepared are completed first) and waits
  // for them. Items are no longer handed out afterwards.
  void Stop() noexcept {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      changed_.notify_all();
    }
    for (std::thread& worker : threads_) {
      if (worker.joinable()) worker.join();
    }
    threads_.clear();
    finished_ = true;
    started_ = true;
    threaded_ = false;
  }

  // Whether worker threads prepare the items (known after the first Take).
  bool Threaded() const { return threaded_; }

 private:
  enum class tState { kFree, kReading, kWorking, kReady, kEnd, kFailed };
  struct tSlot {
    std::unique_ptr<Item> Value = std::make_unique<Item>();
    tState State = tState::kFree;
    std::exception_ptr Failure;
  };
  static constexpr size_t kNone = static_cast<size_t>(-1);

  void Start() {
    started_ = true;
    if (workers_ == 0) return;  // prepared by Take
    try {
      for (int i = 0; i < workers_; ++i) threads_.emplace_back([this] { Prepare(); });
    } catch (const std::system_error&) {
      // Fewer workers than wanted; without any, Take prepares the items
      // itself (no worker has read anything then).
    }
    threaded_ = !threads_.empty();
  }

  Item* TakeInline() {
    if (finished_) return nullptr;
    Item& item = *slots_[0].Value;
    try {
      if (read_(item)) {
        if (work_) work_(item);
        return &item;
      }
    } catch (...) {
      finished_ = true;
      throw;
    }
    finished_ = true;
    return nullptr;
  }

  // A worker: claims the next slot in input order, reads into it (one
  // worker at a time), then works on it beside the others.
  void Prepare() {
    for (;;) {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] {
        return stop_ || input_over_ ||
               (!reading_ && slots_[next_read_ % slots_.size()].State == tState::kFree);
      });
      if (stop_ || input_over_) return;
      tSlot& slot = slots_[next_read_ % slots_.size()];
      ++next_read_;
      slot.State = tState::kReading;
      reading_ = true;
      lock.unlock();

      std::exception_ptr failure;
      bool more = false;
      try {
        more = read_(*slot.Value);
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      reading_ = false;
      if (failure || !more) {
        input_over_ = true;
        slot.Failure = std::move(failure);
        slot.State = slot.Failure ? tState::kFailed : tState::kEnd;
        changed_.notify_all();
        return;
      }
      slot.State = tState::kWorking;
      changed_.notify_all();
      lock.unlock();

      try {
        if (work_) work_(*slot.Value);
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      slot.Failure = std::move(failure);
      slot.State = slot.Failure ? tState::kFailed : tState::kReady;
      changed_.notify_all();
    }
  }

  tRead read_;
  tWork work_;
  int workers_;
  // Guarded by mutex_ while workers run.
  std::vector<tSlot> slots_;
  size_t next_read_ = 0;  // input number of the next item to read
  bool reading_ = false;  // a worker is reading
  bool input_over_ = false;
  bool stop_ = false;
  // The caller's side.
  size_t next_take_ = 0;  // input number of the item Take waits for
  size_t held_ = kNone;   // slot the caller holds
  bool started_ = false;
  bool threaded_ = false;
  bool finished_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::thread> threads_;
};
