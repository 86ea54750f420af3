// tKvKPosEventPipe: a writer that hands the events it receives to a thread of
// its own, which delivers them in the same order to a downstream writer, so
// that a producer (a parser) and the chain behind the pipe (evaluation,
// export) run side by side. Events are collected in chunks of a bounded size
// (tKvKPosFiscalEventBuffer); a full chunk goes to the delivering thread, and
// at most a few chunks are in flight, so the pipe's memory does not grow with
// the journal. Work that must keep its place among the events (a log line of
// the producer) goes through Call.
//
// The producer sets the position of each event with set_file_pos (a line
// number, say); the downstream writer sees it through its file_pos(), as in a
// replay. Downstream is borrowed and used only by the delivering thread
// between construction and Drain or destruction, never by both threads.
//
// Failure: when the downstream writer (or a call) raises, the delivering
// thread keeps the failure and the position of the event that raised, and
// drops every later event. The producer's next hand-over then raises
// tStopped; Drain returns after everything handed over has been delivered or
// dropped; failure() and failure_pos() then tell what happened. The
// destructor drops what was not delivered and joins the thread.
//
// Threads: the producer's side (the events, Call, Drain, failure()) belongs
// to the thread that created the pipe; the downstream writer and every call
// run on the delivering thread, which the constructor starts and Drain
// leaves idle; the destructor joins it. What downstream owns may thus be
// built before the pipe and used again after Drain by the producer's
// thread. Chunks go over through a tKvHandOver (base/KvHandOver.h), in
// batches; the failure is written before the queue is marked failed.
//
// Producer (one thread)                 delivering thread
//   set_file_pos(7) RecordStart(2,1)
//   ... a chunk is full ...        ->     Replay into downstream
//   Call(log a line)               ->     the line is logged after them
//   Drain()                        <-     everything delivered
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

#include "base/KvErrors.h"
#include "base/KvHandOver.h"
#include "stream/KvKPosFiscalEventBuffer.h"
#include "stream/KvKPosFiscalStreamWriter.h"

class tKvKPosEventPipe final : public tKvKPosFiscalStreamWriter {
 public:
  // Raised on the producer's side once the delivering thread has failed;
  // failure() then holds the failure that counts.
  class tStopped final : public EKvRoot {
   public:
    tStopped();
  };

  // chunkBytes: the size of a chunk (events and elements, estimated);
  // depth: the chunks handed over and not yet delivered, at most; batch:
  // the chunks a sleeping side waits for (tKvHandOver).
  explicit tKvKPosEventPipe(tKvKPosFiscalStreamWriter& downstream, size_t chunkBytes = 256 * 1024,
                            size_t depth = 3, size_t batch = 1);
  tKvKPosEventPipe(const tKvKPosEventPipe&) = delete;
  tKvKPosEventPipe& operator=(const tKvKPosEventPipe&) = delete;
  ~tKvKPosEventPipe() override;

  void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) override;
  void AddValue(int32_t number, const tKvKPosValue& value) override;
  void FileHeader(const tKvKPosTextFileHeaderRec& header) override;
  void StreamHeader(const tKvKPosFileHeaderRec& header) override;
  void SetVersion(int32_t index, int32_t value) override;
  void BlockInfo(const tKvKPosBlockInfoRec& info) override;
  void EntryStart(const tKvKPosEntryInfoRec& info) override;
  void EntryEnd() override;
  void Link(int32_t distance) override;
  void RecordStart(int32_t type, int32_t level) override;

  // Runs work on the delivering thread after every event received so far.
  void Call(std::function<void()> work);
  // Hands over what is collected and waits until all of it is delivered
  // (or dropped after a failure). Does not raise.
  void Drain();

  // The first failure of the delivering thread (null: none) and the
  // position of the event (or call) that raised it. Read after Drain.
  std::exception_ptr failure() const { return failure_; }
  int64_t failure_pos() const { return failure_pos_; }

 private:
  struct tChunk {
    int64_t Base = 0;  // positions are kept relative to it
    std::unique_ptr<tKvKPosFiscalEventBuffer> Events;
    std::function<void()> Call;  // after the events
    int64_t CallPos = 0;         // the position when Call was given
  };

  // The chunk being filled, ready for an event at file_pos().
  tKvKPosFiscalEventBuffer& Current();
  // A full chunk goes over after the event just collected.
  void Collected() {
    if (current_.Events->used() >= chunk_bytes_) [[unlikely]] HandOver();
  }
  // Queues the current chunk (waiting while depth chunks are queued) and
  // starts a new one. Raises tStopped when the delivering thread failed.
  void HandOver();
  void Deliver();

  tKvKPosFiscalStreamWriter& downstream_;
  const size_t chunk_bytes_;
  tChunk current_;
  tKvHandOver<tChunk> queue_;
  // Written by the delivering thread before the queue is marked failed.
  std::exception_ptr failure_;
  int64_t failure_pos_ = 0;
  std::thread thread_;
};
