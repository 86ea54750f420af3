#include "stream/KvKPosEventPipe.h"

#include <utility>

namespace {

// A chunk never overflows its buffer: it is handed over long before.
constexpr size_t kNoLimit = size_t{1} << 40;
// Positions are kept in 32 bits relative to the chunk's base.
constexpr int64_t kMaxOffset = 0x7FFFFFFF;

}  // namespace

tKvKPosEventPipe::tStopped::tStopped()
    : EKvRoot("Event pipe stopped: the evaluation behind it failed.") {}

tKvKPosEventPipe::tKvKPosEventPipe(tKvKPosFiscalStreamWriter& downstream, size_t chunkBytes,
                                   size_t depth)
    : downstream_(downstream), chunk_bytes_(chunkBytes), depth_(depth < 1 ? 1 : depth) {
  current_.Events = std::make_unique<tKvKPosFiscalEventBuffer>(kNoLimit);
  thread_ = std::thread(&tKvKPosEventPipe::Deliver, this);
}

tKvKPosEventPipe::~tKvKPosEventPipe() {
  std::deque<tChunk> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    dropped.swap(queue_);
  }
  changed_.notify_all();
  thread_.join();
}

tKvKPosFiscalEventBuffer& tKvKPosEventPipe::Current() {
  int64_t offset = file_pos() - current_.Base;
  if (offset < 0 || offset > kMaxOffset) [[unlikely]] {
    if (!current_.Events->Empty()) HandOver();
    current_.Base = file_pos();
    offset = 0;
  }
  current_.Events->set_file_pos(offset);
  return *current_.Events;
}

void tKvKPosEventPipe::AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) {
  Current().AddItem(number, std::move(element));
  Collected();
}

void tKvKPosEventPipe::AddValue(int32_t number, const tKvKPosValue& value) {
  Current().AddValue(number, value);
  Collected();
}

void tKvKPosEventPipe::FileHeader(const tKvKPosTextFileHeaderRec& header) {
  Current().FileHeader(header);
  Collected();
}

void tKvKPosEventPipe::StreamHeader(const tKvKPosFileHeaderRec& header) {
  Current().StreamHeader(header);
  Collected();
}

void tKvKPosEventPipe::SetVersion(int32_t index, int32_t value) {
  Current().SetVersion(index, value);
  Collected();
}

void tKvKPosEventPipe::BlockInfo(const tKvKPosBlockInfoRec& info) {
  Current().BlockInfo(info);
  Collected();
}

void tKvKPosEventPipe::EntryStart(const tKvKPosEntryInfoRec& info) {
  Current().EntryStart(info);
  Collected();
}

void tKvKPosEventPipe::EntryEnd() {
  Current().EntryEnd();
  Collected();
}

void tKvKPosEventPipe::Link(int32_t distance) {
  Current().Link(distance);
  Collected();
}

void tKvKPosEventPipe::RecordStart(int32_t type, int32_t level) {
  Current().RecordStart(type, level);
  Collected();
}

void tKvKPosEventPipe::Call(std::function<void()> work) {
  current_.Call = std::move(work);
  current_.CallPos = file_pos();
  HandOver();
}

void tKvKPosEventPipe::HandOver() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < depth_ || failed_; });
  if (failed_) {
    lock.unlock();
    current_.Events->Clear();
    current_.Call = nullptr;
    throw tStopped();
  }
  queue_.push_back(std::move(current_));
  current_ = tChunk{};
  current_.Base = file_pos();
  if (free_.empty()) {
    current_.Events = std::make_unique<tKvKPosFiscalEventBuffer>(kNoLimit);
  } else {
    current_.Events = std::move(free_.back());
    free_.pop_back();
  }
  lock.unlock();
  changed_.notify_all();
}

void tKvKPosEventPipe::Drain() {
  if (!current_.Events->Empty()) {
    try {
      HandOver();
    } catch (const tStopped&) {
      // The failure is kept; what was collected is dropped.
    }
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void tKvKPosEventPipe::Deliver() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
    if (queue_.empty()) return;
    tChunk chunk = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    const bool drop = failed_;
    lock.unlock();
    changed_.notify_all();

    std::exception_ptr failure;
    int64_t position = 0;
    if (drop) {
      chunk.Events->Clear();
    } else {
      try {
        chunk.Events->Replay(downstream_, nullptr, nullptr, chunk.Base);
      } catch (...) {
        failure = std::current_exception();
        position = downstream_.file_pos();
      }
      if (failure == nullptr && chunk.Call) {
        try {
          chunk.Call();
        } catch (...) {
          failure = std::current_exception();
          position = chunk.CallPos;
        }
      }
    }
    chunk.Call = nullptr;

    lock.lock();
    if (failure != nullptr && !failed_) {
      failure_ = failure;
      failure_pos_ = position;
      failed_ = true;
    }
    free_.push_back(std::move(chunk.Events));
    busy_ = false;
    changed_.notify_all();
  }
}
