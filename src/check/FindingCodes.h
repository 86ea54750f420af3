// The findings of the export check: one table of stable codes, each with
// its severity and a one-line meaning. A code is never reused for another
// check; the README and the manual page print this table.
//
//   C1xx  the export as a package: index, files, names
//   C2xx  index.xml against its grammar and the DTD beside it
//   C3xx  what the index describes: coherent declarations
//   C4xx  what a table file holds, against its declaration
//   C5xx  keys, and the references built on them
//
// Errors violate the description standard (an import fails or reads wrong
// values); warnings are permitted but suspect; information implies no
// defect. Pure data; any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/KvSeverity.h"

namespace check {

using tSeverity = tFindingSeverity;

enum class tCode : uint16_t {
  // the package
  kNoIndex = 101,         // no index.xml at the export's root
  kIndexNotAtRoot = 102,  // index.xml only below a sub-folder
  kFileMissing = 103,     // a declared file is absent
  kUrlAbsolute = 104,     // a URL with a scheme, a leading slash or a drive
  kUrlOutside = 105,      // a URL that leads outside the export
  kUrlCaseOnly = 106,     // a URL that matches a file only when case is ignored
  kNameTwice = 107,       // two entries or URLs name one file (also by case only)
  kFileUndeclared = 108,  // a data file the index does not declare
  // the grammar
  kIndexNotWellFormed = 201,  // index.xml is not well-formed XML
  kIndexInvalid = 202,        // index.xml is not valid against the DTD
  kDtdMissing = 203,          // the DTD the index names is not beside it
  kDtdAltered = 204,          // the DTD beside the index is no known standard DTD
  kDtdOutside = 205,          // the document type names a DTD outside the export
  kIndexEntities = 206,       // the index declares entities of its own
  kNoDoctype = 207,           // the index names no DTD
  kDtdUnreadable = 208,       // the DTD to validate against is no DTD
  // the description
  kFkColumnUndeclared = 301,  // a ForeignKey names a column the table lacks
  kFkNoTable = 302,           // References names no table of the data set
  kFkAmbiguous = 303,         // References names several tables
  kFkTargetNoKey = 304,       // the referenced table declares no primary key
  kFkArity = 305,             // column count differs from the referenced key's
  kFkType = 306,              // a column's type differs from its key column's
  kAliasFrom = 307,           // Alias/From is no column of its ForeignKey
  kAliasTo = 308,             // Alias/To is no key column of the referenced table
  kAliasTwice = 309,          // two aliases map onto one key column
  kAliasPartial = 310,        // a composite key is only partly aliased
  kTimeMask = 311,            // a time map's From and To masks differ
  kMapNotAlpha = 312,         // Map on a column that is not AlphaNumeric
  kMediaEmpty = 313,          // a Media without tables and without AcceptNoTables
  kMediaAcceptsEmpty = 314,   // a Media without tables, by AcceptNoTables
  kFixedRangeBad = 315,       // a FixedRange that is no span
  kFixedOverlap = 316,        // two fixed-length columns overlap
  kFixedGap = 317,            // positions no fixed-length column claims
  kFixedBeyond = 318,         // a column beyond the declared record length
  kScalarBad = 319,           // a count (Accuracy, MaxLength, ...) that is no usable integer
  kSymbolsEqual = 320,        // DecimalSymbol equals DigitGroupingSymbol
  kDelimitersCollide = 321,   // two delimiters of a table are the same
  kDateMaskBad = 322,         // a date Format without exactly one day, month and year
  kRangeBelowOne = 323,       // Range/From below 1
  kTableNameTwice = 324,      // two tables share a Name
  kTableUrlTwice = 325,       // two tables share a URL
  kColumnNameTwice = 326,     // two columns of a table share a Name
  kNameCharacter = 327,       // a name holds " & < or >
  kDescriptionLong = 328,     // a Description longer than 255 characters
  kCommand = 329,             // a Command is declared (never run by the check)
  kExtension = 330,           // an Extension is declared
  kExtensionMissing = 331,    // an Extension's URL names no file
  // the contents
  kNotNumeric = 401,       // a Numeric value that is no number under the declared symbols
  kDateFormat = 402,       // a Date value that does not match its Format
  kDateNotReal = 403,      // a Date value that is no calendar date (31.02.)
  kDecimals = 404,         // more decimal places than Accuracy
  kGrouping = 405,         // the grouping symbol not between groups of three digits
  kTooLong = 406,          // an AlphaNumeric value longer than MaxLength
  kFieldCount = 407,       // a record with another number of fields than declared
  kCodePage = 408,         // bytes the declared code page does not define
  kQuote = 409,            // a text encapsulation that is not closed or not balanced
  kFixedLength = 410,      // a fixed-length record of the wrong length
  kUnreadable = 411,       // a declaration that gives no way to read the table
  kHeaderOrder = 412,      // a header line in another order than the declaration
  kHeaderNoRange = 413,    // a header line that no Range excludes
  kOutsideMap = 414,       // a value outside its column's Map
  kRecordDelimiter = 415,  // a record not ended by the declared delimiter
  kSkipBeyondEnd = 416,    // SkipNumBytes or Range beyond the file's end
  // the keys
  kKeyDuplicate = 501,      // a primary key value occurs more than once
  kKeyEmpty = 502,          // a primary key value is empty or partly empty
  kForeignDangling = 503,   // a foreign key value matches no row of the referenced table
  kForeignUnchecked = 504,  // a reference could not be checked (its table unreadable)
  kKeyLimit = 505,          // a key check stopped at the memory limit
};

struct tCodeInfo {
  tCode Code;
  std::string_view Id;  // "C101"
  tSeverity Severity;
  std::string_view Meaning;
};

// Every code, in code order.
std::span<const tCodeInfo> AllCodes();
// The entry of code.
const tCodeInfo& InfoOf(tCode code);
constexpr std::string_view SeverityName(tSeverity severity) {
  return FindingSeverityName(severity);
}

}  // namespace check
