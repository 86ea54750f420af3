#include "idea/FiscalStreamPickerIDEA.h"

#include <array>
#include <exception>
#include <string>
#include <utility>

#include "base/KvCodepage.h"
#include "base/KvLog.h"
#include "eval/FiscCaptions.h"
#include "idea/XmlHdlIDEA.h"
#include "platform/RegionalSettings.h"

namespace {

constexpr std::string_view kNoName = "* Bezeichnung nicht vorhanden *";

// Value maps declared for columns of these names: the codes, in declaration
// order, and the caption code of a value (base + code).
constexpr std::array<int32_t, 12> kDocTypeCodes = {3, 4, 1, 2, 5, 6, 7, 11, 12, 13, 19, 20};
constexpr std::array<int32_t, 9> kRepTypeCodes = {3, 6, 7, 26, 27, 28, 29, 30, 31};
constexpr std::array<int32_t, 16> kRecTypeCodes = {2,  3,  4,  8,  9,  11, 12, 13,
                                                   14, 15, 16, 17, 18, 19, 20, 21};

bool IsBlank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

void AddMap(tKvXml& xml, tKvXmlNode column, std::string_view from, std::string_view to) {
  tKvXmlNode map = xml.AddNode(column, "Map");
  xml.AddTextNode(map, "From", from);
  xml.AddTextNode(map, "To", to);
}

template <size_t N>
void AddCodeMaps(tKvXml& xml, tKvXmlNode column, const std::array<int32_t, N>& codes,
                 int32_t captionBase) {
  for (int32_t code : codes) {
    std::string to = captionBase == 200 && code == 16 ? std::string("Rabatt (unbekannt)")
                                                      : FiscCaption(captionBase + code);
    AddMap(xml, column, std::to_string(code), to);
  }
}

}  // namespace

bool IdeaBlockContinues(const tKvKPosBlockInfoRec& previous, const tKvKPosBlockInfoRec& block) {
  return previous.ID != 0 && block.ID == previous.ID + 1 && previous.SerNr != 0 &&
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
  if (entry_type().Kind == 3 && state.RegStart.IsNull()) state.RegStart = rec.DateTime;
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
    static const tFiscHeaderRec kNoHeader;
    Context.State.CurHeader = kNoHeader;
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
  SkipEntry = false;
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
  files_.push_back(TableFile{std::move(csv), description, columns, unusedColumn});
  return *files_.back().Csv;
}

tIdeaCategoryFiles tFiscalStreamPickerIDEA::AddCategoryFiles(
    const std::array<tIdeaCategoryFile, 3>& files, std::span<const tIdeaColumn> columns) {
  tIdeaCategoryFiles added{};
  for (size_t i = 0; i < files.size(); ++i) {
    added[i] = &AddTableFile(files[i].FileName, files[i].Description, columns, files[i].UnusedColumn);
  }
  return added;
}

void tFiscalStreamPickerIDEA::DeclareTable() {
  tKvXml& xml = Context.IndexDoc.Xml();
  const platform::RegionalSettings& reg = platform::Regional();
  for (const TableFile& file : files_) {
    if (!file.Csv->Published()) continue;
    const std::string url = file.Csv->FileName().substr(Context.DestFolder.size());
    tKvXmlNode table = xml.AddNode(Context.IndexDoc.MediaNode(), "Table");
    xml.AddTextNode(table, "URL", url);
    xml.AddTextNode(table, "Name", url.substr(0, url.rfind('.')));
    xml.AddTextNode(table, "Description", Utf8ToWin1252(file.Description));
    xml.AddTextNode(table, "DecimalSymbol", std::string_view(&reg.DecimalSeparator, 1));
    xml.AddTextNode(table, "DigitGroupingSymbol", std::string_view(&reg.ThousandSeparator, 1));
    tKvXmlNode columns = xml.AddNode(table, "VariableLength");
    for (size_t i = 0; i < file.Columns.size(); ++i) {
      const int32_t number = static_cast<int32_t>(i) + 1;
      const std::string declared = number == file.UnusedColumn
                                       ? "NOT_USED_" + std::to_string(number)
                                       : std::string(file.Columns[i].Name);
      DeclareColumn(xml, columns, file.Columns[i], declared);
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
  if (def.DataType == tIdeaColumn::kFlag) {
    AddMap(xml, column, "1", "Ja");
    AddMap(xml, column, "0", "Nein");
    AddMap(xml, column, "", "Nein");
  }
  if (def.Name == "DOC_TYPE") AddCodeMaps(xml, column, kDocTypeCodes, 20000);
  if (def.Name == "REP_TYPE") AddCodeMaps(xml, column, kRepTypeCodes, 700);
  if (def.Name == "REC_TYPE") AddCodeMaps(xml, column, kRecTypeCodes, 200);
}

void tFiscalStreamPickerIDEA::QuotedName(tCsvLine& out, std::string_view name) {
  FmtText(out, IsBlank(name) ? kNoName : name, '"');
}

int tFiscalStreamPickerIDEA::TransactionCategory() const {
  switch (entry_type().Kind) {
    case 11:
    case 12:
    case 19:
      return 2;
    case 6:
    case 7:
      return 1;
    default:
      return 0;
  }
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
