#include "stream/KvKPosLinkCache.h"

namespace {

// The slot of target among 2^bits slots (Fibonacci hashing: targets are
// byte positions, often close to each other).
size_t SlotIndex(int64_t target, int bits) {
  return static_cast<size_t>(static_cast<uint64_t>(target) * 0x9E3779B97F4A7C15ULL >> (64 - bits));
}

}  // namespace

// ---------------------------------------------------------------------------
// tKvKPosLinkMemo

const tKvKPosLinkMemo::tEntry* tKvKPosLinkMemo::Find(int64_t target, bool readsLengthFirst) const {
  const tEntry& entry = slots_[SlotIndex(target, kBits)];
  if (entry.Target != target || entry.ReadsLengthFirst != readsLengthFirst) return nullptr;
  return &entry;
}

void tKvKPosLinkMemo::Store(const tEntry& entry) { slots_[SlotIndex(entry.Target, kBits)] = entry; }

// ---------------------------------------------------------------------------
// tKvKPosLinkCache

tKvKPosLinkCache::tKvKPosLinkCache() = default;
tKvKPosLinkCache::~tKvKPosLinkCache() = default;

tKvKPosLinkCache::tSlot& tKvKPosLinkCache::SlotOf(int64_t target) const {
  return (*slots_)[SlotIndex(target, kBits)];
}

const std::vector<tKvKPosLinkCache::tField>* tKvKPosLinkCache::Find(int64_t target) const {
  if (slots_ == nullptr) return nullptr;
  const tSlot& slot = SlotOf(target);
  if (slot.Range != range_ || slot.Target != target) return nullptr;
  return &slot.Fields;
}

void tKvKPosLinkCache::Begin(int64_t target) {
  if (slots_ == nullptr) slots_ = std::make_unique<std::array<tSlot, size_t{1} << kBits>>();
  scratch_.Fields.clear();
  if (scratch_.Fields.capacity() == 0) scratch_.Fields.reserve(4);
  scratch_.Target = target;
  recording_ = true;
}

void tKvKPosLinkCache::Record(int32_t number, int64_t position, int64_t end) {
  if (scratch_.Fields.size() == kMaxFields || end - scratch_.Target > kMaxBytes) {
    recording_ = false;
    return;
  }
  scratch_.Fields.push_back(tField{number, position});
}

void tKvKPosLinkCache::Commit() {
  recording_ = false;
  tSlot& slot = SlotOf(scratch_.Target);
  slot.Range = range_;
  slot.Target = scratch_.Target;
  slot.Fields.swap(scratch_.Fields);
}
