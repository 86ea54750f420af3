// Vocabulary of the journal generator: the values, block and entry data that a
// scenario emits, and the sink interface that both journal forms implement.
// The generator is standalone on purpose: nothing here uses the program's own
// libraries, so it keeps producing input while they change. Single-threaded;
// a sink borrows every value only for the duration of the call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace jgen {

// A decimal number: Mantissa × 10^-Scale (amounts use scale 2, quantities 0 or 3).
// Intentionally copyable.
struct Decimal {
  int64_t Mantissa = 0;
  int Scale = 0;
};
inline Decimal Cents(int64_t cents) { return {cents, 2}; }
inline Decimal Whole(int64_t n) { return {n, 0}; }

// Journal date-time: a count of seconds, day 1 = 1 January 1980 at 00:00:00.
using DateTime = int64_t;
// Journal date-time + kUnixOffset = seconds since 1 January 1970.
constexpr int64_t kUnixOffset = 315446400;
// Last date-time a terminal's signed 32-bit Unix time can carry (19.01.2038 03:14:07).
constexpr DateTime kLastDateTime = 2147483647LL - kUnixOffset;

struct CivilTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
DateTime MakeDateTime(int year, int month, int day, int hour = 0, int minute = 0,
                      int second = 0);
// REQUIRES: dt has a date part (dt >= 86400).
CivilTime SplitDateTime(DateTime dt);

// The typed values a field can carry; Str holds the digits of a BcdFix, the
// bytes of a Text (Windows-1252, no control bytes, no "^") or of a Binary.
enum class ValueKind : uint8_t { Int, Bcd, BcdFix, Text, Time, Binary };
struct Value {
  ValueKind Kind = ValueKind::Int;
  int64_t Num = 0;  // Int, Time
  Decimal Dec;      // Bcd
  std::string_view Str;

  static Value Int(int64_t v) { return {ValueKind::Int, v, {}, {}}; }
  static Value Bcd(Decimal d) { return {ValueKind::Bcd, 0, d, {}}; }
  static Value BcdFix(std::string_view digits) { return {ValueKind::BcdFix, 0, {}, digits}; }
  static Value Text(std::string_view text) { return {ValueKind::Text, 0, {}, text}; }
  static Value Time(DateTime dt) { return {ValueKind::Time, dt, {}, {}}; }
  static Value Binary(std::string_view bytes) { return {ValueKind::Binary, 0, {}, bytes}; }
};

// What a block carries besides its entries: the block information of the
// terminal and the one number of the text-input header that varies.
struct BlockHeader {
  int32_t Id = 0;  // block number, consecutive
  int32_t EcrAddr = 0;
  DateTime Created = 0;
  DateTime RegStart = 0;
  DateTime RegEnd = 0;
  std::string EcrNo;  // register number (digits)
  int32_t SerNo = 0;
  std::string EcrName;  // no ";", ",", "=", quotes or brackets (it travels unquoted)
  int32_t HwId = 0;
  int32_t FiscJnlType = 1;
  std::string SwVer;  // same restrictions as EcrName
  int32_t EcrNoSuppl = 0;  // second integer of the text-input header
};

struct EntryInfo {
  int32_t Type = 1;  // fiscal journal type (1 = Germany)
  int32_t Ver = 2;
  int32_t VerMin = 0;
  int32_t Codepage = 1252;
};

// Receives a journal as the events both input forms carry. A field belongs to
// the record open at `level`; when that level is above the last record start,
// the forms close the deeper records first (a record start with type 0).
//
// One small entry, as a sequence of calls:
//   BeginEntry {1,2,0,1252}
//   Record(2, 1)                    receipt
//     Record(1, 2)                  header
//       Field(1, 2, Time 02.01.2024/09:15:00)
//       Record(2, 3)                operator
//         Field(1, 3, BcdFix "1")  Field(2, 3, Text "Anna")
//       Field(3, 2, Int 1001)       back at the header: closes the operator
//   EndEntry
class JournalSink {
 public:
  JournalSink() = default;
  JournalSink(const JournalSink&) = delete;
  JournalSink& operator=(const JournalSink&) = delete;
  virtual ~JournalSink() = default;

  virtual void BeginBlock(const BlockHeader& block) = 0;
  virtual void BeginEntry(const EntryInfo& entry) = 0;
  // REQUIRES: 1 <= level <= 24, type > 0.
  virtual void Record(int32_t type, int level) = 0;
  // REQUIRES: 1 <= level <= 24, id >= 0.
  virtual void Field(int32_t id, int level, const Value& value) = 0;
  virtual void EndEntry() = 0;
  virtual void EndBlock() = 0;
  // A note for human readers; forms without comments drop it.
  virtual void Comment(std::string_view text) { (void)text; }
  // Bytes of output so far, the block being built included (estimated).
  virtual uint64_t OutputSize() const = 0;
};

}  // namespace jgen
