// tExportIndex: what an export's index.xml declares, read into plain data
// for the table check. Reading validates the document against its DTD and
// reports what the description gets wrong (C2xx, C3xx) into the findings;
// the model keeps every table the index declares, with the standard's
// defaults filled in where a declaration leaves them out:
//
//   DataSet   (Extension*, Version, DataSupplier?, Command*, Media+, Command*)
//   Media     (Name, Command*, Table*, Command*, AcceptNoTables?)
//   Table     (URL, Name?, Description?, Validity?, encoding?,
//              (DecimalSymbol, DigitGroupingSymbol)?, SkipNumBytes?, Range?,
//              Epoch?, (VariableLength | FixedLength))
//   VariableLength (ColumnDelimiter?, RecordDelimiter?, TextEncapsulator?,
//              VariablePrimaryKey*, VariableColumn*, ForeignKey*)
//   FixedLength ((Length | RecordDelimiter)?, FixedPrimaryKey*, FixedColumn*,
//              ForeignKey*)
//
// Defaults: encoding ANSI (Windows-1252), DecimalSymbol ",",
// DigitGroupingSymbol ".", ColumnDelimiter ";", RecordDelimiter CR LF,
// TextEncapsulator '"', Accuracy 0, Date Format DD.MM.YYYY, Epoch 30,
// Range From 1. The model is pure data (any thread); ReadIndex runs on one
// thread at a time (it sets libxml2's error handler for its thread).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/Findings.h"

namespace check {

enum class tColumnType : uint8_t { kNumeric, kAlphaNumeric, kDate };

// The code page a table declares. kUnsupported: one this build cannot
// decode (the table's contents are then not checked, C411).
enum class tEncoding : uint8_t { kAnsi, kMacintosh, kOem, kUtf8, kUtf16, kUtf7, kUnsupported };

struct tMapDecl {
  std::string From;  // UTF-8, as declared
  std::string To;
};

struct tColumnDecl {
  std::string Name;  // UTF-8
  tColumnType Type = tColumnType::kAlphaNumeric;
  bool PrimaryKey = false;            // a VariablePrimaryKey / FixedPrimaryKey
  uint32_t Accuracy = 0;              // Numeric: decimal places allowed
  bool ImpliedAccuracy = false;       // Numeric: Accuracy places implied, no decimal symbol
  std::string DateFormat;             // Date: the Format mask ("DD.MM.YYYY" when none)
  std::optional<uint64_t> MaxLength;  // AlphaNumeric, in characters
  std::vector<tMapDecl> Maps;
  uint64_t FixedFrom = 0;    // FixedLength: 1-based first position
  uint64_t FixedLength = 0;  // FixedLength: positions
};

struct tForeignKeyDecl {
  std::vector<std::string> Columns;  // the Name elements, in order
  std::string References;            // the referenced table's Name (or URL)
  // Alias From -> To, as declared.
  std::vector<std::pair<std::string, std::string>> Aliases;
  // Resolved while reading: the referenced table's position in Tables and,
  // per entry of Columns, the position of the key column it maps onto in
  // that table's Columns. Empty Target when the reference does not resolve
  // (then a C3xx finding was reported and the key is not checked).
  std::optional<size_t> Target;
  std::vector<size_t> TargetColumns;
  uint64_t IndexLine = 0;  // line of the ForeignKey element in index.xml
};

struct tTableDecl {
  // As declared (relative, '/' separated); once the package check has found
  // the file, the export entry it names (see ExportUrl.h), e.g. "a.csv" for
  // "./a.csv". A table whose file is not found is not Readable.
  std::string Url;
  std::string Name;        // the Name, or the URL when none is declared
  uint64_t IndexLine = 0;  // line of the Table element in index.xml
  tEncoding Encoding = tEncoding::kAnsi;
  std::string DecimalSymbol = ",";
  std::string DigitGroupingSymbol = ".";
  uint64_t SkipNumBytes = 0;
  uint64_t RangeFrom = 1;           // first record that is data
  std::optional<uint64_t> RangeTo;  // last record that is data
  uint32_t Epoch = 30;
  bool Fixed = false;                         // FixedLength, else VariableLength
  std::string ColumnDelimiter = ";";          // VariableLength
  std::string RecordDelimiter = "\r\n";       // empty for FixedLength without one
  std::string TextEncapsulator = "\"";        // empty: none
  std::optional<uint64_t> FixedRecordLength;  // FixedLength Length
  std::vector<tColumnDecl> Columns;           // primary key columns first, as declared
  std::vector<tForeignKeyDecl> ForeignKeys;
  // False when the declaration gives no way to read the file (C411 was
  // reported); its contents and the keys that reference it are not checked.
  bool Readable = true;
};

struct tExportIndex {
  std::string DtdName;             // the DOCTYPE's system identifier
  std::vector<tTableDecl> Tables;  // in declaration order, over all Media
  std::vector<std::string> ExtensionUrls;
};

// A DTD to validate the index against: its name (for findings) and text.
struct tDtdText {
  std::string Name;
  std::string Text;
};
// Finds the DTD: given the export entry the DOCTYPE names (empty when it
// names none, or one outside the export, which is never opened), the DTD to
// validate against, or nullopt when there is none (the loader reports why).
using tDtdLoader = std::function<std::optional<tDtdText>(const std::string& entry)>;

// What ReadIndex made of index.xml: the model, or why there is none.
struct tIndexRead {
  std::optional<tExportIndex> Index;
  std::string Reason;  // no model: why, one line (not well-formed, unknown encoding)
};

// Reads index.xml (xmlText; file: its name in findings): parses it (C201),
// checks the document type (C205, C206, C207), validates it against the DTD
// loadDtd gives (C202, C208), builds the model with the standard's defaults
// and checks the description (C3xx, foreign keys resolved). The model is
// built also from an index that is not valid, as far as it goes. Raises
// std::bad_alloc only.
tIndexRead ReadIndex(std::string_view xmlText, const std::string& file, const tDtdLoader& loadDtd,
                     tFindings& findings);

}  // namespace check
