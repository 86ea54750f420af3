// What the fiscal parser remembers of the back links it followed within one
// range, so that a link met again is not read again. Following a link reads
// the same bytes the same way whenever it starts at the same target with the
// same decision whether a length value comes first (no entry end is reported
// while following, so no other length value becomes due). Both tables are
// direct mapped by target: a slot holds the last link that fell on it. Each
// is owned by one parser and used by its thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// For the check pass: what following a link left behind, the last length
// value read, if any.
class tKvKPosLinkMemo {
 public:
  // Intentionally copyable.
  struct tEntry {
    int64_t Target = -1;  // -1: empty
    bool ReadsLengthFirst = false;
    bool ReadLength = false;  // a length value was read while following
    int64_t LastLength = 0;   // the last one read
  };

  // Forgets every link (a new range begins).
  void Clear() { slots_.fill(tEntry{}); }
  // The link to target followed before from the same decision, or nullptr.
  const tEntry* Find(int64_t target, bool readsLengthFirst) const;
  // Remembers a link followed without failure.
  void Store(const tEntry& entry);

 private:
  static constexpr int kBits = 8;
  std::array<tEntry, size_t{1} << kBits> slots_{};
};

// For the parse into an event buffer: the fields a followed link delivered,
// as element positions. Cached is only a link whose following ended without
// failure, touched no length value and gave the writer nothing but fields,
// at most kMaxFields of them from at most kMaxBytes bytes (so that what is
// kept stays small). Not copyable.
class tKvKPosLinkCache {
 public:
  static constexpr size_t kMaxFields = 16;
  static constexpr int64_t kMaxBytes = 512;

  // Intentionally copyable.
  struct tField {
    int32_t Number = 0;
    int64_t Position = 0;  // of the element in the stream file
  };

  tKvKPosLinkCache();
  tKvKPosLinkCache(const tKvKPosLinkCache&) = delete;
  tKvKPosLinkCache& operator=(const tKvKPosLinkCache&) = delete;
  ~tKvKPosLinkCache();

  // The links cached before are stale from now on.
  void NewRange() { ++range_; }
  // The fields of the link to target cached in this range, or nullptr.
  // Valid until the next Commit.
  const std::vector<tField>* Find(int64_t target) const;

  // Starts recording the link to target (a recording under way is dropped).
  void Begin(int64_t target);
  bool Recording() const { return recording_; }
  // A field of the link being recorded whose element lies from position to
  // end; a link with too many fields or too far from its target is dropped.
  // REQUIRES: Recording().
  void Record(int32_t number, int64_t position, int64_t end);
  // The link is not to be cached (it gave the writer something else).
  void Drop() { recording_ = false; }
  // The recorded link ended without failure: it takes its slot.
  void Commit();

 private:
  struct tSlot {
    uint64_t Range = 0;  // range_ of the range it belongs to; 0: empty
    int64_t Target = -1;
    std::vector<tField> Fields;
  };
  static constexpr int kBits = 10;

  tSlot& SlotOf(int64_t target) const;

  // Allocated at the first link recorded.
  std::unique_ptr<std::array<tSlot, size_t{1} << kBits>> slots_;
  uint64_t range_ = 1;
  // The entry being filled, which takes the slot's place only when complete
  // (and then keeps the slot's former field storage for the next one).
  bool recording_ = false;
  tSlot scratch_;
};
