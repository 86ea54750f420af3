// Journal data elements: the typed values of the binary journal (family
// tKvKPosData, 14 classes), the byte source and destination they are read
// from and written to, and the process-wide registry that turns an element
// ID byte into an element. Elements are immutable and owned by whoever
// receives them (std::unique_ptr); a Multi owns both parts. The registry is
// filled once on first use and read-only afterwards. Malformed bytes raise
// EKvKPosComStream; a source that runs out of data raises its own exception.
//
// Wire grammar: element := ID byte (0..181), payload fixed by the ID;
// multi-byte integers little-endian; lengths count bytes. The table of every
// ID is KvKPosWireFormat.h.
#pragma once

#include <array>
#include <bitset>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "base/KvErrors.h"
#include "stream/KvBcd.h"
#include "stream/KvKPosWireFormat.h"
#include "stream/KvTypes.h"

// ---------------------------------------------------------------------------
// Exception of the communication stream layer and its elements.
// Message: "KPosComStream error #<code>" and, when text is not empty,
// " - <text>"; EKvRoot adds "[<class of object>] " in front.
// Codes: 1 unknown ID, 2 foreign or refused ID, 3 value too long to write,
// 5 "EOD" expected, 7 header version mismatch, 9 unsupported source call.
class EKvKPosComStream : public EKvRoot {
 public:
  EKvKPosComStream(const tKvClass* object, const std::string& text, int8_t code);
  int8_t Code() const { return code_; }

 private:
  int8_t code_;
};

// ---------------------------------------------------------------------------
// The ID space of the registry: 0..181. Framing IDs 116..178 belong to the
// communication stream and are never handed to the registry.
inline constexpr int kKvKPosIdCount = kv_wire::kIdCount;
inline constexpr uint8_t kKvKPosMaxId = 181;

// Data kinds, fixed by the element class (11, 13 and 15 are unused).
namespace KvDataKind {
inline constexpr uint8_t kNone = 0;
inline constexpr uint8_t kMulti = 1;
inline constexpr uint8_t kInt = 2;
inline constexpr uint8_t kAddRec = 3;
inline constexpr uint8_t kBcd = 4;
inline constexpr uint8_t kBcdFix = 5;
inline constexpr uint8_t kBitset = 6;
inline constexpr uint8_t kStr = 7;
inline constexpr uint8_t kTouch = 8;
inline constexpr uint8_t kTime = 9;
inline constexpr uint8_t kDate = 10;
inline constexpr uint8_t kStrAI = 12;
inline constexpr uint8_t kBinary = 14;
inline constexpr uint8_t kHex = 16;
}  // namespace KvDataKind

// Results of tKvKPosData::Compare.
namespace KvCompare {
inline constexpr int kUnordered = 0;  //!< different classes, or no order
inline constexpr int kLess = 1;
inline constexpr int kEqual = 2;
inline constexpr int kGreater = 3;
}  // namespace KvCompare

// Deepest nesting of Multi elements accepted (first-item and rest chains
// counted together). A 20-item file header needs 19.
inline constexpr int kKvKPosMaxMultiDepth = 64;

// A touch key: 7 bytes, index 0 least significant.
using tKvTouch = std::array<uint8_t, 7>;

// ---------------------------------------------------------------------------
// Read context handed to every source read. The default is (-2, -1); the
// stepwise parse of a byte range passes Stepwise() = (0, 0). Sources of this
// system ignore it.
struct tKvKPosReadContext {
  int32_t First = -2;
  int32_t Second = -1;
  static constexpr tKvKPosReadContext Stepwise() { return {0, 0}; }
};

// Bytes in memory with a read position, kept by their owner (the memory
// stream file) and shared with the sources that read them: Data holds Size
// bytes and is valid until the owner changes them. Position may lie beyond
// Size. Intentionally copyable.
struct tKvKPosMemCursor {
  const uint8_t* Data = nullptr;
  int64_t Size = 0;
  int64_t Position = 0;
};

// Byte source of the communication stream and its elements.
// Reading is per element and must not cost a virtual call per byte: a
// source whose bytes lie in memory exposes them as a tKvKPosMemCursor
// (SetDirect), and the primitives below then take the bytes straight from it
// with one bounds check. Whenever the bytes wanted are not all there they
// call Read, which delivers them or raises exactly as without the cursor.
// Not copyable.
class tKvKPosComStreamSource : public tKvClass {
 public:
  tKvKPosComStreamSource() = default;
  tKvKPosComStreamSource(const tKvKPosComStreamSource&) = delete;
  tKvKPosComStreamSource& operator=(const tKvKPosComStreamSource&) = delete;
  ~tKvKPosComStreamSource() override;

  // Slot 0: a hook without effect in the base.
  virtual void Prepare();
  // Slot 1: delivers exactly count bytes into buffer, or raises (the
  // source's own exception of the EKvRoot family). count >= 0.
  virtual void Read(void* buffer, int32_t count, const tKvKPosReadContext& context) = 0;
  // Slot 2: refused by the base with EKvKPosComStream code 9.
  virtual void Skip(int32_t count, const tKvKPosReadContext& context);

  // Primitives over Read, each with a fresh default context unless given.
  uint8_t ReadByte(const tKvKPosReadContext& context = {}) {
    if (const uint8_t* p = TakeDirect(1)) [[likely]]
      return *p;
    uint8_t b;
    Read(&b, 1, context);
    return b;
  }
  // 2 bytes little-endian, unsigned.
  uint16_t ReadWord() { return static_cast<uint16_t>(ReadUnsigned(2)); }
  // 4 bytes little-endian, signed.
  int32_t ReadLongint() { return static_cast<int32_t>(ReadUnsigned(4)); }
  // 1..4 bytes little-endian, unsigned.
  uint32_t ReadUnsigned(int32_t bytes) {
    assert(bytes >= 1 && bytes <= 4);
    uint8_t b[4] = {};
    const uint8_t* p = TakeDirect(bytes);
    if (p == nullptr) [[unlikely]] {
      ReadUnsignedSlow(b, bytes);
      p = b;
    }
    return kv_wire::LittleEndianAt(p, bytes);
  }
  // The bytes that can be read in place from the current position, and
  // their number in available; nullptr (available 0) without a cursor.
  const uint8_t* DirectBytes(int64_t& available) const {
    available = 0;
    if (direct_ == nullptr) return nullptr;
    const int64_t p = direct_->Position;
    const int64_t end = direct_->Size < direct_limit_ ? direct_->Size : direct_limit_;
    if (p < end) available = end - p;
    return direct_->Data + (p < end ? p : 0);
  }
  // Moves past count of the bytes DirectBytes offered.
  // REQUIRES: 0 <= count <= available.
  void SkipDirect(int64_t count) {
    assert(direct_ != nullptr && count >= 0);
    direct_->Position += count;
  }
  void ReadBytes(void* buffer, int32_t count) {
    if (const uint8_t* p = TakeDirect(count); p != nullptr && count > 0) [[likely]] {
      std::memcpy(buffer, p, static_cast<size_t>(count));
      return;
    }
    Read(buffer, count, tKvKPosReadContext{});
  }

 protected:
  // Declares that this source reads the bytes of cursor (which must outlive
  // the source) at cursor->Position, ignores the read context, and delivers
  // nothing at or beyond limit (a position, exclusive). nullptr: none.
  void SetDirect(tKvKPosMemCursor* cursor, int64_t limit) {
    direct_ = cursor;
    direct_limit_ = limit;
  }

 private:
  // count bytes at the cursor, which moves past them; nullptr (and the
  // cursor unchanged) when there is no cursor or they are not all there.
  const uint8_t* TakeDirect(int32_t count) {
    if (direct_ == nullptr) return nullptr;
    const int64_t p = direct_->Position;
    const int64_t end = direct_->Size < direct_limit_ ? direct_->Size : direct_limit_;
    if (count < 0 || p > end - count) return nullptr;
    direct_->Position = p + count;
    return direct_->Data + p;
  }
  void ReadUnsignedSlow(uint8_t* b, int32_t bytes);

  tKvKPosMemCursor* direct_ = nullptr;  // not owned
  int64_t direct_limit_ = 0;
};

// Byte destination elements are written to. Not copyable.
class tKvKPosComStreamDest : public tKvClass {
 public:
  tKvKPosComStreamDest() = default;
  tKvKPosComStreamDest(const tKvKPosComStreamDest&) = delete;
  tKvKPosComStreamDest& operator=(const tKvKPosComStreamDest&) = delete;
  ~tKvKPosComStreamDest() override;

  // Slot 0: writes count bytes or raises.
  virtual void Write(const void* buffer, int32_t count) = 0;

  void WriteByte(uint8_t value) { Write(&value, 1); }
  void WriteWord(uint16_t value);    // 2 bytes little-endian
  void WriteLongint(int32_t value);  // 4 bytes little-endian
  void WriteBytes(const void* buffer, int32_t count) { Write(buffer, count); }
};

// Destination collecting the bytes in memory.
class tKvKPosComStreamDestMem final : public tKvKPosComStreamDest {
 public:
  tKvKPosComStreamDestMem() = default;
  ~tKvKPosComStreamDestMem() override;
  void Write(const void* buffer, int32_t count) override;
  // Valid until the next Write or Clear.
  const std::string& Data() const { return data_; }
  void Clear() { data_.clear(); }

 private:
  std::string data_;
};

// ---------------------------------------------------------------------------
// Base of every element. Items are numbered from 1; a single element has
// one item, itself. An accessor asked for another index, or for another
// kind, returns the neutral value of its type (0, zero BCD, zero digit
// string, a new empty bitset, "", seven zero bytes, the null date-time, an
// empty byte string). Not copyable; use Clone.
class tKvKPosData : public tKvClass {
 public:
  tKvKPosData(const tKvKPosData&) = delete;
  tKvKPosData& operator=(const tKvKPosData&) = delete;
  ~tKvKPosData() override = default;

  // The data kind of this element (KvDataKind).
  uint8_t GetDataKind() const { return DataKind; }

  // Elements are created and freed once per field of the journal, so their
  // memory is recycled: freed blocks of up to 64 bytes wait in a small list
  // per size (per thread, bounded) for the next element of that size; full
  // lists are shared between threads through a bounded depot, since elements
  // made on a worker thread are freed on the main thread.
  // Ownership is unchanged: std::unique_ptr<tKvKPosData> frees as usual.
  static void* operator new(std::size_t size);
  static void operator delete(void* block, std::size_t size) noexcept;

  // Slot 0 (RegisterIDs) and slot 1 (CreateFromStream) are class
  // operations: every concrete class has static RegisterIDs(), a static
  // CreateFromStream(id, source) and a constructor (id, source).
  // Slot 2: new element of the same class and value.
  virtual std::unique_ptr<tKvKPosData> Clone() const = 0;
  // Slot 3: ID and payload.
  virtual void WriteToStream(tKvKPosComStreamDest& dest) const = 0;
  // Slot 4: compact or long (regional) text.
  virtual std::string GetText(bool compact) const = 0;
  // Slot 5: KvCompare value.
  virtual int Compare(const tKvKPosData& other) const = 0;
  // Slot 6.
  virtual int32_t GetItemCount() const;
  // Slot 7: the item (this for index 1); other index: EKvParam
  // "Invalid item index: <index>". Valid as long as this element lives.
  virtual const tKvKPosData& GetItem(int32_t index) const;
  // Slot 8: data kind of the item, 0 for a missing item.
  virtual uint8_t GetItemKind(int32_t index) const;
  // Slot 9.
  virtual bool IsEmpty(int32_t index) const;
  // Slots 10 to 20.
  virtual int32_t GetAsInteger(int32_t index) const;
  virtual tKvBcd GetAsBcd(int32_t index) const;
  virtual tKvBcdFix GetAsBcdFix(int32_t index) const;
  // A new bitset owned by the caller.
  virtual std::unique_ptr<tKvBitsetMem> GetAsBitset(int32_t index) const;
  virtual std::string GetAsString(int32_t index) const;
  virtual tKvTouch GetAsTouch(int32_t index) const;
  virtual tKvDateTime GetAsDateTime(int32_t index) const;
  virtual int64_t GetAsSeconds(int32_t index) const;
  virtual tKvDateTime GetAsDate(int32_t index) const;
  virtual std::string GetAsBinary(int32_t index) const;
  virtual std::string GetAsHex(int32_t index) const;

  // Beyond the slots: GetAsString without a copy, for the classes that hold
  // their text. True and text (valid as long as this element lives) where
  // the element can; false (text untouched) where GetAsString must be asked.
  virtual bool GetAsStringView(int32_t index, std::string_view& text) const;

 protected:
  explicit tKvKPosData(uint8_t kind) : DataKind(kind) {}
  // Raises EKvKPosComStream code 2 (ID not one of this class's IDs).
  [[noreturn]] void ForeignId() const;
  // The wire format of id, which must be one of cls's IDs (else ForeignId).
  const kv_wire::tWireId& OwnWire(uint8_t id, kv_wire::tElementClass cls) const {
    const kv_wire::tWireId& wire = kv_wire::WireOf(id);
    if (wire.Class != cls) [[unlikely]]
      ForeignId();
    return wire;
  }

 private:
  uint8_t DataKind;
};

// ID 0: no value.
class tKvKPosDataNone final : public tKvKPosData {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataNone(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataNone();

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  std::string GetText(bool compact) const override;
  int Compare(const tKvKPosData& other) const override;
  bool IsEmpty(int32_t index) const override;
};

// Common base of the two integer classes (value: signed 32-bit).
class tKvKPosDataIntRoot : public tKvKPosData {
 public:
  int32_t GetValue() const { return Value; }

  std::string GetText(bool compact) const override;
  int Compare(const tKvKPosData& other) const override;
  bool IsEmpty(int32_t index) const override;
  int32_t GetAsInteger(int32_t index) const override;

 protected:
  tKvKPosDataIntRoot(uint8_t kind, int32_t value) : tKvKPosData(kind), Value(value) {}
  // Reads the payload of an ID of cls (the wire format's layout).
  void ReadValue(uint8_t id, kv_wire::tElementClass cls, tKvKPosComStreamSource& source);
  // Writes with shortBase (the ID of value 0) or longBase (the ID of the
  // 1-byte form) and its successors.
  void WriteValue(uint8_t shortBase, uint8_t longBase, tKvKPosComStreamDest& dest) const;

  int32_t Value;
};

// IDs 1-17 (value ID - 1), 18-21 (1 to 4 bytes).
class tKvKPosDataInt final : public tKvKPosDataIntRoot {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataInt(uint8_t id, tKvKPosComStreamSource& source);
  explicit tKvKPosDataInt(int32_t value);

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
};

// IDs 63-79 (value ID - 63), 80-83 (1 to 4 bytes).
class tKvKPosDataAddRec final : public tKvKPosDataIntRoot {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataAddRec(uint8_t id, tKvKPosComStreamSource& source);
  explicit tKvKPosDataAddRec(int32_t value);

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
};

// IDs 22 and 181 (zero), 23-31 (compacted BCD of 2 to 10 bytes).
class tKvKPosDataBcd final : public tKvKPosData {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataBcd(uint8_t id, tKvKPosComStreamSource& source);
  explicit tKvKPosDataBcd(const tKvBcd& value);

  const tKvBcd& GetValue() const { return Value; }

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  std::string GetText(bool compact) const override;
  int Compare(const tKvKPosData& other) const override;
  bool IsEmpty(int32_t index) const override;
  tKvBcd GetAsBcd(int32_t index) const override;

 private:
  tKvBcd Value;
};

// IDs 32 (zero), 33-42 (right-aligned digit string of 1 to 10 bytes).
class tKvKPosDataBcdFix final : public tKvKPosData {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataBcdFix(uint8_t id, tKvKPosComStreamSource& source);
  explicit tKvKPosDataBcdFix(const tKvBcdFix& value);

  const tKvBcdFix& GetValue() const { return Value; }

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  std::string GetText(bool compact) const override;
  int Compare(const tKvKPosData& other) const override;
  bool IsEmpty(int32_t index) const override;
  tKvBcdFix GetAsBcdFix(int32_t index) const override;

 private:
  tKvBcdFix Value;
};

// IDs 43 (0 bits), 44-53, 88-100, 107-110 (8 bits per payload byte).
class tKvKPosDataBitset final : public tKvKPosData {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataBitset(uint8_t id, tKvKPosComStreamSource& source);
  explicit tKvKPosDataBitset(tKvBitsetMem bits);
  // Takes ownership of bits (an absent bitset gives 0 bits).
  explicit tKvKPosDataBitset(std::unique_ptr<tKvBitset> bits);

  const tKvBitsetMem& GetValue() const { return Bits; }

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  std::string GetText(bool compact) const override;
  int Compare(const tKvKPosData& other) const override;
  bool IsEmpty(int32_t index) const override;
  std::unique_ptr<tKvBitsetMem> GetAsBitset(int32_t index) const override;

 private:
  tKvBitsetMem Bits;
};

// Common base of Binary and Hex: an owned byte string.
class tKvKPosDataBytes : public tKvKPosData {
 public:
  const std::string& GetValue() const { return Bytes; }
  int32_t GetLength() const { return static_cast<int32_t>(Bytes.size()); }

  // Two upper-case hexadecimal digits per byte.
  std::string GetText(bool compact) const override;
  // KvCompare::kEqual when both byte strings are equal, else kUnordered.
  int Compare(const tKvKPosData& other) const override;
  bool IsEmpty(int32_t index) const override;

 protected:
  tKvKPosDataBytes(uint8_t kind, std::string bytes) : tKvKPosData(kind), Bytes(std::move(bytes)) {}
  void ReadBytesOfLength(int32_t length, tKvKPosComStreamSource& source);

  std::string Bytes;
};

// IDs 113 (empty), 114 (1-byte length), 115 (2-byte length).
class tKvKPosDataBinary final : public tKvKPosDataBytes {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataBinary(uint8_t id, tKvKPosComStreamSource& source);
  explicit tKvKPosDataBinary(std::string bytes);
  tKvKPosDataBinary(const void* buffer, int32_t length);

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  std::string GetAsBinary(int32_t index) const override;
};

// IDs 179 (empty), 180 (1-byte length).
class tKvKPosDataHex final : public tKvKPosDataBytes {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataHex(uint8_t id, tKvKPosComStreamSource& source);
  explicit tKvKPosDataHex(std::string bytes);
  tKvKPosDataHex(const void* buffer, int32_t length);

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  std::string GetAsHex(int32_t index) const override;
};

// IDs 54 (empty), 55 (1-byte length), 56 (2-byte length). Control bytes of
// the stream appear as caret sequences in the text: 1 "^L", 2 "^C",
// 3 "^R", 4 "^-", 11 "^|".
class tKvKPosDataStr : public tKvKPosData {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataStr(uint8_t id, tKvKPosComStreamSource& source);
  // The text copied once, straight into the element.
  explicit tKvKPosDataStr(std::string_view text);

  const std::string& GetValue() const { return Text; }

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  std::string GetText(bool compact) const override;
  // Byte-wise lexicographic order.
  int Compare(const tKvKPosData& other) const override;
  bool IsEmpty(int32_t index) const override;
  std::string GetAsString(int32_t index) const override;
  bool GetAsStringView(int32_t index, std::string_view& text) const override;

  // The two conversions between stream bytes and text.
  static std::string DecodeControlCodes(std::string_view bytes);
  static std::string EncodeControlCodes(std::string_view text);

 protected:
  tKvKPosDataStr(uint8_t kind, std::string text) : tKvKPosData(kind), Text(std::move(text)) {}
  // A copy of other's text, of the kind given (for Clone: one copy of the
  // text, no move after it).
  tKvKPosDataStr(uint8_t kind, const tKvKPosDataStr& other) : tKvKPosData(kind), Text(other.Text) {}
  // Reads a length (lengthBytes 1 or 2, 0 for the empty ID) and the bytes.
  void ReadRaw(int32_t lengthBytes, tKvKPosComStreamSource& source);
  // Writes bytes with the empty, 1-byte or 2-byte length ID (code 3 above 65535).
  void WriteRaw(std::string_view bytes, uint8_t emptyId, tKvKPosComStreamDest& dest) const;

  std::string Text;
};

// IDs 85 (empty), 86 (1-byte length), 87 (2-byte length); the text as
// stored, without control-code conversion.
class tKvKPosDataStrAI final : public tKvKPosDataStr {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataStrAI(uint8_t id, tKvKPosComStreamSource& source);
  explicit tKvKPosDataStrAI(std::string text);

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  // Shorter is less; equal lengths byte-wise.
  int Compare(const tKvKPosData& other) const override;
};

// IDs 57 (6 bytes) and 62 (7 bytes), most significant byte first.
class tKvKPosDataTouch final : public tKvKPosData {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataTouch(uint8_t id, tKvKPosComStreamSource& source);
  explicit tKvKPosDataTouch(const tKvTouch& value);

  const tKvTouch& GetValue() const { return Value; }

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  std::string GetText(bool compact) const override;  // "(touch)"
  int Compare(const tKvKPosData& other) const override;
  bool IsEmpty(int32_t index) const override;
  tKvTouch GetAsTouch(int32_t index) const override;

 private:
  tKvTouch Value;
};

// IDs 58 (0) and 59 (4 bytes): a raw signed 32-bit seconds value. Below
// 86400 it is a time of day; from 315446401 on, seconds since 1.1.1970.
class tKvKPosDataTime final : public tKvKPosData {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataTime(uint8_t id, tKvKPosComStreamSource& source);
  explicit tKvKPosDataTime(int32_t raw);
  explicit tKvKPosDataTime(tKvDateTime value);

  int32_t GetRaw() const { return Raw; }
  static tKvDateTime RawToDateTime(int32_t raw);
  static int32_t DateTimeToRaw(tKvDateTime value);

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  std::string GetText(bool compact) const override;
  int Compare(const tKvKPosData& other) const override;
  bool IsEmpty(int32_t index) const override;
  tKvDateTime GetAsDateTime(int32_t index) const override;
  int64_t GetAsSeconds(int32_t index) const override;

 private:
  int32_t Raw;
};

// IDs 111 (null) and 112 (day, month, 2-byte year).
class tKvKPosDataDate final : public tKvKPosData {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataDate(uint8_t id, tKvKPosComStreamSource& source);
  // Keeps the date part only.
  explicit tKvKPosDataDate(tKvDateTime value);

  tKvDateTime GetValue() const { return Value; }

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  std::string GetText(bool compact) const override;
  int Compare(const tKvKPosData& other) const override;
  bool IsEmpty(int32_t index) const override;
  tKvDateTime GetAsDate(int32_t index) const override;

 private:
  tKvDateTime Value;
};

// IDs 60, 84, 103: a pair (first item, rest). The first item is never a
// Multi; the rest may be one, so an N-tuple is a chain. Item 1 is the first
// item, item i > 1 is item i - 1 of the rest. Nesting is limited to
// kKvKPosMaxMultiDepth (deeper: EKvKPosComStream code 2 when read,
// EKvParam when constructed).
class tKvKPosDataMulti final : public tKvKPosData {
 public:
  static void RegisterIDs();
  static std::unique_ptr<tKvKPosData> CreateFromStream(uint8_t id, tKvKPosComStreamSource& source);
  tKvKPosDataMulti(uint8_t id, tKvKPosComStreamSource& source);
  // EKvParam "invalid items" when a part is absent or first is a Multi.
  tKvKPosDataMulti(std::unique_ptr<tKvKPosData> first, std::unique_ptr<tKvKPosData> rest);
  ~tKvKPosDataMulti() override;

  const tKvKPosData& First() const { return *FirstItem; }
  const tKvKPosData& Rest() const { return *RestItem; }
  // Number of Multi links in this chain, 1 for a plain pair.
  int32_t Depth() const { return DepthCount; }

  std::unique_ptr<tKvKPosData> Clone() const override;
  void WriteToStream(tKvKPosComStreamDest& dest) const override;
  std::string GetText(bool compact) const override;  // item texts joined by "/"
  int Compare(const tKvKPosData& other) const override;
  int32_t GetItemCount() const override;
  const tKvKPosData& GetItem(int32_t index) const override;
  uint8_t GetItemKind(int32_t index) const override;
  bool IsEmpty(int32_t index) const override;
  int32_t GetAsInteger(int32_t index) const override;
  tKvBcd GetAsBcd(int32_t index) const override;
  tKvBcdFix GetAsBcdFix(int32_t index) const override;
  std::unique_ptr<tKvBitsetMem> GetAsBitset(int32_t index) const override;
  std::string GetAsString(int32_t index) const override;
  bool GetAsStringView(int32_t index, std::string_view& text) const override;
  tKvTouch GetAsTouch(int32_t index) const override;
  tKvDateTime GetAsDateTime(int32_t index) const override;
  int64_t GetAsSeconds(int32_t index) const override;
  tKvDateTime GetAsDate(int32_t index) const override;
  std::string GetAsBinary(int32_t index) const override;
  std::string GetAsHex(int32_t index) const override;

 private:
  // The single element holding item index (index >= 1), with its local
  // index; nullptr when there is no such item.
  const tKvKPosData* Locate(int32_t index, int32_t& local) const;
  void SetParts(std::unique_ptr<tKvKPosData> first, std::unique_ptr<tKvKPosData> rest);

  std::unique_ptr<tKvKPosData> FirstItem;
  std::unique_ptr<tKvKPosData> RestItem;
  int32_t DepthCount = 1;
};

// ---------------------------------------------------------------------------
// Registry.

// Reads the payload following id and returns the new element.
using tKvKPosDataFactory = std::unique_ptr<tKvKPosData> (*)(uint8_t id,
                                                            tKvKPosComStreamSource& source);
using tKvKPosIdSet = std::bitset<kKvKPosIdCount>;

// Stores factory at every ID of ids (a later registration replaces an
// earlier one). Called by the classes' RegisterIDs.
void RegisterClass(const tKvKPosIdSet& ids, tKvKPosDataFactory factory);

// A new element read from source after its ID byte. Unregistered ID or
// id above 181: EKvKPosComStream code 1 "Unknown ComStreamID <id>".
std::unique_ptr<tKvKPosData> CreateElement(int32_t id, tKvKPosComStreamSource& source);

// Raises EKvKPosComStream code 1 "Unkown ComStreamID <id>" from source.
[[noreturn]] void RaiseUnknownId(const tKvKPosComStreamSource& source, uint8_t id);

// Reads one ID byte; above 181: EKvKPosComStream code 1
// "Unkown ComStreamID <byte>".
inline uint8_t ReadID(tKvKPosComStreamSource& source, const tKvKPosReadContext& context = {}) {
  const uint8_t id = source.ReadByte(context);
  if (id > kKvKPosMaxId) [[unlikely]]
    RaiseUnknownId(source, id);
  return id;
}

// ReadID, then CreateElement.
inline std::unique_ptr<tKvKPosData> ReadElement(tKvKPosComStreamSource& source) {
  return CreateElement(ReadID(source), source);
}

namespace kv_kpos_detail {
// Set once a class is registered besides the built-in ones: then only the
// registered factories know how elements read.
extern bool g_registryCustomised;
void SkipElementChecked(tKvKPosComStreamSource& source);
// Size of the complete element at p (ID and payload, Multi chains included)
// when it lies within the n bytes and the built-in classes would read it
// without failure; -1 otherwise (reading it then raises, or decides).
int64_t RegularElementSize(const uint8_t* p, int64_t n);
}  // namespace kv_kpos_detail

// Reads one complete element (ID and payload) and discards it: the same
// bytes are consumed and the same failures raised as by ReadElement. When
// the source reads in place and the built-in classes are registered, the
// payload is checked where it lies instead of building the element; any
// irregularity (a bad digit or date, missing bytes, an unknown ID, a Multi
// as first item or nested too deep) leaves it to ReadElement to raise.
inline void SkipElement(tKvKPosComStreamSource& source) {
  int64_t available = 0;
  const uint8_t* bytes = source.DirectBytes(available);
  if (available > 0 && !kv_kpos_detail::g_registryCustomised) {
    int64_t size = kv_wire::kFixedElementSize[bytes[0]];
    if (size == kv_wire::kLength8Element) size = available >= 2 ? 2 + int64_t{bytes[1]} : 0;
    if (size != 0 && size <= available) [[likely]] {
      source.SkipDirect(size);
      return;
    }
  }
  kv_kpos_detail::SkipElementChecked(source);
}

// When the element at the source's position is an integer of a built-in
// class (Int or AddRec) and lies in place, reads it and returns true with
// its value (GetAsInteger(1)); otherwise reads nothing and returns false.
inline bool ReadPlainInteger(tKvKPosComStreamSource& source, int32_t& value) {
  int64_t available = 0;
  const uint8_t* p = source.DirectBytes(available);
  if (kv_kpos_detail::g_registryCustomised) return false;
  const int size = kv_wire::PlainIntegerAt(p, available, value);
  if (size == 0) return false;
  source.SkipDirect(size);
  return true;
}

// As ReadPlainInteger for a tuple of count integers (a Multi chain of plain
// integers, as the built-in classes read it): values[0..count-1] are its
// items 1 to count. 2 <= count <= 8.
inline bool ReadPlainIntegerTuple(tKvKPosComStreamSource& source, int32_t* values, int count) {
  int64_t available = 0;
  const uint8_t* p = source.DirectBytes(available);
  if (kv_kpos_detail::g_registryCustomised) return false;
  int64_t at = 0;
  for (int i = 0; i < count; ++i) {
    if (i + 1 < count) {
      // A Multi ID, then the item.
      if (at >= available || kv_wire::WireOf(p[at]).Class != kv_wire::kMulti) return false;
      ++at;
    }
    const int size = kv_wire::PlainIntegerAt(p + at, available - at, values[i]);
    if (size == 0) return false;
    at += size;
  }
  source.SkipDirect(at);
  return true;
}
