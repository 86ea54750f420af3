#include "stream/KvKPosEventPipe.h"

#include <deque>
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
                                   size_t depth, size_t batch)
    : downstream_(downstream), chunk_bytes_(chunkBytes), queue_(depth, batch) {
  current_.Events = std::make_unique<tKvKPosFiscalEventBuffer>(kNoLimit);
  thread_ = std::thread(&tKvKPosEventPipe::Deliver, this);
}

tKvKPosEventPipe::~tKvKPosEventPipe() {
  const std::deque<tChunk> dropped = queue_.Close(/*drop=*/true);
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
  if (!queue_.Put(current_)) {
    current_.Events->Clear();
    current_.Call = nullptr;
    throw tStopped();
  }
  current_ = tChunk{};
  if (!queue_.Reuse(current_))
    current_.Events = std::make_unique<tKvKPosFiscalEventBuffer>(kNoLimit);
  current_.Base = file_pos();
}

void tKvKPosEventPipe::Drain() {
  if (!current_.Events->Empty()) {
    try {
      HandOver();
    } catch (const tStopped&) {
      // The failure is kept; what was collected is dropped.
    }
  }
  queue_.Drain();
}

void tKvKPosEventPipe::Deliver() {
  for (tChunk chunk; queue_.Take(chunk);) {
    std::exception_ptr failure;
    int64_t position = 0;
    if (queue_.failed()) {
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
    if (failure != nullptr && failure_ == nullptr) {
      failure_ = failure;
      failure_pos_ = position;
      queue_.Fail();
    }
    queue_.Release(std::move(chunk));
  }
}
