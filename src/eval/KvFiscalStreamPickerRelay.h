// tKvFiscalStreamPickerRelay: a picker that hands the records it receives to
// a thread of its own, which passes them in the same order to a target
// picker, so that a picker with much work of its own (the journal view's
// text) runs beside the chain that assembles the records. Lines for a line
// sink (RelayedLines) travel in the same order, so that a writer in front
// of the assembly can put text between the target's entries.
//
// Records are copied into chunks of a bounded size (a record that owns no
// memory, and an article's fields but its modifiers, only as far as they
// differ from the last of its kind); a full chunk goes to the relay's
// thread, and at most a few chunks are in flight, so memory does not grow
// with the journal. The target reads the entry state it was
// given (entry(), entry_type(), block(), file_header()) as a picker called
// directly would: the relay passes EntryStart, BlockStart and FileHeader on
// and the entry type before the first record or end of each entry and after
// each change.
//
// Calls on the producer's side and what the relay's thread does:
//   EntryStart(e)  SetEntryType(t)  SaleItem(r)  lines->WriteLine("x")
//     ... a chunk is full ...  ->  target: EntryStart(e) SetEntryType(t)
//                                  SaleItem(r), then sink.WriteLine("x")
//   Drain()                    <-  everything delivered
//
// Failure: when the target (or a sink) raises, the relay's thread keeps the
// first failure and drops every later record and line. Once a hand-over
// finds it, the producer's next EntryEnd or BlockEnd, and Drain, raise that
// failure again (the same exception object): a failing target stops the
// chain as if it had been called directly and had failed at the end of an
// entry, a little later, so that the pickers called before it have seen
// the whole entry. The destructor drops what was not delivered and
// joins the thread.
//
// Threads: the producer's side (every picker call, the relayed lines,
// Drain) belongs to one thread at a time, handed on with a happens-before
// (a pipe's join); the target and the sinks run on the relay's thread,
// which the constructor starts and the destructor joins; it runs as batch
// work (platform::MarkThreadAsBatch). After Drain returns, the producer may
// use what the target owns. Chunks go over through a tKvHandOver
// (base/KvHandOver.h), in batches; the failure is written before the queue
// is marked failed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string_view>
#include <thread>
#include <type_traits>

#include "base/KvHandOver.h"
#include "eval/ChangedBlocks.h"
#include "eval/KvFiscalDataDest.h"
#include "eval/KvFiscalStreamPicker.h"

class tKvFiscalStreamPickerRelay final : public tKvFiscalStreamPicker {
 public:
  // target: borrowed, used only by the relay's thread until Drain returns or
  // the relay is destroyed. chunkBytes: the size of a chunk (a larger record
  // gets a chunk of its own); depth: chunks handed over and not yet
  // delivered, at most; batch: the chunks a sleeping side waits for.
  explicit tKvFiscalStreamPickerRelay(tKvFiscalStreamPicker& target,
                                      size_t chunkBytes = 256 * 1024, size_t depth = 3,
                                      size_t batch = 1);
  ~tKvFiscalStreamPickerRelay() override;

  void Header(const tFiscHeaderRec& rec) override;
  void SaleItem(const tFiscSaleItemRec& rec) override;
  void PLULink(const tFiscPLULinkRec& rec) override;
  void Adjust(const tFiscAdjustRec& rec) override;
  void Deposit(const tFiscDepositRec& rec) override;
  void Closing(const tFiscClosingRec& rec) override;
  void Payment(const tFiscPaymentRec& rec) override;
  void Signature(const tFiscSignatureRec& rec) override;
  void ReportCounters(const tFiscReportCountersRec& rec) override;
  void ReportTax(const tFiscReportTaxRec& rec) override;
  void ReportMedia(const tFiscReportMediaRec& rec) override;
  void ReportGroup(const tFiscReportGroupRec& rec, int32_t selector) override;
  void Event(const tFiscEventRec& rec) override;
  void BlockEnd() override;
  void EntryEnd() override;
  void FileHeader(const tKvKPosTextFileHeaderRec& header) override;
  void BlockStart(const tKvKPosBlockInfoRec& block) override;
  void EntryStart(const tKvKPosEntryInfoRec& entry) override;

  // Records that own no memory and have from kMinBlocks to kMaxBlocks
  // blocks of kBlockBytes go over as the blocks in which they differ from
  // the last record of their type (an article's fields before its modifiers
  // as well). The last record of each such type stays on the relay's
  // thread: the target may read it where it received it, unchanged, until
  // it receives the next record of that type or the relay is destroyed.
  static constexpr size_t kBlockBytes = changed_blocks::kBlockBytes;
  static constexpr size_t kMinBlocks = 4;
  static constexpr size_t kMaxBlocks = changed_blocks::kMaxBlocks;
  template <typename Rec>
  static constexpr bool kKeepsLast = std::is_trivially_copyable_v<Rec> &&
                                     sizeof(Rec) > (kMinBlocks - 1) * kBlockBytes &&
                                     sizeof(Rec) <= kMaxBlocks * kBlockBytes;

  // A line sink whose lines reach sink on the relay's thread, in order with
  // the records. sink: borrowed, as the target.
  std::unique_ptr<tKvFiscalDataDestAscii> RelayedLines(tKvFiscalDataDestAscii& sink);

  // Hands over what is collected and waits until all of it is delivered;
  // then raises the target's first failure, if any.
  void Drain();

 private:
  enum class tKind : uint8_t;
  static constexpr size_t kKinds = 20;
  struct tChunk;
  struct tBytes;
  class tLines;

  // Room for a message of kind with size payload bytes in the current chunk
  // (handing it over first when full); the payload's address.
  void* Post(tKind kind, size_t size, int32_t extra = 0);
  // The entry type first (SyncEntryType), then the record; PostCopy the
  // record alone.
  template <typename Rec>
  void PostRecord(tKind kind, const Rec& rec, int32_t extra = 0);
  template <typename Rec>
  void PostCopy(tKind kind, const Rec& rec, int32_t extra = 0);
  void PostLine(tKvFiscalDataDestAscii& sink, std::string_view text);
  // Passes a changed entry type on before the next record or end.
  void SyncEntryType();
  void HandOver();
  void Deliver();
  void Replay(tChunk& chunk);
  [[noreturn]] void RaiseFailure();

  tKvFiscalStreamPicker& target_;
  const size_t chunk_bytes_;
  std::unique_ptr<tChunk> current_;
  std::array<std::unique_ptr<tBytes>, kKinds> sent_;      // producer's side
  std::array<std::unique_ptr<tBytes>, kKinds> received_;  // relay's thread
  tKvKPosFiscalType posted_type_;
  bool stopped_ = false;   // a hand-over found the failure: records are dropped
  bool type_due_ = false;  // passed on before the first record or end of an entry

  tKvHandOver<std::unique_ptr<tChunk>> queue_;
  std::exception_ptr failure_;  // written by the relay's thread before queue_ fails
  std::thread thread_;
};
