// tFiscalStreamPickerIDEA: the base of every table of the table export.
// A table creates its files through AddTableFile (the header line is
// written when column headers are asked for), writes data lines from the
// picker operations it overrides, and at the end of the export declares
// every file that received data in the index (DeclareTable) and publishes
// or removes its files (FinishFiles).
//
// The tables of one export share a tIdeaContext: the export folder, the
// index document, the running keys, the log, and the entry state that the
// tIdeaEntryTracker at the head of the table chain keeps for all of them
// (the current entry's header, the registration start of the block, the
// previous block), so that an entry's header is copied once, not per
// table. The context is borrowed and outlives the tables.
//
// Calls a table sees for a receipt (the tracker has updated the state
// before each call, and clears the header after EntryEnd has passed the
// whole chain):
//   BlockStart EntryStart SetEntryType Header SaleItem Closing EntryEnd
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "eval/KvKPosFiscalStreamHelp.h"
#include "idea/DocumentKeyHandler.h"
#include "idea/FileHdlCSV.h"
#include "idea/FiscalStreamPickerCSVOptimized.h"
#include "stream/KvKPosFiscalStreamRec.h"
#include "xml/KvXml.h"

class tKvLog;
class tXmlHdlIDEA;

// One value of a column's value map in the index: the field text From
// means Text, or the caption Caption when Text is empty.
struct tIdeaMapValue {
  std::string_view From;
  int32_t Caption = 0;
  std::string_view Text = {};
};

// One column of a table: name (also the header-line text), key flag, type,
// decimal places of a numeric column, the German description (UTF-8 in the
// sources) and the value map declared with it (empty for none). Tables hold
// them as constexpr arrays in column order.
struct tIdeaColumn {
  enum : uint8_t { kDate = 0, kNumeric = 1, kAlphaNumeric = 2, kFlag = 3 };
  std::string_view Name;
  bool IsPrimaryKey = false;
  uint8_t DataType = kAlphaNumeric;
  uint8_t Accuracy = 0;
  std::string_view Description;
  std::span<const tIdeaMapValue> Map = {};
};

// The position (1-based) of the column named name, for a constant
// expression: rows address their fields by name, resolved when compiling,
// and a name that is missing or declared twice does not compile.
consteval int32_t ColumnIndex(std::span<const tIdeaColumn> columns, std::string_view name) {
  int32_t found = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].Name != name) continue;
    if (found != 0) throw "column declared twice";
    found = static_cast<int32_t>(i) + 1;
  }
  if (found == 0) throw "no such column";
  return found;
}

// The positions of the document columns that the register and the
// transaction header tables share.
struct tIdeaDocColumns {
  int32_t EcrNo, DocDate, DocTime, DocNo, DocType, DocSource;
  int32_t CurrIsoCode, CurrIsoNo, SalesExclVat;
};
consteval tIdeaDocColumns DocColumns(std::span<const tIdeaColumn> columns) {
  return {ColumnIndex(columns, "ECR_NO"),        ColumnIndex(columns, "DOC_DATE"),
          ColumnIndex(columns, "DOC_TIME"),      ColumnIndex(columns, "DOC_NO"),
          ColumnIndex(columns, "DOC_TYPE"),      ColumnIndex(columns, "DOC_SOURCE"),
          ColumnIndex(columns, "CURR_ISO_CODE"), ColumnIndex(columns, "CURR_ISO_NO"),
          ColumnIndex(columns, "SALES_EXCL_VAT")};
}

// One of the three files of a table kept by transaction category: ordinary,
// booking memory, other transactions (variants 1 to 3). unusedColumn: a
// column (1-based) declared as "NOT_USED_<n>"; 0 for none.
struct tIdeaCategoryFile {
  std::string_view FileName;
  std::string_view Description;
  int32_t UnusedColumn = 0;
};
using tIdeaCategoryFiles = std::array<tFileHdlCSV*, 3>;  // index = variant - 1

// What the tables know of the current journal position.
struct tIdeaEntryState {
  // The current entry's header, or an empty one while it delivered none.
  const tFiscHeaderRec& Header() const {
    static const tFiscHeaderRec kNoHeader;
    return HasHeader ? CurHeader : kNoHeader;
  }

  tFiscHeaderRec CurHeader;  // the current entry's header while HasHeader
  bool HasHeader = false;    // the current entry delivered its header
  std::string EcrNoText = "0";  // digit text of CurHeader.EcrNo, read for every line
  tKvDateTime RegStart;      // registration start of the current block
  tKvKPosBlockInfoRec PrevBlock;  // the block before the current one
};

// A table the index declares, for the links between tables declared after
// all of them (DeclareForeignKeys).
struct tIdeaDeclaredTable {
  std::string Name;
  tKvXmlNode Layout;  // its VariableLength element
  std::span<const tIdeaColumn> Columns;
  int32_t Variant;    // 1 to 3 for a table kept by transaction category, else 0
};

// The services the tables of one export share; borrowed by every table.
struct tIdeaContext {
  std::string DestFolder;  // export folder, ending with "/"
  bool ColumnHeaders = false;
  tKvLog& Log;
  tXmlHdlIDEA& IndexDoc;
  tDocumentKeyHandler& KeyHandler;
  tIdeaEntryState State;
  std::string ExpVersion;  // "<short title> <version> [Exp: 2.0.0]"
  std::vector<tIdeaDeclaredTable> Declared;  // filled by DeclareTable, in index order
};

// Declares the links of every declared table (context.Declared) as
// ForeignKey elements after its columns: a link column "<KEY>_LINK"
// references the table whose primary key is the one column "<KEY>", of the
// same transaction category where the tables are kept by category. A link
// whose table is not in the export is not declared.
void DeclareForeignKeys(tIdeaContext& context);

// The head of the table chain: keeps the context's entry state. Header and
// BlockEnd update it before the tables hear of them; EntryEnd clears the
// header after the whole chain had it.
class tIdeaEntryTracker final : public tKvFiscalStreamPicker {
 public:
  tIdeaEntryTracker(tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next);
  void Header(const tFiscHeaderRec& rec) override;
  void BlockEnd() override;
  void EntryEnd() override;

 private:
  tIdeaContext& Context;
};

class tFiscalStreamPickerIDEA : public tFiscalStreamPickerCSVOptimized {
 public:
  tFiscalStreamPickerIDEA(tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next);
  ~tFiscalStreamPickerIDEA() override;

  // Passed on; then SkipEntry is set for the next entry.
  void EntryEnd() override;

  // Appends one Table element to the index for every file of this table
  // that was published, in the order the files were added.
  void DeclareTable();
  // Publishes or removes the files of this table whose writing failed
  // (failed) or did not fail (see tFileHdlCSV::Finish); a file that fails
  // does not keep the others from being published. The first failure is
  // raised after all were tried.
  void FinishFiles(bool failed);

  // One column declaration under parent (a VariableLength element),
  // declared under declaredName.
  static void DeclareColumn(tKvXml& xml, tKvXmlNode parent, const tIdeaColumn& def,
                            std::string_view declaredName);
  // The name, or "* Bezeichnung nicht vorhanden *" when blank, in double
  // quotes with inner double quotes doubled.
  static void QuotedName(tCsvLine& out, std::string_view name);
  // 2 other transactions, 1 booking memory, 0 ordinary (every other kind).
  int TransactionCategory() const {
    return entry_type().IsOtherTransaction ? 2 : entry_type().IsBookingMemory ? 1 : 0;
  }
  // The key counter of the current category.
  int CategoryCounter() const { return tDocumentKeyHandler::kTransaction + TransactionCategory(); }

 protected:
  // Creates the table file fileName in the export folder and writes the
  // header line when column headers are on. unusedColumn: a column (1-based)
  // declared in the index as "NOT_USED_<n>"; 0 for none.
  tFileHdlCSV& AddTableFile(std::string_view fileName, std::string_view description,
                            std::span<const tIdeaColumn> columns, int32_t unusedColumn = 0);
  // The three files of a table kept by transaction category, variant 1 first.
  tIdeaCategoryFiles AddCategoryFiles(const std::array<tIdeaCategoryFile, 3>& files,
                                      std::span<const tIdeaColumn> columns);
  // The file of the current entry's category.
  tFileHdlCSV& CategoryFile(const tIdeaCategoryFiles& files) const {
    return *files[static_cast<size_t>(TransactionCategory())];
  }
  // "=> " + date and time of the current header + "  " + its entry kind,
  // as an entry line of the log.
  void LogEntryLine() const;
  // Origin name of the current entry type: "POS", "NEXO", "EJNL" or "".
  std::string_view OriginName() const;
  // The date field of column: DD.MM.YYYY, nothing without a date part; a
  // date no field can hold (year past 9999) is left empty and logged as a
  // warning.
  void WriteDate(tFileHdlCSV& csv, int32_t column, const tKvDateTime& value) const {
    if (!FmtDate(csv.Field(column), value)) [[unlikely]] {
      LogUnwritableDate(csv, column, value);
    }
  }
  // The current header's register number, date, time, document number,
  // entry type code and origin; a header without a date is logged as a
  // warning.
  void WriteDocumentFields(tFileHdlCSV& csv, const tIdeaDocColumns& at) const;
  // The current header's currency and net-booking flag.
  void WriteCurrencyFields(tFileHdlCSV& csv, const tIdeaDocColumns& at) const;

  const tFiscHeaderRec& CurHeader() const { return Context.State.Header(); }
  bool HasHeader() const { return Context.State.HasHeader; }
  // The current header's register number: FmtBcdFix of it (nothing for 0),
  // or its digit text ("0" for 0).
  void FmtEcrNo(tCsvLine& out) const {
    if (!CurHeader().EcrNo.IsZero()) out += Context.State.EcrNoText;
  }
  void AppendEcrNoDigits(tCsvLine& out) const { out += Context.State.EcrNoText; }
  tKvDateTime RegStart() const { return Context.State.RegStart; }
  const tKvKPosBlockInfoRec& PrevBlock() const { return Context.State.PrevBlock; }
  tDocumentKeyHandler& Keys() const { return Context.KeyHandler; }
  tKvLog& Log() const { return Context.Log; }
  const std::string& ExpVersion() const { return Context.ExpVersion; }

  // Set by a table's Header (for the entries it writes nothing of); an
  // entry that delivered no header is skipped, since it has no key.
  bool SkipEntry = true;

 private:
  void LogUnwritableDate(const tFileHdlCSV& csv, int32_t column, const tKvDateTime& value) const;
  // The file name of csv inside the export folder.
  std::string TableName(const tFileHdlCSV& csv) const;

  struct TableFile {
    std::unique_ptr<tFileHdlCSV> Csv;
    std::string_view Description;
    std::span<const tIdeaColumn> Columns;
    int32_t UnusedColumn;
    int32_t Variant;  // 1 to 3 for a file kept by transaction category, else 0
  };

  tIdeaContext& Context;
  std::vector<TableFile> files_;
};

// True when block directly continues previous: consecutive block numbers,
// the same non-zero serial number and the same non-zero register number.
bool IdeaBlockContinues(const tKvKPosBlockInfoRec& previous, const tKvKPosBlockInfoRec& block);
// True when next is last + 1 (computed wide: no overflow at the type's end).
inline bool IdeaSeqFollows(int32_t last, int32_t next) {
  return static_cast<int64_t>(next) == static_cast<int64_t>(last) + 1;
}
