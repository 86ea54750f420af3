// Byte encoders of the terminal's binary journal, as the generator writes it:
// typed data elements, the framing bytes of the communication stream and the
// fiscal item numbers. Each Put… appends to a byte string; the shortest form
// is always chosen, as the terminal does.
//
// Wire grammar (all multi-byte numbers little-endian):
//   item      := frame number? element?
//   frame     := 116+n element (n <= 16) | 133..136 number[1..4] element
//              | 137+n | 154..157 number[1..4]             (no element)
//              | 158+n element | 175..178 number[1..4] element (sub-item = field)
//   element   := Int | Bcd | BcdFix | Str | Time | Binary | Multi
//   Multi     := 103 element element   (an N-tuple nests to the right)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "gen/GenJournal.h"

namespace jgen {

// Fiscal item numbers of the stream.
enum FiscalItem : uint32_t {
  kItemVersion = 1,       //!< journal format version (Int)
  kItemEntryStart = 3,    //!< Multi of Type, Ver, VerMin, Codepage
  kItemBackLink = 4,      //!< Int: distance back to an earlier record start
  kItemBlockInfo = 5,     //!< Multi of 12 block information values
  kItemEntryEnd = 6,      //!< no element
  kItemRecordBase = 8,    //!< record start at level n is item 8 + n (Int: record type)
  kItemHeaderV1 = 50,     //!< file header of a version-1 stream (Multi of 20)
  kItemHeaderV2 = 1050,   //!< file header of a version-2 stream (Multi of 20)
};

// Element IDs the generator writes.
enum ElementId : uint8_t {
  kIdBcdZero = 22,
  kIdBcdFixZero = 32,
  kIdStrEmpty = 54,
  kIdStr8 = 55,
  kIdStr16 = 56,
  kIdTimeZero = 58,
  kIdTime = 59,
  kIdMulti = 103,
  kIdBinaryEmpty = 113,
  kIdBinary8 = 114,
  kIdBinary16 = 115,
};

// Int element; REQUIRES: v fits in 32 bits (signed or unsigned).
void PutInt(std::string& out, int64_t v);
// BCD real; REQUIRES: at most 18 significant digits, exponent in range.
void PutBcd(std::string& out, Decimal d);
// Digit string ("0"-"9", "/" as separator), right-aligned; REQUIRES: <= 20 characters.
void PutBcdFix(std::string& out, std::string_view digits);
// Text; REQUIRES: no control bytes and no "^" (the stream would recode them), <= 65535 bytes.
void PutText(std::string& out, std::string_view text);
// Time element carrying Unix seconds; REQUIRES: 0 or a date-time in 1980..2038.
void PutTime(std::string& out, DateTime dt);
// Byte string; REQUIRES: <= 65535 bytes.
void PutBinary(std::string& out, std::string_view bytes);
void PutValue(std::string& out, const Value& v);
// Starts a pair: the next two elements are its first item and its rest.
inline void PutMulti(std::string& out) { out += static_cast<char>(kIdMulti); }

// Framing: an item whose element follows, an item without element, a field.
void PutItem(std::string& out, uint32_t number);
void PutItemNoValue(std::string& out, uint32_t number);
void PutSubItem(std::string& out, uint32_t number);

void PutLE32(std::string& out, uint32_t v);

}  // namespace jgen
