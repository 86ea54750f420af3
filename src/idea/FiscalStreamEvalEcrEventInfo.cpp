#include "idea/FiscalStreamEvalEcrEventInfo.h"

#include <array>
#include <string_view>
#include <utility>

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;
constexpr auto kColumns = std::to_array<tIdeaColumn>({
    kKey("INFO_KEY"),
    kEcrNo,
    {"INFO_DATE", false, C::kDate, 0, "Vorgangsdatum"},
    {"INFO_TIME", false, C::kAlphaNumeric, 0, "Vorgangsuhrzeit"},
    {"INFO_TYPE", false, C::kAlphaNumeric, 0, "Vorgangstyp"},
    kClerkNo,
    kClerkName,
    {"AUTH_CLERK_NO", false, C::kNumeric, 0, "Bedienernummer"},
    {"AUTH_CLERK_NAME", false, C::kAlphaNumeric, 0, "Bedienername"},
    {"INFO_NO", false, C::kNumeric, 0, "Information: Nummer"},
    {"INFO_DESCR", false, C::kAlphaNumeric, 0, "Information: Text"},
    {"VALUE_NO", false, C::kNumeric, 0, "Ergänzung: Nummer"},
    {"VALUE_DESCR", false, C::kAlphaNumeric, 0, "Ergänzung: Text"},
    kBlkKeyLink,
    kRegKeyLink,
});
consteval int32_t Col(std::string_view name) { return ColumnIndex(kColumns, name); }

}  // namespace

tFiscalStreamEvalEcrEventInfo::tFiscalStreamEvalEcrEventInfo(
    tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next)
    : tFiscalStreamPickerIDEA(context, std::move(next)),
      CsvFile(AddTableFile("EcrEventInfo.csv", "Vorgangs-Informationen", kColumns)) {}

void tFiscalStreamEvalEcrEventInfo::Header(const tFiscHeaderRec& rec) {
  tFiscalStreamPickerIDEA::Header(rec);
  SkipEntry = !entry_type().IsEvent;
}

void tFiscalStreamEvalEcrEventInfo::Event(const tFiscEventRec& rec) {
  tFiscalStreamPickerIDEA::Event(rec);
  if (SkipEntry) return;
  const tFiscHeaderRec& h = CurHeader();
  Keys().Increment(tDocumentKeyHandler::kEventInfo);
  tFileHdlCSV& csv = CsvFile;
  Keys().AppendKey(csv.Field(Col("INFO_KEY")), tDocumentKeyHandler::kEventInfo);
  AppendEcrNoDigits(csv.Field(Col("ECR_NO")));
  WriteDate(csv, Col("INFO_DATE"), h.DateTime);
  FmtTime(csv.Field(Col("INFO_TIME")), h.DateTime);
  AppendInt(csv.Field(Col("INFO_TYPE")), entry_type().Code);
  FmtBcdFix(csv.Field(Col("CLERK_NO")), h.Operator.Number);
  FmtText(csv.Field(Col("CLERK_NAME")), h.Operator.Name.view());
  FmtBcdFix(csv.Field(Col("AUTH_CLERK_NO")), h.AuthOperator.Number);
  FmtText(csv.Field(Col("AUTH_CLERK_NAME")), h.AuthOperator.Name.view());
  AppendInt(csv.Field(Col("INFO_NO")), rec.Info.Number);
  FmtText(csv.Field(Col("INFO_DESCR")), rec.Info.Name.view());
  FmtInt(csv.Field(Col("VALUE_NO")), rec.Value.Number);
  FmtText(csv.Field(Col("VALUE_DESCR")), rec.Value.Name.view());
  Keys().AppendKey(csv.Field(Col("BLK_KEY_LINK")), tDocumentKeyHandler::kBlock);
  Keys().AppendKey(csv.Field(Col("REG_KEY_LINK")), tDocumentKeyHandler::kRegister);
  csv.EndLine(static_cast<int32_t>(kColumns.size()));
  csv.HasData = true;
}
