// tKvReadAhead: fills work items on a reader thread while the caller works
// on the item filled before, so that reading and checking the next piece of
// input overlaps with processing the current one. Items come out in the
// order they were filled. The reader's failure is raised by Take at its
// place in that order, after every item filled before it. The object owns
// its items and the thread; destroying it (or Stop) ends the reader and
// waits for it. When no thread can be started, Take fills the item itself,
// with the same results.
//
// The fill function runs on the reader thread: it may touch only what the
// caller does not touch until Stop, besides the item it is given.
#pragma once

#include <array>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

template <class Item>
class tKvReadAhead {
 public:
  // fill(item): fills item (left from an earlier fill, which it must reset
  // as needed) and returns true, or returns false when there is nothing
  // more. A failure ends the reading and is raised by Take.
  using tFill = std::function<bool(Item&)>;

  explicit tKvReadAhead(tFill fill) : fill_(std::move(fill)) {}
  tKvReadAhead(const tKvReadAhead&) = delete;
  tKvReadAhead& operator=(const tKvReadAhead&) = delete;
  ~tKvReadAhead() { Stop(); }

  // The next item, or nullptr after the last one. It stays valid and
  // untouched until the next Take or Stop. Rethrows the fill failure in its
  // turn; after the end or a failure, every further Take returns nullptr.
  Item* Take() {
    if (!started_) Start();
    if (!threaded_) return TakeInline();
    std::unique_lock lock(mutex_);
    if (held_ >= 0) {
      state_[static_cast<size_t>(held_)] = tState::kFree;
      held_ = -1;
      changed_.notify_all();
    }
    if (finished_) return nullptr;
    const size_t next = next_;
    changed_.wait(lock, [&] { return state_[next] != tState::kFree; });
    switch (state_[next]) {
      case tState::kFilled:
        held_ = static_cast<int>(next);
        next_ = next ^ 1;
        return &items_[next];
      case tState::kEnd:
        finished_ = true;
        return nullptr;
      default:
        finished_ = true;
        std::rethrow_exception(std::exchange(failure_, nullptr));
    }
  }

  // Ends the reader (an item being filled is completed first) and waits for
  // it. Items are no longer handed out afterwards.
  void Stop() noexcept {
    if (reader_.joinable()) {
      {
        std::lock_guard lock(mutex_);
        stop_ = true;
        changed_.notify_all();
      }
      reader_.join();
    }
    finished_ = true;
    started_ = true;
    threaded_ = false;
  }

  // Whether a reader thread does the filling (known after the first Take).
  bool Threaded() const { return threaded_; }

 private:
  enum class tState { kFree, kFilled, kEnd, kFailed };

  void Start() {
    started_ = true;
    try {
      reader_ = std::thread([this] { Read(); });
      threaded_ = true;
    } catch (const std::system_error&) {
      threaded_ = false;  // filled by Take itself
    }
  }

  Item* TakeInline() {
    if (finished_) return nullptr;
    try {
      if (fill_(items_[0])) return &items_[0];
    } catch (...) {
      finished_ = true;
      throw;
    }
    finished_ = true;
    return nullptr;
  }

  void Read() {
    for (size_t index = 0;; index ^= 1) {
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || state_[index] == tState::kFree; });
        if (stop_) return;
      }
      tState done;
      std::exception_ptr failure;
      try {
        done = fill_(items_[index]) ? tState::kFilled : tState::kEnd;
      } catch (...) {
        failure = std::current_exception();
        done = tState::kFailed;
      }
      std::lock_guard lock(mutex_);
      if (failure) failure_ = std::move(failure);
      state_[index] = done;
      changed_.notify_all();
      if (done != tState::kFilled) return;
    }
  }

  tFill fill_;
  std::array<Item, 2> items_{};
  // Guarded by mutex_ while the reader runs.
  std::array<tState, 2> state_{tState::kFree, tState::kFree};
  std::exception_ptr failure_;
  bool stop_ = false;
  // The caller's side.
  size_t next_ = 0;  // the item Take waits for
  int held_ = -1;    // the item the caller holds, -1: none
  bool started_ = false;
  bool threaded_ = false;
  bool finished_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread reader_;  // last: started after everything it uses
};
