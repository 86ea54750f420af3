#include "stream/KvKPosComStreamData.h"

#include <array>
#include <atomic>
#include <cassert>
#include <cstring>
#include <mutex>
#include <typeinfo>

// ---------------------------------------------------------------------------
// Exception, source and destination

namespace {

std::string ComStreamMessage(const std::string& text, int8_t code) {
  std::string message = "KPosComStream error #" + std::to_string(code);
  if (!text.empty()) message += " - " + text;
  return message;
}

constexpr int8_t kCodeUnknownId = 1;
constexpr int8_t kCodeForeignId = 2;
constexpr int8_t kCodeTooLong = 3;
constexpr int8_t kCodeUnsupported = 9;

}  // namespace

EKvKPosComStream::EKvKPosComStream(const tKvClass* object, const std::string& text, int8_t code)
    : EKvRoot(object, ComStreamMessage(text, code)), code_(code) {}

tKvKPosComStreamSource::~tKvKPosComStreamSource() = default;

void tKvKPosComStreamSource::Prepare() {}

void tKvKPosComStreamSource::Skip(int32_t, const tKvKPosReadContext&) {
  throw EKvKPosComStream(this, "", kCodeUnsupported);
}

void tKvKPosComStreamSource::ReadUnsignedSlow(uint8_t* b, int32_t bytes) {
  assert(bytes >= 1 && bytes <= 4);
  Read(b, bytes, tKvKPosReadContext{});
}

tKvKPosComStreamDest::~tKvKPosComStreamDest() = default;

void tKvKPosComStreamDest::WriteWord(uint16_t value) {
  const uint8_t b[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
  Write(b, 2);
}

void tKvKPosComStreamDest::WriteLongint(int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  Write(b, 4);
}

tKvKPosComStreamDestMem::~tKvKPosComStreamDestMem() = default;

void tKvKPosComStreamDestMem::Write(const void* buffer, int32_t count) {
  assert(count >= 0);
  if (count > 0) data_.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
}

// ---------------------------------------------------------------------------
// tKvKPosData: neutral answers for every accessor.

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kRecycleElements = false;  // let the sanitizer see every use after free
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kRecycleElements = false;
#else
constexpr bool kRecycleElements = true;
#endif
#else
constexpr bool kRecycleElements = true;
#endif

// Freed element blocks by size: bucket b holds blocks of 8 * (b + 1) bytes.
// Recycling pays: the benchmark's native journal converted in 0.60 s with it
// and in 0.97 s without (one run, best of seven rounds, Release build).
// Each thread keeps a short list per size. Elements made on one thread are
// often freed on another (blocks parsed on worker threads, consumed on the
// main thread), so a full list goes whole to a shared depot, from which a
// thread whose list is empty takes one: one lock per kMaxFree blocks. The
// lists and the depot are bounded (at most 8 * 512 blocks of up to 64 bytes
// per thread, 8 * 8 * 512 in the depot); what does not fit goes back to the
// heap, and so do the lists of a thread that ends.
constexpr std::size_t kGrain = 8;
constexpr std::size_t kBuckets = 8;
constexpr uint32_t kMaxFree = 512;
constexpr std::size_t kDepotLists = 128;

struct tFreeBlock {
  tFreeBlock* Next;
};

void FreeBlocks(tFreeBlock* list) {
  while (list != nullptr) {
    tFreeBlock* const next = list->Next;
    ::operator delete(list);
    list = next;
  }
}

struct tElementDepot {
  std::mutex Lock;
  tFreeBlock* Lists[kBuckets][kDepotLists];  // full lists of kMaxFree blocks
  std::size_t Count[kBuckets];

  // Stores a full list; false when there is no room.
  bool Put(std::size_t bucket, tFreeBlock* list) {
    const std::lock_guard guard(Lock);
    if (Count[bucket] == kDepotLists) return false;
    Lists[bucket][Count[bucket]++] = list;
    return true;
  }
  // A full list, or nullptr.
  tFreeBlock* Take(std::size_t bucket) {
    const std::lock_guard guard(Lock);
    return Count[bucket] == 0 ? nullptr : Lists[bucket][--Count[bucket]];
  }
};
constinit tElementDepot g_depot{};

struct tElementRecycler {
  tFreeBlock* Head[kBuckets];
  uint32_t Count[kBuckets];

  ~tElementRecycler() {
    for (std::size_t b = 0; b < kBuckets; ++b) {
      if (Count[b] == kMaxFree && g_depot.Put(b, Head[b])) continue;
      FreeBlocks(Head[b]);
    }
  }
};
thread_local constinit tElementRecycler t_recycler{};

}  // namespace

void* tKvKPosData::operator new(std::size_t size) {
  const std::size_t bucket = (size - 1) / kGrain;
  if (!kRecycleElements || bucket >= kBuckets) return ::operator new(size);
  tElementRecycler& r = t_recycler;
  if (r.Head[bucket] == nullptr) {
    r.Head[bucket] = g_depot.Take(bucket);
    if (r.Head[bucket] == nullptr) return ::operator new((bucket + 1) * kGrain);
    r.Count[bucket] = kMaxFree;
  }
  tFreeBlock* const block = r.Head[bucket];
  r.Head[bucket] = block->Next;
  --r.Count[bucket];
  return block;
}

void tKvKPosData::operator delete(void* block, std::size_t size) noexcept {
  const std::size_t bucket = (size - 1) / kGrain;
  if (!kRecycleElements || bucket >= kBuckets) {
    ::operator delete(block);
    return;
  }
  tElementRecycler& r = t_recycler;
  if (r.Count[bucket] == kMaxFree) {
    if (!g_depot.Put(bucket, r.Head[bucket])) FreeBlocks(r.Head[bucket]);
    r.Head[bucket] = nullptr;
    r.Count[bucket] = 0;
  }
  auto* const free = static_cast<tFreeBlock*>(block);
  free->Next = r.Head[bucket];
  r.Head[bucket] = free;
  ++r.Count[bucket];
}

void tKvKPosData::ForeignId() const { throw EKvKPosComStream(this, "", kCodeForeignId); }

int32_t tKvKPosData::GetItemCount() const { return 1; }

const tKvKPosData& tKvKPosData::GetItem(int32_t index) const {
  if (index != 1) throw EKvParam(this, "Invalid item index: " + std::to_string(index));
  return *this;
}

uint8_t tKvKPosData::GetItemKind(int32_t index) const { return index == 1 ? DataKind : 0; }
bool tKvKPosData::IsEmpty(int32_t) const { return false; }
int32_t tKvKPosData::GetAsInteger(int32_t) const { return 0; }
tKvBcd tKvKPosData::GetAsBcd(int32_t) const { return tKvBcd{}; }
tKvBcdFix tKvKPosData::GetAsBcdFix(int32_t) const { return tKvBcdFix{}; }
std::unique_ptr<tKvBitsetMem> tKvKPosData::GetAsBitset(int32_t) const {
  return std::make_unique<tKvBitsetMem>(0);
}
std::string tKvKPosData::GetAsString(int32_t) const { return std::string(); }
tKvTouch tKvKPosData::GetAsTouch(int32_t) const { return tKvTouch{}; }
tKvDateTime tKvKPosData::GetAsDateTime(int32_t) const { return tKvDateTime(); }
int64_t tKvKPosData::GetAsSeconds(int32_t) const { return 0; }
tKvDateTime tKvKPosData::GetAsDate(int32_t) const { return tKvDateTime(); }
std::string tKvKPosData::GetAsBinary(int32_t) const { return std::string(); }
std::string tKvKPosData::GetAsHex(int32_t) const { return std::string(); }
bool tKvKPosData::GetAsStringView(int32_t, std::string_view&) const { return false; }

namespace {

// IsEmpty of a single element: index 0 (the whole element, as a Multi asks
// for it) and 1 test the value; any other index has no item.
inline bool SingleEmpty(int32_t index, bool valueEmpty) {
  return (index == 0 || index == 1) ? valueEmpty : true;
}

template <typename T>
const T* SameClass(const tKvKPosData& self, const tKvKPosData& other) {
  if (typeid(self) != typeid(other)) return nullptr;
  return static_cast<const T*>(&other);
}

template <typename V>
int OrderOf(const V& a, const V& b) {
  if (a < b) return KvCompare::kLess;
  if (b < a) return KvCompare::kGreater;
  return KvCompare::kEqual;
}

int OrderOfSign(int c) {
  return c < 0 ? KvCompare::kLess : (c > 0 ? KvCompare::kGreater : KvCompare::kEqual);
}

// The bytes of the length in front of a text of this layout (0: the empty
// text, no length).
int32_t LengthBytes(kv_wire::tPayload payload) {
  return payload == kv_wire::kLength8 ? 1 : (payload == kv_wire::kLength16 ? 2 : 0);
}

// The IDs the wire format gives to cls.
tKvKPosIdSet Ids(kv_wire::tElementClass cls) {
  tKvKPosIdSet set;
  for (int id = 0; id < kKvKPosIdCount; ++id) {
    if (kv_wire::WireOf(static_cast<uint8_t>(id)).Class == cls) set.set(static_cast<size_t>(id));
  }
  return set;
}

template <typename T>
std::unique_ptr<tKvKPosData> Make(uint8_t id, tKvKPosComStreamSource& source) {
  return std::make_unique<T>(id, source);
}

}  // namespace

// ---------------------------------------------------------------------------
// None

void tKvKPosDataNone::RegisterIDs() { RegisterClass(Ids(kv_wire::kNone), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataNone::CreateFromStream(uint8_t id,
                                                               tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataNone>(id, source);
}
tKvKPosDataNone::tKvKPosDataNone(uint8_t id, tKvKPosComStreamSource&)
    : tKvKPosData(KvDataKind::kNone) {
  OwnWire(id, kv_wire::kNone);
}
tKvKPosDataNone::tKvKPosDataNone() : tKvKPosData(KvDataKind::kNone) {}
std::unique_ptr<tKvKPosData> tKvKPosDataNone::Clone() const {
  return std::make_unique<tKvKPosDataNone>();
}
void tKvKPosDataNone::WriteToStream(tKvKPosComStreamDest& dest) const {
  dest.WriteByte(kv_wire::IdOf(kv_wire::kNone));
}
std::string tKvKPosDataNone::GetText(bool) const { return std::string(); }
int tKvKPosDataNone::Compare(const tKvKPosData& other) const {
  return SameClass<tKvKPosDataNone>(*this, other) ? KvCompare::kEqual : KvCompare::kUnordered;
}
bool tKvKPosDataNone::IsEmpty(int32_t) const { return false; }

// ---------------------------------------------------------------------------
// Integers

std::string tKvKPosDataIntRoot::GetText(bool) const { return std::to_string(Value); }

int tKvKPosDataIntRoot::Compare(const tKvKPosData& other) const {
  const auto* o = SameClass<tKvKPosDataIntRoot>(*this, other);
  return o ? OrderOf(Value, o->Value) : KvCompare::kUnordered;
}

bool tKvKPosDataIntRoot::IsEmpty(int32_t index) const { return SingleEmpty(index, Value == 0); }

int32_t tKvKPosDataIntRoot::GetAsInteger(int32_t index) const { return index == 1 ? Value : 0; }

void tKvKPosDataIntRoot::ReadValue(uint8_t id, kv_wire::tElementClass cls,
                                   tKvKPosComStreamSource& source) {
  const kv_wire::tWireId& wire = OwnWire(id, cls);
  if (wire.Size == 0) {
    Value = id - kv_wire::FirstIdOf(cls);
  } else {
    // 1 to 4 bytes without sign extension; 4 bytes fill all 32 bits.
    Value = static_cast<int32_t>(source.ReadUnsigned(wire.Size));
  }
}

void tKvKPosDataIntRoot::WriteValue(uint8_t shortBase, uint8_t longBase,
                                    tKvKPosComStreamDest& dest) const {
  if (Value >= 0 && Value <= 16) {
    dest.WriteByte(static_cast<uint8_t>(shortBase + Value));
  } else if (Value >= 17 && Value <= 255) {
    const uint8_t b[2] = {longBase, static_cast<uint8_t>(Value)};
    dest.Write(b, 2);
  } else if (Value >= 256 && Value <= 65535) {
    const uint8_t b[3] = {static_cast<uint8_t>(longBase + 1), static_cast<uint8_t>(Value),
                          static_cast<uint8_t>(Value >> 8)};
    dest.Write(b, 3);
  } else {
    const uint32_t v = static_cast<uint32_t>(Value);
    const uint8_t b[5] = {static_cast<uint8_t>(longBase + 3), static_cast<uint8_t>(v),
                          static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    dest.Write(b, 5);
  }
}

void tKvKPosDataInt::RegisterIDs() { RegisterClass(Ids(kv_wire::kInt), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataInt::CreateFromStream(uint8_t id,
                                                              tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataInt>(id, source);
}
tKvKPosDataInt::tKvKPosDataInt(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosDataIntRoot(KvDataKind::kInt, 0) {
  ReadValue(id, kv_wire::kInt, source);
}
tKvKPosDataInt::tKvKPosDataInt(int32_t value) : tKvKPosDataIntRoot(KvDataKind::kInt, value) {}
std::unique_ptr<tKvKPosData> tKvKPosDataInt::Clone() const {
  return std::make_unique<tKvKPosDataInt>(Value);
}
void tKvKPosDataInt::WriteToStream(tKvKPosComStreamDest& dest) const {
  WriteValue(kv_wire::IdOf(kv_wire::kInt), kv_wire::IdOf(kv_wire::kInt, kv_wire::kFixed, 1), dest);
}

void tKvKPosDataAddRec::RegisterIDs() { RegisterClass(Ids(kv_wire::kAddRec), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataAddRec::CreateFromStream(uint8_t id,
                                                                 tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataAddRec>(id, source);
}
tKvKPosDataAddRec::tKvKPosDataAddRec(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosDataIntRoot(KvDataKind::kAddRec, 0) {
  ReadValue(id, kv_wire::kAddRec, source);
}
tKvKPosDataAddRec::tKvKPosDataAddRec(int32_t value)
    : tKvKPosDataIntRoot(KvDataKind::kAddRec, value) {}
std::unique_ptr<tKvKPosData> tKvKPosDataAddRec::Clone() const {
  return std::make_unique<tKvKPosDataAddRec>(Value);
}
void tKvKPosDataAddRec::WriteToStream(tKvKPosComStreamDest& dest) const {
  WriteValue(kv_wire::IdOf(kv_wire::kAddRec), kv_wire::IdOf(kv_wire::kAddRec, kv_wire::kFixed, 1),
             dest);
}

// ---------------------------------------------------------------------------
// Bcd

void tKvKPosDataBcd::RegisterIDs() { RegisterClass(Ids(kv_wire::kBcd), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataBcd::CreateFromStream(uint8_t id,
                                                              tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataBcd>(id, source);
}

tKvKPosDataBcd::tKvKPosDataBcd(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosData(KvDataKind::kBcd) {
  const kv_wire::tWireId& wire = OwnWire(id, kv_wire::kBcd);
  if (wire.Payload != kv_wire::kDigits) return;  // zero
  // n kept bytes: byte 0, then the n - 1 most significant mantissa bytes.
  const int n = wire.Size;
  uint8_t buffer[10];
  int64_t available = 0;
  const uint8_t* bytes = source.DirectBytes(available);
  if (available >= n) {
    source.SkipDirect(n);  // read in place
  } else {
    source.ReadBytes(buffer, n);
    bytes = buffer;
  }
  Value.Bytes[0] = bytes[0];
  // The mantissa bytes read are checked as they are copied (the ones not
  // read are 0). Checked on the bytes read, not on the value just written:
  // a wide load of bytes stored one by one stalls the processor.
  bool digits = true;
  for (int i = 1; i < n; ++i) {
    digits &= kv_wire::kBcdPair[bytes[i]];
    Value.Bytes[static_cast<size_t>(10 - n + i)] = bytes[i];
  }
  if (!digits) throw EKvKPosComStream(this, "Invalid BCD digit", kCodeForeignId);
}

tKvKPosDataBcd::tKvKPosDataBcd(const tKvBcd& value) : tKvKPosData(KvDataKind::kBcd), Value(value) {}

std::unique_ptr<tKvKPosData> tKvKPosDataBcd::Clone() const {
  return std::make_unique<tKvKPosDataBcd>(Value);
}

void tKvKPosDataBcd::WriteToStream(tKvKPosComStreamDest& dest) const {
  int first = 1;
  while (first <= 9 && Value.Bytes[static_cast<size_t>(first)] == 0) ++first;
  // Zero, or a non-zero exponent without any digit (which is zero as well):
  // the ID alone. Writing byte 0 behind ID 22 would desynchronise the stream.
  if (Value.Exponent() == 0 || first > 9) {
    dest.WriteByte(kv_wire::IdOf(kv_wire::kBcd));
    return;
  }
  uint8_t buffer[11];
  const int kept = 10 - first;  // mantissa bytes first..9
  buffer[0] = static_cast<uint8_t>(kv_wire::IdOf(kv_wire::kBcd, kv_wire::kDigits, 2) - 1 + kept);
  buffer[1] = Value.Bytes[0];
  std::memcpy(buffer + 2, Value.Bytes.data() + first, static_cast<size_t>(kept));
  dest.Write(buffer, kept + 2);
}

std::string tKvKPosDataBcd::GetText(bool compact) const { return tKvBcd::ToText(Value, compact); }

int tKvKPosDataBcd::Compare(const tKvKPosData& other) const {
  const auto* o = SameClass<tKvKPosDataBcd>(*this, other);
  return o ? OrderOfSign(tKvBcd::Compare(Value, o->Value)) : KvCompare::kUnordered;
}

bool tKvKPosDataBcd::IsEmpty(int32_t index) const { return SingleEmpty(index, Value.IsZero()); }

tKvBcd tKvKPosDataBcd::GetAsBcd(int32_t index) const { return index == 1 ? Value : tKvBcd{}; }

// ---------------------------------------------------------------------------
// BcdFix

void tKvKPosDataBcdFix::RegisterIDs() { RegisterClass(Ids(kv_wire::kBcdFix), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataBcdFix::CreateFromStream(uint8_t id,
                                                                 tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataBcdFix>(id, source);
}

tKvKPosDataBcdFix::tKvKPosDataBcdFix(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosData(KvDataKind::kBcdFix) {
  const int n = OwnWire(id, kv_wire::kBcdFix).Size;
  if (n == 0) return;
  source.ReadBytes(Value.Bytes.data() + (10 - n), n);
}

tKvKPosDataBcdFix::tKvKPosDataBcdFix(const tKvBcdFix& value)
    : tKvKPosData(KvDataKind::kBcdFix), Value(value) {}

std::unique_ptr<tKvKPosData> tKvKPosDataBcdFix::Clone() const {
  return std::make_unique<tKvKPosDataBcdFix>(Value);
}

void tKvKPosDataBcdFix::WriteToStream(tKvKPosComStreamDest& dest) const {
  int first = 0;
  while (first < 10 && Value.Bytes[static_cast<size_t>(first)] == 0) ++first;
  const int n = 10 - first;
  uint8_t buffer[11];
  buffer[0] = static_cast<uint8_t>(kv_wire::IdOf(kv_wire::kBcdFix) + n);
  std::memcpy(buffer + 1, Value.Bytes.data() + first, static_cast<size_t>(n));
  dest.Write(buffer, n + 1);
}

std::string tKvKPosDataBcdFix::GetText(bool) const { return Value.Text(); }

int tKvKPosDataBcdFix::Compare(const tKvKPosData& other) const {
  const auto* o = SameClass<tKvKPosDataBcdFix>(*this, other);
  return o ? OrderOfSign(tKvBcdFix::Compare(Value, o->Value)) : KvCompare::kUnordered;
}

bool tKvKPosDataBcdFix::IsEmpty(int32_t index) const { return SingleEmpty(index, Value.IsZero()); }

tKvBcdFix tKvKPosDataBcdFix::GetAsBcdFix(int32_t index) const {
  return index == 1 ? Value : tKvBcdFix{};
}

// ---------------------------------------------------------------------------
// Bitset. Stream byte k (1..n) carries bit group g = n - k + 1 with the
// group's first bit in the byte's most significant bit; in memory group g is
// byte g - 1 with its first bit in the least significant bit. So memory
// byte n - k is stream byte k with its bits mirrored.

namespace {

constexpr uint8_t Mirror(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  b = static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
  return b;
}

}  // namespace

void tKvKPosDataBitset::RegisterIDs() { RegisterClass(Ids(kv_wire::kBitset), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataBitset::CreateFromStream(uint8_t id,
                                                                 tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataBitset>(id, source);
}

tKvKPosDataBitset::tKvKPosDataBitset(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosData(KvDataKind::kBitset) {
  const int n = OwnWire(id, kv_wire::kBitset).Size;
  if (n == 0) return;
  uint8_t buffer[80];
  source.ReadBytes(buffer, n);
  Bits = tKvBitsetMem(8 * n);
  uint8_t* data = Bits.Data();
  for (int k = 0; k < n; ++k) data[n - 1 - k] = Mirror(buffer[k]);
}

tKvKPosDataBitset::tKvKPosDataBitset(tKvBitsetMem bits)
    : tKvKPosData(KvDataKind::kBitset), Bits(std::move(bits)) {}

tKvKPosDataBitset::tKvKPosDataBitset(std::unique_ptr<tKvBitset> bits)
    : tKvKPosData(KvDataKind::kBitset), Bits(bits ? tKvBitsetMem(*bits) : tKvBitsetMem(0)) {}

std::unique_ptr<tKvKPosData> tKvKPosDataBitset::Clone() const {
  return std::make_unique<tKvKPosDataBitset>(Bits);
}

void tKvKPosDataBitset::WriteToStream(tKvKPosComStreamDest& dest) const {
  // The byte count is chosen from the bit count (as the terminal does), so
  // a bitset read from n bytes is written with at least 8 * n bytes.
  const int32_t c = Bits.GetCount();
  int bytes;
  uint8_t id;
  if (c <= 10) {
    bytes = c;
    id = static_cast<uint8_t>(43 + c);
  } else if (c <= 20) {
    bytes = c;
    id = static_cast<uint8_t>(77 + c);
  } else if (c <= 25) {
    bytes = 25, id = 98;
  } else if (c <= 30) {
    bytes = 30, id = 99;
  } else if (c <= 40) {
    bytes = 40, id = 100;
  } else if (c <= 50) {
    bytes = 50, id = 107;
  } else if (c <= 60) {
    bytes = 60, id = 108;
  } else if (c <= 70) {
    bytes = 70, id = 109;
  } else {
    bytes = 80, id = 110;
  }
  uint8_t buffer[81];
  buffer[0] = id;
  const uint8_t* data = Bits.Data();
  const int have = Bits.ByteCount();
  for (int k = 0; k < bytes; ++k) {
    const int m = bytes - 1 - k;  // memory byte of stream byte k
    buffer[1 + k] = m < have ? Mirror(data[m]) : 0;
  }
  dest.Write(buffer, bytes + 1);
}

std::string tKvKPosDataBitset::GetText(bool) const { return Bits.ToHexString(); }

int tKvKPosDataBitset::Compare(const tKvKPosData& other) const {
  const auto* o = SameClass<tKvKPosDataBitset>(*this, other);
  return o && Bits.Equals(&o->Bits) ? KvCompare::kEqual : KvCompare::kUnordered;
}

bool tKvKPosDataBitset::IsEmpty(int32_t index) const { return SingleEmpty(index, Bits.IsEmpty()); }

std::unique_ptr<tKvBitsetMem> tKvKPosDataBitset::GetAsBitset(int32_t index) const {
  return index == 1 ? std::make_unique<tKvBitsetMem>(Bits) : std::make_unique<tKvBitsetMem>(0);
}

// ---------------------------------------------------------------------------
// Byte strings (Binary, Hex)

std::string tKvKPosDataBytes::GetText(bool) const {
  // The two digits of each byte value, copied at once (signatures are
  // hundreds of bytes, one per entry).
  static constexpr auto kPairs = [] {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::array<std::array<char, 2>, 256> pairs{};
    for (size_t b = 0; b < pairs.size(); ++b) pairs[b] = {kHex[b >> 4], kHex[b & 0x0F]};
    return pairs;
  }();
  std::string out(Bytes.size() * 2, '0');
  for (size_t i = 0; i < Bytes.size(); ++i) {
    std::memcpy(&out[2 * i], kPairs[static_cast<uint8_t>(Bytes[i])].data(), 2);
  }
  return out;
}

int tKvKPosDataBytes::Compare(const tKvKPosData& other) const {
  const auto* o = SameClass<tKvKPosDataBytes>(*this, other);
  return o && Bytes == o->Bytes ? KvCompare::kEqual : KvCompare::kUnordered;
}

bool tKvKPosDataBytes::IsEmpty(int32_t index) const { return SingleEmpty(index, Bytes.empty()); }

void tKvKPosDataBytes::ReadBytesOfLength(int32_t length, tKvKPosComStreamSource& source) {
  Bytes.resize(static_cast<size_t>(length));
  if (length > 0) source.ReadBytes(Bytes.data(), length);
}

void tKvKPosDataBinary::RegisterIDs() { RegisterClass(Ids(kv_wire::kBinary), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataBinary::CreateFromStream(uint8_t id,
                                                                 tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataBinary>(id, source);
}
tKvKPosDataBinary::tKvKPosDataBinary(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosDataBytes(KvDataKind::kBinary, std::string()) {
  const kv_wire::tPayload payload = OwnWire(id, kv_wire::kBinary).Payload;
  if (payload == kv_wire::kLength8) {
    ReadBytesOfLength(source.ReadByte(), source);
  } else if (payload == kv_wire::kLength16) {
    ReadBytesOfLength(source.ReadWord(), source);
  }
}
tKvKPosDataBinary::tKvKPosDataBinary(std::string bytes)
    : tKvKPosDataBytes(KvDataKind::kBinary, std::move(bytes)) {}
tKvKPosDataBinary::tKvKPosDataBinary(const void* buffer, int32_t length)
    : tKvKPosDataBytes(KvDataKind::kBinary, length > 0 && buffer != nullptr
                                                ? std::string(static_cast<const char*>(buffer),
                                                              static_cast<size_t>(length))
                                                : std::string()) {}
std::unique_ptr<tKvKPosData> tKvKPosDataBinary::Clone() const {
  return std::make_unique<tKvKPosDataBinary>(Bytes);
}
void tKvKPosDataBinary::WriteToStream(tKvKPosComStreamDest& dest) const {
  const size_t n = Bytes.size();
  if (n > 65535) throw EKvKPosComStream(this, "", kCodeTooLong);
  if (n == 0) {
    dest.WriteByte(kv_wire::IdOf(kv_wire::kBinary));
  } else if (n <= 255) {
    dest.WriteByte(kv_wire::IdOf(kv_wire::kBinary, kv_wire::kLength8));
    dest.WriteByte(static_cast<uint8_t>(n));
  } else {
    dest.WriteByte(kv_wire::IdOf(kv_wire::kBinary, kv_wire::kLength16));
    dest.WriteWord(static_cast<uint16_t>(n));
  }
  dest.WriteBytes(Bytes.data(), static_cast<int32_t>(n));
}
std::string tKvKPosDataBinary::GetAsBinary(int32_t index) const {
  return index == 1 ? Bytes : std::string();
}

void tKvKPosDataHex::RegisterIDs() { RegisterClass(Ids(kv_wire::kHex), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataHex::CreateFromStream(uint8_t id,
                                                              tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataHex>(id, source);
}
tKvKPosDataHex::tKvKPosDataHex(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosDataBytes(KvDataKind::kHex, std::string()) {
  if (OwnWire(id, kv_wire::kHex).Payload == kv_wire::kLength8) {
    ReadBytesOfLength(source.ReadByte(), source);
  }
}
tKvKPosDataHex::tKvKPosDataHex(std::string bytes)
    : tKvKPosDataBytes(KvDataKind::kHex, std::move(bytes)) {}
tKvKPosDataHex::tKvKPosDataHex(const void* buffer, int32_t length)
    : tKvKPosDataBytes(KvDataKind::kHex, length > 0 && buffer != nullptr
                                             ? std::string(static_cast<const char*>(buffer),
                                                           static_cast<size_t>(length))
                                             : std::string()) {}
std::unique_ptr<tKvKPosData> tKvKPosDataHex::Clone() const {
  return std::make_unique<tKvKPosDataHex>(Bytes);
}
void tKvKPosDataHex::WriteToStream(tKvKPosComStreamDest& dest) const {
  const size_t n = Bytes.size();
  if (n > 255) throw EKvKPosComStream(this, "", kCodeTooLong);
  if (n == 0) {
    dest.WriteByte(kv_wire::IdOf(kv_wire::kHex));
    return;
  }
  const uint8_t head[2] = {kv_wire::IdOf(kv_wire::kHex, kv_wire::kLength8),
                           static_cast<uint8_t>(n)};
  dest.Write(head, 2);
  dest.WriteBytes(Bytes.data(), static_cast<int32_t>(n));
}
std::string tKvKPosDataHex::GetAsHex(int32_t index) const {
  return index == 1 ? Bytes : std::string();
}

// ---------------------------------------------------------------------------
// Texts

namespace {

// The control bytes that have a caret sequence: 1, 2, 3, 4 and 11.
constexpr uint32_t kCaretBytes = (1u << 1) | (1u << 2) | (1u << 3) | (1u << 4) | (1u << 11);

inline bool HasCaret(uint8_t b) { return b < 32 && ((kCaretBytes >> b) & 1u) != 0; }

// Caret sequence of a control byte, nullptr for other bytes.
inline const char* CaretOf(uint8_t b) {
  switch (b) {
    case 1:
      return "^L";
    case 2:
      return "^C";
    case 3:
      return "^R";
    case 4:
      return "^-";
    case 11:
      return "^|";
    default:
      return nullptr;
  }
}

}  // namespace

std::string tKvKPosDataStr::DecodeControlCodes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    if (const char* caret = CaretOf(static_cast<uint8_t>(c))) {
      out.append(caret, 2);
    } else {
      out += c;
    }
  }
  return out;
}

std::string tKvKPosDataStr::EncodeControlCodes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\0') break;
    if (c == '\n') continue;
    if (c == '\r') {
      out += '\x01';
      continue;
    }
    if (c != '^') {
      out += c;
      continue;
    }
    if (i + 1 >= text.size()) break;  // a caret at the very end is dropped
    const char next = text[++i];
    switch (next) {
      case 'L':
      case 'l':
        out += '\x01';
        break;
      case 'C':
      case 'c':
        out += '\x02';
        break;
      case 'R':
      case 'r':
        out += '\x03';
        break;
      case '-':
        out += '\x04';
        break;
      case '|':
        out += '\x0B';
        break;
      case '^':
        out += '^';
        break;
      default:
        // Kept together with the following character; a byte 0 there still
        // ends the text.
        out += '^';
        if (next == '\0') return out;
        out += next;
        break;
    }
  }
  return out;
}

void tKvKPosDataStr::RegisterIDs() { RegisterClass(Ids(kv_wire::kStr), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataStr::CreateFromStream(uint8_t id,
                                                              tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataStr>(id, source);
}

void tKvKPosDataStr::ReadRaw(int32_t lengthBytes, tKvKPosComStreamSource& source) {
  if (lengthBytes == 0) return;
  const int32_t length = lengthBytes == 1 ? source.ReadByte() : source.ReadWord();
  if (length == 0) return;
  int64_t available = 0;
  if (const uint8_t* bytes = source.DirectBytes(available); available >= length) {
    // Built anew rather than assigned: much cheaper for the short texts.
    Text = std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
    source.SkipDirect(length);
    return;
  }
  Text.resize(static_cast<size_t>(length));
  source.ReadBytes(Text.data(), length);
}

namespace {

// Whether text may hold a control byte (any byte below 32), eight bytes at
// a time; the bytes found are then looked at one by one.
bool MayHoldControlBytes(std::string_view text) {
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t x;
    std::memcpy(&x, text.data() + i, sizeof x);
    if (((x - 0x2020202020202020ULL) & ~x & 0x8080808080808080ULL) != 0) return true;
  }
  for (; i < text.size(); ++i) {
    if (static_cast<uint8_t>(text[i]) < 32) return true;
  }
  return false;
}

}  // namespace

tKvKPosDataStr::tKvKPosDataStr(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosData(KvDataKind::kStr) {
  ReadRaw(LengthBytes(OwnWire(id, kv_wire::kStr).Payload), source);
  // Most texts carry no control byte: keep the buffer then.
  if (!MayHoldControlBytes(Text)) return;
  for (char c : Text) {
    if (HasCaret(static_cast<uint8_t>(c))) {
      Text = DecodeControlCodes(Text);
      break;
    }
  }
}

tKvKPosDataStr::tKvKPosDataStr(std::string_view text)
    : tKvKPosData(KvDataKind::kStr), Text(text) {}

std::unique_ptr<tKvKPosData> tKvKPosDataStr::Clone() const {
  return std::unique_ptr<tKvKPosData>(new tKvKPosDataStr(KvDataKind::kStr, *this));
}

void tKvKPosDataStr::WriteRaw(std::string_view bytes, uint8_t emptyId,
                              tKvKPosComStreamDest& dest) const {
  const size_t n = bytes.size();
  if (n > 65535) throw EKvKPosComStream(this, "", kCodeTooLong);
  if (n == 0) {
    dest.WriteByte(emptyId);
    return;
  }
  if (n <= 255) {
    const uint8_t head[2] = {static_cast<uint8_t>(emptyId + 1), static_cast<uint8_t>(n)};
    dest.Write(head, 2);
  } else {
    const uint8_t head[3] = {static_cast<uint8_t>(emptyId + 2), static_cast<uint8_t>(n),
                             static_cast<uint8_t>(n >> 8)};
    dest.Write(head, 3);
  }
  dest.WriteBytes(bytes.data(), static_cast<int32_t>(n));
}

void tKvKPosDataStr::WriteToStream(tKvKPosComStreamDest& dest) const {
  WriteRaw(EncodeControlCodes(Text), kv_wire::IdOf(kv_wire::kStr), dest);
}

std::string tKvKPosDataStr::GetText(bool) const { return Text; }

int tKvKPosDataStr::Compare(const tKvKPosData& other) const {
  const auto* o = SameClass<tKvKPosDataStr>(*this, other);
  if (!o) return KvCompare::kUnordered;
  const size_t n = std::min(Text.size(), o->Text.size());
  int c = n == 0 ? 0 : std::memcmp(Text.data(), o->Text.data(), n);
  if (c == 0) c = Text.size() < o->Text.size() ? -1 : (Text.size() > o->Text.size() ? 1 : 0);
  return OrderOfSign(c);
}

bool tKvKPosDataStr::IsEmpty(int32_t index) const { return SingleEmpty(index, Text.empty()); }

std::string tKvKPosDataStr::GetAsString(int32_t index) const {
  return index == 1 ? Text : std::string();
}

bool tKvKPosDataStr::GetAsStringView(int32_t index, std::string_view& text) const {
  text = index == 1 ? std::string_view(Text) : std::string_view();
  return true;
}

void tKvKPosDataStrAI::RegisterIDs() { RegisterClass(Ids(kv_wire::kStrAI), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataStrAI::CreateFromStream(uint8_t id,
                                                                tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataStrAI>(id, source);
}
tKvKPosDataStrAI::tKvKPosDataStrAI(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosDataStr(KvDataKind::kStrAI, std::string()) {
  ReadRaw(LengthBytes(OwnWire(id, kv_wire::kStrAI).Payload), source);
}
tKvKPosDataStrAI::tKvKPosDataStrAI(std::string text)
    : tKvKPosDataStr(KvDataKind::kStrAI, std::move(text)) {}
std::unique_ptr<tKvKPosData> tKvKPosDataStrAI::Clone() const {
  return std::make_unique<tKvKPosDataStrAI>(Text);
}
void tKvKPosDataStrAI::WriteToStream(tKvKPosComStreamDest& dest) const {
  WriteRaw(Text, kv_wire::IdOf(kv_wire::kStrAI), dest);
}
int tKvKPosDataStrAI::Compare(const tKvKPosData& other) const {
  const auto* o = SameClass<tKvKPosDataStrAI>(*this, other);
  if (!o) return KvCompare::kUnordered;
  if (Text.size() != o->Text.size()) {
    return Text.size() < o->Text.size() ? KvCompare::kLess : KvCompare::kGreater;
  }
  return OrderOfSign(Text.empty() ? 0 : std::memcmp(Text.data(), o->Text.data(), Text.size()));
}

// ---------------------------------------------------------------------------
// Touch

void tKvKPosDataTouch::RegisterIDs() { RegisterClass(Ids(kv_wire::kTouch), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataTouch::CreateFromStream(uint8_t id,
                                                                tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataTouch>(id, source);
}
tKvKPosDataTouch::tKvKPosDataTouch(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosData(KvDataKind::kTouch), Value{} {
  const int n = OwnWire(id, kv_wire::kTouch).Size;
  uint8_t buffer[7];
  source.ReadBytes(buffer, n);
  for (int k = 0; k < n; ++k) Value[static_cast<size_t>(n - 1 - k)] = buffer[k];
}
tKvKPosDataTouch::tKvKPosDataTouch(const tKvTouch& value)
    : tKvKPosData(KvDataKind::kTouch), Value(value) {}
std::unique_ptr<tKvKPosData> tKvKPosDataTouch::Clone() const {
  return std::make_unique<tKvKPosDataTouch>(Value);
}
void tKvKPosDataTouch::WriteToStream(tKvKPosComStreamDest& dest) const {
  uint8_t buffer[8];
  buffer[0] = kv_wire::IdOf(kv_wire::kTouch, kv_wire::kFixed, 7);
  for (int k = 0; k < 7; ++k) buffer[1 + k] = Value[static_cast<size_t>(6 - k)];
  dest.Write(buffer, 8);
}
std::string tKvKPosDataTouch::GetText(bool) const { return "(touch)"; }
int tKvKPosDataTouch::Compare(const tKvKPosData& other) const {
  const auto* o = SameClass<tKvKPosDataTouch>(*this, other);
  return o && Value == o->Value ? KvCompare::kEqual : KvCompare::kUnordered;
}
bool tKvKPosDataTouch::IsEmpty(int32_t index) const {
  return SingleEmpty(index, Value == tKvTouch{});
}
tKvTouch tKvKPosDataTouch::GetAsTouch(int32_t index) const {
  return index == 1 ? Value : tKvTouch{};
}

// ---------------------------------------------------------------------------
// Time

void tKvKPosDataTime::RegisterIDs() { RegisterClass(Ids(kv_wire::kTime), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataTime::CreateFromStream(uint8_t id,
                                                               tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataTime>(id, source);
}
tKvKPosDataTime::tKvKPosDataTime(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosData(KvDataKind::kTime), Raw(0) {
  if (OwnWire(id, kv_wire::kTime).Size == 0) return;
  Raw = source.ReadLongint();
}
tKvKPosDataTime::tKvKPosDataTime(int32_t raw) : tKvKPosData(KvDataKind::kTime), Raw(raw) {}
tKvKPosDataTime::tKvKPosDataTime(tKvDateTime value)
    : tKvKPosData(KvDataKind::kTime), Raw(DateTimeToRaw(value)) {}

tKvDateTime tKvKPosDataTime::RawToDateTime(int32_t raw) {
  if (raw < tKvDateTime::kSecondsPerDay) return tKvDateTime(raw);
  if (raw <= tKvDateTime::kUnixOffset) return tKvDateTime();
  return tKvDateTime(static_cast<int64_t>(raw) - tKvDateTime::kUnixOffset);
}

int32_t tKvKPosDataTime::DateTimeToRaw(tKvDateTime value) {
  const int64_t r = value.HasDate() ? value.Value + tKvDateTime::kUnixOffset : value.Value;
  // Truncated to 32 bits, as the terminal stores it.
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r)));
}

std::unique_ptr<tKvKPosData> tKvKPosDataTime::Clone() const {
  return std::make_unique<tKvKPosDataTime>(Raw);
}
void tKvKPosDataTime::WriteToStream(tKvKPosComStreamDest& dest) const {
  if (Raw == 0) {
    dest.WriteByte(kv_wire::IdOf(kv_wire::kTime));
    return;
  }
  dest.WriteByte(kv_wire::IdOf(kv_wire::kTime, kv_wire::kFixed, 4));
  dest.WriteLongint(Raw);
}
std::string tKvKPosDataTime::GetText(bool compact) const {
  return RawToDateTime(Raw).DateTimeText(compact);
}
int tKvKPosDataTime::Compare(const tKvKPosData& other) const {
  const auto* o = SameClass<tKvKPosDataTime>(*this, other);
  return o ? OrderOf(Raw, o->Raw) : KvCompare::kUnordered;
}
bool tKvKPosDataTime::IsEmpty(int32_t index) const { return SingleEmpty(index, Raw == 0); }
tKvDateTime tKvKPosDataTime::GetAsDateTime(int32_t index) const {
  return index == 1 ? RawToDateTime(Raw) : tKvDateTime();
}
int64_t tKvKPosDataTime::GetAsSeconds(int32_t index) const {
  return index == 1 ? static_cast<int64_t>(static_cast<uint32_t>(Raw)) : 0;
}

// ---------------------------------------------------------------------------
// Date

void tKvKPosDataDate::RegisterIDs() { RegisterClass(Ids(kv_wire::kDate), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataDate::CreateFromStream(uint8_t id,
                                                               tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataDate>(id, source);
}
tKvKPosDataDate::tKvKPosDataDate(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosData(KvDataKind::kDate) {
  if (OwnWire(id, kv_wire::kDate).Payload != kv_wire::kDayMonthYear) return;
  uint8_t b[4];
  source.ReadBytes(b, 4);
  const int d = b[0];
  const int m = b[1];
  const int y = b[2] | (b[3] << 8);
  if (d == 0 || m == 0) return;
  if (!tKvDateTime::TryEncode(y, m, d, 0, 0, 0, Value)) {
    throw EKvKPosComStream(
        this,
        "Invalid date " + std::to_string(d) + "." + std::to_string(m) + "." + std::to_string(y),
        kCodeForeignId);
  }
}
tKvKPosDataDate::tKvKPosDataDate(tKvDateTime value)
    : tKvKPosData(KvDataKind::kDate), Value(value.DatePart()) {}
std::unique_ptr<tKvKPosData> tKvKPosDataDate::Clone() const {
  return std::make_unique<tKvKPosDataDate>(Value);
}
void tKvKPosDataDate::WriteToStream(tKvKPosComStreamDest& dest) const {
  int y = 0, m = 0, d = 0;
  Value.DecodeDate(y, m, d);
  const uint8_t b[5] = {112, static_cast<uint8_t>(d), static_cast<uint8_t>(m),
                        static_cast<uint8_t>(y), static_cast<uint8_t>(y >> 8)};
  dest.Write(b, 5);
}
std::string tKvKPosDataDate::GetText(bool compact) const { return Value.DateText(compact); }
int tKvKPosDataDate::Compare(const tKvKPosData& other) const {
  const auto* o = SameClass<tKvKPosDataDate>(*this, other);
  return o ? OrderOf(Value, o->Value) : KvCompare::kUnordered;
}
bool tKvKPosDataDate::IsEmpty(int32_t index) const { return SingleEmpty(index, !Value.HasDate()); }
tKvDateTime tKvKPosDataDate::GetAsDate(int32_t index) const {
  return index == 1 ? Value : tKvDateTime();
}

// ---------------------------------------------------------------------------
// Multi

namespace {

// Multi elements being read right now (reading nests through CreateElement).
thread_local int g_multiReadDepth = 0;

struct MultiDepthGuard {
  MultiDepthGuard() { ++g_multiReadDepth; }
  ~MultiDepthGuard() { --g_multiReadDepth; }
  MultiDepthGuard(const MultiDepthGuard&) = delete;
  MultiDepthGuard& operator=(const MultiDepthGuard&) = delete;
};

const tKvKPosDataMulti* AsMulti(const tKvKPosData& d) {
  return d.GetDataKind() == KvDataKind::kMulti ? static_cast<const tKvKPosDataMulti*>(&d) : nullptr;
}

}  // namespace

void tKvKPosDataMulti::RegisterIDs() { RegisterClass(Ids(kv_wire::kMulti), &CreateFromStream); }
std::unique_ptr<tKvKPosData> tKvKPosDataMulti::CreateFromStream(uint8_t id,
                                                                tKvKPosComStreamSource& source) {
  return Make<tKvKPosDataMulti>(id, source);
}

tKvKPosDataMulti::tKvKPosDataMulti(uint8_t id, tKvKPosComStreamSource& source)
    : tKvKPosData(KvDataKind::kMulti) {
  OwnWire(id, kv_wire::kMulti);
  MultiDepthGuard guard;
  if (g_multiReadDepth > kKvKPosMaxMultiDepth) {
    throw EKvKPosComStream(this, "Multi nested deeper than " + std::to_string(kKvKPosMaxMultiDepth),
                           kCodeForeignId);
  }
  auto first = ReadElement(source);
  auto rest = ReadElement(source);
  SetParts(std::move(first), std::move(rest));
}

tKvKPosDataMulti::tKvKPosDataMulti(std::unique_ptr<tKvKPosData> first,
                                   std::unique_ptr<tKvKPosData> rest)
    : tKvKPosData(KvDataKind::kMulti) {
  SetParts(std::move(first), std::move(rest));
}

// Releasing the rest chain recurses once per link; SetParts bounds the
// chain to kKvKPosMaxMultiDepth links.
tKvKPosDataMulti::~tKvKPosDataMulti() = default;

void tKvKPosDataMulti::SetParts(std::unique_ptr<tKvKPosData> first,
                                std::unique_ptr<tKvKPosData> rest) {
  if (!first || !rest || AsMulti(*first) != nullptr) throw EKvParam(this, "invalid items");
  const auto* restMulti = AsMulti(*rest);
  const int32_t depth = restMulti ? restMulti->DepthCount + 1 : 1;
  if (depth > kKvKPosMaxMultiDepth) {
    throw EKvParam(this,
                   "invalid items: nested deeper than " + std::to_string(kKvKPosMaxMultiDepth));
  }
  FirstItem = std::move(first);
  RestItem = std::move(rest);
  DepthCount = depth;
}

const tKvKPosData* tKvKPosDataMulti::Locate(int32_t index, int32_t& local) const {
  if (index < 1) return nullptr;
  const tKvKPosDataMulti* node = this;
  for (;;) {
    if (index == 1) {
      local = 1;
      return node->FirstItem.get();
    }
    --index;
    const tKvKPosDataMulti* next = AsMulti(*node->RestItem);
    if (next == nullptr) {
      local = index;
      return node->RestItem.get();
    }
    node = next;
  }
}

std::unique_ptr<tKvKPosData> tKvKPosDataMulti::Clone() const {
  return std::make_unique<tKvKPosDataMulti>(FirstItem->Clone(), RestItem->Clone());
}

// Of the three Multi IDs, pairs are written with the last (as the terminal
// writes them).
constexpr uint8_t kMultiWriteId = 103;
static_assert(kv_wire::WireOf(kMultiWriteId).Class == kv_wire::kMulti);

void tKvKPosDataMulti::WriteToStream(tKvKPosComStreamDest& dest) const {
  const tKvKPosData* node = this;
  while (const tKvKPosDataMulti* m = AsMulti(*node)) {
    dest.WriteByte(kMultiWriteId);
    m->FirstItem->WriteToStream(dest);
    node = m->RestItem.get();
  }
  node->WriteToStream(dest);
}

std::string tKvKPosDataMulti::GetText(bool compact) const {
  std::string out;
  const tKvKPosData* node = this;
  while (const tKvKPosDataMulti* m = AsMulti(*node)) {
    out += m->FirstItem->GetText(compact);
    out += '/';
    node = m->RestItem.get();
  }
  out += node->GetText(compact);
  return out;
}

int tKvKPosDataMulti::Compare(const tKvKPosData& other) const {
  const tKvKPosData* a = this;
  const tKvKPosData* b = &other;
  for (;;) {
    const tKvKPosDataMulti* ma = AsMulti(*a);
    const tKvKPosDataMulti* mb = AsMulti(*b);
    if (ma == nullptr) return a->Compare(*b);
    if (mb == nullptr) return KvCompare::kUnordered;
    const int c = ma->FirstItem->Compare(*mb->FirstItem);
    if (c != KvCompare::kEqual) return c;
    a = ma->RestItem.get();
    b = mb->RestItem.get();
  }
}

int32_t tKvKPosDataMulti::GetItemCount() const {
  int32_t count = 1;
  const tKvKPosData* node = RestItem.get();
  while (const tKvKPosDataMulti* m = AsMulti(*node)) {
    ++count;
    node = m->RestItem.get();
  }
  return count + node->GetItemCount();
}

const tKvKPosData& tKvKPosDataMulti::GetItem(int32_t index) const {
  int32_t local = 0;
  const tKvKPosData* item = Locate(index, local);
  if (item == nullptr || local != 1) {
    throw EKvParam(this, "Invalid item index: " + std::to_string(index));
  }
  return *item;
}

uint8_t tKvKPosDataMulti::GetItemKind(int32_t index) const {
  int32_t local = 0;
  const tKvKPosData* item = Locate(index, local);
  return item ? item->GetItemKind(local) : 0;
}

bool tKvKPosDataMulti::IsEmpty(int32_t index) const {
  if (index == 0) return FirstItem->IsEmpty(0) && RestItem->IsEmpty(0);
  int32_t local = 0;
  const tKvKPosData* item = Locate(index, local);
  return item ? item->IsEmpty(local) : true;
}

#define KV_MULTI_DELEGATE(Type, Name, Neutral)       \
  Type tKvKPosDataMulti::Name(int32_t index) const { \
    int32_t local = 0;                               \
    const tKvKPosData* item = Locate(index, local);  \
    return item ? item->Name(local) : Neutral;       \
  }

KV_MULTI_DELEGATE(int32_t, GetAsInteger, 0)
KV_MULTI_DELEGATE(tKvBcd, GetAsBcd, tKvBcd{})
KV_MULTI_DELEGATE(tKvBcdFix, GetAsBcdFix, tKvBcdFix{})
KV_MULTI_DELEGATE(std::unique_ptr<tKvBitsetMem>, GetAsBitset, std::make_unique<tKvBitsetMem>(0))
KV_MULTI_DELEGATE(std::string, GetAsString, std::string())
KV_MULTI_DELEGATE(tKvTouch, GetAsTouch, tKvTouch{})
KV_MULTI_DELEGATE(tKvDateTime, GetAsDateTime, tKvDateTime())
KV_MULTI_DELEGATE(int64_t, GetAsSeconds, 0)
KV_MULTI_DELEGATE(tKvDateTime, GetAsDate, tKvDateTime())
KV_MULTI_DELEGATE(std::string, GetAsBinary, std::string())
// Delegated like every other accessor, so a Hex item of a tuple is
// reachable.
KV_MULTI_DELEGATE(std::string, GetAsHex, std::string())

#undef KV_MULTI_DELEGATE

bool tKvKPosDataMulti::GetAsStringView(int32_t index, std::string_view& text) const {
  int32_t local = 0;
  const tKvKPosData* item = Locate(index, local);
  if (item == nullptr) {
    text = {};
    return true;
  }
  return item->GetAsStringView(local, text);
}

// ---------------------------------------------------------------------------
// Registry

constinit bool kv_kpos_detail::g_registryCustomised = false;

namespace {

// The factory of every ID; filled once, on first use, in the fixed class
// order (see Factories). Parsers on several threads may make the first use
// at the same time: the filling runs once, and the others wait for it.
constinit tKvKPosDataFactory g_factories[kKvKPosIdCount] = {};
// Set on the thread that fills, while it does.
constinit thread_local bool t_registryFilling = false;

void FillRegistry() {
  t_registryFilling = true;
  tKvKPosDataNone::RegisterIDs();
  tKvKPosDataInt::RegisterIDs();
  tKvKPosDataAddRec::RegisterIDs();
  tKvKPosDataBcd::RegisterIDs();
  tKvKPosDataBcdFix::RegisterIDs();
  tKvKPosDataBitset::RegisterIDs();
  tKvKPosDataBinary::RegisterIDs();
  tKvKPosDataHex::RegisterIDs();
  tKvKPosDataStr::RegisterIDs();
  tKvKPosDataStrAI::RegisterIDs();
  tKvKPosDataTouch::RegisterIDs();
  tKvKPosDataTime::RegisterIDs();
  tKvKPosDataDate::RegisterIDs();
  tKvKPosDataMulti::RegisterIDs();
  t_registryFilling = false;
}

// Fills the registry the first time (also when several threads get here at
// once: the others wait for the first).
[[gnu::noinline]] void FillRegistryOnce() {
  static const bool filled = (FillRegistry(), true);
  (void)filled;
}
std::atomic<bool> g_registryReady{false};

// The registry, filled.
const tKvKPosDataFactory* Factories() {
  if (!g_registryReady.load(std::memory_order_acquire)) [[unlikely]] {
    FillRegistryOnce();
    g_registryReady.store(true, std::memory_order_release);
  }
  return g_factories;
}

}  // namespace

void RegisterClass(const tKvKPosIdSet& ids, tKvKPosDataFactory factory) {
  // A registration before the first use comes after the built-in classes,
  // so that it replaces theirs. Own classes are registered before any
  // parsing starts.
  if (!t_registryFilling) {
    Factories();
    kv_kpos_detail::g_registryCustomised = true;
  }
  for (size_t id = 0; id < ids.size(); ++id) {
    if (ids.test(id)) g_factories[id] = factory;
  }
}

std::unique_ptr<tKvKPosData> CreateElement(int32_t id, tKvKPosComStreamSource& source) {
  const tKvKPosDataFactory* factories = Factories();
  if (static_cast<uint32_t>(id) >= static_cast<uint32_t>(kKvKPosIdCount) ||
      factories[id] == nullptr) [[unlikely]] {
    throw EKvKPosComStream(&source, "Unknown ComStreamID " + std::to_string(id), kCodeUnknownId);
  }
  return factories[id](static_cast<uint8_t>(id), source);
}

void RaiseUnknownId(const tKvKPosComStreamSource& source, uint8_t id) {
  throw EKvKPosComStream(&source, "Unkown ComStreamID " + std::to_string(id), kCodeUnknownId);
}

// ---------------------------------------------------------------------------
// Skipping an element in place

namespace {

// Size of the element at p (ID and payload) when it is not a Multi, lies
// within the n bytes and would be read without failure; -1 otherwise.
int64_t PlainElementSize(const uint8_t* p, int64_t n) {
  const kv_wire::tWireId& wire = kv_wire::WireOf(p[0]);
  int64_t size;
  switch (wire.Payload) {
    case kv_wire::kFixed:
      size = 1 + int64_t{wire.Size};
      break;
    case kv_wire::kLength8:
      if (n < 2) return -1;
      size = 2 + int64_t{p[1]};
      break;
    case kv_wire::kLength16:
      if (n < 3) return -1;
      size = 3 + (int64_t{p[1]} | int64_t{p[2]} << 8);
      break;
    case kv_wire::kDigits:
      size = kv_wire::BcdElementSizeAt(p, n);
      if (size == 0) return -1;
      break;
    case kv_wire::kDayMonthYear: {
      size = 1 + int64_t{wire.Size};
      if (size > n) return -1;
      const int d = p[1];
      const int m = p[2];
      const int y = p[3] | (p[4] << 8);
      tKvDateTime date;
      if (d != 0 && m != 0 && !tKvDateTime::TryEncode(y, m, d, 0, 0, 0, date)) return -1;
      break;
    }
    default:  // no element, or a Multi
      return -1;
  }
  return size <= n ? size : -1;
}

}  // namespace

int64_t kv_kpos_detail::RegularElementSize(const uint8_t* p, int64_t n) {
  int64_t at = 0;
  int links = 0;
  // A Multi chain: first items are plain, the rest continues the chain.
  while (at < n && kv_wire::WireOf(p[at]).Payload == kv_wire::kPair) {
    if (++links > kKvKPosMaxMultiDepth) return -1;
    ++at;
    if (at >= n) return -1;
    const int64_t first = PlainElementSize(p + at, n - at);
    if (first < 0) return -1;
    at += first;
  }
  if (at >= n) return -1;
  const int64_t last = PlainElementSize(p + at, n - at);
  return last < 0 ? -1 : at + last;
}

void kv_kpos_detail::SkipElementChecked(tKvKPosComStreamSource& source) {
  int64_t available = 0;
  const uint8_t* bytes = source.DirectBytes(available);
  if (bytes != nullptr && !g_registryCustomised) {
    if (const int64_t size = RegularElementSize(bytes, available); size > 0) [[likely]] {
      source.SkipDirect(size);
      return;
    }
  }
  // Irregular, or not in memory: the element reads (and fails) as usual.
  ReadElement(source);
}
