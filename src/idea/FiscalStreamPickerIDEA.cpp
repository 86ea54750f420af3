#include "idea/FiscalStreamPickerIDEA.h"

#include <array>
#include <exception>
#include <string>
#include <utility>

#include "base/KvCodepage.h"
#include "base/KvLog.h"
#include "base/KvText.h"
#include "eval/FiscCaptions.h"
#include "idea/XmlHdlIDEA.h"
#include "platform/RegionalSettings.h"

namespace {

constexpr std::string_view kNoName = "* Bezeichnung nicht vorhanden *";

}  // namespace

bool IdeaBlockContinues(const tKvKPosBlockInfoRec& previous, const tKvKPosBlockInfoRec& block) {
  return previous.ID != 0 && IdeaSeqFollows(previous.ID, block.ID) && previous.SerNr != 0 &&
         previous.SerNr == block.SerNr && !previous.EcrNr.IsZero() && previous.EcrNr == block.EcrNr;
}

// ---- tIdeaEntryTracker --------------------------------------------------------

tIdeaEntryTracker::tIdeaEntryTracker(tIdeaContext& context,
                                     std::unique_ptr<tKvFiscalStreamPicker> next)
    : tKvFiscalStreamPicker(std::move(next)), Context(context) {}

void tIdeaEntryTracker::Header(const tFiscHeaderRec& rec) {
  tIdeaEntryState& state = Context.State;
  state.CurHeader = rec;
  state.HasHeader = true;
  state.EcrNoText.clear();
  rec.EcrNo.AppendText(state.EcrNoText);
  state.RegStart = block().RegStartDT;
  if (entry_type().Kind == kEntryRegStart && state.RegStart.IsNull()) state.RegStart = rec.DateTime;
  tKvFiscalStreamPicker::Header(rec);
}

void tIdeaEntryTracker::BlockEnd() {
  Context.State.PrevBlock = block();
  Context.State.RegStart = tKvDateTime();
  tKvFiscalStreamPicker::BlockEnd();
}

void tIdeaEntryTracker::EntryEnd() {
  tKvFiscalStreamPicker::EntryEnd();
  if (Context.State.HasHeader) {
    Context.State.HasHeader = false;
    Context.State.EcrNoText = "0";
  }
}

// ---- tFiscalStreamPickerIDEA --------------------------------------------------

tFiscalStreamPickerIDEA::tFiscalStreamPickerIDEA(tIdeaContext& context,
                                                 std::unique_ptr<tKvFiscalStreamPicker> next)
    : tFiscalStreamPickerCSVOptimized(std::move(next)), Context(context) {}

tFiscalStreamPickerIDEA::~tFiscalStreamPickerIDEA() = default;

void tFiscalStreamPickerIDEA::EntryEnd() {
  SkipEntry = true;
  tFiscalStreamPickerCSVOptimized::EntryEnd();
}

tFileHdlCSV& tFiscalStreamPickerIDEA::AddTableFile(std::string_view fileName,
                                                   std::string_view description,
                                                   std::span<const tIdeaColumn> columns,
                                                   int32_t unusedColumn) {
  auto csv = std::make_unique<tFileHdlCSV>(Context.DestFolder + std::string(fileName), false, ';');
  if (Context.ColumnHeaders) {
    for (const tIdeaColumn& column : columns) csv->AddField(column.Name, 0);
    csv->EndLine(static_cast<int32_t>(columns.size()));
  }
  files_.push_back(TableFile{std::move(csv), description, columns, unusedColumn, 0});
  return *files_.back().Csv;
}

tIdeaCategoryFiles tFiscalStreamPickerIDEA::AddCategoryFiles(
    const std::array<tIdeaCategoryFile, 3>& files, std::span<const tIdeaColumn> columns) {
  tIdeaCategoryFiles added{};
  for (size_t i = 0; i < files.size(); ++i) {
    added[i] = &AddTableFile(files[i].FileName, files[i].Description, columns, files[i].UnusedColumn);
    files_.back().Variant = static_cast<int32_t>(i) + 1;
  }
  return added;
}

void tFiscalStreamPickerIDEA::DeclareTable() {
  tKvXml& xml = Context.IndexDoc.Xml();
  const platform::RegionalSettings& reg = platform::Regional();
  for (const TableFile& file : files_) {
    if (!file.Csv->Published()) continue;
    const std::string url = file.Csv->FileName().substr(Context.DestFolder.size());
    const std::string name = url.substr(0, url.rfind('.'));
    tKvXmlNode table = xml.AddNode(Context.IndexDoc.MediaNode(), "Table");
    xml.AddTextNode(table, "URL", url);
    xml.AddTextNode(table, "Name", name);
    xml.AddTextNode(table, "Description", Utf8ToWin1252(file.Description));
    xml.AddTextNode(table, "DecimalSymbol", std::string_view(&reg.DecimalSeparator, 1));
    xml.AddTextNode(table, "DigitGroupingSymbol", std::string_view(&reg.ThousandSeparator, 1));
    // The header line is the file's first record: the data starts at the second.
    if (Context.ColumnHeaders) xml.AddTextNode(xml.AddNode(table, "Range"), "From", "2");
    tKvXmlNode columns = xml.AddNode(table, "VariableLength");
    Context.Declared.push_back({name, columns, file.Columns, file.Variant});
    for (size_t i = 0; i < file.Columns.size(); ++i) {
      const int32_t number = static_cast<int32_t>(i) + 1;
      const std::string declared = number == file.UnusedColumn
                                       ? "NOT_USED_" + std::to_string(number)
                                       : std::string(file.Columns[i].Name);
      DeclareColumn(xml, columns, file.Columns[i], declared);
    }
  }
}

void DeclareForeignKeys(tIdeaContext& context) {
  constexpr std::string_view kLinkSuffix = "_LINK";
  // The table whose primary key is the one column key: of variant, else
  // one kept by no category.
  auto keyTable = [&context](std::string_view key, int32_t variant) -> const tIdeaDeclaredTable* {
    const tIdeaDeclaredTable* found = nullptr;
    for (const tIdeaDeclaredTable& table : context.Declared) {
      size_t keyColumns = 0;
      bool isKey = false;
      for (const tIdeaColumn& column : table.Columns) {
        if (!column.IsPrimaryKey) continue;
        ++keyColumns;
        isKey = column.Name == key;
      }
      if (keyColumns != 1 || !isKey) continue;
      if (table.Variant == variant) return &table;
      if (table.Variant == 0) found = &table;
    }
    return found;
  };
  tKvXml& xml = context.IndexDoc.Xml();
  for (const tIdeaDeclaredTable& table : context.Declared) {
    for (const tIdeaColumn& column : table.Columns) {
      if (!column.Name.ends_with(kLinkSuffix)) continue;
      const std::string_view key = column.Name.substr(0, column.Name.size() - kLinkSuffix.size());
      const tIdeaDeclaredTable* target = keyTable(key, table.Variant);
      if (target == nullptr) continue;
      tKvXmlNode foreignKey = xml.AddNode(table.Layout, "ForeignKey");
      xml.AddTextNode(foreignKey, "Name", column.Name);
      xml.AddTextNode(foreignKey, "References", target->Name);
    }
  }
}

void tFiscalStreamPickerIDEA::FinishFiles(bool failed) {
  std::exception_ptr failure;
  for (TableFile& file : files_) {
    if (file.Csv->Failed() != failed) continue;
    try {
      file.Csv->Finish();
    } catch (const std::exception&) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void tFiscalStreamPickerIDEA::DeclareColumn(tKvXml& xml, tKvXmlNode parent,
                                            const tIdeaColumn& def,
                                            std::string_view declaredName) {
  tKvXmlNode column = xml.AddNode(parent, def.IsPrimaryKey ? "VariablePrimaryKey" : "VariableColumn");
  xml.AddTextNode(column, "Name", declaredName);
  if (!IsBlank(def.Description)) {
    xml.AddTextNode(column, "Description", Utf8ToWin1252(def.Description));
  }
  if (def.DataType == tIdeaColumn::kDate) {
    xml.AddTextNode(xml.AddNode(column, "Date"), "Format", "DD.MM.YYYY");
  } else if (def.DataType == tIdeaColumn::kNumeric) {
    tKvXmlNode numeric = xml.AddNode(column, "Numeric");
    if (def.Accuracy > 0) xml.AddTextNode(numeric, "Accuracy", std::to_string(def.Accuracy));
  } else {
    xml.AddNode(column, "AlphaNumeric");
  }
  for (const tIdeaMapValue& value : def.Map) {
    tKvXmlNode map = xml.AddNode(column, "Map");
    xml.AddTextNode(map, "From", value.From);
    xml.AddTextNode(map, "To",
                    value.Text.empty() ? FiscCaption(value.Caption) : std::string(value.Text));
  }
}

void tFiscalStreamPickerIDEA::QuotedName(tCsvLine& out, std::string_view name) {
  FmtText(out, IsBlank(name) ? kNoName : name, '"');
}

void tFiscalStreamPickerIDEA::LogEntryLine() const {
  if (!Context.Log.IsWritten(tKvLog::kEntry)) return;
  const platform::RegionalSettings& reg = platform::Regional();
  const tKvDateTime& when = CurHeader().DateTime;
  Context.Log.Add("=> " + when.Format(reg.ShortDateFormat) + ", " +
                      when.Format(reg.ShortTimeFormat) + "  " + FiscTypeText(entry_type()),
                  tKvLog::kEntry);
}

std::string_view tFiscalStreamPickerIDEA::OriginName() const { return OriginText(entry_type()); }

void tFiscalStreamPickerIDEA::WriteDocumentFields(tFileHdlCSV& csv,
                                                  const tIdeaDocColumns& at) const {
  const tFiscHeaderRec& h = CurHeader();
  if (h.DateTime.IsNull()) {
    Log().Add(
        "=> Beleg ohne Datum (" + TableName(csv) + "): Belegnummer " + std::to_string(h.DocNo),
        tKvLog::kWarning);
  }
  FmtEcrNo(csv.Field(at.EcrNo));
  WriteDate(csv, at.DocDate, h.DateTime);
  FmtTime(csv.Field(at.DocTime), h.DateTime);
  FmtInt(csv.Field(at.DocNo), h.DocNo);
  AppendInt(csv.Field(at.DocType), entry_type().Code);
  csv.AddField(OriginName(), at.DocSource);
}

void tFiscalStreamPickerIDEA::WriteCurrencyFields(tFileHdlCSV& csv,
                                                  const tIdeaDocColumns& at) const {
  const tFiscHeaderRec& h = CurHeader();
  FmtText(csv.Field(at.CurrIsoCode), h.Currency.IsoCode.view());
  FmtInt(csv.Field(at.CurrIsoNo), h.Currency.IsoNo);
  FmtInt(csv.Field(at.SalesExclVat), h.NetBooking ? 1 : 0);
}

void tFiscalStreamPickerIDEA::LogUnwritableDate(const tFileHdlCSV& csv, int32_t column,
                                                const tKvDateTime& value) const {
  std::string_view name;
  for (const TableFile& file : files_) {
    if (file.Csv.get() == &csv) name = file.Columns[static_cast<size_t>(column) - 1].Name;
  }
  Log().Add("=> Datum nicht darstellbar (" + TableName(csv) + ", " + std::string(name) +
                "): " + std::to_string(value.Value),
            tKvLog::kWarning);
}

std::string tFiscalStreamPickerIDEA::TableName(const tFileHdlCSV& csv) const {
  return csv.FileName().substr(Context.DestFolder.size());
}
