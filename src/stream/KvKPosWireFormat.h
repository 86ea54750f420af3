// The wire format of the binary journal, stated once: for every ID byte the
// element class that reads it and how its payload is laid out, and the three
// groups of framing bytes around the elements. The registry's ID sets, the
// element constructors, the in-place skip and the in-place size checks all
// read this table. Pure constexpr data and functions, no state; the
// unchecked functions say what they require.
//
// element := ID byte (0..181), then the payload its row states:
//   kFixed     Size bytes (0: the ID alone)
//   kLength8   a length byte, then that many bytes
//   kLength16  a 2-byte little-endian length, then that many bytes
//   kDigits    Size bytes: the exponent byte, then mantissa bytes whose
//              nibbles are all 0..9 (the high end of the mantissa)
//   kDayMonthYear  day, month, 2-byte year (a valid date, or day or month 0)
//   kPair      two complete elements: the first item (no Multi), the rest
// Multi-byte integers are little-endian; the integer classes' one value of
// a payload-less ID is ID - (the class's first ID).
// item := framing byte, item number, element (see KvKPosComStreamV2.h).
#pragma once

#include <array>
#include <cstdint>

namespace kv_wire {

// Who reads an ID byte.
enum class tElementClass : uint8_t {
  kUnassigned,  //!< no element (61, 101, 102, 104-106, 182-255)
  kFraming,     //!< a framing byte of the communication stream (116-178)
  kNone,
  kInt,
  kAddRec,
  kBcd,
  kBcdFix,
  kBitset,
  kStr,
  kStrAI,
  kTouch,
  kTime,
  kDate,
  kBinary,
  kHex,
  kMulti,
};

// How the payload behind an ID byte is laid out (see the grammar above).
enum class tPayload : uint8_t {
  kNothing,
  kFixed,
  kLength8,
  kLength16,
  kDigits,
  kDayMonthYear,
  kPair
};

// One ID byte. Intentionally copyable.
struct tWireId {
  tElementClass Class = tElementClass::kUnassigned;
  tPayload Payload = tPayload::kNothing;
  uint8_t Size = 0;  // payload bytes of kFixed, kDigits and kDayMonthYear
};

// The rows of the table: IDs First..Last of one class and layout, the
// payload of ID First + i being Size + i * Step bytes.
struct tWireRow {
  uint8_t First, Last;
  tElementClass Class;
  tPayload Payload;
  uint8_t Size, Step;
};

using enum tElementClass;
using enum tPayload;

inline constexpr tWireRow kWireRows[] = {
    {0, 0, kNone, kFixed, 0, 0},          {1, 17, kInt, kFixed, 0, 0},
    {18, 21, kInt, kFixed, 1, 1},         {22, 22, kBcd, kFixed, 0, 0},
    {23, 31, kBcd, kDigits, 2, 1},        {32, 32, kBcdFix, kFixed, 0, 0},
    {33, 42, kBcdFix, kFixed, 1, 1},      {43, 53, kBitset, kFixed, 0, 1},
    {54, 54, kStr, kFixed, 0, 0},         {55, 55, kStr, kLength8, 0, 0},
    {56, 56, kStr, kLength16, 0, 0},      {57, 57, kTouch, kFixed, 6, 0},
    {58, 58, kTime, kFixed, 0, 0},        {59, 59, kTime, kFixed, 4, 0},
    {60, 60, kMulti, kPair, 0, 0},        {62, 62, kTouch, kFixed, 7, 0},
    {63, 79, kAddRec, kFixed, 0, 0},      {80, 83, kAddRec, kFixed, 1, 1},
    {84, 84, kMulti, kPair, 0, 0},        {85, 85, kStrAI, kFixed, 0, 0},
    {86, 86, kStrAI, kLength8, 0, 0},     {87, 87, kStrAI, kLength16, 0, 0},
    {88, 97, kBitset, kFixed, 11, 1},     {98, 98, kBitset, kFixed, 25, 0},
    {99, 99, kBitset, kFixed, 30, 0},     {100, 100, kBitset, kFixed, 40, 0},
    {103, 103, kMulti, kPair, 0, 0},      {107, 110, kBitset, kFixed, 50, 10},
    {111, 111, kDate, kFixed, 0, 0},      {112, 112, kDate, kDayMonthYear, 4, 0},
    {113, 113, kBinary, kFixed, 0, 0},    {114, 114, kBinary, kLength8, 0, 0},
    {115, 115, kBinary, kLength16, 0, 0}, {116, 178, kFraming, kNothing, 0, 0},
    {179, 179, kHex, kFixed, 0, 0},       {180, 180, kHex, kLength8, 0, 0},
    {181, 181, kBcd, kFixed, 0, 0},
};

inline constexpr std::array<tWireId, 256> kWire = [] {
  std::array<tWireId, 256> table{};
  for (const tWireRow& row : kWireRows) {
    for (int id = row.First; id <= row.Last; ++id) {
      table[id] = {row.Class, row.Payload,
                   static_cast<uint8_t>(row.Size + (id - row.First) * row.Step)};
    }
  }
  return table;
}();

// The element classes' IDs are 0..181.
inline constexpr int kIdCount = 182;

constexpr const tWireId& WireOf(uint8_t id) { return kWire[id]; }

// The first ID of cls whose payload is laid out as payload with size bytes
// (a compile-time error when there is none).
consteval uint8_t IdOf(tElementClass cls, tPayload payload = kFixed, int size = 0) {
  for (int id = 0; id < kIdCount; ++id) {
    if (kWire[id].Class == cls && kWire[id].Payload == payload && kWire[id].Size == size) {
      return static_cast<uint8_t>(id);
    }
  }
  throw "no such ID";
}

// The first ID of every class (0 for a class without IDs).
inline constexpr std::array<uint8_t, 16> kFirstId = [] {
  std::array<uint8_t, 16> first{};
  for (int id = kIdCount - 1; id >= 0; --id)
    first[static_cast<size_t>(kWire[id].Class)] = static_cast<uint8_t>(id);
  return first;
}();
constexpr uint8_t FirstIdOf(tElementClass cls) { return kFirstId[static_cast<size_t>(cls)]; }

// Size of the element (ID byte included) when its ID alone gives it and it
// cannot fail once its bytes are there; kLength8Element when the payload is
// a length byte and that many bytes; 0 for every other ID.
inline constexpr uint8_t kLength8Element = 0xFF;
inline constexpr std::array<uint8_t, 256> kFixedElementSize = [] {
  std::array<uint8_t, 256> sizes{};
  for (int id = 0; id < 256; ++id) {
    if (kWire[id].Payload == kFixed) sizes[id] = static_cast<uint8_t>(1 + kWire[id].Size);
    if (kWire[id].Payload == kLength8) sizes[id] = kLength8Element;
  }
  return sizes;
}();

// The bytes that hold two decimal digits.
inline constexpr std::array<bool, 256> kBcdPair = [] {
  std::array<bool, 256> pairs{};
  for (int b = 0; b < 256; ++b) pairs[static_cast<size_t>(b)] = (b & 0x0F) <= 9 && (b >> 4) <= 9;
  return pairs;
}();

// The 1 to 4 bytes at p as an unsigned little-endian number.
inline uint32_t LittleEndianAt(const uint8_t* p, int32_t bytes) {
  uint32_t value = 0;
  for (int32_t i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
  return value;
}

// Size of the kDigits element at p when it lies within the n bytes and its
// digits are valid; 0 for any other. REQUIRES: n >= 1.
inline int64_t BcdElementSizeAt(const uint8_t* p, int64_t n) {
  const tWireId& wire = kWire[p[0]];
  if (wire.Payload != kDigits) return 0;
  const int64_t size = 1 + int64_t{wire.Size};
  if (size > n) return 0;
  bool digits = true;
  for (int64_t i = 2; i < size; ++i) digits &= kBcdPair[p[i]];
  return digits ? size : 0;
}

// Size of the integer element (Int or AddRec) within the n bytes at p, with
// its value (4 bytes fill all 32 bits); 0 for anything else.
inline int PlainIntegerAt(const uint8_t* p, int64_t n, int32_t& value) {
  if (n <= 0) return 0;
  const uint8_t id = p[0];
  const tWireId& wire = kWire[id];
  if (wire.Class != kInt && wire.Class != kAddRec) return 0;
  if (wire.Size == 0) {
    value = id - FirstIdOf(wire.Class);
    return 1;
  }
  if (n < 1 + wire.Size) return 0;
  value = static_cast<int32_t>(LittleEndianAt(p + 1, wire.Size));
  return 1 + wire.Size;
}

// ---------------------------------------------------------------------------
// Framing bytes: three groups, each a short form (the number in the byte,
// 0..16) and a long form (1..4 little-endian number bytes follow).

enum class tItemForm : uint8_t {
  kItem,      //!< Item with an element
  kItemNone,  //!< Item with a None element, nothing to read
  kSubItem,   //!< SubItem with an element
};

inline constexpr uint8_t kItemShort = 116;      // 116..132: number 0..16, element
inline constexpr uint8_t kItemLong = 133;       // 133..136: 1..4 number bytes, element
inline constexpr uint8_t kItemNoneShort = 137;  // 137..153: number 0..16, no element
inline constexpr uint8_t kItemNoneLong = 154;   // 154..157: 1..4 number bytes, no element
inline constexpr uint8_t kSubShort = 158;       // 158..174: number 0..16, element
inline constexpr uint8_t kSubLong = 175;        // 175..178: 1..4 number bytes, element
inline constexpr uint8_t kFramingEnd = 178;     // last framing byte

constexpr bool IsFraming(uint8_t f) { return f >= kItemShort && f <= kFramingEnd; }

// What a framing byte says: the form, and either the number (NumberBytes 0)
// or how many number bytes follow. Intentionally copyable.
struct tFraming {
  tItemForm Form;
  int32_t NumberBytes;
  int32_t Number;
};

// REQUIRES: IsFraming(f).
constexpr tFraming FramingOf(uint8_t f) {
  uint8_t shortBase = kSubShort, longBase = kSubLong;
  tItemForm form = tItemForm::kSubItem;
  if (f < kItemNoneShort) {
    shortBase = kItemShort, longBase = kItemLong, form = tItemForm::kItem;
  } else if (f < kSubShort) {
    shortBase = kItemNoneShort, longBase = kItemNoneLong, form = tItemForm::kItemNone;
  }
  if (f < longBase) return {form, 0, f - shortBase};
  return {form, f - longBase + 1, 0};
}

// ---------------------------------------------------------------------------
// Fiscal item numbers: what the number of an Item means to the fiscal stream
// parser (KvKPosFiscalStream.h gives the events they become); the numbers
// of SubItems are the fields of the current record.

inline constexpr int32_t kItemVersion = 1;        // journal format version (Int)
inline constexpr int32_t kItemEntryStart = 3;     // entry start (Multi of 4 Int)
inline constexpr int32_t kItemBackLink = 4;       // back link (Int: distance in bytes)
inline constexpr int32_t kItemBlockInfo = 5;      // block information (Multi of 12)
inline constexpr int32_t kItemEntryEnd = 6;       // entry end
inline constexpr int32_t kItemRecordFirst = 9;    // record start at level 1 ...
inline constexpr int32_t kItemRecordLast = 32;    // ... to level 24 (number - 8)
inline constexpr int32_t kItemHeaderV1 = 50;      // file header, header version 1
inline constexpr int32_t kItemHeaderV2 = 1050;    // file header, header version 2

}  // namespace kv_wire
