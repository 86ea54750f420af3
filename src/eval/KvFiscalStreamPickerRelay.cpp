#include "eval/KvFiscalStreamPickerRelay.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "eval/ChangedBlocks.h"
#include "platform/Threads.h"

// What a message holds: a record (its copy follows the message head), the
// entry type, an end, or a line for a sink (the sink's address, then the
// line's bytes).
enum class tKvFiscalStreamPickerRelay::tKind : uint8_t {
  kHeader,
  kSaleItem,
  kPLULink,
  kAdjust,
  kDeposit,
  kClosing,
  kPayment,
  kSignature,
  kReportCounters,
  kReportTax,
  kReportMedia,
  kReportGroup,
  kEvent,
  kBlockEnd,
  kEntryEnd,
  kFileHeader,
  kBlockStart,
  kEntryStart,
  kEntryType,
  kLine,
};

namespace {

// Every message starts at this alignment, its payload right after its head.
constexpr size_t kAlign = alignof(std::max_align_t);

constexpr size_t Aligned(size_t size) { return (size + kAlign - 1) / kAlign * kAlign; }

// A record travels as the blocks of kBlock bytes in which it differs from
// the record of its kind sent before (all of them the first time): a mask
// of those blocks, then the blocks. Consecutive records share most of their
// bytes (texts, names, empty slots), so little is copied and little crosses
// to the other core. The blocks cover a record that owns nothing, or an
// article's fields before its modifier array, whose valid elements follow
// the blocks (their count, then the elements).
constexpr size_t kBlock = tKvFiscalStreamPickerRelay::kBlockBytes;
constexpr size_t kMaxBlocks = tKvFiscalStreamPickerRelay::kMaxBlocks;
// Smaller records are copied whole: comparing them costs more than it saves.
constexpr size_t kMinBlocks = tKvFiscalStreamPickerRelay::kMinBlocks;

constexpr size_t Blocks(size_t size) { return (size + kBlock - 1) / kBlock; }

// The set bits of mask. Inline: the baseline instruction set has no
// population count, and std::popcount is a library call there.
constexpr size_t CountBits(uint64_t mask) {
  mask -= (mask >> 1) & 0x5555555555555555;
  mask = (mask & 0x3333333333333333) + ((mask >> 2) & 0x3333333333333333);
  mask = (mask + (mask >> 4)) & 0x0F0F0F0F0F0F0F0F;
  return static_cast<size_t>((mask * 0x0101010101010101) >> 56);
}
static_assert(CountBits(0) == 0 && CountBits(~uint64_t{0}) == 64 &&
              CountBits(0x8000000000000101) == 3);

template <typename Rec>
constexpr bool kHasModifiers =
    std::is_same_v<Rec, tFiscSaleItemRec> || std::is_same_v<Rec, tFiscPLULinkRec>;

// The bytes sent as blocks.
template <typename Rec>
constexpr size_t BlockBytes() {
  if constexpr (kHasModifiers<Rec>) {
    static_assert(std::is_standard_layout_v<Rec> &&
                  offsetof(Rec, Modifiers) + sizeof(tFiscPluModifierArr) == sizeof(Rec));
    return offsetof(Rec, Modifiers);
  } else {
    return sizeof(Rec);
  }
}

template <typename Rec>
constexpr bool kAsBlocks =
    tKvFiscalStreamPickerRelay::kKeepsLast<Rec> ||
    (kHasModifiers<Rec> && Blocks(BlockBytes<Rec>()) >= kMinBlocks &&
     Blocks(BlockBytes<Rec>()) <= kMaxBlocks);

// The fields of an article before its modifiers own nothing.
static_assert(std::is_trivially_copyable_v<tFiscNumTextRec> &&
              std::is_trivially_copyable_v<tKvBcd> &&
              std::is_trivially_copyable_v<tFiscText<80>> &&
              std::is_trivially_copyable_v<tFiscItemTaxTable> &&
              std::is_trivially_copyable_v<tFiscModifierRec>);

// The blocks of a record: kCount of them, the last one holding kTail bytes.
template <typename Rec>
constexpr size_t kCount = Blocks(BlockBytes<Rec>());
template <typename Rec>
constexpr size_t kTail = BlockBytes<Rec>() - (kCount<Rec> - 1) * kBlock;

// Block b of in copied to out. Fixed sizes let the compiler inline the
// copies.
template <typename Rec>
void CopyBlock(std::byte* out, const std::byte* in, size_t b) {
  if (b + 1 < kCount<Rec>) [[likely]] {
    std::memcpy(out, in, kBlock);
  } else {
    std::memcpy(out, in, kTail<Rec>);
  }
}

}  // namespace

// Bytes at the messages' alignment, owned: a chunk's storage, and the last
// record of a kind sent as blocks (on the producer's side to compare with,
// on the relay's thread to apply the blocks to).
struct tKvFiscalStreamPickerRelay::tBytes {
  explicit tBytes(size_t size) : Bytes(new (std::align_val_t(kAlign)) std::byte[size]) {}
  ~tBytes() {
    if (Destroy != nullptr) Destroy(Bytes);
    ::operator delete[](Bytes, std::align_val_t(kAlign));
  }
  tBytes(const tBytes&) = delete;
  tBytes& operator=(const tBytes&) = delete;

  std::byte* const Bytes;
  // Set while Bytes hold a record that owns memory: releases it.
  void (*Destroy)(std::byte*) = nullptr;
};

struct tKvFiscalStreamPickerRelay::tChunk : tBytes {
  struct alignas(kAlign) tHead {
    tKind Kind;
    int32_t Extra;
    uint32_t Size;  // of the payload
  };

  explicit tChunk(size_t capacity) : tBytes(Aligned(capacity)), Capacity(Aligned(capacity)) {}

  const size_t Capacity;
  size_t Used = 0;
};

// ---- The producer's side ---------------------------------------------------

class tKvFiscalStreamPickerRelay::tLines final : public tKvFiscalDataDestAscii {
 public:
  tLines(tKvFiscalStreamPickerRelay& relay, tKvFiscalDataDestAscii& sink)
      : relay_(relay), sink_(sink) {}
  void WriteLine(std::string_view text) override { relay_.PostLine(sink_, text); }

 private:
  tKvFiscalStreamPickerRelay& relay_;
  tKvFiscalDataDestAscii& sink_;
};

tKvFiscalStreamPickerRelay::tKvFiscalStreamPickerRelay(tKvFiscalStreamPicker& target,
                                                       size_t chunkBytes, size_t depth,
                                                       size_t batch)
    : target_(target),
      chunk_bytes_(std::max<size_t>(chunkBytes, kAlign)),
      current_(std::make_unique<tChunk>(chunk_bytes_)),
      queue_(depth, batch) {
  static_assert(static_cast<size_t>(tKind::kLine) + 1 == kKinds);
  thread_ = std::thread(&tKvFiscalStreamPickerRelay::Deliver, this);
}

tKvFiscalStreamPickerRelay::~tKvFiscalStreamPickerRelay() {
  queue_.Fail();  // what is still queued is dropped
  queue_.Close(/*drop=*/false);
  thread_.join();
  Replay(*current_);  // dropped as well: releases what the records own
}

std::unique_ptr<tKvFiscalDataDestAscii> tKvFiscalStreamPickerRelay::RelayedLines(
    tKvFiscalDataDestAscii& sink) {
  return std::make_unique<tLines>(*this, sink);
}

void* tKvFiscalStreamPickerRelay::Post(tKind kind, size_t size, int32_t extra) {
  const size_t need = sizeof(tChunk::tHead) + Aligned(size);
  if (current_->Capacity - current_->Used < need) [[unlikely]] {
    if (current_->Used > 0) HandOver();
    if (current_->Capacity < need) current_ = std::make_unique<tChunk>(need);
  }
  std::byte* at = current_->Bytes + current_->Used;
  new (at) tChunk::tHead{kind, extra, static_cast<uint32_t>(size)};
  current_->Used += need;
  return at + sizeof(tChunk::tHead);
}

template <typename Rec>
void tKvFiscalStreamPickerRelay::PostRecord(tKind kind, const Rec& rec, int32_t extra) {
  if (type_due_ || !(entry_type() == posted_type_)) [[unlikely]]
    SyncEntryType();
  PostCopy(kind, rec, extra);
}

template <typename Rec>
void tKvFiscalStreamPickerRelay::PostCopy(tKind kind, const Rec& rec, int32_t extra) {
  if constexpr (kAsBlocks<Rec>) {
    constexpr size_t kBytes = BlockBytes<Rec>();
    std::unique_ptr<tBytes>& kept = sent_[static_cast<size_t>(kind)];
    const bool first = kept == nullptr;
    if (first) kept = std::make_unique<tBytes>(kBytes);
    const auto* bytes = reinterpret_cast<const std::byte*>(&rec);
    // The full blocks, then the last one of kTail bytes.
    constexpr size_t kLast = kCount<Rec> - 1;
    uint64_t mask;
    if (first) {
      mask = kCount<Rec> == 64 ? ~uint64_t{0} : (uint64_t{1} << kCount<Rec>) - 1;
    } else {
      mask = changed_blocks::ChangedBlocks(bytes, kept->Bytes, kLast);
      if (std::memcmp(bytes + kLast * kBlock, kept->Bytes + kLast * kBlock, kTail<Rec>) != 0) {
        mask |= uint64_t{1} << kLast;
      }
    }
    const size_t count = CountBits(mask);
    size_t size = sizeof mask + count * kBlock;
    int32_t modifiers = 0;
    if constexpr (kHasModifiers<Rec>) {
      modifiers = rec.Modifiers.Count();
      size += sizeof(uint64_t) + static_cast<size_t>(modifiers) * sizeof(tFiscModifierRec);
    }
    auto* out = static_cast<std::byte*>(Post(kind, size, extra));
    std::memcpy(out, &mask, sizeof mask);
    out += sizeof mask;
    for (uint64_t m = mask; m != 0; m &= m - 1) {
      const auto b = static_cast<size_t>(std::countr_zero(m));
      CopyBlock<Rec>(out, bytes + b * kBlock, b);
      CopyBlock<Rec>(kept->Bytes + b * kBlock, bytes + b * kBlock, b);
      out += kBlock;
    }
    if constexpr (kHasModifiers<Rec>) {
      std::memcpy(out, &modifiers, sizeof modifiers);
      out += sizeof(uint64_t);
      for (int32_t i = 1; i <= modifiers; ++i) {
        const tFiscModifierRec modifier = rec.Modifiers.Get(i);
        std::memcpy(out, &modifier, sizeof modifier);
        out += sizeof modifier;
      }
    }
  } else {
    new (Post(kind, sizeof(Rec), extra)) Rec(rec);
  }
}

void tKvFiscalStreamPickerRelay::PostLine(tKvFiscalDataDestAscii& sink, std::string_view text) {
  auto* at = static_cast<std::byte*>(Post(tKind::kLine, sizeof(void*) + text.size()));
  tKvFiscalDataDestAscii* address = &sink;
  std::memcpy(at, &address, sizeof address);
  if (!text.empty()) std::memcpy(at + sizeof address, text.data(), text.size());
}

void tKvFiscalStreamPickerRelay::SyncEntryType() {
  if (!type_due_ && entry_type() == posted_type_) return;
  type_due_ = false;
  posted_type_ = entry_type();
  PostCopy(tKind::kEntryType, posted_type_);
}

void tKvFiscalStreamPickerRelay::Header(const tFiscHeaderRec& rec) {
  PostRecord(tKind::kHeader, rec);
}
void tKvFiscalStreamPickerRelay::SaleItem(const tFiscSaleItemRec& rec) {
  PostRecord(tKind::kSaleItem, rec);
}
void tKvFiscalStreamPickerRelay::PLULink(const tFiscPLULinkRec& rec) {
  PostRecord(tKind::kPLULink, rec);
}
void tKvFiscalStreamPickerRelay::Adjust(const tFiscAdjustRec& rec) {
  PostRecord(tKind::kAdjust, rec);
}
void tKvFiscalStreamPickerRelay::Deposit(const tFiscDepositRec& rec) {
  PostRecord(tKind::kDeposit, rec);
}
void tKvFiscalStreamPickerRelay::Closing(const tFiscClosingRec& rec) {
  PostRecord(tKind::kClosing, rec);
}
void tKvFiscalStreamPickerRelay::Payment(const tFiscPaymentRec& rec) {
  PostRecord(tKind::kPayment, rec);
}
void tKvFiscalStreamPickerRelay::Signature(const tFiscSignatureRec& rec) {
  PostRecord(tKind::kSignature, rec);
}
void tKvFiscalStreamPickerRelay::ReportCounters(const tFiscReportCountersRec& rec) {
  PostRecord(tKind::kReportCounters, rec);
}
void tKvFiscalStreamPickerRelay::ReportTax(const tFiscReportTaxRec& rec) {
  PostRecord(tKind::kReportTax, rec);
}
void tKvFiscalStreamPickerRelay::ReportMedia(const tFiscReportMediaRec& rec) {
  PostRecord(tKind::kReportMedia, rec);
}
void tKvFiscalStreamPickerRelay::ReportGroup(const tFiscReportGroupRec& rec, int32_t selector) {
  PostRecord(tKind::kReportGroup, rec, selector);
}
void tKvFiscalStreamPickerRelay::Event(const tFiscEventRec& rec) {
  PostRecord(tKind::kEvent, rec);
}

void tKvFiscalStreamPickerRelay::BlockEnd() {
  SyncEntryType();
  Post(tKind::kBlockEnd, 0);
  if (stopped_) [[unlikely]]
    RaiseFailure();
}

void tKvFiscalStreamPickerRelay::EntryEnd() {
  SyncEntryType();
  Post(tKind::kEntryEnd, 0);
  if (stopped_) [[unlikely]]
    RaiseFailure();
}

void tKvFiscalStreamPickerRelay::FileHeader(const tKvKPosTextFileHeaderRec& header) {
  tKvFiscalStreamPicker::FileHeader(header);
  PostRecord(tKind::kFileHeader, header);
}

void tKvFiscalStreamPickerRelay::BlockStart(const tKvKPosBlockInfoRec& block) {
  tKvFiscalStreamPicker::BlockStart(block);
  PostRecord(tKind::kBlockStart, block);
}

void tKvFiscalStreamPickerRelay::EntryStart(const tKvKPosEntryInfoRec& entry) {
  tKvFiscalStreamPicker::EntryStart(entry);
  PostRecord(tKind::kEntryStart, entry);
  type_due_ = true;
}

void tKvFiscalStreamPickerRelay::HandOver() {
  if (stopped_ || !queue_.Put(current_)) {
    stopped_ = true;
    Replay(*current_);  // dropped
    return;
  }
  if (!queue_.Reuse(current_)) current_ = std::make_unique<tChunk>(chunk_bytes_);
}

void tKvFiscalStreamPickerRelay::Drain() {
  if (current_->Used > 0) HandOver();
  queue_.Drain();
  if (queue_.failed()) RaiseFailure();
}

void tKvFiscalStreamPickerRelay::RaiseFailure() {
  if (failure_ != nullptr) std::rethrow_exception(failure_);
  throw EKvMisc(this, "tKvFiscalStreamPickerRelay: released before its records were delivered");
}

// ---- The relay's thread ----------------------------------------------------

void tKvFiscalStreamPickerRelay::Deliver() {
  // The target's work goes beside the producer's: woken by a hand-over, the
  // thread waits for its turn instead of preempting the producer or the
  // stage that feeds it (on two cores, 4% off the native view's run).
  platform::MarkThreadAsBatch();
  for (std::unique_ptr<tChunk> chunk; queue_.Take(chunk);) {
    Replay(*chunk);
    queue_.Release(std::move(chunk));
  }
}

namespace {

template <typename Rec>
Rec& Payload(std::byte* at) {
  return *std::launder(reinterpret_cast<Rec*>(at));
}

}  // namespace

// Delivers each message of chunk unless the relay failed (a failure during
// the chunk is kept, and the rest dropped), and releases every record.
// Called by the relay's thread, or by the producer for a chunk that is
// dropped once the thread is gone or failed.
void tKvFiscalStreamPickerRelay::Replay(tChunk& chunk) {
  bool deliver = !queue_.failed();
  tKvFiscalStreamPicker& t = target_;
  for (size_t at = 0; at < chunk.Used;) {
    const auto& head = *std::launder(reinterpret_cast<const tChunk::tHead*>(chunk.Bytes + at));
    std::byte* payload = chunk.Bytes + at + sizeof(tChunk::tHead);
    at += sizeof(tChunk::tHead) + Aligned(head.Size);
    // The call a message makes with its record, then the release of the
    // record's copy; a record sent as blocks is first brought up to date.
    const auto record = [&](auto call, auto* typed) {
      using Rec = std::remove_pointer_t<decltype(typed)>;
      if (!deliver) {  // dropped; the blocks' state is the relay thread's
        if constexpr (!kAsBlocks<Rec>) Payload<Rec>(payload).~Rec();
        return;
      }
      Rec* copy = nullptr;
      if constexpr (kAsBlocks<Rec>) {
        std::unique_ptr<tBytes>& kept = received_[static_cast<size_t>(head.Kind)];
        if (kept == nullptr) {
          kept = std::make_unique<tBytes>(sizeof(Rec));
          new (kept->Bytes) Rec();
          if constexpr (!std::is_trivially_destructible_v<Rec>) {
            kept->Destroy = [](std::byte* at) { std::launder(reinterpret_cast<Rec*>(at))->~Rec(); };
          }
        }
        uint64_t mask;
        std::memcpy(&mask, payload, sizeof mask);
        const std::byte* in = payload + sizeof mask;
        for (; mask != 0; mask &= mask - 1) {
          const auto b = static_cast<size_t>(std::countr_zero(mask));
          CopyBlock<Rec>(kept->Bytes + b * kBlock, in, b);
          in += kBlock;
        }
        copy = std::launder(reinterpret_cast<Rec*>(kept->Bytes));
        if constexpr (kHasModifiers<Rec>) {
          int32_t modifiers;
          std::memcpy(&modifiers, in, sizeof modifiers);
          in += sizeof(uint64_t);
          copy->Modifiers.Clear();
          for (int32_t i = 0; i < modifiers; ++i) {
            tFiscModifierRec modifier;
            std::memcpy(&modifier, in, sizeof modifier);
            in += sizeof modifier;
            copy->Modifiers.Add(modifier);
          }
        }
      } else {
        copy = &Payload<Rec>(payload);
      }
      try {
        call(*copy);
      } catch (...) {
        deliver = false;
        if (failure_ == nullptr) {
          failure_ = std::current_exception();
          queue_.Fail();
        }
      }
      if constexpr (!kAsBlocks<Rec>) copy->~Rec();
    };
    switch (head.Kind) {
      case tKind::kHeader:
        record([&](auto& r) { t.Header(r); }, static_cast<tFiscHeaderRec*>(nullptr));
        break;
      case tKind::kSaleItem:
        record([&](auto& r) { t.SaleItem(r); }, static_cast<tFiscSaleItemRec*>(nullptr));
        break;
      case tKind::kPLULink:
        record([&](auto& r) { t.PLULink(r); }, static_cast<tFiscPLULinkRec*>(nullptr));
        break;
      case tKind::kAdjust:
        record([&](auto& r) { t.Adjust(r); }, static_cast<tFiscAdjustRec*>(nullptr));
        break;
      case tKind::kDeposit:
        record([&](auto& r) { t.Deposit(r); }, static_cast<tFiscDepositRec*>(nullptr));
        break;
      case tKind::kClosing:
        record([&](auto& r) { t.Closing(r); }, static_cast<tFiscClosingRec*>(nullptr));
        break;
      case tKind::kPayment:
        record([&](auto& r) { t.Payment(r); }, static_cast<tFiscPaymentRec*>(nullptr));
        break;
      case tKind::kSignature:
        record([&](auto& r) { t.Signature(r); }, static_cast<tFiscSignatureRec*>(nullptr));
        break;
      case tKind::kReportCounters:
        record([&](auto& r) { t.ReportCounters(r); },
               static_cast<tFiscReportCountersRec*>(nullptr));
        break;
      case tKind::kReportTax:
        record([&](auto& r) { t.ReportTax(r); }, static_cast<tFiscReportTaxRec*>(nullptr));
        break;
      case tKind::kReportMedia:
        record([&](auto& r) { t.ReportMedia(r); }, static_cast<tFiscReportMediaRec*>(nullptr));
        break;
      case tKind::kReportGroup:
        record([&](auto& r) { t.ReportGroup(r, head.Extra); },
               static_cast<tFiscReportGroupRec*>(nullptr));
        break;
      case tKind::kEvent:
        record([&](auto& r) { t.Event(r); }, static_cast<tFiscEventRec*>(nullptr));
        break;
      case tKind::kBlockEnd:
        record([&](auto&) { t.BlockEnd(); }, static_cast<std::byte*>(nullptr));
        break;
      case tKind::kEntryEnd:
        record([&](auto&) { t.EntryEnd(); }, static_cast<std::byte*>(nullptr));
        break;
      case tKind::kFileHeader:
        record([&](auto& r) { t.FileHeader(r); }, static_cast<tKvKPosTextFileHeaderRec*>(nullptr));
        break;
      case tKind::kBlockStart:
        record([&](auto& r) { t.BlockStart(r); }, static_cast<tKvKPosBlockInfoRec*>(nullptr));
        break;
      case tKind::kEntryStart:
        record([&](auto& r) { t.EntryStart(r); }, static_cast<tKvKPosEntryInfoRec*>(nullptr));
        break;
      case tKind::kEntryType:
        record([&](auto& r) { t.SetEntryType(r); }, static_cast<tKvKPosFiscalType*>(nullptr));
        break;
      case tKind::kLine:
        record(
            [&](auto&) {
              tKvFiscalDataDestAscii* sink;
              std::memcpy(&sink, payload, sizeof sink);
              sink->WriteLine(std::string_view(reinterpret_cast<const char*>(payload) + sizeof sink,
                                               head.Size - sizeof sink));
            },
            static_cast<std::byte*>(nullptr));
        break;
    }
  }
  chunk.Used = 0;
}
