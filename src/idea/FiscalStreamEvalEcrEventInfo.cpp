#include "idea/FiscalStreamEvalEcrEventInfo.h"

#include <array>
#include <utility>

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;
constexpr std::array<tIdeaColumn, 15> kColumns = {{
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
}};

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
  Keys().AppendKey(csv.Field(1), tDocumentKeyHandler::kEventInfo);
  AppendEcrNoDigits(csv.Field(2));
  FmtDate(csv.Field(3), h.DateTime);
  FmtTime(csv.Field(4), h.DateTime);
  AppendInt(csv.Field(5), entry_type().Code);
  FmtBcdFix(csv.Field(6), h.Operator.Number);
  FmtText(csv.Field(7), h.Operator.Name.view());
  FmtBcdFix(csv.Field(8), h.AuthOperator.Number);
  FmtText(csv.Field(9), h.AuthOperator.Name.view());
  AppendInt(csv.Field(10), rec.Info.Number);
  FmtText(csv.Field(11), rec.Info.Name.view());
  FmtInt(csv.Field(12), rec.Value.Number);
  FmtText(csv.Field(13), rec.Value.Name.view());
  Keys().AppendKey(csv.Field(14), tDocumentKeyHandler::kBlock);
  Keys().AppendKey(csv.Field(15), tDocumentKeyHandler::kRegister);
  csv.EndLine(static_cast<int32_t>(kColumns.size()));
  csv.HasData = true;
}
